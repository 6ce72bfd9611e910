#include "reports/filechooser.h"

#include "platform/messagebox.h"
#include "platform/system.h"
#include "settings/keys.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

namespace reports {

const QString FileChooser::NoFileMessage = QStringLiteral("Please Speicify a file ");
const QString FileChooser::FilePattern = QStringLiteral("*.txt");

namespace {

bool isPseudoFileSystem(const QByteArray &type)
{
    static const QSet<QByteArray> pseudo{
        "autofs",   "binfmt_misc", "bpf",       "cgroup",    "cgroup2", "configfs", "debugfs",
        "devpts",   "devtmpfs",    "efivarfs",  "fusectl",   "hugetlbfs", "mqueue", "nsfs",
        "proc",     "pstore",      "ramfs",     "rpc_pipefs", "securityfs", "selinuxfs", "squashfs",
        "sysfs",    "tracefs"};
    return pseudo.contains(type);
}

bool isSystemPath(const QString &root)
{
    const auto under = [&root](const char *folder) {
        const QString f = QString::fromLatin1(folder);
        return root == f || root.startsWith(f + QLatin1Char('/'));
    };
    if (under("/run/media"))
        return false;
    return under("/proc") || under("/sys") || under("/dev") || under("/run");
}

QString cleanFolder(const QString &folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

bool isFolder(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir();
}

// The drive holding a folder: the longest drive root that contains it.
QString driveOf(const QStringList &drives, const QString &folder)
{
    QString best;
    for (const QString &d : drives) {
        const QString root = d.endsWith(platform::separator()) ? d : d + platform::separator();
        if ((folder == d || folder.startsWith(root)) && d.size() > best.size())
            best = d;
    }
    return best;
}

} // namespace

QStringList driveList(const QList<Volume> &volumes)
{
    QStringList drives;
    for (const Volume &v : volumes) {
        if (v.rootPath.isEmpty() || isPseudoFileSystem(v.fileSystemType) || isSystemPath(v.rootPath)
            || drives.contains(v.rootPath))
            continue;
        drives << v.rootPath;
    }
    std::sort(drives.begin(), drives.end(), [](const QString &a, const QString &b) {
        const bool aRoot = QDir(a).isRoot();
        const bool bRoot = QDir(b).isRoot();
        return aRoot != bRoot ? aRoot : a < b;
    });
    return drives;
}

QStringList mountedDrives()
{
    QList<Volume> volumes;
    for (const QStorageInfo &info : QStorageInfo::mountedVolumes()) {
        // A bind-mounted single file is not a drive.
        if (info.isValid() && info.isReady() && QFileInfo(info.rootPath()).isDir())
            volumes.append({QDir::toNativeSeparators(info.rootPath()), info.fileSystemType()});
    }
    if (volumes.isEmpty())
        volumes.append({QDir::toNativeSeparators(QDir::rootPath()), QByteArray()});
    return driveList(volumes);
}

FileChooser::FileChooser() : m_drives(mountedDrives())
{
    const QString home = cleanFolder(QDir::homePath());
    m_drive = driveOf(m_drives, home);
    if (m_drive.isEmpty() && !m_drives.isEmpty())
        m_drive = m_drives.first();
    m_folder = isFolder(home) ? home : m_drive;
    m_fileFolder = m_folder;
}

void FileChooser::load()
{
    m_path = settings::read(settings::keys::FilePath);
    setDrive(settings::read(settings::keys::Drive1Drive));
    setFolder(settings::read(settings::keys::Dir1Path));
    setFileFolder(settings::read(settings::keys::File1Path));
}

bool FileChooser::setDrive(const QString &drive)
{
    if (!m_drives.contains(drive) || !isFolder(drive) || !QFileInfo(drive).isReadable())
        return false;
    m_drive = drive;
    setFolder(drive);
    return true;
}

QStringList FileChooser::subfolders() const
{
    return QDir(m_folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

bool FileChooser::setFolder(const QString &folder)
{
    if (!isFolder(folder))
        return false;
    m_folder = cleanFolder(folder);
    m_fileFolder = m_folder;
    return true;
}

bool FileChooser::setFileFolder(const QString &folder)
{
    if (!isFolder(folder))
        return false;
    m_fileFolder = cleanFolder(folder);
    return true;
}

QStringList FileChooser::files() const
{
    // Matched without regard to case, so "NOTES.TXT" is listed too.
    return QDir(m_fileFolder).entryList({FilePattern}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

void FileChooser::clickFile(const QString &name)
{
    const QString separator = platform::separatorText();
    const QString doubled = separator + separator;
    QString path = m_fileFolder + separator + name;
    while (path.contains(doubled))
        path.replace(doubled, separator);
    m_path = path;
}

QString FileChooser::resolvedPath() const
{
    if (m_path.trimmed().isEmpty())
        return QString();
    // A name typed without a folder means the folder the file list shows, not the program's
    // working folder.
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(m_fileFolder).filePath(QDir::fromNativeSeparators(m_path))));
}

bool FileChooser::accept()
{
    // A name of blanks names no file.
    if (m_path.trimmed().isEmpty()) {
        platform::MessageBox::ok(NoFileMessage, platform::MessageBox::applicationTitle());
        return false;
    }
    settings::write(settings::keys::Drive1Drive, m_drive);
    settings::write(settings::keys::Dir1Path, m_folder);
    settings::write(settings::keys::File1Path, m_fileFolder);
    settings::write(settings::keys::FilePath, m_path);
    m_chosen = resolvedPath();
    return true;
}

} // namespace reports
