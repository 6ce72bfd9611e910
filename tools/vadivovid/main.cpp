// vadivovid: the print utility the report screen starts after writing ktly.htm.
//
// It prints ktly.htm from its own folder on the default printer without asking anything; an
// installed utility, whose folder the user may not write, reads it from the user's cache
// folder instead (platform::pageFolder).
// With no printer installed the page goes to ktly.pdf beside it instead, so it is never
// lost. "--pdf <file>" prints to the given PDF file. Either way the page is laid out alike:
// the report's table is scaled to the width of the page, which turns to landscape when the
// table is wider than a portrait page; data cells keep to one line as the page asks; and a
// report longer than a page repeats its title row at the top of every page.
//
// Exit 0 when printed, 1 when the page is missing or cannot be printed, 2 on bad arguments.

#include "platform/system.h"
#include "product.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringDecoder>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextOption>
#include <QTextTable>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr auto LongestRun = std::chrono::minutes(10);
constexpr qreal FontPoints = 9;
constexpr qreal MarginMillimetres = 10;
// The document is laid out at 96 dots per inch (see main), in pixels of 1/96 inch.
constexpr qreal PixelsPerPoint = 96.0 / 72.0;

int fail(int code, const QString &message)
{
    std::fprintf(stderr, "vadivovid: %s\n", qPrintable(message));
    return code;
}

// The page is normally UTF-8; text that is not is read as Latin-1 rather than mangled.
QString pageText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// Reads the page into the document: cells marked nowrap stay on one line (the rich text
// engine knows the style, not the attribute), titles wrap between words only, never inside
// one, and the report's table, the first one, takes its first row as the title row that
// every page repeats.
void readPage(QTextDocument &document, const QString &html)
{
    QFont font = document.defaultFont();
    font.setPointSizeF(FontPoints);
    document.setDefaultFont(font);
    document.setDefaultStyleSheet(QStringLiteral("td[nowrap] { white-space: nowrap }"));
    QTextOption wrapping = document.defaultTextOption();
    wrapping.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(wrapping);
    document.setHtml(html);
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame)) {
            QTextTableFormat format = table->format();
            format.setHeaderRowCount(1);
            table->setFormat(format);
            break;
        }
    }
}

// Turns the page to landscape when the table is wider than a portrait page, and sizes the
// document's pages so that the table's full width maps onto the printable width: a table that
// is still too wide is printed smaller rather than cut off at the right.
void fitToPage(QTextDocument &document, QPrinter &printer)
{
    document.setTextWidth(1); // the narrowest the content can be laid out
    const qreal needed = document.idealWidth();

    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    layout.setMargins(QMarginsF(MarginMillimetres, MarginMillimetres, MarginMillimetres, MarginMillimetres));
    layout.setOrientation(QPageLayout::Portrait);
    if (needed > layout.paintRect(QPageLayout::Point).width() * PixelsPerPoint)
        layout.setOrientation(QPageLayout::Landscape);
    printer.setPageLayout(layout);

    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const qreal width = std::max(needed, area.width() * PixelsPerPoint);
    document.setPageSize(QSizeF(width, width * area.height() / area.width()));
}

} // namespace

int main(int argc, char *argv[])
{
    // Qt's own warnings (environment notes, decoder chatter) would bury the one-line report;
    // only the fatal ones are worth passing on.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "vadivovid: %s\n", qPrintable(text));
    });
    // Nothing is ever shown on screen: a display that is missing or unreachable must not
    // stop the printing, so the utility never connects to one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // One layout resolution whatever the screen says, so pages come out alike everywhere.
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QGuiApplication app(argc, argv);

    // A print spooler that never answers must not keep the utility around for ever.
    std::thread([] {
        std::this_thread::sleep_for(LongestRun);
        std::fprintf(stderr, "vadivovid: printing did not finish in time\n");
        std::_Exit(1);
    }).detach();

    const QStringList args = app.arguments().mid(1);
    QString pdfFile;
    if (args.size() == 2 && args[0] == QLatin1String("--pdf") && !args[1].isEmpty())
        pdfFile = args[1];
    else if (!args.isEmpty())
        return fail(2, QStringLiteral("usage: vadivovid [--pdf <file>]"));

    const QDir folder(platform::pageFolder());
    QFile page(folder.filePath(QStringLiteral("ktly.htm")));
    if (!page.open(QIODevice::ReadOnly))
        return fail(1, QStringLiteral("cannot read %1").arg(page.fileName()));
    QTextDocument document;
    readPage(document, pageText(page.readAll()));

    QPrinter printer(QPrinter::HighResolution);
    const QPrinterInfo installed = pdfFile.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo();
    if (!installed.isNull()) {
        printer.setPrinterName(installed.printerName());
    } else {
        if (pdfFile.isEmpty()) {
            pdfFile = folder.filePath(QStringLiteral("ktly.pdf"));
            std::fprintf(stderr, "vadivovid: no printer installed, writing %s\n", qPrintable(pdfFile));
        }
        QFile::remove(pdfFile); // an old file must not pass for this page
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile);
    }
    printer.setDocName(product::Name + QStringLiteral(" report"));
    fitToPage(document, printer);
    document.print(&printer);

    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted
        || (!pdfFile.isEmpty() && QFileInfo(pdfFile).size() == 0))
        return fail(1, QStringLiteral("printing to %1 failed")
                           .arg(pdfFile.isEmpty() ? installed.printerName() : pdfFile));
    return 0;
}
