// Cost of one punch against the cost of one durable commit, with a small and a large
// punch history, on the embedded engine and, when the CHRONOTALLY_PG_* variables name a
// server, on PostgreSQL. Usage: bench_punch [--plans] [rounds]
#include "benchutil.h"
#include "benchserver.h"

#include "admin/optionsmodel.h"
#include "data/database.h"
#include "data/schema.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/scripting.h"
#include "station/idfield.h"
#include "station/punchservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
using bench::median;
constexpr int Employees = 10000;

struct Field : station::IdField {
    QString text;
    QString idText() const override { return text; }
    void setIdText(const QString &t) override { text = t; }
};

const char *const Name = "bench_punch";

[[noreturn]] void fail(const QString &what)
{
    bench::fail(Name, what);
}

void run(sqlite3 *db, const QByteArray &sql)
{
    bench::run(Name, db, sql);
}

QString employeeId(int n)
{
    return QStringLiteral("E%1").arg(n, 5, 10, QLatin1Char('0'));
}

// An empty station database filled with the employees and a closed, totalled punch history.
QString buildDatabase(const QString &folder, qint64 punches)
{
    QDir().mkpath(folder);
    const QString path = data::Database::embeddedFilePath(folder);
    sqlite3 *db = bench::openForFill(Name, path);
    const QByteArray employees = QStringLiteral(
        "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x + 1 < %1) "
        "INSERT INTO UserTable (FirstName, LastName, UserIDLogin, Disabled, AdminLevel, PhotoEnabled, "
        "SoundEnabled, PhotoOnOff, PhotoDisplay, PhotoType, DisplayText) "
        "SELECT 'First' || x, 'Last' || x, printf('E%05d', x), 0, '2-Standard User', 0, 0, 0, 5, 'True', 'Hello' "
        "FROM n").arg(Employees).toUtf8();
    run(db, employees.constData());
    // Punch x belongs to employee x mod 10000, one working day per round of employees.
    const QByteArray history = QStringLiteral(
        "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x + 1 < %1) "
        "INSERT INTO ClockTable (ClockedIn, ClockedOut, TotalClock, RowDate, UserIDLogin) "
        "SELECT datetime('2000-01-01 08:00:00', '+' || (x / %2) || ' days', '+' || (x % 600) || ' seconds'), "
        "datetime('2000-01-01 16:00:00', '+' || (x / %2) || ' days', '+' || (x % 600) || ' seconds'), 480, "
        "datetime('2000-01-01', '+' || (x / %2) || ' days'), printf('E%05d', x % %2) FROM n")
                                   .arg(punches).arg(Employees).toUtf8();
    run(db, history.constData());
    run(db, "COMMIT");
    sqlite3_close(db);
    return path;
}


void print(const char *what, double ms, int n)
{
    std::printf("%s: median %.2f ms (n=%d)\n", what, ms, n);
    std::fflush(stdout);
}

// One durable write on its own: BEGIN IMMEDIATE, one row, COMMIT, with the engine's defaults.
double bareCommit(const QString &folder, int rounds)
{
    const QString path = buildDatabase(folder, 0);
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    run(db, "PRAGMA journal_mode=DELETE");
    std::vector<double> times;
    for (int i = 0; i < rounds + 5; ++i) {
        QElapsedTimer t;
        t.start();
        run(db, "BEGIN IMMEDIATE");
        run(db, "INSERT INTO ClockTable (ClockedIn, UserIDLogin) VALUES ('2026-01-01 08:00:00', 'E00001')");
        run(db, "COMMIT");
        if (i >= 5)
            times.push_back(t.nsecsElapsed() / 1e6);
    }
    sqlite3_close(db);
    return median(times);
}

void printPlans(data::Database &db)
{
    const QStringList statements{
        QStringLiteral("select count(*) as CountInt from usertable where useridlogin = ? and disabled = 0 "),
        QStringLiteral("select count(*) as CountInt from clocktable where useridlogin = ? and clockedout is null "),
        QStringLiteral("update clocktable  set clockedout = ? where useridlogin = ? and clockedout is null "),
        QStringLiteral("update clocktable  set totalclock =  DateDiff('n',Clockedin, clockedout) where "
                       "useridlogin = ? and clockedout is not null and totalclock is null "),
    };
    for (const QString &sql : statements) {
        QVariantList values(sql.count(QLatin1Char('?')), QStringLiteral("E00001"));
        const data::QueryResult plan = db.query(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, values);
        for (const data::Row &row : plan.rows)
            std::printf("plan: %s -> %s\n", qPrintable(sql.left(40)), qPrintable(row.text(QStringLiteral("detail"))));
    }
}

// The same employees and history on a PostgreSQL server.
void fillPostgres(const data::ConnectionSettings &settings, qint64 punches)
{
    const auto db = data::Database::open(settings);
    const QString sql = QStringLiteral(
        "INSERT INTO UserTable (FirstName, LastName, UserIDLogin, Disabled, AdminLevel, PhotoEnabled, SoundEnabled, "
        "PhotoOnOff, PhotoDisplay, PhotoType, DisplayText) "
        "SELECT 'First' || x, 'Last' || x, 'E' || lpad(x::text, 5, '0'), 0, '2-Standard User', 0, 0, 0, 5, 'True', "
        "'Hello' FROM generate_series(0, %1 - 1) x; "
        "INSERT INTO ClockTable (ClockedIn, ClockedOut, TotalClock, RowDate, UserIDLogin) "
        "SELECT timestamp '2000-01-01 08:00:00' + (x / %1) * interval '1 day' + (x % 600) * interval '1 second', "
        "timestamp '2000-01-01 16:00:00' + (x / %1) * interval '1 day' + (x % 600) * interval '1 second', 480, "
        "date '2000-01-01' + (x / %1)::int, 'E' || lpad((x % %1)::text, 5, '0') FROM generate_series(0, %2 - 1) x; "
        "ANALYZE UserTable; ANALYZE ClockTable")
                            .arg(Employees)
                            .arg(punches);
    if (const data::DbError error = db->exec(sql))
        fail(error.description);
}

void measurePunches(const data::ConnectionSettings &settings, const char *engine, qint64 punches, int rounds,
                    bool plans)
{
    const auto db = data::Database::open(settings);
    if (db->openError())
        fail(db->openError().description);
    if (plans && settings.engine() == data::Engine::Embedded)
        printPlans(*db);

    admin::OptionsModel options;
    Field field;
    station::PunchService service(options, &field);
    std::vector<double> in, out;
    for (int i = 0; i < rounds + 5; ++i) {
        const QString id = employeeId((i * 37) % Employees);
        platform::MessageBox::clearShown();
        QElapsedTimer t;
        field.text = id;
        t.start();
        service.ClockIn();
        const double inMs = t.nsecsElapsed() / 1e6;
        field.text = id;
        t.start();
        service.ClockOut();
        const double outMs = t.nsecsElapsed() / 1e6;
        const QStringList shown = platform::MessageBox::shownTexts();
        if (shown.size() != 2 || !shown[0].startsWith(QStringLiteral("Hello, You have been Clocked in"))
            || !shown[1].startsWith(QStringLiteral("Hello, You have been Clocked Out")))
            fail(QStringLiteral("unexpected punch outcome: ") + shown.join(QStringLiteral(" | ")));
        if (i >= 5) { // the first few warm the caches
            in.push_back(inMs);
            out.push_back(outMs);
        }
    }
    const QByteArray size = QByteArray(engine) + QByteArray::number(punches);
    print(("clock-in  " + size + " punches").constData(), median(in), rounds);
    print(("clock-out " + size + " punches").constData(), median(out), rounds);
}

void measureEmbedded(const QString &folder, qint64 punches, int rounds, bool plans)
{
    buildDatabase(folder, punches);
    data::ConnectionSettings settings;
    settings.accessFolder = folder;
    measurePunches(settings, "", punches, rounds, plans);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    platform::setScripted(true);
    const QStringList args = app.arguments();
    const bool plans = args.contains(QStringLiteral("--plans"));
    int rounds = 200;
    for (const QString &a : args.mid(1))
        if (a.toInt() > 0)
            rounds = a.toInt();

    QTemporaryDir dir; // under the system temporary folder, on an ordinary disk
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    print("bare commit", bareCommit(dir.filePath(QStringLiteral("bare")), rounds), rounds);
    measureEmbedded(dir.filePath(QStringLiteral("small")), 1000, rounds, plans);
    measureEmbedded(dir.filePath(QStringLiteral("large")), 1000000, rounds, plans);
    for (const qint64 punches : {1000, 1000000}) {
        const auto server = bench::freshPostgresDatabase("bench_punch", QStringLiteral("bench_punch"));
        if (!server)
            break;
        fillPostgres(*server, punches);
        measurePunches(*server, "PostgreSQL ", punches, rounds, false);
    }
    return 0;
}
