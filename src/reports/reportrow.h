#pragma once

#include <QList>
#include <QString>

namespace reports {

// One cell a writer offers the report list: it lands in the column whose title equals the
// cell's title exactly, and nowhere when the list has no such column.
struct ReportCell {
    QString title;
    QString text;
};

// One row for the report list: the row number for the first column, then the cells.
// Cells that many rows have in common (an employee's, on each of their punches) may come in
// sharedCells, one list that those rows share; a writer treats both lists alike.
struct ReportRow {
    qint64 number = 0;
    QList<ReportCell> sharedCells;
    QList<ReportCell> cells;
};

} // namespace reports
