#pragma once

#include "admin/mainmenuview.h"
#include "admin/optionsmodel.h"
#include "admin/payrolloptions.h"

#include <QObject>
#include <QString>

#include <functional>

namespace station {
class ClockScreenPort;
}

namespace admin {

// The main menu's logic: it holds the station's live options for the whole run, runs the
// start-up routine (options from the store, database check, first-run or login panel,
// automatic launch of the clock), the administrator login with the tamper release, the
// option actions, and shutting down. Its window (a MainMenuView) is optional.
class MainMenu : public QObject
{
    Q_OBJECT

public:
    static const QString LockMessage;
    static const QString ShowClockCaption;
    static const QString InvalidLogin;
    static const QString ShutDownQuestion;
    static const QString SecurityQuestion;
    static const QString SecurityTitle;
    // The active administrators with the user ID, whose stored passwords the login compares
    // with the one typed; and the statement that stores a matched clear password as its hash.
    static const QString LoginSql;
    static const QString RehashSql;
    static const QString WindowCaption;

    explicit MainMenu(QObject *parent = nullptr);

    OptionsModel &options() { return m_options; }
    const OptionsModel &options() const { return m_options; }
    // The options panel's Payroll box: the station-wide pay rules, read at every login.
    PayrollOptions &payroll() { return m_payroll; }

    void setView(MainMenuView *view);
    MainMenuView &view() { return *m_view; }
    void setClockScreen(station::ClockScreenPort *clock) { m_clock = clock; }
    // Ends the program (the application quits); tests record it.
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }
    bool hasEnded() const { return m_ended; }
    // Whether the station can punch while its database is away (it holds a copy of it); the
    // start-up check then starts without it.
    void setCanWorkAway(std::function<bool()> canWorkAway) { m_canWorkAway = std::move(canWorkAway); }

    // The start-up routine: on the first load and on every change of the refresh field.
    void startupRoutine();
    // The hidden refresh field: a new text runs the start-up routine, the same text nothing.
    void setRefreshText(const QString &text);
    QString refreshText() const { return m_refreshText; }
    // The shared database answers again after a start-up routine found it away: the rest of
    // the database check runs (the administrators are counted, the pay rules loaded). Returns
    // whether it ran to its end.
    bool databaseBack();
    // Shows the main menu with its login panel (the first-run panel while there is no
    // administrator); every path back to the main menu but a login comes through here.
    void showMainMenu();
    // Shows the main menu and writes the station time into the refresh field.
    void showAndRefresh();

    // The user ID of the administrator who logged in last; empty before any login. The
    // screens opened from the menu record it with every change they make.
    QString administratorId() const { return m_administratorId; }
    // The connection values as the start-up routine reads them from the settings store.
    static data::ConnectionSettings storedConnectionSettings();

    bool noAdministrator() const { return m_noAdministrator; }
    bool autoShown() const { return m_autoShown; }

    // The login panel's "Show Clock" caption: the lock message while the tamper lock is on.
    QString showClockCaption() const { return m_showClockCaption; }
    void setShowClockCaption(const QString &caption);
    bool isLocked() const { return m_showClockCaption == LockMessage; }
    // Locks the station after a clock jump: the main menu in front, the punch panel hidden.
    void lockStation();

    // Login panel. A login that is already running refuses a second one.
    bool login(const QString &user, const QString &password);
    void cancelLogin();
    void showClockFromLogin();
    void help();
    // First-run panel: "Setup Now".
    void setupNow();

    // Menu panel.
    void showClockFromMenu();
    void hideMenu();
    void editUsers();
    void runReports();
    void editClockedInOut();
    void showClockedIn();
    // Asks, then clears the lock-down policies and ends the program. Returns whether it ended.
    bool shutDown();

    // A pay rule accepted on the options panel, written in the name of the administrator
    // who logged in last.
    bool acceptPayRule(const QString &rule, const QString &text);

    // Options panel buttons.
    void resetPath();
    void fontDefaults();
    void fontOk();
    void cameraOk(const QString &ipAddress, const QString &pluginLocation);
    void cameraCancel();
    void openCameraInformation();
    void openPluginDownload();

    // SQL panel buttons. sqlOk stores the values with the server kind and creates the tables
    // on a server of that kind; it returns whether they were reached and created, and a
    // second "OK" while one is running is refused. sqlClear empties the stored values, the
    // kind included (SQL Server again).
    bool sqlOk();
    void sqlClear();

    static const QString HelpAddress;
    static const QString CameraInformationAddress;
    static const QString PluginDownloadAddress;

Q_SIGNALS:
    void showClockCaptionChanged(const QString &caption);
    // The refresh field holds a new text (emitted before the start-up routine runs).
    void refreshTextChanged(const QString &text);

private:
    void onOptionChanged(Option option, bool on);
    void onTextChanged(Field field, const QString &text);
    void loadCheck(Option option);
    void endProgram();

    OptionsModel m_options;
    PayrollOptions m_payroll;
    MainMenuView m_nullView;
    MainMenuView *m_view = &m_nullView;
    station::ClockScreenPort *m_clock = nullptr;
    std::function<void()> m_endProgram;
    std::function<bool()> m_canWorkAway;
    QString m_refreshText;
    QString m_showClockCaption;
    QString m_administratorId;
    bool m_noAdministrator = false;
    // The last start-up routine found the database away: the rest of its check waits for it.
    bool m_checkWaits = false;
    bool m_autoShown = false;
    bool m_ended = false;
    // Work that must not run twice at once.
    bool m_loginRunning = false;
    bool m_sqlOkRunning = false;
    bool m_shutDownRunning = false;
};

} // namespace admin
