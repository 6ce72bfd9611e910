#pragma once

#include "reports/reportrow.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace reports {

// The report list: titled columns and rows of text cells. The first column, titled " ",
// is 1 twip wide (out of sight) and holds each row's number. Writers find a cell's column
// by its exact title; later readers (printing, export) take titles, widths, alignments and
// cells from here. Rows are stored packed (one text per row and the cells' end offsets), so
// a long report costs little more memory than its text.
class ReportListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static const QString RowNumberTitle;
    static constexpr int RowNumberWidthTwips = 1;

    explicit ReportListModel(QObject *parent = nullptr);

    // --- columns (0-based positions, as Qt counts) ---
    QStringList titles() const;
    QString title(int column) const;
    // Width in twips; 0 leaves it to the view.
    int columnWidthTwips(int column) const;
    Qt::Alignment columnAlignment(int column) const;
    // The 1-based position of the first column whose title equals title exactly (case
    // sensitive), 0 when there is none. Position 1 is the row-number column.
    int columnByTitle(const QString &title) const;
    // Appends a column at the right end; existing rows get an empty cell in it.
    void appendColumn(const QString &title, int widthTwips = 0, Qt::Alignment alignment = Qt::AlignLeft);
    bool removeColumns(int column, int count, const QModelIndex &parent = QModelIndex()) override;

    // --- rows ---
    QString cell(int row, int column) const;
    QStringList rowCells(int row) const;
    void clearRows();
    // Appends rows: the row number goes to the first column, each cell to the column its
    // title names, and cells whose title names no column are left out.
    void appendRows(const QList<ReportRow> &rows);
    // Appends one row of cells in column order (missing cells are empty, extra ones dropped).
    void appendRow(const QStringList &cells);

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The rows were emptied (by clearRows or a column change).
    void rowsCleared();

private:
    struct Column {
        QString title;
        int widthTwips = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
    };
    // Appends one packed row from the cells' texts in column order.
    void pack(const QList<QStringView> &cells);
    QStringView cellView(int row, int column) const;
    // Rebuilds the packed rows for a new column set: newColumn[i] names the old column whose
    // text goes to column i, -1 for an empty cell.
    void repack(const QList<int> &fromOld);

    QList<Column> m_columns;
    std::vector<QString> m_rowText;
    // Per row, the end offset of each cell in its row text (columnCount() entries).
    std::vector<quint32> m_ends;
};

} // namespace reports
