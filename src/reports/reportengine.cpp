#include "reports/reportengine.h"

#include "reports/hourtexts.h"
#include "reports/reportcolumns.h"
#include "platform/clock.h"
#include "settings/keys.h"

#include <QElapsedTimer>
#include <QHash>

namespace reports {

const QString ReportEngine::DateRangeMessage = QStringLiteral("Please Enter a Date Range before running reports");
const QString ReportEngine::PunchUserIdColumn = QStringLiteral("PunchUserIDLogin");

namespace {
const QString None = QStringLiteral("None");

struct EmployeeCell {
    const QString &title;
    const char *column;
};

// The employee's cells both row writers fill, title and UserTable column.
const QList<EmployeeCell> &employeeCells()
{
    static const QList<EmployeeCell> cells{
        {titles::FirstName, "FirstName"},   {titles::LastName, "LastName"},
        {titles::Address1, "Address1"},     {titles::Address2, "Address2"},
        {titles::City, "City"},             {titles::State, "State"},
        {titles::Zipcode, "ZipCode"},       {titles::Phone1, "Phone1"},
        {titles::Phone2, "Phone2"},         {titles::SSNumber, "SSNumber"},
        {titles::Title, "Title"},           {titles::Email, "Email"},
        {titles::Memo, "Memos"},            {titles::Notes, "Notes"},
        {titles::AdminLevel, "AdminLevel"}, {titles::UserIDLogin, "UserIDLogin"},
        {titles::Disabled, "disabled"},     {titles::HourlyRate, "HourlyRate"},
    };
    return cells;
}

// Column positions of one result, looked up once from its first row, and the employee
// cells of the last row: an employee's punches come one after the other and share them.
struct Positions {
    QList<int> employee;
    int employeeKey = -1;
    QVariant lastKey;
    QList<ReportCell> lastCells;
    int displayText = -1;
    int punchUserId = -1;
    int clockedIn = -1;
    int clockedOut = -1;
    int rowDate = -1;
    bool resolved = false;

    void resolve(const data::Row &row)
    {
        if (resolved)
            return;
        for (const EmployeeCell &cell : employeeCells())
            employee << row.indexOf(QLatin1String(cell.column));
        employeeKey = row.indexOf(QStringLiteral("ID"));
        displayText = row.indexOf(QStringLiteral("DisplayText"));
        punchUserId = row.indexOf(ReportEngine::PunchUserIdColumn);
        clockedIn = row.indexOf(QStringLiteral("ClockedIn"));
        clockedOut = row.indexOf(QStringLiteral("ClockedOut"));
        rowDate = row.indexOf(QStringLiteral("RowDate"));
        resolved = true;
    }

    // The employee's cells, shared with the rows before while the employee is the same.
    void addEmployeeCells(const data::Row &row, ReportRow &out, qsizetype ownCharacters)
    {
        const QVariant key = row.value(employeeKey);
        if (employeeKey < 0 || lastCells.isEmpty() || key != lastKey) {
            const QList<EmployeeCell> &cells = employeeCells();
            lastCells.clear();
            lastCells.reserve(cells.size());
            for (qsizetype i = 0; i < cells.size(); ++i)
                lastCells.append({cells[i].title, row.text(employee[i])});
            lastKey = key;
        }
        out.sharedCells = lastCells;
        out.reserve(ownCharacters);
    }
};

bool wholeNumber(const QString &text, int &value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}
} // namespace

std::optional<QDate> ReportEngine::composeDate(const QString &month, const QString &day, const QString &year)
{
    int m = 0, d = 0, y = 0;
    if (!wholeNumber(month, m) || !wholeNumber(day, d) || !wholeNumber(year, y) || y < 1)
        return std::nullopt;
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString ReportEngine::storedText(const QString &month, const QString &day, const QString &year)
{
    return month + QLatin1Char('/') + day + QLatin1Char('/') + year;
}

void ReportEngine::saveRange(const QString &date1, const QString &date2)
{
    settings::write(settings::keys::ReportDate1, date1);
    settings::write(settings::keys::ReportDate2, date2);
}

QString ReportEngine::reportStatement(Filter filter, data::Engine engine)
{
    const bool server = engine != data::Engine::Embedded;
    const QString day = data::Database::dateDiffUnit('d', engine);
    const QString head = QStringLiteral("select b.*,a.totalclock, A.clockedin, a.clockedout, a.rowdate, a.UserIDLogin as ")
                         + PunchUserIdColumn;
    const QString times = QStringLiteral("and (len(A.clockedin) > 12 or a.clockedin is null) and  "
                                         "(len(a.clockedout) > 12  or a.clockedout is null)");
    if (filter == Filter::OnlyWorked) {
        return head + QStringLiteral("  from clocktable a, usertable b ")
               + QStringLiteral(" where  a.useridlogin = b.useridlogin ")
               + QStringLiteral(" and  DateDiff(") + day + QStringLiteral(",rowdate,?) <= 0 ")
               + QStringLiteral(" and  DateDiff(") + day + QStringLiteral(",rowdate,?) >= 0  ") + times
               + (server ? QStringLiteral("   order by  a.UserIDLogin,  a.Clockedin,  a.Clockedout,  a.rowdate ")
                            : QStringLiteral("   order by  a.UserIDLogin,  a.Clockedin,  a.Clockedout,   a.rowdate "));
    }
    return head + QStringLiteral(" ") + QStringLiteral("from clocktable a ")
           + QStringLiteral("LEFT JOIN usertable b ON A.useridlogin=B.useridlogin ")
           + QStringLiteral(" Where  DateDiff(") + day + QStringLiteral(",rowdate,?) <= 0 ")
           + QStringLiteral(" and  DateDiff(") + day + QStringLiteral(",rowdate,?) >= 0 ") + times
           + (server ? QStringLiteral("    order by a.UserIDLogin,   a.Clockedin,  a.Clockedout, a.rowdate ")
                        : QStringLiteral("    order by a.UserIDLogin,    a.Clockedin,    a.Clockedout, a.rowdate "));
}

QString ReportEngine::rangeStatement(Filter filter, data::Engine engine)
{
    // On the embedded engine "+" takes the column's numeric affinity away, so the stored
    // text meets the bound text as it is, without a conversion tried on every row.
    const bool embedded = engine == data::Engine::Embedded;
    const QString column = embedded ? QStringLiteral("+a.rowdate") : QStringLiteral("a.rowdate");
    QString sql = reportStatement(filter, engine);
    sql.insert(sql.indexOf(QLatin1String("DateDiff(")),
               column + QStringLiteral(" >= ? and ") + column + QStringLiteral(" < ? and  "));
    // The punches need only these of the employee's columns; the others are not read.
    sql.replace(QStringLiteral("select b.*,"),
                QStringLiteral("select b.UserIDLogin, b.FirstName, b.LastName, b.HourlyRate,"));
    return sql;
}

QString ReportEngine::clockedInStatement()
{
    return QStringLiteral("select b.*,a.totalclock, A.clockedin, a.clockedout, a.rowdate  from clocktable a, usertable b ")
           + QStringLiteral(" where  a.useridlogin = b.useridlogin ")
           + QStringLiteral(" and A.clockedin is not null and  a.clockedout is null ")
           + QStringLiteral(" order by a.UserIDLogin, a.Clockedin");
}

ReportEngine::ReportEngine(std::shared_ptr<data::Database> db) : m_db(std::move(db)) {}

namespace {
// Texts of numbers seen before: a report shows the same few shift lengths on thousands of
// rows (its running totals differ from row to row and are rendered afresh).
class TextMemo
{
public:
    explicit TextMemo(QString (*render)(qint64)) : m_render(render) {}
    QString operator()(qint64 value)
    {
        auto found = m_texts.constFind(value);
        if (found != m_texts.constEnd())
            return *found;
        if (m_texts.size() >= 10000)
            m_texts.clear();
        return *m_texts.insert(value, m_render(value));
    }

private:
    QString (*m_render)(qint64);
    QHash<qint64, QString> m_texts;
};
} // namespace

data::DbError ReportEngine::runReport(Filter filter, const QDate &first, const QDate &last, const Sink &sink,
                                      const Yield &yield)
{
    Positions at;
    hours::RunningTotal totals;
    TextMemo workedText(hours::workedText);
    auto build = [&](const data::Row &row, qint64 number, ReportRow &out) {
        at.resolve(row);
        const QDateTime in = row.wallDateTime(at.clockedIn);
        const QDateTime outTime = row.wallDateTime(at.clockedOut);
        if (hours::hasTimeAlone(in, outTime))
            return false;
        out.number = number;
        at.addEmployeeCells(row, out, 120);

        const std::optional<qint64> minutes = hours::punchMinutes(in, outTime);
        // Totals follow the punch's own user ID, so punches of no known employee total by theirs.
        const qint64 total = totals.add(row.text(at.punchUserId), minutes);
        if (minutes) {
            out.add(titles::HoursMinutesWorked, workedText(*minutes));
            out.add(titles::TotalFraction, hours::totalFractionText(total));
            out.add(titles::TotalHourMinute, hours::totalHourMinuteText(total));
        }
        out.add(titles::ClockedIn, row.text(at.clockedIn));
        const bool none = hours::isOpen(outTime) || outTime == in;
        out.add(titles::ClockedOut, none ? None : row.text(at.clockedOut));
        out.add(titles::WorkedDate, row.text(at.rowDate));
        return true;
    };
    return produce(reportStatement(filter, m_db->engine()), {first, last}, build, sink, yield);
}

data::DbError ReportEngine::clockedIn(const Sink &sink, const Yield &yield)
{
    return clockedIn(PayrollRules(), platform::Clock::now(), sink, yield);
}

data::DbError ReportEngine::clockedIn(const PayrollRules &rules, const QDateTime &now, const Sink &sink,
                                      const Yield &yield)
{
    Positions at;
    auto build = [&](const data::Row &row, qint64 number, ReportRow &out) {
        at.resolve(row);
        const QDateTime clockIn = row.wallDateTime(at.clockedIn);
        if (hours::hasTimeAlone(clockIn, QDateTime()))
            return false;
        out.number = number;
        at.addEmployeeCells(row, out, 100);
        out.add(titles::DisplayText, row.text(at.displayText));
        const qint64 in = hours::punchMinutes(clockIn, now).value_or(0);
        QString timeIn = hours::timeInText(in);
        if (rules.isOverLong(in))
            timeIn += QStringLiteral(" - ") + rules.overLongFlag();
        out.add(titles::HoursMinutesWorked, timeIn);
        out.add(titles::ClockedIn, row.text(at.clockedIn));
        out.add(titles::ClockedOut, None);
        out.add(titles::WorkedDate, row.text(at.rowDate));
        return true;
    };
    return produce(clockedInStatement(), {}, build, sink, yield);
}

data::DbError ReportEngine::punches(Filter filter, const QDate &first, const QDate &last, const PunchSink &onPunch,
                                    const Yield &yield)
{
    // The last day there is has no day after to compare with: its range is the DateDiff terms'.
    const bool dayAfter = last.addDays(1).year() <= 9999;
    const QString sql = dayAfter ? rangeStatement(filter, m_db->engine()) : reportStatement(filter, m_db->engine());
    // On the embedded file the bounds are compared as text: the date alone sorts before every
    // time of that day, so a work date stored with or without its midnight is inside.
    const bool embedded = m_db->engine() == data::Engine::Embedded;
    const QVariant from = embedded ? QVariant(first.toString(Qt::ISODate)) : QVariant(QDateTime(first, QTime(0, 0)));
    const QVariant to = embedded ? QVariant(last.addDays(1).toString(Qt::ISODate))
                                 : QVariant(QDateTime(last.addDays(1), QTime(0, 0)));
    const QVariantList values = dayAfter ? QVariantList{from, to, first, last} : QVariantList{first, last};
    if (m_observer)
        m_observer(sql, values);
    Positions at;
    int firstName = -1, lastName = -1, storedUserId = -1, hourlyRate = -1;
    qint64 count = 0;
    QElapsedTimer sinceYield;
    sinceYield.start();
    PunchRecord punch;
    const data::DbError error = m_db->forEachRow(sql, values, [&](const data::Row &row) {
        if (!at.resolved) {
            at.resolve(row);
            firstName = row.indexOf(QStringLiteral("FirstName"));
            lastName = row.indexOf(QStringLiteral("LastName"));
            storedUserId = row.indexOf(QStringLiteral("UserIDLogin"));
            hourlyRate = row.indexOf(QStringLiteral("HourlyRate"));
        }
        // The employee's ID as stored, whatever case the punch was keyed in.
        punch.userId = row.text(storedUserId);
        punch.knownEmployee = !punch.userId.isEmpty();
        if (!punch.knownEmployee)
            punch.userId = row.text(at.punchUserId);
        punch.hourlyRate = row.text(hourlyRate);
        punch.firstName = row.text(firstName);
        punch.lastName = row.text(lastName);
        punch.clockIn = row.wallDateTime(at.clockedIn);
        punch.clockOut = row.wallDateTime(at.clockedOut);
        if (hours::hasTimeAlone(punch.clockIn, punch.clockOut))
            return true;
        punch.workDate = row.wallDateTime(at.rowDate).date();
        punch.minutes = hours::punchMinutes(punch.clockIn, punch.clockOut);
        punch.open = hours::isOpen(punch.clockOut);
        ++count;
        if (yield && sinceYield.elapsed() >= YieldIntervalMs) {
            yield(count);
            sinceYield.restart();
        }
        return onPunch(punch);
    });
    if (yield)
        yield(count);
    return error;
}

data::DbError ReportEngine::summarise(PayrollSummary &summary, const QDate &first, const QDate &last,
                                      const std::function<bool(const QString &)> &included, const Yield &yield)
{
    // The days before the range only feed the overtime split; one read is cheaper than two,
    // as each passes over the punches' index whole.
    const PayPeriod earlier = PayrollSummary::earlierDays(summary.rules(), first);
    return punches(
        Filter::OnlyWorked, earlier.first.isValid() ? earlier.first : first, last,
        [&](const PunchRecord &punch) {
            if (!included || included(punch.userId))
                summary.add(punch);
            return true;
        },
        yield);
}

data::DbError ReportEngine::produce(const QString &sql, const QVariantList &values,
                                    const std::function<bool(const data::Row &, qint64, ReportRow &)> &build,
                                    const Sink &sink, const Yield &yield)
{
    if (m_observer)
        m_observer(sql, values);
    QList<ReportRow> batch;
    batch.reserve(BatchRows);
    qint64 count = 0;
    qint64 seen = 0;
    QElapsedTimer sinceYield;
    sinceYield.start();
    auto flush = [&] {
        if (!batch.isEmpty()) {
            // The sink may keep the batch: it gets one of its own, and the next starts anew.
            QList<ReportRow> full;
            full.swap(batch);
            batch.reserve(BatchRows);
            sink(full);
        }
    };
    const data::DbError error = m_db->forEachRow(sql, values, [&](const data::Row &row) {
        ReportRow out;
        if (build(row, count + 1, out)) {
            ++count;
            batch.append(std::move(out));
        }
        // The clock is read every few rows: reading it costs more than a row's own sums.
        const bool due = ++seen % 64 == 0 && sinceYield.elapsed() >= YieldIntervalMs;
        if (batch.size() >= BatchRows || due)
            flush();
        if (due) {
            if (yield)
                yield(count);
            sinceYield.restart();
        }
        return true;
    });
    flush();
    if (yield)
        yield(count);
    return error;
}

} // namespace reports
