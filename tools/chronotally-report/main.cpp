// chronotally-report: the punches, the payroll summary or the audit trail of the station's
// database for a range of work dates, as CSV, TSV, JSON or PDF. `--help` tells the rest.
#include "reports/reportcommand.h"

#include <QFile>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>

namespace {
// Standard error carries the program's own messages; Qt's note that a scheduled job has no
// runtime folder is left out.
void messages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}
} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(messages);
    // A reader that goes away (a pager quit early) is an output failure like any other: the
    // write fails, and the command says why and exits with 1 instead of dying of the signal.
    std::signal(SIGPIPE, SIG_IGN);
    // The PDF needs fonts, not a screen: scheduled jobs run without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    QFile out, err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    reports::ReportCommand command(out, err);
    const int code = command.run(QCoreApplication::arguments());
    out.flush();
    return code;
}
