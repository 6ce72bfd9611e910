#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QtGlobal>

#include <memory>

class QKeyEvent;

// The kiosk keyboard hook. While the clock screen shows, it keeps the lock-down policies set
// and swallows the task-switching combinations (Alt+Tab, Alt+Esc, Ctrl+Esc and both Windows
// keys); while it is hidden, it clears the policies and lets every key through.
//
// The decision works on a Windows-like encoding of a keyboard event, so that it reads the
// same whatever delivers the keys: a hook code, an event type, a virtual-key code, the flags
// word and the Ctrl state.
namespace station {

namespace hook {
inline constexpr int ActionCode = 0;

inline constexpr int KeyDown = 0x100;
inline constexpr int KeyUp = 0x101;
inline constexpr int SysKeyDown = 0x104;
inline constexpr int SysKeyUp = 0x105;

inline constexpr quint32 AltDownFlag = 0x20;

inline constexpr int VkTab = 9;
inline constexpr int VkEscape = 27;
inline constexpr int VkLeftWindows = 91;
inline constexpr int VkRightWindows = 92;

// One keyboard event in that encoding. eventType is 0 for anything that is not a key press
// or release.
struct KeyInput
{
    int eventType = 0;
    int vkCode = 0;
    quint32 flags = 0;
    bool ctrlDown = false;
};

// Maps a Qt key event (key, modifiers, press or release) onto the encoding. Letters and digits
// keep their codes, a few named keys get theirs, anything else is 0.
KeyInput keyInput(int qtKey, Qt::KeyboardModifiers modifiers, QEvent::Type type);
KeyInput keyInput(const QKeyEvent &event);
} // namespace hook

// True when the event is to be swallowed: hook code 0, one of the four key event types, and
// one of the five blocked combinations.
bool KeyboardHookSwallows(int code, int eventType, int vkCode, quint32 flags, bool ctrlDown);

class KeyGrabs;

// The hook as an application-wide event filter. Constructing it installs it on the
// application; it follows the clock screen's Show and Hide events to take and release the
// X11 grabs of the blocked combinations where the X11 platform is in use.
class KeyboardHook : public QObject
{
    Q_OBJECT
public:
    explicit KeyboardHook(QWidget *clockScreen, QObject *parent = nullptr);
    ~KeyboardHook() override;

    QWidget *clockScreen() const { return m_clockScreen; }
    void setClockScreen(QWidget *clockScreen);

    // Whether the blocked combinations are currently grabbed from the X server.
    bool keysGrabbed() const;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool clockVisible() const;
    void followVisibility();
    void rewritePolicies(const QKeyEvent *event, bool on);

    QPointer<QWidget> m_clockScreen;
    std::unique_ptr<KeyGrabs> m_grabs;
    // The key event whose policies were last written, so one event that travels from the
    // window to the focus widget and up to its parents writes the file once.
    struct LastWrite
    {
        const QKeyEvent *event = nullptr;
        QEvent::Type type = QEvent::None;
        int key = 0;
        quint64 timestamp = 0;
        int value = -1;
        bool operator==(const LastWrite &) const = default;
    };
    LastWrite m_lastWrite;
};

// Installs the hook once for the run, for the given clock screen; it is never removed.
// A second call only points the installed hook at the given clock screen.
void installKeyboardHook(QWidget *clockScreen);

} // namespace station
