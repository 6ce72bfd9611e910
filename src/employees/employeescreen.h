#pragma once

#include "employees/employeeeditor.h"

#include <QWidget>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace admin {
class OptionsModel;
}

namespace employees {

// The employee screen (Form2, "Add/Edit Users"): the controls under their own names, wired
// to an EmployeeEditor. While one action runs, the buttons, the list and the option box are
// disabled and further clicks are ignored.
//
// Use: create it, set the editor's callbacks (return to the main menu with its refresh, show
// the main menu, end the program), then open(). "Main Menu" only hides it, so it keeps its
// state; closing it through its window deletes it (WA_DeleteOnClose), so hold it in a
// QPointer and build it afresh next time.
class EmployeeScreen : public QWidget
{
    Q_OBJECT

public:
    explicit EmployeeScreen(const admin::OptionsModel &options, QWidget *parent = nullptr);
    explicit EmployeeScreen(EmployeeEditor::ConnectionSource connection, QWidget *parent = nullptr);

    EmployeeEditor &editor() { return *m_editor; }

    // Opens the screen: connection, list, levels, option; shows the window when that worked.
    // False when it failed (the failure was reported and the program is ending).
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
    void pushState();
    void pushList();

    EmployeeEditor *m_editor = nullptr;
    bool m_acting = false;

    QLineEdit *m_firstName = nullptr;
    QLineEdit *m_lastName = nullptr;
    QLineEdit *m_address1 = nullptr;
    QLineEdit *m_address2 = nullptr;
    QLineEdit *m_city = nullptr;
    QLineEdit *m_state = nullptr;
    QLineEdit *m_zipCode = nullptr;
    QLineEdit *m_phone1 = nullptr;
    QLineEdit *m_phone2 = nullptr;
    QLineEdit *m_ssNumber = nullptr;
    QLineEdit *m_title = nullptr;
    QLineEdit *m_email = nullptr;
    QPlainTextEdit *m_memos = nullptr;
    QPlainTextEdit *m_notes = nullptr;
    QComboBox *m_security = nullptr;
    QLineEdit *m_userId = nullptr;
    QRadioButton *m_enabled = nullptr;
    QRadioButton *m_disabled = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_password2 = nullptr;
    QLineEdit *m_userPhoto = nullptr;
    QCheckBox *m_photoEnabled = nullptr;
    QLineEdit *m_photoDisplay = nullptr;
    QLineEdit *m_soundIn = nullptr;
    QLineEdit *m_soundOut = nullptr;
    QCheckBox *m_soundEnabled = nullptr;
    QLineEdit *m_hourlyRate = nullptr;
    QLineEdit *m_displayText = nullptr;
    QCheckBox *m_snapShot = nullptr;
    QRadioButton *m_jpeg = nullptr;
    QRadioButton *m_bmp = nullptr;
    QLineEdit *m_photoLocation = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_clear = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_autoFill = nullptr;
    QPushButton *m_mainMenu = nullptr;
    QCheckBox *m_clearOption = nullptr;
    QFrame *m_note = nullptr;
};

} // namespace employees
