#pragma once

namespace platform {

// Puts every platform wrapper (message boxes, processes, clipboard, browser) into scripted
// mode, or back. Tests call this once; the clock is set separately.
void setScripted(bool on);

} // namespace platform
