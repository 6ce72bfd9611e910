#pragma once

namespace station {

// Passive grabs of the blocked combinations (Alt+Tab, Alt+Escape, Ctrl+Escape, Super_L and
// Super_R, each also with NumLock and CapsLock on) on the X root window, so that the window
// manager does not see them while the clock screen shows. Does nothing where the X11 platform
// is not in use (offscreen, Wayland) or the build has no X11.
class KeyGrabs
{
public:
    KeyGrabs() = default;
    ~KeyGrabs();
    KeyGrabs(const KeyGrabs &) = delete;
    KeyGrabs &operator=(const KeyGrabs &) = delete;

    // Takes the grabs (on) or releases them (off); repeating the current state does nothing.
    void setGrabbed(bool on);
    bool isGrabbed() const { return m_grabbed; }

private:
    bool m_grabbed = false;
};

} // namespace station
