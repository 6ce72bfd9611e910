#include "data/replayedpunches.h"

#include "data/paytables.h"
#include "platform/clock.h"
#include "platform/regional.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace data {

namespace {
const QString SelectKey = QStringLiteral(
    "select Reason from ReplayedPunches where StationName = ? and Sequence = ?");
const QString InsertKey = QStringLiteral(
    "insert into ReplayedPunches (StationName, Sequence, Reason) values (?, ?, ?)");
const QString SelectNotes = QStringLiteral(
    "select Action, NewValues from AuditTable where TableName = ? and (Action = ? or Action = ?) "
    "order by ChangedAt, ID");
const QString RefusedAction = QStringLiteral("Refused replay");
const QString ClosedPeriodAction = QStringLiteral("Into closed period");
const QString StoredFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QDateTime wallTime(const QString &stored)
{
    QDate date;
    QTime time;
    return regional::parseStoredForm(stored, &date, &time) ? QDateTime(date, time, Qt::UTC) : QDateTime();
}
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

DbError recordReplayNote(Database &db, const ReplayNote &note)
{
    const bool refused = note.kind == ReplayNote::Kind::Refused;
    AuditSnapshot after;
    after.columns = QStringList{QStringLiteral("StationName"), QStringLiteral("Sequence"), QStringLiteral("UserIDLogin"),
                                QStringLiteral("Direction"), QStringLiteral("PunchTime"),
                                refused ? QStringLiteral("Reason") : QStringLiteral("ClosedAt")};
    after.values = QStringList{note.stationName,
                               QString::number(note.sequence),
                               note.userId,
                               note.clockIn ? QStringLiteral("in") : QStringLiteral("out"),
                               note.punchTime.toString(StoredFormat),
                               refused ? note.reason : note.periodClosedAt.toString(StoredFormat)};
    after.found = true;
    const AuditValues values = auditValues(AuditSnapshot(), after);
    const QDateTime now = platform::Clock::now();
    return db.exec(InsertAuditSql, {now.addMSecs(-now.time().msec()), note.stationName, QString(),
                                    refused ? RefusedAction : ClosedPeriodAction, ReplayedPunchesTableName,
                                    QString::number(note.sequence), values.oldValues, values.newValues});
}

QList<ReplayNote> replayNotes(Database &db, DbError *error)
{
    QList<ReplayNote> notes;
    const QueryResult exists = db.query(auditTableExistsSql(auditDialect(db)));
    DbError failure = exists.error;
    if (!failure && exists.first().number(QStringLiteral("n")) > 0) {
        failure = db.forEachRow(SelectNotes, {ReplayedPunchesTableName, RefusedAction, ClosedPeriodAction},
                                [&notes](const Row &row) {
                                    const QJsonObject values =
                                        QJsonDocument::fromJson(row.text(QStringLiteral("NewValues")).toUtf8()).object();
                                    auto text = [&values](const char *name) {
                                        return values.value(QLatin1String(name)).toString();
                                    };
                                    ReplayNote note;
                                    note.kind = row.text(QStringLiteral("Action")) == RefusedAction
                                                    ? ReplayNote::Kind::Refused
                                                    : ReplayNote::Kind::IntoClosedPeriod;
                                    note.stationName = text("StationName");
                                    note.sequence = text("Sequence").toLongLong();
                                    note.userId = text("UserIDLogin");
                                    note.clockIn = text("Direction") != QLatin1String("out");
                                    note.punchTime = wallTime(text("PunchTime"));
                                    note.reason = text("Reason");
                                    note.periodClosedAt = wallTime(text("ClosedAt"));
                                    // A row whose values cannot be read names no punch.
                                    if (note.punchTime.isValid())
                                        notes << note;
                                    return true;
                                });
    }
    if (error)
        *error = failure;
    return failure ? QList<ReplayNote>() : notes;
}

} // namespace data
