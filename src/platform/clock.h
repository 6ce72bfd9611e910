#pragma once

#include <QDateTime>

#include <functional>

namespace platform {

// The one place the program reads the wall clock. Tests replace the source.
class Clock
{
public:
    static QDateTime now();

    // Tests: a fixed time that only moves when told to.
    static void setFixed(const QDateTime &time);
    static void advance(qint64 milliseconds);
    // Tests: any source; an empty function returns to the system clock.
    static void setSource(std::function<QDateTime()> source);
    static void useSystemClock();
};

} // namespace platform
