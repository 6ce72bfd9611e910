// vadivovid: the print utility the report screen starts after writing ktly.htm.
//
// It prints ktly.htm from its own folder on the default printer without asking anything; an
// installed utility, whose folder the user may not write, reads it from the user's cache
// folder instead (platform::pageFolder).
// With no printer installed the page goes to ktly.pdf beside it instead, so it is never
// lost. "--pdf <file>" prints to the given PDF file. Whenever it writes a PDF file it says
// where on standard output, one line, the file's path and nothing else. Either way the page
// is laid out alike: the report's table is scaled to the width of the page, which turns to
// landscape when the table is wider than a portrait page; data cells keep to one line as the
// page asks; and a report longer than a page repeats its title row at the top of every page.
//
// A long report is laid out a few pages at a time: the rich text engine's table gets slower
// with every row it holds (looking up a cell costs time in proportion to the table's size),
// so one document of all the rows takes time in the square of their number. The columns are
// measured over all rows first, so every page has the same columns.
//
// A PDF file is written under a temporary name beside it and takes its name only when it is
// complete: a run that fails, runs out of time or is stopped leaves no partial file.
//
// Exit 0 when printed, 1 when the page is missing or cannot be printed, 2 on bad arguments.

#include "platform/system.h"
#include "product.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextOption>
#include <QTextTable>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

constexpr auto LongestRun = std::chrono::minutes(10);
constexpr qreal FontPoints = 9;
constexpr qreal MarginMillimetres = 10;
// The document is laid out at 96 dots per inch (see main), in pixels of 1/96 inch.
constexpr qreal PixelsPerPoint = 96.0 / 72.0;
// Rows measured at once: few enough that the table stays quick.
constexpr int RowsAtOnce = 64;

int fail(int code, const QString &message)
{
    std::fprintf(stderr, "vadivovid: %s\n", qPrintable(message));
    return code;
}

// The PDF file being written, removed by whatever ends the run before it is complete. The
// path is kept as bytes so that a signal handler or the time limit can remove it safely.
std::string partialFile;

void removePartialFile()
{
    if (!partialFile.empty())
        ::unlink(partialFile.c_str());
}

extern "C" void stopped(int signal)
{
    removePartialFile();
    std::_Exit(128 + signal);
}

// The page is normally UTF-8; text that is not is read as Latin-1 rather than mangled.
QString pageText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// The page cut at its rows: what comes before the first row, the first row (the titles), the
// data rows, and the end of the table. Cell texts are escaped, so a row starts at every "<tr".
struct Rows {
    QStringView start;
    QStringView titles;
    QList<QStringView> data;
    QStringView end;
};

std::optional<Rows> splitRows(const QString &html)
{
    const QStringView page(html);
    const qsizetype first = page.indexOf(u"<tr", 0, Qt::CaseInsensitive);
    const qsizetype last = page.lastIndexOf(u"</table", -1, Qt::CaseInsensitive);
    if (first < 0 || last < first)
        return std::nullopt;
    Rows rows;
    rows.start = page.first(first);
    rows.end = page.sliced(last);
    QList<QStringView> all;
    for (qsizetype at = first; at < last;) {
        qsizetype next = page.indexOf(u"<tr", at + 3, Qt::CaseInsensitive);
        if (next < 0 || next > last)
            next = last;
        all.append(page.sliced(at, next - at));
        at = next;
    }
    rows.titles = all.first();
    rows.data = all.mid(1);
    return rows;
}

// A document of some rows of the page: the titles and data rows [from, to).
QString rowsPage(const Rows &rows, qsizetype from, qsizetype to)
{
    QString html;
    html.reserve(rows.start.size() + rows.titles.size() + rows.end.size() + 256 * (to - from));
    html += rows.start;
    html += rows.titles;
    for (qsizetype r = from; r < to; ++r)
        html += rows.data[r];
    html += rows.end;
    return html;
}

// Reads the page into the document: cells marked nowrap stay on one line (the rich text
// engine knows the style, not the attribute), titles wrap between words only, never inside
// one, and the report's table, the first one, takes its first row as the title row that
// every page repeats. Returns that table.
QTextTable *readPage(QTextDocument &document, const QString &html)
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
            return table;
        }
    }
    return nullptr;
}

// Portrait unless the content needs more width than a portrait page has; returns the
// document's page size, whose width maps onto the printable width: content that is still too
// wide is printed smaller rather than cut off at the right.
QSizeF fitToPage(qreal needed, QPrinter &printer)
{
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    layout.setMargins(QMarginsF(MarginMillimetres, MarginMillimetres, MarginMillimetres, MarginMillimetres));
    layout.setOrientation(QPageLayout::Portrait);
    if (needed > layout.paintRect(QPageLayout::Point).width() * PixelsPerPoint)
        layout.setOrientation(QPageLayout::Landscape);
    printer.setPageLayout(layout);

    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const qreal width = std::max(needed, area.width() * PixelsPerPoint);
    return QSizeF(width, width * area.height() / area.width());
}

// The widest line of a laid-out cell, and the width of its text on one line.
struct CellWidth {
    qreal narrowest = 0;
    qreal oneLine = 0;
};

CellWidth cellWidth(const QTextTableCell &cell)
{
    CellWidth width;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        const QTextBlock block = it.currentBlock();
        if (!block.isValid())
            continue;
        const QTextLayout *layout = block.layout();
        qreal line = 0;
        for (int i = 0; i < layout->lineCount(); ++i) {
            width.narrowest = std::max(width.narrowest, layout->lineAt(i).naturalTextWidth());
            line += layout->lineAt(i).naturalTextWidth();
        }
        // A title wrapped between words: its words side by side, with the blanks between them.
        if (layout->lineCount() > 1) {
            qreal words = 0;
            for (auto f = block.begin(); !f.atEnd(); ++f) {
                const QTextFragment fragment = f.fragment();
                const QFont font = fragment.charFormat().font().resolve(block.document()->defaultFont());
                words += QFontMetricsF(font).horizontalAdvance(fragment.text());
            }
            line = std::max(line, words);
        }
        width.oneLine = std::max(width.oneLine, line);
    }
    return width;
}

// The table's columns over all rows, measured a batch of rows at a time at the narrowest the
// engine can lay them out.
struct Columns {
    QList<qreal> narrowest; // the least width of each column, padding included
    QList<qreal> oneLine;   // each column's width with every text on one line
    qreal around = 0;       // what the page needs besides the columns (margins, borders)
    qreal needed() const { return std::accumulate(narrowest.begin(), narrowest.end(), around); }
};

std::optional<Columns> measure(const Rows &rows)
{
    Columns columns;
    qreal padding = 0;
    for (qsizetype from = 0; from == 0 || from < rows.data.size(); from += RowsAtOnce) {
        const qsizetype to = std::min(rows.data.size(), from + RowsAtOnce);
        QTextDocument document;
        QTextTable *table = readPage(document, rowsPage(rows, from, to));
        if (!table || table->columns() == 0)
            return std::nullopt;
        document.setTextWidth(1);
        const qreal ideal = document.idealWidth();
        const int count = table->columns();
        if (columns.narrowest.isEmpty()) {
            columns.narrowest.fill(0, count);
            columns.oneLine.fill(0, count);
        } else if (count != columns.narrowest.size()) {
            return std::nullopt;
        }
        QList<qreal> content(count, 0);
        for (int r = 0; r < table->rows(); ++r) {
            for (int c = 0; c < count; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue; // a cell spanning more than one place counts once
                const CellWidth w = cellWidth(cell);
                content[c] = std::max(content[c], w.narrowest);
                columns.oneLine[c] = std::max(columns.oneLine[c], w.oneLine);
            }
        }
        // Every column has the same padding and borders: the first batch tells how much,
        // from where the engine put the first two columns' texts at their narrowest.
        if (from == 0) {
            const QAbstractTextDocumentLayout *layout = document.documentLayout();
            const auto left = [&](int c) {
                return layout->blockBoundingRect(table->cellAt(0, c).firstCursorPosition().block()).left();
            };
            padding = count > 1 ? left(1) - left(0) - std::ceil(content[0]) : 0;
            qreal sum = 0;
            for (int c = 0; c < count; ++c)
                sum += std::ceil(content[c]) + padding;
            columns.around = std::max<qreal>(0, ideal - sum);
        }
        for (int c = 0; c < count; ++c)
            columns.narrowest[c] = std::max(columns.narrowest[c], std::ceil(content[c]) + padding);
        if (to == rows.data.size())
            break;
    }
    for (int c = 0; c < columns.oneLine.size(); ++c)
        columns.oneLine[c] = std::max(columns.narrowest[c], std::ceil(columns.oneLine[c]) + padding);
    return columns;
}

// The columns' widths on a page of this width: each column its one-line width and the rest
// shared in proportion where they fit; otherwise each its least width and what is left shared
// in proportion to what more each would like.
QList<qreal> columnWidths(const Columns &columns, qreal pageWidth)
{
    const qreal room = pageWidth - columns.around;
    const qreal least = std::accumulate(columns.narrowest.begin(), columns.narrowest.end(), qreal(0));
    const qreal ideal = std::accumulate(columns.oneLine.begin(), columns.oneLine.end(), qreal(0));
    QList<qreal> widths(columns.narrowest.size());
    for (qsizetype c = 0; c < widths.size(); ++c) {
        if (ideal <= room)
            widths[c] = columns.oneLine[c] * room / ideal;
        else if (ideal > least)
            widths[c] = columns.narrowest[c] + (room - least) * (columns.oneLine[c] - columns.narrowest[c]) / (ideal - least);
        else
            widths[c] = columns.narrowest[c];
        widths[c] = std::floor(widths[c]);
    }
    return widths;
}

// Draws one page of a paginated document, as QTextDocument::print does.
void drawPage(QPainter &painter, QTextDocument &document, int index)
{
    const QSizeF size = document.pageSize();
    painter.save();
    painter.translate(0, -index * size.height());
    const QRectF view(0, index * size.height(), size.width(), size.height());
    painter.setClipRect(view);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = view;
    context.palette.setColor(QPalette::Text, Qt::black);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
}

// Prints the rows a batch at a time on pages of the given size, every page but the last of a
// batch full; the rows of a batch's last page start the next batch. False when the printer
// failed.
bool printRows(const Rows &rows, const QList<qreal> &widths, const QSizeF &pageSize, QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // Document pixels onto the printable area of the page.
    painter.scale(printer.width() / pageSize.width(), printer.height() / pageSize.height());
    QList<QTextLength> constraints;
    for (const qreal w : widths)
        constraints.append(QTextLength(QTextLength::FixedLength, w));

    bool firstPage = true;
    qsizetype batch = RowsAtOnce;
    for (qsizetype from = 0; from == 0 || from < rows.data.size();) {
        const qsizetype to = std::min(rows.data.size(), from + batch);
        QTextDocument document;
        QTextTable *table = readPage(document, rowsPage(rows, from, to));
        if (!table)
            return false;
        QTextTableFormat format = table->format();
        format.setColumnWidthConstraints(constraints);
        table->setFormat(format);
        document.setPageSize(pageSize);
        const int pages = document.pageCount();

        // The pages to print now, and the rows they hold.
        int printed = pages;
        qsizetype done = to - from;
        if (to < rows.data.size()) {
            const QAbstractTextDocumentLayout *layout = document.documentLayout();
            printed = pages - 1;
            done = 0;
            for (int r = 1; r < table->rows(); ++r) {
                const QTextBlock block = table->cellAt(r, 0).firstCursorPosition().block();
                if (int(layout->blockBoundingRect(block).top() / pageSize.height()) >= printed)
                    break;
                done = r;
            }
            if (done == 0) {
                // Not even a page full: take more rows at once.
                batch *= 2;
                continue;
            }
            // Next time about one page and a little more.
            batch = std::max<qsizetype>(8, done / printed + done / printed / 4 + 4);
        }
        for (int page = 0; page < printed; ++page) {
            if (!firstPage && !printer.newPage())
                return false;
            firstPage = false;
            drawPage(painter, document, page);
        }
        from += done;
        if (to == rows.data.size())
            break;
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}

// A page that is not one table of rows is printed as one document.
bool printDocument(const QString &html, QPrinter &printer)
{
    QTextDocument document;
    readPage(document, html);
    document.setTextWidth(1); // the narrowest the content can be laid out
    document.setPageSize(fitToPage(document.idealWidth(), printer));
    document.print(&printer);
    return printer.printerState() != QPrinter::Error && printer.printerState() != QPrinter::Aborted;
}

bool print(const QString &html, QPrinter &printer)
{
    const std::optional<Rows> rows = splitRows(html);
    const std::optional<Columns> columns = rows ? measure(*rows) : std::nullopt;
    if (!columns)
        return printDocument(html, printer);
    const QSizeF pageSize = fitToPage(columns->needed(), printer);
    return printRows(*rows, columnWidths(*columns, pageSize.width()), pageSize, printer);
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

    // A print spooler that never answers must not keep the utility around for ever. The
    // limit may be shortened (in whole seconds) through VADIVOVID_TIME_LIMIT.
    auto limit = std::chrono::duration_cast<std::chrono::seconds>(LongestRun);
    bool limitSet = false;
    const int seconds = qEnvironmentVariableIntValue("VADIVOVID_TIME_LIMIT", &limitSet);
    if (limitSet && seconds > 0 && std::chrono::seconds(seconds) < limit)
        limit = std::chrono::seconds(seconds);
    std::thread([limit] {
        std::this_thread::sleep_for(limit);
        removePartialFile();
        std::fprintf(stderr, "vadivovid: printing did not finish in time\n");
        std::_Exit(1);
    }).detach();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, stopped);

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
    const QString html = pageText(page.readAll());

    QPrinter printer(QPrinter::HighResolution);
    const QPrinterInfo installed = pdfFile.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo();
    QString writing; // the PDF file under its temporary name
    if (!installed.isNull()) {
        printer.setPrinterName(installed.printerName());
    } else {
        if (pdfFile.isEmpty())
            pdfFile = folder.filePath(QStringLiteral("ktly.pdf"));
        pdfFile = QFileInfo(pdfFile).absoluteFilePath();
        QFile::remove(pdfFile); // an old file must not pass for this page
        writing = pdfFile + QStringLiteral(".part%1").arg(QCoreApplication::applicationPid());
        partialFile = QFile::encodeName(writing).toStdString();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(writing);
    }
    printer.setDocName(product::Name + QStringLiteral(" report"));

    const bool printed = print(html, printer);
    if (writing.isEmpty())
        return printed ? 0 : fail(1, QStringLiteral("printing on %1 failed").arg(installed.printerName()));
    if (!printed || QFileInfo(writing).size() == 0 || ::rename(partialFile.c_str(), QFile::encodeName(pdfFile)) != 0) {
        removePartialFile();
        return fail(1, QStringLiteral("printing to %1 failed").arg(pdfFile));
    }
    partialFile.clear();
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(pdfFile)));
    return 0;
}
