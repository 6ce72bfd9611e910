#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

struct sqlite3;

namespace data {

// Registers the functions the station's statements use on the embedded engine:
// DateDiff(unit, start, end) with quoted units and len(text).
void registerEmbeddedFunctions(sqlite3 *handle);

// The number of unit boundaries crossed from start to end (negative when end is earlier).
// Units: "yyyy" year, "q" quarter, "m" month, "d" and "y" day, "ww" week, "h" hour,
// "n" minute, "s" second. An unknown unit gives nullopt.
std::optional<qint64> dateDiff(const QString &unit, const QDateTime &start, const QDateTime &end);

} // namespace data
