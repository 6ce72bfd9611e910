// PostgreSQL: opening a connection, its messages, and statements sent through the
// connection's own libpq handle: one round trip per statement (the driver would prepare,
// execute and release a named statement), rows handed on one at a time as they arrive, and
// cells turned into values the way the embedded engine's reader does it.
#include "data/database.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>

#include <libpq-fe.h>

#include <poll.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace data {

namespace {
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

// The built-in types whose values are not read as text.
constexpr Oid BoolType = 16;
constexpr Oid Int8Type = 20;
constexpr Oid Int2Type = 21;
constexpr Oid Int4Type = 23;
constexpr Oid Float4Type = 700;
constexpr Oid Float8Type = 701;
constexpr Oid NumericType = 1700;
constexpr Oid DateType = 1082;
constexpr Oid TimestampType = 1114;

enum class Kind { Text, Integer, Real, Boolean, DateTime };

Kind kindOf(Oid type)
{
    switch (type) {
    case Int8Type:
    case Int2Type:
    case Int4Type:
        return Kind::Integer;
    case Float4Type:
    case Float8Type:
    case NumericType:
        return Kind::Real;
    case BoolType:
        return Kind::Boolean;
    case DateType:
    case TimestampType:
        return Kind::DateTime;
    default:
        return Kind::Text;
    }
}

PGconn *connectionOf(const QSqlDatabase &db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    // The driver names the handle by libpq's struct.
    if (v.isValid() && (qstrcmp(v.typeName(), "pg_conn*") == 0 || qstrcmp(v.typeName(), "PGconn*") == 0))
        return *static_cast<PGconn *const *>(v.data());
    return nullptr;
}

// The statement with its "?" placeholders numbered as PostgreSQL's $1, $2...; quoted texts
// and quoted names are left as they are.
QByteArray numberedPlaceholders(const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    QByteArray out;
    out.reserve(text.size() + 16);
    char quote = 0;
    int number = 0;
    for (const char c : text) {
        if (quote) {
            if (c == quote)
                quote = 0;
            out += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == '?') {
            out += '$' + QByteArray::number(++number);
        } else {
            out += c;
        }
    }
    return out;
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;
} // namespace

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
    // A server that does not answer fails within the same 5 s as SQL Server's login. A link
    // that goes silent is found by TCP within 10 s: keep-alive probes after 3 s without
    // traffic, every 2 s, 3 unanswered; data the server does not acknowledge for 9 s. A row
    // another station holds locked is waited for as long as a locked embedded file. Notices
    // ("already exists, skipping") are not the station's business. Date-times come as
    // "yyyy-mm-dd hh:mm:ss", the stored form, whatever the server's own default. A connection
    // that only reads runs every statement in a read-only transaction.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=3;keepalives_interval=2;"
                                        "keepalives_count=3;tcp_user_timeout=9000;"
                                        "options='-c lock_timeout=%1 -c client_min_messages=warning "
                                        "-c datestyle=ISO%2'")
                             .arg(LockWaitMs)
                             .arg(s.readOnly ? QStringLiteral(" -c default_transaction_read_only=on") : QString()));
    if (db.open())
        return {};
    return postgresOpenError(db);
}

DbError Database::postgresOpenError(const QSqlDatabase &db) const
{
    const QString text = db.lastError().databaseText();
    QString description = postgresDescription(text);
    if (description.isEmpty())
        description = db.lastError().text();
    const bool login = postgresLoginRefused(text);
    // Refused, timed out or not found on the network, or a server starting up or shutting
    // down; any other answer of the server (no such database...) says it was reached.
    const bool unreachable = !login && (!text.contains(QLatin1String("FATAL:"))
                                        || text.contains(QLatin1String("the database system is")));
    return {login ? errors::LoginFailed : errors::GeneralFailure, description, unreachable};
}

DbError Database::postgresError(const QSqlError &error)
{
    int number = errors::CommandFailed;
    QString description = postgresDescription(error.databaseText());
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
    // The connection is gone: ended by the server (shut down, restarted, its backend
    // terminated) or by the network.
    const PGconn *connection = connectionOf(handle());
    if (!connection || PQstatus(connection) != CONNECTION_OK || error.type() == QSqlError::ConnectionError
        || state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P0")))
        m_lost = true;
    // The statement time-out cancelled the statement; the connection is still there.
    const bool cancelled = state == QLatin1String("57014");
    if (cancelled)
        number = errors::GeneralFailure;
    return {number, description, m_lost || cancelled};
}

bool Database::postgresLinkLost()
{
    // Between statements nothing is due from the server: anything to read is the notice of
    // a server ending the connection, or the end of the connection itself.
    PGconn *connection = connectionOf(handle());
    if (!connection || PQstatus(connection) != CONNECTION_OK)
        return true;
    pollfd socket{PQsocket(connection), POLLIN, 0};
    if (::poll(&socket, 1, 0) > 0 && !PQconsumeInput(connection))
        return true;
    return PQstatus(connection) != CONNECTION_OK;
}

DbError Database::runPostgres(const QString &sql, const QVariantList &values, int *rowsAffected,
                              const std::function<bool(const Row &)> &onRow)
{
    PGconn *connection = connectionOf(handle());
    if (!connection || PQstatus(connection) != CONNECTION_OK) {
        m_lost = true;
        return {errors::GeneralFailure, QStringLiteral("The database connection is not open."), true};
    }

    // Every value as text, as typed in a statement; the server gives it the type its place
    // asks for. Date-times in their stored form, an invalid one as NULL.
    QList<QByteArray> texts;
    std::vector<const char *> parameters;
    texts.reserve(values.size());
    for (const QVariant &value : values) {
        const QVariant v = bindable(value);
        if (!v.isValid() || v.isNull()) {
            parameters.push_back(nullptr);
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::Bool:
            texts << (v.toBool() ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
            break;
        case QMetaType::Double:
            texts << QByteArray::number(v.toDouble(), 'g', 17);
            break;
        default:
            texts << v.toString().toUtf8();
            break;
        }
        parameters.push_back(texts.last().constData());
    }
    // Without values the text goes as it is, so that a script of several statements runs.
    const int sent = values.isEmpty()
                         ? PQsendQuery(connection, sql.toUtf8().constData())
                         : PQsendQueryParams(connection, numberedPlaceholders(sql).constData(), int(parameters.size()),
                                             nullptr, parameters.data(), nullptr, nullptr, 0);
    if (!sent)
        return errorFrom(QSqlError(QString(), QString::fromUtf8(PQerrorMessage(connection)),
                                   QSqlError::ConnectionError));
    PQsetSingleRowMode(connection);

    // Under a statement time-out the answer is waited for no longer than the time-out and a
    // second, so that the server's own cancelling comes first when it still answers.
    const QDeadlineTimer deadline(m_statementTimeoutMs > 0 ? qint64(m_statementTimeoutMs) + 1000 : -1);
    const auto answered = [connection, &deadline] {
        while (PQisBusy(connection)) {
            const qint64 left = deadline.remainingTime();
            if (left == 0)
                return false;
            pollfd socket{PQsocket(connection), POLLIN, 0};
            const int ready = ::poll(&socket, 1, left < 0 ? -1 : int(std::min<qint64>(left, INT_MAX)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0)
                return false;
            // A failure to read shows in the result that follows.
            if (ready < 0 || !PQconsumeInput(connection))
                return true;
        }
        return true;
    };

    DbError error;
    bool reading = true;
    std::shared_ptr<QHash<QString, int>> columns;
    std::shared_ptr<QList<bool>> isDateTime;
    QList<Kind> kinds;
    // The values of the current row, overwritten in place while no reader keeps a row; a
    // text equal to the row before's is left as it is.
    QList<QVariant> cells;
    QList<QByteArray> cellTexts;
    QList<bool> holdsText;
    while (true) {
        if (!answered()) {
            // Nobody knows what became of the statement: the connection is dropped (the
            // server ends the statement when it sees that) and opened again at the next one.
            QSqlDatabase db = handle();
            db.close();
            m_lost = true;
            m_gaveUp = true;
            return {errors::GeneralFailure,
                    QStringLiteral("The database server did not answer within %1 seconds.")
                        .arg((m_statementTimeoutMs + 1999) / 1000),
                    true};
        }
        PGresult *raw = PQgetResult(connection);
        if (!raw)
            break;
        const Result result(raw, PQclear);
        switch (PQresultStatus(raw)) {
        case PGRES_SINGLE_TUPLE:
        case PGRES_TUPLES_OK: {
            const int count = PQnfields(raw);
            if (!columns) {
                columns = std::make_shared<QHash<QString, int>>();
                isDateTime = std::make_shared<QList<bool>>(count, false);
                for (int i = 0; i < count; ++i) {
                    columns->insert(QString::fromUtf8(PQfname(raw, i)).toLower(), i);
                    kinds << kindOf(PQftype(raw, i));
                    (*isDateTime)[i] = kinds[i] == Kind::DateTime;
                }
                cells.resize(count);
                cellTexts.resize(count);
                holdsText.fill(false, count);
            }
            if (!reading || error || count != kinds.size())
                break;
            for (int r = 0; r < PQntuples(raw) && reading; ++r) {
                for (int i = 0; i < count; ++i) {
                    if (PQgetisnull(raw, r, i)) {
                        // As a text column's NULL, like the embedded engine's reader.
                        cells[i] = QVariant(QMetaType::fromType<QString>());
                        holdsText[i] = false;
                        continue;
                    }
                    const char *cell = PQgetvalue(raw, r, i);
                    int bytes = PQgetlength(raw, r, i);
                    switch (kinds[i]) {
                    case Kind::Integer:
                        cells[i] = qlonglong(std::strtoll(cell, nullptr, 10));
                        holdsText[i] = false;
                        continue;
                    case Kind::Real:
                        cells[i] = std::strtod(cell, nullptr);
                        holdsText[i] = false;
                        continue;
                    case Kind::Boolean:
                        cells[i] = cell[0] == 't';
                        holdsText[i] = false;
                        continue;
                    case Kind::DateTime:
                        // Whole seconds, the stored form's; the rest stays text until read.
                        if (bytes > 19 && cell[19] == '.')
                            bytes = 19;
                        break;
                    case Kind::Text:
                        break;
                    }
                    if (holdsText[i] && QByteArrayView(cellTexts[i]) == QByteArrayView(cell, bytes))
                        continue;
                    cells[i] = QString::fromUtf8(cell, bytes);
                    cellTexts[i] = QByteArray(cell, bytes);
                    holdsText[i] = true;
                }
                reading = onRow(Row(columns, cells, isDateTime));
            }
            break;
        }
        case PGRES_COMMAND_OK:
            m_commandStatus = PQcmdStatus(raw);
            if (rowsAffected)
                *rowsAffected = std::atoi(PQcmdTuples(raw));
            break;
        case PGRES_EMPTY_QUERY:
            break;
        default:
            if (!error) {
                const char *state = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
                error = errorFrom(QSqlError(QString(), QString::fromUtf8(PQresultErrorMessage(raw)),
                                            QSqlError::StatementError, QString::fromLatin1(state ? state : "")));
            }
            break;
        }
    }
    if (!error && PQstatus(connection) != CONNECTION_OK)
        error = errorFrom(QSqlError(QString(), QString::fromUtf8(PQerrorMessage(connection)), QSqlError::ConnectionError));
    return error;
}

} // namespace data
