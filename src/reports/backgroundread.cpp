#include "reports/backgroundread.h"

#include <QElapsedTimer>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace reports {

namespace {
// The batches read and not yet taken, and the end of the reading with its failure.
class Handoff
{
public:
    void put(const QList<ReportRow> &rows)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_batches.push_back(rows);
        m_changed.notify_one();
    }

    void finish(const data::DbError &error)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_error = error;
        m_finished = true;
        m_changed.notify_one();
    }

    // Waits up to waitMs for a batch or the end; moves the batches there are to `ready`.
    // True when the reading has ended and nothing is left to take.
    bool take(std::deque<QList<ReportRow>> *ready, int waitMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                           [this] { return m_finished || !m_batches.empty(); });
        ready->swap(m_batches);
        return m_finished && ready->empty();
    }

    data::DbError error()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_error;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QList<ReportRow>> m_batches;
    bool m_finished = false;
    data::DbError m_error;
};
} // namespace

data::DbError readInBackground(const data::ConnectionSettings &settings,
                               const std::function<data::DbError(ReportEngine &, const ReportEngine::Sink &)> &read,
                               const ReportEngine::Sink &take, const ReportEngine::Yield &between)
{
    Handoff handoff;
    std::thread reader([&] {
        data::DbError error;
        {
            // The connection is made, used and closed on this thread alone.
            const auto db = data::Database::openOwn(settings);
            if (db->openError()) {
                error = db->openError();
            } else {
                ReportEngine engine(db);
                error = read(engine, [&handoff](const QList<ReportRow> &rows) { handoff.put(rows); });
            }
        }
        handoff.finish(error);
    });
    qint64 taken = 0;
    QElapsedTimer sinceBetween;
    sinceBetween.start();
    std::deque<QList<ReportRow>> ready;
    while (!handoff.take(&ready, ReportEngine::YieldIntervalMs)) {
        for (const QList<ReportRow> &rows : ready) {
            take(rows);
            taken += rows.size();
        }
        ready.clear();
        if (between && sinceBetween.elapsed() >= ReportEngine::YieldIntervalMs) {
            between(taken);
            sinceBetween.restart();
        }
    }
    reader.join();
    if (between)
        between(taken);
    return handoff.error();
}

} // namespace reports
