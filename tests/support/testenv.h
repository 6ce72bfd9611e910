#pragma once

#include "data/database.h"

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A test's private world: settings store and program folder in a temporary folder, en_US
// regional settings, scripted platform wrappers, and a fresh embedded database.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();

    QString folder() const { return m_dir.path(); }
    QString programFolder() const;
    QString databasePath() const;

    // Creates an empty Stampwell.mdb in the program folder and opens it as the current connection.
    std::shared_ptr<data::Database> createDatabase();
    data::ConnectionSettings embeddedSettings() const;

    // Adds an employee with the given ID and returns its row key.
    static qint64 addEmployee(data::Database &db, const QString &id, int disabled = 0,
                              const QString &level = QStringLiteral("2-Standard User"),
                              const QString &password = QString());

    static void setTime(const QDateTime &time);

    // The rows of AuditTable, oldest first: ChangedAt, StationName, AdminUserID, Action,
    // TableName, RowKey, OldValues and NewValues as texts. None while the table is missing.
    static QList<QStringList> auditRows(data::Database &db);

private:
    QTemporaryDir m_dir;
};
