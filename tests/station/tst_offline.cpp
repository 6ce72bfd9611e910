#include "testenv.h"

#include "platform/clock.h"
#include "platform/system.h"
#include "settings/settingsstore.h"
#include "station/offlinecopy.h"
#include "station/offlinedecision.h"
#include "station/punchqueue.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace station;
using Outcome = OfflineDecision::Outcome;

namespace {
const QDateTime Noon(QDate(2026, 12, 7), QTime(12, 0, 0));

int mode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A queued punch written as "id:in:seconds" relative to noon.
QList<QueuedPunch> queueOf(const QStringList &entries)
{
    QList<QueuedPunch> queue;
    for (const QString &entry : entries) {
        const QStringList p = entry.split(':');
        QueuedPunch q;
        q.sequence = queue.size() + 1;
        q.userId = p[0];
        q.direction = p[1] == "in" ? PunchDirection::In : PunchDirection::Out;
        q.time = OfflineFile::wallTime(Noon.addSecs(p[2].toLongLong()));
        queue << q;
    }
    return queue;
}

data::Row rowFor(const QString &display)
{
    return data::Row(std::make_shared<QHash<QString, int>>(QHash<QString, int>{{"displaytext", 0}}), {display});
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
        const auto texts = [](const QList<QueuedPunch> &punches) {
            QStringList list;
            for (const QueuedPunch &p : punches)
                list << QString("%1|%2|%3|%4|%5|%6").arg(p.sequence).arg(p.stationName, p.userId)
                            .arg(int(p.direction)).arg(OfflineFile::storedForm(p.time), p.reason);
            return list;
        };
        PunchQueue queue;
        QCOMPARE(queue.count(), 1);
        QCOMPARE(texts(queue.pending()), QStringList{QString("%1|FRONT|ab12|%2|2026-12-07 12:00:00|").arg(seq[0]).arg(int(PunchDirection::In))});
        const QString refused = QString("%1|FRONT|7|%2|2026-12-07 12:01:00|clocked in at another station").arg(seq[1]).arg(int(PunchDirection::In));
        QCOMPARE(texts(queue.exceptions()), QStringList{refused});
        queue.refuse(seq[1], "again");
        QCOMPARE(texts(queue.exceptions()), QStringList{refused});

        const auto next = queue.append("9", PunchDirection::Out, Noon);
        QVERIFY(next && *next > seq[2]);
        // Keyed by the host name and the file's own identity: another queue file on this host
        // gives other keys, the same file the same ones.
        QVERIFY(queue.pending().last().stationName.startsWith(platform::stationName() + "/"));
        QVERIFY(PunchQueue(OfflineFile::defaultPath() + ".other").stationName() != queue.stationName());
        QCOMPARE(PunchQueue().stationName(), queue.stationName());

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

    void decision_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<PunchButton>("button");
        QTest::addColumn<QStringList>("queued");
        QTest::addColumn<qint64>("guard");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<PunchDirection>("direction");
        const auto In = PunchDirection::In, Out = PunchDirection::Out;
        const auto ClockIn = PunchButton::ClockIn, ClockOut = PunchButton::ClockOut, Both = PunchButton::ClockInOut;
        // Copy: AB12 and C3 out, 7 in since 7:00, D4 in since 5 s ago; C3 out 10 s ago.
        QTest::newRow("unknown") << "zz9" << ClockIn << QStringList() << 60LL << Outcome::Unknown << In;
        QTest::newRow("unknown despite a queued punch") << "zz9" << Both << QStringList{"zz9:in:-7200"} << 60LL
                                                        << Outcome::Unknown << In;
        QTest::newRow("in") << "AB12" << ClockIn << QStringList() << 60LL << Outcome::Accepted << In;
        QTest::newRow("in while in") << "7" << ClockIn << QStringList() << 60LL << Outcome::AlreadyIn << In;
        QTest::newRow("out") << "7" << ClockOut << QStringList() << 60LL << Outcome::Accepted << Out;
        QTest::newRow("out while out") << "AB12" << ClockOut << QStringList() << 60LL << Outcome::NotIn << Out;
        QTest::newRow("combined in") << "AB12" << Both << QStringList() << 60LL << Outcome::Accepted << In;
        QTest::newRow("combined out") << "7" << Both << QStringList() << 60LL << Outcome::Accepted << Out;
        QTest::newRow("queued in") << "AB12" << ClockIn << QStringList{"AB12:in:-7200"} << 60LL
                                   << Outcome::AlreadyIn << In;
        QTest::newRow("queued out closes the copy's") << "7" << Both << QStringList{"7:out:-600"} << 60LL
                                                      << Outcome::Accepted << In;
        QTest::newRow("last queued wins") << "7" << ClockOut << QStringList{"7:out:-900", "7:in:-600"} << 60LL
                                          << Outcome::Accepted << Out;
        QTest::newRow("another ID's queue") << "AB12" << ClockOut << QStringList{"7:out:-900", "C3:in:-600"} << 60LL
                                            << Outcome::NotIn << Out;
        QTest::newRow("case") << "ab12" << ClockIn << QStringList{"Ab12:in:-7200"} << 60LL << Outcome::AlreadyIn << In;
        QTest::newRow("repeat at the guard's edge") << "AB12" << ClockOut << QStringList{"AB12:in:-60"} << 60LL
                                                    << Outcome::Repeat << In;
        QTest::newRow("past the guard") << "AB12" << ClockOut << QStringList{"AB12:in:-61"} << 60LL
                                        << Outcome::Accepted << Out;
        QTest::newRow("repeat of a copied clock-out") << "C3" << ClockIn << QStringList() << 60LL << Outcome::Repeat << In;
        QTest::newRow("repeat of a copied clock-in") << "d4" << Both << QStringList() << 60LL << Outcome::Repeat << In;
        QTest::newRow("guard off") << "d4" << Both << QStringList() << 0LL << Outcome::Accepted << Out;
    }
    void decision()
    {
        QFETCH(QString, id);
        QFETCH(PunchButton, button);
        QFETCH(QStringList, queued);
        QFETCH(qint64, guard);
        QFETCH(Outcome, outcome);
        QFETCH(PunchDirection, direction);
        OfflineSnapshot copy;
        copy.repeatSeconds = guard;
        for (const QString &stored : {"AB12", "7", "C3", "D4"})
            copy.employees << CopiedEmployee{stored, rowFor("Name " + QString(stored))};
        const auto wall = [](qint64 s) { return OfflineFile::wallTime(Noon.addSecs(s)); };
        copy.punches << CopiedPunch{"7", wall(-5 * 3600), {}} << CopiedPunch{"c3", wall(-3600), wall(-10)}
                     << CopiedPunch{"D4", wall(-5), {}};

        const OfflineDecision d = OfflineDecision::decide(copy, queueOf(queued), id, button, Noon);
        QCOMPARE(d.outcome, outcome);
        if (outcome == Outcome::Accepted)
            QCOMPARE(d.direction, direction);
        const QString stored = outcome == Outcome::Unknown ? QString() : id.toUpper();
        QCOMPARE(d.storedId, stored);
        QCOMPARE(d.employee.text("DisplayText"), stored.isEmpty() ? QString() : "Name " + stored);
    }

    // Filled from the database, kept across a reopen, left alone by a failed refresh, and
    // following the station's own punches.
    void copyFromDatabase_data() { TestEnv::engineRows(); }
    void copyFromDatabase()
    {
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        const std::shared_ptr<data::Database> db = m_env->createDatabase();
        QVERIFY2(db->isOpen(), qPrintable(db->openError().description));
        TestEnv::addEmployee(*db, "AB12");
        TestEnv::addEmployee(*db, "7");
        TestEnv::addEmployee(*db, "X9", 1);
        QVERIFY(!db->exec("update usertable set DisplayText = ?, PhotoEnabled = ?, UserPhoto = ? where UserIDLogin = ?",
                          {"Ann", 1, "/photos/ann.png", "AB12"}));
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        QVERIFY(!db->exec(insert, {Noon.addSecs(-5 * 3600), QVariant(), Noon.date(), "7"}));
        QVERIFY(!db->exec(insert, {Noon.addDays(-1), Noon.addDays(-1).addSecs(3600), Noon.date().addDays(-1), "7"}));
        QVERIFY(!db->exec(insert, {Noon.addSecs(-4 * 3600), Noon.addSecs(-30), Noon.date(), "ab12"}));
        reports::PayRules rules;
        rules.repeatGuard = true;
        rules.repeatSeconds = 60;
        {
            OfflineCopy copy;
            const data::DbError error = copy.refresh(*db, rules, Noon);
            QVERIFY2(!error, qPrintable(error.description));
        }

        OfflineCopy copy; // as after a restart
        const auto decide = [&](const QString &id, PunchButton button, qint64 at) {
            const auto snapshot = copy.snapshotFor(id);
            return snapshot ? OfflineDecision::decide(*snapshot, {}, id, button, Noon.addSecs(at)) : OfflineDecision();
        };
        const auto ab12 = copy.snapshotFor("ab12");
        QVERIFY(ab12 && ab12->employees.size() == 1);
        QCOMPARE(ab12->employees[0].userId, QString("AB12"));
        QCOMPARE(ab12->employees[0].row.text("DisplayText"), QString("Ann"));
        QCOMPARE(ab12->employees[0].row.number("PhotoEnabled"), 1.0);
        QCOMPARE(ab12->employees[0].row.text("UserPhoto"), QString("/photos/ann.png"));
        QCOMPARE(ab12->employees[0].row.text("FirstName"), QString("FirstAB12"));
        QCOMPARE(ab12->repeatSeconds, qint64(60));
        QCOMPARE(decide("ab12", PunchButton::ClockInOut, 0).outcome, Outcome::Repeat);
        QCOMPARE(decide("ab12", PunchButton::ClockInOut, 31).direction, PunchDirection::In);
        QCOMPARE(copy.snapshotFor("7")->punches.size(), 1);
        QCOMPARE(decide("7", PunchButton::ClockInOut, 0).direction, PunchDirection::Out);
        QCOMPARE(decide("x9", PunchButton::ClockIn, 0).outcome, Outcome::Unknown);

        QVERIFY(!db->exec("drop table clocktable"));
        QVERIFY(copy.refresh(*db, rules, Noon.addSecs(30)));
        QCOMPARE(decide("7", PunchButton::ClockIn, 40).outcome, Outcome::AlreadyIn);

        QVERIFY(copy.notePunch("Ab12", PunchDirection::In, Noon.addSecs(100)));
        QCOMPARE(decide("ab12", PunchButton::ClockIn, 200).outcome, Outcome::AlreadyIn);
        QVERIFY(copy.notePunch("7", PunchDirection::Out, Noon.addSecs(100)));
        QCOMPARE(decide("7", PunchButton::ClockOut, 200).outcome, Outcome::NotIn);
        QCOMPARE(decide("7", PunchButton::ClockIn, 120).outcome, Outcome::Repeat);
    }
};

QTEST_GUILESS_MAIN(TestOffline)
#include "tst_offline.moc"
