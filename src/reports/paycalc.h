#pragma once

#include "reports/payrules.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

// The arithmetic of pay: rounding of punches, paid minutes, the split into regular and
// overtime minutes, pay periods and gross pay. Plain functions of the pay rules and their
// inputs, without the database or a screen.
namespace reports::pay {

// --- rounding and paid minutes ---

// The wall-clock date-time at the nearest mark of `minutes` minutes, marks counted from
// midnight; a time exactly halfway between two marks goes to the later one (7:07:30 to 7:15
// for 15). Seconds count. A count of 0, or one that does not divide a day, leaves the value
// as it is. The result keeps the value's kind of time (local or UTC); rounding up from the last mark of a day
// gives midnight of the next.
QDateTime roundToMinutes(const QDateTime &wallClock, int minutes);

// The minutes of a closed punch that pay starts from, before the break rule: with rounding
// on, from its clock-in and clock-out each rounded to the nearest mark; with rounding off,
// the report's worked minutes. Either way the minutes are hours::punchMinutes(), the one
// duration the program counts by. A reversed punch
// counts its length, as in the report. nullopt for a punch without a clock-in; 0 for an open
// one (no clock-out, or a clock-out holding only a time).
std::optional<qint64> roundedMinutes(const PayRules &rules, const QDateTime &clockIn, const QDateTime &clockOut);

// Minutes after the break rule: with the rule on, a punch longer than the break-after time is
// paid its minutes less the break, never below 0.
qint64 afterBreak(const PayRules &rules, qint64 minutes);

// Paid minutes of a punch: its rounded minutes after the break rule.
std::optional<qint64> paidMinutes(const PayRules &rules, const QDateTime &clockIn, const QDateTime &clockOut);

// --- overtime ---

// Regular and overtime minutes of a punch, or of a sum of punches.
struct PaySplit {
    qint64 regular = 0;
    qint64 overtime = 0;

    qint64 total() const { return regular + overtime; }
    PaySplit &operator+=(const PaySplit &other)
    {
        regular += other.regular;
        overtime += other.overtime;
        return *this;
    }
    bool operator==(const PaySplit &) const = default;
};

// The first date of the workweek that holds `date`.
QDate workweekStart(const QDate &date, Qt::DayOfWeek firstDay);
// The whole workweeks that cover the dates from `first` to `last`: the work dates whose
// punches an OvertimeSplitter must be given so that the split of the dates inside the range
// is the split those dates have in their whole weeks.
PayPeriod coveringWorkweeks(const QDate &first, const QDate &last, Qt::DayOfWeek firstDay);

// Splits one employee's paid minutes into regular and overtime minutes, punch by punch.
// Give it every punch of the employee's whole workweeks (coveringWorkweeks) in the order of
// clock-in, each with its work date; sum the splits of the punches whose work date lies in the
// reported range. Two adjacent ranges then add up to the whole week.
//
// Overtime is the time after a limit is reached. Daily overtime is taken first: the minutes
// of a work date beyond the daily limit. The weekly limit then counts regular minutes only, so
// a minute is overtime once.
class OvertimeSplitter
{
public:
    explicit OvertimeSplitter(const PayRules &rules);

    // The split of the next punch in clock-in order; paid minutes below 0 count as 0.
    PaySplit add(const QDate &workDate, qint64 paidMinutes);
    // Forgets every punch taken, for the next employee.
    void clear();

private:
    bool m_daily;
    bool m_weekly;
    qint64 m_dailyLimit;
    qint64 m_weeklyLimit;
    Qt::DayOfWeek m_firstDay;
    QHash<QDate, qint64> m_dayMinutes;     // paid minutes per work date
    QHash<QDate, qint64> m_weekRegular;    // minutes regular by the daily rule, per workweek start
};

// --- pay periods ---

// The pay period of the kind that holds `date`. Weekly and every-two-weeks periods run from
// the anchor on in steps of 7 or 14 days, and back before it; twice a month is the 1st to the
// 15th and the 16th to the month's end, monthly the calendar month (the anchor plays no part
// in these two). An invalid anchor counts as the default one. An invalid date gives an empty
// period.
PayPeriod periodHolding(const QDate &date, PeriodKind kind, const QDate &anchor);
PayPeriod periodHolding(const QDate &date, const PayRules &rules);
// The periods just before and just after a period.
PayPeriod previousPeriod(const PayPeriod &period, PeriodKind kind, const QDate &anchor);
PayPeriod nextPeriod(const PayPeriod &period, PeriodKind kind, const QDate &anchor);
// Whether the period is over on `today`: its last date lies before it.
bool periodEnded(const PayPeriod &period, const QDate &today);

// --- gross pay ---

// An hourly rate read from its text, exactly: units / 10^decimals.
struct Rate {
    qint64 units = 0;
    int decimals = 0;

    bool operator==(const Rate &) const = default;
};

// The rate of an employee's HourlyRate text: trimmed, with a leading sign, a leading currency
// sign and the thousands separators taken off ("$1,234.50", "€20", " 20 ", "-$5"). Read with
// the point and comma of "1,234.50" first, then with the regional settings' own. nullopt when
// it is still not a number; the summary then leaves the pay empty and lists an exception.
std::optional<Rate> parseRate(const QString &text);

// Rate × (regular hours + overtime hours × multiplier) in cents, rounded to the cent half away
// from zero. nullopt for a multiplier that is not a number from 0 to 100, more than a hundred
// million minutes, or a pay too large to hold.
std::optional<qint64> grossPayCents(const Rate &rate, const PaySplit &minutes, double multiplier);

// "950.00" for 95000 cents: the amount with a point and two decimals, no thousands separators.
QString amountText(qint64 cents);

} // namespace reports::pay
