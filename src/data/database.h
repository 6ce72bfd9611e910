#pragma once

#include <QDateTime>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

struct sqlite3;

namespace data {

// Error numbers as the station reports them.
namespace errors {
inline constexpr int GeneralFailure = -2147467259; // 0x80004005: missing file, unreachable server
inline constexpr int LoginFailed = -2147217843;    // 0x80040E4D
inline constexpr int CommandFailed = -2147217900;  // 0x80040E14: a statement the engine rejected
inline constexpr int InvalidObject = -2147217865;  // 0x80040E37: a table that does not exist
} // namespace errors

struct DbError {
    int number = 0;
    QString description;
    // The server could not be reached: refused, lost, timed out or not answering. A punch
    // that meets such a failure is kept on the station until the server answers again.
    bool unreachable = false;

    bool isError() const { return number != 0; }
    explicit operator bool() const { return isError(); }
    // "number CRLF description", as several messages show it.
    QString numberAndDescription() const;
};

// The engine a connection works with.
enum class Engine { Embedded, SqlServer, PostgreSql };

// The kind of server "Use SQL DB" connects to.
enum class ServerKind { SqlServer, PostgreSql };

// Where the station's data lives: the embedded file, or a database on a server of the
// chosen kind.
struct ConnectionSettings {
    bool useSqlDb = false;  // "Use SQL DB": a server database instead of the embedded file
    ServerKind serverKind = ServerKind::SqlServer;
    QString accessFolder;   // folder of Stampwell.mdb
    QString user;
    QString password;
    QString database;
    QString server;         // address; "host:port" (or "host,port") names a port as well
    // A connection that only reads: the embedded file is opened read-only and a server
    // connection asks for read-only access.
    bool readOnly = false;

    // The engine the connection rule opens: the embedded one unless "Use SQL DB" is on.
    Engine engine() const { return useSqlDb ? serverEngine() : Engine::Embedded; }
    // The engine of the server kind, whatever "Use SQL DB" says.
    Engine serverEngine() const
    {
        return serverKind == ServerKind::PostgreSql ? Engine::PostgreSql : Engine::SqlServer;
    }
};

inline const QString DatabaseFileName = QStringLiteral("Stampwell.mdb");

// One row of a result, read by column name without regard to case. NULL reads as empty.
class Row
{
public:
    Row() = default;
    // storedDateTimes, when given, marks the columns whose values are date-times still in
    // their stored text form; they are read as date-times when asked for.
    Row(std::shared_ptr<const QHash<QString, int>> columns, QList<QVariant> values,
        std::shared_ptr<const QList<bool>> storedDateTimes = {});

    bool has(const QString &column) const;
    QVariant value(const QString &column) const;
    // Position of a column for the positional readers below, -1 when there is none. Rows of
    // one result share their columns, so a reader of many rows looks a name up once.
    int indexOf(const QString &column) const;
    QVariant value(int index) const;
    QString text(int index) const;
    // A date-time value's date and time as written, on the UTC line so that no local-time
    // rules are consulted: for minute and day arithmetic over many rows. Invalid when the
    // value is NULL or not a date-time.
    QDateTime wallDateTime(int index) const;
    bool isNull(const QString &column) const;
    // The value as text: NULL as empty, date-times in the regional general date form,
    // whole numbers without a decimal part.
    QString text(const QString &column) const;
    // The value as a number; NULL and non-numbers read as 0.
    double number(const QString &column) const;

private:
    bool isStoredDateTime(int index) const;

    std::shared_ptr<const QHash<QString, int>> m_columns;
    QList<QVariant> m_values;
    std::shared_ptr<const QList<bool>> m_storedDateTimes;
};

struct QueryResult {
    DbError error;
    QList<Row> rows;
    int rowsAffected = -1;

    bool ok() const { return !error; }
    // The first row, or an empty row when there is none.
    Row first() const { return rows.isEmpty() ? Row() : rows.first(); }
};

// One connection to the station's database. Statements keep their texts, and every value
// is bound as a parameter ("?" in the text, in order). Date-time values are bound as
// QDateTime or QDate.
class Database
{
public:
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens a new connection by the connection rule and makes it the current one; the
    // previous current connection is released once nobody holds it. On failure the new
    // connection is current, not open, and carries the error.
    static std::shared_ptr<Database> open(const ConnectionSettings &settings);
    // A connection by the same rule that does not become the current one: for a thread of its
    // own (a connection is used only on the thread that opened it).
    static std::shared_ptr<Database> openOwn(const ConnectionSettings &settings);
    // The connection opened last (never null: before any open it is a closed connection).
    static std::shared_ptr<Database> current();

    bool isOpen() const;
    Engine engine() const { return m_engine; }
    const DbError &openError() const { return m_openError; }

    QueryResult query(const QString &sql, const QVariantList &values = {});
    // Runs a query and hands each row to onRow as it is read, without keeping the rows, so
    // a long result costs the memory of one row. onRow returns false to stop reading. The
    // connection stays held while rows are read, also when onRow lets events run.
    DbError forEachRow(const QString &sql, const QVariantList &values,
                       const std::function<bool(const Row &)> &onRow);
    DbError exec(const QString &sql, const QVariantList &values = {});

    // A transaction that holds the write lock from its start, so a check and the write
    // that depends on it cannot interleave with another station's. The embedded file takes
    // the file's write lock and SQL Server runs it serializable. On PostgreSQL beginWrite
    // locks the employee table against other writers, for work that checks for an employee
    // not yet there; beginWriteFor locks the rows of the employee with the user ID (select
    // ... for update): two stations punching one ID take turns, and the second sees the
    // first's punch once it has the lock, while punches of other IDs go on in parallel.
    DbError beginWrite();
    DbError beginWriteFor(const QString &userId);
    DbError commit();
    void rollback();

    // The longest a statement, or a whole write transaction, waits for a file that another
    // station or program holds locked before it fails with the general failure; on
    // PostgreSQL the longest one statement waits for a locked row or table.
    static constexpr int LockWaitMs = 5000;

    // On the server engines the statements run while a StatementTimeout lives give up after
    // its time, with a failure that says the server could not be reached: the server cancels
    // a statement that runs too long (PostgreSQL inside a write transaction begun under it,
    // SQL Server's query time-out), and the station waits for an answer no longer than that
    // and a second, then drops the connection (a server that stopped answering). For the
    // punch, so that a server gone silent does not freeze the station; long reports run
    // without one.
    class StatementTimeout
    {
    public:
        StatementTimeout(Database &db, int ms) : m_db(db), m_previous(db.m_statementTimeoutMs)
        {
            db.m_statementTimeoutMs = ms;
        }
        ~StatementTimeout() { m_db.m_statementTimeoutMs = m_previous; }
        StatementTimeout(const StatementTimeout &) = delete;
        StatementTimeout &operator=(const StatementTimeout &) = delete;

    private:
        Database &m_db;
        int m_previous;
    };
    // The punch's time-out: longer than the wait for a row another station holds locked,
    // and with the wait for the answer within the 10 s in which a dead link is found.
    static constexpr int PunchTimeoutMs = 7000;

    // The bare unit on SQL Server, the quoted one on the embedded engine and PostgreSQL:
    // "n" or "'n'".
    QString dateDiffUnit(char unit) const { return dateDiffUnit(unit, m_engine); }
    static QString dateDiffUnit(char unit, Engine engine);

    QSqlDatabase handle() const;

    // The path of the embedded database file in a folder.
    static QString embeddedFilePath(const QString &folder);

private:
    Database();
    DbError openEmbedded(const QString &folder, bool readOnly);
    DbError openSqlServer(const ConnectionSettings &settings);
    DbError openPostgreSql(const ConnectionSettings &settings);
    DbError begin(const QString *userId);
    QVariant bindable(const QVariant &value) const;
    DbError errorFrom(const class QSqlError &error);
    DbError embeddedError(const QSqlError &error) const;
    DbError sqlServerError(const QSqlError &error);
    DbError postgresError(const QSqlError &error);
    DbError sqlServerOpenError(const QSqlDatabase &db) const;
    DbError postgresOpenError(const QSqlDatabase &db) const;
    // Server engines: a connection that broke is opened again, with the same settings, at
    // the next statement.
    bool postgresLinkLost();
    DbError reopenIfLost();
    DbError reopen();
    static int busyWait(void *self, int count);
    void startLockWait();
    DbError run(const QString &sql, const QVariantList &values, int *rowsAffected,
                const std::function<bool(const Row &)> &onRow);
    DbError runOnce(const QString &sql, const QVariantList &values, int *rowsAffected,
                    const std::function<bool(const Row &)> &onRow);
    DbError runPostgres(const QString &sql, const QVariantList &values, int *rowsAffected,
                        const std::function<bool(const Row &)> &onRow);
    DbError streamEmbedded(::sqlite3 *db, const QString &sql, const QVariantList &values,
                           const std::function<bool(const Row &)> &onRow);

    QString m_name;
    Engine m_engine = Engine::Embedded;
    bool m_inTransaction = false;
    QDeadlineTimer m_busyDeadline;
    DbError m_openError;
    int m_statementTimeoutMs = 0;
    // The connection broke, or was given up: it is opened again at the next statement, and
    // a transaction it held is gone.
    bool m_lost = false;
    // The last statement waited for an answer beyond its time-out.
    bool m_gaveUp = false;
    // The command tag of PostgreSQL's last statement ("COMMIT", "ROLLBACK"...).
    QByteArray m_commandStatus;
};

} // namespace data
