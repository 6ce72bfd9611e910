#include "station/replay.h"

#include "data/audittable.h"
#include "data/replayedpunches.h"
#include "platform/clock.h"
#include "reports/payexceptions.h"
#include "station/punchservice.h"

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
const QString RefusedAction = QStringLiteral("Refused replay");

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

// The refusal's key and audit row, kept together.
data::DbError keepRefusal(data::Database &db, const QueuedPunch &punch, const QString &reason)
{
    if (const data::DbError error = db.beginWriteFor(punch.userId))
        return error;
    data::AuditSnapshot after;
    after.columns = QStringList{QStringLiteral("StationName"), QStringLiteral("Sequence"), QStringLiteral("UserIDLogin"),
                                QStringLiteral("Direction"), QStringLiteral("PunchTime"), QStringLiteral("Reason")};
    after.values = QStringList{punch.stationName,
                               QString::number(punch.sequence),
                               punch.userId,
                               punch.direction == PunchDirection::In ? QStringLiteral("in") : QStringLiteral("out"),
                               OfflineFile::storedForm(punch.time),
                               reason};
    after.found = true;
    const data::AuditValues values = data::auditValues(data::AuditSnapshot(), after);
    const QDateTime now = platform::Clock::now();
    data::DbError error = data::recordReplayedPunch(db, punch.stationName, punch.sequence, reason);
    if (!error)
        error = db.exec(data::InsertAuditSql, {now.addMSecs(-now.time().msec()), punch.stationName, QString(),
                                               RefusedAction, data::ReplayedPunchesTableName,
                                               QString::number(punch.sequence), values.oldValues, values.newValues});
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
            return data::recordReplayedPunch(d, punch.stationName, punch.sequence);
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

QList<QueuedPunch> offlineExceptions(const QString &path)
{
    PunchQueue queue(path);
    return queue.exceptions();
}

int listRefusedReplays(const QString &path)
{
    return reports::addExceptionSource([path](const QDate &first, const QDate &last) {
        QList<reports::PayException> list;
        for (const QueuedPunch &punch : offlineExceptions(path)) {
            const QDate day = punch.time.date();
            if (day < first || day > last)
                continue;
            reports::PayException exception{QStringLiteral("Refused on replay"), punch.userId, {}, {}, day, {}, {},
                                            punch.reason};
            (punch.direction == PunchDirection::In ? exception.clockIn : exception.clockOut) = punch.time;
            list.append(exception);
        }
        return list;
    });
}

} // namespace station
