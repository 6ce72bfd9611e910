#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace admin {

class OptionsModel;

// Form14, "SQL Authentication": asks for the SQL Server user name and password when the
// server refused the stored ones. "OK" puts them into the live options (the SQL panel's user
// name and hidden password), not into the settings store; "Cancel It" changes nothing.
class SqlLoginDialog : public QDialog
{
    Q_OBJECT

public:
    static const QString Caption;

    explicit SqlLoginDialog(OptionsModel &options, QWidget *parent = nullptr);

    // Shows the dialog modally and returns whether it was closed with "OK".
    static bool ask(OptionsModel &options, QWidget *parent = nullptr);

    // --- scripting for tests ---
    // While the platform is scripted the dialog is never run modally: ask() hands it to this
    // answer, which may fill its fields and press its buttons. Without an answer it is cancelled.
    static void setScriptedAnswer(std::function<void(SqlLoginDialog &)> answer);
    // How many times ask() was called since the answer was last set.
    static int timesAsked();

    QLineEdit *userField() const { return m_user; }
    QLineEdit *passwordField() const { return m_password; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void confirm();

    OptionsModel &m_options;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace admin
