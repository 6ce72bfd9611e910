#pragma once

#include "data/audittable.h"
#include "data/database.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// ReplayedPunches: the key (station name and queue sequence) of every punch a station kept
// while the database was away and sent afterwards, written in the transaction that sends it.
// A punch whose key is there was sent before, so sending it again writes nothing. Reason is
// empty for a punch that was written and holds the database's reason for one it refused.
// Part of the SQL panel's table scripts, and made on first use like AuditTable.
namespace data {

inline const QString ReplayedPunchesTableName = QStringLiteral("ReplayedPunches");

QStringList replayedPunchesStatements(AuditDialect dialect);
DbError ensureReplayedPunchesTable(Database &db);

// What the database holds for a key: nothing, or the reason (empty for a written punch).
std::optional<QString> replayedPunch(Database &db, const QString &stationName, qint64 sequence, DbError *error);
DbError recordReplayedPunch(Database &db, const QString &stationName, qint64 sequence, const QString &reason = {});

// What AuditTable keeps of a sent punch a person has to look at (table name ReplayedPunches,
// row key the sequence): one the database refused, with its reason; or one written into a pay
// period that had been closed meanwhile, with that period's closing time, since the punch's
// own times may lie before the closing. The new values are a JSON object of StationName,
// Sequence, UserIDLogin, Direction ("in" or "out"), PunchTime and Reason or ClosedAt (both
// times in the stored form).
struct ReplayNote {
    enum class Kind { Refused, IntoClosedPeriod };
    Kind kind = Kind::Refused;
    QString stationName;
    qint64 sequence = 0;
    QString userId;
    bool clockIn = true;
    // The station's wall-clock times, whole seconds, on the UTC line.
    QDateTime punchTime;
    QString reason;
    QDateTime periodClosedAt;

    bool operator==(const ReplayNote &) const = default;
};

// Writes the note's AuditTable row with the time now and the note's station name; run it in
// the transaction that keeps the punch or its refusal.
DbError recordReplayNote(Database &db, const ReplayNote &note);
// Every note AuditTable holds, oldest first. Only reads: none where AuditTable is missing.
QList<ReplayNote> replayNotes(Database &db, DbError *error);

} // namespace data
