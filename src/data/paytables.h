#pragma once

#include "data/audittable.h"
#include "data/database.h"

#include <QString>
#include <QStringList>

// PayRules and PayPeriods: the station-wide pay rules, one row per rule by name (so a new
// rule needs no change of the table), and the pay periods that were closed. Both are part
// of the SQL panel's table scripts and are created on first write like AuditTable; a
// connection that only reads never creates them.
namespace data {

inline const QString PayRulesTableName = QStringLiteral("PayRules");
inline const QString PayPeriodsTableName = QStringLiteral("PayPeriods");

// The statements that create both tables (and the periods' index) where they are missing,
// in order, in the given engine's dialect. On SQL Server each is one "if not exists" block.
QStringList payTableStatements(AuditDialect dialect);

// Whether a table of that name is there, found in the engine's catalog: no statement
// fails on a missing table, so a read-only transaction stays usable.
bool tableExists(Database &db, const QString &table, DbError *error = nullptr);

// Creates whichever of the two tables is missing; a login that may not create tables
// still works on tables made by the table script.
DbError ensurePayTables(Database &db);

} // namespace data
