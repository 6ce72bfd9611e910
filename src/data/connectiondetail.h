#pragma once

// What the engines' connection files share with one another and with database.cpp.

#include <QString>

class QSqlDatabase;
class QSqlQuery;
struct sqlite3;
struct sqlite3_stmt;

namespace data::detail {

// The embedded engine's own handles behind a connection and a statement, null when the
// connection is not the embedded engine's.
sqlite3 *sqliteHandle(const QSqlDatabase &db);
sqlite3_stmt *sqliteStatement(const QSqlQuery &query);

// Gives a statement prepared on an ODBC connection the server's query time-out, in whole
// seconds (at least one).
void limitOdbcStatement(QSqlQuery &query, int ms);

// A driver message cut down to the text the station shows (see sqlserverconnection.cpp).
QString cleanDescription(const QString &text);

} // namespace data::detail
