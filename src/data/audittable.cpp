#include "data/audittable.h"

#include "platform/clock.h"
#include "platform/system.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace data {

const QString AuditRangeSql = QStringLiteral(
    "select ID, ChangedAt, StationName, AdminUserID, Action, TableName, RowKey, OldValues, NewValues "
    "from AuditTable where ChangedAt >= ? and ChangedAt < ? order by ChangedAt, ID");
const QString InsertAuditSql = QStringLiteral(
    "insert into AuditTable (ChangedAt, StationName, AdminUserID, Action, TableName, RowKey, OldValues, NewValues) "
    "values (?,?,?,?,?,?,?,?)");

namespace {
const QString Hidden = QStringLiteral("*****");
const QString StoredFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// "[varchar](50)" -> "VARCHAR(50)", "[varchar](max)" -> "TEXT", "[datetime]" -> "DATETIME".
QString embeddedType(const char *sqlServerType)
{
    QString type = QString::fromLatin1(sqlServerType).remove(QLatin1Char('[')).remove(QLatin1Char(']')).toUpper();
    if (type.endsWith(QLatin1String("(MAX)")))
        return QStringLiteral("TEXT");
    return type;
}

// A JSON string literal for a text, quotes and escapes included.
QString jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString jsonObject(const QStringList &names, const QStringList &values)
{
    QStringList members;
    for (qsizetype i = 0; i < names.size(); ++i)
        members << jsonString(names[i]) + QLatin1Char(':') + jsonString(values.value(i));
    return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
}
} // namespace

AuditDialect auditDialect(const Database &db)
{
    switch (db.engine()) {
    case Engine::SqlServer:
        return AuditDialect::SqlServer;
    case Engine::PostgreSql:
        return AuditDialect::PostgreSql;
    case Engine::Embedded:
        break;
    }
    return AuditDialect::Embedded;
}

const QList<Column> &auditTableColumns()
{
    static const QList<Column> columns{
        {"ChangedAt", "[datetime]"},        {"StationName", "[varchar](255)"},
        {"AdminUserID", "[varchar](50)"},   {"Action", "[varchar](20)"},
        {"TableName", "[varchar](50)"},     {"RowKey", "[varchar](50)"},
        {"OldValues", "[varchar](max)"},    {"NewValues", "[varchar](max)"},
    };
    return columns;
}

QStringList auditTableStatements(AuditDialect dialect)
{
    QStringList columns;
    switch (dialect) {
    case AuditDialect::Embedded:
        for (const Column &c : auditTableColumns())
            columns << QStringLiteral("  %1 %2").arg(QLatin1String(c.name), embeddedType(c.type));
        return {QStringLiteral("CREATE TABLE IF NOT EXISTS AuditTable (\n  ID INTEGER PRIMARY KEY AUTOINCREMENT,\n%1)")
                    .arg(columns.join(QStringLiteral(",\n"))),
                QStringLiteral("CREATE INDEX IF NOT EXISTS AuditTableChangedAt ON AuditTable (ChangedAt)")};
    case AuditDialect::PostgreSql:
        for (const Column &c : auditTableColumns())
            columns << QStringLiteral("  %1 %2").arg(QLatin1String(c.name),
                                                     embeddedType(c.type).replace(QLatin1String("DATETIME"),
                                                                                  QLatin1String("TIMESTAMP")));
        return {QStringLiteral("CREATE TABLE IF NOT EXISTS AuditTable (\n  ID SERIAL PRIMARY KEY,\n%1)")
                    .arg(columns.join(QStringLiteral(",\n"))),
                QStringLiteral("CREATE INDEX IF NOT EXISTS AuditTableChangedAt ON AuditTable (ChangedAt)")};
    case AuditDialect::SqlServer:
        for (const Column &c : auditTableColumns())
            columns << QStringLiteral("     [%1] %2 NULL").arg(QLatin1String(c.name), QLatin1String(c.type));
        return {QStringList{
            QStringLiteral(" if not exists (select * from dbo.sysobjects where id = object_id(N'[AuditTable]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"),
            QStringLiteral(" begin"),
            QStringLiteral(" CREATE TABLE [AuditTable]("),
            QStringLiteral("     [ID] [int] IDENTITY(1,1) NOT NULL,"),
            columns.join(QStringLiteral(",\r\n")),
            QStringLiteral(" ) ON [PRIMARY]"),
            QStringLiteral(" CREATE NONCLUSTERED INDEX [ChangedAtIndex] ON [AuditTable] ([ChangedAt] ASC)"),
            QStringLiteral(" end"),
        }.join(QStringLiteral("\r\n"))};
    }
    return {};
}

QString auditTableExistsSql(AuditDialect dialect)
{
    switch (dialect) {
    case AuditDialect::Embedded:
        return QStringLiteral("select count(*) as n from sqlite_master where type = 'table' and name = 'AuditTable' collate nocase");
    case AuditDialect::SqlServer:
        return QStringLiteral("select count(*) as n from dbo.sysobjects where id = object_id(N'[AuditTable]') and OBJECTPROPERTY(id, N'IsUserTable') = 1");
    case AuditDialect::PostgreSql:
        return QStringLiteral("select count(*) as n where to_regclass('AuditTable') is not null");
    }
    return {};
}

DbError ensureAuditTable(Database &db)
{
    // Asked first, so that a login without the right to create tables (which PostgreSQL
    // refuses even a CREATE ... IF NOT EXISTS) records changes in the table the script made.
    const QueryResult exists = db.query(auditTableExistsSql(auditDialect(db)));
    if (exists.error)
        return exists.error;
    if (exists.first().number(QStringLiteral("n")) > 0)
        return {};
    for (const QString &statement : auditTableStatements(auditDialect(db))) {
        if (const DbError error = db.exec(statement))
            return error;
    }
    return {};
}

std::optional<qint64> lastInsertedId(Database &db, DbError *error)
{
    QString sql;
    switch (auditDialect(db)) {
    case AuditDialect::Embedded:
        sql = QStringLiteral("select last_insert_rowid() as ID");
        break;
    case AuditDialect::SqlServer:
        sql = QStringLiteral("select @@IDENTITY as ID");
        break;
    case AuditDialect::PostgreSql:
        // The sequence the change's own insert drew from, in this session.
        sql = QStringLiteral("select lastval() as ID");
        break;
    }
    const QueryResult result = db.query(sql);
    if (error)
        *error = result.error;
    bool ok = false;
    const qint64 id = result.first().value(QStringLiteral("ID")).toLongLong(&ok);
    if (result.error || !ok)
        return std::nullopt;
    return id;
}

AuditSnapshot AuditSnapshot::of(const QueryResult &result, const QStringList &columns)
{
    AuditSnapshot snapshot;
    snapshot.columns = columns;
    if (result.error || result.rows.isEmpty())
        return snapshot;
    const Row &row = result.rows.first();
    for (const QString &column : columns) {
        // Date-times in the stored form, whatever the station's regional settings.
        const int index = row.indexOf(column);
        const int type = row.value(index).typeId();
        const QDateTime wall = type == QMetaType::QDateTime || type == QMetaType::QDate ? row.wallDateTime(index) : QDateTime();
        snapshot.values << (wall.isValid() ? wall.toString(StoredFormat) : row.text(index));
    }
    snapshot.found = true;
    return snapshot;
}

AuditValues auditValues(const AuditSnapshot &before, const AuditSnapshot &after, const QStringList &hiddenColumns)
{
    const QStringList &columns = after.found ? after.columns : before.columns;
    QStringList names, oldTexts, newTexts;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString oldText = before.found ? before.values.value(i) : QString();
        const QString newText = after.found ? after.values.value(i) : QString();
        if (before.found && after.found && oldText == newText)
            continue;
        const bool hidden = hiddenColumns.contains(columns[i], Qt::CaseInsensitive);
        names << columns[i];
        oldTexts << (hidden ? Hidden : oldText);
        newTexts << (hidden ? Hidden : newText);
    }
    AuditValues values;
    values.changed = !names.isEmpty() || before.found != after.found;
    if (before.found)
        values.oldValues = jsonObject(names, oldTexts);
    if (after.found)
        values.newValues = jsonObject(names, newTexts);
    return values;
}

DbError recordChange(Database &db, const QString &administrator, const QString &table, qint64 key,
                     const AuditSnapshot &before, const AuditSnapshot &after, const QStringList &hiddenColumns)
{
    const AuditValues values = auditValues(before, after, hiddenColumns);
    if (!values.changed)
        return {};
    const QString action = !before.found ? QStringLiteral("Insert")
                           : !after.found ? QStringLiteral("Delete")
                                          : QStringLiteral("Update");
    if (const DbError error = ensureAuditTable(db))
        return error;
    QDateTime now = platform::Clock::now();
    now = now.addMSecs(-now.time().msec());
    return db.exec(InsertAuditSql, {now, platform::stationName(), administrator, action, table,
                                    QString::number(key), values.oldValues, values.newValues});
}

} // namespace data
