// The embedded engine: the database file, its locks, and results read straight from the
// engine.
#include "data/database.h"

#include "data/connectiondetail.h"
#include "data/embeddedfunctions.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>

#include <sqlite3.h>

namespace data {

namespace detail {
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
} // namespace detail

using detail::sqliteHandle;

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

DbError Database::embeddedError(const QSqlError &error) const
{
    QString description = detail::cleanDescription(error.databaseText());
    if (description.isEmpty())
        description = error.text();
    int number = errors::CommandFailed;
    if (description.startsWith(QLatin1String("no such table"))) {
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
        const int rc = bindSqliteValue(raw, i + 1, bindable(values[i]));
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
            // One call into the connection per cell: the value's own accessors below do not
            // take the connection's lock again, and this connection serves one thread alone.
            sqlite3_value *value = sqlite3_column_value(raw, i);
            const int type = sqlite3_value_type(value);
            if (type == SQLITE_TEXT) {
                const char *cell = reinterpret_cast<const char *>(sqlite3_value_text(value));
                const int bytes = sqlite3_value_bytes(value);
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
                cells[i] = qlonglong(sqlite3_value_int64(value));
                break;
            case SQLITE_FLOAT:
                cells[i] = sqlite3_value_double(value);
                break;
            case SQLITE_BLOB:
                cells[i] = QByteArray(static_cast<const char *>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
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

} // namespace data
