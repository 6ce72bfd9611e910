#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QIODevice;

namespace reports {

enum class OutputFormat { Csv, Tsv, Json, Pdf };

// One column of a written table: its title, its key in JSON, how JSON writes its texts
// (numbers bare, JSON texts as they are and null when empty, dates and date-times in the
// station's general date form as ISO 8601 strings (yyyy-MM-dd, yyyy-MM-ddTHH:mm:ss) and
// null when empty, anything else as a string),
// and whether its texts come from the database (a spreadsheet must not run them).
struct OutputColumn {
    enum class Kind { Text, Number, Json, Date, DateTime };
    QString title;
    QString key;
    Kind kind = Kind::Text;
    bool fromDatabase = false;
};

// Writes one table in a format: a heading, the titles, rows as they come and an optional
// total line. CSV, TSV and JSON are written row by row; the PDF is drawn at the end, through
// the table printing engine, on A4 landscape pages with the titles on every page and the
// total line as the table's footer.
//
// CSV: titles first, cells quoted where they hold a comma, quote or line break (quotes
// doubled), lines ended by "\n". TSV: the same without quoting; tabs and line breaks in
// cells become blanks. In both, a cell of a column from the database that a spreadsheet
// would run as a formula (it begins with "=", "+", "-", "@", a tab or a carriage return)
// is written after a "'". JSON: {"report":..,"from":..,"to":..,"rules":{..},"rows":[{key:
// value..}..]} with "rules" only when the heading has some and "total" after the rows when
// there is one, one row a line; a JSON column's text that is not one valid JSON value on one
// line, and a date text that cannot be read as one, are written as strings as they are. The
// PDF prints the rules under the table, one "name: text" a line.
class TableWriter
{
public:
    struct Heading {
        QString report; // "summary", "punches" or "audit"
        QString title;  // the PDF's heading line
        QString from;
        QString to;
        // Names and texts of the rules the report was made by (the summary's pay rules).
        QList<std::pair<QString, QString>> rules;
    };

    static std::unique_ptr<TableWriter> create(OutputFormat format, QIODevice &out, const Heading &heading);
    virtual ~TableWriter() = default;

    virtual void begin(const QList<OutputColumn> &columns) = 0;
    virtual void row(const QStringList &cells) = 0;
    virtual void total(const QStringList &cells) = 0;
    // Finishes the output; false with a description when it could not be written.
    virtual bool end(QString *error) = 0;
};

} // namespace reports
