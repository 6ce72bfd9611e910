// Stations punching at once: 8 station processes, each running 1,000 punches of a few
// colliding IDs through the real punch code (no screen), on one embedded file and on the
// PostgreSQL server the CHRONOTALLY_PG_* variables name. For each engine it prints the
// punches a second, the median and 99th-percentile punch time, and checks the end state:
// every confirmed clock-in is one row, no ID has two open rows, every closed row is totalled.
// The outage row runs the 8 stations on a PostgreSQL server of the benchmark's own
// (scripts/pgserver.sh), punching for 40 s with the server stopped from the 10th second to the
// 30th: stations keep punches in their queues meanwhile and send them when it is back.
// Usage: bench_stations [stations] [punches per station]
#include "benchserver.h"

#include "admin/optionsmodel.h"
#include "data/database.h"
#include "data/schema.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/scripting.h"
#include "data/replayedpunches.h"
#include "station/idfield.h"
#include "station/offlinedecision.h"
#include "station/offlinelink.h"
#include "station/punchservice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QProcess>

#include <functional>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {
constexpr int Ids = 16;
const char *const FolderVariable = "BENCH_STATIONS_FOLDER";
const char *const DatabaseVariable = "BENCH_STATIONS_PG_DB";
constexpr int OutageRunSeconds = 40;
constexpr int OutageStartSecond = 10;
constexpr int OutageSeconds = 20;

struct Field : station::IdField {
    QString text;
    QString idText() const override { return text; }
    void setIdText(const QString &t) override { text = t; }
};

void fail(const QString &what)
{
    std::fprintf(stderr, "bench_stations: %s\n", qPrintable(what));
    std::exit(1);
}

QString employeeId(int n)
{
    return QStringLiteral("C%1").arg(n, 2, 10, QLatin1Char('0'));
}

void addEmployees(const data::ConnectionSettings &settings)
{
    const auto db = data::Database::open(settings);
    if (db->openError())
        fail(db->openError().description);
    for (int n = 0; n < Ids; ++n) {
        const data::DbError error = db->exec(
            QStringLiteral("insert into usertable (FirstName, LastName, UserIDLogin, Disabled, AdminLevel, "
                           "PhotoEnabled, SoundEnabled, PhotoOnOff, PhotoDisplay, PhotoType) "
                           "values (?, ?, ?, 0, '2-Standard User', 0, 0, 0, 5, 'True')"),
            {QStringLiteral("First"), QStringLiteral("Last"), employeeId(n)});
        if (error)
            fail(error.description);
    }
}

// One station: connects, says "ready", waits for "go", runs its punches and reports what
// each was answered and how long it took.
int runStation(int number, int punches)
{
    regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    platform::setScripted(true);
    data::ConnectionSettings settings;
    if (qEnvironmentVariableIsSet(DatabaseVariable)) {
        settings.useSqlDb = true;
        settings.serverKind = data::ServerKind::PostgreSql;
        settings.server = bench::serverVariable("CHRONOTALLY_PG_HOST") + QLatin1Char(':')
                          + bench::serverVariable("CHRONOTALLY_PG_PORT");
        settings.user = bench::serverVariable("CHRONOTALLY_PG_USER");
        settings.password = bench::serverVariable("CHRONOTALLY_PG_PASSWORD");
        settings.database = qEnvironmentVariable(DatabaseVariable);
    } else {
        settings.accessFolder = qEnvironmentVariable(FolderVariable);
    }
    const auto db = data::Database::open(settings);
    if (db->openError())
        fail(db->openError().description);
    admin::OptionsModel options;
    Field field;
    station::PunchService service(options, &field);
    QRandomGenerator random(quint32(number) * 7919u + 1u);

    std::cout << "ready" << std::endl;
    std::string line;
    if (!std::getline(std::cin, line))
        return 1;
    int in = 0, out = 0, refused = 0, failed = 0;
    QStringList failures;
    std::vector<qint64> times;
    times.reserve(punches);
    for (int i = 0; i < punches; ++i) {
        const int pick = int(random.bounded(3));
        field.text = employeeId(int(random.bounded(Ids)));
        platform::MessageBox::clearShown();
        QElapsedTimer t;
        t.start();
        if (pick == 0)
            service.ClockIn();
        else if (pick == 1)
            service.ClockOut();
        else
            service.ClockInOut();
        times.push_back(t.nsecsElapsed() / 1000);
        const QString text = platform::MessageBox::shownTexts().value(0);
        if (text.startsWith(QLatin1String("You have been Clocked in")))
            ++in;
        else if (text.startsWith(QLatin1String("You have been Clocked Out")))
            ++out;
        else if (text.startsWith(QLatin1String("You are already logged in")) || text.startsWith(QLatin1String("You are not Clocked in")))
            ++refused;
        else {
            ++failed;
            if (failures.size() < 3)
                failures << text.simplified();
        }
    }
    std::cout << "result " << in << ' ' << out << ' ' << refused << ' ' << failed << '\n';
    for (const QString &f : failures)
        std::cout << "failure " << qPrintable(f) << '\n';
    std::cout << "times";
    for (const qint64 us : times)
        std::cout << ' ' << us;
    std::cout << std::endl;
    return 0;
}

void waitFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// One station of the outage row: punches every 100 ms for the run's seconds through the punch
// service with its offline link, then waits until its queue is empty, and reports the punches
// confirmed online and offline by direction, the exceptions of its queue and when it emptied.
int runOutageStation(int number)
{
    regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    platform::setScripted(true);
    data::ConnectionSettings settings;
    settings.useSqlDb = true;
    settings.serverKind = data::ServerKind::PostgreSql;
    settings.server = bench::serverVariable("CHRONOTALLY_PG_HOST") + QLatin1Char(':')
                      + bench::serverVariable("CHRONOTALLY_PG_PORT");
    settings.user = bench::serverVariable("CHRONOTALLY_PG_USER");
    settings.password = bench::serverVariable("CHRONOTALLY_PG_PASSWORD");
    settings.database = qEnvironmentVariable(DatabaseVariable);
    const auto db = data::Database::open(settings);
    if (db->openError())
        fail(db->openError().description);
    const QString path = qEnvironmentVariable(FolderVariable) + QStringLiteral("/station%1.sqlite").arg(number);
    station::OfflineLink link([settings] { return settings; }, path);
    link.queue().setStationName(QStringLiteral("bench-%1").arg(number));
    admin::OptionsModel options;
    Field field;
    station::PunchService service(options, &field);
    service.setOfflineLink(&link);
    link.start();
    QRandomGenerator random(quint32(number) * 7919u + 1u);
    const QString kept = station::OfflineDecision::confirmationText(false);

    std::cout << "ready" << std::endl;
    std::string line;
    if (!std::getline(std::cin, line))
        return 1;
    int onlineIn = 0, onlineOut = 0, offlineIn = 0, offlineOut = 0, refused = 0, failed = 0;
    QStringList failures;
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < OutageRunSeconds * 1000) {
        const int pick = int(random.bounded(3));
        field.text = employeeId(int(random.bounded(Ids)));
        platform::MessageBox::clearShown();
        if (pick == 0)
            service.ClockIn();
        else if (pick == 1)
            service.ClockOut();
        else
            service.ClockInOut();
        const QString text = platform::MessageBox::shownTexts().value(0);
        if (text == kept && service.lastQueued())
            (*service.lastQueued() == station::PunchDirection::In ? offlineIn : offlineOut)++;
        else if (text.startsWith(QLatin1String("You have been Clocked in")))
            ++onlineIn;
        else if (text.startsWith(QLatin1String("You have been Clocked Out")))
            ++onlineOut;
        else if (text.startsWith(QLatin1String("You are already logged in")) || text.startsWith(QLatin1String("You are not Clocked in"))
                 || text.startsWith(QLatin1String("This ID was punched")))
            ++refused;
        else {
            ++failed;
            if (failures.size() < 3)
                failures << text.simplified();
        }
        waitFor(100);
    }
    // Until the queue is sent (at most 90 s more).
    QElapsedTimer drain;
    drain.start();
    while ((link.isAway() || link.waiting() != 0) && drain.elapsed() < 90000)
        waitFor(50);
    const qint64 emptyAt = link.waiting() == 0 ? QDateTime::currentMSecsSinceEpoch() : 0;
    int refusedIn = 0;
    const QList<station::QueuedPunch> exceptions = link.queue().exceptions();
    for (const station::QueuedPunch &p : exceptions)
        refusedIn += p.direction == station::PunchDirection::In ? 1 : 0;
    std::cout << "outage " << onlineIn << ' ' << onlineOut << ' ' << offlineIn << ' ' << offlineOut << ' ' << refused
              << ' ' << failed << ' ' << exceptions.size() << ' ' << refusedIn << ' ' << link.waiting() << ' '
              << emptyAt << '\n';
    for (const QString &f : failures)
        std::cout << "failure " << qPrintable(f) << '\n';
    std::cout << std::flush;
    return 0;
}

bool serverScript(const QString &action, const QString &dir, const QString &port, QByteArray *output = nullptr)
{
    QProcess p;
    QStringList arguments{QStringLiteral(CHRONOTALLY_SOURCE_DIR "/scripts/pgserver.sh"), action, QStringLiteral("--dir"), dir};
    if (action == QLatin1String("start"))
        arguments << QStringLiteral("--throwaway") << QStringLiteral("--env");
    if (!port.isEmpty())
        arguments << QStringLiteral("--port") << port;
    p.start(QStringLiteral("bash"), arguments);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_stations: pgserver.sh %s: %s\n", qPrintable(action),
                     qPrintable(QString::fromLocal8Bit(p.readAllStandardError()).simplified()));
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return true;
}

struct Outcome {
    int in = 0, out = 0, refused = 0, failed = 0;
    QStringList failures;
    std::vector<qint64> times;
};

double percentile(std::vector<qint64> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index] / 1000.0;
}

// Starts the station processes, each with the arguments given for its number, and waits
// until every one has said it is ready.
std::vector<std::unique_ptr<QProcess>> startStations(const QProcessEnvironment &environment, int stations,
                                                     const std::function<QStringList(int)> &arguments)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int s = 0; s < stations; ++s) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(), arguments(s));
        if (!p->waitForStarted())
            fail(QStringLiteral("a station did not start"));
        processes.push_back(std::move(p));
    }
    for (auto &p : processes) {
        while (!p->canReadLine())
            if (!p->waitForReadyRead(30000))
                fail(QStringLiteral("a station did not get ready"));
        if (p->readLine().trimmed() != "ready")
            fail(QStringLiteral("a station did not get ready"));
    }
    return processes;
}

int count(data::Database &db, const QString &sql)
{
    const data::QueryResult r = db.query(sql);
    if (r.error)
        fail(r.error.description);
    return int(r.first().number(QStringLiteral("n")));
}

// Runs the stations on one database and prints its line; false when the end state is wrong.
bool race(const char *engine, const data::ConnectionSettings &settings, const QProcessEnvironment &environment,
          int stations, int punches)
{
    addEmployees(settings);
    const auto processes = startStations(environment, stations, [punches](int s) {
        return QStringList{QStringLiteral("--station"), QString::number(s), QString::number(punches)};
    });
    QElapsedTimer wall;
    wall.start();
    for (auto &p : processes)
        p->write("go\n");
    for (auto &p : processes)
        p->waitForBytesWritten(5000);
    Outcome all;
    for (auto &p : processes) {
        if (!p->waitForFinished(600000) || p->exitCode() != 0)
            fail(QStringLiteral("a station failed"));
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    for (auto &p : processes) {
        for (const QByteArray &line : p->readAll().split('\n')) {
            if (line.startsWith("result ")) {
                const QList<QByteArray> n = line.split(' ');
                all.in += n.value(1).toInt();
                all.out += n.value(2).toInt();
                all.refused += n.value(3).toInt();
                all.failed += n.value(4).toInt();
            } else if (line.startsWith("failure ")) {
                all.failures << QString::fromUtf8(line.mid(8));
            } else if (line.startsWith("times ")) {
                for (const QByteArray &t : line.mid(6).split(' '))
                    all.times.push_back(t.toLongLong());
            }
        }
    }
    const int total = stations * punches;
    if (int(all.times.size()) != total)
        fail(QStringLiteral("%1 punch times instead of %2").arg(all.times.size()).arg(total));

    const auto db = data::Database::open(settings);
    const int rows = count(*db, QStringLiteral("select count(*) as n from clocktable"));
    const int doubleOpen = count(*db, QStringLiteral("select count(*) as n from (select useridlogin from clocktable "
                                                     "where clockedout is null group by useridlogin having count(*) > 1) x"));
    const int untotalled = count(*db, QStringLiteral("select count(*) as n from clocktable where clockedout is not null "
                                                     "and totalclock is null"));
    const int lost = std::max(0, all.in - rows);
    const int doubled = std::max(0, rows - all.in);
    std::printf("%s: %d stations x %d punches on %d IDs in %.1f s: %.0f punches/s, median %.2f ms, p99 %.2f ms; "
                "%d clock-ins confirmed, %d rows (%d lost, %d doubled), %d IDs with two open rows, "
                "%d closed rows untotalled; %d clock-outs, %d refused, %d failed\n",
                engine, stations, punches, Ids, seconds, total / seconds, percentile(all.times, 0.5),
                percentile(all.times, 0.99), all.in, rows, lost, doubled, doubleOpen, untotalled, all.out, all.refused,
                all.failed);
    for (const QString &f : all.failures.mid(0, 3))
        std::printf("%s: failed punch: %s\n", engine, qPrintable(f));
    std::fflush(stdout);
    return lost == 0 && doubled == 0 && doubleOpen == 0 && untotalled == 0;
}
// The outage row; false when the end state is wrong or the queues were not emptied in time.
bool outage(int stations)
{
    QTemporaryDir serverDir;
    QTemporaryDir folder;
    if (!serverDir.isValid() || !folder.isValid())
        fail(QStringLiteral("no temporary folder"));
    const QString dir = serverDir.path() + QStringLiteral("/pg");
    QByteArray exports;
    if (!serverScript(QStringLiteral("start"), dir, QString(), &exports))
        return false;
    auto stopServer = qScopeGuard([&] { serverScript(QStringLiteral("stop"), dir, QString()); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QByteArray &line : exports.split('\n')) {
        const int eq = line.indexOf('=');
        if (line.startsWith("export ") && eq > 0) {
            qputenv(line.mid(7, eq - 7).constData(), line.mid(eq + 1));
            environment.insert(QString::fromUtf8(line.mid(7, eq - 7)), QString::fromUtf8(line.mid(eq + 1)));
        }
    }
    const QString port = qEnvironmentVariable("CHRONOTALLY_PG_PORT");
    const auto server = bench::freshPostgresDatabase("bench_stations", QStringLiteral("bench_outage"));
    if (!server)
        return false;
    addEmployees(*server);
    {
        const auto db = data::Database::open(*server);
        if (const data::DbError e = data::ensureReplayedPunchesTable(*db))
            fail(e.description);
    }
    environment.insert(QString::fromLatin1(DatabaseVariable), server->database);
    environment.insert(QString::fromLatin1(FolderVariable), folder.path());

    const auto processes = startStations(environment, stations, [](int s) {
        return QStringList{QStringLiteral("--outage-station"), QString::number(s)};
    });
    for (auto &p : processes) {
        p->write("go\n");
        p->waitForBytesWritten(5000);
    }
    QThread::sleep(OutageStartSecond);
    if (!serverScript(QStringLiteral("stop"), dir, QString()))
        return false;
    QThread::sleep(OutageSeconds);
    if (!serverScript(QStringLiteral("start"), dir, port))
        return false;
    const qint64 back = QDateTime::currentMSecsSinceEpoch();

    int onlineIn = 0, onlineOut = 0, offlineIn = 0, offlineOut = 0, refused = 0, failed = 0, exceptions = 0,
        refusedIn = 0, waiting = 0;
    qint64 lastEmpty = back;
    bool allEmptied = true;
    QStringList failures;
    for (auto &p : processes) {
        if (!p->waitForFinished(300000) || p->exitCode() != 0)
            fail(QStringLiteral("a station failed"));
        for (const QByteArray &line : p->readAll().split('\n')) {
            if (line.startsWith("outage ")) {
                const QList<QByteArray> n = line.split(' ');
                onlineIn += n.value(1).toInt();
                onlineOut += n.value(2).toInt();
                offlineIn += n.value(3).toInt();
                offlineOut += n.value(4).toInt();
                refused += n.value(5).toInt();
                failed += n.value(6).toInt();
                exceptions += n.value(7).toInt();
                refusedIn += n.value(8).toInt();
                waiting += n.value(9).toInt();
                const qint64 emptyAt = n.value(10).toLongLong();
                if (emptyAt == 0)
                    allEmptied = false;
                lastEmpty = std::max(lastEmpty, emptyAt);
            } else if (line.startsWith("failure ")) {
                failures << QString::fromUtf8(line.mid(8));
            }
        }
    }
    const auto db = data::Database::open(*server);
    const int rows = count(*db, QStringLiteral("select count(*) as n from clocktable"));
    const int keys = count(*db, QStringLiteral("select count(*) as n from ReplayedPunches"));
    const int refusedKeys = count(*db, QStringLiteral("select count(*) as n from ReplayedPunches where Reason is not null"));
    const int auditRows = count(*db, QStringLiteral("select count(*) as n from AuditTable where TableName = 'ReplayedPunches' "
                                                      "and Action = 'Refused replay'"));
    const int doubleOpen = count(*db, QStringLiteral("select count(*) as n from (select useridlogin from clocktable "
                                                       "where clockedout is null group by useridlogin having count(*) > 1) x"));
    const int untotalled = count(*db, QStringLiteral("select count(*) as n from clocktable where clockedout is not null "
                                                       "and totalclock is null"));
    // Every punch kept offline has its key once sent, written or refused; every clock-in
    // confirmed online or sent and written is one row.
    const int offline = offlineIn + offlineOut;
    const int expectedRows = onlineIn + offlineIn - refusedIn;
    const int lost = std::max(0, offline - keys) + waiting + std::max(0, expectedRows - rows);
    const int doubled = std::max(0, keys - offline) + std::max(0, rows - expectedRows);
    const double drainSeconds = (lastEmpty - back) / 1000.0;
    std::printf("PostgreSQL outage: %d stations for %d s, server stopped %d s: %d punches confirmed online (%d in, %d out), "
                "%d offline (%d in, %d out), %d refused at the clock, %d failed; %d replays refused and kept as "
                "exceptions (%d keys with a reason, %d audit rows); queues empty %.1f s after the server's return%s; "
                "%d rows, %d lost, %d doubled, %d IDs with two open rows, %d closed rows untotalled\n",
                stations, OutageRunSeconds, OutageSeconds, onlineIn + onlineOut, onlineIn, onlineOut, offline, offlineIn,
                offlineOut, refused, failed, exceptions, refusedKeys, auditRows, drainSeconds,
                allEmptied ? "" : " (NOT all emptied)", rows, lost, doubled, doubleOpen, untotalled);
    for (const QString &f : failures.mid(0, 3))
        std::printf("PostgreSQL outage: failed punch: %s\n", qPrintable(f));
    std::fflush(stdout);
    return allEmptied && lost == 0 && doubled == 0 && doubleOpen == 0 && untotalled == 0 && exceptions == refusedKeys
           && refusedKeys == auditRows && drainSeconds <= 35.0;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--station"))
        return runStation(args.value(2).toInt(), args.value(3).toInt());
    if (args.value(1) == QLatin1String("--outage-station"))
        return runOutageStation(args.value(2).toInt());
    // Only the outage row: bench_stations --outage [stations]
    if (args.value(1) == QLatin1String("--outage"))
        return outage(args.value(2).toInt() > 0 ? args.value(2).toInt() : 8) ? 0 : 2;

    int stations = 8;
    int punches = 1000;
    if (args.size() > 1 && args[1].toInt() > 0)
        stations = args[1].toInt();
    if (args.size() > 2 && args[2].toInt() > 0)
        punches = args[2].toInt();

    bool sound = true;
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    if (const data::DbError error = data::createEmbeddedDatabase(data::Database::embeddedFilePath(dir.path())))
        fail(error.description);
    data::ConnectionSettings embedded;
    embedded.accessFolder = dir.path();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(FolderVariable), dir.path());
    sound = race("embedded", embedded, environment, stations, punches) && sound;

    if (const auto server = bench::freshPostgresDatabase("bench_stations", QStringLiteral("bench_stations"))) {
        environment.insert(QString::fromLatin1(DatabaseVariable), server->database);
        sound = race("PostgreSQL", *server, environment, stations, punches) && sound;
        sound = outage(stations) && sound;
    }
    return sound ? 0 : 2;
}
