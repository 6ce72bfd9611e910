#include "reports/payexceptions.h"

#include "data/replayedpunches.h"
#include "platform/regional.h"
#include "reports/hourtexts.h"
#include "reports/paycalc.h"
#include "reports/payrulesstore.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace reports {

namespace {
const QString EmployeeNames = QStringLiteral("select FirstName, LastName from usertable where UserIDLogin = ?");

QString timeText(const QDateTime &value)
{
    return value.isValid() ? regional::generalDate(value.date(), value.time()) : QString();
}

PayException exceptionOf(const QString &kind, const PunchRecord &punch, const QString &detail)
{
    return {kind, punch.userId, punch.firstName, punch.lastName, punch.workDate, punch.clockIn,
            punch.open ? QDateTime() : punch.clockOut, detail};
}

// A punch sent from a station's queue into a period closed before it came: one side of a row
// (its user ID, clock-in or clock-out, and time) and that period's closing time.
QString sentKey(const QString &userId, bool clockIn, const QDateTime &time, const QDateTime &closedAt)
{
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return userId.toCaseFolded() + (clockIn ? QStringLiteral("|in|") : QStringLiteral("|out|")) + time.toString(format)
           + QLatin1Char('|') + closedAt.toString(format);
}
} // namespace

PayExceptionList::PayExceptionList(std::shared_ptr<data::Database> db, const PayRules &rules, const QDateTime &now)
    : m_db(std::move(db)), m_rules(rules), m_now(now)
{
}

QString PayExceptionList::allPunchesStatement(data::Engine engine)
{
    const QString day = data::Database::dateDiffUnit('d', engine);
    return QStringLiteral("select a.UserIDLogin as ") + ReportEngine::PunchUserIdColumn
           + QStringLiteral(", b.UserIDLogin, b.FirstName, b.LastName, a.clockedin, a.clockedout, a.rowdate "
                            "from clocktable a LEFT JOIN usertable b ON a.useridlogin=b.useridlogin "
                            " Where  DateDiff(")
           + day + QStringLiteral(",rowdate,?) <= 0  and  DateDiff(") + day
           + QStringLiteral(",rowdate,?) >= 0  order by a.UserIDLogin, a.Clockedin");
}

data::DbError PayExceptionList::read(const QDate &first, const QDate &last, QList<PayException> *exceptions,
                                     const ReportEngine::Yield &yield)
{
    QList<PayException> found;
    PayRulesStore store(m_db);
    data::DbError error;
    const QList<ClosedPeriod> closed = store.closedPeriods(&error);
    if (error)
        return error;
    const QList<data::ReplayNote> notes = data::replayNotes(*m_db, &error);
    if (error)
        return error;
    QSet<QString> sentIntoClosed;
    for (const data::ReplayNote &note : notes) {
        if (note.kind == data::ReplayNote::Kind::IntoClosedPeriod)
            sentIntoClosed.insert(sentKey(note.userId, note.clockIn, note.punchTime, note.periodClosedAt));
    }

    // The punches the report reads, of known employees and others alike.
    QList<PunchRecord> rateChecked;
    QSet<QString> seen;
    const PayrollRules limits = PayrollRules::fromRules(m_rules);
    ReportEngine engine(m_db);
    error = engine.punches(
        Filter::AllEmployees, first, last,
        [&](const PunchRecord &punch) {
            if (punch.open) {
                const qint64 open = hours::punchMinutes(punch.clockIn, m_now).value_or(0);
                if (limits.isOverLong(open))
                    found << exceptionOf(exceptionkinds::OpenTooLong, punch,
                                         QStringLiteral("open ") + hours::hourMinuteText(open));
            } else if (hours::isReversed(punch.clockIn, punch.clockOut)) {
                found << exceptionOf(exceptionkinds::Reversed, punch, QString());
            }
            if (!punch.knownEmployee)
                found << exceptionOf(exceptionkinds::NoEmployee, punch, QString());
            for (const ClosedPeriod &period : closed) {
                if (!period.period.contains(punch.workDate))
                    continue;
                // The station's clock closed it; a punch clocked after that came in since.
                const QDateTime closedAt(period.closedAt.date(), period.closedAt.time(), Qt::UTC);
                // A punch kept at a station while the database was away came when it was sent.
                const bool after = punch.open || punch.clockIn >= closedAt || punch.clockOut >= closedAt
                                   || sentIntoClosed.contains(sentKey(punch.userId, true, punch.clockIn, closedAt))
                                   || sentIntoClosed.contains(sentKey(punch.userId, false, punch.clockOut, closedAt));
                if (after)
                    found << exceptionOf(exceptionkinds::ClosedPeriod, punch,
                                         QStringLiteral("closed by %1 on %2")
                                             .arg(period.closedBy, regional::generalDate(period.closedAt)));
                break;
            }
            const QString key = punch.userId.toCaseFolded();
            if (punch.knownEmployee && !seen.contains(key)) {
                seen.insert(key);
                if (!punch.hourlyRate.trimmed().isEmpty() && !pay::parseRate(punch.hourlyRate))
                    rateChecked << punch;
            }
            return true;
        },
        yield);
    if (error)
        return error;
    for (const PunchRecord &punch : std::as_const(rateChecked)) {
        PayException rate;
        rate.kind = exceptionkinds::RateNotANumber;
        rate.userId = punch.userId;
        rate.firstName = punch.firstName;
        rate.lastName = punch.lastName;
        rate.detail = punch.hourlyRate;
        found << rate;
    }

    // Times without a date: the report's statements leave them out, so they are read here.
    int positions[7] = {-1, -1, -1, -1, -1, -1, -1};
    bool resolved = false;
    error = m_db->forEachRow(allPunchesStatement(m_db->engine()), {first, last}, [&](const data::Row &row) {
        if (!resolved) {
            const char *names[] = {"PunchUserIDLogin", "UserIDLogin", "FirstName", "LastName",
                                   "ClockedIn", "ClockedOut", "RowDate"};
            for (int i = 0; i < 7; ++i)
                positions[i] = row.indexOf(QLatin1String(names[i]));
            resolved = true;
        }
        const QDateTime in = row.wallDateTime(positions[4]);
        const QDateTime out = row.wallDateTime(positions[5]);
        if (!hours::hasTimeAlone(in, out))
            return true;
        PayException alone{exceptionkinds::TimeAlone, row.text(positions[1]), row.text(positions[2]),
                           row.text(positions[3]), row.wallDateTime(positions[6]).date(), in, out, QString()};
        if (alone.userId.isEmpty())
            alone.userId = row.text(positions[0]);
        const bool inAlone = in.date() == regional::zeroDate();
        const bool outAlone = out.date() == regional::zeroDate();
        alone.detail = inAlone && outAlone ? QStringLiteral("clock-in and clock-out")
                       : inAlone           ? QStringLiteral("clock-in")
                                           : QStringLiteral("clock-out");
        found << alone;
        return true;
    });
    if (error)
        return error;

    // Punches the database refused when a station sent them, by the punch's date.
    QHash<QString, std::pair<QString, QString>> names;
    for (const data::ReplayNote &note : notes) {
        const QDate day = note.punchTime.date();
        if (note.kind != data::ReplayNote::Kind::Refused || day < first || day > last)
            continue;
        const QString key = note.userId.toCaseFolded();
        if (!names.contains(key)) {
            const data::QueryResult employee = m_db->query(EmployeeNames, {note.userId});
            if (employee.error)
                return employee.error;
            const data::Row row = employee.first();
            names.insert(key, {row.text(QStringLiteral("FirstName")), row.text(QStringLiteral("LastName"))});
        }
        const auto &[firstName, lastName] = names.value(key);
        PayException refused{exceptionkinds::RefusedOnReplay, note.userId, firstName, lastName, day, {}, {},
                             note.reason};
        (note.clockIn ? refused.clockIn : refused.clockOut) = note.punchTime;
        found << refused;
    }

    std::stable_sort(found.begin(), found.end(), [](const PayException &a, const PayException &b) {
        const int byId = QString::compare(a.userId, b.userId, Qt::CaseInsensitive);
        if (byId != 0)
            return byId < 0;
        // An employee's own line (no work date) first.
        return a.workDate < b.workDate;
    });
    *exceptions = found;
    return {};
}

const QStringList &exceptionTitles()
{
    static const QStringList titles{QStringLiteral("Exception"),   QStringLiteral("UserID Login"),
                                    QStringLiteral("First Name"),  QStringLiteral("Last Name"),
                                    QStringLiteral("Worked Date"), QStringLiteral("Clocked In"),
                                    QStringLiteral("Clocked Out"), QStringLiteral("Detail")};
    return titles;
}

QStringList exceptionTexts(const PayException &e)
{
    return {e.kind,
            e.userId,
            e.firstName,
            e.lastName,
            e.workDate.isValid() ? regional::shortDate(e.workDate) : QString(),
            timeText(e.clockIn),
            timeText(e.clockOut),
            e.detail};
}

} // namespace reports
