// SQL Server through ODBC and FreeTDS.
#include "data/database.h"

#include "data/connectiondetail.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>

namespace data {

namespace detail {
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
void limitOdbcStatement(QSqlQuery &query, int ms)
{
    const QVariant v = query.result() ? query.result()->handle() : QVariant();
    if (!v.isValid() || (qstrcmp(v.typeName(), "SQLHANDLE") != 0 && qstrcmp(v.typeName(), "void*") != 0))
        return;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(v.data());
    if (!statement)
        return;
    const SQLULEN seconds = SQLULEN(std::max(1, (ms + 999) / 1000));
    SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
}
} // namespace detail

using detail::cleanDescription;

namespace {
// The link to the server broke: ODBC's communication-link failures (SQLSTATE 08xxx) as
// FreeTDS words them.
bool linkFailure(const QSqlError &error)
{
    static const QStringList texts{QStringLiteral("Communication link failure"), QStringLiteral("08S01"),
                                   QStringLiteral("08001"), QStringLiteral("08003"), QStringLiteral("08007"),
                                   QStringLiteral("Read from the server failed"),
                                   QStringLiteral("Write to the server failed"), QStringLiteral("DBPROCESS is dead"),
                                   QStringLiteral("Unexpected EOF from the server"),
                                   QStringLiteral("Server closed connection"), QStringLiteral("Connection is not open"),
                                   QStringLiteral("Adaptive Server connection failed")};
    const QString text = error.databaseText() + QLatin1Char(' ') + error.driverText();
    for (const QString &t : texts) {
        if (text.contains(t, Qt::CaseInsensitive))
            return true;
    }
    return error.type() == QSqlError::ConnectionError;
}

// The query time-out (SQLSTATE HYT00) or the connection's.
bool timedOut(const QSqlError &error)
{
    const QString text = error.databaseText() + QLatin1Char(' ') + error.driverText();
    return text.contains(QLatin1String("timeout expired"), Qt::CaseInsensitive)
           || text.contains(QLatin1String("HYT00")) || text.contains(QLatin1String("HYT01"));
}
} // namespace

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
    return sqlServerOpenError(db);
}

DbError Database::sqlServerOpenError(const QSqlDatabase &db) const
{
    const QSqlError error = db.lastError();
    const QString text = error.databaseText();
    const bool login = error.nativeErrorCode().contains(QLatin1String("18456"))
                       || text.contains(QLatin1String("Login failed"), Qt::CaseInsensitive);
    QString description = cleanDescription(text);
    if (description.isEmpty())
        description = QStringLiteral("[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied.");
    // A server that answered with a database it cannot open was reached.
    const bool unreachable = !login && !text.contains(QLatin1String("Cannot open database"), Qt::CaseInsensitive);
    return {login ? errors::LoginFailed : errors::GeneralFailure, description, unreachable};
}

DbError Database::sqlServerError(const QSqlError &error)
{
    QString description = cleanDescription(error.databaseText());
    if (description.isEmpty())
        description = error.text();
    int number = errors::CommandFailed;
    const bool lost = linkFailure(error);
    const bool late = timedOut(error);
    if (error.nativeErrorCode().contains(QLatin1String("208")))
        number = errors::InvalidObject;
    else if (lost || late)
        number = errors::GeneralFailure;
    if (lost)
        m_lost = true;
    return {number, description, lost || late};
}

} // namespace data
