// Start-up time of the station: from the process start to the clock screen shown and the
// event loop idle, offscreen, with 10,000 employees on file. Median of 10 starts.
//
// Runs the built program (../program/chronotally beside this benchmark) from a copy of its
// folder, with a temporary settings folder that starts it straight onto the clock.

#include "data/database.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {
constexpr int Employees = 10000;
constexpr int Starts = 10;
constexpr qint64 TargetMs = 300;

bool fail(const QString &text)
{
    QTextStream(stderr) << "bench_startup: " << text << Qt::endl;
    return false;
}

bool prepare(const QString &programFile, const QString &folder)
{
    const QString program = folder + QStringLiteral("/program");
    const QString config = folder + QStringLiteral("/config/Chronotally");
    QDir().mkpath(program);
    QDir().mkpath(config);
    if (!QFile::copy(programFile, program + QStringLiteral("/chronotally")))
        return fail(QStringLiteral("cannot copy %1").arg(programFile));

    if (const data::DbError e = data::createEmbeddedDatabase(data::Database::embeddedFilePath(program)))
        return fail(e.description);
    data::ConnectionSettings settings;
    settings.accessFolder = program;
    const std::shared_ptr<data::Database> db = data::Database::open(settings);
    if (db->openError())
        return fail(db->openError().description);
    db->beginWrite();
    const QString insert = QStringLiteral(
        "insert into usertable (FirstName, LastName, UserIDLogin, disabled, AdminLevel, passwordf, PhotoEnabled, "
        "SoundEnabled, PhotoOnOff, PhotoDisplay, PhotoType) values (?, ?, ?, 0, ?, ?, 0, 0, '0', 5, 'True')");
    for (int i = 1; i <= Employees; ++i) {
        const bool admin = i == 1;
        if (const data::DbError e = db->exec(insert, {QStringLiteral("First%1").arg(i), QStringLiteral("Last%1").arg(i),
                                                      QString::number(i),
                                                      admin ? QStringLiteral("5-Administrator User")
                                                            : QStringLiteral("2-Standard User"),
                                                      admin ? QStringLiteral("pw") : QString()}))
            return fail(e.description);
    }
    if (const data::DbError e = db->commit())
        return fail(e.description);

    // An administrator exists and the clock launches by itself.
    QFile conf(config + QStringLiteral("/Chronotally.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write the settings"));
    QTextStream(&conf) << "[main]\ncheckbox8=1\ndb=" << program << "\n";
    return true;
}

// One start; the time until the program says "ready", or -1.
qint64 startOnce(const QString &folder)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    env.insert(QStringLiteral("CHRONOTALLY_REPORT_READY"), QStringLiteral("1"));
    env.insert(QStringLiteral("CHRONOTALLY_EXIT_WHEN_READY"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);

    QElapsedTimer clock;
    clock.start();
    process.start(folder + QStringLiteral("/program/chronotally"), {});
    qint64 ready = -1;
    QByteArray out;
    while (ready < 0 && clock.elapsed() < 30000) {
        if (!process.waitForReadyRead(30000))
            break;
        out += process.readAllStandardOutput();
        if (out.contains("ready\n"))
            ready = clock.elapsed();
    }
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    if (ready < 0)
        fail(QStringLiteral("no ready report; output: %1 %2")
                 .arg(QString::fromLocal8Bit(out), QString::fromLocal8Bit(process.readAllStandardError())));
    return ready;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString programFile = QDir(QCoreApplication::applicationDirPath())
                                    .absoluteFilePath(QStringLiteral("../program/chronotally"));
    if (!QFile::exists(programFile)) {
        fail(QStringLiteral("build the chronotally program first (%1)").arg(programFile));
        return 1;
    }
    QTemporaryDir dir;
    if (!dir.isValid() || !prepare(programFile, dir.path()))
        return 1;

    QList<qint64> times;
    for (int i = 0; i < Starts; ++i) {
        const qint64 ms = startOnce(dir.path());
        if (ms < 0)
            return 1;
        times << ms;
    }
    std::sort(times.begin(), times.end());
    const qint64 median = (times[Starts / 2 - 1] + times[Starts / 2]) / 2;
    QTextStream(stdout) << "bench_startup: median " << median << " ms from process start to the clock screen shown "
                        << "and idle over " << Starts << " starts, " << Employees << " employees (min " << times.first()
                        << ", max " << times.last() << "; target <= " << TargetMs << " ms)" << Qt::endl;
    return median <= TargetMs ? 0 : 2;
}
