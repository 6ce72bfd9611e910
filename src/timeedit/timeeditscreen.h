#pragma once

#include "timeedit/timeeditor.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace admin {
class OptionsModel;
}

namespace timeedit {

// The time edit screen (Form9): the controls under their own names, wired to a TimeEditor.
// While one action runs, the buttons and lists are disabled and further clicks are ignored.
//
// Use: create it and open(). "Close" closes it, and closing deletes it (WA_DeleteOnClose),
// so hold it in a QPointer and build it afresh next time. It is a window of its own beside
// the main menu.
class TimeEditScreen : public QWidget
{
    Q_OBJECT

public:
    explicit TimeEditScreen(const admin::OptionsModel &options, QWidget *parent = nullptr);
    explicit TimeEditScreen(TimeEditor::ConnectionSource connection, QWidget *parent = nullptr);

    TimeEditor &editor() { return *m_editor; }

    // Opens the connection and reads the employees, then shows the window. When that fails
    // the failure has been shown and the screen is deleted later; then it returns false.
    bool open();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void build();
    // Runs one user action: the fields go to the editor first; nothing else runs meanwhile.
    void act(const std::function<void()> &action);
    void setActionsEnabled(bool enabled);
    void pullFields();
    void pushFields();
    void pushEmployees();
    void pushPunches();

    TimeEditor *m_editor = nullptr;
    bool m_acting = false;

    QListWidget *m_users = nullptr;
    QLabel *m_user = nullptr;
    QListWidget *m_work = nullptr;
    QLineEdit *m_date = nullptr;
    QLineEdit *m_clockedIn = nullptr;
    QLineEdit *m_clockedOut = nullptr;
    QPushButton *m_update = nullptr;
    QPushButton *m_insert = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_close = nullptr;
};

} // namespace timeedit
