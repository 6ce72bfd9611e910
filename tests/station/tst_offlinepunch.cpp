#include "privatepgserver.h"
#include "testenv.h"

#include "admin/optionsmodel.h"
#include "app/stationapp.h"
#include "data/needsdatabase.h"
#include "data/startupcheck.h"
#include "data/replayedpunches.h"
#include "employees/employeeeditor.h"
#include "reports/reportcontroller.h"
#include "timeedit/timeeditor.h"
#include "platform/messagebox.h"
#include "reports/payrulesstore.h"
#include "station/idfield.h"
#include "station/offlinelink.h"
#include "station/punchservice.h"
#include "reports/payexceptions.h"
#include "station/replay.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace station;
using Op = void (PunchService::*)();

namespace {
struct FakeIdField : IdField {
    QString text;
    QString idText() const override { return text; }
    void setIdText(const QString &t) override { text = t; }
};

QDateTime at(int h, int m, int s = 0) { return QDateTime(QDate(2026, 12, 7), QTime(h, m, s)); }

} // namespace

class TestOfflinePunch : public QObject
{
    Q_OBJECT

    // The test's own PostgreSQL server, stopped and started under the punch service.
    std::unique_ptr<PrivatePgServer> m_server;
    bool m_serverUp = false;
    std::unique_ptr<TestEnv> m_env;
    std::shared_ptr<data::Database> m_db;
    admin::OptionsModel m_options;
    FakeIdField m_id;
    std::unique_ptr<OfflineLink> m_link;
    std::unique_ptr<PunchService> m_punch;

    QString queuePath() const { return m_env->folder() + "/queue.sqlite"; }

    void startStation()
    {
        const data::ConnectionSettings settings = TestEnv::postgresSettings();
        m_link = std::make_unique<OfflineLink>([settings] { return settings; }, queuePath(), 200, 500);
        m_punch = std::make_unique<PunchService>(m_options, &m_id);
        m_punch->setOfflineLink(m_link.get());
        m_link->start();
    }
    QStringList punch(Op op, const QString &id)
    {
        platform::MessageBox::clearShown();
        m_id.text = id;
        (m_punch.get()->*op)();
        return platform::MessageBox::shownTexts();
    }
    // An ID punched at a whole station's clock screen with "Clock In"; what it was told.
    static QStringList punchAt(app::StationApp &station, const QString &id)
    {
        platform::MessageBox::clearShown();
        station.clockScreen().setIdText(id);
        station.clockScreen().findChild<QPushButton *>("Command1")->click();
        return platform::MessageBox::shownTexts();
    }
    // The rows of an ID as "in|out|total".
    QStringList rows(const QString &id)
    {
        QStringList texts;
        const auto db = data::Database::open(TestEnv::postgresSettings());
        for (const data::Row &r : db->query("select clockedin, clockedout, totalclock from clocktable "
                                            "where useridlogin = ? order by clockedin", {id}).rows)
            texts << r.value("clockedin").toDateTime().toString("HH:mm:ss") + "|"
                         + r.value("clockedout").toDateTime().toString("HH:mm:ss") + "|" + r.text("totalclock");
        return texts;
    }
    // The exceptions of a kind another connection lists for the days.
    static QList<reports::PayException> listed(const QString &kind, const QDate &first, const QDate &last)
    {
        QList<reports::PayException> list;
        const auto other = data::Database::open(TestEnv::postgresSettings());
        const data::DbError error = reports::PayExceptionList(other, reports::PayRules(), at(18, 0)).read(first, last, &list);
        if (error)
            qWarning() << error.description;
        list.removeIf([&kind](const reports::PayException &e) { return e.kind != kind; });
        return list;
    }
    // An open punch of an ID written online.
    void clockedIn(const QString &id, const QDateTime &in)
    {
        QVERIFY(!m_db->exec("insert into clocktable (Clockedin, RowDate, UserIdLogin) values (?, ?, ?)", {in, in.date(), id}));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<PrivatePgServer>();
        m_serverUp = m_server->unavailable().isEmpty();
        if (!m_serverUp)
            return;
        // The tests' database helpers find the server through the variables the server script prints.
        const data::ConnectionSettings server = m_server->settings();
        qputenv("CHRONOTALLY_PG_HOST", "127.0.0.1");
        qputenv("CHRONOTALLY_PG_PORT", server.server.section(':', 1).toUtf8());
        qputenv("CHRONOTALLY_PG_USER", server.user.toUtf8());
        qputenv("CHRONOTALLY_PG_PASSWORD", server.password.toUtf8());
        qputenv("CHRONOTALLY_PG_DB", server.database.toUtf8());
    }
    void cleanupTestCase() { m_server.reset(); }
    void init()
    {
        if (!m_serverUp)
            QSKIP(qPrintable(m_server->unavailable()));
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        m_db = m_env->createDatabase();
        for (const char *id : {"100", "200", "300"})
            TestEnv::addEmployee(*m_db, id);
        m_options.setOn(admin::Option::Spanish, false);
        TestEnv::setTime(at(8, 0));
    }
    void cleanup()
    {
        if (m_serverUp && !m_server->start())
            QFAIL("the test's PostgreSQL server did not start again");
        m_punch.reset();
        m_link.reset();
        m_db.reset();
        m_env.reset();
    }

    void serverStoppedAndStarted_data()
    {
        QTest::addColumn<bool>("spanish");
        QTest::addRow("PostgreSQL: en") << false;
        QTest::addRow("PostgreSQL: es") << true;
    }
    // A restart between two punches is no absence: the punch after it goes online at once.
    // While the server is down the punches are decided from the copy and the queue, with the
    // online refusals; when it is back they are sent with their own times, without a restart.
    // A station stopped with punches waiting sends them at its next start, and punches
    // meanwhile queue behind them.
    void serverStoppedAndStarted()
    {
        QFETCH(bool, spanish);
        m_options.setOn(admin::Option::Spanish, spanish);
        reports::PayRulesStore store(m_db);
        QVERIFY(store.writeRule(reports::rulenames::RepeatGuard, "1", "admin").ok());
        QVERIFY(store.writeRule(reports::rulenames::RepeatSeconds, "60", "admin").ok());
        store.read();
        startStation();
        const QString kept = OfflineDecision::confirmationText(spanish);
        QCOMPARE(punch(&PunchService::ClockIn, "200").size(), 1);
        QCOMPARE(punch(&PunchService::ClockIn, "100").size(), 1);
        QVERIFY(m_server->stop() && m_server->start());
        TestEnv::setTime(at(8, 30));
        const QStringList out = punch(&PunchService::ClockOut, "100");
        QVERIFY2(out.size() == 1 && out != QStringList{kept}, qPrintable(out.join('|')));
        QVERIFY(!m_punch->lastQueued() && !m_link->isAway());
        QTRY_VERIFY_WITH_TIMEOUT(m_link->copy().snapshotFor("100")->refreshedAt.isValid(), 10000);

        QVERIFY(m_server->stop());
        TestEnv::setTime(at(9, 0));
        QCOMPARE(punch(&PunchService::ClockIn, "100"), QStringList{kept});
        QVERIFY(m_link->isAway());
        TestEnv::setTime(at(9, 0, 30));
        const QStringList repeat = punch(&PunchService::ClockOut, "100");
        QVERIFY2(repeat.value(0).contains("60"), qPrintable(repeat.join('|')));
        TestEnv::setTime(at(9, 5));
        const QStringList twice = punch(&PunchService::ClockIn, "100");
        const QStringList notIn = punch(&PunchService::ClockOut, "300");
        const QStringList unknown = punch(&PunchService::ClockInOut, "999");
        QCOMPARE(punch(&PunchService::ClockOut, "200"), QStringList{kept});
        QCOMPARE(punch(&PunchService::ClockInOut, "300"), QStringList{kept});
        QCOMPARE(m_link->waiting(), 3);

        // The refusals are the online ones: compare with the same punches online.
        QVERIFY(m_server->start());
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->isAway() && m_link->waiting() == 0, 20000);
        QVERIFY(m_link->lastReplay().isValid());
        QCOMPARE(rows("100"), (QStringList{"08:00:00|08:30:00|30", "09:00:00||"}));
        QCOMPARE(rows("200"), QStringList{"08:00:00|09:05:00|65"});
        QCOMPARE(rows("300"), QStringList{"09:05:00||"});
        TestEnv::setTime(at(10, 0));
        QCOMPARE(punch(&PunchService::ClockIn, "100"), twice);
        QVERIFY(punch(&PunchService::ClockOut, "200") == notIn);
        QCOMPARE(punch(&PunchService::ClockIn, "999"), unknown);
        const auto db = data::Database::open(TestEnv::postgresSettings());
        QCOMPARE(int(db->query("select count(*) as n from ReplayedPunches where Reason is null").first().number("n")), 3);

        QVERIFY(m_server->stop());
        TestEnv::setTime(at(10, 30));
        QCOMPARE(punch(&PunchService::ClockOut, "300"), QStringList{kept});
        m_punch.reset();
        m_link.reset();
        QVERIFY(m_server->start());
        startStation();
        QVERIFY(m_link->isAway()); // until the queue is sent
        TestEnv::setTime(at(11, 0));
        punch(&PunchService::ClockIn, "300");
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->isAway() && m_link->waiting() == 0, 20000);
        QCOMPARE(rows("300"), (QStringList{"09:05:00|10:30:00|85", "11:00:00||"}));
    }

    void stationStartedWhileAway_data()
    {
        QTest::addColumn<QString>("copyOf"); // the database the copy was read from; empty: none
        QTest::addRow("PostgreSQL: a copy of this database") << "this";
        QTest::addRow("PostgreSQL: never copied") << "";
        QTest::addRow("PostgreSQL: a copy of another database") << "another";
    }
    // A whole station started while its server is down starts on its copy of that database
    // with the offline notice, and refuses an ID the copy does not know as online. Once the
    // server is back its background link sends the queue without a restart, and the rest of the
    // start-up check runs: the administrators are counted and the pay rules read, and copied.
    // Without a copy of that database (a first start, or a server typed anew) it cannot punch:
    // the start-up shows the failure and offers the default settings, as for any other.
    void stationStartedWhileAway()
    {
        QFETCH(QString, copyOf);
        const data::ConnectionSettings server = TestEnv::postgresSettings();
        TestEnv::storeConnection(server);
        // The station's own repeat guard, for its first start to copy into the empty PayRules
        // table; the defaults cached meanwhile.
        settings::write(settings::keys::RepeatGuard, "1");
        settings::write(settings::keys::RepeatSeconds, "45");
        reports::PayRulesStore(m_db).read();
        data::ConnectionSettings source = server;
        source.database += copyOf == "this" ? "" : "-other";
        if (!copyOf.isEmpty())
            QVERIFY(!OfflineCopy().refresh(*m_db, reports::PayRules(), at(7, 0), OfflineCopy::sourceOf(source)));
        QVERIFY(m_server->stop());

        TestEnv::setTime(at(9, 0));
        app::StationApp station;
        if (copyOf != "this") {
            QVERIFY(!station.start());
            QVERIFY(platform::MessageBox::shownTexts().contains(data::StartupCheck::RestoreQuestion));
            return;
        }
        QVERIFY(station.start());
        QVERIFY(platform::MessageBox::shown().isEmpty());
        QVERIFY(station.clockScreen().isVisible());
        QVERIFY(station.offlineLink().isAway());
        const QLabel *notice = station.clockScreen().findChild<QLabel *>("LabelOffline");
        QVERIFY(notice->isVisible());
        const QStringList in = punchAt(station, "100");
        const QStringList unknown = punchAt(station, "999");
        QCOMPARE(station.offlineLink().waiting(), 1);
        QCOMPARE(notice->text(), station.offlineLink().stateText());
        QVERIFY(!station.mainMenu().noAdministrator());
        // The main menu opened meanwhile runs the start-up routine again, and goes on as well.
        platform::MessageBox::clearShown();
        station.clockScreen().findChild<QPushButton *>("Command5")->click();
        QVERIFY(!station.hasEnded());
        QVERIFY(platform::MessageBox::shown().isEmpty());

        QVERIFY(m_server->start());
        QTRY_VERIFY_WITH_TIMEOUT(!station.offlineLink().isAway() && station.offlineLink().waiting() == 0, 25000);
        QVERIFY(notice->isHidden());
        QCOMPARE(rows("100"), QStringList{"09:00:00||"});
        TestEnv::setTime(at(9, 30));
        QCOMPARE(punchAt(station, "999"), unknown);
        QCOMPARE(in, QStringList{OfflineDecision::confirmationText(false)});
        QVERIFY(station.mainMenu().noAdministrator());
        QVERIFY(reports::PayRulesStore::cached().repeatGuard);
        QCOMPARE(reports::PayRulesStore::cached().repeatSeconds, 45);
        QVERIFY(reports::PayRulesStore(data::Database::open(server)).read().repeatGuard);
        QTRY_COMPARE_WITH_TIMEOUT(station.offlineLink().copy().snapshotFor("100")->repeatSeconds, qint64(45), 10000);
    }

    void refusedReplays_data()
    {
        QTest::addColumn<QString>("open"); // of 100, written online; the punch is at 9:00
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("in");
        QTest::addColumn<QString>("reason"); // empty: written
        QTest::addColumn<QString>("rowsOf100");
        QTest::addRow("PostgreSQL: clocked in elsewhere") << "08:30" << "100" << true << replayreasons::clockedInElsewhere() << "08:30:00||";
        QTest::addRow("PostgreSQL: clock-out before the open clock-in") << "09:30" << "100" << false << replayreasons::reversed() << "09:30:00||";
        QTest::addRow("PostgreSQL: clocked out elsewhere") << "" << "100" << false << replayreasons::notClockedIn() << "";
        QTest::addRow("PostgreSQL: unknown ID") << "" << "999" << true << replayreasons::unknownId() << "";
        QTest::addRow("PostgreSQL: in") << "" << "100" << true << "" << "09:00:00||";
        QTest::addRow("PostgreSQL: out after the open clock-in") << "08:30" << "100" << false << "" << "08:30:00|09:00:00|30";
    }
    // A punch the database refuses is an exception with its reason and one audit row, sent
    // once. Every connection's exceptions list of the punch's day names it, without the
    // station's queue file; another day's does not.
    void refusedReplays()
    {
        QFETCH(QString, open);
        QFETCH(QString, id);
        QFETCH(bool, in);
        QFETCH(QString, reason);
        QFETCH(QString, rowsOf100);
        const bool refused = !reason.isEmpty();
        if (!open.isEmpty())
            clockedIn("100", QDateTime(at(9, 0).date(), QTime::fromString(open)));
        {
            PunchQueue queue(queuePath());
            QVERIFY(queue.append(id, in ? PunchDirection::In : PunchDirection::Out, at(9, 0)));
            ReplayResult result = replayQueue(*m_db, queue);
            QVERIFY2(!result.error, qPrintable(result.error.description));
            QCOMPARE(result.refused, refused ? 1 : 0);
            QCOMPARE(result.written, refused ? 0 : 1);
            QCOMPARE(queue.count(), 0);
            QCOMPARE(queue.exceptions().size(), refused ? 1 : 0);
            QCOMPARE(TestEnv::auditRows(*m_db).size(), refused ? 1 : 0);
        }
        QVERIFY(QFile::remove(queuePath()));
        const bool known = id != "999";
        reports::PayException expected{reports::exceptionkinds::RefusedOnReplay, id, known ? "First" + id : "",
                                       known ? "Last" + id : "", at(9, 0).date(), {}, {}, reason};
        (in ? expected.clockIn : expected.clockOut) = QDateTime(at(9, 0).date(), at(9, 0).time(), Qt::UTC);
        const QDate day = at(9, 0).date();
        QCOMPARE(listed(reports::exceptionkinds::RefusedOnReplay, day, day),
                 refused ? QList<reports::PayException>{expected} : QList<reports::PayException>());
        QVERIFY(listed(reports::exceptionkinds::RefusedOnReplay, day.addDays(1), day.addDays(1)).isEmpty());
        QCOMPARE(rows("100").join(','), rowsOf100);
    }

    void replayIntoClosedPeriod_data()
    {
        QTest::addColumn<QString>("queued"); // 100's punches of 12/7 kept while away, in at 9:00, out at 17:00
        QTest::addColumn<bool>("openOnline"); // 100 clocked in at 8:00 before the database went away
        QTest::addColumn<int>("closings");    // of the week before the replay, and again after it
        QTest::addColumn<int>("listed");
        QTest::addRow("PostgreSQL: in and out") << "in,out" << false << 1 << 1;
        QTest::addRow("PostgreSQL: out of an online clock-in") << "out" << true << 1 << 1;
        QTest::addRow("PostgreSQL: in, still open") << "in" << false << 1 << 1;
        QTest::addRow("PostgreSQL: week open") << "in,out" << false << 0 << 0;
        QTest::addRow("PostgreSQL: week closed again after the replay") << "in,out" << false << 2 << 0;
    }
    // A punch kept before its week was closed and sent after that is written all the same and
    // listed as one that came into a closed period, once, on every connection; a closing after
    // the replay saw it.
    void replayIntoClosedPeriod()
    {
        QFETCH(QString, queued);
        QFETCH(bool, openOnline);
        QFETCH(int, closings);
        QFETCH(int, listed);
        const reports::PayPeriod week{QDate(2026, 12, 6), QDate(2026, 12, 12)};
        if (openOnline)
            clockedIn("100", at(8, 0));
        PunchQueue queue(queuePath());
        for (const QString &direction : queued.split(','))
            QVERIFY(direction == "in" ? queue.append("100", PunchDirection::In, at(9, 0))
                                      : queue.append("100", PunchDirection::Out, at(17, 0)));
        reports::PayRulesStore store(m_db);
        TestEnv::setTime(QDateTime(QDate(2026, 12, 14), QTime(9, 0)));
        if (closings > 0)
            QVERIFY(store.close(week, "boss").ok());
        TestEnv::setTime(QDateTime(QDate(2026, 12, 14), QTime(10, 0)));
        const ReplayResult result = replayQueue(*m_db, queue);
        QVERIFY2(!result.error, qPrintable(result.error.description));
        QCOMPARE(result.written, int(queued.count(',')) + 1);
        TestEnv::setTime(QDateTime(QDate(2026, 12, 14), QTime(11, 0)));
        if (closings > 1) {
            QVERIFY(store.reopen(week, "boss").ok());
            QVERIFY(store.close(week, "boss").ok());
        }
        QCOMPARE(this->listed(reports::exceptionkinds::ClosedPeriod, week.first, week.last).size(), listed);
    }

    void screensNeedTheDatabase_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addRow("PostgreSQL: reports") << 0;
        QTest::addRow("PostgreSQL: employees") << 1;
        QTest::addRow("PostgreSQL: time edit") << 2;
    }
    // The administrator's screens, opened while the server is down, say so in one sentence.
    void screensNeedTheDatabase()
    {
        QFETCH(int, screen);
        QVERIFY(m_server->stop());
        const data::ConnectionSettings settings = TestEnv::postgresSettings();
        auto source = [settings] { return settings; };
        platform::MessageBox::clearShown();
        bool opened = true;
        if (screen == 0)
            opened = reports::ReportController(source).open();
        else if (screen == 1)
            opened = employees::EmployeeEditor(source).openScreen();
        else
            opened = timeedit::TimeEditor(source).openScreen();
        QVERIFY(!opened);
        QCOMPARE(platform::MessageBox::shownTexts().value(0), data::NeedsDatabaseText);
    }

    void crashBetweenCommitAndRemoval_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addRow("PostgreSQL: written") << "";
        QTest::addRow("PostgreSQL: refused") << "refused before";
    }
    // The commit (of the punch with its key, or of a refusal) went through, the removal from
    // the queue did not: the next replay knows the key and writes nothing twice.
    void crashBetweenCommitAndRemoval()
    {
        QFETCH(QString, reason);
        qint64 sequence = 0;
        QString station;
        {
            PunchQueue queue(queuePath());
            sequence = *queue.append("100", PunchDirection::In, at(9, 0));
            station = queue.stationName();
            if (reason.isEmpty()) {
                PunchRequest request{"100", PunchButton::ClockIn, at(9, 0), 0, true, [&](data::Database &db) {
                                         return data::recordReplayedPunch(db, station, sequence);
                                     }};
                QCOMPARE(PunchService::write(*m_db, request).result, PunchWrite::Result::Written);
            } else {
                QVERIFY(!data::ensureReplayedPunchesTable(*m_db));
                QVERIFY(!data::recordReplayedPunch(*m_db, station, sequence, reason));
            }
        }
        PunchQueue reopened(queuePath());
        QCOMPARE(reopened.count(), 1);
        const ReplayResult result = replayQueue(*m_db, reopened);
        QVERIFY2(!result.error, qPrintable(result.error.description));
        QCOMPARE(result.known, 1);
        QCOMPARE(result.written + result.refused, 0);
        QCOMPARE(reopened.count(), 0);
        QCOMPARE(rows("100"), reason.isEmpty() ? QStringList{"09:00:00||"} : QStringList());
        QCOMPARE(reopened.exceptions().size(), reason.isEmpty() ? 0 : 1);
    }
};

QTEST_MAIN(TestOfflinePunch)
#include "tst_offlinepunch.moc"
