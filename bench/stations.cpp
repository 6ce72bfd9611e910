// Stations punching at once: 8 station processes, each running 1,000 punches of a few
// colliding IDs through the real punch code (no screen), on one embedded file and on the
// PostgreSQL server the CHRONOTALLY_PG_* variables name. For each engine it prints the
// punches a second, the median and 99th-percentile punch time, and checks the end state:
// every confirmed clock-in is one row, no ID has two open rows, every closed row is totalled.
// Usage: bench_stations [stations] [punches per station]
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
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
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
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int s = 0; s < stations; ++s) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--station"), QString::number(s), QString::number(punches)});
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
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--station"))
        return runStation(args.value(2).toInt(), args.value(3).toInt());

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
    }
    return sound ? 0 : 2;
}
