#include "reports/hourtexts.h"

#include "platform/regional.h"

namespace reports::hours {

QString fractionText(qint64 minutes)
{
    const QString whole = QString::number(minutes / 60);
    if (minutes % 60 == 0)
        return whole;
    return whole + QLatin1Char('.') + QString::number((minutes % 60) / 6);
}

QString workedText(qint64 minutes)
{
    return QStringLiteral("H:") + QString::number(minutes / 60) + QStringLiteral(" M:")
           + QString::number(minutes % 60) + QStringLiteral(" or Fractional H:") + fractionText(minutes);
}

QString totalFractionText(qint64 total)
{
    const qint64 tenth = (total % 60) / 6;
    const QString whole = QString::number(total / 60);
    return tenth == 0 ? whole : whole + QLatin1Char('.') + QString::number(tenth);
}

QString totalHourMinuteText(qint64 total)
{
    return QString::number(total / 60) + QLatin1Char(':') + QString::number(total % 60);
}

QString timeInText(qint64 minutes)
{
    return QStringLiteral("H:") + QString::number(minutes / 60) + QStringLiteral(" M:") + QString::number(minutes % 60);
}

QString hourMinuteText(qint64 minutes)
{
    return QString::number(minutes / 60) + QLatin1Char(':') + QStringLiteral("%1").arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString decimalHoursText(qint64 minutes)
{
    // Hundredths of an hour are minutes * 5 / 3: never exactly half way, so rounding to the
    // nearest has no ties to settle.
    const qint64 hundredths = (minutes * 100 + 30) / 60;
    return QString::number(hundredths / 100) + QLatin1Char('.')
           + QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

bool sameEmployee(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isOpen(const QDateTime &clockOut)
{
    return !clockOut.isValid() || clockOut.date() == regional::zeroDate();
}

bool hasTimeAlone(const QDateTime &clockIn, const QDateTime &clockOut)
{
    return clockIn.date() == regional::zeroDate() || clockOut.date() == regional::zeroDate();
}

namespace {
// One end of a punch: its reading cut to the whole minute, in seconds as if UTC, and the
// offsets it may have.
struct End {
    qint64 wall = 0;
    regional::WallOffsets offsets;
};

End endOf(const QDateTime &time)
{
    const bool stored = time.timeSpec() == Qt::UTC;
    const QDateTime local = stored ? time : time.toLocalTime();
    const int second = local.time().msecsSinceStartOfDay() / 1000;
    End end;
    end.wall = QDate(1970, 1, 1).daysTo(local.date()) * 86400 + second - second % 60;
    if (stored) {
        end.offsets = regional::wallOffsets(local.date(), local.time());
    } else {
        end.offsets.first = end.offsets.second = local.offsetFromUtc();
    }
    return end;
}
} // namespace

qint64 elapsedMinutes(const QDateTime &from, const QDateTime &to)
{
    const End a = endOf(from);
    const End b = endOf(to);
    const qint64 wall = b.wall - a.wall;
    qint64 seconds = wall - (b.offsets.first - a.offsets.first);
    if (seconds < 0 && b.offsets.second != b.offsets.first) {
        const qint64 later = wall - (b.offsets.second - a.offsets.first);
        if (later >= 0)
            seconds = later;
    }
    return seconds / 60;
}

bool isReversed(const QDateTime &clockIn, const QDateTime &clockOut)
{
    return clockIn.isValid() && !isOpen(clockOut) && elapsedMinutes(clockIn, clockOut) < 0;
}

std::optional<qint64> punchMinutes(const QDateTime &clockIn, const QDateTime &clockOut)
{
    if (!clockIn.isValid())
        return std::nullopt;
    if (isOpen(clockOut))
        return 0;
    return qAbs(elapsedMinutes(clockIn, clockOut));
}

qint64 RunningTotal::add(const QString &userId, std::optional<qint64> minutes)
{
    if (!sameEmployee(userId, m_previousId))
        m_total = 0;
    m_previousId = userId;
    if (minutes)
        m_total += *minutes;
    return m_total;
}

} // namespace reports::hours
