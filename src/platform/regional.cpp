#include "platform/regional.h"

#include "platform/clock.h"

#include <QRegularExpression>

namespace regional {

namespace {
std::optional<QLocale> &localeOverride()
{
    static std::optional<QLocale> l;
    return l;
}

QStringList timeFormats()
{
    QString longTime = longTimeFormat();
    QStringList formats{longTime};
    QString noSeconds = longTime;
    noSeconds.remove(QStringLiteral(":ss"));
    if (noSeconds != longTime)
        formats << noSeconds;
    return formats;
}
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
}

QString shortDateFormat()
{
    QString format = locale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

QString longTimeFormat()
{
    QString format = locale().timeFormat(QLocale::LongFormat);
    // Drop the time-zone part ("t", "tt"...) with the blank before it.
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return format.trimmed();
}

QString shortDate(const QDate &date)
{
    return locale().toString(date, shortDateFormat());
}

QString generalDate(const QDateTime &value)
{
    const QTime time = value.time();
    if (value.date() == zeroDate())
        return locale().toString(time, longTimeFormat());
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return shortDate(value.date());
    return shortDate(value.date()) + QLatin1Char(' ') + locale().toString(time, longTimeFormat());
}

QString stationTimeText()
{
    return generalDate(platform::Clock::now());
}

QString stationDateText()
{
    return shortDate(platform::Clock::now().date());
}

QDate zeroDate()
{
    return QDate(1899, 12, 30);
}

std::optional<QDateTime> parseDateTime(const QString &input)
{
    const QString text = input.simplified();
    if (text.isEmpty())
        return std::nullopt;

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
