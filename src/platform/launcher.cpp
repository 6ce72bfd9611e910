#include "platform/launcher.h"

#include <QFileInfo>
#include <QProcess>

namespace platform {

namespace {
struct Script {
    bool scripted = false;
    QStringList started;
};
Script &script()
{
    static Script s;
    return s;
}

bool isExecutable(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}
} // namespace

QPair<QString, QString> Launcher::split(const QString &commandLine)
{
    // Try every blank from the right, so "a folder with blanks/KtlyPlug args" resolves.
    for (qsizetype cut = commandLine.lastIndexOf(QLatin1Char(' ')); cut > 0;
         cut = commandLine.lastIndexOf(QLatin1Char(' '), cut - 1)) {
        const QString program = commandLine.left(cut);
        if (isExecutable(program))
            return {program, commandLine.mid(cut + 1)};
    }
    if (isExecutable(commandLine))
        return {commandLine, QString()};
    const qsizetype first = commandLine.indexOf(QLatin1Char(' '));
    if (first < 0)
        return {commandLine, QString()};
    return {commandLine.left(first), commandLine.mid(first + 1)};
}

bool Launcher::start(const QString &commandLine)
{
    Script &s = script();
    if (s.scripted) {
        s.started.append(commandLine);
        return true;
    }
    const auto [program, argument] = split(commandLine);
    if (!isExecutable(program))
        return false;
    QStringList arguments;
    if (!argument.isEmpty())
        arguments << argument;
    return QProcess::startDetached(program, arguments);
}

bool Launcher::start(const QString &commandLine, Finished finished)
{
    Script &s = script();
    if (s.scripted) {
        s.started.append(commandLine);
        return true;
    }
    const auto [program, argument] = split(commandLine);
    if (!isExecutable(program))
        return false;
    // No parent: the program keeps running when the window that started it is closed.
    auto *process = new QProcess;
    process->setProgram(program);
    if (!argument.isEmpty())
        process->setArguments({argument});
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, finished](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (finished)
                             finished(status == QProcess::NormalExit ? exitCode : -1,
                                      QString::fromLocal8Bit(process->readAllStandardOutput()),
                                      QString::fromLocal8Bit(process->readAllStandardError()));
                     });
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}

void Launcher::setScripted(bool on)
{
    script().scripted = on;
    script().started.clear();
}

QStringList Launcher::started()
{
    return script().started;
}

void Launcher::clearStarted()
{
    script().started.clear();
}

} // namespace platform
