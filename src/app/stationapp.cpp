#include "app/stationapp.h"

#include "settings/keys.h"
#include "settings/settingsstore.h"
#include "station/lockdown.h"
#include "platform/regional.h"

#include <QCoreApplication>
#include <QThread>

namespace app {

StationApp::StationApp()
    : m_punches(m_mainMenu.options(), nullptr, &m_popup), m_clock(m_mainMenu, m_punches)
{
    m_punches.setIdField(&m_clock);
    m_offline = std::make_unique<station::OfflineLink>([this] { return m_mainMenu.options().connectionSettings(); });
    m_punches.setOfflineLink(m_offline.get());
    m_clock.setOfflineLink(m_offline.get());
    QObject::connect(m_offline.get(), &station::OfflineLink::changed, [this] { showOfflineState(); });
    // A station started while the database was away finishes its check once it answers; the
    // copy is then refreshed with the pay rules it read.
    QObject::connect(m_offline.get(), &station::OfflineLink::back, [this] {
        if (m_mainMenu.databaseBack())
            m_offline->tryNow();
    });
    m_mainMenu.setCanWorkAway([this] { return m_offline->holdsCopyOfDatabase(); });
    m_mainMenu.setView(&m_menuWindow);
    m_menuWindow.setEmployeesOpener([this] { openEmployees(); });
    m_menuWindow.setTimeEditOpener([this] { openTimeEdit(); });
    m_menuWindow.setReportsOpener([this] { openReports(); });
    m_menuWindow.setClockedInOpener([this] { showClockedIn(); });
    m_mainMenu.setClockScreen(&m_clock);
    m_mainMenu.setEndProgram([this] { endProgram(); });
    m_clock.setEndProgram([this] { endProgram(); });
}

StationApp::~StationApp()
{
    m_mainMenu.setClockScreen(nullptr);
    delete m_employees;
    delete m_timeEdit;
    delete m_reports;
}

bool StationApp::start()
{
    // Files left by an earlier build or copied in with wider modes are closed first.
    settings::restrictToOwner(settings::storeFile(settings::Application));
    settings::restrictToOwner(station::policyFile());
    if (!m_clock.load() || m_ended)
        return false;
    // Punches kept before the station last stopped are sent first.
    m_offline->start();
    return true;
}

void StationApp::showOfflineState()
{
    QString text = m_offline->stateText();
    const QDateTime last = m_offline->lastReplay();
    if (last.isValid()) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QStringLiteral("Punches last sent: ") + regional::generalDate(last);
    }
    m_menuWindow.setOfflineText(text);
}

void StationApp::openEmployees()
{
    // A screen that was only hidden keeps its state; one closed through its window is
    // built and opened afresh.
    if (m_employees) {
        m_employees->show();
        m_employees->raise();
        return;
    }
    m_employees = new employees::EmployeeScreen(m_mainMenu.options());
    employees::EmployeeEditor &editor = m_employees->editor();
    editor.setReturnToMainMenu([this] { m_mainMenu.showAndRefresh(); });
    editor.setShowMainMenu([this] { m_mainMenu.showMainMenu(); });
    editor.setEndProgram([this] { endProgram(); });
    editor.setAdministratorSource([this] { return m_mainMenu.administratorId(); });
    m_employees->open();
}

void StationApp::openTimeEdit()
{
    if (m_timeEdit) {
        m_timeEdit->show();
        m_timeEdit->raise();
        return;
    }
    m_timeEdit = new timeedit::TimeEditScreen(m_mainMenu.options());
    m_timeEdit->editor().setAdministratorSource([this] { return m_mainMenu.administratorId(); });
    m_timeEdit->open();
}

bool StationApp::openReports()
{
    if (m_reports) {
        m_reports->show();
        m_reports->raise();
        m_reports->activateWindow();
        return true;
    }
    m_reports = new reports::ReportWindow(m_mainMenu.options());
    reports::ReportController &controller = m_reports->controller();
    controller.setReturnToMainMenu([this] { m_mainMenu.showAndRefresh(); });
    controller.setShowMainMenu([this] { m_mainMenu.showMainMenu(); });
    controller.setAdministratorSource([this] { return m_mainMenu.administratorId(); });
    if (!m_reports->open()) {
        // The failure was shown; the station goes back to the main menu.
        delete m_reports;
        m_mainMenu.showMainMenu();
        return false;
    }
    return true;
}

void StationApp::showClockedIn()
{
    if (!m_reports && !openReports())
        return;
    // A new text each time, also twice within one second.
    const QString now = regional::stationTimeText();
    if (m_reports->clockedInTrigger() == now)
        m_reports->setClockedInTrigger(QString());
    m_reports->setClockedInTrigger(now);
}

void StationApp::endProgram()
{
    m_ended = true;
    m_popup.hide();
    m_clock.hide();
    m_menuWindow.hide();
    if (m_employees)
        m_employees->hide();
    if (m_timeEdit)
        m_timeEdit->hide();
    if (m_reports)
        m_reports->hide();
    // exit(), not quit(): quit() first asks every window to close, and the clock screen
    // refuses. Before the event loop runs there is nothing to leave: start() reports the
    // end, and an exit() then would make every later event loop return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

} // namespace app
