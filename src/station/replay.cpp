#include "station/replay.h"

#include "data/audittable.h"
#include "data/replayedpunches.h"
#include "reports/payrulesstore.h"
#include "station/punchservice.h"

#include <algorithm>

namespace station {

namespace replayreasons {
QString unknownId()
{
    return QStringLiteral("UserID was not found.");
}
QString clockedInElsewhere()
{
    return QStringLiteral("The ID was clocked in at another station meanwhile.");
}
QString notClockedIn()
{
    return QStringLiteral("The ID was not clocked in any more: clocked out at another station meanwhile.");
}
QString reversed()
{
    return QStringLiteral("The clock-out is earlier than the clock-in of the open punch.");
}
} // namespace replayreasons

namespace {
// The work dates of the rows a clock-out has just closed.
const QString ClosedRowDates = QStringLiteral(
    "select RowDate from clocktable where UserIDLogin = ? and ClockedOut = ?");

bool stops(const data::DbError &error)
{
    return error.unreachable || error.number == data::errors::GeneralFailure;
}

QString reasonFor(PunchWrite::Result result)
{
    switch (result) {
    case PunchWrite::Result::Unknown:
        return replayreasons::unknownId();
    case PunchWrite::Result::AlreadyIn:
        return replayreasons::clockedInElsewhere();
    case PunchWrite::Result::NotIn:
        return replayreasons::notClockedIn();
    case PunchWrite::Result::Reversed:
        return replayreasons::reversed();
    default:
        return QString();
    }
}

data::ReplayNote noteOf(const QueuedPunch &punch)
{
    data::ReplayNote note;
    note.stationName = punch.stationName;
    note.sequence = punch.sequence;
    note.userId = punch.userId;
    note.clockIn = punch.direction == PunchDirection::In;
    note.punchTime = OfflineFile::wallTime(punch.time);
    return note;
}

// The refusal's key and audit row, kept together.
data::DbError keepRefusal(data::Database &db, const QueuedPunch &punch, const QString &reason)
{
    if (const data::DbError error = db.beginWriteFor(punch.userId))
        return error;
    data::ReplayNote note = noteOf(punch);
    note.reason = reason;
    data::DbError error = data::recordReplayedPunch(db, punch.stationName, punch.sequence, reason);
    if (!error)
        error = data::recordReplayNote(db, note);
    if (!error)
        error = db.commit();
    if (error)
        db.rollback();
    return error;
}

// The punch's time as a local date-time with the same wall-clock reading.
QDateTime localTime(const QDateTime &wall)
{
    return QDateTime(wall.date(), wall.time());
}

// Inside the transaction that has just written the punch: a note for each closed pay period
// holding the work date of a row it wrote, the new row's or those its clock-out closed. The
// exceptions list finds such a punch by the note, as its times may lie before the closing.
data::DbError noteClosedPeriods(data::Database &db, const QueuedPunch &punch)
{
    data::DbError error;
    // The store reads on the replay's own connection, which it does not own.
    const QList<reports::ClosedPeriod> closed =
        reports::PayRulesStore(std::shared_ptr<data::Database>(std::shared_ptr<data::Database>(), &db))
            .closedPeriods(&error);
    if (error || closed.isEmpty())
        return error;
    QList<QDate> workDates;
    if (punch.direction == PunchDirection::In) {
        workDates << punch.time.date();
    } else {
        const data::QueryResult rows = db.query(ClosedRowDates, {punch.userId, localTime(punch.time)});
        if (rows.error)
            return rows.error;
        for (const data::Row &row : rows.rows)
            workDates << row.wallDateTime(row.indexOf(QStringLiteral("RowDate"))).date();
    }
    for (const reports::ClosedPeriod &period : closed) {
        if (std::none_of(workDates.begin(), workDates.end(), [&](const QDate &d) { return period.period.contains(d); }))
            continue;
        data::ReplayNote note = noteOf(punch);
        note.kind = data::ReplayNote::Kind::IntoClosedPeriod;
        note.periodClosedAt = OfflineFile::wallTime(period.closedAt);
        if ((error = data::recordReplayNote(db, note)))
            return error;
    }
    return {};
}
} // namespace

ReplayResult replayQueue(data::Database &db, PunchQueue &queue, OfflineCopy *copy)
{
    ReplayResult result;
    if ((result.error = data::ensureReplayedPunchesTable(db)) || (result.error = data::ensureAuditTable(db)))
        return result;
    const QList<QueuedPunch> punches = queue.pending();
    for (const QueuedPunch &punch : punches) {
        data::DbError error;
        const std::optional<QString> known = data::replayedPunch(db, punch.stationName, punch.sequence, &error);
        if (error) {
            result.error = error;
            return result;
        }
        if (known) {
            // Sent before, its removal lost (a station stopped between the commit and it).
            const bool taken = known->isEmpty() ? queue.remove(punch.sequence) : queue.refuse(punch.sequence, *known);
            if (!taken) {
                result.error = {data::errors::GeneralFailure, queue.errorText()};
                return result;
            }
            ++result.known;
            continue;
        }

        PunchRequest request;
        request.id = punch.userId;
        request.button = punch.direction == PunchDirection::In ? PunchButton::ClockIn : PunchButton::ClockOut;
        request.time = localTime(punch.time);
        request.keepOrder = true;
        request.alsoInTransaction = [&punch](data::Database &d) {
            if (const data::DbError error = data::recordReplayedPunch(d, punch.stationName, punch.sequence))
                return error;
            return noteClosedPeriods(d, punch);
        };
        const PunchWrite written = PunchService::write(db, request);
        if (written.result == PunchWrite::Result::Written) {
            if (copy)
                copy->notePunch(punch.userId, punch.direction, punch.time);
            if (!queue.remove(punch.sequence)) {
                result.error = {data::errors::GeneralFailure, queue.errorText()};
                return result;
            }
            ++result.written;
            continue;
        }
        QString reason = reasonFor(written.result);
        if (written.result == PunchWrite::Result::Failed) {
            if (stops(written.error)) {
                result.error = written.error;
                return result;
            }
            // A statement the database rejects for this punch alone: kept with its reason.
            reason = written.error.description.left(255);
        }
        if ((error = keepRefusal(db, punch, reason))) {
            result.error = error;
            return result;
        }
        if (!queue.refuse(punch.sequence, reason)) {
            result.error = {data::errors::GeneralFailure, queue.errorText()};
            return result;
        }
        ++result.refused;
    }
    return result;
}

} // namespace station
