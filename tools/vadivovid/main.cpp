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
// The report's table is laid out and drawn here row by row, each cell's text with its own
// QTextLayout and the grid as lines per page, where and as the rich text engine would put
// them: the engine's table gets slower with every row it holds and drawing its collapsed
// borders cost more than the rest of the page. So a report prints in time proportional to
// its rows. The columns are measured over all rows first, so every page has the same
// columns. A page that is not one table is printed by the rich text engine.
//
// A PDF file is written under a temporary name beside it and takes its name only when it is
// complete: a run that fails, runs out of time or is stopped leaves no partial file.
//
// Exit 0 when printed, 1 when the page is missing or cannot be printed, 2 on bad arguments.

#include "platform/system.h"
#include "product.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringDecoder>
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
#include <vector>

#include <unistd.h>

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

// A cell of the report's table: its text as the page shows it, and how it is set.
struct Cell {
    QString text;
    bool bold = false;    // inside <b> or a <th>: the title row
    bool oneLine = false; // marked nowrap: data cells keep to one line
};

// The text of an HTML fragment as a browser shows it: tags left out, runs of white space one
// blank, the entities the report screen writes (and numeric ones) read back.
QString plainText(QStringView html)
{
    QString text;
    text.reserve(html.size());
    bool blank = false;
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar ch = html[i];
        if (ch == u'<') {
            const qsizetype close = html.indexOf(u'>', i);
            i = close < 0 ? html.size() : close;
            continue;
        }
        if (ch.isSpace()) {
            blank = !text.isEmpty();
            continue;
        }
        if (blank)
            text += u' ';
        blank = false;
        const qsizetype semicolon = ch == u'&' ? html.indexOf(u';', i) : -1;
        if (semicolon > i && semicolon - i <= 10) {
            const QStringView name = html.sliced(i + 1, semicolon - i - 1);
            char32_t code = 0;
            if (name == u"amp") code = '&';
            else if (name == u"lt") code = '<';
            else if (name == u"gt") code = '>';
            else if (name == u"quot") code = '"';
            else if (name == u"apos") code = '\'';
            else if (name == u"nbsp") code = 0xa0;
            else if (name.startsWith(u'#')) {
                bool ok = false;
                const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
                code = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
                if (!ok || code == 0 || code > 0x10ffff || (code >= 0xd800 && code < 0xe000))
                    code = 0;
            }
            if (code) {
                text += QChar::fromUcs4(code);
                i = semicolon;
                continue;
            }
        }
        text += ch;
    }
    return text;
}

// The cells of one row of the page ("<tr>...").
QList<Cell> rowCells(QStringView row)
{
    QList<Cell> cells;
    const auto cellStart = [&](qsizetype from) {
        for (qsizetype at = from;; ++at) {
            at = row.indexOf(u"<t", at, Qt::CaseInsensitive);
            if (at < 0 || at + 3 >= row.size())
                return qsizetype(-1);
            const QChar kind = row[at + 2].toLower(), after = row[at + 3];
            if ((kind == u'd' || kind == u'h') && (after == u'>' || after.isSpace()))
                return at;
        }
    };
    for (qsizetype at = cellStart(0); at >= 0;) {
        const qsizetype tagEnd = row.indexOf(u'>', at);
        if (tagEnd < 0)
            break;
        const QStringView tag = row.sliced(at, tagEnd - at);
        const qsizetype next = cellStart(tagEnd);
        qsizetype end = row.indexOf(u"</t", tagEnd, Qt::CaseInsensitive);
        if (end < 0 || (next >= 0 && end > next))
            end = next < 0 ? row.size() : next;
        const QStringView content = row.sliced(tagEnd + 1, end - tagEnd - 1);
        Cell cell;
        cell.text = plainText(content);
        cell.oneLine = tag.contains(u"nowrap", Qt::CaseInsensitive);
        cell.bold = tag[2].toLower() == u'h' || content.contains(u"<b>", Qt::CaseInsensitive)
                    || content.contains(u"<strong>", Qt::CaseInsensitive);
        cells.append(std::move(cell));
        at = next;
    }
    return cells;
}

// The page's table as rows of cells, the title row first. Every row has as many cells as the
// widest one, the missing ones empty.
QList<QList<Cell>> tableCells(const Rows &rows)
{
    QList<QList<Cell>> table;
    table.reserve(rows.data.size() + 1);
    table.append(rowCells(rows.titles));
    qsizetype columns = table.first().size();
    for (const QStringView row : rows.data) {
        table.append(rowCells(row));
        columns = std::max(columns, table.last().size());
    }
    for (QList<Cell> &row : table)
        row.resize(columns);
    return table;
}

// The table is laid out and drawn here as the rich text engine lays out the page's table
// ("border='1' cellpadding='2'", collapsed borders), in the pixels of 1/96 inch the page is
// measured in: a grid line 1 pixel wide at the left of every column and the top of every row,
// each cell's text 3.5 pixels after the start of its line, and each column and row 5 pixels
// wider than its text.
constexpr qreal DocumentMargin = 4; // the rich text engine's margin around a document
constexpr qreal GridLine = 1;
constexpr qreal CellPadding = 2;
constexpr qreal CellExtra = GridLine + 2 * CellPadding;
constexpr qreal TextOffset = GridLine + CellPadding + 0.5;
// What the page needs besides the columns: the margins, the closing grid line and the room
// the engine keeps beside the table.
constexpr qreal AroundColumns = 12;
const QColor GridColour(0x11, 0x11, 0x11); // "bordercolor='#111111'"

// A cell's text laid out at the given width (0: not limited); on one line when the cell keeps
// to one line or the width is not limited.
struct CellText {
    QTextLayout layout;
    qreal height = 0;
    qreal widest = 0; // the widest line
};

QFont cellFont(bool bold)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(FontPoints);
    font.setBold(bold);
    return font;
}

constexpr qreal Unlimited = 1e7;

void layOut(CellText &out, const Cell &cell, qreal width)
{
    static const QFont plain = cellFont(false), bold = cellFont(true);
    out.layout.setText(cell.text);
    out.layout.setFont(cell.bold ? bold : plain);
    QTextOption option;
    const bool wrap = !cell.oneLine && width > 0;
    option.setWrapMode(wrap ? QTextOption::WordWrap : QTextOption::ManualWrap);
    // Right-to-left text starts at the cell's right, as the engine sets a paragraph in it.
    const bool rightToLeft = cell.text.isRightToLeft();
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(Qt::AlignAbsolute | (rightToLeft ? Qt::AlignRight : Qt::AlignLeft));
    out.layout.setTextOption(option);
    out.layout.setCacheEnabled(true);
    out.height = 0;
    out.widest = 0;
    out.layout.beginLayout();
    for (QTextLine line = out.layout.createLine(); line.isValid(); line = out.layout.createLine()) {
        // The cell's width even on one line, where right-to-left text aligns to its right.
        line.setLineWidth(width > 0 ? width : Unlimited);
        line.setPosition(QPointF(0, out.height));
        out.height += line.height();
        out.widest = std::max(out.widest, line.naturalTextWidth());
    }
    out.layout.endLayout();
}

// The table's columns over all rows.
struct Columns {
    QList<qreal> narrowest; // the least width of each column, grid and padding included
    QList<qreal> oneLine;   // each column's width with every text on one line
    qreal around = AroundColumns;
    qreal needed() const { return std::accumulate(narrowest.begin(), narrowest.end(), around); }
};

// Titles wrap between words, so a title needs its widest word; data cells need their line.
Columns measure(const QList<QList<Cell>> &table)
{
    Columns columns;
    const qsizetype count = table.first().size();
    columns.narrowest.fill(0, count);
    columns.oneLine.fill(0, count);
    CellText text;
    for (const QList<Cell> &row : table) {
        for (qsizetype c = 0; c < count; ++c) {
            layOut(text, row[c], 0);
            columns.oneLine[c] = std::max(columns.oneLine[c], text.widest);
            if (!row[c].oneLine)
                layOut(text, row[c], 1); // a word to a line
            columns.narrowest[c] = std::max(columns.narrowest[c], text.widest);
        }
    }
    for (qsizetype c = 0; c < count; ++c) {
        columns.narrowest[c] = std::ceil(columns.narrowest[c]) + CellExtra;
        columns.oneLine[c] = std::max(columns.narrowest[c], std::ceil(columns.oneLine[c]) + CellExtra);
    }
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

// Prints the table on pages of the given size: on every page the title row, then as many
// data rows as fit, with the grid drawn round them. False when the printer failed.
bool printTable(const QList<QList<Cell>> &table, const QList<qreal> &widths, const QSizeF &pageSize, QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // Document pixels onto the printable area of the page.
    painter.scale(printer.width() / pageSize.width(), printer.height() / pageSize.height());
    painter.setPen(Qt::black);

    const qsizetype count = widths.size();
    const qreal left = DocumentMargin + GridLine;
    QList<qreal> lineX(count + 1, left); // the grid line at the left of each column, and the last
    for (qsizetype c = 0; c < count; ++c)
        lineX[c + 1] = lineX[c] + widths[c];
    const qreal bottom = pageSize.height() - DocumentMargin;

    std::vector<CellText> texts(count);
    const auto layOutRow = [&](const QList<Cell> &row) {
        qreal height = 0;
        for (qsizetype c = 0; c < count; ++c) {
            layOut(texts[c], row[c], widths[c] - CellExtra);
            height = std::max(height, texts[c].height);
        }
        return std::ceil(height) + CellExtra;
    };
    QList<QRectF> grid;
    const auto drawRow = [&](qreal top, qreal height) {
        for (qsizetype c = 0; c < count; ++c)
            texts[c].layout.draw(&painter, QPointF(lineX[c] + TextOffset, top + TextOffset));
        grid.append(QRectF(lineX[0], top, lineX[count] - lineX[0] + GridLine, GridLine));
        return top + height;
    };
    const auto endPage = [&](qreal top, qreal end) {
        grid.append(QRectF(lineX[0], end, lineX[count] - lineX[0] + GridLine, GridLine));
        for (const qreal x : lineX)
            grid.append(QRectF(x, top, GridLine, end + GridLine - top));
        // One filled rectangle each, as the engine draws a border: viewers draw a lone thin
        // rectangle as a crisp line of whole pixels, the same path of many as blurred ones.
        for (const QRectF &line : std::as_const(grid))
            painter.fillRect(line, GridColour);
        grid.clear();
    };

    const qreal top = left;
    qsizetype r = 1;
    do {
        if (r > 1 && !printer.newPage())
            return false;
        qreal y = drawRow(top, layOutRow(table.first()));
        // At least one row on every page, so a page too short for any still ends.
        for (bool first = true; r < table.size(); first = false) {
            const qreal height = layOutRow(table[r]);
            if (!first && y + height + GridLine > bottom)
                break;
            y = drawRow(y, height);
            ++r;
        }
        endPage(top, y);
    } while (r < table.size());
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
    const QList<QList<Cell>> table = rows ? tableCells(*rows) : QList<QList<Cell>>();
    if (table.isEmpty() || table.first().isEmpty())
        return printDocument(html, printer);
    const Columns columns = measure(table);
    const QSizeF pageSize = fitToPage(columns.needed(), printer);
    return printTable(table, columnWidths(columns, pageSize.width()), pageSize, printer);
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
