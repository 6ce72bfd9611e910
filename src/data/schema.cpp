#include "data/schema.h"

#include "platform/clipboard.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace data {

namespace {
// Text the statements compare or sort ignores case, as on the server engines: an ID keyed
// in lower case finds its employee, and the employee list sorts names alphabetically. The
// built-in NOCASE keeps the file readable by any SQLite tool; the indexes on these columns
// take the column's collation.
bool caseInsensitive(const char *column)
{
    const QLatin1String name(column);
    return name == QLatin1String("UserIDLogin") || name == QLatin1String("FirstName")
           || name == QLatin1String("LastName");
}
} // namespace

const QList<Column> &userTableColumns()
{
    static const QList<Column> columns{
        {"FirstName", "[varchar](50)"},   {"LastName", "[varchar](50)"},
        {"Address1", "[varchar](50)"},    {"Address2", "[varchar](50)"},
        {"City", "[varchar](50)"},        {"State", "[varchar](50)"},
        {"ZipCode", "[varchar](50)"},     {"Phone1", "[varchar](50)"},
        {"Phone2", "[varchar](50)"},      {"SSNumber", "[varchar](50)"},
        {"Title", "[varchar](50)"},       {"Email", "[varchar](50)"},
        {"Memos", "[varchar](2000)"},     {"Notes", "[varchar](2000)"},
        {"AdminLevel", "[varchar](50)"},  {"UserIDLogin", "[varchar](50)"},
        {"Disabled", "[int]"},            {"Passwordf", "[varchar](50)"},
        {"UserPhoto", "[varchar](50)"},   {"PhotoEnabled", "[int]"},
        {"SoundFileIn", "[varchar](50)"}, {"SoundFileOut", "[varchar](50)"},
        {"SoundEnabled", "[int]"},        {"PhotoDisplay", "[int]"},
        {"DisplayText", "[varchar](255)"},
        // Declared with a length: a bare [varchar] holds one character on SQL Server.
        {"HourlyRate", "[varchar](50)"},
        {"PhotoOnOff", "[int]"},          {"PhotoType", "[varchar](50)"},
        {"PhotoLocation", "[varchar](50)"},
    };
    return columns;
}

QStringList sqlTableScriptLines()
{
    QStringList lines{
        QStringLiteral(" if not exists (select * from dbo.sysobjects where id = object_id(N'[ClockTable]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"),
        QStringLiteral(" begin"),
        QStringLiteral(" CREATE TABLE [ClockTable]("),
        QStringLiteral("     [ID] [int] IDENTITY(1,1001) NOT NULL,"),
        QStringLiteral("     [ClockedIn] [datetime] NULL,"),
        QStringLiteral("     [ClockedOut] [datetime] NULL,"),
        QStringLiteral("     [TotalClock] [int] NULL,"),
        QStringLiteral("     [RowDate] [datetime] NULL,"),
        QStringLiteral("     [UserIDLogin] [varchar](50) NULL"),
        QStringLiteral(" ) ON [PRIMARY]"),
        QStringLiteral(" "),
        QStringLiteral(" CREATE NONCLUSTERED INDEX [IDIndex] ON [ClockTable] "),
        QStringLiteral(" ("),
        QStringLiteral(" [ID] ASC"),
        QStringLiteral(" )"),
        QStringLiteral(" "),
        QStringLiteral(" end"),
        QStringLiteral(" "),
        QStringLiteral(" if not exists (select * from dbo.sysobjects where id = object_id(N'[UserTable]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"),
        QStringLiteral(" begin"),
        QStringLiteral(" CREATE TABLE [UserTable]("),
        QStringLiteral("     [ID] [int] IDENTITY(1,1001) NOT NULL,"),
    };
    const QList<Column> &columns = userTableColumns();
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const bool last = i == columns.size() - 1;
        lines << QStringLiteral("     [%1] %2 NULL%3")
                     .arg(QLatin1String(columns[i].name), QLatin1String(columns[i].type),
                          last ? QString() : QStringLiteral(","));
    }
    lines << QStringLiteral(" ) ON [PRIMARY]") << QStringLiteral(" ")
          << QStringLiteral(" CREATE NONCLUSTERED INDEX [IDIndex] ON [UserTable] ")
          << QStringLiteral(" (") << QStringLiteral("     [ID] ASC") << QStringLiteral(" ) ")
          << QStringLiteral(" end ");
    return lines;
}

QString sqlTableScript()
{
    return sqlTableScriptLines().join(QStringLiteral("\r\n"));
}

DbError createEmbeddedDatabase(const QString &path)
{
    if (QFileInfo::exists(path))
        return {errors::GeneralFailure, QStringLiteral("The file '%1' already exists.").arg(path)};

    QString userColumns;
    for (const Column &c : userTableColumns()) {
        const QString type = QLatin1String(c.type);
        QString sqliteType = type == QLatin1String("[int]") ? QStringLiteral("INT")
                                                            : QString(type).remove(QLatin1Char('[')).remove(QLatin1Char(']')).toUpper();
        userColumns += QStringLiteral(",\n  %1 %2").arg(QLatin1String(c.name), sqliteType);
        if (caseInsensitive(c.name))
            userColumns += QStringLiteral(" COLLATE NOCASE");
    }
    const QStringList statements{
        QStringLiteral("CREATE TABLE ClockTable (\n  ID INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                       "  ClockedIn DATETIME,\n  ClockedOut DATETIME,\n  TotalClock INT,\n"
                       "  RowDate DATETIME,\n  UserIDLogin VARCHAR(50) COLLATE NOCASE)"),
        // Open punches of an ID, and its closed punches still to be totalled, are found
        // without walking the ID's history.
        QStringLiteral("CREATE INDEX ClockTableUserIDLogin ON ClockTable (UserIDLogin, ClockedOut)"),
        QStringLiteral("CREATE INDEX ClockTableUserIDLoginTotal ON ClockTable (UserIDLogin, TotalClock, ClockedOut)"),
        // The report reads punches in this order, and every column it reads of them is here:
        // it walks this index alone, without sorting.
        QStringLiteral("CREATE INDEX ClockTableReport ON ClockTable (UserIDLogin, ClockedIn, ClockedOut, RowDate, TotalClock)"),
        QStringLiteral("CREATE TABLE UserTable (\n  ID INTEGER PRIMARY KEY AUTOINCREMENT%1)").arg(userColumns),
        QStringLiteral("CREATE INDEX UserTableUserIDLogin ON UserTable (UserIDLogin)"),
    };

    const QString name = QStringLiteral("chronotally-create");
    DbError result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            result = {errors::GeneralFailure, db.lastError().text()};
        } else {
            QSqlQuery q(db);
            db.transaction();
            for (const QString &sql : statements) {
                if (!q.exec(sql)) {
                    result = {errors::CommandFailed, q.lastError().text()};
                    break;
                }
            }
            if (result)
                db.rollback();
            else
                db.commit();
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

DbError SQLTable(const ConnectionSettings &settings)
{
    const QString script = sqlTableScript();
    ConnectionSettings server = settings;
    server.useSqlServer = true;
    const std::shared_ptr<Database> db = Database::open(server);
    if (db->openError())
        return db->openError();
    platform::Clipboard::setText(script);
    return db->exec(script);
}

} // namespace data
