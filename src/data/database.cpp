#include "data/database.h"

#include "data/embeddedfunctions.h"
#include "platform/regional.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

namespace data {

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

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant v = db.driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(v.data());
    return nullptr;
}

sqlite3_stmt *sqliteStatement(const QSqlQuery &query)
{
    const QVariant v = query.result()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3_stmt*") == 0)
        return *static_cast<sqlite3_stmt *const *>(v.data());
    return nullptr;
}

// Messages of the ODBC driver come as "[FreeTDS][SQL Server]Text", several in a row; the
// station shows the first that says more than that the connection or statement failed.
QString cleanDescription(const QString &text)
{
    static const QRegularExpression tags(QStringLiteral("(\\[[^\\]]*\\])+"));
    static const QStringList generic{QStringLiteral("Unable to connect to data source"),
                                     QStringLiteral("Statement(s) could not be prepared.")};
    QStringList messages;
    for (const QString &piece : text.split(tags, Qt::SkipEmptyParts)) {
        QString message = piece.trimmed();
        const qsizetype driverNote = message.indexOf(QLatin1String("QODBC:"));
        if (driverNote >= 0)
            message = message.left(driverNote).trimmed();
        if (!message.isEmpty())
            messages << message;
    }
    for (const QString &message : messages) {
        if (!generic.contains(message))
            return message;
    }
    return messages.value(0);
}

QString canonical(const QDateTime &value)
{
    return value.toString(CanonicalFormat);
}

// PostgreSQL's messages come as "ERROR:  text", followed by the statement line, a caret
// under the place and the state code; a failed connection says where it tried first. The
// station shows the text, with any detail and hint, on one line.
QString postgresDescription(const QString &text)
{
    static const QRegularExpression severity(QStringLiteral("\\b(ERROR|FATAL|PANIC):\\s+"));
    static const QRegularExpression state(QStringLiteral("^\\([0-9A-Z]{5}\\)$"));
    QStringList kept;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("LINE ")) || line.startsWith(QLatin1Char('^'))
            || state.match(line).hasMatch())
            continue;
        kept << line.replace(severity, QString());
    }
    return kept.join(QLatin1Char(' '));
}

// A refused login as libpq words it: a wrong password, none given, an unknown role, or no
// entry for the user in the server's access rules.
bool postgresLoginRefused(const QString &text)
{
    return text.contains(QLatin1String("authentication failed")) || text.contains(QLatin1String("no password supplied"))
           || (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist")))
           || text.contains(QLatin1String("no pg_hba.conf entry"));
}

// "host:port", "[v6 address]:port" or "host,port" into host and port (empty: the default).
// A single host name or a socket folder stands alone; a bare IPv6 address has no port.
std::pair<QString, QString> hostAndPort(const QString &text)
{
    QString server = text.trimmed();
    if (server.startsWith(QLatin1Char('['))) {
        const qsizetype close = server.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString rest = server.mid(close + 1);
            const QString port = rest.startsWith(QLatin1Char(':')) || rest.startsWith(QLatin1Char(','))
                                     ? rest.mid(1).trimmed()
                                     : QString();
            return {server.mid(1, close - 1), port};
        }
    }
    qsizetype split = server.lastIndexOf(QLatin1Char(','));
    if (split < 0 && server.count(QLatin1Char(':')) == 1)
        split = server.indexOf(QLatin1Char(':'));
    if (split < 0)
        return {server, QString()};
    return {server.left(split).trimmed(), server.mid(split + 1).trimmed()};
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

std::shared_ptr<Database> Database::open(const ConnectionSettings &settings)
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
    if (db->m_engine != Engine::Embedded && db->m_openError.number == errors::GeneralFailure)
        db->m_openError.unreachable = true;
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

QString Database::embeddedFilePath(const QString &folder)
{
    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')) && !path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path + DatabaseFileName;
}

DbError Database::openEmbedded(const QString &folder, bool readOnly)
{
    const QString path = embeddedFilePath(folder);
    // Opening never creates the file: a missing file is the general failure.
    if (!QFileInfo(path).isFile())
        return {errors::GeneralFailure, QStringLiteral("Could not find file '%1'.").arg(path)};

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    if (readOnly)
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return {errors::GeneralFailure, db.lastError().text()};

    sqlite3 *handle = sqliteHandle(db);
    if (!handle)
        return {errors::GeneralFailure, QStringLiteral("The embedded database engine is not available.")};
    registerEmbeddedFunctions(handle);
    sqlite3_busy_handler(handle, &Database::busyWait, this);
    m_busyDeadline.setRemainingTime(LockWaitMs);

    // A file that is not a database, or is locked beyond the time-out, fails here.
    QSqlQuery probe(db);
    // A reader leaves the journal as the writers keep it.
    if (!probe.exec(readOnly ? QStringLiteral("select count(*) from sqlite_master")
                             : QStringLiteral("PRAGMA journal_mode=DELETE")))
        return {errors::GeneralFailure, probe.lastError().databaseText()};
    // Room for the pages of a long report (16 MB instead of 2), so that reading it does not
    // fetch the same pages from the file again and again.
    probe.exec(QStringLiteral("PRAGMA cache_size=-16384"));
    return {};
}

DbError Database::openSqlServer(const ConnectionSettings &s)
{
    // Values holding the separator are braced so that they cannot change the string's meaning.
    auto value = [](const QString &v) {
        if (v.contains(QLatin1Char(';')) || v.contains(QLatin1Char('{')) || v.contains(QLatin1Char('}')))
            return QLatin1Char('{') + QString(v).replace(QStringLiteral("}"), QStringLiteral("}}")) + QLatin1Char('}');
        return v;
    };
    QString server = s.server.trimmed();
    QString port;
    const qsizetype comma = server.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        port = server.mid(comma + 1).trimmed();
        server = server.left(comma).trimmed();
    }
    QString connection = QStringLiteral("DRIVER={FreeTDS};SERVER=%1;DATABASE=%2;UID=%3;PWD=%4;TDS_Version=7.4;ClientCharset=UTF-8")
                             .arg(value(server), value(s.database), value(s.user), value(s.password));
    if (!port.isEmpty())
        connection += QStringLiteral(";PORT=") + value(port);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
    if (!db.isValid())
        return {errors::GeneralFailure, QStringLiteral("The SQL Server driver is not installed.")};
    db.setDatabaseName(connection);
    db.setConnectOptions(s.readOnly ? QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=5;SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY")
                                    : QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=5"));
    if (db.open())
        return {};

    const QSqlError error = db.lastError();
    const QString text = error.databaseText();
    const bool login = error.nativeErrorCode().contains(QLatin1String("18456"))
                       || text.contains(QLatin1String("Login failed"), Qt::CaseInsensitive);
    QString description = cleanDescription(text);
    if (description.isEmpty())
        description = QStringLiteral("[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied.");
    return {login ? errors::LoginFailed : errors::GeneralFailure, description};
}

DbError Database::openPostgreSql(const ConnectionSettings &s)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    if (!db.isValid())
        return {errors::GeneralFailure, QStringLiteral("The PostgreSQL driver is not installed.")};
    // An empty host is the local server's socket; a folder is a socket folder.
    const auto [host, port] = hostAndPort(s.server);
    db.setHostName(host);
    if (!port.isEmpty()) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number <= 0 || number > 65535)
            return {errors::GeneralFailure, QStringLiteral("\"%1\" is not a port number.").arg(port)};
        db.setPort(number);
    }
    db.setDatabaseName(s.database);
    db.setUserName(s.user);
    db.setPassword(s.password);
    // A server that does not answer fails within the same 5 s as SQL Server's login. A row
    // another station holds locked is waited for as long as a locked embedded file. Notices
    // ("already exists, skipping") are not the station's business. Date-times come as
    // "yyyy-mm-dd hh:mm:ss", the stored form, whatever the server's own default. A connection
    // that only reads runs every statement in a read-only transaction.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;options='-c lock_timeout=%1 -c client_min_messages=warning "
                                        "-c datestyle=ISO%2'")
                             .arg(LockWaitMs)
                             .arg(s.readOnly ? QStringLiteral(" -c default_transaction_read_only=on") : QString()));
    if (db.open())
        return {};
    const QString text = db.lastError().databaseText();
    QString description = postgresDescription(text);
    if (description.isEmpty())
        description = db.lastError().text();
    return {postgresLoginRefused(text) ? errors::LoginFailed : errors::GeneralFailure, description};
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

DbError Database::errorFrom(const QSqlError &error) const
{
    QString description = cleanDescription(error.databaseText());
    if (description.isEmpty())
        description = error.text();
    int number = errors::CommandFailed;
    if (m_engine == Engine::PostgreSql) {
        description = postgresDescription(error.databaseText());
        if (description.isEmpty())
            description = error.text();
        const QString state = error.nativeErrorCode();
        if (state == QLatin1String("42P01"))
            number = errors::InvalidObject;
        // A lost connection (libpq's own messages carry no state), a server shutting down, a
        // row locked beyond the wait.
        else if (error.type() == QSqlError::ConnectionError || state.startsWith(QLatin1String("08"))
                 || state.startsWith(QLatin1String("57P")) || state == QLatin1String("55P03")
                 || (state.isEmpty() && (description.contains(QLatin1String("connection"))
                                         || description.contains(QLatin1String("server")))))
            number = errors::GeneralFailure;
    } else if (m_engine == Engine::SqlServer) {
        if (error.nativeErrorCode().contains(QLatin1String("208")))
            number = errors::InvalidObject;
        else if (error.type() == QSqlError::ConnectionError)
            number = errors::GeneralFailure;
    } else if (description.startsWith(QLatin1String("no such table"))) {
        number = errors::InvalidObject;
    } else if (description.contains(QLatin1String("locked")) || description.contains(QLatin1String("disk I/O"))
               || description.contains(QLatin1String("unable to open"))) {
        number = errors::GeneralFailure;
    }
    return {number, description};
}

int Database::busyWait(void *self, int)
{
    // Another station or program holds the file: try again until the deadline of the
    // statement (or of the whole write transaction) has passed.
    if (static_cast<Database *>(self)->m_busyDeadline.hasExpired())
        return 0;
    sqlite3_sleep(10);
    return 1;
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

// Reads an embedded result straight from the engine: long reports spend most of their
// time turning cells into values. A text equal to the same column's text in the row before
// shares that row's value, as the employee's columns do on every punch of a report.
DbError Database::streamEmbedded(sqlite3 *db, const QString &sql, const QVariantList &values,
                                 const std::function<bool(const Row &)> &onRow)
{
    auto failure = [this, db] {
        return errorFrom(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)), QSqlError::StatementError,
                                   QString::number(sqlite3_extended_errcode(db))));
    };
    sqlite3_stmt *raw = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &raw, nullptr) != SQLITE_OK)
        return failure();
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> stmt(raw, sqlite3_finalize);

    if (sqlite3_bind_parameter_count(raw) != values.size())
        return {errors::CommandFailed, QStringLiteral("Parameter count mismatch")};
    for (int i = 0; i < values.size(); ++i) {
        const QVariant v = bindable(values[i]);
        int rc = SQLITE_OK;
        if (!v.isValid() || v.isNull()) {
            rc = sqlite3_bind_null(raw, i + 1);
        } else {
            switch (v.typeId()) {
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
                rc = sqlite3_bind_int64(raw, i + 1, v.toLongLong());
                break;
            case QMetaType::Double:
                rc = sqlite3_bind_double(raw, i + 1, v.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray blob = v.toByteArray();
                rc = sqlite3_bind_blob(raw, i + 1, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                // In the file's own encoding: a value in another is converted again on every
                // row that compares with it.
                const QByteArray s = v.toString().toUtf8();
                rc = sqlite3_bind_text(raw, i + 1, s.constData(), int(s.size()), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (rc != SQLITE_OK)
            return failure();
    }

    const int count = sqlite3_column_count(raw);
    auto columns = std::make_shared<QHash<QString, int>>();
    auto isDateTime = std::make_shared<QList<bool>>(count, false);
    for (int i = 0; i < count; ++i) {
        columns->insert(QString::fromUtf8(sqlite3_column_name(raw, i)).toLower(), i);
        const char *declared = sqlite3_column_decltype(raw, i);
        (*isDateTime)[i] = declared && qstricmp(declared, "datetime") == 0;
    }
    // The values of the current row, overwritten in place row after row while no reader
    // keeps a row; a text equal to the one before is left as it is.
    QList<QVariant> cells(count);
    QList<QByteArray> texts(count);
    QList<bool> holdsText(count, false);
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        for (int i = 0; i < count; ++i) {
            const int type = sqlite3_column_type(raw, i);
            if (type == SQLITE_TEXT) {
                const char *cell = reinterpret_cast<const char *>(sqlite3_column_text(raw, i));
                const int bytes = sqlite3_column_bytes(raw, i);
                if (holdsText[i] && QByteArrayView(texts[i]) == QByteArrayView(cell, bytes))
                    continue;
                // Date-times stay in their stored form until a reader asks for them.
                cells[i] = QString::fromUtf8(cell, bytes);
                texts[i] = QByteArray(cell, bytes);
                holdsText[i] = true;
                continue;
            }
            holdsText[i] = false;
            switch (type) {
            case SQLITE_INTEGER:
                cells[i] = qlonglong(sqlite3_column_int64(raw, i));
                break;
            case SQLITE_FLOAT:
                cells[i] = sqlite3_column_double(raw, i);
                break;
            case SQLITE_BLOB:
                cells[i] = QByteArray(static_cast<const char *>(sqlite3_column_blob(raw, i)), sqlite3_column_bytes(raw, i));
                break;
            default:
                // NULL, as a text column's NULL, like the engine's own driver reads it.
                cells[i] = QVariant(QMetaType::fromType<QString>());
                break;
            }
        }
        if (!onRow(Row(columns, cells, isDateTime)))
            return {};
    }
    if (rc != SQLITE_DONE)
        return failure();
    return {};
}

DbError Database::run(const QString &sql, const QVariantList &values, int *rowsAffected,
                      const std::function<bool(const Row &)> &onRow)
{
    if (m_openError)
        return m_openError;
    QSqlDatabase db = handle();
    if (!db.isOpen())
        return {errors::GeneralFailure, QStringLiteral("The database connection is not open.")};

    if (m_engine == Engine::PostgreSql)
        return runPostgres(sql, values, rowsAffected, onRow);

    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return errorFrom(q.lastError());
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
    if (m_openError)
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
        if (!handle().transaction())
            return errorFrom(handle().lastError());
        m_inTransaction = true;
        error = userId ? exec(QStringLiteral("select ID from usertable where useridlogin = ? for update"), {*userId})
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
    m_inTransaction = false;
    if (m_engine != Engine::Embedded) {
        QSqlDatabase db = handle();
        if (!db.commit())
            return errorFrom(db.lastError());
        return {};
    }
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
    if (m_engine != Engine::Embedded)
        handle().rollback();
    else
        exec(QStringLiteral("ROLLBACK"));
}

} // namespace data
