#include "data/embeddedfunctions.h"

#include "platform/regional.h"

#include <sqlite3.h>

namespace data {

namespace {
// Seconds on a naive local time line, so that boundaries follow the wall clock.
qint64 wallSeconds(const QDateTime &t)
{
    return QDate(1899, 12, 30).daysTo(t.date()) * 86400 + t.time().msecsSinceStartOfDay() / 1000;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

std::optional<QDateTime> argumentDateTime(sqlite3_value *value)
{
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return std::nullopt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    if (!text)
        return std::nullopt;
    return regional::parseDateTime(QString::fromUtf8(text));
}

void sqlDateDiff(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 3 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const QString unit = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])));
    const auto start = argumentDateTime(argv[1]);
    const auto end = argumentDateTime(argv[2]);
    if (!start || !end) {
        sqlite3_result_null(context);
        return;
    }
    const auto diff = dateDiff(unit, *start, *end);
    if (!diff) {
        sqlite3_result_error(context, "Invalid procedure call or argument: unknown DateDiff interval", -1);
        return;
    }
    sqlite3_result_int64(context, *diff);
}

void sqlLen(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    sqlite3_result_int64(context, QString::fromUtf8(text).length());
}
} // namespace

std::optional<qint64> dateDiff(const QString &unitText, const QDateTime &start, const QDateTime &end)
{
    const QString unit = unitText.trimmed().toLower();
    const qint64 a = wallSeconds(start);
    const qint64 b = wallSeconds(end);
    if (unit == QLatin1String("s"))
        return b - a;
    if (unit == QLatin1String("n"))
        return floorDiv(b, 60) - floorDiv(a, 60);
    if (unit == QLatin1String("h"))
        return floorDiv(b, 3600) - floorDiv(a, 3600);
    if (unit == QLatin1String("d") || unit == QLatin1String("y"))
        return start.date().daysTo(end.date());
    if (unit == QLatin1String("ww")) {
        // Sunday-started weeks.
        const QDate ref(1899, 12, 31); // a Sunday
        return floorDiv(ref.daysTo(end.date()), 7) - floorDiv(ref.daysTo(start.date()), 7);
    }
    if (unit == QLatin1String("w"))
        return start.date().daysTo(end.date()) / 7;
    const qint64 months = (end.date().year() - start.date().year()) * 12LL
                          + (end.date().month() - start.date().month());
    if (unit == QLatin1String("m"))
        return months;
    if (unit == QLatin1String("q"))
        return (end.date().year() * 4LL + (end.date().month() - 1) / 3)
               - (start.date().year() * 4LL + (start.date().month() - 1) / 3);
    if (unit == QLatin1String("yyyy"))
        return end.date().year() - start.date().year();
    return std::nullopt;
}

void registerEmbeddedFunctions(sqlite3 *handle)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(handle, "DateDiff", 3, flags, nullptr, sqlDateDiff, nullptr, nullptr);
    sqlite3_create_function(handle, "len", 1, flags, nullptr, sqlLen, nullptr, nullptr);
}

} // namespace data
