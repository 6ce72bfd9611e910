#pragma once

#include "data/database.h"

#include <QHash>
#include <QObject>
#include <QString>

namespace admin {

// The check boxes of the options and SQL panels, numbered as their controls (Check1...).
enum class Option {
    KeepMaximized = 1,        // "Keep Time Clock Maximized"
    DisableCtrlAltDelete = 2, // "Disalbe Ctrl Alt Delete"
    OneIcon = 3,              // "Show One Icon for Clock in and Out"
    StayOnTop = 4,            // "Force Stampwell to Stay on Top"
    SpecifyLocation = 5,      // "Specify Location of Network Database MDB File"
    AutoLaunch = 8,           // "Automatically Launch Stampwell at Start Up"
    BlockMoving = 9,          // "Block users from moving Clock"
    AllowExit = 10,           // "Allow all users to exit application from main menu"
    FontSettings = 12,        // "Font Settings"
    RunMultiple = 15,         // "Run on Multiple computers"
    CompanyText = 19,         // "Company Name or other Text to display on Screen"
    UseSqlDb = 20,            // "Use SQL DB"
    Camera = 21,              // "Turn on Camera"
    Spanish = 22,             // "Spanish"
    SaveSqlPassword = 25,     // "Save SQL Password"
    DaylightSavingUnlocked = 32, // "Do not lock the clock at a daylight-saving change"
};

// The text fields of the options and SQL panels.
enum class Field {
    DatabaseFolder, // Text4
    DisplayText,    // Text8
    FontName,       // TextFontName
    FontSize,       // TextFontSize
    CameraIp,       // Text9
    PluginLocation, // TextLocation
    SqlUser,        // Textq10
    SqlDatabase,    // Textq14
    SqlServer,      // Textq15
};

// The live station options, held by the main menu for the whole run. The main menu's
// widgets edit this object; every other screen reads it (never the store). Setting a value
// that changes it emits the change, which is where the main menu stores it and acts on it.
class OptionsModel : public QObject
{
    Q_OBJECT

public:
    explicit OptionsModel(QObject *parent = nullptr);

    bool isOn(Option option) const { return m_options.value(option, false); }
    void setOn(Option option, bool on);

    QString text(Field field) const { return m_fields.value(field); }
    void setText(Field field, const QString &text);

    // The SQL panel's server kind.
    data::ServerKind serverKind() const { return m_serverKind; }
    void setServerKind(data::ServerKind kind);
    // Its stored text, and the kind a stored text means (SQL Server unless "PostgreSQL").
    static QString serverKindText(data::ServerKind kind);
    static data::ServerKind serverKindOf(const QString &text);

    // The hidden password value of the SQL panel: the password connections use.
    QString sqlPassword() const { return m_sqlPassword; }
    void setSqlPassword(const QString &password) { m_sqlPassword = password; }

    // The process-wide folder of the embedded database file; empty means the program's folder.
    QString accessFolder() const;
    void setAccessFolder(const QString &folder) { m_accessFolder = folder; }

    // The connection values every screen opens its connection with.
    data::ConnectionSettings connectionSettings() const;

Q_SIGNALS:
    void optionChanged(admin::Option option, bool on);
    void textChanged(admin::Field field, const QString &text);
    void serverKindChanged(data::ServerKind kind);

private:
    QHash<Option, bool> m_options;
    QHash<Field, QString> m_fields;
    QString m_sqlPassword;
    QString m_accessFolder;
    data::ServerKind m_serverKind = data::ServerKind::SqlServer;
};

} // namespace admin
