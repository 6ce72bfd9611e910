#include "reports/reportcommand.h"

#include "data/audittable.h"
#include "data/database.h"
#include "data/storedconnection.h"
#include "platform/clock.h"
#include "reports/paycalc.h"
#include "reports/payexceptions.h"
#include "reports/payroll.h"
#include "reports/payrulesstore.h"
#include "reports/reportcolumns.h"
#include "reports/reportengine.h"
#include "reports/reportlistmodel.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryFile>

namespace reports {

const QString ReportCommand::ProgramName = QStringLiteral("chronotally-report");
const QString ReportCommand::Usage = QStringLiteral(
    "Usage: chronotally-report --from YYYY-MM-DD --to YYYY-MM-DD [options]\n"
    "       chronotally-report --period YYYY-MM-DD [options]\n"
    "Writes the punches of the station's database whose work date lies from --from to --to,\n"
    "both days included: the punch lines of Run Report, or with --summary one line per\n"
    "employee and a total line. --exceptions lists the punches and employees that need a\n"
    "look; --audit writes the changes made on the employee and time edit screens on those\n"
    "days instead. The database is only read.\n"
    "\n"
    "  --from DATE       the first work date\n"
    "  --to DATE         the last work date\n"
    "  --period DATE     the pay period that holds DATE, by the pay rules, instead of\n"
    "                    --from and --to; the summary unless another report is asked for\n"
    "  --employee ID     only the punches of this user ID; may be given again for more\n"
    "  --summary         one line per employee: punches, worked minutes and hours, paid\n"
    "                    minutes after rounding and the break rule, open, over-long and\n"
    "                    reversed punches, regular and overtime minutes and gross pay\n"
    "  --exceptions      punches open too long, reversed, with a time alone, of no\n"
    "                    employee or in a closed pay period, and rates that are not numbers\n"
    "  --audit           the audit trail instead of the punches\n"
    "  --format FORMAT   csv (the default), tsv, json or pdf\n"
    "  --output FILE     write FILE instead of standard output\n"
    "  --db FOLDER       read the Stampwell.mdb in FOLDER instead of the station's database\n"
    "  --quiet           no progress on standard error\n"
    "  --help            this text\n"
    "\n"
    "Exit codes: 0 done, 1 the database or the output failed, 2 bad arguments.\n");

namespace {
using Kind = OutputColumn::Kind;

const QList<OutputColumn> &punchColumns()
{
    // The hour texts and totals are computed; every other cell is a text of the database.
    static const QList<OutputColumn> columns{
        {titles::UserIDLogin, QStringLiteral("userId"), Kind::Text, true},
        {titles::FirstName, QStringLiteral("firstName"), Kind::Text, true},
        {titles::LastName, QStringLiteral("lastName"), Kind::Text, true},
        {titles::WorkedDate, QStringLiteral("workedDate"), Kind::Date, true},
        {titles::ClockedIn, QStringLiteral("clockedIn"), Kind::DateTime, true},
        {titles::ClockedOut, QStringLiteral("clockedOut"), Kind::DateTime, true},
        {titles::HoursMinutesWorked, QStringLiteral("hoursMinutesWorked")},
        {titles::TotalFraction, QStringLiteral("totalFraction")},
        {titles::TotalHourMinute, QStringLiteral("totalHourMinute")},
        {titles::HourlyRate, QStringLiteral("hourlyRate"), Kind::Text, true},
    };
    return columns;
}

const QList<OutputColumn> &summaryColumns()
{
    static const QList<OutputColumn> columns = [] {
        const QStringList keys{QStringLiteral("userId"),       QStringLiteral("firstName"),
                               QStringLiteral("lastName"),     QStringLiteral("punches"),
                               QStringLiteral("workedMinutes"), QStringLiteral("hours"),
                               QStringLiteral("decimalHours"), QStringLiteral("paidMinutes"),
                               QStringLiteral("openPunches"),  QStringLiteral("overLongPunches"),
                               QStringLiteral("reversedPunches"), QStringLiteral("regularMinutes"),
                               QStringLiteral("overtimeMinutes"), QStringLiteral("grossPay")};
        const QList<Kind> kinds{Kind::Text,   Kind::Text, Kind::Text,   Kind::Number, Kind::Number,
                                Kind::Text,   Kind::Number, Kind::Number, Kind::Number, Kind::Number,
                                Kind::Number, Kind::Number, Kind::Number, Kind::Number};
        // The user ID and the names come from the database, the rest is counted.
        QList<OutputColumn> list;
        for (qsizetype i = 0; i < keys.size(); ++i)
            list.append({summaryTitles().at(i), keys[i], kinds[i], i < 3});
        return list;
    }();
    return columns;
}

const QList<OutputColumn> &exceptionColumns()
{
    static const QList<OutputColumn> columns = [] {
        const QStringList keys{QStringLiteral("exception"),  QStringLiteral("userId"),   QStringLiteral("firstName"),
                               QStringLiteral("lastName"),   QStringLiteral("workedDate"), QStringLiteral("clockedIn"),
                               QStringLiteral("clockedOut"), QStringLiteral("detail")};
        const QList<Kind> kinds{Kind::Text, Kind::Text, Kind::Text, Kind::Text,
                                Kind::Date, Kind::DateTime, Kind::DateTime, Kind::Text};
        // The kind is the program's; the rest holds texts of the database (a rate, an ID).
        QList<OutputColumn> list;
        for (qsizetype i = 0; i < keys.size(); ++i)
            list.append({exceptionTitles().at(i), keys[i], kinds[i], i > 0});
        return list;
    }();
    return columns;
}

struct AuditColumn {
    OutputColumn output;
    const char *column;
};

const QList<AuditColumn> &auditColumns()
{
    static const QList<AuditColumn> columns{
        {{QStringLiteral("When"), QStringLiteral("when"), Kind::DateTime, true}, "ChangedAt"},
        {{QStringLiteral("Station"), QStringLiteral("station"), Kind::Text, true}, "StationName"},
        {{QStringLiteral("Administrator"), QStringLiteral("administrator"), Kind::Text, true}, "AdminUserID"},
        {{QStringLiteral("Action"), QStringLiteral("action"), Kind::Text, true}, "Action"},
        {{QStringLiteral("Table"), QStringLiteral("table"), Kind::Text, true}, "TableName"},
        {{QStringLiteral("Row Key"), QStringLiteral("rowKey"), Kind::Text, true}, "RowKey"},
        {{QStringLiteral("Old Values"), QStringLiteral("oldValues"), Kind::Json, true}, "OldValues"},
        {{QStringLiteral("New Values"), QStringLiteral("newValues"), Kind::Json, true}, "NewValues"},
    };
    return columns;
}

// The changes from a day on, for a range that ends on the last day there is: it has no day
// after to compare with.
const QString AuditFromSql = QStringLiteral(
    "select ID, ChangedAt, StationName, AdminUserID, Action, TableName, RowKey, OldValues, NewValues "
    "from AuditTable where ChangedAt >= ? order by ChangedAt, ID");

// Where the report goes. A regular file, or a new one, is replaced whole once the report is
// complete, so a failed run leaves the file as it was; anything else the path names (a
// device, a named pipe) is written into, as standard output is.
class Output
{
public:
    Output(QIODevice &standardOutput, const QString &path) : m_device(&standardOutput), m_path(path) {}

    bool open(QString *error)
    {
        if (m_path.isEmpty())
            return true;
        const QFileInfo info(m_path);
        QFileDevice *file = nullptr;
        if (!info.exists() || info.isFile())
            file = &m_saveFile.emplace(m_path);
        else
            file = &m_file.emplace(m_path);
        if (!file->open(QIODevice::WriteOnly)) {
            *error = file->errorString();
            return false;
        }
        m_device = file;
        return true;
    }
    QIODevice &device() { return *m_device; }
    QString name() const { return m_path.isEmpty() ? QStringLiteral("the output") : m_path; }

    // Everything written reached the device (or replaced the file).
    bool finish(QString *error)
    {
        if (m_saveFile) {
            if (m_saveFile->commit())
                return true;
            *error = m_saveFile->errorString();
            return false;
        }
        auto *file = qobject_cast<QFileDevice *>(m_device);
        if (!file || (file->flush() && file->error() == QFileDevice::NoError))
            return true;
        *error = file->errorString();
        return false;
    }

private:
    QIODevice *m_device;
    QString m_path;
    std::optional<QSaveFile> m_saveFile;
    std::optional<QFile> m_file;
};

// Copies the whole of a device from its start into another.
bool copy(QIODevice &from, QIODevice &to, QString *error)
{
    if (!from.seek(0)) {
        *error = from.errorString();
        return false;
    }
    QByteArray chunk;
    while (!(chunk = from.read(1 << 16)).isEmpty()) {
        if (to.write(chunk) != chunk.size()) {
            *error = to.errorString();
            return false;
        }
    }
    if (from.atEnd())
        return true;
    *error = from.errorString();
    return false;
}

std::optional<QDate> isoDate(const QString &text)
{
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() && text.size() == 10 ? std::optional<QDate>(date) : std::nullopt;
}

// Prints "N <what> read" on standard error now and then while a long run goes on.
class Progress
{
public:
    Progress(QIODevice &err, const QString &what, int interval, bool quiet)
        : m_err(err), m_what(what), m_interval(interval), m_quiet(quiet)
    {
        m_timer.start();
    }
    void operator()(qint64 count)
    {
        if (m_quiet || m_timer.elapsed() < m_interval || count == m_last)
            return;
        m_last = count;
        m_err.write(QStringLiteral("%1: %2 %3 read\n").arg(ReportCommand::ProgramName).arg(count).arg(m_what).toUtf8());
        m_timer.restart();
    }

private:
    QIODevice &m_err;
    QString m_what;
    int m_interval;
    bool m_quiet;
    qint64 m_last = -1;
    QElapsedTimer m_timer;
};
} // namespace

std::optional<ReportCommand::Options> ReportCommand::parse(const QStringList &arguments, QString *problem)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption from(QStringLiteral("from"), QString(), QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), QString(), QStringLiteral("DATE"));
    const QCommandLineOption period(QStringLiteral("period"), QString(), QStringLiteral("DATE"));
    const QCommandLineOption exceptions(QStringLiteral("exceptions"));
    const QCommandLineOption employee(QStringLiteral("employee"), QString(), QStringLiteral("ID"));
    const QCommandLineOption summary(QStringLiteral("summary"));
    const QCommandLineOption audit(QStringLiteral("audit"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("FOLDER"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    const QCommandLineOption help(QStringLiteral("help"));
    parser.addOptions({from, to, period, employee, summary, audit, exceptions, format, output, db, quiet, help});

    auto refuse = [problem](const QString &text) {
        if (problem)
            *problem = text;
        return std::nullopt;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    Options options;
    if (parser.isSet(help)) {
        options.help = true;
        return options;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("Unexpected argument: ") + parser.positionalArguments().constFirst());
    for (const QCommandLineOption *single : {&from, &to, &period, &format, &output, &db}) {
        if (parser.values(*single).size() > 1)
            return refuse(QStringLiteral("--%1 is given more than once.").arg(single->names().constFirst()));
    }
    if (parser.isSet(period)) {
        if (parser.isSet(from) || parser.isSet(to))
            return refuse(QStringLiteral("--period cannot be given with --from or --to."));
        const auto date = isoDate(parser.value(period));
        if (!date)
            return refuse(QStringLiteral("--period is not a date of the form YYYY-MM-DD: ") + parser.value(period));
        options.period = *date;
    } else {
        if (!parser.isSet(from) || !parser.isSet(to))
            return refuse(QStringLiteral("Both --from and --to are required."));
        const auto first = isoDate(parser.value(from));
        if (!first)
            return refuse(QStringLiteral("--from is not a date of the form YYYY-MM-DD: ") + parser.value(from));
        const auto last = isoDate(parser.value(to));
        if (!last)
            return refuse(QStringLiteral("--to is not a date of the form YYYY-MM-DD: ") + parser.value(to));
        if (*first > *last)
            return refuse(QStringLiteral("--from is later than --to."));
        options.from = *first;
        options.to = *last;
    }

    if (parser.isSet(summary) && parser.isSet(audit))
        return refuse(QStringLiteral("--summary and --audit cannot be given together."));
    if (parser.isSet(exceptions) && (parser.isSet(summary) || parser.isSet(audit)))
        return refuse(QStringLiteral("--exceptions cannot be given with --summary or --audit."));
    options.mode = parser.isSet(summary)      ? Mode::Summary
                   : parser.isSet(audit)      ? Mode::Audit
                   : parser.isSet(exceptions) ? Mode::Exceptions
                   : options.period.isValid() ? Mode::Summary
                                              : Mode::Punches;
    options.employees = parser.values(employee);
    if (options.mode == Mode::Audit && !options.employees.isEmpty())
        return refuse(QStringLiteral("--employee cannot be given with --audit."));
    for (const QString &id : std::as_const(options.employees)) {
        if (id.isEmpty())
            return refuse(QStringLiteral("--employee needs a user ID."));
    }

    if (parser.isSet(format)) {
        const QString name = parser.value(format).toLower();
        const std::pair<const char *, OutputFormat> formats[] = {
            {"csv", OutputFormat::Csv}, {"tsv", OutputFormat::Tsv}, {"json", OutputFormat::Json}, {"pdf", OutputFormat::Pdf}};
        const auto found = std::find_if(std::begin(formats), std::end(formats),
                                        [&](const auto &f) { return name == QLatin1String(f.first); });
        if (found == std::end(formats))
            return refuse(QStringLiteral("--format must be csv, tsv, json or pdf: ") + parser.value(format));
        options.format = found->second;
    }
    options.output = parser.value(output);
    if (parser.isSet(output) && options.output.isEmpty())
        return refuse(QStringLiteral("--output needs a file name."));
    options.dbFolder = parser.value(db);
    if (parser.isSet(db) && options.dbFolder.isEmpty())
        return refuse(QStringLiteral("--db needs a folder."));
    options.quiet = parser.isSet(quiet);
    return options;
}

ReportCommand::ReportCommand(QIODevice &standardOutput, QIODevice &standardError)
    : m_out(standardOutput), m_err(standardError)
{
}

int ReportCommand::fail(const QString &description)
{
    m_err.write((ProgramName + QStringLiteral(": ") + description + QLatin1Char('\n')).toUtf8());
    return DatabaseError;
}

int ReportCommand::run(const QStringList &arguments)
{
    QString problem;
    const std::optional<Options> options = parse(arguments, &problem);
    if (!options) {
        m_err.write((ProgramName + QStringLiteral(": ") + problem + QLatin1Char('\n') + Usage).toUtf8());
        return BadArguments;
    }
    if (options->help) {
        m_out.write(Usage.toUtf8());
        return Done;
    }

    data::ConnectionSettings connection;
    if (options->dbFolder.isEmpty())
        connection = data::storedConnectionSettings();
    else
        connection.accessFolder = options->dbFolder;
    connection.readOnly = true;
    const std::shared_ptr<data::Database> db = data::Database::open(connection);
    if (db->openError())
        return fail(db->openError().description);

    // The output is opened before the long read, so that a path that cannot be written fails
    // at once.
    Output output(m_out, options->output);
    if (!output.open(&problem))
        return fail(QStringLiteral("Cannot write %1: %2").arg(output.name(), problem));
    // Text goes into a private spool while the database is read and is copied to the output
    // after: a reader that stalls (a pager left open, a pipe nobody empties) never keeps the
    // embedded file locked against the stations' punches. The PDF is drawn after the read.
    QTemporaryFile spool;
    const bool spooled = options->format != OutputFormat::Pdf;
    if (spooled && !spool.open())
        return fail(QStringLiteral("Cannot make a temporary file: ") + spool.errorString());
    QIODevice *out = spooled ? static_cast<QIODevice *>(&spool) : &output.device();

    // The station-wide pay rules, as every station reads them; the defaults where the
    // database holds none (reading never creates a table).
    data::DbError error;
    const PayRules rules = PayRulesStore(db).read(&error);
    if (error)
        return fail(error.description);
    QDate first = options->from;
    QDate last = options->to;
    if (options->period.isValid()) {
        const PayPeriod period = pay::periodHolding(options->period, rules);
        first = period.first;
        last = period.last;
    }

    const QString range = first.toString(Qt::ISODate) + QStringLiteral(" to ") + last.toString(Qt::ISODate);
    static const char *const reports[] = {"punches", "summary", "audit", "exceptions"};
    static const char *const titles[] = {"Punches", "Payroll summary", "Changes", "Exceptions"};
    const int mode = int(options->mode);
    TableWriter::Heading heading{QLatin1String(reports[mode]), QLatin1String(titles[mode]) + QLatin1Char(' ') + range,
                                 first.toString(Qt::ISODate), last.toString(Qt::ISODate), {}};
    if (options->mode == Mode::Summary)
        heading.rules = ruleTexts(rules);
    const std::unique_ptr<TableWriter> writer = TableWriter::create(options->format, *out, heading);

    QSet<QString> employees;
    for (const QString &id : options->employees)
        employees.insert(id.toCaseFolded());
    auto included = [&](const QString &id) { return employees.isEmpty() || employees.contains(id.toCaseFolded()); };

    ReportEngine engine(db);
    if (options->mode == Mode::Summary) {
        Progress progress(m_err, QStringLiteral("punches"), m_progressInterval, options->quiet);
        PayrollSummary summary(rules, platform::Clock::now(), first, last);
        error = engine.summarise(summary, first, last, included, std::ref(progress));
        if (!error) {
            writer->begin(summaryColumns());
            for (const SummaryRow &row : summary.rows())
                writer->row(summaryTexts(row));
            writer->total(summaryTexts(summary.total()));
        }
    } else if (options->mode == Mode::Exceptions) {
        Progress progress(m_err, QStringLiteral("punches"), m_progressInterval, options->quiet);
        QList<PayException> exceptions;
        error = PayExceptionList(db, rules, platform::Clock::now()).read(first, last, &exceptions, std::ref(progress));
        if (!error) {
            writer->begin(exceptionColumns());
            for (const PayException &exception : std::as_const(exceptions)) {
                if (included(exception.userId))
                    writer->row(exceptionTexts(exception));
            }
        }
    } else if (options->mode == Mode::Punches) {
        Progress progress(m_err, QStringLiteral("punches"), m_progressInterval, options->quiet);
        // The report's rows land in a list of these columns by the list's own lookup by title.
        ReportListModel list;
        for (const OutputColumn &column : punchColumns())
            list.appendColumn(column.title);
        const int userColumn = list.columnByTitle(titles::UserIDLogin) - 1;
        writer->begin(punchColumns());
        error = engine.runReport(
            Filter::OnlyWorked, first, last,
            [&](const QList<ReportRow> &rows) {
                list.clearRows();
                list.appendRows(rows);
                for (int r = 0; r < list.rowCount(); ++r) {
                    if (included(list.cell(r, userColumn)))
                        writer->row(list.rowCells(r).mid(1));
                }
            },
            std::ref(progress));
    } else {
        Progress progress(m_err, QStringLiteral("changes"), m_progressInterval, options->quiet);
        QList<OutputColumn> columns;
        for (const AuditColumn &c : auditColumns())
            columns << c.output;
        writer->begin(columns);
        qint64 count = 0;
        const QDateTime from(first, QTime(0, 0));
        const QDate after = last.addDays(1);
        const bool open = after.year() > 9999;
        error = db->forEachRow(open ? AuditFromSql : data::AuditRangeSql,
                               open ? QVariantList{from} : QVariantList{from, QDateTime(after, QTime(0, 0))},
                               [&](const data::Row &row) {
                                   QStringList cells;
                                   for (const AuditColumn &c : auditColumns())
                                       cells << row.text(QLatin1String(c.column));
                                   writer->row(cells);
                                   progress(++count);
                                   return true;
                               });
        // A database where no change was ever recorded has no audit table yet.
        if (error.number == data::errors::InvalidObject)
            error = {};
    }
    if (error)
        return fail(error.description);

    QString writeError;
    if (!writer->end(&writeError)) {
        // The device's own reason, where it has one, says more than the writer's.
        const auto *device = qobject_cast<const QFileDevice *>(out);
        if (device && device->error() != QFileDevice::NoError)
            writeError = device->errorString();
        return fail(QStringLiteral("Cannot write %1: %2")
                        .arg(spooled ? QStringLiteral("the temporary file ") + spool.fileName() : output.name(),
                             writeError));
    }
    if ((spooled && !copy(spool, output.device(), &writeError)) || !output.finish(&writeError))
        return fail(QStringLiteral("Cannot write %1: %2").arg(output.name(), writeError));
    return Done;
}

} // namespace reports
