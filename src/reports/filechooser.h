#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace reports {

// A mounted volume as the drive list sees it.
struct Volume {
    QString rootPath;
    QByteArray fileSystemType;
};

// The drive list from mounted volumes: real file systems only (no kernel, device, control
// group or similar pseudo file systems, nothing under /proc, /sys, /dev or /run apart from
// removable media under /run/media), each root once, "/" first and the rest in path order.
QStringList driveList(const QList<Volume> &volumes);
// The drive list of this machine.
QStringList mountedDrives();

// The file chooser's state and rules: the drive, the folder list's folder, the file list's
// folder and its "*.txt" files, and the typed path. "OK" remembers them and sets the chosen
// export path, which "Save Report" clears before asking and reads afterwards.
class FileChooser
{
public:
    static const QString NoFileMessage;
    static const QString FilePattern;

    // Starts on the drive and folder of the user's home folder.
    FileChooser();

    // Restores the remembered path, drive, folder and file list folder, each on its own:
    // one that no longer exists leaves its list where it was.
    void load();

    QStringList drives() const { return m_drives; }
    QString drive() const { return m_drive; }
    // Moves the folder list to the drive's root. Returns false, changing nothing, for a drive
    // that is not in the list or cannot be read.
    bool setDrive(const QString &drive);

    QString folder() const { return m_folder; }
    // The folder's subfolders, by name, in name order.
    QStringList subfolders() const;
    // Moves the folder list, and with it the file list, to an existing folder; returns false
    // and changes nothing for any other path.
    bool setFolder(const QString &folder);

    QString fileFolder() const { return m_fileFolder; }
    bool setFileFolder(const QString &folder);
    // The "*.txt" files of the file list's folder, in name order.
    QStringList files() const;

    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }
    // The path field becomes the file list's folder and the file name, with no doubled separator.
    void clickFile(const QString &name);

    // The file the path field names: a relative name is taken in the file list's folder.
    // Empty for a path field that is empty or blanks only.
    QString resolvedPath() const;

    // "OK": refuses an empty path, or one of blanks only, with its message and returns false;
    // otherwise remembers the four values, sets the chosen export path (the resolved path) and
    // returns true.
    bool accept();

    QString chosenPath() const { return m_chosen; }
    void clearChosenPath() { m_chosen.clear(); }

private:
    QStringList m_drives;
    QString m_drive;
    QString m_folder;
    QString m_fileFolder;
    QString m_path;
    QString m_chosen;
};

} // namespace reports
