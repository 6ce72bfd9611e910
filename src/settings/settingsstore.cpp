#include "settings/settingsstore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace settings {

namespace {
QString &folderOverride()
{
    static QString folder;
    return folder;
}

QString entryName(const QString &section, const QString &key)
{
    return section.toLower() + QLatin1Char('/') + key.toLower();
}
} // namespace

void setStoreFolder(const QString &folder)
{
    folderOverride() = folder;
}

QString storeFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Chronotally");
}

QString storeFile(const QString &application)
{
    // One file per application; the name is folded so that any spelling finds the same file.
    QString name = application.toLower();
    if (name == QLatin1String("chronotally"))
        name = QStringLiteral("Chronotally");
    return storeFolder() + QLatin1Char('/') + name + QStringLiteral(".conf");
}

QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    QSettings store(storeFile(application), QSettings::IniFormat);
    const QVariant value = store.value(entryName(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SaveSetting(const QString &application, const QString &section, const QString &key,
                 const QString &value)
{
    QDir().mkpath(storeFolder());
    QSettings store(storeFile(application), QSettings::IniFormat);
    store.setValue(entryName(section, key), value);
    store.sync();
}

void DeleteSetting(const QString &application, const QString &section, const QString &key)
{
    QSettings store(storeFile(application), QSettings::IniFormat);
    store.remove(entryName(section, key));
    store.sync();
}

void DeleteSetting(const QString &application)
{
    QSettings store(storeFile(application), QSettings::IniFormat);
    store.clear();
    store.sync();
}

} // namespace settings
