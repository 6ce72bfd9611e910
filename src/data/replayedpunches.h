#pragma once

#include "data/audittable.h"
#include "data/database.h"

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

} // namespace data
