#include "app/stationapp.h"
#include "product.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

namespace {
// Start-up measurements: with CHRONOTALLY_REPORT_READY=1 the program prints "ready" once the
// clock screen is shown and the event loop has gone idle; with CHRONOTALLY_EXIT_WHEN_READY=1
// it then ends.
void reportWhenReady()
{
    if (!qEnvironmentVariableIntValue("CHRONOTALLY_REPORT_READY"))
        return;
    // Two turns of the event loop: the first lets the show and layout events posted during
    // start-up run, the second comes when nothing is pending any more.
    QTimer::singleShot(0, [] {
        QTimer::singleShot(0, [] {
            QTextStream(stdout) << "ready" << Qt::endl;
            if (qEnvironmentVariableIntValue("CHRONOTALLY_EXIT_WHEN_READY"))
                QCoreApplication::exit(0);
        });
    });
}
} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(product::Name);
    QApplication::setApplicationName(product::Name);
    // The station ends only by "Shut Down" or a start-up failure, never by closing windows.
    QApplication::setQuitOnLastWindowClosed(false);

    app::StationApp station;
    if (!station.start())
        return 0;
    reportWhenReady();
    return QApplication::exec();
}
