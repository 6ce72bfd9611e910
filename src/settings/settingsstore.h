#pragma once

#include <QString>

// The per-user settings store: application, section and key, each compared without regard
// to case, holding text values. Backed by an INI file at the per-user configuration location.
namespace settings {

QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &application, const QString &section, const QString &key,
                 const QString &value);
void DeleteSetting(const QString &application, const QString &section, const QString &key);
void DeleteSetting(const QString &application);

// The folder that holds the store's files (one per application, plus the lock-down policy
// file). Tests point it at a temporary folder; empty returns to the per-user location.
void setStoreFolder(const QString &folder);
QString storeFolder();
QString storeFile(const QString &application);

// The store holds the scrambled SQL Server password: its folder is kept to its owner
// (0700) and every file in it readable and writable by its owner only (0600).
void makeStoreFolder();
void restrictToOwner(const QString &file);

} // namespace settings
