#pragma once

#include "station/offlinefile.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace station {

// What a punch did: opened a punch, or closed the open ones. The combined button's punch is
// kept as the direction it decided.
enum class PunchDirection { In, Out };

// One punch kept by the station while the database was away.
struct QueuedPunch {
    // The queue's own number for it, rising and never given twice: with the station name it
    // identifies the punch once it is sent.
    qint64 sequence = 0;
    QString stationName;
    QString userId; // as keyed
    PunchDirection direction = PunchDirection::In;
    // The station's wall-clock time of the punch, whole seconds, on the UTC line (the time as
    // written, so no time-zone rule moves it).
    QDateTime time;
    // Why the database refused it when it was sent; empty while it waits.
    QString reason;
};

// The offline punch queue: punches made while the database is away, kept in the station's own
// owner-only file until they are sent. Appending is on the disk before it returns. A punch
// leaves the queue only when it was committed (remove) or refused, when it moves to the
// exceptions, which are kept with their reason and never dropped.
class PunchQueue
{
public:
    explicit PunchQueue(const QString &path = OfflineFile::defaultPath());

    bool isOpen() const { return m_file.isOpen(); }
    QString errorText() const { return m_file.errorText(); }

    // The name written with each punch: the machine's host name unless set.
    QString stationName() const { return m_stationName; }
    void setStationName(const QString &name) { m_stationName = name; }

    // Keeps a punch; its sequence, or nothing when it could not be made durable.
    std::optional<qint64> append(const QString &userId, PunchDirection direction, const QDateTime &time);
    // The waiting punches, oldest first.
    QList<QueuedPunch> pending();
    // How many wait; -1 when the file cannot be read.
    int count();
    // Takes a sent punch out of the queue, once the database has committed it.
    bool remove(qint64 sequence);
    // Moves a waiting punch to the exceptions with the database's reason.
    bool refuse(qint64 sequence, const QString &reason);
    // The punches refused when they were sent, oldest first.
    QList<QueuedPunch> exceptions();

private:
    QList<QueuedPunch> read(const QString &state);

    OfflineFile m_file;
    QString m_stationName;
};

} // namespace station
