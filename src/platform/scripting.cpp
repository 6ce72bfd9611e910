#include "platform/scripting.h"

#include "platform/browser.h"
#include "platform/clipboard.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"

namespace platform {

void setScripted(bool on)
{
    MessageBox::setScripted(on);
    Launcher::setScripted(on);
    Clipboard::setScripted(on);
    Browser::setScripted(on);
}

} // namespace platform
