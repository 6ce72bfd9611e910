#pragma once

#include "data/database.h"
#include "station/titles.h"

#include <QFont>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

// What the clock screen shows and where, apart from any widget: the control geometry in
// twips, the captions, the keypad characters and the letter-key layout.
namespace station::clocklayout {

// Captions. The punch captions are texts of the station (CRLF between the two languages);
// buttonText() turns them into what a push button displays.
inline const QString ClockInCaption = QStringLiteral("Clock In");
inline const QString ClockOutCaption = QStringLiteral("Clock Out");
inline const QString ClockInOutCaption = QStringLiteral("Clock In / Clock Out");
inline const QString SpanishClockInCaption = QStringLiteral("Clock In\r\nEntrada");
inline const QString SpanishClockOutCaption = QStringLiteral("Clock Out\r\nSalida");
inline const QString MainMenuCaption = QStringLiteral("Main Menu");
inline const QString ShowKeyboardCaption = QStringLiteral("Show Keyboard");
inline const QString HideKeyboardCaption = QStringLiteral("Hide Keyboard");
inline const QString AboutCaption = QStringLiteral("About");
inline const QString ClearCaption = QStringLiteral("&Clear");
inline const QString AboutText = product::nameAndVersion();

// A station caption as a push button shows it: one line per CRLF.
QString buttonText(const QString &caption);
// The two punch buttons' captions with "Spanish" on or off.
QString clockInCaption(bool spanish);
QString clockOutCaption(bool spanish);

// Design geometry in twips. Controls of the punch panel are relative to it; the panel, the
// combined button and the window size are relative to the window.
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
QRect toPixels(const Twips &twips);

inline constexpr Twips WindowClientArea{0, 0, 7650, 5550};
inline constexpr Twips PunchPanel{120, 120, 7455, 7695};        // Frame2
inline constexpr Twips CompanyLabel{0, 0, 7935, 615};           // Label2
inline constexpr Twips ClockInButton{0, 600, 1935, 2415};       // Command1
inline constexpr Twips ClockOutButton{2040, 600, 1935, 2415};   // Command2
inline constexpr Twips CombinedButton{120, 720, 3975, 2415};    // Command10
inline constexpr Twips TimeLabel{4200, 840, 3495, 495};         // Label1
inline constexpr Twips IdField{4200, 1200, 3135, 375};          // Text1
inline constexpr Twips ClearKey{4200, 4560, 3135, 615};         // Command4(12)
inline constexpr Twips MainMenuButton{0, 3120, 3975, 615};      // Command5
inline constexpr Twips KeyboardButton{0, 3840, 3975, 615};      // Command8
inline constexpr Twips AboutButton{0, 4560, 3975, 615};         // Command9
inline constexpr Twips LetterKeyboard{240, 5760, 6735, 1695};   // Frame1
inline constexpr Twips OfflineLabel{0, 5190, 7335, 240};        // the offline state
inline constexpr int KeypadKeyWidth = 975;
inline constexpr int KeypadKeyHeight = 615;
inline constexpr int LetterKeyWidth = 615;
inline constexpr int LetterKeyHeight = 495;

// Window heights after the keyboard toggle (with "Keep Time Clock Maximized" off). They are
// outer heights, title bar and borders included, of a window whose client area opens
// WindowClientArea high: the difference is the design's frame, taken off to size the client
// area, so hiding the keyboard gives back exactly the opening height.
inline constexpr int KeyboardHiddenHeight = 5790;
inline constexpr int KeyboardShownHeight = 7995;
inline constexpr int DesignFrameHeight = KeyboardHiddenHeight - WindowClientArea.height;
inline constexpr int KeyboardHiddenClientHeight = KeyboardHiddenHeight - DesignFrameHeight;
inline constexpr int KeyboardShownClientHeight = KeyboardShownHeight - DesignFrameHeight;

// Numeric keypad: keys 0-11 add a character, key 12 clears the field.
inline constexpr int KeypadKeyCount = 13;
inline constexpr int ClearKeyIndex = 12;
// "0".."9" for 0-9, "." for 10, "-" for 11; empty for the clear key.
QString keypadCharacter(int index);
QString keypadCaption(int index);
Twips keypadKey(int index);

// Letter keys: 30 keys, of which 0-25 carry the letters Q W E R T Y U I O P, A S D F G H J K
// L, Z X C V B N M and 26-29 stay hidden.
inline constexpr int LetterKeyCount = 30;
QString letterKeyLetter(int index);

struct LetterKey {
    int left = 0; // twips within the letter keyboard
    int top = 0;
    bool visible = true;
    QString caption; // empty: the key keeps its design caption
};
// The layout SetUpTheKeys applies, key by key.
QList<LetterKey> letterKeyLayout();

// A button font after the font settings: the given name and, when the size text is a
// positive number, that size. The rest of the font (bold) stays.
QFont buttonFont(QFont font, const QString &name, const QString &sizeText);

// The start-up error check: a general failure (a database that cannot be opened) ends the
// station; anything else is shown as number and description and the station goes on.
bool endsStartup(const data::DbError &error);
QString startupErrorText(const data::DbError &error);

} // namespace station::clocklayout
