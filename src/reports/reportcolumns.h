#pragma once

#include "settings/keys.h"

#include <QList>
#include <QString>

namespace reports {

// One of the report list's optional columns: its entry in the "Columns" menu (object name
// and caption), the column title writers look it up by, and its settings key in section
// "Reports" ("True" while the column is shown).
struct ReportColumn {
    const char *menuName;
    const char *caption;
    const char *title;
    const char *key;

    QString menuObjectName() const { return QString::fromLatin1(menuName); }
    QString menuCaption() const { return QString::fromLatin1(caption); }
    QString columnTitle() const { return QString::fromLatin1(title); }
    settings::Key settingsKey() const { return {"Reports", key, "True"}; }
};

// The 25 columns in the order of the "Columns" menu.
const QList<ReportColumn> &reportColumns();
// The order in which an opening screen restores them: positions into reportColumns().
const QList<int> &restorationOrder();
// The position in reportColumns() of the column whose settings key matches without regard
// to case, -1 when none does.
int columnByKey(const QString &key);

// Titles of the cells writers fill.
namespace titles {
inline const QString RowNumber = QStringLiteral(" ");
inline const QString FirstName = QStringLiteral("First Name");
inline const QString LastName = QStringLiteral("Last Name");
inline const QString Address1 = QStringLiteral("Address 1");
inline const QString Address2 = QStringLiteral("Address 2");
inline const QString City = QStringLiteral("City");
inline const QString State = QStringLiteral("State");
inline const QString Zipcode = QStringLiteral("Zipcode");
inline const QString Phone1 = QStringLiteral("Phone 1");
inline const QString Phone2 = QStringLiteral("Phone 2");
inline const QString SSNumber = QStringLiteral("SS Number");
inline const QString Title = QStringLiteral("Title");
inline const QString Email = QStringLiteral("Email");
inline const QString Memo = QStringLiteral("Memo");
inline const QString Notes = QStringLiteral("Notes");
inline const QString AdminLevel = QStringLiteral("Admin Level");
inline const QString UserIDLogin = QStringLiteral("UserID Login");
inline const QString Disabled = QStringLiteral("Disabled");
inline const QString HoursMinutesWorked = QStringLiteral("Hours-Minutes Worked");
inline const QString TotalFraction = QStringLiteral("Total-Fraction");
inline const QString TotalHourMinute = QStringLiteral("Total-Hour:Minute");
inline const QString ClockedIn = QStringLiteral("Clocked In");
inline const QString ClockedOut = QStringLiteral("Clocked Out");
inline const QString WorkedDate = QStringLiteral("Worked Date");
inline const QString HourlyRate = QStringLiteral("Hourly Rate");
inline const QString DisplayText = QStringLiteral("DisplayText");
} // namespace titles

} // namespace reports
