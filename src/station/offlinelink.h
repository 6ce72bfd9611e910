#pragma once

#include "data/database.h"
#include "reports/payrules.h"
#include "station/offlinecopy.h"
#include "station/punchqueue.h"
#include "station/replay.h"

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class QTimer;

namespace station {

// The background side of the link, on a thread of its own with a connection of its own: while
// the database is away it tries to reach it (every retry interval); once it answers it replays
// the queue and refreshes the copy, and refreshes the copy again every refresh interval.
class OfflineWorker : public QObject
{
    Q_OBJECT
public:
    OfflineWorker(QString path, int retryMs, int refreshMs);
    ~OfflineWorker() override;

    // What the worker connects with and refreshes by, as the screen's thread reads them.
    void setSettings(const data::ConnectionSettings &settings, const reports::PayRules &rules);

public Q_SLOTS:
    void begin();
    // An attempt now: reach the database, replay the queue, refresh the copy.
    void attempt();
    void finish();

Q_SIGNALS:
    // The database could not be reached (or was lost) at this attempt.
    void away();
    // The database answered and the queue was replayed to its end.
    void replayed(int written, int refused, const QDateTime &at);

private:
    void schedule();
    void lose();

    QString m_path;
    int m_retryMs;
    int m_refreshMs;
    std::shared_ptr<data::Database> m_db;
    std::unique_ptr<PunchQueue> m_queue;
    std::unique_ptr<OfflineCopy> m_copy;
    QTimer *m_timer = nullptr;
    bool m_away = false;
    qint64 m_lastRefresh = 0;
    QMutex m_lock;
    data::ConnectionSettings m_settings;
    reports::PayRules m_rules;
};

// How the station works while the shared database is away, seen from the screen's thread:
// whether it is away, the queue and the copy the punches are decided from, and the background
// worker that finds the database back and sends the queue.
class OfflineLink : public QObject
{
    Q_OBJECT
public:
    using SettingsSource = std::function<data::ConnectionSettings()>;
    static constexpr int RetryMs = 10000;
    static constexpr int RefreshMs = 30000;

    explicit OfflineLink(SettingsSource settings, const QString &path = OfflineFile::defaultPath(),
                         int retryMs = RetryMs, int refreshMs = RefreshMs, QObject *parent = nullptr);
    ~OfflineLink() override;

    // Starts the background worker. Punches kept earlier (a station stopped before they were
    // all sent) are sent first: until then punches go to the queue, in order behind them.
    void start();
    // Whether the worker runs: a server database is in use.
    bool isStarted() const { return m_thread.isRunning(); }

    bool isAway() const { return m_away; }
    // A punch or a screen found the database away: punches go to the queue from now on.
    void goAway();
    // Asks the worker for an attempt now.
    void tryNow();

    PunchQueue &queue() { return m_queue; }
    OfflineCopy &copy() { return m_copy; }
    // Whether the copy was made from the database the settings name now: only then can the
    // station punch while that database is away.
    bool holdsCopyOfDatabase() { return m_copy.isCopyOf(OfflineCopy::sourceOf(m_settings())); }
    // Waiting punches (-1: the queue cannot be read), and the last replay that emptied it.
    int waiting() { return m_queue.count(); }
    QDateTime lastReplay() const { return m_lastReplay; }

    // A punch was queued; a punch the station wrote online.
    void punchQueued();
    void notePunch(const QString &userId, PunchDirection direction, const QDateTime &time);

    // "Working offline: the database is away. Punches waiting: N", empty while it answers and
    // nothing waits.
    QString stateText();

Q_SIGNALS:
    void changed();
    // The database answers again after it was away, and the queue has been sent.
    void back();
    // Internal: to the worker.
    void attemptRequested();

private:
    void onAway();
    void onReplayed(int written, int refused, const QDateTime &at);

    SettingsSource m_settings;
    PunchQueue m_queue;
    OfflineCopy m_copy;
    QThread m_thread;
    OfflineWorker *m_worker = nullptr;
    bool m_away = false;
    QDateTime m_lastReplay;
};

} // namespace station
