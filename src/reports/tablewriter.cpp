#include "reports/tablewriter.h"

#include "platform/regional.h"
#include "tableprint/surface.h"
#include "tableprint/tableengine.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

QString jsonText(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

// One complete JSON value (an object, array, string, number, true, false or null) on one
// line: no control character, which JSON allows only as blanks between tokens.
bool isJsonValue(const QString &text)
{
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; }))
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArrayLiteral("[") + text.toUtf8() + QByteArrayLiteral("]"), &error);
    return error.error == QJsonParseError::NoError && document.array().size() == 1;
}

// Writers that stream text: the stream's state tells whether the device took it.
class TextWriter : public TableWriter
{
public:
    explicit TextWriter(QIODevice &out) : m_stream(&out) {}

    bool end(QString *error) override
    {
        finish();
        m_stream.flush();
        if (m_stream.status() == QTextStream::Ok)
            return true;
        if (error)
            *error = m_stream.device()->errorString();
        return false;
    }

protected:
    virtual void finish() {}
    QTextStream m_stream;
};

class DelimitedWriter : public TextWriter
{
public:
    DelimitedWriter(QIODevice &out, QChar separator) : TextWriter(out), m_separator(separator) {}

    void begin(const QList<OutputColumn> &columns) override
    {
        QStringList titles;
        for (const OutputColumn &c : columns) {
            titles << c.title;
            m_guarded << c.fromDatabase;
        }
        line(titles, false);
    }
    void row(const QStringList &cells) override { line(cells, true); }
    void total(const QStringList &cells) override { line(cells, true); }

private:
    void line(const QStringList &cells, bool guard)
    {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i)
                m_stream << m_separator;
            m_stream << cell(guard && m_guarded.value(i) ? formulaSafe(cells[i]) : cells[i]);
        }
        m_stream << '\n';
    }

    // A text a spreadsheet would take for a formula, behind a "'" that makes it a text.
    static QString formulaSafe(const QString &text)
    {
        static const QString starts = QStringLiteral("=+-@\t\r");
        if (text.isEmpty() || !starts.contains(text.front()))
            return text;
        return QLatin1Char('\'') + text;
    }

    QString cell(const QString &text) const
    {
        static const QString breaks = QStringLiteral("\r\n\t");
        if (m_separator == QLatin1Char('\t')) {
            if (!std::any_of(text.begin(), text.end(), [](QChar c) { return breaks.contains(c); }))
                return text;
            QString clean = text;
            for (QChar &c : clean) {
                if (breaks.contains(c))
                    c = QLatin1Char(' ');
            }
            return clean;
        }
        static const QString special = QStringLiteral(",\"\r\n");
        if (!std::any_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); }))
            return text;
        return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\""))
               + QLatin1Char('"');
    }

    QChar m_separator;
    QList<bool> m_guarded;
};

class JsonWriter : public TextWriter
{
public:
    JsonWriter(QIODevice &out, const Heading &heading) : TextWriter(out), m_heading(heading) {}

    void begin(const QList<OutputColumn> &columns) override
    {
        m_columns = columns;
        m_stream << "{\"report\":" << jsonText(m_heading.report) << ",\"from\":" << jsonText(m_heading.from)
                 << ",\"to\":" << jsonText(m_heading.to);
        if (!m_heading.rules.isEmpty()) {
            m_stream << ",\"rules\":{";
            for (qsizetype i = 0; i < m_heading.rules.size(); ++i)
                m_stream << (i ? "," : "") << jsonText(m_heading.rules[i].first) << ':'
                         << jsonText(m_heading.rules[i].second);
            m_stream << '}';
        }
        m_stream << ",\"rows\":[";
    }
    void row(const QStringList &cells) override
    {
        m_stream << (m_rows++ ? ",\n" : "\n") << object(cells);
    }
    void total(const QStringList &cells) override { m_total = object(cells); }

private:
    void finish() override
    {
        m_stream << (m_rows ? "\n]" : "]");
        if (!m_total.isEmpty())
            m_stream << ",\"total\":" << m_total;
        m_stream << "}\n";
    }
    QString object(const QStringList &cells) const
    {
        QString out = QStringLiteral("{");
        for (qsizetype i = 0; i < m_columns.size(); ++i) {
            const OutputColumn &c = m_columns[i];
            const QString text = cells.value(i);
            if (i)
                out += QLatin1Char(',');
            out += jsonText(c.key) + QLatin1Char(':');
            if (text.isEmpty() && c.kind != OutputColumn::Kind::Text)
                out += QStringLiteral("null");
            else if (c.kind == OutputColumn::Kind::Date || c.kind == OutputColumn::Kind::DateTime)
                out += jsonText(isoText(text, c.kind));
            else if (c.kind == OutputColumn::Kind::Text || (c.kind == OutputColumn::Kind::Json && !isJsonValue(text)))
                out += jsonText(text);
            else
                out += text;
        }
        return out + QLatin1Char('}');
    }

    // A date or date-time in the station's general date form as ISO 8601; a text that is not
    // one (the "None" of an open punch) as it is.
    static QString isoText(const QString &text, OutputColumn::Kind kind)
    {
        const std::optional<QDateTime> value = regional::parseDateTime(text);
        if (!value || !value->isValid())
            return text;
        return kind == OutputColumn::Kind::Date ? value->date().toString(Qt::ISODate)
                                                : value->toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    }

    Heading m_heading;
    QList<OutputColumn> m_columns;
    qint64 m_rows = 0;
    QString m_total;
};

// Collects the rows, then draws them as one ruled table with the table printing engine.
class PdfWriter : public TableWriter
{
public:
    PdfWriter(QIODevice &out, const Heading &heading) : m_out(out), m_heading(heading) {}

    void begin(const QList<OutputColumn> &columns) override { m_columns = columns; }
    void row(const QStringList &cells) override { m_rows.append(cells); }
    void total(const QStringList &cells) override { m_total = cells; }

    bool end(QString *error) override
    {
        QPdfWriter writer(&m_out);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
        writer.setResolution(300);
        writer.setTitle(m_heading.title);
        writer.setCreator(QStringLiteral("Chronotally"));
        tableprint::Surface surface(&writer);
        if (!surface.isActive()) {
            if (error)
                *error = QStringLiteral("The PDF could not be started.");
            return false;
        }
        try {
            draw(surface);
        } catch (const tableprint::TableError &failure) {
            surface.end();
            if (error)
                *error = failure.description;
            return false;
        }
        if (!surface.end()) {
            if (error)
                *error = QStringLiteral("The PDF could not be written.");
            return false;
        }
        return true;
    }

private:
    void draw(tableprint::Surface &surface)
    {
        using tableprint::TextFormat::EndEllipsis;
        using tableprint::TextFormat::Right;
        surface.setScaleMode(tableprint::ScaleMode::Points);
        QFont font(QStringLiteral("DejaVu Sans"), 7);
        QFont bold = font;
        bold.setBold(true);
        surface.setFont(bold);
        surface.print(m_heading.title);
        surface.setFont(font);
        surface.print();

        tableprint::Class1 table;
        table.HasFooter = !m_total.isEmpty();
        const int cols = int(m_columns.size());
        table.setCols(cols);
        table.setRows(int(m_rows.size()));
        table.PrintHeaderOnEveryPage = true;
        table.CellXOffset = 3;
        table.CellYOffset = 1.5;

        // Each column as wide as its widest text. When together they are wider than the page
        // the table's type is made smaller, down to 5 points (text widths follow the size),
        // and past that all columns are narrowed alike; what does not fit ends in an ellipsis.
        QList<double> widths(cols, 0);
        surface.setFont(bold);
        for (int c = 0; c < cols; ++c) {
            widths[c] = surface.textWidth(m_columns[c].title);
            if (table.HasFooter)
                widths[c] = std::max(widths[c], surface.textWidth(m_total.value(c)));
        }
        surface.setFont(font);
        for (const QStringList &cells : std::as_const(m_rows)) {
            for (int c = 0; c < cols; ++c)
                widths[c] = std::max(widths[c], surface.textWidth(cells.value(c)));
        }
        const double padding = 2 * table.CellXOffset + 1;
        double text = 0;
        for (double w : std::as_const(widths))
            text += w;
        const double room = surface.scaleWidth() - cols * padding;
        double size = font.pointSizeF();
        if (text > room && room > 0) {
            // A little to spare, as glyph widths do not follow the size exactly.
            size = std::max(5.0, std::floor(size * room / text / 1.03 * 4) / 4);
            font.setPointSizeF(size);
            bold.setPointSizeF(size);
        }
        double sum = 0;
        for (double &w : widths) {
            w = w * size / 7 + padding;
            sum += w;
        }
        const double scale = sum > surface.scaleWidth() ? surface.scaleWidth() / sum : 1.0;

        if (!m_rows.isEmpty())
            table.setFontMatrix(-1, -1, font);
        for (int c = 0; c < cols; ++c) {
            table.setColWidth(c, widths[c] * scale);
            const bool number = m_columns[c].kind == OutputColumn::Kind::Number;
            table.setColAlignment(c, int((number ? Right : 0) | EndEllipsis));
            table.setHeaderText(0, c, m_columns[c].title);
            table.setHeaderFont(0, c, bold);
            if (table.HasFooter) {
                table.setFooterText(c, m_total.value(c));
                table.setFooterFont(c, bold);
            }
        }
        for (int r = 0; r < m_rows.size(); ++r) {
            for (int c = 0; c < cols; ++c)
                table.setTextMatrix(r, c, m_rows[r].value(c));
        }
        table.DrawTable(surface, 0, 1);

        if (m_heading.rules.isEmpty())
            return;
        surface.setFont(font);
        surface.print();
        for (const auto &[name, text] : m_heading.rules) {
            const QString line = name + QStringLiteral(": ") + text;
            if (surface.currentY() + surface.textHeight(line) > surface.scaleHeight()) {
                surface.newPage();
            }
            surface.print(line);
        }
    }

    QIODevice &m_out;
    Heading m_heading;
    QList<OutputColumn> m_columns;
    QList<QStringList> m_rows;
    QStringList m_total;
};

} // namespace

std::unique_ptr<TableWriter> TableWriter::create(OutputFormat format, QIODevice &out, const Heading &heading)
{
    switch (format) {
    case OutputFormat::Csv:
        return std::make_unique<DelimitedWriter>(out, QLatin1Char(','));
    case OutputFormat::Tsv:
        return std::make_unique<DelimitedWriter>(out, QLatin1Char('\t'));
    case OutputFormat::Json:
        return std::make_unique<JsonWriter>(out, heading);
    case OutputFormat::Pdf:
        return std::make_unique<PdfWriter>(out, heading);
    }
    return nullptr;
}

} // namespace reports
