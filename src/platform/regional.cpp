#include "platform/regional.h"

#include "platform/clock.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <string>

namespace regional {

namespace {
std::optional<QLocale> &localeOverride()
{
    static std::optional<QLocale> l;
    return l;
}

// The formats of one locale and the date and time texts already rendered with them. Long
// reports render the same days and times many times over; building a text from its format
// costs far more than looking it up.
struct Rendering {
    QLocale locale;
    QString shortDate;
    QString longTime;
    QStringList timeFormats;
    QHash<qint64, QString> dates; // by Julian day
    QHash<int, QString> times;    // by second of the day
};

constexpr qsizetype RememberedTexts = 20000;

// Bumped whenever the program sets its locale, so that each thread's rendering knows to
// start again; the system's own locale is read once, as it does not change while the
// program runs.
std::atomic<int> &localeGeneration()
{
    static std::atomic<int> generation{0};
    return generation;
}

// Each thread has its own rendering: a report read on a thread of its own formats its
// dates while the screen's thread formats the clock's.
Rendering &rendering()
{
    thread_local Rendering r;
    thread_local int generation = -1;
    const int current = localeGeneration().load(std::memory_order_acquire);
    if (generation == current)
        return r;
    const QLocale l = locale();
    generation = current;
    if (r.locale == l && !r.shortDate.isEmpty())
        return r;
    r = Rendering();
    r.locale = l;
    r.shortDate = l.dateFormat(QLocale::ShortFormat);
    if (!r.shortDate.contains(QStringLiteral("yyyy")))
        r.shortDate.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    r.longTime = l.timeFormat(QLocale::LongFormat);
    // Drop the time-zone part ("t", "tt"...) with the blank before it.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    r.longTime.remove(zone);
    r.longTime = r.longTime.trimmed();
    r.timeFormats = QStringList{r.longTime};
    QString noSeconds = r.longTime;
    noSeconds.remove(QStringLiteral(":ss"));
    if (noSeconds != r.longTime)
        r.timeFormats << noSeconds;
    return r;
}

QStringList timeFormats()
{
    return rendering().timeFormats;
}

QString timeText(const QTime &time)
{
    Rendering &r = rendering();
    const int second = time.msecsSinceStartOfDay() / 1000;
    auto found = r.times.constFind(second);
    if (found != r.times.constEnd())
        return *found;
    if (r.times.size() >= RememberedTexts)
        r.times.clear();
    const QString text = r.locale.toString(QTime(0, 0).addSecs(second), r.longTime);
    r.times.insert(second, text);
    return text;
}

int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

std::optional<QDateTime> parseStored(QStringView t)
{
    QDate date;
    QTime time;
    if (!parseStoredForm(t, &date, &time))
        return std::nullopt;
    const QDateTime value(date, time);
    if (!value.isValid())
        return std::nullopt;
    return value;
}
// Seconds since 1970-01-01 of a wall-clock reading, as if it were UTC.
qint64 wallSeconds(const QDate &date, const QTime &time)
{
    return QDate(1970, 1, 1).daysTo(date) * 86400 + time.msecsSinceStartOfDay() / 1000;
}

// The machine's time zone and the stretches of wall-clock readings, between two changes of
// the clocks, that have one offset alone: a report reads thousands of readings in a few
// of them, and each look-up in the zone's rules costs far more than this comparison.
class LocalZone
{
public:
    WallOffsets offsets(qint64 wall)
    {
        refresh();
        for (const Stretch &s : m_stretches) {
            if (wall >= s.from && wall < s.to)
                return {s.offset, s.offset};
        }
        return lookUp(wall);
    }

private:
    struct Stretch {
        qint64 from = 1;
        qint64 to = 0;
        int offset = 0;
    };
    static constexpr qint64 Never = std::numeric_limits<qint64>::max() / 2;

    int offsetAt(qint64 utcSeconds) const
    {
        return m_zone.isValid() ? m_zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC)) : 0;
    }

    void refresh()
    {
        const char *tz = std::getenv("TZ");
        const bool tzChanged = (tz != nullptr) != m_tzSet || (tz && m_tz != tz);
        // The machine's zone is looked at again after a minute; the clock is read only every
        // so many readings, as reading it costs more than the look-up it saves.
        if (m_checked.isValid() && !tzChanged && (++m_sinceClock % 1024 != 0 || !m_checked.hasExpired(60000)))
            return;
        m_tzSet = tz != nullptr;
        m_tz = tz ? tz : "";
        m_checked.start();
        const QByteArray id = QTimeZone::systemTimeZoneId();
        if (m_zone.isValid() && id == m_id)
            return;
        m_id = id;
        m_zone = QTimeZone::systemTimeZone();
        m_stretches = {};
    }

    WallOffsets lookUp(qint64 wall)
    {
        // A day either side is past any change near the reading, and no zone changes its
        // clocks twice within two days.
        const int before = offsetAt(wall - 86400);
        const int after = offsetAt(wall + 86400);
        const bool beforeFits = offsetAt(wall - before) == before;
        const bool afterFits = after != before && offsetAt(wall - after) == after;
        if (beforeFits && afterFits)
            return {before, after};
        const int offset = !beforeFits && afterFits ? after : before;
        if (beforeFits || afterFits)
            remember(wall, offset);
        return {offset, offset};
    }

    // The stretch of readings around this one that have its offset alone: from the change
    // before (or the end of the readings it repeats) to the change after (or the start of
    // the readings it repeats or skips).
    void remember(qint64 wall, int offset)
    {
        if (!m_zone.isValid() || !m_zone.hasTransitions()) {
            m_stretches[m_next] = {-Never, Never, offset};
        } else {
            const QDateTime instant = QDateTime::fromSecsSinceEpoch(wall - offset, Qt::UTC);
            const QTimeZone::OffsetData previous = m_zone.previousTransition(instant.addSecs(1));
            const QTimeZone::OffsetData next = m_zone.nextTransition(instant);
            qint64 from = -Never, to = Never;
            if (previous.atUtc.isValid()) {
                const qint64 at = previous.atUtc.toSecsSinceEpoch();
                from = at + std::max(offset, offsetAt(at - 1));
            }
            if (next.atUtc.isValid()) {
                const qint64 at = next.atUtc.toSecsSinceEpoch();
                to = at + std::min(offset, next.offsetFromUtc);
            }
            if (wall < from || wall >= to)
                return;
            m_stretches[m_next] = {from, to, offset};
        }
        m_next = (m_next + 1) % int(m_stretches.size());
    }

    bool m_tzSet = false;
    std::string m_tz;
    QElapsedTimer m_checked;
    unsigned m_sinceClock = 0;
    QByteArray m_id;
    QTimeZone m_zone;
    std::array<Stretch, 4> m_stretches{};
    int m_next = 0;
};
} // namespace

QLocale locale()
{
    if (localeOverride())
        return *localeOverride();
    QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

void setLocale(const QLocale &l)
{
    localeOverride() = l;
    localeGeneration().fetch_add(1, std::memory_order_release);
}

QString shortDateFormat()
{
    return rendering().shortDate;
}

QString longTimeFormat()
{
    return rendering().longTime;
}

QString shortDate(const QDate &date)
{
    Rendering &r = rendering();
    const qint64 day = date.toJulianDay();
    auto found = r.dates.constFind(day);
    if (found != r.dates.constEnd())
        return *found;
    if (r.dates.size() >= RememberedTexts)
        r.dates.clear();
    const QString text = r.locale.toString(date, r.shortDate);
    r.dates.insert(day, text);
    return text;
}

QString generalDate(const QDateTime &value)
{
    return generalDate(value.date(), value.time());
}

QString generalDate(const QDate &date, const QTime &time)
{
    if (date == zeroDate())
        return timeText(time);
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return shortDate(date);
    const QString day = shortDate(date);
    const QString clock = timeText(time);
    QString text(day.size() + 1 + clock.size(), Qt::Uninitialized);
    QChar *out = std::copy_n(day.constData(), day.size(), text.data());
    *out++ = QLatin1Char(' ');
    std::copy_n(clock.constData(), clock.size(), out);
    return text;
}

QString stationTimeText()
{
    return generalDate(platform::Clock::now());
}

QString stationDateText()
{
    return shortDate(platform::Clock::now().date());
}

bool parseStoredForm(QStringView t, QDate *date, QTime *time)
{
    if (t.size() != 10 && t.size() != 19)
        return false;
    if (t[4] != u'-' || t[7] != u'-')
        return false;
    const int y = digits(t, 0, 4), mo = digits(t, 5, 2), d = digits(t, 8, 2);
    if (y < 0 || mo < 0 || d < 0 || !QDate::isValid(y, mo, d))
        return false;
    int h = 0, mi = 0, sec = 0;
    if (t.size() == 19) {
        if ((t[10] != u' ' && t[10] != u'T') || t[13] != u':' || t[16] != u':')
            return false;
        h = digits(t, 11, 2);
        mi = digits(t, 14, 2);
        sec = digits(t, 17, 2);
        if (h < 0 || mi < 0 || sec < 0 || !QTime::isValid(h, mi, sec))
            return false;
    }
    *date = QDate(y, mo, d);
    *time = QTime(h, mi, sec);
    return true;
}

QDate zeroDate()
{
    static const QDate zero(1899, 12, 30);
    return zero;
}

WallOffsets wallOffsets(const QDate &date, const QTime &time)
{
    thread_local LocalZone zone;
    return zone.offsets(wallSeconds(date, time));
}

std::optional<QDateTime> parseDateTime(const QString &input)
{
    const QString text = input.simplified();
    if (text.isEmpty())
        return std::nullopt;
    if (auto stored = parseStored(text))
        return stored;

    static const QStringList canonical{QStringLiteral("yyyy-MM-dd HH:mm:ss"),
                                       QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"),
                                       QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
                                       QStringLiteral("yyyy-MM-dd")};
    for (const QString &format : canonical) {
        const QDateTime dt = QDateTime::fromString(text, format);
        if (dt.isValid())
            return dt;
    }

    const QLocale l = locale();
    const QString date = shortDateFormat();
    for (const QString &time : timeFormats()) {
        QDateTime dt = l.toDateTime(text, date + QLatin1Char(' ') + time);
        if (dt.isValid())
            return dt;
        const QTime t = l.toTime(text, time);
        if (t.isValid())
            return QDateTime(zeroDate(), t);
    }
    const QDate d = l.toDate(text, date);
    if (d.isValid())
        return QDateTime(d, QTime(0, 0));
    // Two-digit years as a user may type them.
    QString shortYear = date;
    shortYear.replace(QStringLiteral("yyyy"), QStringLiteral("yy"));
    for (const QString &time : timeFormats()) {
        QDateTime dt = l.toDateTime(text, shortYear + QLatin1Char(' ') + time);
        if (dt.isValid())
            return dt.date().year() < 1950 ? dt.addYears(100) : dt;
    }
    const QDate d2 = l.toDate(text, shortYear);
    if (d2.isValid())
        return QDateTime(d2.year() < 1950 ? d2.addYears(100) : d2, QTime(0, 0));
    return std::nullopt;
}

} // namespace regional
