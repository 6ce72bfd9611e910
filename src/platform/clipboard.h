#pragma once

#include <QString>

namespace platform {

// Plain-text access to the system clipboard. In scripted mode (tests) a private text is used.
class Clipboard
{
public:
    static void setText(const QString &text);
    static QString text();
    static void setScripted(bool on);
};

} // namespace platform
