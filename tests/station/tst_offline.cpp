#include "testenv.h"

#include "platform/clock.h"
#include "platform/system.h"
#include "settings/settingsstore.h"
#include "station/punchqueue.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace station;

namespace {
const QDateTime Noon(QDate(2026, 12, 7), QTime(12, 0, 0));

int mode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

class TestOffline : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> m_env;

private Q_SLOTS:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    // Order, fields and sequences hold across closing and reopening the file; a removed
    // number is never given again, not even by a file made anew.
    void queueSurvivesReopen()
    {
        TestEnv::setTime(Noon);
        QList<qint64> seq;
        {
            PunchQueue queue;
            QVERIFY2(queue.isOpen(), qPrintable(queue.errorText()));
            queue.setStationName("FRONT");
            for (const auto &[id, direction] : {std::pair{"ab12", PunchDirection::In}, {"7", PunchDirection::In},
                                                {"AB12", PunchDirection::Out}}) {
                const auto s = queue.append(id, direction, Noon.addSecs(60 * seq.size()));
                QVERIFY2(s, qPrintable(queue.errorText()));
                seq << *s;
            }
            QVERIFY(seq[0] < seq[1] && seq[1] < seq[2]);
            QVERIFY(queue.remove(seq[2]));
            QVERIFY(queue.refuse(seq[1], "clocked in at another station"));
        }
        PunchQueue queue;
        QCOMPARE(queue.count(), 1);
        const QList<QueuedPunch> pending = queue.pending();
        QCOMPARE(pending.size(), 1);
        QCOMPARE(pending[0].sequence, seq[0]);
        QCOMPARE(pending[0].stationName, QString("FRONT"));
        QCOMPARE(pending[0].userId, QString("ab12"));
        QCOMPARE(pending[0].direction, PunchDirection::In);
        QCOMPARE(OfflineFile::storedForm(pending[0].time), QString("2026-12-07 12:00:00"));
        const QList<QueuedPunch> refused = queue.exceptions();
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused[0].sequence, seq[1]);
        QCOMPARE(refused[0].reason, QString("clocked in at another station"));
        queue.refuse(seq[1], "again");
        QCOMPARE(queue.exceptions()[0].reason, QString("clocked in at another station"));

        const auto next = queue.append("9", PunchDirection::Out, Noon);
        QVERIFY(next && *next > seq[2]);
        QCOMPARE(queue.pending().last().stationName, platform::stationName());

        QVERIFY(QFile::remove(OfflineFile::defaultPath()));
        platform::Clock::advance(1000);
        PunchQueue fresh;
        const auto first = fresh.append("9", PunchDirection::In, Noon);
        QVERIFY(first && *first > *next);
    }

    // Owner-only from the start, whatever the umask; a file loosened meanwhile is tightened.
    void fileIsOwnerOnly_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file") << false;
        QTest::newRow("loosened file") << true;
    }
    void fileIsOwnerOnly()
    {
        QFETCH(bool, existing);
        const mode_t old = ::umask(0);
        if (existing) {
            { PunchQueue made; }
            QVERIFY(QFile::setPermissions(OfflineFile::defaultPath(), QFile::ReadOwner | QFile::WriteOwner
                                                                          | QFile::ReadGroup | QFile::ReadOther));
        }
        PunchQueue queue;
        ::umask(old);
        QVERIFY(queue.append("1", PunchDirection::In, Noon));
        QCOMPARE(mode(OfflineFile::defaultPath()), 0600);
        QCOMPARE(mode(settings::storeFolder()), 0700);
    }
};

QTEST_GUILESS_MAIN(TestOffline)
#include "tst_offline.moc"
