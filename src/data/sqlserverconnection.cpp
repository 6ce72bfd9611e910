// SQL Server through ODBC and FreeTDS.
#include "data/database.h"

#include "data/connectiondetail.h"

#include <QRegularExpression>
#include <QSqlError>

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
} // namespace detail

using detail::cleanDescription;

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

DbError Database::sqlServerError(const QSqlError &error) const
{
    QString description = cleanDescription(error.databaseText());
    if (description.isEmpty())
        description = error.text();
    int number = errors::CommandFailed;
    if (error.nativeErrorCode().contains(QLatin1String("208")))
        number = errors::InvalidObject;
    else if (error.type() == QSqlError::ConnectionError)
        number = errors::GeneralFailure;
    return {number, description};
}

} // namespace data
