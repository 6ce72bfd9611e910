#include "reports/hourtexts.h"

#include "data/embeddedfunctions.h"
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

std::optional<qint64> punchMinutes(const QDateTime &clockIn, const QDateTime &clockOut)
{
    if (!clockIn.isValid())
        return std::nullopt;
    if (isOpen(clockOut))
        return 0;
    static const QString minutes = QStringLiteral("n");
    return qAbs(*data::dateDiff(minutes, clockIn, clockOut));
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
