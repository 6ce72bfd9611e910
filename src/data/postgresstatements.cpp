// Statements on PostgreSQL, sent through the connection's own libpq handle: one round trip
// per statement (the driver would prepare, execute and release a named statement), rows
// handed on one at a time as they arrive, and cells turned into values the way the
// embedded engine's reader does it.
#include "data/database.h"

#include <QSqlDriver>
#include <QSqlError>

#include <libpq-fe.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace data {

namespace {
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

DbError Database::runPostgres(const QString &sql, const QVariantList &values, int *rowsAffected,
                              const std::function<bool(const Row &)> &onRow)
{
    PGconn *connection = connectionOf(handle());
    if (!connection || PQstatus(connection) != CONNECTION_OK)
        return {errors::GeneralFailure, QStringLiteral("The database connection is not open.")};

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
    while (PGresult *raw = PQgetResult(connection)) {
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
