#include "station/tamperlock.h"

#include "platform/clock.h"
#include "platform/regional.h"

#include <QTimeZone>

namespace station::tamper {

qint64 minuteBoundaries(const QDateTime &from, const QDateTime &to)
{
    const auto minuteOfDay = [](const QTime &t) { return qint64(t.hour()) * 60 + t.minute(); };
    return from.date().daysTo(to.date()) * 1440 + minuteOfDay(to.time()) - minuteOfDay(from.time());
}

std::optional<qint64> minutesSince(const QString &displayText, const QDateTime &now)
{
    if (displayText.isEmpty())
        return std::nullopt;
    const std::optional<QDateTime> shown = regional::parseDateTime(displayText);
    if (!shown)
        return std::nullopt;
    return minuteBoundaries(*shown, now);
}

std::optional<qint64> minutesSinceAcrossOffsetChange(const QString &displayText, const QDateTime &now)
{
    if (displayText.isEmpty())
        return std::nullopt;
    const std::optional<QDateTime> shown = regional::parseDateTime(displayText);
    if (!shown)
        return std::nullopt;
    // The latest change of the offset at or before now (now is an instant; its own offset
    // tells the two readings of an autumn hour apart).
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime nowUtc = now.toUTC();
    const QTimeZone::OffsetData change = zone.previousTransition(nowUtc.addMSecs(1));
    if (!change.atUtc.isValid())
        return std::nullopt;
    const int before = zone.offsetFromUtc(change.atUtc.addSecs(-1));
    if (before == change.offsetFromUtc)
        return std::nullopt;
    // The display as written just before the change, as an instant.
    const QDateTime shownUtc = QDateTime(shown->date(), shown->time(), Qt::UTC).addSecs(-before);
    if (!(shownUtc < change.atUtc))
        return std::nullopt;
    return minuteBoundaries(shownUtc, nowUtc);
}

bool clockMoved(const std::function<QString()> &displayText, const std::function<QDateTime()> &now,
                bool offsetChangesAllowed)
{
    const auto outOfBounds = [&](const QString &shown, const QDateTime &at, auto beyond) {
        const std::optional<qint64> wall = minutesSince(shown, at);
        if (!wall || !beyond(*wall))
            return false;
        if (!offsetChangesAllowed)
            return true;
        const std::optional<qint64> passed = minutesSinceAcrossOffsetChange(shown, at);
        return !passed || beyond(*passed);
    };
    const bool forwards = outOfBounds(displayText(), now(), [](qint64 m) { return m > UpperBound; });
    const bool backwards = outOfBounds(displayText(), now(), [](qint64 m) { return m < LowerBound; });
    return forwards || backwards;
}

void clockTick(const std::function<QString()> &readDisplay, const std::function<void(const QString &)> &writeDisplay,
               const std::function<void()> &lock, bool offsetChangesAllowed)
{
    if (!readDisplay().isEmpty() && clockMoved(readDisplay, &platform::Clock::now, offsetChangesAllowed))
        lock();
    writeDisplay(regional::stationTimeText());
}

} // namespace station::tamper
