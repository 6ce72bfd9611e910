#pragma once

// The PostgreSQL server a benchmark measures beside the embedded engine: the one the
// CHRONOTALLY_PG_HOST, _PORT, _USER, _PASSWORD and _DB variables name (scripts/pgserver.sh
// start --env prints them). Each benchmark works in a fresh database of its own there.

#include "data/database.h"
#include "data/schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <optional>

namespace bench {

inline QString serverVariable(const char *name)
{
    return qEnvironmentVariable(name);
}

// A new empty database with the station's tables, or nothing (and the reason on the error
// output) when no server is named or it cannot be used.
inline std::optional<data::ConnectionSettings> freshPostgresDatabase(const char *program, const QString &name)
{
    for (const char *v : {"CHRONOTALLY_PG_HOST", "CHRONOTALLY_PG_PORT", "CHRONOTALLY_PG_USER",
                          "CHRONOTALLY_PG_PASSWORD", "CHRONOTALLY_PG_DB"}) {
        if (serverVariable(v).isEmpty()) {
            std::fprintf(stderr, "%s: no PostgreSQL row: %s is not set (eval \"$(scripts/pgserver.sh start --env)\")\n",
                         program, v);
            return std::nullopt;
        }
    }
    QString error;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        admin.setHostName(serverVariable("CHRONOTALLY_PG_HOST"));
        admin.setPort(serverVariable("CHRONOTALLY_PG_PORT").toInt());
        admin.setUserName(serverVariable("CHRONOTALLY_PG_USER"));
        admin.setPassword(serverVariable("CHRONOTALLY_PG_PASSWORD"));
        admin.setDatabaseName(serverVariable("CHRONOTALLY_PG_DB"));
        admin.setConnectOptions(QStringLiteral("connect_timeout=5;options='-c client_min_messages=warning'"));
        if (!admin.open()) {
            error = admin.lastError().databaseText();
        } else {
            QSqlQuery q(admin);
            if (!q.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name))
                || !q.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name)))
                error = q.lastError().databaseText();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: no PostgreSQL row: %s\n", program, qPrintable(error.simplified()));
        return std::nullopt;
    }
    data::ConnectionSettings s;
    s.useSqlDb = true;
    s.serverKind = data::ServerKind::PostgreSql;
    s.server = serverVariable("CHRONOTALLY_PG_HOST") + QLatin1Char(':') + serverVariable("CHRONOTALLY_PG_PORT");
    s.user = serverVariable("CHRONOTALLY_PG_USER");
    s.password = serverVariable("CHRONOTALLY_PG_PASSWORD");
    s.database = name;
    const auto db = data::Database::open(s);
    if (const data::DbError e = db->openError() ? db->openError() : db->exec(data::postgreSqlTableScript())) {
        std::fprintf(stderr, "%s: no PostgreSQL row: %s\n", program, qPrintable(e.description));
        return std::nullopt;
    }
    return s;
}

} // namespace bench
