#pragma once

#include <QStringList>
#include <QUrl>

namespace platform {

// Opens web pages in the default browser. In scripted mode (tests) the addresses are recorded.
class Browser
{
public:
    static bool open(const QUrl &url);
    static void setScripted(bool on);
    static QStringList opened();
};

} // namespace platform
