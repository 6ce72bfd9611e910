#pragma once

#include <QString>

// How the Windows spellings of the station map onto this platform. Every such mapping
// lives here and nowhere else.
namespace platform {

// The path separator, used where the station joins or cleans folder texts.
QChar separator();
inline QString separatorText() { return QString(separator()); }

// The executable file name of a helper program: "KtlyPlug" here, "KtlyPlug.exe" on Windows.
QString executableName(const QString &baseName);

// The program's own folder: the folder of the running executable. Tests may point it elsewhere.
QString programFolder();
void setProgramFolder(const QString &folder);

// The folder an installed station shares its database in, made by its package
// (/var/lib/chronotally unless the build says otherwise). Tests may point it elsewhere.
QString dataFolder();
void setDataFolder(const QString &folder);

// Whether the station's user may make files in the folder: its permission bits grant this user
// write access (as owner, group member or anyone else) and its file system is not read-only.
// The bits are read as they stand, so a folder closed to its owner counts as closed to root too.
bool isWritableFolder(const QString &folder);

// The database folder when none is set: the program folder when it is writable (a station run
// from its build folder or a copy of it), otherwise the data folder when that exists (an
// installed station, whose program folder belongs to the system), otherwise the program folder.
QString defaultDatabaseFolder();

// The folder the report page (ktly.htm) passes through from the report screen to the print
// utility, which prints it from there: the program folder, or, when that exists but may not be
// written (an installed station), the user's own cache folder ~/.cache/chronotally.
QString pageFolder();

// The station's name as the network knows it (the machine's host name).
QString stationName();

// The default folder of the camera plug-in: the program's own folder, where the build puts it.
QString defaultPluginFolder();

// Screen geometry units: 15 twips to a pixel at 96 dots per inch.
constexpr int TwipsPerPixel = 15;
constexpr int twipsToPixels(int twips) { return (twips + (twips >= 0 ? 7 : -7)) / TwipsPerPixel; }
constexpr int pixelsToTwips(int pixels) { return pixels * TwipsPerPixel; }

} // namespace platform
