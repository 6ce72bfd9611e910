#include "platform/browser.h"

#include <QDesktopServices>

namespace platform {

namespace {
struct Script {
    bool scripted = false;
    QStringList opened;
};
Script &script()
{
    static Script s;
    return s;
}
} // namespace

bool Browser::open(const QUrl &url)
{
    if (script().scripted) {
        script().opened << url.toString();
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void Browser::setScripted(bool on)
{
    script().scripted = on;
    script().opened.clear();
}

QStringList Browser::opened()
{
    return script().opened;
}

} // namespace platform
