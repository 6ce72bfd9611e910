#pragma once

#include "admin/mainmenuview.h"
#include "admin/optionsmodel.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace admin {

class MainMenu;

// Form5, the main menu's window: the login, first-run and menu panels, the options, font,
// camera and SQL panels, the public "Shut Down" and the hidden refresh field Text5. It only
// wires its controls to a MainMenu and its OptionsModel, both ways: a user's click or typing
// changes the model, a change of the model updates the control. The owner attaches it with
// MainMenu::setView.
class MainMenuWindow : public QWidget, public MainMenuView
{
    Q_OBJECT

public:
    static const QString FirstRunText;
    static const QString DatabaseNote;
    static const QString SqlHeader;
    static const QString CameraInformationLink;
    static const QString PluginDownloadLink;

    explicit MainMenuWindow(MainMenu &menu, QWidget *parent = nullptr);
    ~MainMenuWindow() override;

    // The screens the menu opens, set by whoever builds them; unset ones do nothing.
    void setEmployeesOpener(std::function<void()> open) { m_openEmployees = std::move(open); }
    void setReportsOpener(std::function<void()> open) { m_openReports = std::move(open); }
    void setTimeEditOpener(std::function<void()> open) { m_openTimeEdit = std::move(open); }
    void setClockedInOpener(std::function<void()> open) { m_openClockedIn = std::move(open); }
    // The station's offline state for the administrator; hidden while it is empty.
    void setOfflineText(const QString &text);

    // MainMenuView
    void showWindow() override;
    void hideWindow() override;
    bool isWindowVisible() const override;
    void setStayOnTop(bool on) override;
    void setMenuPanelVisible(bool visible) override;
    void setLoginPanelVisible(bool visible) override;
    void setFirstRunPanelVisible(bool visible) override;
    void clearLoginFields() override;
    void setPublicShutDownVisible(bool visible) override;
    void setFontPanelVisible(bool visible) override;
    void setCameraPanelVisible(bool visible) override;
    void setSqlPanelVisible(bool visible) override;
    void setDatabaseLocationVisible(bool visible) override;
    void setShownPasswordLength(int length) override;
    void showLoginDialog() override;
    void openEmployees() override;
    void openReports() override;
    void openTimeEdit() override;
    void openClockedIn() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildLoginPanel();
    QWidget *buildFirstRunPanel();
    QWidget *buildMenuPanel();
    QWidget *buildOptions();
    QWidget *buildFontPanel();
    QWidget *buildCameraPanel();
    QWidget *buildSqlPanel();
    QWidget *buildPayrollPanel(QWidget *parent);
    QPushButton *button(const char *name, const QString &caption, QWidget *parent);
    QCheckBox *checkBox(Option option, const QString &caption, QWidget *parent);
    QLineEdit *field(Field field, const char *name, QWidget *parent);
    void syncFromModel();
    void optionChanged(Option option);
    void fieldChanged(Field field);
    void serverKindChanged();
    // Shows the pay rules as the main menu holds them.
    void payRulesChanged();
    // Runs work with its buttons disabled, so that it cannot be started twice.
    void runDisabled(std::initializer_list<QPushButton *> buttons, const std::function<void()> &work);

    QPointer<MainMenu> m_menu;
    OptionsModel &m_options;

    QFrame *m_loginPanel = nullptr;
    QFrame *m_firstRunPanel = nullptr;
    QFrame *m_menuPanel = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QPushButton *m_loginOk = nullptr;
    QPushButton *m_showClock = nullptr;
    QPushButton *m_menuShutDown = nullptr;
    QPushButton *m_publicShutDown = nullptr;
    QLineEdit *m_refresh = nullptr;

    QLabel *m_databaseNote = nullptr;
    QLabel *m_offlineState = nullptr;
    QPushButton *m_resetPath = nullptr;
    QGroupBox *m_fontPanel = nullptr;
    QGroupBox *m_cameraPanel = nullptr;
    QGroupBox *m_sqlPanel = nullptr;
    QLineEdit *m_sqlPassword = nullptr;
    QComboBox *m_serverKind = nullptr;
    QPushButton *m_sqlOk = nullptr;

    QHash<Option, QCheckBox *> m_boxes;
    QHash<Field, QLineEdit *> m_fields;
    // The Payroll box's controls by rule name.
    QHash<QString, QCheckBox *> m_ruleBoxes;
    QHash<QString, QLineEdit *> m_ruleFields;
    QHash<QString, QComboBox *> m_ruleLists;

    std::function<void()> m_openEmployees;
    std::function<void()> m_openReports;
    std::function<void()> m_openTimeEdit;
    std::function<void()> m_openClockedIn;
};

} // namespace admin
