// The payroll summary of one month over 1,000 employees and 1,000,000 punches, with weekly
// overtime and rounding to 15 minutes on: the report command (in-process, through the same
// classes the program runs) against the sqlite3 tool adding up the same worked minutes with a
// group by on the same file. Usage: bench_summary [punches] [plain]; "plain" turns weekly
// overtime and rounding off, for comparison.
#include "benchutil.h"
#include "data/database.h"
#include "data/schema.h"
#include "platform/regional.h"
#include "reports/payrulesstore.h"
#include "reports/reportcommand.h"
#include "settings/settingsstore.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
using bench::median;
constexpr int Employees = 1000;
const QDate First(2024, 1, 1);
const QDate MonthFirst(2025, 3, 1);
const QDate MonthLast(2025, 3, 31);
constexpr int Rounds = 5;

const char *const Name = "bench_summary";

[[noreturn]] void fail(const QString &what)
{
    bench::fail(Name, what);
}

void run(sqlite3 *db, const QByteArray &sql)
{
    bench::run(Name, db, sql);
}

// Punch x: employee x mod Employees on day x div Employees from First (so each day every
// employee punches once), from about 8:00 to about 16:30, a few seconds apart.
QString buildDatabase(const QString &folder, int punches)
{
    const QString path = data::Database::embeddedFilePath(folder);
    sqlite3 *db = bench::openForFill(Name, path);
    run(db, QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x + 1 < %1) "
                           "INSERT INTO UserTable (FirstName, LastName, UserIDLogin, Disabled, AdminLevel, HourlyRate) "
                           "SELECT 'First' || x, 'Last' || x, 'E' || substr('0000' || x, -4, 4), 0, '2-Standard User', "
                           "'12.50' FROM n")
                .arg(Employees)
                .toUtf8());
    run(db, QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x + 1 < %1) "
                           "INSERT INTO ClockTable (ClockedIn, ClockedOut, TotalClock, RowDate, UserIDLogin) "
                           "SELECT datetime('%2', '+' || (x / %3) || ' days', '+' || (28800 + (x % 997)) || ' seconds'), "
                           "datetime('%2', '+' || (x / %3) || ' days', '+' || (59400 + (x % 991)) || ' seconds'), NULL, "
                           "datetime('%2', '+' || (x / %3) || ' days'), 'E' || substr('0000' || (x % %3), -4, 4) FROM n")
                .arg(punches)
                .arg(First.toString(Qt::ISODate))
                .arg(Employees)
                .toUtf8());
    run(db, "COMMIT");
    sqlite3_close(db);
    return path;
}


// The same minutes per employee with the sqlite3 tool: minute boundaries between clock-in
// and clock-out, from the stored texts, for the punches whose work date lies in the month.
QString toolQuery()
{
    return QStringLiteral(
               "select a.UserIDLogin, b.FirstName, b.LastName, count(*), "
               "sum(abs(strftime('%s', coalesce(a.clockedout, a.clockedin)) / 60 - strftime('%s', a.clockedin) / 60)) "
               "from clocktable a, usertable b where a.useridlogin = b.useridlogin "
               "and a.rowdate >= '%1' and a.rowdate < '%2' "
               "and (length(a.clockedin) > 12 or a.clockedin is null) and (length(a.clockedout) > 12 or a.clockedout is null) "
               "group by a.UserIDLogin order by a.UserIDLogin;")
        .arg(MonthFirst.toString(Qt::ISODate), MonthLast.addDays(1).toString(Qt::ISODate));
}

double toolMs(const QString &path, QByteArray *output)
{
    QProcess tool;
    tool.setProgram(QStringLiteral("sqlite3"));
    tool.setArguments({path, toolQuery()});
    QElapsedTimer t;
    t.start();
    tool.start();
    if (!tool.waitForFinished(-1) || tool.exitCode() != 0)
        fail(QStringLiteral("the sqlite3 tool failed"));
    const double ms = t.nsecsElapsed() / 1e6;
    *output = tool.readAllStandardOutput();
    return ms;
}

// Sum of the minutes column of the tool's lines (the last field) and of the command's CSV
// (the fifth field), and their line counts.
std::pair<qint64, qint64> toolTotals(const QByteArray &output)
{
    qint64 lines = 0, minutes = 0;
    for (const QByteArray &line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        ++lines;
        minutes += line.split('|').last().toLongLong();
    }
    return {lines, minutes};
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    int punches = 1000000;
    bool plain = false;
    for (const QString &a : app.arguments().mid(1)) {
        if (a.toInt() > 0)
            punches = a.toInt();
        plain = plain || a == QLatin1String("plain");
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    settings::setStoreFolder(dir.filePath(QStringLiteral("config")));
    QElapsedTimer built;
    built.start();
    const QString path = buildDatabase(dir.path(), punches);
    std::printf("database: %d employees, %d punches, built in %.1f s\n", Employees, punches, built.elapsed() / 1000.0);
    {
        data::ConnectionSettings connection;
        connection.accessFolder = dir.path();
        reports::PayRulesStore store(data::Database::open(connection));
        const QString on = plain ? QStringLiteral("0") : QStringLiteral("1");
        const QString rounding = plain ? QStringLiteral("0") : QStringLiteral("15");
        if (!store.writeRule(reports::rulenames::WeeklyOvertime, on, QStringLiteral("bench")).ok()
            || !store.writeRule(reports::rulenames::RoundingMinutes, rounding, QStringLiteral("bench")).ok())
            fail(QStringLiteral("the pay rules could not be written"));
        const reports::PayRules rules = store.read();
        std::printf("pay rules: weekly overtime %s (over %lld minutes), rounding to %d minutes\n",
                    rules.weeklyOvertime ? "on" : "off", rules.weeklyLimitMinutes, rules.roundingMinutes);
    }

    const QStringList arguments{QStringLiteral("chronotally-report"), QStringLiteral("--db"), dir.path(),
                                QStringLiteral("--from"), MonthFirst.toString(Qt::ISODate),
                                QStringLiteral("--to"), MonthLast.toString(Qt::ISODate),
                                QStringLiteral("--summary"), QStringLiteral("--quiet")};
    std::vector<double> commands, tools;
    QByteArray csv, toolOutput;
    for (int round = 0; round < Rounds; ++round) {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        reports::ReportCommand command(out, err);
        QElapsedTimer t;
        t.start();
        if (command.run(arguments) != 0)
            fail(QStringLiteral("the command failed: ") + QString::fromUtf8(err.data()));
        commands.push_back(t.nsecsElapsed() / 1e6);
        csv = out.data();
        tools.push_back(toolMs(path, &toolOutput));
    }

    const QList<QByteArray> lines = csv.trimmed().split('\n');
    const QList<QByteArray> total = lines.last().split(',');
    const auto [toolLines, toolMinutes] = toolTotals(toolOutput);
    std::printf("summary: %lld employee lines and a total line, %s punches, %s worked minutes\n",
                qint64(lines.size() - 2), total.value(3).constData(), total.value(4).constData());
    std::printf("sqlite3 group by: %lld lines, %lld minutes%s\n", toolLines, toolMinutes,
                toolMinutes == total.value(4).toLongLong() && toolLines == lines.size() - 2 ? " (the same)"
                                                                                            : " (DIFFERENT)");
    const double command = median(commands);
    const double tool = median(tools);
    std::printf("chronotally-report --summary, one month: median %.1f ms of %d\n", command, Rounds);
    std::printf("sqlite3 tool, group by: median %.1f ms of %d\n", tool, Rounds);
    std::printf("ratio: %.2f (target at most 1.3)\n", command / tool);
    QStringList each;
    for (int round = 0; round < Rounds; ++round)
        each << QStringLiteral("%1/%2").arg(commands[round], 0, 'f', 0).arg(tools[round], 0, 'f', 0);
    std::printf("rounds (command/tool ms): %s\n", qPrintable(each.join(QStringLiteral(" "))));
    return 0;
}
