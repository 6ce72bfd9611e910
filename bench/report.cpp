// Run Report over 200 employees and 100,000 punches in the range: the time the report
// screen takes to fill its list, against the sqlite3 tool running the same query on the
// same file, and the peak memory of the fill; then, when the CHRONOTALLY_PG_* variables
// name a server, the same fill from the same punches on PostgreSQL against the embedded
// fill. Usage: bench_report [punches]
#include "benchutil.h"
#include "benchserver.h"

#include "data/database.h"
#include "data/schema.h"
#include "platform/regional.h"
#include "platform/scripting.h"
#include "reports/daterangepanel.h"
#include "reports/reportwindow.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
using bench::median;
using bench::statusKb;
constexpr int Employees = 200;
const QDate First(2026, 1, 1);
constexpr int Days = 50;
constexpr int Rounds = 5;

const char *const Name = "bench_report";

[[noreturn]] void fail(const QString &what)
{
    bench::fail(Name, what);
}

void run(sqlite3 *db, const QByteArray &sql)
{
    bench::run(Name, db, sql);
}

// The station's database with the employees and their punches, Days working days of
// punches spread evenly over the employees.
QString buildDatabase(const QString &folder, int punches)
{
    const QString path = data::Database::embeddedFilePath(folder);
    sqlite3 *db = bench::openForFill(Name, path);
    run(db, QStringLiteral(
                "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x + 1 < %1) "
                "INSERT INTO UserTable (FirstName, LastName, Address1, Address2, City, State, ZipCode, Phone1, "
                "Phone2, SSNumber, Title, Email, Memos, Notes, AdminLevel, UserIDLogin, Disabled, HourlyRate, "
                "DisplayText, PhotoEnabled, SoundEnabled, PhotoOnOff, PhotoDisplay, PhotoType) "
                "SELECT 'First' || x, 'Last' || x, x || ' Main Street', 'Suite ' || x, 'Springfield', 'IL', "
                "'62701', '555-01' || x, '555-02' || x, '123-45-' || x, 'Clerk', 'e' || x || '@example.com', "
                "'Memo of ' || x, 'Notes of ' || x, '2-Standard User', 'E' || substr('000' || x, -3, 3), 0, '12.50', "
                "'Hello', 0, 0, 0, 5, 'True' FROM n")
                .arg(Employees)
                .toUtf8());
    // Punch x: employee x mod Employees, day (x / Employees) mod Days, a shift from about
    // 8:00 to 16:30 that moves by a few seconds per punch.
    run(db, QStringLiteral(
                "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x + 1 < %1) "
                "INSERT INTO ClockTable (ClockedIn, ClockedOut, TotalClock, RowDate, UserIDLogin) "
                "SELECT datetime('%2', '+' || ((x / %3) % %4) || ' days', '+' || (28800 + (x % 997) + (x / %5) * 60) || ' seconds'), "
                "datetime('%2', '+' || ((x / %3) % %4) || ' days', '+' || (59400 + (x % 991)) || ' seconds'), 510, "
                "datetime('%2', '+' || ((x / %3) % %4) || ' days'), 'E' || substr('000' || (x % %3), -3, 3) FROM n")
                .arg(punches)
                .arg(First.toString(Qt::ISODate))
                .arg(Employees)
                .arg(Days)
                .arg(Employees * Days)
                .toUtf8());
    run(db, "COMMIT");
    sqlite3_close(db);
    return path;
}

// The same employees and punches on a PostgreSQL server.
void fillPostgres(const data::ConnectionSettings &settings, int punches)
{
    const auto db = data::Database::open(settings);
    const QString sql = QStringLiteral(
        "INSERT INTO UserTable (FirstName, LastName, Address1, Address2, City, State, ZipCode, Phone1, "
        "Phone2, SSNumber, Title, Email, Memos, Notes, AdminLevel, UserIDLogin, Disabled, HourlyRate, "
        "DisplayText, PhotoEnabled, SoundEnabled, PhotoOnOff, PhotoDisplay, PhotoType) "
        "SELECT 'First' || x, 'Last' || x, x || ' Main Street', 'Suite ' || x, 'Springfield', 'IL', "
        "'62701', '555-01' || x, '555-02' || x, '123-45-' || x, 'Clerk', 'e' || x || '@example.com', "
        "'Memo of ' || x, 'Notes of ' || x, '2-Standard User', 'E' || lpad(x::text, 3, '0'), 0, '12.50', "
        "'Hello', 0, 0, 0, 5, 'True' FROM generate_series(0, %2 - 1) x; "
        "INSERT INTO ClockTable (ClockedIn, ClockedOut, TotalClock, RowDate, UserIDLogin) "
        "SELECT timestamp '%3' + ((x / %2) % %4) * interval '1 day' + (28800 + (x % 997) + (x / %5) * 60) * interval '1 second', "
        "timestamp '%3' + ((x / %2) % %4) * interval '1 day' + (59400 + (x % 991)) * interval '1 second', 510, "
        "timestamp '%3' + ((x / %2) % %4) * interval '1 day', 'E' || lpad((x % %2)::text, 3, '0') "
        "FROM generate_series(0, %1 - 1) x")
                            .arg(punches)
                            .arg(Employees)
                            .arg(First.toString(Qt::ISODate))
                            .arg(Days)
                            .arg(Employees * Days);
    if (const data::DbError error = db->exec(sql))
        fail(error.description);
    // As the server's own vacuum leaves a table that has settled: its statistics, and the
    // visibility map that lets the report read the punches from their index alone.
    for (const char *table : {"UserTable", "ClockTable"}) {
        if (const data::DbError error = db->exec(QStringLiteral("VACUUM ANALYZE ") + QLatin1String(table)))
            fail(error.description);
    }
}



// The query of "Only Show Employees who worked" for the sqlite3 tool, which lacks DateDiff
// and len: plain comparisons of the stored dates and length().
QString toolQuery(const QDate &first, const QDate &last)
{
    return QStringLiteral("select b.*,a.totalclock, A.clockedin, a.clockedout, a.rowdate  from clocktable a, usertable b "
                          " where  a.useridlogin = b.useridlogin  and rowdate >= '%1' and rowdate < '%2' "
                          " and (length(A.clockedin) > 12 or a.clockedin is null) and  (length(a.clockedout) > 12  or "
                          "a.clockedout is null)   order by  a.UserIDLogin,  a.Clockedin,  a.Clockedout,  a.rowdate ;")
        .arg(first.toString(Qt::ISODate), last.addDays(1).toString(Qt::ISODate));
}

// The tool writes its whole result, as text, to a file beside the database.
double toolMs(const QString &path, const QString &query, qint64 *lines)
{
    const QString output = path + QStringLiteral(".txt");
    QProcess tool;
    tool.setProgram(QStringLiteral("sqlite3"));
    tool.setArguments({path, query});
    tool.setStandardOutputFile(output);
    QElapsedTimer t;
    t.start();
    tool.start();
    if (!tool.waitForFinished(-1) || tool.exitCode() != 0)
        fail(QStringLiteral("the sqlite3 tool failed"));
    const double ms = t.nsecsElapsed() / 1e6;
    QFile f(output);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("no output of the sqlite3 tool"));
    *lines = 0;
    while (!f.atEnd())
        *lines += f.readLine().endsWith('\n') ? 1 : 0;
    return ms;
}
} // namespace

reports::Fields fields(const QDate &d)
{
    return reports::Fields{QString::number(d.month()), QString::number(d.day()), QString::number(d.year())};
}

// Run Report on a report screen over the given database, Rounds times: the fill times.
std::vector<double> fillTimes(const data::ConnectionSettings &connection, int punches)
{
    auto *screen = new reports::ReportWindow([connection] { return connection; });
    if (!screen->open())
        fail(QStringLiteral("the report screen does not open"));
    screen->dateRange().setRange(1, fields(First));
    screen->dateRange().setRange(2, fields(First.addDays(Days - 1)));
    QApplication::processEvents();
    auto *run = screen->findChild<QPushButton *>(QStringLiteral("Command1"));
    const reports::ReportListModel &model = screen->controller().model();
    std::vector<double> times;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer t;
        t.start();
        run->click();
        times.push_back(t.nsecsElapsed() / 1e6);
        if (model.rowCount() != punches || model.columnCount() != 26)
            fail(QStringLiteral("the list has %1 rows and %2 columns").arg(model.rowCount()).arg(model.columnCount()));
    }
    delete screen;
    return times;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    platform::setScripted(true);
    int punches = 100000;
    for (const QString &a : app.arguments().mid(1))
        if (a.toInt() > 0)
            punches = a.toInt();

    QTemporaryDir dir;
    if (qEnvironmentVariableIsSet("BENCH_KEEP"))
        dir.setAutoRemove(false);
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    const QString path = buildDatabase(dir.path(), punches);
    const QDate last = First.addDays(Days - 1);

    // The real report screen, with its settings in the temporary folder: every column shown.
    settings::setStoreFolder(dir.filePath(QStringLiteral("config")));
    data::ConnectionSettings connection;
    connection.accessFolder = dir.path();
    auto *screen = new reports::ReportWindow([connection] { return connection; });
    if (!screen->open())
        fail(QStringLiteral("the report screen does not open"));
    screen->dateRange().setRange(1, fields(First));
    screen->dateRange().setRange(2, fields(last));
    QApplication::processEvents();

    // Fill and tool take turns, Rounds times each, so that both meet the same load on the
    // machine; the medians are compared.
    const qint64 rssBefore = statusKb("VmRSS:");
    auto *run = screen->findChild<QPushButton *>(QStringLiteral("Command1"));
    const reports::ReportListModel &model = screen->controller().model();
    std::vector<double> fills, tools;
    qint64 lines = 0;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer t;
        t.start();
        run->click();
        fills.push_back(t.nsecsElapsed() / 1e6);
        if (model.rowCount() != punches || model.columnCount() != 26)
            fail(QStringLiteral("the list has %1 rows and %2 columns").arg(model.rowCount()).arg(model.columnCount()));
        tools.push_back(toolMs(path, toolQuery(First, last), &lines));
    }
    const qint64 peak = statusKb("VmHWM:");
    const double fill = median(fills);
    const double tool = median(tools);
    std::printf("rows: %d in the list (%d columns), %lld from the sqlite3 tool\n", model.rowCount(),
                model.columnCount(), lines);
    std::printf("fill (Run Report, list filled): median %.1f ms of %d\n", fill, Rounds);
    std::printf("sqlite3 tool, same query: median %.1f ms of %d\n", tool, Rounds);
    std::printf("ratio: %.2f\n", fill / tool);
    QStringList each;
    for (int round = 0; round < Rounds; ++round)
        each << QStringLiteral("%1/%2").arg(fills[round], 0, 'f', 0).arg(tools[round], 0, 'f', 0);
    std::printf("rounds (fill/tool ms): %s\n", qPrintable(each.join(QStringLiteral(" "))));
    std::printf("peak memory: %.1f MB (%.1f MB before the first fill)\n", peak / 1024.0, rssBefore / 1024.0);
    delete screen;

    if (const auto server = bench::freshPostgresDatabase("bench_report", QStringLiteral("bench_report"))) {
        fillPostgres(*server, punches);
        const std::vector<double> embedded = fillTimes(connection, punches);
        const std::vector<double> postgres = fillTimes(*server, punches);
        std::printf("embedded fill, again: median %.1f ms of %d\n", median(embedded), Rounds);
        std::printf("PostgreSQL fill (Run Report, list filled): median %.1f ms of %d, %.2f times the embedded fill "
                    "(target <= 2)\n",
                    median(postgres), Rounds, median(postgres) / median(embedded));
    }
    return 0;
}
