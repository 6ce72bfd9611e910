#include "platform/system.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>

namespace platform {

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QChar separator()
{
    return QDir::separator();
}

QString executableName(const QString &baseName)
{
#ifdef Q_OS_WIN
    return baseName + QStringLiteral(".exe");
#else
    return baseName;
#endif
}

QString programFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    if (QCoreApplication::instance())
        return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    return QDir::currentPath();
}

void setProgramFolder(const QString &folder)
{
    programFolderOverride() = folder;
}

QString stationName()
{
    return QSysInfo::machineHostName();
}

QString defaultPluginFolder()
{
    return programFolder();
}

} // namespace platform
