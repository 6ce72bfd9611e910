#include "testenv.h"

#include "admin/sqlpassword.h"
#include "data/schema.h"
#include "platform/clock.h"
#include "platform/regional.h"
#include "platform/scripting.h"
#include "platform/system.h"
#include "reports/payrulesstore.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace {
const QString AdminConnection = QStringLiteral("testenv-postgres");

QString variable(const char *name)
{
    return qEnvironmentVariable(name);
}

// The tests' PostgreSQL server as this process sees it: reached once, with a database of
// the process's own, since test programs run side by side. Its admin connection empties the
// database for each test.
struct PostgresServer {
    QString unavailable;
    QString database;
};

bool execAll(QSqlDatabase &db, const QStringList &statements, QString *error)
{
    QSqlQuery q(db);
    for (const QString &sql : statements) {
        if (!q.exec(sql)) {
            *error = q.lastError().text();
            return false;
        }
    }
    return true;
}

void dropOwnDatabase()
{
    {
        QSqlDatabase admin = QSqlDatabase::database(AdminConnection, false);
        const QString own = admin.databaseName();
        admin.close();
        admin.setDatabaseName(variable("CHRONOTALLY_PG_DB"));
        QString error;
        if (admin.open())
            execAll(admin, {QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(own)}, &error);
        admin.close();
    }
    QSqlDatabase::removeDatabase(AdminConnection);
}

PostgresServer connectServer()
{
    PostgresServer server;
    for (const char *name : {"CHRONOTALLY_PG_HOST", "CHRONOTALLY_PG_PORT", "CHRONOTALLY_PG_USER",
                             "CHRONOTALLY_PG_PASSWORD", "CHRONOTALLY_PG_DB"}) {
        if (variable(name).isEmpty()) {
            server.unavailable = QStringLiteral("PostgreSQL is not available: %1 is not set (scripts/test.sh starts "
                                                "a server for the tests and sets it)")
                                     .arg(QLatin1String(name));
            return server;
        }
    }
    server.database = QStringLiteral("%1_t%2").arg(variable("CHRONOTALLY_PG_DB")).arg(QCoreApplication::applicationPid());
    QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), AdminConnection);
    if (!admin.isValid()) {
        server.unavailable = QStringLiteral("PostgreSQL is not available: Qt's QPSQL driver is not installed");
        return server;
    }
    admin.setHostName(variable("CHRONOTALLY_PG_HOST"));
    admin.setPort(variable("CHRONOTALLY_PG_PORT").toInt());
    admin.setUserName(variable("CHRONOTALLY_PG_USER"));
    admin.setPassword(variable("CHRONOTALLY_PG_PASSWORD"));
    admin.setDatabaseName(variable("CHRONOTALLY_PG_DB"));
    admin.setConnectOptions(QStringLiteral("connect_timeout=5;options='-c client_min_messages=warning'"));
    QString error;
    if (!admin.open()) {
        error = admin.lastError().databaseText();
    } else if (execAll(admin, {QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(server.database),
                               QStringLiteral("CREATE DATABASE \"%1\"").arg(server.database)}, &error)) {
        admin.close();
        admin.setDatabaseName(server.database);
        // A test that left a transaction open fails the next one's emptying, not hangs it.
        admin.setConnectOptions(QStringLiteral(
            "connect_timeout=5;options='-c client_min_messages=warning -c lock_timeout=10000'"));
        if (admin.open()) {
            qAddPostRoutine(dropOwnDatabase);
            return server;
        }
        error = admin.lastError().databaseText();
    }
    server.unavailable = QStringLiteral("PostgreSQL is not available: the server at %1:%2 cannot be used: %3")
                             .arg(variable("CHRONOTALLY_PG_HOST"), variable("CHRONOTALLY_PG_PORT"), error.simplified());
    return server;
}

const PostgresServer &postgresServer()
{
    static const PostgresServer server = connectServer();
    return server;
}

// Environments alive: a test's next one may be made before its last one goes (an init()
// that skips is not followed by cleanup()), and the platform stays scripted meanwhile.
int &liveEnvironments()
{
    static int live = 0;
    return live;
}
} // namespace

TestEnv::TestEnv()
{
    QVERIFY2(m_dir.isValid(), "temporary folder");
    QDir(m_dir.path()).mkpath(QStringLiteral("program"));
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    settings::setStoreFolder(m_dir.path() + QStringLiteral("/config"));
    platform::setProgramFolder(programFolder());
    // A data folder of its own that does not exist, whatever is installed on the machine.
    platform::setDataFolder(m_dir.path() + QStringLiteral("/data"));
    regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    platform::setScripted(true);
    ++liveEnvironments();
    platform::Clock::useSystemClock();
    const char *tag = QTest::currentDataTag();
    if (tag && QByteArray(tag).startsWith(engineTags().at(1)))
        m_engine = data::Engine::PostgreSql;
}

TestEnv::~TestEnv()
{
    if (--liveEnvironments() > 0)
        return;
    platform::Clock::useSystemClock();
    platform::setScripted(false);
}

const QList<QByteArray> &TestEnv::engineTags()
{
    static const QList<QByteArray> tags{"embedded", "PostgreSQL"};
    return tags;
}

void TestEnv::engineRows()
{
    QTest::addColumn<data::Engine>("engine");
    QTest::newRow(engineTags().at(0).constData()) << data::Engine::Embedded;
    QTest::newRow(engineTags().at(1).constData()) << data::Engine::PostgreSql;
}

QString TestEnv::unavailable() const
{
    return m_engine == data::Engine::PostgreSql ? postgresServer().unavailable : QString();
}

QString TestEnv::programFolder() const
{
    return m_dir.path() + QStringLiteral("/program");
}

QString TestEnv::databasePath() const
{
    return data::Database::embeddedFilePath(programFolder());
}

data::ConnectionSettings TestEnv::embeddedSettings() const
{
    data::ConnectionSettings s;
    s.accessFolder = programFolder();
    return s;
}

data::ConnectionSettings TestEnv::postgresSettings(const QString &database)
{
    data::ConnectionSettings s;
    s.useSqlDb = true;
    s.serverKind = data::ServerKind::PostgreSql;
    s.server = variable("CHRONOTALLY_PG_HOST") + QLatin1Char(':') + variable("CHRONOTALLY_PG_PORT");
    s.user = variable("CHRONOTALLY_PG_USER");
    s.password = variable("CHRONOTALLY_PG_PASSWORD");
    s.database = database;
    return s;
}

data::ConnectionSettings TestEnv::postgresSettings()
{
    return postgresSettings(postgresServer().database);
}

data::ConnectionSettings TestEnv::settings() const
{
    data::ConnectionSettings s = m_engine == data::Engine::PostgreSql ? postgresSettings() : data::ConnectionSettings();
    s.accessFolder = programFolder();
    return s;
}

std::shared_ptr<data::Database> TestEnv::createDatabase()
{
    std::shared_ptr<data::Database> db = createEmptyDatabase();
    // The station-wide rules the process holds are the new database's (the defaults), not
    // those an earlier test left.
    reports::PayRulesStore(db).read();
    return db;
}

std::shared_ptr<data::Database> TestEnv::createEmptyDatabase()
{
    if (m_engine == data::Engine::PostgreSql) {
        if (!postgresServer().unavailable.isEmpty())
            qFatal("%s", qPrintable(postgresServer().unavailable));
        QSqlDatabase admin = QSqlDatabase::database(AdminConnection, false);
        QString error;
        const QStringList emptying{QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE"), QStringLiteral("CREATE SCHEMA public"),
                                   data::postgreSqlTableScript()};
        // A test that restarted the server left the connection broken: open it again once.
        if (!execAll(admin, emptying, &error) && !(admin.close(), admin.open() && execAll(admin, emptying, &error)))
            qFatal("cannot empty the test database: %s", qPrintable(error));
        return data::Database::open(settings());
    }
    const data::DbError error = data::createEmbeddedDatabase(databasePath());
    if (error)
        qFatal("cannot create test database: %s", qPrintable(error.description));
    return data::Database::open(embeddedSettings());
}

qint64 TestEnv::addEmployee(data::Database &db, const QString &id, int disabled, const QString &level,
                            const QString &password)
{
    const data::DbError error = db.exec(
        QStringLiteral("insert into usertable (FirstName, LastName, UserIDLogin, disabled, AdminLevel, passwordf, "
                       "PhotoEnabled, SoundEnabled, PhotoOnOff, PhotoDisplay, PhotoType) "
                       "values (?, ?, ?, ?, ?, ?, 0, 0, 0, 5, 'True')"),
        {QStringLiteral("First") + id, QStringLiteral("Last") + id, id, disabled, level, password});
    if (error)
        qFatal("cannot add employee: %s", qPrintable(error.description));
    return db.query(QStringLiteral("select max(ID) as k from usertable")).first().value(QStringLiteral("k")).toLongLong();
}

void TestEnv::setTime(const QDateTime &time)
{
    platform::Clock::setFixed(time);
}

void TestEnv::storeConnection(const data::ConnectionSettings &s)
{
    namespace keys = settings::keys;
    settings::write(keys::UseSqlDb, s.useSqlDb ? QStringLiteral("1") : QStringLiteral("0"));
    settings::write(keys::ServerKind, QStringLiteral("PostgreSQL"));
    settings::write(keys::DatabaseFolder, s.accessFolder);
    settings::write(keys::SqlServer, s.server);
    settings::write(keys::SqlUser, s.user);
    settings::write(keys::SqlDatabase, s.database);
    settings::write(keys::SqlPassword, admin::scramblePassword(s.password));
}

QList<QStringList> TestEnv::auditRows(data::Database &db)
{
    QList<QStringList> rows;
    const data::QueryResult result = db.query(QStringLiteral(
        "select ChangedAt, StationName, AdminUserID, Action, TableName, RowKey, OldValues, NewValues "
        "from AuditTable order by ID"));
    for (const data::Row &row : result.rows) {
        QStringList cells;
        for (const char *column : {"ChangedAt", "StationName", "AdminUserID", "Action", "TableName", "RowKey",
                                   "OldValues", "NewValues"})
            cells << row.text(QLatin1String(column));
        rows << cells;
    }
    return rows;
}
