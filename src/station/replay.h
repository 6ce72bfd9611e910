#pragma once

#include "data/database.h"
#include "station/offlinecopy.h"
#include "station/punchqueue.h"

#include <QList>
#include <QString>

namespace station {

// What one replay of the queue did.
struct ReplayResult {
    int written = 0; // committed now
    int known = 0;   // committed (or refused) before, found by their key and taken off the queue
    int refused = 0; // moved to the exceptions now
    // Why it stopped before the queue was empty; none when it was emptied.
    data::DbError error;
};

// The reasons a replayed punch is refused for, as the exceptions list shows them.
namespace replayreasons {
QString unknownId();
QString clockedInElsewhere();
QString notClockedIn();
QString reversed();
} // namespace replayreasons

// Sends the queue's punches, oldest first, each through the punch transaction with its own
// time, its key (station name and sequence) written in ReplayedPunches in the same
// transaction. A punch is taken off the queue only after its commit; a punch whose key the
// database already holds is taken off without being written again. A punch the database
// refuses becomes an exception: the key with the reason and an AuditTable row in one
// transaction, then the queue's refusal. A punch written into a closed pay period is written
// all the same, with an AuditTable row in its transaction; the exceptions list reads both
// kinds of row. Stops at the first failure of the database, leaving the rest queued. A copy,
// when given, notes each written punch before it leaves the queue, so a punch decided
// meanwhile from the copy and the queue sees it in one or the other.
ReplayResult replayQueue(data::Database &db, PunchQueue &queue, OfflineCopy *copy = nullptr);

} // namespace station
