#include "data/embeddedfunctions.h"

#include "platform/regional.h"

#include <sqlite3.h>

#include <cstring>

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

// A value in the stored form "yyyy-MM-dd HH:mm:ss" (or the date alone), on the wall-clock
// line: days since the zero date and the second of the day.
struct Wall {
    qint64 day = 0;
    int second = 0;
};

int digits(const unsigned char *text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Whether year, month and day make a date of the Gregorian calendar from year 1 on.
bool validDate(int y, int m, int d)
{
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
    return d <= lengths[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Days from the zero date (1899-12-30) to a valid date, in whole numbers alone: the report
// counts days of every punch in the file.
qint64 daysFromZero(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const qint64 era = y / 400;
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    // Days from 0000-03-01 to 1899-12-30.
    return era * 146097 + dayOfEra - 693899;
}

std::optional<Wall> storedWall(sqlite3_value *value)
{
    if (sqlite3_value_type(value) != SQLITE_TEXT)
        return std::nullopt;
    const unsigned char *t = sqlite3_value_text(value);
    const int size = sqlite3_value_bytes(value);
    if (!t || (size != 10 && size != 19) || t[4] != '-' || t[7] != '-')
        return std::nullopt;
    const int y = digits(t, 0, 4), mo = digits(t, 5, 2), d = digits(t, 8, 2);
    if (!validDate(y, mo, d))
        return std::nullopt;
    Wall wall{daysFromZero(y, mo, d), 0};
    if (size == 19) {
        if ((t[10] != ' ' && t[10] != 'T') || t[13] != ':' || t[16] != ':')
            return std::nullopt;
        const int h = digits(t, 11, 2), mi = digits(t, 14, 2), s = digits(t, 17, 2);
        if (h < 0 || mi < 0 || s < 0 || !QTime::isValid(h, mi, s))
            return std::nullopt;
        wall.second = h * 3600 + mi * 60 + s;
    }
    return wall;
}

// Days, hours, minutes and seconds between two stored values, without building date-times:
// the report runs this for every punch. Other units and other forms take the general way.
std::optional<qint64> quickDateDiff(sqlite3_value **argv)
{
    sqlite3_value *unitValue = argv[0];
    if (sqlite3_value_bytes(unitValue) != 1)
        return std::nullopt;
    const char unit = char(sqlite3_value_text(unitValue)[0] | 0x20);
    if (unit != 'd' && unit != 'h' && unit != 'n' && unit != 's')
        return std::nullopt;
    const auto a = storedWall(argv[1]);
    const auto b = a ? storedWall(argv[2]) : std::nullopt;
    if (!b)
        return std::nullopt;
    if (unit == 'd')
        return b->day - a->day;
    const qint64 sa = a->day * 86400 + a->second;
    const qint64 sb = b->day * 86400 + b->second;
    if (unit == 's')
        return sb - sa;
    const qint64 size = unit == 'n' ? 60 : 3600;
    return floorDiv(sb, size) - floorDiv(sa, size);
}

void sqlDateDiff(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 3 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    if (const auto quick = quickDateDiff(argv)) {
        sqlite3_result_int64(context, *quick);
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
    const int bytes = sqlite3_value_bytes(argv[0]);
    // A time alone is kept on the zero date; its text is the time, as a date-time column
    // renders it, so the report's "len(...) > 12" leaves it out as it leaves out a date alone.
    static constexpr char zeroDay[] = "1899-12-30";
    if (bytes == 19 && std::strncmp(text, zeroDay, 10) == 0 && (text[10] == ' ' || text[10] == 'T')) {
        sqlite3_result_int64(context, bytes - 11);
        return;
    }
    bool ascii = true;
    for (int i = 0; i < bytes && ascii; ++i)
        ascii = (text[i] & 0x80) == 0;
    // Characters, as the text's own length counts them.
    sqlite3_result_int64(context, ascii ? bytes : QString::fromUtf8(text, bytes).length());
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

int bindSqliteValue(sqlite3_stmt *statement, int position, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return sqlite3_bind_null(statement, position);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(statement, position, value.toLongLong());
    case QMetaType::Double:
        return sqlite3_bind_double(statement, position, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray blob = value.toByteArray();
        return sqlite3_bind_blob(statement, position, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text(statement, position, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    }
}

} // namespace data
