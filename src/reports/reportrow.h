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
struct ReportRow {
    qint64 number = 0;
    QList<ReportCell> cells;
};

} // namespace reports
