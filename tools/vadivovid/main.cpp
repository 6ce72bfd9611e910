// vadivovid: the print utility the report screen starts after writing ktly.htm.
//
// It prints ktly.htm from its own folder on the default printer without asking anything.
// With no printer installed the page goes to ktly.pdf beside it instead, so it is never
// lost. "--pdf <file>" prints to the given PDF file.
//
// Exit 0 when printed, 1 when the page is missing or cannot be printed, 2 on bad arguments.

#include "product.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringDecoder>
#include <QTextDocument>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr auto LongestRun = std::chrono::minutes(10);

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

    const QDir folder(QCoreApplication::applicationDirPath());
    QFile page(folder.filePath(QStringLiteral("ktly.htm")));
    if (!page.open(QIODevice::ReadOnly))
        return fail(1, QStringLiteral("cannot read %1").arg(page.fileName()));
    QTextDocument document;
    document.setHtml(pageText(page.readAll()));

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
    document.print(&printer);

    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted
        || (!pdfFile.isEmpty() && QFileInfo(pdfFile).size() == 0))
        return fail(1, QStringLiteral("printing to %1 failed")
                           .arg(pdfFile.isEmpty() ? installed.printerName() : pdfFile));
    return 0;
}
