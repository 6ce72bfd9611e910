#include "data/replayedpunches.h"

#include "data/paytables.h"

namespace data {

namespace {
const QString SelectKey = QStringLiteral(
    "select Reason from ReplayedPunches where StationName = ? and Sequence = ?");
const QString InsertKey = QStringLiteral(
    "insert into ReplayedPunches (StationName, Sequence, Reason) values (?, ?, ?)");
} // namespace

QStringList replayedPunchesStatements(AuditDialect dialect)
{
    switch (dialect) {
    case AuditDialect::Embedded:
        return {QStringLiteral("CREATE TABLE IF NOT EXISTS ReplayedPunches (\n  StationName VARCHAR(50) NOT NULL,\n"
                               "  Sequence BIGINT NOT NULL,\n  Reason VARCHAR(255),\n"
                               "  PRIMARY KEY (StationName, Sequence))")};
    case AuditDialect::PostgreSql:
        return {QStringLiteral("CREATE TABLE IF NOT EXISTS ReplayedPunches (\n    StationName varchar(50) NOT NULL,\n"
                               "    Sequence bigint NOT NULL,\n    Reason varchar(255) NULL,\n"
                               "    PRIMARY KEY (StationName, Sequence)\n)")};
    case AuditDialect::SqlServer:
        return {QStringList{
            QStringLiteral(" if not exists (select * from dbo.sysobjects where id = object_id(N'[ReplayedPunches]') and "
                           "OBJECTPROPERTY(id, N'IsUserTable') = 1)"),
            QStringLiteral(" begin"),
            QStringLiteral(" CREATE TABLE [ReplayedPunches]("),
            QStringLiteral("     [StationName] [varchar](50) NOT NULL,"),
            QStringLiteral("     [Sequence] [bigint] NOT NULL,"),
            QStringLiteral("     [Reason] [varchar](255) NULL,"),
            QStringLiteral("     PRIMARY KEY ([StationName], [Sequence])"),
            QStringLiteral(" ) ON [PRIMARY]"),
            QStringLiteral(" end"),
        }.join(QStringLiteral("\r\n"))};
    }
    return {};
}

DbError ensureReplayedPunchesTable(Database &db)
{
    DbError error;
    if (tableExists(db, ReplayedPunchesTableName, &error) || error)
        return error;
    for (const QString &statement : replayedPunchesStatements(auditDialect(db))) {
        if ((error = db.exec(statement)))
            return error;
    }
    return {};
}

std::optional<QString> replayedPunch(Database &db, const QString &stationName, qint64 sequence, DbError *error)
{
    const QueryResult result = db.query(SelectKey, {stationName, sequence});
    if (error)
        *error = result.error;
    if (result.error || result.rows.isEmpty())
        return std::nullopt;
    return result.first().text(QStringLiteral("Reason"));
}

DbError recordReplayedPunch(Database &db, const QString &stationName, qint64 sequence, const QString &reason)
{
    return db.exec(InsertKey, {stationName, sequence, reason.isEmpty() ? QVariant() : QVariant(reason)});
}

} // namespace data
