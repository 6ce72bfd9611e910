#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

// The workstation's regional settings: how the station renders and reads dates and times.
namespace regional {

// The locale in force: the system's, with C or POSIX counting as en_US. Tests set one.
QLocale locale();
void setLocale(const QLocale &locale);

// Short date with a four-digit year, and the long time without a time-zone suffix.
QString shortDateFormat();
QString longTimeFormat();

// The general date form: short date, one blank, long time. A time of exactly 00:00:00
// renders as the date alone, a value on the zero date (1899-12-30) as the time alone.
QString generalDate(const QDateTime &value);
QString generalDate(const QDate &date, const QTime &time);
QString shortDate(const QDate &date);

// The station time text and station date text, each a fresh reading of the clock.
QString stationTimeText();
QString stationDateText();

// Reads a text in the general date form back (date and time, date alone, time alone on
// the zero date), and the canonical stored form. Seconds are optional.
std::optional<QDateTime> parseDateTime(const QString &text);
// Reads the stored form alone ("yyyy-MM-dd", "yyyy-MM-dd HH:mm:ss", or with a "T") into its
// date and time, without building a date-time. False for any other text.
bool parseStoredForm(QStringView text, QDate *date, QTime *time);

// The zero date that a time alone belongs to.
QDate zeroDate();

// The offsets from UTC, in seconds, that the machine's local time zone gives a wall-clock
// reading. They differ only for a reading that occurs twice (the clocks set back), `first`
// being the one in force before the change. A reading the clocks skipped (set forward)
// takes the offset before the change. Zone and transitions are remembered between calls
// and read again when TZ changes, and at least once a minute.
struct WallOffsets {
    int first = 0;
    int second = 0;
};
WallOffsets wallOffsets(const QDate &date, const QTime &time);

} // namespace regional
