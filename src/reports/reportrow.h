#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>

namespace reports {

// One cell a writer offers the report list: it lands in the column whose title equals the
// cell's title exactly, and nowhere when the list has no such column.
struct ReportCell {
    QString title;
    QString text;
};

// One row for the report list: the row number for the first column, then the cells.
// Cells that many rows have in common (an employee's, on each of their punches) come in
// sharedCells, one list that those rows share; the row's own cells are kept together in one
// text, so that a row costs one allocation however many cells it has. A writer treats both
// kinds alike.
class ReportRow
{
public:
    static constexpr int MaxOwnCells = 8;

    qint64 number = 0;
    QList<ReportCell> sharedCells;

    // Room for own cells of about this many characters in all.
    void reserve(qsizetype characters) { m_text.reserve(characters); }
    // Adds an own cell. The title is kept by reference: it must outlive the row, as the
    // list's constant titles do. Cells past MaxOwnCells are dropped.
    void add(const QString &title, QStringView text)
    {
        if (m_count >= MaxOwnCells)
            return;
        m_text.append(text);
        m_titles[m_count] = &title;
        m_ends[m_count] = quint32(m_text.size());
        ++m_count;
    }
    int ownCount() const { return m_count; }
    const QString &ownTitle(int i) const { return *m_titles[i]; }
    QStringView ownText(int i) const
    {
        const quint32 start = i == 0 ? 0 : m_ends[i - 1];
        return QStringView(m_text).mid(start, m_ends[i] - start);
    }

private:
    QString m_text;
    std::array<const QString *, MaxOwnCells> m_titles{};
    std::array<quint32, MaxOwnCells> m_ends{};
    int m_count = 0;
};

} // namespace reports
