#include "testenv.h"

#include "app/stationapp.h"
#include "data/schema.h"
#include "platform/messagebox.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"
#include "station/lockdown.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

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

    // The store holds the scrambled SQL password: its files are the owner's alone after a
    // start, whether the start made them or found them readable by others.
    void storeFilesAreTheOwnersAlone_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("first start") << false;
        QTest::newRow("files left with 0644") << true;
    }
    void storeFilesAreTheOwnersAlone()
    {
        QFETCH(bool, existing);
        m_env->createDatabase();
        const QString settingsFile = settings::storeFile(settings::Application);
        if (existing) {
            QVERIFY(QDir().mkpath(settings::storeFolder()));
            for (const QString &path : {settingsFile, station::policyFile()}) {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly));
                QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
            }
        }
        app::StationApp station;
        station.start();
        QVERIFY(QFile::exists(settingsFile));
        const auto mode = [](const QString &path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
        };
        QCOMPARE(mode(settings::storeFolder()), 0700);
        const QDir folder(settings::storeFolder());
        for (const QFileInfo &file : folder.entryInfoList(QDir::Files | QDir::Hidden))
            QCOMPARE(mode(file.filePath()), 0600);
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
