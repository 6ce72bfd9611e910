#pragma once

#include "reports/paycalc.h"
#include "reports/payrules.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace reports {

// The payroll options of the options panel: the break rule and the over-long punch limit.
struct PayrollRules {
    bool breakRule = false;
    qint64 breakAfterMinutes = 6 * 60;
    qint64 breakMinutes = 30;
    qint64 overLongMinutes = 16 * 60;

    // From the options' texts. Hours may have a decimal point ("7.5"). A break rule whose
    // hours or minutes are not numbers of at least 0 deducts nothing; an over-long limit
    // that is not a number above 0 stays 16 hours.
    static PayrollRules fromTexts(bool breakRule, const QString &breakAfterHours, const QString &breakMinutes,
                                  const QString &overLongHours);
    // The break rule and the over-long limit of the station-wide pay rules.
    static PayrollRules fromRules(const PayRules &rules);
    // The pay rules in the current database (the defaults where it holds none); reading
    // them never creates a table.
    static PayrollRules fromStore();

    // The minutes paid for a punch of the given minutes: with the break rule on, a punch
    // longer than the break-after time is paid its minutes less the break (never below 0).
    qint64 paidMinutes(qint64 workedMinutes) const;
    // A punch longer than the limit: a clock-out that was probably missed.
    bool isOverLong(qint64 minutes) const { return minutes > overLongMinutes; }
    // "over 16 hours": the flag beside a punch that is over-long.
    QString overLongFlag() const;
};

// One punch as the report reads it: its employee's user ID as UserTable stores it (the
// punch's own for a punch of no known employee), its employee's names and hourly rate, its
// times (wall clock; the clock-out invalid while open), its work date and the report's
// minutes.
struct PunchRecord {
    QString userId;
    QString firstName;
    QString lastName;
    QString hourlyRate;
    QDateTime clockIn;
    QDateTime clockOut;
    QDate workDate;
    std::optional<qint64> minutes;
    bool open = false;
    // Keyed for a user ID that UserTable holds.
    bool knownEmployee = true;
};

// One employee's line of the payroll summary, or the total line.
struct SummaryRow {
    QString userId;
    QString firstName;
    QString lastName;
    qint64 punches = 0;
    qint64 workedMinutes = 0;
    qint64 paidMinutes = 0;
    qint64 openPunches = 0;
    qint64 overLongPunches = 0;
    // Closed punches whose clock-out comes before their clock-in: counted by their positive
    // difference, as the report does, and shown so that nobody pays one unseen.
    qint64 reversedPunches = 0;
    // Paid minutes split by the overtime rules, and the gross pay in cents; no pay where the
    // hourly rate is not a number (in the total: where no employee has one).
    qint64 regularMinutes = 0;
    qint64 overtimeMinutes = 0;
    std::optional<qint64> grossPayCents;

    bool operator==(const SummaryRow &) const = default;
};

// Adds punches up per employee, in the report's order (an employee's punches one after the
// other by clock-in, as the running total takes them). Worked minutes are the report's; paid
// minutes are rounded and follow the break rule punch by punch, and are split into regular
// and overtime minutes in the order of clock-in. A punch is over-long when its minutes pass
// the limit, or, while open, when the time since its clock-in (up to now, an instant) does.
//
// With a range, the workweek is taken whole: give it also the punches of the days of the
// first date's workweek before the range (earlierDays()). Punches outside the range count
// towards the limits only, so a range that cuts a workweek gets the overtime its days have
// in the whole week. The days after the range cannot change that: the split follows the
// clock-in. Without a range every punch counts.
class PayrollSummary
{
public:
    PayrollSummary(const PayRules &rules, const QDateTime &now, const QDate &first = {}, const QDate &last = {});

    // The days of the first date's workweek before it; an empty period (invalid dates) when
    // there are none or weekly overtime is off.
    static PayPeriod earlierDays(const PayRules &rules, const QDate &first);

    void add(const PunchRecord &punch);
    const PayRules &rules() const { return m_rules; }
    const QList<SummaryRow> &rows() const { return m_rows; }
    // The sums of every row: no user ID, so that no employee's line can be taken for it, and
    // the first name "Total".
    SummaryRow total() const;

private:
    bool inRange(const QDate &workDate) const;

    PayRules m_rules;
    PayrollRules m_limits;
    QDateTime m_now;
    QDate m_first;
    QDate m_last;
    QList<SummaryRow> m_rows;
    std::unique_ptr<pay::OvertimeSplitter> m_splitter;
    QString m_splitterEmployee;
    bool m_splitterUsed = false;
    // The current row's employee's rate; nullopt when it is not a number.
    std::optional<pay::Rate> m_rate;
};

// The summary's column titles, in order.
const QStringList &summaryTitles();
// The texts of a summary row under summaryTitles().
QStringList summaryTexts(const SummaryRow &row);

// The rules a summary was made by, name and text in the PayRules table's order.
QList<std::pair<QString, QString>> ruleTexts(const PayRules &rules);

} // namespace reports
