#pragma once

namespace admin {

// The main menu's window as its logic sees it. The real one is the Form5 widget; without a
// window (tests, or before one is attached) a MainMenu works on a view that ignores all.
class MainMenuView
{
public:
    virtual ~MainMenuView() = default;

    virtual void showWindow() {}
    virtual void hideWindow() {}
    virtual bool isWindowVisible() const { return false; }
    virtual void setStayOnTop(bool) {}

    virtual void setMenuPanelVisible(bool) {}
    virtual void setLoginPanelVisible(bool) {}
    virtual void setFirstRunPanelVisible(bool) {}
    virtual void clearLoginFields() {}
    virtual void setPublicShutDownVisible(bool) {}

    virtual void setFontPanelVisible(bool) {}
    virtual void setCameraPanelVisible(bool) {}
    virtual void setSqlPanelVisible(bool) {}
    virtual void setDatabaseLocationVisible(bool) {}
    // The SQL panel's password field shows this many masked characters.
    virtual void setShownPasswordLength(int) {}

    // Shows the SQL Server login dialog modally; it writes the user name and password into the options.
    virtual void showLoginDialog() {}

    // Screens reached from the menu.
    virtual void openEmployees() {}
    virtual void openReports() {}
    virtual void openTimeEdit() {}
    virtual void openClockedIn() {}
};

} // namespace admin
