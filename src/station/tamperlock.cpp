#include "station/tamperlock.h"

#include "platform/clock.h"
#include "platform/regional.h"

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

bool clockMoved(const std::function<QString()> &displayText, const std::function<QDateTime()> &now)
{
    const std::optional<qint64> first = minutesSince(displayText(), now());
    const std::optional<qint64> second = minutesSince(displayText(), now());
    return (first && *first > UpperBound) || (second && *second < LowerBound);
}

void clockTick(const std::function<QString()> &readDisplay, const std::function<void(const QString &)> &writeDisplay,
               const std::function<void()> &lock)
{
    if (!readDisplay().isEmpty() && clockMoved(readDisplay, &platform::Clock::now))
        lock();
    writeDisplay(regional::stationTimeText());
}

} // namespace station::tamper
