#include "reports/reportprinting.h"

#include "platform/messagebox.h"
#include "product.h"
#include "reports/reportlistmodel.h"
#include "tableprint/surface.h"

#include <QFile>
#include <QFont>
#include <QHeaderView>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

namespace reports {

namespace {

// A list column the model gives no width keeps the list's own default width.
constexpr double DefaultColumnPixels = 100;

// Clears a flag when the scope ends, however it ends.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &m_flag;
};

} // namespace

const QString ReportPrinting::FontName = QStringLiteral("Verdana");

tableprint::ListView reportListView(const ReportListModel &model, const QHeaderView *header, const QColor &foreColor)
{
    tableprint::ListView view;
    view.model = &model;
    view.foreColor = foreColor;
    if (header) {
        view.columnWidth = [header](int column) { return double(header->sectionSize(column)); };
    } else {
        view.columnWidth = [&model](int column) {
            const int twips = model.columnWidthTwips(column);
            return twips > 0 ? twips / tableprint::ClassData::screenTwipsPerPixelX() : DefaultColumnPixels;
        };
    }
    view.columnAlignment = [&model](int column) { return model.columnAlignment(column); };
    return view;
}

QStringList ReportPrinting::installedPrinters()
{
    return QPrinterInfo::availablePrinterNames();
}

bool ReportPrinting::choosePrinter(const QString &text, const QStringList &installed)
{
    for (const QString &name : installed) {
        if (name == text) {
            m_printer = name;
            return true;
        }
    }
    return false;
}

int ReportPrinting::pageCount(int rows)
{
    return rows <= 0 ? 0 : (rows + RowsPerPage - 1) / RowsPerPage;
}

QString ReportPrinting::targetName() const
{
    if (!m_pdfFile.isEmpty())
        return m_pdfFile;
    if (!m_printer.isEmpty())
        return m_printer;
    const QString system = QPrinterInfo::defaultPrinterName();
    return system.isEmpty() ? QStringLiteral("the default printer") : system;
}

ReportPrinting::Result ReportPrinting::fail(const QString &target) const
{
    platform::MessageBox::ok(QStringLiteral("The report could not be printed on %1.").arg(target),
                             platform::MessageBox::applicationTitle());
    return Result::Failed;
}

ReportPrinting::Result ReportPrinting::print(const QString &printerText, const tableprint::ListView &list)
{
    if (m_printing)
        return Result::Busy;
    choosePrinter(printerText);
    return print(list);
}

ReportPrinting::Result ReportPrinting::print(const tableprint::ListView &list)
{
    if (m_printing)
        return Result::Busy;
    const int rows = list.model ? list.model->rowCount() : 0;
    if (rows == 0)
        return Result::NothingToPrint;
    const FlagScope printing(m_printing);
    const QString target = targetName();

    QPrinter printer(QPrinter::HighResolution);
    if (!m_pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_pdfFile);
    } else if (!m_printer.isEmpty()) {
        printer.setPrinterName(m_printer);
    }
    printer.setDocName(m_jobTitle.isEmpty() ? product::Name : m_jobTitle);

    tableprint::Surface surface(&printer);
    if (!surface.isActive() || printer.printerState() == QPrinter::Error)
        return fail(target);
    const tableprint::CurrentPrinter::Scope current(&surface);

    tableprint::ClassData engine;
    engine.ViewData(list);
    engine.DrawHorizontalLines = true;
    engine.DrawVerticalLines = true;
    engine.DrawBorder = true;
    engine.BorderDistance = 1;
    engine.PosX = 1;
    engine.PosY = 1;
    engine.NumOfRowsPerPage = RowsPerPage;

    surface.setFillStyle(tableprint::FillStyle::Transparent);
    QFont font(FontName);
    font.setPointSize(FontSize);
    font.setBold(false);
    surface.setFont(font);

    const int pages = pageCount(rows);
    bool cancelled = false;
    for (int page = 1; !engine.LastRowPrinted; ++page) {
        if (m_progress && !m_progress(page, pages)) {
            cancelled = true;
            printer.abort();
            break;
        }
        engine.SRow();
        surface.setCurrentX(PositionTwips);
        surface.setCurrentY(PositionTwips);
        engine.TopData(surface);
        engine.MainData(surface);
        if (printer.printerState() == QPrinter::Error)
            return fail(target);
        // A new page only between pages: the job ends on the last printed one.
        if (!engine.LastRowPrinted && !surface.newPage())
            return fail(target);
    }
    const bool ended = surface.end();
    engine.LastRowPrinted = false;
    if (cancelled) {
        // The PDF engines cannot take a job back; a file begun for this print is not kept.
        if (!m_pdfFile.isEmpty())
            QFile::remove(m_pdfFile);
        return Result::Cancelled;
    }
    return ended ? Result::Printed : fail(target);
}

} // namespace reports
