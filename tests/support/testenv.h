#pragma once

#include "data/database.h"

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A test's private world: settings store and program folder in a temporary folder, en_US
// regional settings, scripted platform wrappers, and a fresh database.
//
// Engine-level tests run once per engine: a data row whose tag begins with "PostgreSQL"
// works on the tests' PostgreSQL server (the CHRONOTALLY_PG_HOST, _PORT, _USER, _PASSWORD
// and _DB variables that scripts/test.sh sets), every other row on the embedded file. The
// test's init() skips a row whose engine is not available here.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();

    QString folder() const { return m_dir.path(); }
    QString programFolder() const;
    QString databasePath() const;

    // The running row's engine, and why it cannot run here (empty when it can).
    data::Engine engine() const { return m_engine; }
    QString unavailable() const;

    // A fresh database of the row's engine as the current connection: on the embedded
    // engine an empty Stampwell.mdb in the program folder; on PostgreSQL the process's own
    // database emptied and given the tables by the table creation script.
    std::shared_ptr<data::Database> createDatabase();
    // The connection values of the row's engine, and of each engine.
    data::ConnectionSettings settings() const;
    data::ConnectionSettings embeddedSettings() const;
    // The process's own PostgreSQL database (a test process may start stations of its own
    // on the same database), with the server values from the environment.
    static data::ConnectionSettings postgresSettings();
    static data::ConnectionSettings postgresSettings(const QString &database);

    // One data row per engine, in a column "engine", for tests without rows of their own.
    static void engineRows();
    // The engine tags that rows of other tests begin with ("embedded", "PostgreSQL").
    static const QList<QByteArray> &engineTags();

    // Adds an employee with the given ID and returns its row key.
    static qint64 addEmployee(data::Database &db, const QString &id, int disabled = 0,
                              const QString &level = QStringLiteral("2-Standard User"),
                              const QString &password = QString());

    static void setTime(const QDateTime &time);

    // The rows of AuditTable, oldest first: ChangedAt, StationName, AdminUserID, Action,
    // TableName, RowKey, OldValues and NewValues as texts. None while the table is missing.
    static QList<QStringList> auditRows(data::Database &db);
    // The connection values as the SQL panel stores them, for a whole station or the report
    // command to open.
    static void storeConnection(const data::ConnectionSettings &s);

private:
    std::shared_ptr<data::Database> createEmptyDatabase();

    QTemporaryDir m_dir;
    data::Engine m_engine = data::Engine::Embedded;
};
