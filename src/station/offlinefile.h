#pragma once

#include "data/database.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

#include <optional>

struct sqlite3;

namespace station {

// The station's own SQLite file for working while the shared database is away: the queue of
// punches kept meanwhile and the copy of what the clock needs to decide them. It lives in the
// settings folder (kept to its owner) and is made readable and writable by its owner alone
// before anything is written into it; SQLite's own journal beside it takes the same mode.
// Every write is on the disk before the call returns (synchronous=FULL).
//
// Each object holds a connection of its own, so a background refresh and the clock screen can
// use the file at the same time, each on its own thread.
class OfflineFile
{
public:
    // "OfflinePunchQueue.sqlite" in the settings folder.
    static QString defaultPath();

    explicit OfflineFile(const QString &path = defaultPath());
    ~OfflineFile();
    OfflineFile(const OfflineFile &) = delete;
    OfflineFile &operator=(const OfflineFile &) = delete;

    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    // What went wrong last: opening, or the last statement that failed.
    QString errorText() const { return m_error; }

    // Every value is bound in the order of its "?": NULL, whole numbers, decimals, date-times
    // in the stored form, anything else as text.
    bool exec(const QString &sql, const QVariantList &values = {});
    std::optional<QList<data::Row>> select(const QString &sql, const QVariantList &values = {});
    qint64 lastInsertId() const;

    // One write transaction, holding the file's write lock from its start.
    bool begin();
    bool commit();
    void rollback();

    // A date-time in the stored form "yyyy-MM-dd HH:mm:ss", and back; the time read back is
    // the wall-clock time as written (on the UTC line, so no time-zone rule applies). An
    // empty or unreadable text reads as an invalid date-time.
    static QString storedForm(const QDateTime &time);
    static QDateTime wallTime(const QString &stored);
    static QDateTime wallTime(const QDateTime &time);

private:
    bool open();
    bool fail(const QString &what);

    QString m_path;
    QString m_error;
    ::sqlite3 *m_db = nullptr;
};

} // namespace station
