#pragma once

#include "reports/payrules.h"

#include <QDateTime>
#include <QList>
#include <QString>

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
// punch's own for a punch of no known employee), its employee's names, its times (wall
// clock; the clock-out invalid while open) and the report's minutes.
struct PunchRecord {
    QString userId;
    QString firstName;
    QString lastName;
    QDateTime clockIn;
    QDateTime clockOut;
    std::optional<qint64> minutes;
    bool open = false;
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

    bool operator==(const SummaryRow &) const = default;
};

// Adds punches up per employee, in the report's order (an employee's punches one after the
// other, as the running total takes them). Worked minutes are the report's; paid minutes
// follow the break rule punch by punch. A punch is over-long when its minutes pass the
// limit, or, while open, when the time since its clock-in (up to now, an instant) does.
class PayrollSummary
{
public:
    PayrollSummary(const PayrollRules &rules, const QDateTime &now);

    void add(const PunchRecord &punch);
    const QList<SummaryRow> &rows() const { return m_rows; }
    // The sums of every row: no user ID, so that no employee's line can be taken for it, and
    // the first name "Total".
    SummaryRow total() const;

private:
    PayrollRules m_rules;
    QDateTime m_now;
    QList<SummaryRow> m_rows;
};

// The summary's column titles, in order.
const QStringList &summaryTitles();
// The texts of a summary row under summaryTitles().
QStringList summaryTexts(const SummaryRow &row);

} // namespace reports
