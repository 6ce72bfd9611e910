#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

// The clock tamper lock: every second the clock display's text is read back as a date and
// time and compared with the clock. A jump of three or more minute boundaries, forwards or
// backwards, locks the station until an administrator logs in.
namespace station::tamper {

// Minute boundaries crossed from one wall-clock reading to another, negative when the
// second is earlier: 10:00:59 to 10:01:00 counts 1. Wall-clock fields only, so a
// daylight-saving change of the local clock counts its full hour.
qint64 minuteBoundaries(const QDateTime &from, const QDateTime &to);

// The difference from the display text (read back by the regional settings) to the given
// time; nothing when the text is empty or cannot be read back.
std::optional<qint64> minutesSince(const QString &displayText, const QDateTime &now);

// The minutes that really passed from the display text to the given time when a change of
// the local time zone's UTC offset lies between the two, with the display read in the offset
// in force before that change; nothing when no change lies between them. A jump by exactly
// the offset change across it is therefore a daylight-saving change, not a moved clock.
std::optional<qint64> minutesSinceAcrossOffsetChange(const QString &displayText, const QDateTime &now);

// The check itself: the difference is taken twice, each with a fresh reading of the display
// and of the clock; the first is tested against the upper bound, the second against the
// lower one. With offsetChangesAllowed, a reading that is out of bounds by its wall clock
// but within them once a change of the UTC offset between the two is taken out passes.
bool clockMoved(const std::function<QString()> &displayText, const std::function<QDateTime()> &now,
                bool offsetChangesAllowed = false);

inline constexpr qint64 UpperBound = 2;
inline constexpr qint64 LowerBound = -2;

// One tick of the clock screen's timer: the tamper check (lock() when the clock moved),
// then the display gets the station time text.
void clockTick(const std::function<QString()> &readDisplay, const std::function<void(const QString &)> &writeDisplay,
               const std::function<void()> &lock, bool offsetChangesAllowed = false);

} // namespace station::tamper
