#include "testenv.h"

#include "app/stationapp.h"
#include "data/schema.h"
#include "platform/messagebox.h"
#include "settings/keys.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using platform::MessageBox;

class TestStationApp : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

private Q_SLOTS:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void startsOnTheClockScreen()
    {
        {
            auto db = m_env->createDatabase();
            TestEnv::addEmployee(*db, "1", 0, "5-Administrator User", "pw");
        }
        app::StationApp station;
        QVERIFY(station.start());
        QVERIFY(!station.hasEnded());
        QVERIFY(station.clockScreen().isVisible());
        QVERIFY(station.mainMenu().autoShown());
        QVERIFY(!station.popup().isVisible());
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void firstRunStillShowsTheClock()
    {
        m_env->createDatabase();
        app::StationApp station;
        QVERIFY(station.start());
        QVERIFY(station.mainMenu().noAdministrator());
        QVERIFY(station.clockScreen().isVisible());
    }

    // The main menu's check ends the program before the event loop runs: start() says so
    // and nothing is left on screen.
    void endsDuringStartUp()
    {
        app::StationApp station;
        QVERIFY(!station.start());
        QVERIFY(station.hasEnded());
        QVERIFY(!station.clockScreen().isVisible());
        QVERIFY(!MessageBox::shown().isEmpty());
    }

    // "Shut Down" while the event loop runs leaves it, although the clock refuses to close.
    void shutDownLeavesTheEventLoop()
    {
        m_env->createDatabase();
        app::StationApp station;
        QVERIFY(station.start());
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QTimer::singleShot(0, [&] { station.mainMenu().shutDown(); });
        QTimer::singleShot(10000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(station.hasEnded());
        QVERIFY(!station.clockScreen().isVisible());
    }

    // The program itself, from a copy of its folder with its own settings folder.
    void programReportsReady()
    {
        const QString built = qEnvironmentVariable("CHRONOTALLY_PROGRAM_DIR");
        if (!QFile::exists(built + "/chronotally"))
            QSKIP("the chronotally program is not built");
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("program");
        QDir(dir.path()).mkpath("config");
        QVERIFY(QFile::copy(built + "/chronotally", dir.path() + "/program/chronotally"));
        QVERIFY(!data::createEmbeddedDatabase(dir.path() + "/program/Stampwell.mdb").isError());

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("CHRONOTALLY_REPORT_READY", "1");
        env.insert("CHRONOTALLY_EXIT_WHEN_READY", "1");
        program.setProcessEnvironment(env);
        program.start(dir.path() + "/program/chronotally", {});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).trimmed(), QString("ready"));
        // Its settings went to the given folder.
        QVERIFY(QFile::exists(dir.path() + "/config/Chronotally/Chronotally.conf"));
    }
};

QTEST_MAIN(TestStationApp)
#include "tst_stationapp.moc"
