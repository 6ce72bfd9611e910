#pragma once

#include "data/database.h"

#include <QString>
#include <QStringList>

namespace data {

// The columns of UserTable after ID, in table order, with their SQL Server types.
struct Column {
    const char *name;
    const char *type; // "[varchar](50)", "[int]" ...
};
const QList<Column> &userTableColumns();

// The SQL Server table creation script, lines joined with CR LF; AuditTable's follows the
// two tables.
QStringList sqlTableScriptLines();
QString sqlTableScript();

// The PostgreSQL table creation script, lines joined with CR LF: both tables and AuditTable
// with their indexes, the case-insensitive collation of the IDs and names, and the DateDiff and len
// functions the statements call. Every part is created only when missing (the functions
// are replaced), so running it again changes no data.
QStringList postgreSqlTableScriptLines();
QString postgreSqlTableScript();

// Creates an empty embedded database file with both tables, AuditTable and their indexes. Refuses to
// touch an existing file. Returns an error when the file exists or cannot be written.
DbError createEmbeddedDatabase(const QString &path);

// Creates the server tables that are missing, on a new current connection to the server
// kind of the given values (whatever "Use SQL DB" says): the kind's script goes to the
// clipboard and is then executed as one command.
DbError SQLTable(const ConnectionSettings &settings);

} // namespace data
