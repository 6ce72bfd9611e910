#pragma once

#include "data/database.h"
#include "station/offlinecopy.h"
#include "station/punchqueue.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace station {

// The clock screen's three punch buttons.
enum class PunchButton { ClockIn, ClockOut, ClockInOut };

// How the station answers a punch while the database is away, decided from the copy and the
// queue as the punch service decides online, in the same order: an unknown ID, then a repeat
// within the guard's seconds, then whether the ID is clocked in.
struct OfflineDecision {
    enum class Outcome {
        Accepted,  // queue the punch in `direction`
        Unknown,   // no active employee has the ID ("UserID was not found.")
        Repeat,    // punched within the guard's seconds
        AlreadyIn, // Clock In while clocked in
        NotIn,     // Clock Out while not clocked in
    };
    Outcome outcome = Outcome::Unknown;
    PunchDirection direction = PunchDirection::In;
    // A known ID: the employee's ID as stored, and the copied row with the names and the
    // feedback columns, for the confirmation and the photo popup.
    QString storedId;
    data::Row employee;
    // The guard's seconds, for the repeat refusal's text.
    qint64 repeatSeconds = 0;

    // IDs compare without regard to case. A punch of the ID counts for the repeat guard when
    // its clock-in or clock-out, or a queued punch's time, lies from the guard's seconds before
    // now to now, both included. Clocked in: the copy has an open punch of the ID, unless a
    // later queued punch closed it, or a queued clock-in opened one.
    static OfflineDecision decide(const OfflineSnapshot &copy, const QList<QueuedPunch> &queue, const QString &id,
                                  PunchButton button, const QDateTime &now);

    // The confirmation of a queued punch, with the Spanish line after the usual gap when asked.
    static QString confirmationText(bool spanish);
};

} // namespace station
