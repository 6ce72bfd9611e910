#include "reports/hourtexts.h"

#include "platform/regional.h"

namespace reports::hours {

namespace {
// A short text built in place: a report renders two totals on every row, and one buffer
// costs far less than joining the parts' own strings.
class ShortText
{
public:
    ShortText &number(qint64 value)
    {
        if (value < 0) {
            m_chars[m_size++] = u'-';
            value = -value;
        }
        char16_t digits[20];
        int count = 0;
        do {
            digits[count++] = char16_t(u'0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0)
            m_chars[m_size++] = digits[--count];
        return *this;
    }
    ShortText &mark(char16_t c)
    {
        m_chars[m_size++] = c;
        return *this;
    }
    QString text() const { return QString(reinterpret_cast<const QChar *>(m_chars), m_size); }

private:
    char16_t m_chars[48];
    int m_size = 0;
};
} // namespace

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
    ShortText text;
    text.number(total / 60);
    if (tenth != 0)
        text.mark(u'.').number(tenth);
    return text.text();
}

QString totalHourMinuteText(qint64 total)
{
    return ShortText().number(total / 60).mark(u':').number(total % 60).text();
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
