#include "reports/reporttext.h"

#include "platform/vectorstate.h"
#include "reports/reportlistmodel.h"

#include <QSaveFile>

namespace reports {

namespace {

const QLatin1String LineEnd("\r\n");

const QLatin1String PageStart("<table border='1' cellpadding='2' style='border-collapse: collapse' "
                              "bordercolor='#111111' width='100%' id='AutoNumber1'><tr>");

// The page is encoded and written in slices of about this many characters, so a long
// report never needs its whole page in memory twice.
constexpr qsizetype SliceLength = 1 << 20;

} // namespace

QString reportText(const ReportListModel &model)
{
    platform::clearVectorUpperState();
    const int columns = model.columnCount();
    const int rows = model.rowCount();
    // Size the text from the first rows, so a long report is built without regrowing.
    qsizetype sample = 0;
    const int sampled = std::min(rows, 64);
    for (int r = 0; r < sampled; ++r) {
        for (int c = 1; c < columns; ++c)
            sample += model.cell(r, c).size() + 1;
        sample += 2;
    }
    QString text;
    text.reserve((sampled ? sample / sampled * qsizetype(rows) * 9 / 8 : 0) + 64 * columns);

    for (int c = 1; c < columns; ++c) {
        text += model.title(c);
        text += QLatin1Char('\t');
    }
    text += LineEnd;
    for (int r = 0; r < rows; ++r) {
        for (int c = 1; c < columns; ++c) {
            text += model.cell(r, c);
            text += QLatin1Char('\t');
        }
        text += LineEnd;
    }
    return text;
}

QStringView trimBlanks(QStringView text)
{
    while (text.startsWith(QLatin1Char(' ')))
        text = text.mid(1);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

void appendHtmlEscaped(QString &out, QStringView text)
{
    qsizetype plain = 0; // start of the run of characters that need no entity
    for (qsizetype i = 0; i < text.size(); ++i) {
        QLatin1String entity;
        switch (text[i].unicode()) {
        case '&': entity = QLatin1String("&amp;"); break;
        case '<': entity = QLatin1String("&lt;"); break;
        case '>': entity = QLatin1String("&gt;"); break;
        case '"': entity = QLatin1String("&quot;"); break;
        case '\'': entity = QLatin1String("&#39;"); break;
        default: continue;
        }
        out += text.mid(plain, i - plain);
        out += entity;
        plain = i + 1;
    }
    out += text.mid(plain);
}

bool writeReportPage(const ReportListModel &model, const QString &path)
{
    platform::clearVectorUpperState();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QString slice;
    slice.reserve(SliceLength + 4096);
    bool written = true;
    const auto flush = [&] {
        written = written && file.write(slice.toUtf8()) >= 0;
        slice.clear();
    };

    const int columns = model.columnCount();
    slice += PageStart;
    for (int c = 1; c < columns; ++c) {
        slice += QLatin1String("<td><b>");
        appendHtmlEscaped(slice, trimBlanks(model.title(c)));
        slice += QLatin1String("</b></td>");
    }
    for (int r = 0; r < model.rowCount() && written; ++r) {
        slice += QLatin1String("<tr>");
        for (int c = 1; c < columns; ++c) {
            slice += QLatin1String("<td nowrap>");
            appendHtmlEscaped(slice, model.cell(r, c));
            slice += QLatin1String("</td>");
        }
        slice += QLatin1String("</tr>");
        if (slice.size() >= SliceLength)
            flush();
    }
    slice += QLatin1String("</table>");
    slice += LineEnd;
    flush();
    return written && file.commit();
}

} // namespace reports
