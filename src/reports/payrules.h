#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace reports {

// How pay periods follow one another from their anchor date.
enum class PeriodKind {
    Weekly,      // seven days from the anchor
    Biweekly,    // fourteen days from the anchor
    SemiMonthly, // the 1st to the 15th, the 16th to the month's end
    Monthly      // the calendar month
};

// One pay period: its first and last work dates, both inclusive.
struct PayPeriod {
    QDate first;
    QDate last;

    bool contains(const QDate &date) const { return date >= first && date <= last; }
    bool operator==(const PayPeriod &) const = default;
};

// The station-wide pay rules, as the PayRules table holds them. Every station and the report
// command read the same values; the defaults apply where the table is missing or a value is.
struct PayRules {
    // Break rule: a punch longer than breakAfterMinutes is paid breakMinutes less.
    bool breakRule = false;
    qint64 breakAfterMinutes = 6 * 60;
    qint64 breakMinutes = 30;
    // A punch longer than this (or open that long) is probably a missed clock-out.
    qint64 overLongMinutes = 16 * 60;
    // Repeat-scan guard at the clock.
    bool repeatGuard = false;
    qint64 repeatSeconds = 60;

    // Overtime: minutes beyond the weekly limit in one workweek, and beyond the daily limit on
    // one work date, are paid at the multiplier.
    bool weeklyOvertime = true;
    qint64 weeklyLimitMinutes = 40 * 60;
    Qt::DayOfWeek workweekStart = Qt::Sunday;
    bool dailyOvertime = false;
    qint64 dailyLimitMinutes = 8 * 60;
    double overtimeMultiplier = 1.5;

    // Rounding of each clock-in and clock-out to the nearest roundingMinutes (0: off; else
    // 5, 6, 10 or 15), for paid minutes only.
    int roundingMinutes = 0;

    // Pay periods.
    PeriodKind periodKind = PeriodKind::Weekly;
    QDate periodAnchor = QDate(2026, 1, 4); // a Sunday

    bool operator==(const PayRules &) const = default;
};

} // namespace reports
