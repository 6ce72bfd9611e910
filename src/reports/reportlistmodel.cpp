#include "reports/reportlistmodel.h"

#include <algorithm>

namespace reports {

namespace {
// The decimal digits of a row number, written into the buffer given.
QStringView numberText(qint64 value, char16_t (&buffer)[24])
{
    qsizetype start = std::size(buffer);
    const bool negative = value < 0;
    quint64 rest = negative ? 0 - quint64(value) : quint64(value);
    do {
        buffer[--start] = char16_t(u'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative)
        buffer[--start] = u'-';
    return QStringView(buffer + start, std::size(buffer) - start);
}
} // namespace

const QString ReportListModel::RowNumberTitle = QStringLiteral(" ");

ReportListModel::ReportListModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_columns.append({RowNumberTitle, RowNumberWidthTwips, Qt::AlignLeft});
}

QStringList ReportListModel::titles() const
{
    QStringList result;
    result.reserve(m_columns.size());
    for (const Column &c : m_columns)
        result << c.title;
    return result;
}

QString ReportListModel::title(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column].title : QString();
}

int ReportListModel::columnWidthTwips(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column].widthTwips : 0;
}

Qt::Alignment ReportListModel::columnAlignment(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column].alignment : Qt::AlignLeft;
}

int ReportListModel::columnByTitle(const QString &title) const
{
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].title == title)
            return int(i) + 1;
    }
    return 0;
}

void ReportListModel::appendColumn(const QString &title, int widthTwips, Qt::Alignment alignment)
{
    const int at = columnCount();
    QList<int> fromOld;
    for (int i = 0; i < at; ++i)
        fromOld << i;
    fromOld << -1;
    beginInsertColumns(QModelIndex(), at, at);
    repack(fromOld);
    m_columns.append({title, widthTwips, alignment});
    endInsertColumns();
}

bool ReportListModel::removeColumns(int column, int count, const QModelIndex &parent)
{
    if (parent.isValid() || column < 0 || count < 1 || column + count > columnCount())
        return false;
    QList<int> fromOld;
    for (int i = 0; i < columnCount(); ++i) {
        if (i < column || i >= column + count)
            fromOld << i;
    }
    beginRemoveColumns(QModelIndex(), column, column + count - 1);
    repack(fromOld);
    m_columns.remove(column, count);
    endRemoveColumns();
    return true;
}

void ReportListModel::repack(const QList<int> &fromOld)
{
    if (m_rowText.empty())
        return;
    std::vector<QString> oldText;
    std::vector<quint32> oldEnds;
    oldText.swap(m_rowText);
    oldEnds.swap(m_ends);
    const int oldColumns = columnCount();
    QList<QStringView> cells(fromOld.size());
    for (size_t r = 0; r < oldText.size(); ++r) {
        for (qsizetype i = 0; i < fromOld.size(); ++i) {
            const int c = fromOld[i];
            if (c < 0) {
                cells[i] = QStringView();
                continue;
            }
            const quint32 start = c == 0 ? 0 : oldEnds[r * oldColumns + c - 1];
            cells[i] = QStringView(oldText[r]).mid(start, oldEnds[r * oldColumns + c] - start);
        }
        pack(cells);
    }
}

QStringView ReportListModel::cellView(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    const size_t base = size_t(row) * m_columns.size();
    const quint32 start = column == 0 ? 0 : m_ends[base + column - 1];
    return QStringView(m_rowText[row]).mid(start, m_ends[base + column] - start);
}

QString ReportListModel::cell(int row, int column) const
{
    return cellView(row, column).toString();
}

QStringList ReportListModel::rowCells(int row) const
{
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c)
        cells << cell(row, c);
    return cells;
}

void ReportListModel::clearRows()
{
    if (!m_rowText.empty()) {
        beginResetModel();
        std::vector<QString>().swap(m_rowText);
        std::vector<quint32>().swap(m_ends);
        endResetModel();
    }
    Q_EMIT rowsCleared();
}

void ReportListModel::pack(const QList<QStringView> &cells)
{
    qsizetype length = 0;
    for (const QStringView &c : cells)
        length += c.size();
    QString text(length, Qt::Uninitialized);
    QChar *out = text.data();
    quint32 end = 0;
    for (const QStringView &c : cells) {
        std::copy_n(c.data(), c.size(), out + end);
        end += quint32(c.size());
        m_ends.push_back(end);
    }
    m_rowText.push_back(std::move(text));
}

void ReportListModel::appendRows(const QList<ReportRow> &rows)
{
    if (rows.isEmpty())
        return;
    // Each cell's column comes from the lookup by title. Writers send their cells in the
    // same order row after row, so a position found for the first row is reused while the
    // title at that place stays the same.
    QList<const QString *> knownTitles;
    QList<int> knownColumns;
    QList<QStringView> cells(columnCount());
    char16_t number[24];
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    qsizetype known = 0;
    auto place = [&](const QString &title, QStringView text) {
        if (known >= knownTitles.size()) {
            knownTitles << &title;
            knownColumns << columnByTitle(title);
        } else if (knownTitles[known] != &title && *knownTitles[known] != title) {
            knownTitles[known] = &title;
            knownColumns[known] = columnByTitle(title);
        }
        if (knownColumns[known] > 1)
            cells[knownColumns[known] - 1] = text;
        ++known;
    };
    for (const ReportRow &row : rows) {
        cells.fill(QStringView());
        cells[0] = numberText(row.number, number);
        known = 0;
        for (const ReportCell &cell : row.sharedCells)
            place(cell.title, cell.text);
        for (int i = 0; i < row.ownCount(); ++i)
            place(row.ownTitle(i), row.ownText(i));
        pack(cells);
    }
    endInsertRows();
}

void ReportListModel::appendRow(const QStringList &texts)
{
    QList<QStringView> cells(columnCount());
    for (qsizetype i = 0; i < cells.size() && i < texts.size(); ++i)
        cells[i] = texts[i];
    const int at = rowCount();
    beginInsertRows(QModelIndex(), at, at);
    pack(cells);
    endInsertRows();
}

int ReportListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rowText.size());
}

int ReportListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ReportListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columnAlignment(index.column()) | Qt::AlignVCenter);
    return {};
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return title(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columnAlignment(section) | Qt::AlignVCenter);
    return {};
}

} // namespace reports
