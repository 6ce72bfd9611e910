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

// The station's name as the network knows it (the machine's host name).
QString stationName();

// The default folder of the camera plug-in: the program's own folder, where the build puts it.
QString defaultPluginFolder();

// Screen geometry units: 15 twips to a pixel at 96 dots per inch.
constexpr int TwipsPerPixel = 15;
constexpr int twipsToPixels(int twips) { return (twips + (twips >= 0 ? 7 : -7)) / TwipsPerPixel; }
constexpr int pixelsToTwips(int pixels) { return pixels * TwipsPerPixel; }

} // namespace platform
