#include "station/offlinedecision.h"

#include <algorithm>

namespace station {

namespace {
const QString ConfirmationText = QStringLiteral(
    "Your punch was recorded while the database is away. It will be sent when the database is back.");
const QString ConfirmationSpanish = QStringLiteral(
    "Su registro se guardó mientras la base de datos no está disponible. Se enviará cuando vuelva.");
const QString Gap = QStringLiteral("\r\n\r\n");

bool within(const QDateTime &time, const QDateTime &since, const QDateTime &now)
{
    return time.isValid() && time >= since && time <= now;
}
} // namespace

OfflineDecision OfflineDecision::decide(const OfflineSnapshot &copy, const QList<QueuedPunch> &queue,
                                        const QString &id, PunchButton button, const QDateTime &now)
{
    OfflineDecision decision;
    decision.repeatSeconds = copy.repeatSeconds;
    const QString key = OfflineCopy::foldedId(id);
    auto sameId = [&key](const QString &other) { return OfflineCopy::foldedId(other) == key; };

    const auto employee = std::find_if(copy.employees.cbegin(), copy.employees.cend(),
                                       [&](const CopiedEmployee &e) { return sameId(e.userId); });
    if (employee == copy.employees.cend())
        return decision; // Unknown
    decision.storedId = employee->userId;
    decision.employee = employee->row;

    // Times compare as written on the wall clock, as the stored values do online.
    const QDateTime wallNow = OfflineFile::wallTime(now);
    const QDateTime since = wallNow.addSecs(-copy.repeatSeconds);
    bool recent = false;
    bool clockedIn = false;
    for (const CopiedPunch &punch : copy.punches) {
        if (!sameId(punch.userId))
            continue;
        recent = recent || within(punch.clockedIn, since, wallNow) || within(punch.clockedOut, since, wallNow);
        clockedIn = clockedIn || !punch.clockedOut.isValid();
    }
    for (const QueuedPunch &punch : queue) {
        if (!sameId(punch.userId))
            continue;
        recent = recent || within(punch.time, since, wallNow);
        clockedIn = punch.direction == PunchDirection::In;
    }
    if (copy.repeatSeconds > 0 && recent) {
        decision.outcome = Outcome::Repeat;
        return decision;
    }

    switch (button) {
    case PunchButton::ClockIn:
        decision.outcome = clockedIn ? Outcome::AlreadyIn : Outcome::Accepted;
        decision.direction = PunchDirection::In;
        break;
    case PunchButton::ClockOut:
        decision.outcome = clockedIn ? Outcome::Accepted : Outcome::NotIn;
        decision.direction = PunchDirection::Out;
        break;
    case PunchButton::ClockInOut:
        decision.outcome = Outcome::Accepted;
        decision.direction = clockedIn ? PunchDirection::Out : PunchDirection::In;
        break;
    }
    return decision;
}

QString OfflineDecision::confirmationText(bool spanish)
{
    return spanish ? ConfirmationText + Gap + ConfirmationSpanish : ConfirmationText;
}

} // namespace station
