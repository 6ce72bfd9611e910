#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

// Registers the functions the station's statements use on the embedded engine:
// DateDiff(unit, start, end) with quoted units and len(text).
void registerEmbeddedFunctions(sqlite3 *handle);

// The number of unit boundaries crossed from start to end (negative when end is earlier).
// Units: "yyyy" year, "q" quarter, "m" month, "d" and "y" day, "ww" week, "h" hour,
// "n" minute, "s" second. An unknown unit gives nullopt.
std::optional<qint64> dateDiff(const QString &unit, const QDateTime &start, const QDateTime &end);

// Binds one value to a statement's parameter (1-based): NULL, whole numbers and doubles as
// such, bytes as a blob, anything else as text in the file's own encoding (UTF-8), so a value
// is not converted again on every row that compares with it. SQLite's result code.
int bindSqliteValue(sqlite3_stmt *statement, int position, const QVariant &value);

} // namespace data
