#pragma once

#include "data/database.h"
#include "station/clockscreenport.h"
#include "station/idfield.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace admin {
class MainMenu;
}

namespace station {

class OfflineLink;
class PunchService;

// The clock screen (Form1): the station's start-up window, where employees key their ID and
// punch. Its load() is the start-up sequence of the whole station. The main menu reaches it
// through ClockScreenPort, the punch operations through IdField.
class Form1 : public QWidget, public IdField, public ClockScreenPort
{
    Q_OBJECT

public:
    Form1(admin::MainMenu &mainMenu, PunchService &punches, QWidget *parent = nullptr);
    ~Form1() override;

    // The start-up sequence. Returns false when the program ended during it.
    bool load();
    bool hasEnded() const { return m_ended; }

    // Ends the program (the application quits); the start-up error check uses it.
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    // Opens the clock screen's own connection and returns its error; by default the
    // connection rule with the main menu's live settings. Tests replace it.
    using ConnectionOpener = std::function<data::DbError()>;
    void setConnectionOpener(ConnectionOpener opener) { m_openConnection = std::move(opener); }

    // The station's offline link: its state shows on the screen, and a database that cannot
    // be reached at the start leaves the station punching into the queue.
    void setOfflineLink(OfflineLink *link);
    // Shows the offline state's text; hidden while it is empty.
    void showOfflineState();

    // Lays out and labels the letter keys.
    void SetUpTheKeys();

    // One tick of Timer1: the tamper check, then the date-and-time display.
    void tick();

    // IdField
    QString idText() const override;
    void setIdText(const QString &text) override;

    // ClockScreenPort
    void showClock() override;
    void hideClock() override;
    bool isClockVisible() const override;
    void setPunchPanelVisible(bool visible) override;
    void setCombinedButtonVisible(bool visible) override;
    void setSizableBorder() override;
    void setWindowGeometryTwips(int left, int top, int width, int height) override;
    void centrePunchPanel() override;
    void setStayOnTop(bool on) override;
    void requestUnload() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);
    void applyButtonFonts();
    void clipToClientArea();
    void placeCombinedButton();
    void endProgram();

    void numericKey(int index);
    void letterKey(int index);
    void openMainMenu();
    void toggleKeyboard();
    void about();
    void idEntered();
    void punch(void (PunchService::*operation)());

    admin::MainMenu &m_mainMenu;
    PunchService &m_punches;
    std::function<void()> m_endProgram;
    ConnectionOpener m_openConnection;
    std::shared_ptr<data::Database> m_connection;

    QFrame *m_punchPanel = nullptr;    // Frame2
    QLabel *m_companyLabel = nullptr;  // Label2
    QPushButton *m_clockIn = nullptr;  // Command1
    QPushButton *m_clockOut = nullptr; // Command2
    QPushButton *m_combined = nullptr; // Command10
    QLabel *m_timeLabel = nullptr;     // Label1
    QLineEdit *m_idField = nullptr;    // Text1
    QList<QPushButton *> m_keypad;     // Command4(0..12)
    QPushButton *m_mainMenuButton = nullptr; // Command5
    QPushButton *m_keyboardButton = nullptr; // Command8
    QPushButton *m_aboutButton = nullptr;    // Command9
    QFrame *m_letterKeyboard = nullptr;      // Frame1
    QList<QPushButton *> m_letterKeys;       // Command12(0..29)
    QTimer *m_timer = nullptr;               // Timer1
    QLabel *m_offlineLabel = nullptr;        // the offline state
    OfflineLink *m_offline = nullptr;

    bool m_loading = false;
    bool m_ended = false;
};

} // namespace station
