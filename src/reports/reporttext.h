#pragma once

#include <QString>

namespace reports {

class ReportListModel;

// The report as tab-separated text: the title line, then one line per row, each from the
// second column on (the row number stays out). Every field is followed by a tab, every line
// by CR LF; nothing is quoted, so a tab or line break inside a cell passes through.
QString reportText(const ReportListModel &model);

// Writes the report as the HTML table the print utility prints: one line ended by CR LF,
// without a document wrapper, titles trimmed, every text escaped. The file is replaced
// whole; a failure leaves no partial page behind. Returns whether the page was written.
bool writeReportPage(const ReportListModel &model, const QString &path);

// The text without the blanks (spaces only) at either end.
QStringView trimBlanks(QStringView text);

// Appends text with &, <, >, " and ' written as HTML entities.
void appendHtmlEscaped(QString &out, QStringView text);

} // namespace reports
