#include "reports/paycalc.h"

#include "platform/regional.h"
#include "reports/hourtexts.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace reports::pay {

namespace {
constexpr qint64 MinutesPerDay = 24 * 60;
constexpr qint64 MsecsPerMinute = 60 * 1000;

bool roundingOn(int minutes)
{
    return minutes > 0 && MinutesPerDay % minutes == 0;
}

// The part of `added` minutes, counted on from `before`, that lies beyond `limit`.
qint64 beyond(qint64 before, qint64 added, qint64 limit)
{
    return std::max<qint64>(0, before + added - limit) - std::max<qint64>(0, before - limit);
}

// Whole steps of `step` days in `days`, rounded down (towards the past for days before 0).
qint64 floorSteps(qint64 days, qint64 step)
{
    return days >= 0 ? days / step : -((-days + step - 1) / step);
}

// Reads digits, grouped in threes by `group` or not, then optionally `point` and more digits.
std::optional<Rate> readNumber(QStringView text, QStringView point, QStringView group, bool negative)
{
    QString whole;
    QString fraction;
    qsizetype i = 0;
    const auto digitsAt = [&](qsizetype from) {
        qsizetype n = 0;
        while (from + n < text.size() && text.at(from + n).isDigit() && text.at(from + n).unicode() < 128)
            ++n;
        return n;
    };
    qsizetype run = digitsAt(0);
    whole += text.mid(0, run);
    i = run;
    if (run >= 1 && run <= 3 && !group.isEmpty() && text.mid(i).startsWith(group)) {
        // Grouped: every group after the first holds exactly three digits.
        while (text.mid(i).startsWith(group)) {
            run = digitsAt(i + group.size());
            if (run != 3)
                return std::nullopt;
            whole += text.mid(i + group.size(), 3);
            i += group.size() + 3;
        }
    }
    if (!point.isEmpty() && text.mid(i).startsWith(point)) {
        run = digitsAt(i + point.size());
        if (run == 0)
            return std::nullopt;
        fraction = text.mid(i + point.size(), run).toString();
        i += point.size() + run;
    }
    if (i != text.size() || (whole.isEmpty() && fraction.isEmpty()))
        return std::nullopt;

    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    qsizetype lead = 0;
    while (lead < whole.size() && whole.at(lead) == QLatin1Char('0'))
        ++lead;
    const QString digits = whole.mid(lead) + fraction;
    if (digits.size() > 18)
        return std::nullopt;
    Rate rate;
    rate.decimals = int(fraction.size());
    rate.units = digits.isEmpty() ? 0 : digits.toLongLong();
    if (negative)
        rate.units = -rate.units;
    return rate;
}

// A power of ten as a wide integer.
__int128 tenTo(int exponent)
{
    __int128 value = 1;
    while (exponent-- > 0)
        value *= 10;
    return value;
}
} // namespace

// --- rounding and paid minutes ---

QDateTime roundToMinutes(const QDateTime &wallClock, int minutes)
{
    if (!wallClock.isValid() || !roundingOn(minutes))
        return wallClock;
    const qint64 step = minutes * MsecsPerMinute;
    const qint64 msecs = wallClock.time().msecsSinceStartOfDay();
    const qint64 past = msecs % step;
    qint64 mark = msecs - past;
    if (2 * past >= step)
        mark += step;
    QDateTime rounded = wallClock;
    if (mark >= MinutesPerDay * MsecsPerMinute) {
        rounded.setDate(wallClock.date().addDays(1));
        rounded.setTime(QTime(0, 0));
    } else {
        rounded.setTime(QTime::fromMSecsSinceStartOfDay(int(mark)));
    }
    return rounded;
}

std::optional<qint64> roundedMinutes(const PayRules &rules, const QDateTime &clockIn, const QDateTime &clockOut)
{
    if (!clockIn.isValid())
        return std::nullopt;
    if (hours::isOpen(clockOut))
        return 0;
    if (!roundingOn(rules.roundingMinutes))
        return hours::punchMinutes(clockIn, clockOut);
    return hours::punchMinutes(roundToMinutes(clockIn, rules.roundingMinutes),
                               roundToMinutes(clockOut, rules.roundingMinutes));
}

qint64 afterBreak(const PayRules &rules, qint64 minutes)
{
    if (!rules.breakRule || minutes <= rules.breakAfterMinutes)
        return minutes;
    return std::max<qint64>(0, minutes - rules.breakMinutes);
}

std::optional<qint64> paidMinutes(const PayRules &rules, const QDateTime &clockIn, const QDateTime &clockOut)
{
    const auto minutes = roundedMinutes(rules, clockIn, clockOut);
    if (!minutes)
        return std::nullopt;
    return afterBreak(rules, *minutes);
}

// --- overtime ---

QDate workweekStart(const QDate &date, Qt::DayOfWeek firstDay)
{
    if (!date.isValid())
        return {};
    return date.addDays(-((date.dayOfWeek() - int(firstDay) + 7) % 7));
}

PayPeriod coveringWorkweeks(const QDate &first, const QDate &last, Qt::DayOfWeek firstDay)
{
    if (!first.isValid() || !last.isValid())
        return {};
    return {workweekStart(first, firstDay), workweekStart(last, firstDay).addDays(6)};
}

OvertimeSplitter::OvertimeSplitter(const PayRules &rules)
    : m_daily(rules.dailyOvertime),
      m_weekly(rules.weeklyOvertime),
      m_dailyLimit(std::max<qint64>(0, rules.dailyLimitMinutes)),
      m_weeklyLimit(std::max<qint64>(0, rules.weeklyLimitMinutes)),
      m_firstDay(rules.workweekStart)
{
}

PaySplit OvertimeSplitter::add(const QDate &workDate, qint64 paidMinutes)
{
    PaySplit split{std::max<qint64>(0, paidMinutes), 0};
    if (m_daily) {
        qint64 &day = m_dayMinutes[workDate];
        const qint64 over = beyond(day, split.regular, m_dailyLimit);
        day += split.regular;
        split.regular -= over;
        split.overtime += over;
    }
    if (m_weekly) {
        qint64 &week = m_weekRegular[workweekStart(workDate, m_firstDay)];
        const qint64 over = beyond(week, split.regular, m_weeklyLimit);
        week += split.regular;
        split.regular -= over;
        split.overtime += over;
    }
    return split;
}

void OvertimeSplitter::clear()
{
    m_dayMinutes.clear();
    m_weekRegular.clear();
}

// --- pay periods ---

PayPeriod periodHolding(const QDate &date, PeriodKind kind, const QDate &anchor)
{
    if (!date.isValid())
        return {};
    switch (kind) {
    case PeriodKind::Weekly:
    case PeriodKind::Biweekly: {
        const QDate from = anchor.isValid() ? anchor : PayRules().periodAnchor;
        const qint64 length = kind == PeriodKind::Weekly ? 7 : 14;
        const QDate first = from.addDays(floorSteps(from.daysTo(date), length) * length);
        return {first, first.addDays(length - 1)};
    }
    case PeriodKind::SemiMonthly:
        if (date.day() <= 15)
            return {QDate(date.year(), date.month(), 1), QDate(date.year(), date.month(), 15)};
        return {QDate(date.year(), date.month(), 16), QDate(date.year(), date.month(), date.daysInMonth())};
    case PeriodKind::Monthly:
        return {QDate(date.year(), date.month(), 1), QDate(date.year(), date.month(), date.daysInMonth())};
    }
    return {};
}

PayPeriod periodHolding(const QDate &date, const PayRules &rules)
{
    return periodHolding(date, rules.periodKind, rules.periodAnchor);
}

PayPeriod previousPeriod(const PayPeriod &period, PeriodKind kind, const QDate &anchor)
{
    return periodHolding(period.first.addDays(-1), kind, anchor);
}

PayPeriod nextPeriod(const PayPeriod &period, PeriodKind kind, const QDate &anchor)
{
    return periodHolding(period.last.addDays(1), kind, anchor);
}

bool periodEnded(const PayPeriod &period, const QDate &today)
{
    return period.last.isValid() && today.isValid() && period.last < today;
}

// --- gross pay ---

std::optional<Rate> parseRate(const QString &text)
{
    QStringView t = QStringView(text).trimmed();
    bool sign = false;
    bool negative = false;
    bool currency = false;
    // A sign and a currency sign, in either order, each at most once.
    for (int pass = 0; pass < 2 && !t.isEmpty(); ++pass) {
        const QChar c = t.front();
        if (!sign && (c == QLatin1Char('-') || c == QLatin1Char('+'))) {
            sign = true;
            negative = c == QLatin1Char('-');
        } else if (!currency && c.category() == QChar::Symbol_Currency) {
            currency = true;
        } else {
            break;
        }
        t = t.mid(1).trimmed();
    }
    if (auto rate = readNumber(t, u".", u",", negative))
        return rate;
    const QLocale locale = regional::locale();
    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    if (point == QLatin1String(".") && group == QLatin1String(","))
        return std::nullopt;
    return readNumber(t, point, group, negative);
}

std::optional<qint64> grossPayCents(const Rate &rate, const PaySplit &minutes, double multiplier)
{
    constexpr qint64 MaxMinutes = 100'000'000;
    constexpr int MultiplierDecimals = 6;
    if (!std::isfinite(multiplier) || multiplier < 0 || multiplier > 100)
        return std::nullopt;
    if (qAbs(minutes.regular) > MaxMinutes || qAbs(minutes.overtime) > MaxMinutes)
        return std::nullopt;
    if (rate.decimals < 0 || rate.decimals > 18)
        return std::nullopt;
    // The multiplier as the decimal it was typed as ("1.5"), so no binary fraction creeps in.
    const __int128 scale = tenTo(MultiplierDecimals);
    const __int128 factor = std::llround(multiplier * double(scale));
    // cents = units / 10^decimals × (regular + overtime × factor / scale) / 60 × 100
    const __int128 weighted = __int128(minutes.regular) * scale + __int128(minutes.overtime) * factor;
    const __int128 numerator = __int128(rate.units) * weighted * 100;
    const __int128 denominator = 60 * scale * tenTo(rate.decimals);
    const __int128 magnitude = (2 * (numerator < 0 ? -numerator : numerator) + denominator) / (2 * denominator);
    if (magnitude > std::numeric_limits<qint64>::max())
        return std::nullopt;
    return numerator < 0 ? -qint64(magnitude) : qint64(magnitude);
}

QString amountText(qint64 cents)
{
    const quint64 magnitude = cents < 0 ? quint64(0) - quint64(cents) : quint64(cents);
    return (cents < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 100) + QLatin1Char('.')
        + QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

} // namespace reports::pay
