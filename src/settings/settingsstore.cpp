#include "settings/settingsstore.h"

#include "product.h"

#include <QDir>
#include <QFile>
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

// Writes through QSettings and leaves the file to its owner alone.
template<typename Change>
void change(const QString &application, Change &&apply)
{
    makeStoreFolder();
    const QString file = storeFile(application);
    QSettings store(file, QSettings::IniFormat);
    apply(store);
    store.sync();
    restrictToOwner(file);
}
} // namespace

void makeStoreFolder()
{
    const QString folder = storeFolder();
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void restrictToOwner(const QString &file)
{
    if (QFile::exists(file))
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

void setStoreFolder(const QString &folder)
{
    folderOverride() = folder;
}

QString storeFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QLatin1Char('/') + product::Name;
}

QString storeFile(const QString &application)
{
    // One file per application; the name is folded so that any spelling finds the same file.
    QString name = application.toLower();
    if (name == product::Name.toLower())
        name = product::Name;
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
    change(application, [&](QSettings &store) { store.setValue(entryName(section, key), value); });
}

void DeleteSetting(const QString &application, const QString &section, const QString &key)
{
    change(application, [&](QSettings &store) { store.remove(entryName(section, key)); });
}

void DeleteSetting(const QString &application)
{
    change(application, [](QSettings &store) { store.clear(); });
}

} // namespace settings
