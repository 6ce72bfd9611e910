#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

namespace {
struct Script {
    bool scripted = false;
    QString text;
};
Script &script()
{
    static Script s;
    return s;
}
} // namespace

void Clipboard::setText(const QString &text)
{
    if (script().scripted || !qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        script().text = text;
        return;
    }
    QGuiApplication::clipboard()->setText(text);
}

QString Clipboard::text()
{
    if (script().scripted || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return script().text;
    return QGuiApplication::clipboard()->text();
}

void Clipboard::setScripted(bool on)
{
    script().scripted = on;
    script().text.clear();
}

} // namespace platform
