#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The report's hour texts and the minutes of one punch.
namespace reports::hours {

// m div 60 alone when m mod 60 is 0, else m div 60, a point and (m mod 60) div 6: 8.0 for
// 485, 10 for 600, 0.0 for 1 to 5 minutes. Tenths are cut, never rounded.
QString fractionText(qint64 minutes);
// "H:8 M:5 or Fractional H:8.0" for 485 minutes.
QString workedText(qint64 minutes);
// The total's fraction: T div 60 alone when (T mod 60) div 6 is 0 (8 for 485, 1 for 61),
// else with a point and the tenth (8.5 for 510).
QString totalFractionText(qint64 total);
// "8:5" for 485: hours, a colon, minutes without a leading zero.
QString totalHourMinuteText(qint64 total);
// How long a punch still open has run, as the clocked-in view shows it: "H:5 M:12".
QString timeInText(qint64 minutes);
// "8:05" for 485 minutes: hours, a colon and two digits of minutes.
QString hourMinuteText(qint64 minutes);
// "8.08" for 485 minutes: hours to two decimal places, rounded to the nearest hundredth.
QString decimalHoursText(qint64 minutes);

// Whether two rows' user IDs belong to one employee: as the database compares IDs, "ab12"
// keyed at the clock is employee "AB12".
bool sameEmployee(const QString &a, const QString &b);

// A punch still open: no clock-out, or one that is a time without a date.
bool isOpen(const QDateTime &clockOut);
// A punch whose clock-in or clock-out is a time without a date (on the zero date): the
// report, the summary and the clocked-in view leave it out, as the statements' length
// filter does.
bool hasTimeAlone(const QDateTime &clockIn, const QDateTime &clockOut);

// The minutes that really passed from one time to another in the machine's local time
// zone, counted between whole minutes (08:00:59 to 08:01:00 is 1, 08:00:00 to 08:00:59 is
// 0); negative when `to` comes first. Across no change of the clocks this is the wall-clock
// difference. A date-time in UTC is a stored wall-clock reading (Row::wallDateTime); any
// other is an instant that knows its offset, as the clock's now does. A reading that occurs
// twice takes the offset before the change, except a `to` that would then come before
// `from` while the other offset puts it after: the clocks were set back between the two.
qint64 elapsedMinutes(const QDateTime &from, const QDateTime &to);
// A closed punch whose clock-out comes before its clock-in.
bool isReversed(const QDateTime &clockIn, const QDateTime &clockOut);
// The minutes of a punch wherever the program shows or adds them (the report's hour texts
// and totals, the clocked-in view, the summary): elapsedMinutes() as a positive count, 0
// for an open punch, nullopt when there is no clock-in to count from. A clock-out may be
// the clock's now, for a punch still open.
std::optional<qint64> punchMinutes(const QDateTime &clockIn, const QDateTime &clockOut);

// The running total of the report: minutes of one employee's consecutive rows, starting
// again from 0 whenever the user ID differs from the previous row's.
class RunningTotal
{
public:
    // Takes one row; minutes without a value add nothing. Returns the total after it.
    qint64 add(const QString &userId, std::optional<qint64> minutes);
    qint64 total() const { return m_total; }

private:
    QString m_previousId;
    qint64 m_total = 0;
};

} // namespace reports::hours
