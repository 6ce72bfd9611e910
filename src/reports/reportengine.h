#pragma once

#include "data/database.h"
#include "reports/payroll.h"
#include "reports/reportrow.h"

#include <QDate>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace reports {

// Which punches the report lists: only those of known employees ("Only Show Employees who
// worked") or every punch in the range ("Show All Employees").
enum class Filter { OnlyWorked, AllEmployees };

// The hours report and the clocked-in view apart from any widget: the statements, the date
// range, and the rows with their hour texts and running totals. Rows go to a sink in
// batches; between batches a yield function lets the caller show progress and run events.
class ReportEngine
{
public:
    static const QString DateRangeMessage;

    using Sink = std::function<void(const QList<ReportRow> &rows)>;
    // Called at least every YieldInterval while rows are read, and once at the end, with the
    // number of rows so far.
    using Yield = std::function<void(qint64 rows)>;
    static constexpr int BatchRows = 2048;
    static constexpr int YieldIntervalMs = 50;

    // --- the date range ---
    // The date month/day/year, read as labelled whatever the locale's order; nullopt when
    // a part is not a whole number or the three do not make a date.
    static std::optional<QDate> composeDate(const QString &month, const QString &day, const QString &year);
    // The stored form of a range: the three texts as typed, joined by "/".
    static QString storedText(const QString &month, const QString &day, const QString &year);
    // Writes "date1" and "date2" of section Reports.
    static void saveRange(const QString &date1, const QString &date2);

    // --- statements ---
    // The report's statement for the filter: the embedded file's text, or the server text
    // on either server, with the engine's DateDiff unit: DateDiff(d, ...) on SQL Server,
    // DateDiff('d', ...) on the others. Two bound values: the first and the last day. The
    // punch's own user ID comes back as PunchUserIDLogin.
    static QString reportStatement(Filter filter, data::Engine engine);
    // The report's statement with the work-date range also compared directly, ahead of the
    // DateDiff terms, so the engine passes over the punches outside the range without a
    // function call each. Four bound values: the first day and the day after the last (as
    // date texts on the embedded file, date-times on the servers), then the first and the
    // last day.
    static QString rangeStatement(Filter filter, data::Engine engine);
    // Every open punch of a known employee, by user ID then clock-in. No bound values.
    static QString clockedInStatement();
    static const QString PunchUserIdColumn;

    explicit ReportEngine(std::shared_ptr<data::Database> db);

    // The punches whose work date lies from first to last, both included: one row each with
    // the employee's cells, the punch's minutes and the running total of its user ID. A
    // punch whose clock-in or clock-out is a time alone is left out, on every engine.
    data::DbError runReport(Filter filter, const QDate &first, const QDate &last, const Sink &sink,
                            const Yield &yield = {});
    // One row per open punch of a known employee, without totals (a clock-in that is a time
    // alone is left out). Its Hours-Minutes Worked cell tells how long the punch has been
    // open at the given time, an instant ("H:5 M:12"), followed
    // by the over-long flag of the rules when it has been open longer than their limit.
    data::DbError clockedIn(const Sink &sink, const Yield &yield = {});
    data::DbError clockedIn(const PayrollRules &rules, const QDateTime &now, const Sink &sink,
                            const Yield &yield = {});

    // The punches of Run Report, one record each in the report's order, with the report's
    // minutes, read with rangeStatement() (with reportStatement() when the range ends on the
    // last day there is, 9999-12-31). onPunch returns false to stop.
    using PunchSink = std::function<bool(const PunchRecord &punch)>;
    data::DbError punches(Filter filter, const QDate &first, const QDate &last, const PunchSink &onPunch,
                          const Yield &yield = {});

    // The summary of its range: the punches of known employees (those `included` takes)
    // from the start of the first date's workweek (with weekly overtime on) to the last date,
    // in one read with punches().
    data::DbError summarise(PayrollSummary &summary, const QDate &first, const QDate &last,
                            const std::function<bool(const QString &userId)> &included = {},
                            const Yield &yield = {});

    // Sees every statement with its bound values just before it is sent.
    void setStatementObserver(std::function<void(const QString &, const QVariantList &)> observer)
    {
        m_observer = std::move(observer);
    }

private:
    // Sends the statement and hands the rows that build fills (numbered from 1) to the sink;
    // build returns false for a row the result leaves out.
    data::DbError produce(const QString &sql, const QVariantList &values,
                          const std::function<bool(const data::Row &, qint64, ReportRow &)> &build, const Sink &sink,
                          const Yield &yield);

    std::shared_ptr<data::Database> m_db;
    std::function<void(const QString &, const QVariantList &)> m_observer;
};

} // namespace reports
