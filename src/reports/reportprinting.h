#pragma once

#include "tableprint/listprinter.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>

class QHeaderView;

namespace reports {

class ReportListModel;

// The report list as the list printer reads it: widths from the list's header sections in
// screen pixels (without a header, from the model's own widths, or a default width where it
// has none), alignments from the model, and the list's text colour.
tableprint::ListView reportListView(const ReportListModel &model, const QHeaderView *header = nullptr,
                                    const QColor &foreColor = Qt::black);

// Prints the report list: 42 rows a page, each page with the column titles, as a ruled
// grid in Verdana 7, on the printer in use or into a PDF file.
//
// The printer in use is the system's default until choosePrinter() finds an installed
// printer whose name equals the chosen text exactly; a text that matches none leaves it
// as it was.
class ReportPrinting
{
public:
    enum class Result {
        Printed,
        NothingToPrint, // the list has no rows; nothing was said
        Cancelled,      // the user stopped it; a PDF file already begun is removed
        Failed,         // the printer failed; the user was told
        Busy,           // a print is already running
    };

    // Called before each page with the page's number and the page count; false stops the print.
    using Progress = std::function<bool(int page, int pages)>;

    static constexpr int RowsPerPage = 42;
    static constexpr int PositionTwips = 700;
    static const QString FontName;
    static constexpr int FontSize = 7;

    // The device names of the installed printers, in the system's order.
    static QStringList installedPrinters();

    // Makes the first of `installed` named exactly `text` the printer in use. False (and the
    // printer in use unchanged) when none is.
    bool choosePrinter(const QString &text, const QStringList &installed);
    bool choosePrinter(const QString &text) { return choosePrinter(text, installedPrinters()); }
    // The printer in use; empty for the system's default printer.
    QString printerName() const { return m_printer; }

    // Sends the prints into a PDF file instead of a printer (empty: back to the printer).
    void setPdfFile(const QString &path) { m_pdfFile = path; }
    QString pdfFile() const { return m_pdfFile; }
    // The job's title: the print queue shows it, and PDF printers name their files after it.
    void setJobTitle(const QString &title) { m_jobTitle = title; }
    QString jobTitle() const { return m_jobTitle; }
    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Chooses the printer named by `printerText`, then prints the list.
    Result print(const QString &printerText, const tableprint::ListView &list);
    // Prints the list on the printer in use.
    Result print(const tableprint::ListView &list);
    bool isPrinting() const { return m_printing; }

    // The pages a list of this many rows takes.
    static int pageCount(int rows);

private:
    QString targetName() const;
    Result fail(const QString &target) const;

    QString m_printer;
    QString m_pdfFile;
    QString m_jobTitle;
    Progress m_progress;
    bool m_printing = false;
};

} // namespace reports
