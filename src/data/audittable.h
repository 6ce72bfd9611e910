#pragma once

#include "data/database.h"
#include "data/schema.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// AuditTable: one row for every change an administrator makes to an employee or a punch.
// The table scripts of every engine make it with the other tables; a database from an
// earlier build gains it the first time a change is recorded, and nothing else; a
// connection that only reads never creates it.
namespace data {

inline const QString AuditTableName = QStringLiteral("AuditTable");

// The statement texts of AuditTable, one dialect per engine.
enum class AuditDialect {
    Embedded,
    SqlServer,
    PostgreSql,
};

AuditDialect auditDialect(const Database &db);

// AuditTable's columns after its key, with their SQL Server types; every dialect's
// statements are written from this list.
const QList<Column> &auditTableColumns();

// The statements that create AuditTable and its index where they are missing, in order.
QStringList auditTableStatements(AuditDialect dialect);
// Counts AuditTable (0 or 1) in column n.
QString auditTableExistsSql(AuditDialect dialect);
// Creates AuditTable where it is missing; where it is there, creates nothing.
DbError ensureAuditTable(Database &db);

// Reads the changes made from `from` (included) to `to` (excluded), oldest first.
extern const QString AuditRangeSql;
extern const QString InsertAuditSql;

// The key the engine gave the row this connection inserted last.
std::optional<qint64> lastInsertedId(Database &db, DbError *error = nullptr);

// The texts of one row's columns, in a fixed order; found is false for no row.
struct AuditSnapshot {
    QStringList columns;
    QStringList values;
    bool found = false;

    // The first row of a result, read under the given column names.
    static AuditSnapshot of(const QueryResult &result, const QStringList &columns);
};

// The old and new values of one change as AuditTable keeps them: a JSON object of column
// names and texts, in column order. An insert has only new values, a delete only old ones,
// an update the changed columns on both sides. Hidden columns show as "*****". Date-times
// are in the stored form, "yyyy-MM-dd HH:mm:ss".
struct AuditValues {
    QString oldValues;
    QString newValues;
    bool changed = false;
};
AuditValues auditValues(const AuditSnapshot &before, const AuditSnapshot &after,
                        const QStringList &hiddenColumns = {});

// One change of a row: "Insert", "Update" or "Delete" by whether the row was there before
// and after. Writes one AuditTable row with the time now, this station's name and the
// administrator, creating the table first where it is missing. Run it inside the write
// transaction of the change, so both are kept or neither. An update that changed no
// column writes nothing.
DbError recordChange(Database &db, const QString &administrator, const QString &table, qint64 key,
                     const AuditSnapshot &before, const AuditSnapshot &after,
                     const QStringList &hiddenColumns = {});

} // namespace data
