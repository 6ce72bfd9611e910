#include "platform/system.h"

#include "product.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

#include <vector>
#include <QSysInfo>

namespace platform {

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

QString &dataFolderOverride()
{
    static QString folder;
    return folder;
}

bool isMemberOf(uint group)
{
    if (group == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int listed = ::getgroups(count, groups.data());
    for (int i = 0; i < listed; ++i)
        if (groups[static_cast<size_t>(i)] == group)
            return true;
    return false;
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

QString dataFolder()
{
    return dataFolderOverride().isEmpty() ? product::DataFolder : dataFolderOverride();
}

void setDataFolder(const QString &folder)
{
    dataFolderOverride() = folder;
}

bool isWritableFolder(const QString &folder)
{
    const QFileInfo info(folder);
    // isWritable asks the system, which refuses a read-only file system even to root.
    if (!info.isDir() || !info.isWritable())
        return false;
    const QFile::Permissions bits = info.permissions();
    if (info.ownerId() == ::geteuid())
        return bits.testFlag(QFile::WriteOwner);
    if (isMemberOf(info.groupId()))
        return bits.testFlag(QFile::WriteGroup);
    return bits.testFlag(QFile::WriteOther);
}

QString defaultDatabaseFolder()
{
    const QString program = programFolder();
    if (isWritableFolder(program))
        return program;
    const QString data = dataFolder();
    if (QFileInfo(data).isDir())
        return QDir::toNativeSeparators(data);
    return program;
}

QString pageFolder()
{
    const QString program = programFolder();
    if (!QFileInfo(program).isDir() || isWritableFolder(program))
        return program;
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                        + QStringLiteral("/chronotally");
    QDir().mkpath(own);
    return QDir::toNativeSeparators(own);
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
