#pragma once

#include "data/database.h"
#include "reports/payrules.h"
#include "station/offlinefile.h"
#include "station/punchqueue.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace station {

// An active employee as copied: the ID as stored, and a row with the names and the feedback
// columns the confirmation reads (DisplayText, UserPhoto, PhotoEnabled, PhotoDisplay,
// SoundEnabled, SoundFileIn, SoundFileOut, PhotoOnOff, PhotoLocation, PhotoType).
struct CopiedEmployee {
    QString userId;
    data::Row row;
};

// A punch as copied: open (no clock-out), or ended within the repeat guard's seconds before the
// copy was made. Wall-clock times on the UTC line.
struct CopiedPunch {
    QString userId;
    QDateTime clockedIn;
    QDateTime clockedOut;
};

// What the copy knows, whole or for one ID.
struct OfflineSnapshot {
    QList<CopiedEmployee> employees;
    QList<CopiedPunch> punches;
    // The repeat guard's seconds; 0 while the guard is off.
    qint64 repeatSeconds = 0;
    // When the copy was made (station wall clock); invalid when there is none yet.
    QDateTime refreshedAt;
};

// The copy of the shared database that lets the station decide punches while it is away: the
// active employees, their open punches, and the repeat guard of the pay rules. It lives in the
// offline file beside the queue, so a station started while the database is away has it too.
class OfflineCopy
{
public:
    explicit OfflineCopy(const QString &path = OfflineFile::defaultPath());

    bool isOpen() const { return m_file.isOpen(); }
    QString errorText() const { return m_file.errorText(); }

    // Reads the employees and punches from the database and replaces the copy with them in one
    // transaction on the file. A failure leaves the copy as it was and is returned.
    // source names the database read (sourceOf its settings).
    data::DbError refresh(data::Database &db, const reports::PayRules &rules, const QDateTime &now,
                          const QString &source = QString());
    // Whether a copy has been made from the database source names.
    bool isCopyOf(const QString &source);
    // The database a connection's settings name: its engine, and its server and database or
    // its folder (not the login, which reads the same data).
    static QString sourceOf(const data::ConnectionSettings &settings);

    // The copy's rows for an ID compared without regard to case; nothing when the file cannot
    // be read.
    std::optional<OfflineSnapshot> snapshotFor(const QString &id);

    // A punch the station itself committed since the copy was made, so the copy follows it
    // until the next refresh: a clock-in adds an open punch, a clock-out closes the ID's.
    bool notePunch(const QString &userId, PunchDirection direction, const QDateTime &time);

    // The key every lookup compares: the ID folded to one case, as the server engines compare.
    static QString foldedId(const QString &id);

private:
    OfflineFile m_file;
};

} // namespace station
