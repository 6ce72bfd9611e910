#include "station/keyboardhook.h"

#include "station/keygrabs.h"
#include "station/lockdown.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace station {

namespace hook {

namespace {
int virtualKey(int qtKey)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey; // the same codes
    switch (qtKey) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Shift+Tab arrives as its own key
        return VkTab;
    case Qt::Key_Escape:
        return VkEscape;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return VkLeftWindows;
    case Qt::Key_Super_R:
        return VkRightWindows;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}
} // namespace

KeyInput keyInput(int qtKey, Qt::KeyboardModifiers modifiers, QEvent::Type type)
{
    KeyInput input;
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    if (type == QEvent::KeyPress)
        input.eventType = alt ? SysKeyDown : KeyDown;
    else if (type == QEvent::KeyRelease)
        input.eventType = alt ? SysKeyUp : KeyUp;
    input.vkCode = virtualKey(qtKey);
    input.flags = alt ? AltDownFlag : 0;
    input.ctrlDown = modifiers.testFlag(Qt::ControlModifier);
    return input;
}

KeyInput keyInput(const QKeyEvent &event)
{
    return keyInput(event.key(), event.modifiers(), event.type());
}

} // namespace hook

bool KeyboardHookSwallows(int code, int eventType, int vkCode, quint32 flags, bool ctrlDown)
{
    using namespace hook;
    if (code != ActionCode)
        return false;
    if (eventType != KeyDown && eventType != KeyUp && eventType != SysKeyDown && eventType != SysKeyUp)
        return false;
    const bool altDown = (flags & AltDownFlag) != 0;
    return (vkCode == VkTab && altDown)          // Alt+Tab
           || (vkCode == VkEscape && altDown)    // Alt+Esc
           || (vkCode == VkEscape && ctrlDown)   // Ctrl+Esc
           || vkCode == VkLeftWindows || vkCode == VkRightWindows;
}

KeyboardHook::KeyboardHook(QWidget *clockScreen, QObject *parent)
    : QObject(parent), m_grabs(std::make_unique<KeyGrabs>())
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
    setClockScreen(clockScreen);
}

KeyboardHook::~KeyboardHook() = default;

void KeyboardHook::setClockScreen(QWidget *clockScreen)
{
    if (m_clockScreen)
        disconnect(m_clockScreen, nullptr, this, nullptr);
    m_clockScreen = clockScreen;
    if (clockScreen)
        connect(clockScreen, &QObject::destroyed, this, [this] { m_grabs->setGrabbed(false); });
    followVisibility();
}

bool KeyboardHook::keysGrabbed() const
{
    return m_grabs->isGrabbed();
}

bool KeyboardHook::clockVisible() const
{
    return m_clockScreen && m_clockScreen->isVisible();
}

void KeyboardHook::followVisibility()
{
    m_grabs->setGrabbed(clockVisible());
}

void KeyboardHook::rewritePolicies(const QKeyEvent *event, bool on)
{
    const int value = on ? 1 : 0;
    const LastWrite write{event, event->type(), event->key(), event->timestamp(), value};
    if (write == m_lastWrite)
        return;
    m_lastWrite = write;
    if (on)
        SetLockdownPolicies();
    else
        ClearLockdownPolicies();
}

bool KeyboardHook::eventFilter(QObject *watched, QEvent *event)
{
    // Called for every event of the application: decide on the type first.
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool visible = clockVisible();
        rewritePolicies(key, visible);
        if (!visible)
            return false;
        const hook::KeyInput input = hook::keyInput(*key);
        return KeyboardHookSwallows(hook::ActionCode, input.eventType, input.vkCode, input.flags,
                                    input.ctrlDown);
    }
    case QEvent::ShortcutOverride: {
        // Before a key press the key is offered to shortcuts. A blocked combination is taken
        // here (accepted, so no shortcut fires) and its key press is then swallowed above.
        if (!clockVisible())
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const hook::KeyInput input = hook::keyInput(key->key(), key->modifiers(), QEvent::KeyPress);
        if (!KeyboardHookSwallows(hook::ActionCode, input.eventType, input.vkCode, input.flags,
                                  input.ctrlDown))
            return false;
        event->accept();
        return true;
    }
    case QEvent::Show:
    case QEvent::Hide:
        if (watched == m_clockScreen)
            followVisibility();
        return false;
    default:
        return false;
    }
}

void installKeyboardHook(QWidget *clockScreen)
{
    static QPointer<KeyboardHook> installed;
    if (installed) {
        installed->setClockScreen(clockScreen);
        return;
    }
    if (QCoreApplication *app = QCoreApplication::instance())
        installed = new KeyboardHook(clockScreen, app);
}

} // namespace station
