#pragma once

#include "product.h"

#include <QString>

#include <optional>

// Every key of the settings store with the default its readers pass, in one place.
namespace settings {

inline const QString Application = product::Name;

struct Key {
    const char *section;
    const char *name;
    const char *defaultValue;

    QString sectionName() const { return QString::fromLatin1(section); }
    QString keyName() const { return QString::fromLatin1(name); }
    QString defaultText() const { return QString::fromLatin1(defaultValue); }
};

// Reads and writes one key of the Chronotally application.
QString read(const Key &key);
QString read(const Key &key, const QString &defaultValue);
void write(const Key &key, const QString &value);
void remove(const Key &key);

namespace keys {
// Main: station options of the options panel.
inline constexpr Key KeepMaximized{"Main", "checkbox1", "0"};
inline constexpr Key DisableCtrlAltDelete{"Main", "checkbox2", "0"};
inline constexpr Key OneIcon{"Main", "checkbox3", "0"};
inline constexpr Key StayOnTop{"Main", "checkbox4", "0"};
inline constexpr Key AutoLaunch{"Main", "checkbox8", "1"};
inline constexpr Key BlockMoving{"Main", "checkbox9", "0"};
inline constexpr Key AllowExit{"Main", "checkbox10", "0"};
inline constexpr Key CompanyTextOption{"Main", "checkbox19", "0"};
inline constexpr Key UseSqlDb{"Main", "checkbox20", "0"};
inline constexpr Key Camera{"Main", "checkbox21", "0"};
inline constexpr Key Spanish{"Main", "checkbox22", "0"};
inline constexpr Key DisplayText{"Main", "form5text8", ""};
inline constexpr Key FontName{"Main", "textfontname", "Verdana"};
inline constexpr Key FontSize{"Main", "textfontsize", "12"};
inline constexpr Key CameraIp{"Main", "Text9", ""};
// The default plug-in folder is the program's own folder here (platform::defaultPluginFolder);
// this text is what the station wrote on Windows.
inline constexpr Key PluginLocation{"Main", "TextLocation", "c:\\program files\\dazudidi"};
inline constexpr Key DatabaseFolder{"Main", "db", ""};
// Payroll: the break rule (after TextBreakAfter hours in one punch, TextBreakMinutes are
// not paid), the over-long punch limit in hours, and the repeat-scan guard in seconds.
inline constexpr Key BreakRule{"Main", "checkbox30", "0"};
inline constexpr Key BreakAfterHours{"Main", "textbreakafter", "6"};
inline constexpr Key BreakMinutes{"Main", "textbreakminutes", "30"};
inline constexpr Key OverLongHours{"Main", "textoverlong", "16"};
inline constexpr Key RepeatGuard{"Main", "checkbox31", "0"};
inline constexpr Key RepeatSeconds{"Main", "textrepeatseconds", "60"};
// The tamper lock lets a jump by a change of the time zone's UTC offset pass.
inline constexpr Key DaylightSavingUnlocked{"Main", "checkbox32", "0"};

// Data and Sys: SQL Server connection values.
inline constexpr Key SqlUser{"Data", "L1", ""};
inline constexpr Key SqlDatabase{"Data", "L3", ""};
inline constexpr Key SqlServer{"Data", "L4", ""};
inline constexpr Key SqlPassword{"Sys", "WMemory", ""};
// The kind of server "Use SQL DB" connects to: "PostgreSQL", or anything else (absent
// included) for SQL Server.
inline constexpr Key ServerKind{"Data", "ServerKind", "SQL Server"};

// Reports: the employee screen's clear-form option, report range, printer and columns.
inline constexpr Key ClearFormAfterAdd{"reports", "checkbox1", "1"};
inline constexpr Key ReportDate1{"Reports", "date1", ""};
inline constexpr Key ReportDate2{"Reports", "date2", ""};
inline constexpr Key PrinterSelected{"Reports", "printerselected", ""};
inline constexpr Key PrinterColumn{"Reports", "printercolumn", "1"};
inline constexpr Key PrinterCopies{"Reports", "printercopies", "1"};

// FileSettings: the file chooser.
inline constexpr Key FilePath{"FileSettings", "FilePath", ""};
inline constexpr Key Drive1Drive{"FileSettings", "Drive1Drive", ""};
inline constexpr Key Dir1Path{"FileSettings", "Dir1Path", ""};
inline constexpr Key File1Path{"FileSettings", "File1Path", ""};

// The report column keys, in the order the report screen reads them (section Reports,
// "True"/"False", default shown).
inline constexpr const char *ReportColumns[] = {
    "FirstName", "LastName", "Address1", "Address2", "City", "State", "ZipCode",
    "Phone1", "Phone2", "SSNumber", "Title", "Email", "Memo", "Notes", "AdminLevel",
    "UserIDLogin", "Disabled", "WorkedHours", "TotalHourMinute", "TotalFraction",
    "ClockedIn", "ClockedOut", "HourlyRate", "DisplayText", "WorkedDate"};
} // namespace keys

// Check box text to a state: a number, or nullopt when the text is not one.
std::optional<int> checkState(const QString &text);
// Menu check text ("True"/"False", or a number: non-zero is true) to a boolean.
bool menuCheck(const QString &text, bool defaultValue = true);

} // namespace settings
