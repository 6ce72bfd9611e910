#include "reports/reportcolumns.h"

namespace reports {

const QList<ReportColumn> &reportColumns()
{
    static const QList<ReportColumn> columns{
        {"FirstName", "FirstName", "First Name", "FirstName"},
        {"LastName", "LastName", "Last Name", "LastName"},
        {"Address1", "Address 1", "Address 1", "Address1"},
        {"Address2", "Address 2", "Address 2", "Address2"},
        {"City", "City", "City", "City"},
        {"State", "State", "State", "State"},
        {"ZipCode", "ZipCode", "Zipcode", "ZipCode"},
        {"Phone1", "Phone 1", "Phone 1", "Phone1"},
        {"Phone2", "Phone 2", "Phone 2", "Phone2"},
        {"SSNumber", "SS Number", "SS Number", "SSNumber"},
        {"Title", "Title", "Title", "Title"},
        {"Email", "Email", "Email", "Email"},
        {"Notes", "Notes", "Notes", "Notes"},
        {"Memo", "Memo", "Memo", "Memo"},
        {"AdminLevel", "AdminLevel", "Admin Level", "AdminLevel"},
        {"UserIDLogin", "UserIDLogin", "UserID Login", "UserIDLogin"},
        {"Disabled", "Disabled", "Disabled", "Disabled"},
        {"WorkedHours", "Minutes Worked", "Hours-Minutes Worked", "WorkedHours"},
        {"TotalFraction", "Total-Fractional", "Total-Fraction", "TotalFraction"},
        {"TotalHourMinute", "Total-Hour:Minute", "Total-Hour:Minute", "TotalHourMinute"},
        {"ClockedIn", "Clocked In", "Clocked In", "ClockedIn"},
        {"ClockedOut", "Clocked Out", "Clocked Out", "ClockedOut"},
        {"WorkedDate", "Worked Date", "Worked Date", "WorkedDate"},
        {"HourlyRate", "Hourly Rate", "Hourly Rate", "HourlyRate"},
        {"DisplayText", "Display Text", "DisplayText", "DisplayText"},
    };
    return columns;
}

int columnByKey(const QString &key)
{
    const QList<ReportColumn> &columns = reportColumns();
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (key.compare(QLatin1String(columns[i].key), Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const QList<int> &restorationOrder()
{
    static const QList<int> order = [] {
        QList<int> positions;
        for (const char *key : settings::keys::ReportColumns)
            positions << columnByKey(QLatin1String(key));
        return positions;
    }();
    return order;
}

} // namespace reports
