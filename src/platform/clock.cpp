#include "platform/clock.h"

namespace platform {

namespace {
std::function<QDateTime()> &source()
{
    static std::function<QDateTime()> s;
    return s;
}
QDateTime &fixedTime()
{
    static QDateTime t;
    return t;
}
} // namespace

QDateTime Clock::now()
{
    if (source())
        return source()();
    return QDateTime::currentDateTime();
}

void Clock::setFixed(const QDateTime &time)
{
    fixedTime() = time;
    source() = [] { return fixedTime(); };
}

void Clock::advance(qint64 milliseconds)
{
    fixedTime() = fixedTime().addMSecs(milliseconds);
}

void Clock::setSource(std::function<QDateTime()> s)
{
    source() = std::move(s);
}

void Clock::useSystemClock()
{
    source() = nullptr;
}

} // namespace platform
