#pragma once

#include "data/database.h"
#include "reports/payrules.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

namespace reports {

// The rule names of the PayRules table, one row each, and the text each holds:
// flags "1" or "0"; hours as a number with an optional decimal point ("7.5"); whole
// minutes and seconds; the multiplier as a number ("1.5"); the workweek's first day by its
// English name ("Sunday"); the period kind as "Weekly", "Biweekly", "SemiMonthly" or
// "Monthly"; the anchor as yyyy-MM-dd.
namespace rulenames {
inline const QString BreakRule = QStringLiteral("BreakRule");
inline const QString BreakAfterHours = QStringLiteral("BreakAfterHours");
inline const QString BreakMinutes = QStringLiteral("BreakMinutes");
inline const QString OverLongHours = QStringLiteral("OverLongHours");
inline const QString RepeatGuard = QStringLiteral("RepeatGuard");
inline const QString RepeatSeconds = QStringLiteral("RepeatSeconds");
inline const QString WeeklyOvertime = QStringLiteral("WeeklyOvertime");
inline const QString WeeklyLimitHours = QStringLiteral("WeeklyLimitHours");
inline const QString WorkweekStart = QStringLiteral("WorkweekStart");
inline const QString DailyOvertime = QStringLiteral("DailyOvertime");
inline const QString DailyLimitHours = QStringLiteral("DailyLimitHours");
inline const QString OvertimeMultiplier = QStringLiteral("OvertimeMultiplier");
inline const QString RoundingMinutes = QStringLiteral("RoundingMinutes");
inline const QString PeriodKind = QStringLiteral("PeriodKind");
inline const QString PeriodAnchor = QStringLiteral("PeriodAnchor");
} // namespace rulenames

// A pay period that was closed, with who closed it and when (the station's clock).
struct ClosedPeriod {
    PayPeriod period;
    QString closedBy;
    QDateTime closedAt;

    bool operator==(const ClosedPeriod &) const = default;
};

// Whether a work date lies in one of the periods.
bool isClosed(const QList<ClosedPeriod> &periods, const QDate &date);

// What came of a change: refused (refusal holds the message to show; nothing was written),
// failed (the database's error; nothing was written) or done.
struct PayChange {
    QString refusal;
    data::DbError error;

    bool ok() const { return refusal.isEmpty() && !error; }
};

// The station-wide pay rules and pay periods in the database, read and written on one
// connection. Reading never creates a table: where PayRules is missing or empty, or holds
// a value that cannot be read, the default of that rule applies. Every write runs in one
// write transaction with its AuditTable row (table "PayRules" or "PayPeriods", row key the
// rule's name or the period's ID), creating the tables first where they are missing.
class PayRulesStore
{
public:
    explicit PayRulesStore(std::shared_ptr<data::Database> db = data::Database::current());

    // The rules as the table holds them, defaults elsewhere; they become cached(). On a
    // database error the defaults are returned and the error is given.
    PayRules read(data::DbError *error = nullptr);
    // The texts of every rule, by name: as stored where the table holds a readable value,
    // the default's otherwise.
    QMap<QString, QString> texts(data::DbError *error = nullptr);

    // The rules this process read or wrote last (the defaults before that). The start-up
    // check reads them when the station starts on a database, and every write reads them
    // again, so the clock applies the table's values without asking the database at every
    // punch.
    static PayRules cached();

    // Every rule name, in the table's order.
    static const QStringList &ruleNames();
    // The texts of a set of rules, by name.
    static QMap<QString, QString> textsOf(const PayRules &rules);
    // Empty when the text can be stored under the name; otherwise the message to show.
    static QString check(const QString &name, const QString &text);

    // Writes one rule: refused when check() refuses it; a value equal to the stored one
    // writes nothing. The rule is stored in its plain form ("07.50" as "7.5").
    PayChange writeRule(const QString &name, const QString &text, const QString &administrator);

    // The first start of a station of this build on a database whose PayRules table is
    // empty (or missing): copies in the payroll values of this account's settings, read as
    // the options panel has always read them (a break rule whose hours or minutes cannot be
    // read is off; a guard whose seconds cannot be read is off). The settings keep them.
    // copied tells whether this call filled the table.
    data::DbError adoptSettings(bool *copied = nullptr);

    // Closes a period that has ended by the station's clock (its last date is before
    // today); one already closed, or not yet ended, is refused.
    PayChange close(const PayPeriod &period, const QString &administrator);
    // Reopens every closed period that shares a date with the given one (after a change of
    // the period kind a closed period may not match the new ones); refused when none does.
    PayChange reopen(const PayPeriod &period, const QString &administrator);
    // Whether the work date lies in a closed period; false where PayPeriods is missing.
    bool isClosed(const QDate &date, data::DbError *error = nullptr);
    // The closed periods, earliest first; none where PayPeriods is missing.
    QList<ClosedPeriod> closedPeriods(data::DbError *error = nullptr);

private:
    std::shared_ptr<data::Database> m_db;
};

} // namespace reports
