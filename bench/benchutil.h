#pragma once

// Small measuring helpers the benchmarks share.

#include "data/database.h"
#include "data/schema.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

// Says what went wrong, prefixed with the benchmark's name, and ends it.
[[noreturn]] inline void fail(const char *name, const QString &what)
{
    std::fprintf(stderr, "%s: %s\n", name, qPrintable(what));
    std::exit(1);
}

inline void run(const char *name, sqlite3 *db, const QByteArray &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK)
        fail(name, QString::fromUtf8(error ? error : "sqlite error"));
}

// Creates the station's empty database file at path and opens it for a bulk fill: no syncs,
// one transaction begun (the caller commits and closes).
inline sqlite3 *openForFill(const char *name, const QString &path)
{
    if (const data::DbError error = data::createEmbeddedDatabase(path))
        fail(name, error.description);
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        fail(name, QStringLiteral("cannot open ") + path);
    run(name, db, "PRAGMA synchronous=OFF");
    run(name, db, "BEGIN");
    return db;
}

// The middle value (the upper middle of an even count).
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A kB figure of this process from /proc/self/status ("VmHWM:" is the peak resident size);
// -1 where it cannot be read.
inline qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace bench
