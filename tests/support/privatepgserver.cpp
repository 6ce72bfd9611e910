#include "privatepgserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

PrivatePgServer::PrivatePgServer()
{
    QString exports;
    if (!script(QStringLiteral("start"), &exports)) {
        m_unavailable = QStringLiteral("no private PostgreSQL server: ") + exports.trimmed();
        return;
    }
    static const QRegularExpression line(QStringLiteral("^export CHRONOTALLY_PG_(\\w+)=(.*)$"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(exports); it.hasNext();) {
        const auto match = it.next();
        const QString name = match.captured(1);
        const QString value = match.captured(2);
        if (name == QLatin1String("PORT"))
            m_port = value;
        else if (name == QLatin1String("USER"))
            m_user = value;
        else if (name == QLatin1String("PASSWORD"))
            m_password = value;
        else if (name == QLatin1String("DB"))
            m_database = value;
    }
    if (m_port.isEmpty())
        m_unavailable = QStringLiteral("the private PostgreSQL server printed no port");
}

PrivatePgServer::~PrivatePgServer()
{
    thaw();
    script(QStringLiteral("stop"));
    // A folder the server's user cannot reach is replaced by one under /tmp.
    QFile elsewhere(m_dir.filePath(QStringLiteral("elsewhere")));
    if (elsewhere.open(QIODevice::ReadOnly)) {
        const QString path = QString::fromLocal8Bit(elsewhere.readAll()).trimmed();
        if (path.startsWith(QLatin1String("/tmp/")))
            QDir(path).removeRecursively();
    }
}

data::ConnectionSettings PrivatePgServer::settings() const
{
    data::ConnectionSettings s;
    s.useSqlDb = true;
    s.serverKind = data::ServerKind::PostgreSql;
    s.server = QStringLiteral("127.0.0.1:") + m_port;
    s.user = m_user;
    s.password = m_password;
    s.database = m_database;
    return s;
}

bool PrivatePgServer::stop()
{
    return script(QStringLiteral("stop"));
}

bool PrivatePgServer::start()
{
    return script(QStringLiteral("start"));
}

bool PrivatePgServer::script(const QString &action, QString *output)
{
    if (!m_dir.isValid())
        return false;
    QStringList arguments{QStringLiteral(CHRONOTALLY_SOURCE_DIR "/scripts/pgserver.sh"), action, QStringLiteral("--dir"),
                          m_dir.path()};
    if (action == QLatin1String("start")) {
        arguments << QStringLiteral("--throwaway") << QStringLiteral("--env") << QStringLiteral("--database")
                  << QStringLiteral("reconnect");
        // The same port again after a stop, so that open connections' settings still fit.
        if (!m_port.isEmpty())
            arguments << QStringLiteral("--port") << m_port;
    }
    QProcess process;
    process.start(QStringLiteral("bash"), arguments);
    const bool finished = process.waitForFinished(120000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PrivatePgServer::freeze()
{
    return signalAll("-STOP");
}

bool PrivatePgServer::thaw()
{
    return signalAll("-CONT");
}

bool PrivatePgServer::signalAll(const char *signal)
{
    // The postmaster's process ID is the first line of its pid file; its children are every
    // other server process.
    QString folder = m_dir.path();
    QFile elsewhere(m_dir.filePath(QStringLiteral("elsewhere")));
    if (elsewhere.open(QIODevice::ReadOnly))
        folder = QString::fromLocal8Bit(elsewhere.readAll()).trimmed();
    QFile pidFile(folder + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const QString postmaster = QString::fromLatin1(pidFile.readLine()).trimmed();
    if (postmaster.isEmpty())
        return false;
    QProcess children;
    children.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), postmaster});
    children.waitForFinished(10000);
    QStringList pids = QString::fromLatin1(children.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    pids.prepend(postmaster);
    return QProcess::execute(QStringLiteral("kill"), QStringList{QString::fromLatin1(signal)} + pids) == 0;
}
