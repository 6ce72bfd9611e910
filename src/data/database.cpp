// What every engine shares: rows, the connection rule that picks an engine, and the
// running of statements and transactions. Each engine's opening and its own rules are in
// embeddedconnection.cpp, sqlserverconnection.cpp and postgresconnection.cpp.
#include "data/database.h"

#include "data/connectiondetail.h"
#include "platform/regional.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

namespace data {

using detail::sqliteHandle;
using detail::sqliteStatement;

namespace {
const QString CanonicalFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Held on the heap and released with the application object: the connection must close
// while the SQL driver registry still exists.
std::shared_ptr<Database> &currentConnection()
{
    static auto *connection = [] {
        auto *holder = new std::shared_ptr<Database>;
        if (QCoreApplication::instance())
            qAddPostRoutine([] { currentConnection().reset(); });
        return holder;
    }();
    return *connection;
}

QString canonical(const QDateTime &value)
{
    return value.toString(CanonicalFormat);
}
} // namespace

QString DbError::numberAndDescription() const
{
    return QString::number(number) + QStringLiteral("\r\n") + description;
}

Row::Row(std::shared_ptr<const QHash<QString, int>> columns, QList<QVariant> values,
         std::shared_ptr<const QList<bool>> storedDateTimes)
    : m_columns(std::move(columns)), m_values(std::move(values)), m_storedDateTimes(std::move(storedDateTimes))
{
}

bool Row::isStoredDateTime(int index) const
{
    return m_storedDateTimes && index >= 0 && index < m_storedDateTimes->size() && m_storedDateTimes->at(index)
           && m_values.at(index).typeId() == QMetaType::QString;
}

QDateTime Row::wallDateTime(int index) const
{
    QDate date;
    QTime time;
    if (isStoredDateTime(index) && regional::parseStoredForm(m_values.at(index).toString(), &date, &time))
        return QDateTime(date, time, Qt::UTC);
    const QVariant v = value(index);
    if (!v.isValid() || v.isNull())
        return {};
    QDateTime local;
    if (v.typeId() == QMetaType::QDateTime)
        local = v.toDateTime();
    else if (v.typeId() == QMetaType::QDate)
        local = QDateTime(v.toDate(), QTime(0, 0));
    else
        local = regional::parseDateTime(v.toString()).value_or(QDateTime());
    return local.isValid() ? QDateTime(local.date(), local.time(), Qt::UTC) : QDateTime();
}

bool Row::has(const QString &column) const
{
    return m_columns && m_columns->contains(column.toLower());
}

QVariant Row::value(const QString &column) const
{
    return value(indexOf(column));
}

int Row::indexOf(const QString &column) const
{
    return m_columns ? m_columns->value(column.toLower(), -1) : -1;
}

QVariant Row::value(int index) const
{
    if (index < 0 || index >= m_values.size())
        return {};
    if (isStoredDateTime(index)) {
        if (auto parsed = regional::parseDateTime(m_values.at(index).toString()))
            return *parsed;
    }
    return m_values.at(index);
}

bool Row::isNull(const QString &column) const
{
    const QVariant v = value(column);
    return !v.isValid() || v.isNull();
}

QString Row::text(const QString &column) const
{
    return text(indexOf(column));
}

QString Row::text(int index) const
{
    if (isStoredDateTime(index)) {
        QDate date;
        QTime time;
        if (regional::parseStoredForm(m_values.at(index).toString(), &date, &time))
            return regional::generalDate(date, time);
    }
    const QVariant v = value(index);
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return regional::generalDate(v.toDateTime());
    case QMetaType::QDate:
        return regional::generalDate(QDateTime(v.toDate(), QTime(0, 0)));
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (d == static_cast<double>(static_cast<qint64>(d)))
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 15);
    }
    default:
        return v.toString();
    }
}

double Row::number(const QString &column) const
{
    bool ok = false;
    const double d = value(column).toString().trimmed().toDouble(&ok);
    return ok ? d : 0.0;
}

Database::Database()
{
    static QAtomicInt counter;
    m_name = QStringLiteral("chronotally-%1").arg(counter.fetchAndAddRelaxed(1));
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

std::shared_ptr<Database> Database::openOwn(const ConnectionSettings &settings)
{
    std::shared_ptr<Database> db(new Database);
    db->m_engine = settings.engine();
    switch (db->m_engine) {
    case Engine::Embedded:
        db->m_openError = db->openEmbedded(settings.accessFolder, settings.readOnly);
        break;
    case Engine::SqlServer:
        db->m_openError = db->openSqlServer(settings);
        break;
    case Engine::PostgreSql:
        db->m_openError = db->openPostgreSql(settings);
        break;
    }
    return db;
}

std::shared_ptr<Database> Database::open(const ConnectionSettings &settings)
{
    std::shared_ptr<Database> db = openOwn(settings);
    currentConnection() = db;
    return db;
}

std::shared_ptr<Database> Database::current()
{
    if (!currentConnection()) {
        std::shared_ptr<Database> closed(new Database);
        closed->m_openError = {errors::GeneralFailure,
                               QStringLiteral("The database connection is not open.")};
        currentConnection() = closed;
    }
    return currentConnection();
}

bool Database::isOpen() const
{
    return !m_openError && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Database::handle() const
{
    return QSqlDatabase::database(m_name, false);
}

QString Database::dateDiffUnit(char unit, Engine engine)
{
    return engine == Engine::SqlServer ? QString(QLatin1Char(unit)) : QStringLiteral("'%1'").arg(QLatin1Char(unit));
}

QVariant Database::bindable(const QVariant &value) const
{
    if (m_engine == Engine::SqlServer)
        return value;
    // An invalid date or time is stored as NULL, never as an empty text. PostgreSQL gets
    // the same stored form, which its timestamp columns keep as the wall-clock time it is,
    // whatever the time zones of the station and the server.
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().isValid() ? QVariant(canonical(value.toDateTime())) : QVariant();
    case QMetaType::QDate:
        return value.toDate().isValid() ? QVariant(canonical(QDateTime(value.toDate(), QTime(0, 0)))) : QVariant();
    default:
        return value;
    }
}

DbError Database::errorFrom(const QSqlError &error)
{
    switch (m_engine) {
    case Engine::PostgreSql:
        return postgresError(error);
    case Engine::SqlServer:
        return sqlServerError(error);
    case Engine::Embedded:
        break;
    }
    return embeddedError(error);
}

void Database::startLockWait()
{
    // One wait for a locked file per statement, or per write transaction in all.
    if (!m_inTransaction)
        m_busyDeadline.setRemainingTime(LockWaitMs);
}

QueryResult Database::query(const QString &sql, const QVariantList &values)
{
    startLockWait();
    QueryResult result;
    result.error = run(sql, values, &result.rowsAffected, [&result](const Row &row) {
        result.rows.append(row);
        return true;
    });
    return result;
}

DbError Database::forEachRow(const QString &sql, const QVariantList &values,
                             const std::function<bool(const Row &)> &onRow)
{
    startLockWait();
    if (m_engine == Engine::Embedded && !m_openError) {
        if (sqlite3 *db = sqliteHandle(handle()))
            return streamEmbedded(db, sql, values, onRow);
    }
    return run(sql, values, nullptr, onRow);
}
DbError Database::run(const QString &sql, const QVariantList &values, int *rowsAffected,
                      const std::function<bool(const Row &)> &onRow)
{
    if (m_engine == Engine::Embedded)
        return runOnce(sql, values, rowsAffected, onRow);
    if (DbError lost = reopenIfLost())
        return lost;
    bool delivered = false;
    const auto counted = [&delivered, &onRow](const Row &row) {
        delivered = true;
        return onRow(row);
    };
    const DbError error = runOnce(sql, values, rowsAffected, counted);
    // A statement that met a broken connection outside a transaction runs once more on a
    // new one, unless rows of it were handed on already or nobody knows whether the server
    // ran it (it did not answer in time). Inside a transaction the failure is the answer:
    // the transaction went with the connection.
    if (!error || !m_lost || m_inTransaction || delivered || m_gaveUp)
        return error;
    if (DbError reopened = reopen())
        return reopened;
    return runOnce(sql, values, rowsAffected, counted);
}

DbError Database::reopenIfLost()
{
    const bool openFailed = m_openError && m_openError.unreachable;
    if (!m_lost && !openFailed && !(m_engine == Engine::PostgreSql && !m_openError && postgresLinkLost()))
        return {};
    m_lost = true;
    if (m_inTransaction)
        return {errors::GeneralFailure,
                QStringLiteral("The connection to the database was lost; the transaction was not written."), true};
    return reopen();
}

DbError Database::reopen()
{
    QSqlDatabase db = handle();
    if (!db.isValid())
        return m_openError;
    db.close();
    m_inTransaction = false;
    if (!db.open()) {
        DbError error = m_engine == Engine::PostgreSql ? postgresOpenError(db) : sqlServerOpenError(db);
        // A connection first opened is not opened again after a refused login either.
        if (m_openError)
            m_openError = error;
        return error;
    }
    m_lost = false;
    m_openError = {};
    return {};
}

DbError Database::runOnce(const QString &sql, const QVariantList &values, int *rowsAffected,
                          const std::function<bool(const Row &)> &onRow)
{
    m_gaveUp = false;
    if (m_openError)
        return m_openError;
    QSqlDatabase db = handle();
    if (!db.isOpen())
        return {errors::GeneralFailure, QStringLiteral("The database connection is not open."), m_engine != Engine::Embedded};

    if (m_engine == Engine::PostgreSql)
        return runPostgres(sql, values, rowsAffected, onRow);

    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return errorFrom(q.lastError());
    if (m_engine == Engine::SqlServer && m_statementTimeoutMs > 0)
        detail::limitOdbcStatement(q, m_statementTimeoutMs);
    for (const QVariant &v : values)
        q.addBindValue(bindable(v));
    if (!q.exec())
        return errorFrom(q.lastError());
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    if (!q.isSelect())
        return {};

    const QSqlRecord record = q.record();
    auto columns = std::make_shared<QHash<QString, int>>();
    QList<bool> isDateTime(record.count(), false);
    sqlite3_stmt *stmt = m_engine == Engine::Embedded ? sqliteStatement(q) : nullptr;
    for (int i = 0; i < record.count(); ++i) {
        columns->insert(record.fieldName(i).toLower(), i);
        if (stmt) {
            const char *declared = sqlite3_column_decltype(stmt, i);
            isDateTime[i] = declared && qstricmp(declared, "datetime") == 0;
        }
    }
    while (q.next()) {
        QList<QVariant> values;
        values.reserve(record.count());
        for (int i = 0; i < record.count(); ++i) {
            QVariant v = q.value(i);
            if (isDateTime[i] && !v.isNull()) {
                if (auto parsed = regional::parseDateTime(v.toString()))
                    v = *parsed;
            }
            values.append(v);
        }
        if (!onRow(Row(columns, std::move(values))))
            return {};
    }
    if (q.lastError().isValid())
        return errorFrom(q.lastError());
    return {};
}

DbError Database::exec(const QString &sql, const QVariantList &values)
{
    return query(sql, values).error;
}

DbError Database::beginWrite()
{
    return begin(nullptr);
}

DbError Database::beginWriteFor(const QString &userId)
{
    return begin(&userId);
}

DbError Database::begin(const QString *userId)
{
    if (m_openError && !m_openError.unreachable)
        return m_openError;
    DbError error;
    switch (m_engine) {
    case Engine::SqlServer:
        error = exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL SERIALIZABLE"));
        if (!error && !handle().transaction())
            error = errorFrom(handle().lastError());
        break;
    case Engine::Embedded:
        error = exec(QStringLiteral("BEGIN IMMEDIATE"));
        break;
    case Engine::PostgreSql:
        // A row lock rather than serializable isolation: no transaction fails for another's
        // sake, so nothing has to be run again, and a wait is at most the lock wait. Each
        // statement after the lock sees what the station before committed. The employee's
        // rows are found as the punch's own check finds them, case and all.
        // Through the station's own statement path, so that a server gone silent is waited
        // for no longer than the statements' time-out; the time-out holds for the
        // transaction only.
        if (DbError begun = exec(QStringLiteral("BEGIN")))
            return begun;
        m_inTransaction = true;
        if (m_statementTimeoutMs > 0)
            error = exec(QStringLiteral("select set_config('statement_timeout', ?, true)"),
                         {QString::number(m_statementTimeoutMs)});
        if (!error)
            error = userId
                        ? exec(QStringLiteral("select ID from usertable where useridlogin = ? for update"), {*userId})
                        : exec(QStringLiteral("LOCK TABLE usertable IN SHARE ROW EXCLUSIVE MODE"));
        if (error)
            rollback();
        return error;
    }
    m_inTransaction = !error;
    return error;
}

DbError Database::commit()
{
    if (!m_inTransaction)
        return {};
    if (m_engine == Engine::PostgreSql) {
        // A transaction that failed on the server ends with the tag "ROLLBACK" instead.
        m_commandStatus.clear();
        const DbError error = exec(QStringLiteral("COMMIT"));
        m_inTransaction = false;
        if (error)
            return error;
        if (m_commandStatus != "COMMIT")
            return {errors::CommandFailed, QStringLiteral("Could not commit transaction")};
        return {};
    }
    if (m_engine == Engine::SqlServer) {
        // Still in the transaction while it ends, so that a broken connection is not opened
        // again for it.
        QSqlDatabase db = handle();
        const DbError error = m_lost ? reopenIfLost() : db.commit() ? DbError() : errorFrom(db.lastError());
        m_inTransaction = false;
        return error;
    }
    m_inTransaction = false;
    const DbError error = exec(QStringLiteral("COMMIT"));
    if (error)
        exec(QStringLiteral("ROLLBACK"));
    return error;
}

void Database::rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    // A transaction lost with its connection is gone already; the next statement opens a
    // new connection.
    if (m_lost)
        return;
    if (m_engine == Engine::PostgreSql)
        runOnce(QStringLiteral("ROLLBACK"), {}, nullptr, [](const Row &) { return true; });
    else if (m_engine == Engine::SqlServer)
        handle().rollback();
    else
        exec(QStringLiteral("ROLLBACK"));
}

} // namespace data
