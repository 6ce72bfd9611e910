#include "station/punchqueue.h"

#include "platform/system.h"

#include <QUuid>

namespace station {

namespace {
const QString Queued = QStringLiteral("queued");
const QString Refused = QStringLiteral("refused");

QString directionText(PunchDirection direction)
{
    return direction == PunchDirection::In ? QStringLiteral("in") : QStringLiteral("out");
}
} // namespace

PunchQueue::PunchQueue(const QString &path) : m_file(path), m_stationName(platform::stationName())
{
    // The host name and the queue file's identity: the key's station name fits 50 characters.
    m_file.exec(QStringLiteral("insert into QueueIdentity (StationID) select ? where not exists (select 1 from QueueIdentity)"),
                {QUuid::createUuid().toString(QUuid::Id128).left(8)});
    const auto identity = m_file.select(QStringLiteral("select StationID from QueueIdentity limit 1"));
    if (identity && !identity->isEmpty())
        m_stationName = platform::stationName().left(41) + QLatin1Char('/') + identity->first().text(QStringLiteral("StationID"));
}

std::optional<qint64> PunchQueue::append(const QString &userId, PunchDirection direction, const QDateTime &time)
{
    if (!time.isValid())
        return std::nullopt;
    if (!m_file.exec(QStringLiteral("insert into QueuedPunches (StationName, UserIDLogin, Direction, PunchTime, State) "
                                    "values (?, ?, ?, ?, ?)"),
                     {m_stationName, userId, directionText(direction), OfflineFile::storedForm(time), Queued}))
        return std::nullopt;
    return m_file.lastInsertId();
}

QList<QueuedPunch> PunchQueue::read(const QString &state)
{
    QList<QueuedPunch> punches;
    const auto rows = m_file.select(
        QStringLiteral("select Sequence, StationName, UserIDLogin, Direction, PunchTime, Reason "
                       "from QueuedPunches where State = ? order by Sequence"),
        {state});
    if (!rows)
        return punches;
    for (const data::Row &row : *rows) {
        QueuedPunch p;
        p.sequence = row.value(QStringLiteral("Sequence")).toLongLong();
        p.stationName = row.text(QStringLiteral("StationName"));
        p.userId = row.text(QStringLiteral("UserIDLogin"));
        p.direction = row.text(QStringLiteral("Direction")) == QLatin1String("in") ? PunchDirection::In
                                                                                 : PunchDirection::Out;
        p.time = OfflineFile::wallTime(row.text(QStringLiteral("PunchTime")));
        p.reason = row.text(QStringLiteral("Reason"));
        punches.append(p);
    }
    return punches;
}

QList<QueuedPunch> PunchQueue::pending()
{
    return read(Queued);
}

QList<QueuedPunch> PunchQueue::exceptions()
{
    return read(Refused);
}

int PunchQueue::count()
{
    const auto rows = m_file.select(QStringLiteral("select count(*) as n from QueuedPunches where State = ?"), {Queued});
    return rows ? int(rows->first().number(QStringLiteral("n"))) : -1;
}

bool PunchQueue::remove(qint64 sequence)
{
    return m_file.exec(QStringLiteral("delete from QueuedPunches where Sequence = ? and State = ?"), {sequence, Queued});
}

bool PunchQueue::refuse(qint64 sequence, const QString &reason)
{
    return m_file.exec(QStringLiteral("update QueuedPunches set State = ?, Reason = ? where Sequence = ? and State = ?"),
                       {Refused, reason, sequence, Queued});
}

} // namespace station
