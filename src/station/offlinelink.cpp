#include "station/offlinelink.h"

#include "platform/clock.h"
#include "reports/payrulesstore.h"

#include <QMutexLocker>
#include <QTimer>

namespace station {

namespace {
QDateTime wholeSeconds()
{
    const QDateTime now = platform::Clock::now();
    return now.addMSecs(-now.time().msec());
}

bool lost(const data::DbError &error)
{
    return error.unreachable || error.number == data::errors::GeneralFailure;
}
} // namespace

OfflineWorker::OfflineWorker(QString path, int retryMs, int refreshMs)
    : m_path(std::move(path)), m_retryMs(retryMs), m_refreshMs(refreshMs)
{
}

OfflineWorker::~OfflineWorker() = default;

void OfflineWorker::setSettings(const data::ConnectionSettings &settings, const reports::PayRules &rules)
{
    QMutexLocker lock(&m_lock);
    m_settings = settings;
    m_rules = rules;
}

void OfflineWorker::begin()
{
    // Made on this thread: the files and the connection belong to the thread that opened them.
    m_queue = std::make_unique<PunchQueue>(m_path);
    m_copy = std::make_unique<OfflineCopy>(m_path);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, this, &OfflineWorker::attempt);
    attempt();
}

void OfflineWorker::finish()
{
    delete m_timer;
    m_timer = nullptr;
    m_db.reset();
    m_queue.reset();
    m_copy.reset();
}

void OfflineWorker::lose()
{
    m_db.reset();
    m_away = true;
    emit away();
}

void OfflineWorker::schedule()
{
    if (m_timer)
        m_timer->start(m_away ? m_retryMs : m_refreshMs);
}

void OfflineWorker::attempt()
{
    if (!m_queue)
        return;
    data::ConnectionSettings settings;
    reports::PayRules rules;
    {
        QMutexLocker lock(&m_lock);
        settings = m_settings;
        rules = m_rules;
    }
    if (!m_db || !m_db->isOpen()) {
        m_db = data::Database::openOwn(settings);
        if (m_db->openError()) {
            lose();
            schedule();
            return;
        }
    }
    const ReplayResult replay = m_queue->count() != 0 ? replayQueue(*m_db, *m_queue, m_copy.get()) : ReplayResult();
    if (replay.error) {
        if (lost(replay.error))
            lose();
        schedule();
        return;
    }
    const QDateTime now = wholeSeconds();
    if (m_copy->refresh(*m_db, rules, now, OfflineCopy::sourceOf(settings)) && m_db->query(QStringLiteral("select 1 as n")).error) {
        // The database went while the copy was read (a failure of the file alone leaves the
        // copy as it was and the database answering).
        lose();
        schedule();
        return;
    }
    m_away = false;
    emit replayed(replay.written, replay.refused, now);
    schedule();
}

OfflineLink::OfflineLink(SettingsSource settings, const QString &path, int retryMs, int refreshMs, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_queue(path), m_copy(path)
{
    m_worker = new OfflineWorker(path, retryMs, refreshMs);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_worker, &OfflineWorker::begin);
    connect(this, &OfflineLink::attemptRequested, m_worker, &OfflineWorker::attempt);
    connect(m_worker, &OfflineWorker::away, this, &OfflineLink::onAway);
    connect(m_worker, &OfflineWorker::replayed, this, &OfflineLink::onReplayed);
}

OfflineLink::~OfflineLink()
{
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(m_worker, &OfflineWorker::finish, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_worker;
}

void OfflineLink::start()
{
    const data::ConnectionSettings settings = m_settings();
    // The embedded file on a shared folder tends to block rather than fail: no queue there.
    if (settings.engine() == data::Engine::Embedded || m_thread.isRunning())
        return;
    if (m_queue.count() > 0)
        m_away = true;
    m_worker->setSettings(settings, reports::PayRulesStore::cached());
    m_thread.start();
    emit changed();
}

void OfflineLink::goAway()
{
    if (!m_thread.isRunning())
        start();
    if (!m_away) {
        m_away = true;
        emit changed();
    }
    tryNow();
}

void OfflineLink::tryNow()
{
    m_worker->setSettings(m_settings(), reports::PayRulesStore::cached());
    emit attemptRequested();
}

void OfflineLink::punchQueued()
{
    emit changed();
}

void OfflineLink::notePunch(const QString &userId, PunchDirection direction, const QDateTime &time)
{
    m_copy.notePunch(userId, direction, time);
}

QString OfflineLink::stateText()
{
    const int count = waiting();
    if (!m_away && count == 0)
        return QString();
    const QString waitingText = QStringLiteral("Punches waiting: %1").arg(count < 0 ? 0 : count);
    if (m_away)
        return QStringLiteral("Working offline: the database is away. ") + waitingText;
    return QStringLiteral("Sending the punches kept while the database was away. ") + waitingText;
}

void OfflineLink::onAway()
{
    if (!m_away) {
        m_away = true;
        emit changed();
    }
}

void OfflineLink::onReplayed(int written, int refused, const QDateTime &at)
{
    // Punches queued here while the worker replayed are sent before any punch goes online,
    // so the database sees every ID's punches in the order they were made.
    if (m_queue.count() != 0) {
        tryNow();
        return;
    }
    const bool wasAway = m_away;
    m_away = false;
    if (wasAway || written + refused > 0)
        m_lastReplay = at;
    // The screen's connection, dropped by the server or never opened, opens again at its
    // next statement.
    emit changed();
    if (wasAway)
        emit back();
}

} // namespace station
