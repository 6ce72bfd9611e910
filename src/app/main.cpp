#include "platform/system.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chronotally"));
    QApplication::setOrganizationName(QStringLiteral("Chronotally"));
    QTextStream(stdout) << "Chronotally program folder: " << platform::programFolder() << "\n";
    return 0;
}
