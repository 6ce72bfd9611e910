#include "station/keygrabs.h"

#ifdef CHRONOTALLY_HAVE_X11

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

// Xlib last: its macros (KeyPress, None, Bool ...) would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace station {

namespace {

Display *qtDisplay()
{
    // No application (it is being torn down, its connection already closed) or another platform.
    if (!qApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// The modifier bit a key such as Alt_L or Num_Lock is mapped to, or the fallback.
unsigned int modifierMask(Display *display, KeySym sym, unsigned int fallback)
{
    const KeyCode code = XKeysymToKeycode(display, sym);
    if (code == 0)
        return fallback;
    unsigned int mask = 0;
    if (XModifierKeymap *map = XGetModifierMapping(display)) {
        for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                if (map->modifiermap[modifier * map->max_keypermod + k] == code) {
                    mask = 1u << modifier;
                    break;
                }
            }
        }
        XFreeModifiermap(map);
    }
    return mask ? mask : fallback;
}

struct Combination
{
    KeySym sym;
    bool alt;
    bool ctrl;
};

const Combination Combinations[] = {
    {XK_Tab, true, false},    // Alt+Tab
    {XK_Escape, true, false}, // Alt+Escape
    {XK_Escape, false, true}, // Ctrl+Escape
    {XK_Super_L, false, false},
    {XK_Super_R, false, false},
};

// A grab another client already holds answers BadAccess. That is expected (a window manager
// that took the combination first keeps it) and must not end the program, so the requests
// run under this handler and their errors are dropped.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

template<typename Request>
void forEachGrab(Display *display, Request request)
{
    const unsigned int alt = modifierMask(display, XK_Alt_L, Mod1Mask);
    const unsigned int numLock = modifierMask(display, XK_Num_Lock, Mod2Mask);
    const unsigned int variants[] = {0, LockMask, numLock, LockMask | numLock};
    const Window root = XDefaultRootWindow(display);

    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    for (const Combination &c : Combinations) {
        const KeyCode code = XKeysymToKeycode(display, c.sym);
        if (code == 0)
            continue;
        const unsigned int modifiers = (c.alt ? alt : 0) | (c.ctrl ? ControlMask : 0);
        for (unsigned int variant : variants)
            request(display, code, modifiers | variant, root);
    }
    // Wait for the server, so the grabs are in force (or released) when this returns.
    XSync(display, False);
    XSetErrorHandler(previous);
}

} // namespace

KeyGrabs::~KeyGrabs()
{
    setGrabbed(false);
}

void KeyGrabs::setGrabbed(bool on)
{
    if (on == m_grabbed)
        return;
    Display *display = qtDisplay();
    if (!display) {
        m_grabbed = false;
        return;
    }
    if (on) {
        forEachGrab(display, [](Display *d, KeyCode code, unsigned int modifiers, Window root) {
            XGrabKey(d, code, modifiers, root, True, GrabModeAsync, GrabModeAsync);
        });
    } else {
        forEachGrab(display, [](Display *d, KeyCode code, unsigned int modifiers, Window root) {
            XUngrabKey(d, code, modifiers, root);
        });
    }
    m_grabbed = on;
}

} // namespace station

#else

namespace station {

KeyGrabs::~KeyGrabs() = default;

void KeyGrabs::setGrabbed(bool)
{
    m_grabbed = false;
}

} // namespace station

#endif
