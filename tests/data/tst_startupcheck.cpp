#include "testenv.h"

#include "data/startupcheck.h"
#include "platform/messagebox.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"

#include <QTest>

using namespace data;
using platform::MessageBox;

namespace {
// An engine that answers from a script and records what the check asked.
class ScriptedEngine : public StartupCheck::Engine
{
public:
    QList<DbError> opens;
    QList<DbError> counts;
    QList<DbError> creates;
    QList<DbError> rules;
    int count = 0;
    QStringList calls;
    QList<ConnectionSettings> openedWith;

    DbError open(const ConnectionSettings &s) override
    {
        calls << "open";
        openedWith << s;
        return opens.isEmpty() ? DbError() : opens.takeFirst();
    }
    DbError countAdministrators(int *n) override
    {
        calls << "count";
        const DbError e = counts.isEmpty() ? DbError() : counts.takeFirst();
        if (!e)
            *n = count;
        return e;
    }
    DbError createTables(const ConnectionSettings &) override
    {
        calls << "create";
        return creates.isEmpty() ? DbError() : creates.takeFirst();
    }
    DbError loadPayRules() override
    {
        calls << "rules";
        return rules.isEmpty() ? DbError() : rules.takeFirst();
    }
};

const DbError missingFile{errors::GeneralFailure, "Could not find file '/x/Stampwell.mdb'."};
const DbError loginFailed{errors::LoginFailed, "Login failed for user 'sa'."};
const DbError noTable{errors::InvalidObject, "Invalid object name 'usertable'."};
const DbError away{errors::GeneralFailure, "connection refused", true};
const DbError noItem{errors::CommandFailed, "Item cannot be found in the collection corresponding to the requested name or ordinal."};
} // namespace

class TestStartupCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        settings::write(settings::keys::DatabaseFolder, "/srv/share");
        settings::write(settings::keys::Spanish, "1");
        m_settings.user = "sa";
    }
    void cleanup() { m_env.reset(); }

    void administratorsAreCounted()
    {
        ScriptedEngine engine;
        engine.count = 2;
        StartupCheck check([this] { return m_settings; }, nullptr, &engine);
        const auto result = check.run();
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 2);
        QCOMPARE(engine.calls, QStringList({"open", "count", "rules"}));
        QVERIFY(MessageBox::shown().isEmpty());
    }

    // A server that cannot be reached, at the first open, after the login dialog or at the
    // count, is no failure for a station with a copy of it: it starts on that copy, nothing
    // shown or restored, the administrators not known and the pay rules as read last. Resumed
    // while still away it loads nothing; once the server answers it counts and reads the rules.
    void unreachableServerStartsAway_data()
    {
        QTest::addColumn<QString>("awayAt");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("open") << "open" << QStringList{"open"};
        QTest::newRow("open after the login dialog") << "login" << QStringList{"open", "open"};
        QTest::newRow("count") << "count" << QStringList{"open", "count"};
    }
    void unreachableServerStartsAway()
    {
        QFETCH(QString, awayAt);
        QFETCH(QStringList, calls);
        ScriptedEngine engine;
        engine.count = 2;
        if (awayAt == "open")
            engine.opens = {away};
        else if (awayAt == "login")
            engine.opens = {loginFailed, away};
        else
            engine.counts = {away};
        StartupCheck check([this] { return m_settings; }, [] {}, &engine);
        check.setCanWorkAway([] { return true; });
        const auto result = check.run();
        QVERIFY(result.databaseAway);
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 0);
        QCOMPARE(engine.calls, calls);
        QCOMPARE(settings::read(settings::keys::DatabaseFolder), QString("/srv/share"));

        engine.calls.clear();
        engine.counts = {away};
        StartupCheck::Result still, back;
        QVERIFY(check.resume(&still).isError());
        QVERIFY(still.databaseAway);
        QVERIFY(!check.resume(&back));
        QVERIFY(!back.databaseAway);
        QCOMPARE(back.administratorCount, 2);
        QCOMPARE(engine.calls, QStringList({"count", "count", "rules"}));
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void missingFileOffersToRestoreEverything_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("yes clears the store") << true;
        QTest::newRow("no keeps it") << false;
    }
    void missingFileOffersToRestoreEverything()
    {
        QFETCH(bool, restore);
        ScriptedEngine engine;
        engine.opens = {missingFile};
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        MessageBox::queueAnswer(restore ? MessageBox::Answer::Yes : MessageBox::Answer::No);
        StartupCheck check([this] { return m_settings; }, nullptr, &engine);
        QVERIFY(check.run().endProgram);
        const auto shown = MessageBox::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, missingFile.description);
        QCOMPARE(shown[0].title, QString("Chronotally"));
        QCOMPARE(shown[1].text, QString("Do you want to restore the Default Settings?"));
        QCOMPARE(shown[1].title, QString("Chronotally 2.1"));
        QCOMPARE(shown[1].buttons, MessageBox::Buttons::YesNo);
        QCOMPARE(settings::read(settings::keys::Spanish), restore ? QString("0") : QString("1"));
        QCOMPARE(settings::read(settings::keys::DatabaseFolder), restore ? QString() : QString("/srv/share"));
        QCOMPARE(engine.calls, QStringList({"open"}));
    }

    void refusedLoginAsksOnceAndUsesTheNewValues()
    {
        ScriptedEngine engine;
        engine.opens = {loginFailed};
        engine.count = 1;
        int dialogs = 0;
        StartupCheck check([this] { return m_settings; }, [&] { ++dialogs; m_settings.user = "clerk"; }, &engine);
        const auto result = check.run();
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 1);
        QCOMPARE(dialogs, 1);
        QCOMPARE(engine.openedWith.last().user, QString("clerk"));
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void aSecondRefusalIsReportedAndEnds()
    {
        ScriptedEngine engine;
        engine.opens = {loginFailed, loginFailed};
        int dialogs = 0;
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        StartupCheck check([this] { return m_settings; }, [&] { ++dialogs; }, &engine);
        QVERIFY(check.run().endProgram);
        QCOMPARE(dialogs, 1);
        QCOMPARE(engine.calls, QStringList({"open", "open"}));
        QCOMPARE(MessageBox::shownTexts(), QStringList({loginFailed.description, StartupCheck::RestoreQuestion}));
        // Only the database folder is forgotten on this path.
        QCOMPARE(settings::read(settings::keys::DatabaseFolder), QString());
        QCOMPARE(settings::read(settings::keys::Spanish), QString("1"));
    }

    void missingTablesAreCreatedOnce()
    {
        ScriptedEngine engine;
        engine.counts = {noTable};
        engine.count = 0;
        StartupCheck check([this] { return m_settings; }, nullptr, &engine);
        const auto result = check.run();
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 0);
        QCOMPARE(engine.calls, QStringList({"open", "count", "create", "count", "rules"}));
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void tablesStillMissingDisableTheServer()
    {
        ScriptedEngine engine;
        engine.counts = {noItem, noTable};
        settings::write(settings::keys::UseSqlDb, "1");
        StartupCheck check([this] { return m_settings; }, nullptr, &engine);
        QVERIFY(check.run().endProgram);
        QCOMPARE(MessageBox::shownTexts(), QStringList({StartupCheck::SqlDisabledMessage}));
        QCOMPARE(settings::read(settings::keys::UseSqlDb), QString("0"));
    }

    void otherStatementFailuresAreReportedAndEnd()
    {
        ScriptedEngine engine;
        engine.counts = {DbError{errors::CommandFailed, "no such table: usertable"}};
        StartupCheck check([this] { return m_settings; }, nullptr, &engine);
        QVERIFY(check.run().endProgram);
        QCOMPARE(MessageBox::shownTexts(), QStringList({"no such table: usertable", StartupCheck::RestoreQuestion}));
        QCOMPARE(engine.calls, QStringList({"open", "count"}));
    }

    void realEmbeddedDatabase()
    {
        // No file: the general failure with the path, then the restore question.
        StartupCheck missing([this] { return m_env->embeddedSettings(); }, nullptr);
        QVERIFY(missing.run().endProgram);
        QVERIFY(MessageBox::shownTexts().first().contains(m_env->databasePath()));
        MessageBox::clearShown();

        auto db = m_env->createDatabase();
        TestEnv::addEmployee(*db, "1", 0, "5-Administrator User", "pw");
        TestEnv::addEmployee(*db, "2", 1, "5-Administrator User", "pw");
        TestEnv::addEmployee(*db, "3");
        StartupCheck check([this] { return m_env->embeddedSettings(); }, nullptr);
        const auto result = check.run();
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 2);
        QVERIFY(MessageBox::shown().isEmpty());
    }

    // A new PostgreSQL database: the first start finds no tables, creates both and finds no
    // administrator; the next start counts them.
    void newPostgresDatabaseGetsItsTables_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::newRow("PostgreSQL") << Engine::PostgreSql;
    }
    void newPostgresDatabaseGetsItsTables()
    {
        QVERIFY(!m_env->createDatabase()->exec("drop table usertable; drop table clocktable"));
        StartupCheck first([this] { return m_env->settings(); }, nullptr);
        auto result = first.run();
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 0);
        QVERIFY(MessageBox::shown().isEmpty());

        TestEnv::addEmployee(*Database::current(), "1", 0, "5-Administrator User", "pw");
        StartupCheck next([this] { return m_env->settings(); }, nullptr);
        result = next.run();
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 1);
    }

    // A stored password the server refuses brings up the login dialog once; what is typed
    // there opens the connection.
    void refusedPostgresLoginAsksOnce_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::newRow("PostgreSQL") << Engine::PostgreSql;
    }
    void refusedPostgresLoginAsksOnce()
    {
        TestEnv::addEmployee(*m_env->createDatabase(), "1", 0, "5-Administrator User", "pw");
        ConnectionSettings live = m_env->settings();
        const QString password = live.password;
        live.password = "stale";
        int dialogs = 0;
        StartupCheck check([&] { return live; }, [&] { ++dialogs; live.password = password; });
        const auto result = check.run();
        QCOMPARE(dialogs, 1);
        QVERIFY(!result.endProgram);
        QCOMPARE(result.administratorCount, 1);
        QVERIFY(MessageBox::shown().isEmpty());
    }

private:
    std::unique_ptr<TestEnv> m_env;
    ConnectionSettings m_settings;
};

QTEST_GUILESS_MAIN(TestStartupCheck)
#include "tst_startupcheck.moc"
