#include "testenv.h"

#include "data/schema.h"
#include "platform/clock.h"
#include "platform/regional.h"
#include "platform/scripting.h"
#include "platform/system.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QTest>

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
    platform::Clock::useSystemClock();
}

TestEnv::~TestEnv()
{
    platform::Clock::useSystemClock();
    platform::setScripted(false);
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

std::shared_ptr<data::Database> TestEnv::createDatabase()
{
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
