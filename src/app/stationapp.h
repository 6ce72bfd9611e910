#pragma once

#include "admin/mainmenu.h"
#include "admin/mainmenuwindow.h"
#include "employees/employeescreen.h"
#include "reports/reportwindow.h"
#include "station/clockscreen.h"
#include "station/offlinelink.h"
#include "station/photopopup.h"
#include "station/punchservice.h"
#include "timeedit/timeeditscreen.h"

#include <QPointer>

namespace app {

// The station as one object: the main menu (which holds the live options), the clock
// screen, the confirmation popup and the punch operations, connected to each other.
// The main menu's window plugs in with mainMenu().setView(&window).
class StationApp
{
public:
    StationApp();
    ~StationApp();
    StationApp(const StationApp &) = delete;
    StationApp &operator=(const StationApp &) = delete;

    // The start-up order: the clock screen loads, and its first step runs the main menu's
    // start-up routine. Returns false when the program ended during it; the event loop
    // then must not run.
    bool start();
    // Whether the program has ended (during start-up or later).
    bool hasEnded() const { return m_ended; }

    admin::MainMenu &mainMenu() { return m_mainMenu; }
    admin::MainMenuWindow &mainMenuWindow() { return m_menuWindow; }
    station::Form1 &clockScreen() { return m_clock; }
    station::Form8 &popup() { return m_popup; }
    station::PunchService &punches() { return m_punches; }
    station::OfflineLink &offlineLink() { return *m_offline; }
    // The report screen while it exists (closing it through its window deletes it).
    reports::ReportWindow *reportScreen() { return m_reports; }

private:
    void endProgram();
    void openEmployees();
    void openTimeEdit();
    // The report screen, built and opened when missing; false when it could not open.
    bool openReports();
    void showClockedIn();
    void showOfflineState();

    admin::MainMenu m_mainMenu;
    admin::MainMenuWindow m_menuWindow{m_mainMenu};
    station::Form8 m_popup;
    std::unique_ptr<station::OfflineLink> m_offline;
    station::PunchService m_punches;
    station::Form1 m_clock;
    // Built when first opened; closing it through its window deletes it.
    QPointer<employees::EmployeeScreen> m_employees;
    // Beside the main menu while open; "Close" deletes it, so the next opening builds it afresh.
    QPointer<timeedit::TimeEditScreen> m_timeEdit;
    QPointer<reports::ReportWindow> m_reports;
    bool m_ended = false;
};

} // namespace app
