#include "data/schema.h"

#include "data/audittable.h"
#include "data/paytables.h"
#include "data/replayedpunches.h"
#include "platform/clipboard.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace data {

namespace {
// Text the statements compare or sort ignores case, as on SQL Server: an ID keyed in lower
// case finds its employee, and the employee list sorts names alphabetically. On the
// embedded engine the built-in NOCASE keeps the file readable by any SQLite tool; the
// indexes on these columns take the column's collation.
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
    // The audit trail's table, made here too, so that stations whose login may not create
    // tables still record their changes.
    for (const QString &statement : auditTableStatements(AuditDialect::SqlServer))
        lines << statement.split(QStringLiteral("\r\n"));
    lines << payTableStatements(AuditDialect::SqlServer);
    lines << replayedPunchesStatements(AuditDialect::SqlServer);
    return lines;
}

QString sqlTableScript()
{
    return sqlTableScriptLines().join(QStringLiteral("\r\n"));
}

QStringList postgreSqlTableScriptLines()
{
    // Case-insensitive comparison and ordering by ICU's secondary strength (accents count,
    // case does not). A nondeterministic collation takes no LIKE, which no statement uses.
    QStringList lines{
        QStringLiteral("CREATE COLLATION IF NOT EXISTS NoCase (provider = icu, locale = 'und-u-ks-level2', deterministic = false);"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS ClockTable ("),
        QStringLiteral("    ID integer GENERATED BY DEFAULT AS IDENTITY NOT NULL,"),
        QStringLiteral("    ClockedIn timestamp NULL,"),
        QStringLiteral("    ClockedOut timestamp NULL,"),
        QStringLiteral("    TotalClock integer NULL,"),
        QStringLiteral("    RowDate timestamp NULL,"),
        QStringLiteral("    UserIDLogin varchar(50) COLLATE NoCase NULL"),
        QStringLiteral(");"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ClockTableID ON ClockTable (ID);"),
        // A punch finds the ID's open rows and its rows still to be totalled without
        // walking the ID's history; the last index holds the report's order and every
        // column the report reads of a punch.
        QStringLiteral("CREATE INDEX IF NOT EXISTS ClockTableOpen ON ClockTable (UserIDLogin) WHERE ClockedOut IS NULL;"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ClockTableUntotalled ON ClockTable (UserIDLogin) WHERE TotalClock IS NULL;"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ClockTableReport ON ClockTable (UserIDLogin, ClockedIn, ClockedOut, RowDate, TotalClock);"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS UserTable ("),
        QStringLiteral("    ID integer GENERATED BY DEFAULT AS IDENTITY NOT NULL,"),
    };
    const QList<Column> &columns = userTableColumns();
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString type = QLatin1String(columns[i].type) == QLatin1String("[int]")
                                 ? QStringLiteral("integer")
                                 : QString::fromLatin1(columns[i].type).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
        lines << QStringLiteral("    %1 %2%3 NULL%4")
                     .arg(QLatin1String(columns[i].name), type,
                          caseInsensitive(columns[i].name) ? QStringLiteral(" COLLATE NoCase") : QString(),
                          i == columns.size() - 1 ? QString() : QStringLiteral(","));
    }
    lines << QStringLiteral(");")
          << QStringLiteral("CREATE INDEX IF NOT EXISTS UserTableID ON UserTable (ID);")
          << QStringLiteral("CREATE INDEX IF NOT EXISTS UserTableUserIDLogin ON UserTable (UserIDLogin);")
          // DateDiff counts the unit's boundaries crossed between two wall-clock times, as
          // on the embedded engine; one SQL expression, so the planner inlines it and a
          // constant unit picks its branch once per statement.
          << QStringLiteral("CREATE OR REPLACE FUNCTION DateDiffInterval(unit text) RETURNS bigint LANGUAGE plpgsql IMMUTABLE AS $$")
          << QStringLiteral("BEGIN")
          << QStringLiteral("    IF unit IS NULL THEN RETURN NULL; END IF;")
          << QStringLiteral("    RAISE EXCEPTION 'Invalid procedure call or argument: unknown DateDiff interval %', unit;")
          << QStringLiteral("END $$;")
          << QStringLiteral("CREATE OR REPLACE FUNCTION DateDiff(unit text, a timestamp, b timestamp) RETURNS bigint")
          << QStringLiteral("LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$")
          << QStringLiteral("SELECT (CASE lower(btrim(unit))")
          << QStringLiteral("    WHEN 's' THEN floor(extract(epoch FROM b)) - floor(extract(epoch FROM a))")
          << QStringLiteral("    WHEN 'n' THEN floor(extract(epoch FROM b) / 60) - floor(extract(epoch FROM a) / 60)")
          << QStringLiteral("    WHEN 'h' THEN floor(extract(epoch FROM b) / 3600) - floor(extract(epoch FROM a) / 3600)")
          << QStringLiteral("    WHEN 'd' THEN b::date - a::date")
          << QStringLiteral("    WHEN 'y' THEN b::date - a::date")
          << QStringLiteral("    WHEN 'w' THEN (b::date - a::date) / 7")
          << QStringLiteral("    WHEN 'ww' THEN floor((b::date - date '1899-12-31') / 7.0) - floor((a::date - date '1899-12-31') / 7.0)")
          << QStringLiteral("    WHEN 'm' THEN (extract(year FROM b) - extract(year FROM a)) * 12 + extract(month FROM b) - extract(month FROM a)")
          << QStringLiteral("    WHEN 'q' THEN extract(year FROM b) * 4 + floor((extract(month FROM b) - 1) / 3)")
          << QStringLiteral("        - extract(year FROM a) * 4 - floor((extract(month FROM a) - 1) / 3)")
          << QStringLiteral("    WHEN 'yyyy' THEN extract(year FROM b) - extract(year FROM a)")
          << QStringLiteral("    ELSE DateDiffInterval(unit)")
          << QStringLiteral("END)::bigint $$;")
          // len counts characters; a date-time counts those of its text form, and a time
          // alone (kept on the zero date) those of the time, so "len(...) > 12" leaves it out.
          << QStringLiteral("CREATE OR REPLACE FUNCTION len(value text) RETURNS integer LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT length(value)$$;")
          << QStringLiteral("CREATE OR REPLACE FUNCTION len(value timestamp) RETURNS integer LANGUAGE sql STABLE PARALLEL SAFE AS "
                            "$$SELECT CASE WHEN value::date = date '1899-12-30' THEN length(value::time::text) ELSE length(value::text) END$$;");
    for (const QString &statement : auditTableStatements(AuditDialect::PostgreSql)) {
        lines << statement.split(QLatin1Char('\n'));
        lines.last() += QLatin1Char(';');
    }
    for (const QString &statement :
         payTableStatements(AuditDialect::PostgreSql) + replayedPunchesStatements(AuditDialect::PostgreSql))
        lines << statement + QLatin1Char(';');
    return lines;
}

QString postgreSqlTableScript()
{
    return postgreSqlTableScriptLines().join(QStringLiteral("\r\n"));
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
    const QStringList statements = QStringList{
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
    } + auditTableStatements(AuditDialect::Embedded) + replayedPunchesStatements(AuditDialect::Embedded);

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
    const QString script =
        settings.serverEngine() == Engine::PostgreSql ? postgreSqlTableScript() : sqlTableScript();
    ConnectionSettings server = settings;
    server.useSqlDb = true;
    const std::shared_ptr<Database> db = Database::open(server);
    if (db->openError())
        return db->openError();
    platform::Clipboard::setText(script);
    return db->exec(script);
}

} // namespace data
