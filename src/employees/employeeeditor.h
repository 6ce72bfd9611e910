#pragma once

#include "data/audittable.h"
#include "data/database.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

namespace admin {
class OptionsModel;
}

namespace employees {

// The employee screen's fields, one member per control. Texts are as typed; the options and
// check boxes are their states.
struct EmployeeFields {
    QString firstName;        // Text1  "First Name:*"
    QString lastName;         // Text2  "Last Name:*"
    QString address1;         // Text3  "Address 1:"
    QString address2;         // Text4  "Address 2:"
    QString city;             // Text5  "City:"
    QString state;            // Text8  "State:"
    QString zipCode;          // Text9  "Zip Code:"
    QString phone1;           // Text14 "Phone 1:"
    QString phone2;           // Text15 "Phone 2:"
    QString ssNumber;         // Text19 "SS Number:"
    QString title;            // Text21 "Title:"
    QString email;            // Text20 "Email:"
    QString memos;            // Text10 "Memo:"
    QString notes;            // Text11 "Notes:"
    QString adminLevel;       // Combo1 "Security:" (editable)
    QString userIdLogin;      // Text12 "User ID:*"
    bool disabled = false;    // "Status:": Option1 "Enabled" (false) / Option2 "Disabled" (true)
    QString password;         // Text22 "Password:"
    QString password2;        // Text23 "Password:" (only compared)
    QString userPhoto;        // Text28 "User Photo:"
    bool photoEnabled = false;                  // Check2 "Enable Photo"
    QString photoDisplay = QStringLiteral("5"); // Text31 "Seconds to Display Photo"
    QString soundFileIn;      // Text34 "In Wav:"
    QString soundFileOut;     // Text35 "Out Wav:"
    bool soundEnabled = false; // Check8 "Enable Wav Sound Files"
    QString hourlyRate;       // Text39 "Hourly Rate:"
    QString displayText;      // Text38 "Display Text:"
    bool photoOnOff = false;  // CheckPhoto: snapshot at clock in and out
    bool photoTypeJpeg = true; // "Type of Photo": Option4 "Jpeg" (true) / Option5 "BMP" (false)
    QString photoLocation;    // TextPhoto "Snap Shot Storeage Location "

    bool operator==(const EmployeeFields &) const = default;
};

// The employee screen's logic: the list of employees, selecting, saving, deleting, clearing,
// the user ID proposal and the way back to the main menu. Every statement goes to the
// current database connection with its values bound. Its window is optional: tests drive it
// directly, EmployeeScreen wires its controls to it.
class EmployeeEditor : public QObject
{
    Q_OBJECT

public:
    using ConnectionSource = std::function<data::ConnectionSettings()>;
    // Sees every statement with its bound values just before it is sent.
    using StatementObserver = std::function<void(const QString &sql, const QVariantList &values)>;

    // Captions and texts of the screen.
    static const QString WindowCaption;
    static const QString AddCaption;
    static const QString UpdateCaption;
    static const QString AdministratorLevel;
    static const QString StandardLevel;
    static const QStringList SecurityLevels;
    static const QString AdministratorNote;

    // Messages.
    static const QString FirstNameRequired;
    static const QString LastNameRequired;
    static const QString UserIdRequired;
    static const QString SecurityRequired;
    static const QString PasswordsDiffer;
    static const QString AdministratorPasswordRequired;
    static const QString UserIdInUse;
    static const QString DeleteQuestion;
    static const QString AutoFillDisabled;
    static const QString SupportSentence;

    // Statements.
    static const QString ListSql;
    static const QString SelectSql;
    static const QString DuplicateSql;
    static const QString InsertSql;
    static const QString UpdateSql;
    static const QString DeleteSql;
    static const QString MaxUserIdSql;
    static const QString AllUserIdsSql;

    // The connection values are read at every open, so the live options apply.
    explicit EmployeeEditor(ConnectionSource connection, QObject *parent = nullptr);
    explicit EmployeeEditor(const admin::OptionsModel &options, QObject *parent = nullptr);

    // "Main Menu": hideScreen, then returnToMainMenu (the main menu's showAndRefresh).
    // Closing the window: showMainMenu. A failed open: endProgram.
    void setHideScreen(std::function<void()> f) { m_hideScreen = std::move(f); }
    void setReturnToMainMenu(std::function<void()> f) { m_returnToMainMenu = std::move(f); }
    void setShowMainMenu(std::function<void()> f) { m_showMainMenu = std::move(f); }
    void setEndProgram(std::function<void()> f) { m_endProgram = std::move(f); }
    void setStatementObserver(StatementObserver observer) { m_observer = std::move(observer); }
    // The user ID of the administrator making the changes, for the audit trail.
    void setAdministratorSource(std::function<QString()> source) { m_administrator = std::move(source); }

    // The form's fields. A window writes what its controls show here before every action
    // and shows them again on fieldsChanged.
    const EmployeeFields &fields() const { return m_fields; }
    EmployeeFields &fields() { return m_fields; }
    void setFields(const EmployeeFields &fields) { m_fields = fields; }

    // Screen state.
    QString mainButtonCaption() const { return m_mainCaption; }
    bool isEditMode() const { return m_mainCaption == UpdateCaption; }
    bool deleteVisible() const { return m_deleteVisible; }
    std::optional<qint64> selectedId() const { return m_selectedId; }
    QString loadedUserId() const { return m_loadedUserId; }
    bool clearFormOption() const { return m_clearFormOption; }
    bool administratorNoteVisible() const { return m_noteVisible; }
    const QStringList &listEntries() const { return m_entries; }
    const QStringList &securityLevels() const { return m_levels; }
    // True while an action runs; another action asked for meanwhile is ignored.
    bool isBusy() const { return m_busy; }

    // The actions. Each returns false when it stopped (a check failed, a statement failed,
    // or another action was running).
    // Opens the connection, loads the list, fills the levels and reads the clear-form option.
    // A failure is reported and ends the program; then it returns false.
    bool openScreen();
    bool loadEmployeeList();
    bool selectEmployee(const QString &entry);
    bool saveEmployee();
    bool clearForm();
    bool deleteEmployee();
    bool autoFillUserId();
    // A click on "Clear form afer new user is added.": stores the new state.
    void setClearFormOption(bool checked);
    void mainMenu();
    void closedByWindow();

    // The list entry of an employee, and the row key read back from an entry (nullopt when
    // the entry carries none).
    static QString listEntry(const QString &lastName, const QString &firstName, qint64 id);
    static std::optional<qint64> keyOfEntry(const QString &entry);
    // Whether a text reads as a number (blanks around it allowed; empty is not a number).
    static bool isNumeric(const QString &text);
    // The next proposal for a user ID: one more than the greatest whole number among the
    // given IDs (at least 1), never containing "66" and never one of the IDs.
    static QString nextUserId(const QStringList &existingIds);

Q_SIGNALS:
    void fieldsChanged();
    void listChanged();
    // Mode, "Delete User", the administrator note or the clear-form option changed.
    void stateChanged();

private:

    data::QueryResult run(data::Database &db, const QString &sql, const QVariantList &values = {});
    void showError(const data::DbError &error) const;
    void showMessage(const QString &text) const;
    bool loadList(data::DbError *failure);
    bool clearFormNow();
    void setAddMode();
    // The values of the statements, with the password as it is to be stored.
    QVariantList insertValues(const QString &password) const;
    QVariantList updateValues(const QString &password) const;
    // password: the stored form of a new password; nullopt keeps the stored one.
    bool writeEmployee(data::Database &db, bool editMode, std::optional<QString> password);
    // Whether saving now keeps a password the selected employee has on file.
    bool keepsStoredPassword() const { return isEditMode() && m_hasStoredPassword && m_fields.password.isEmpty(); }
    // The employee with the key as the audit trail records it; nullopt after a failure,
    // which has been rolled back and shown.
    std::optional<data::AuditSnapshot> auditSnapshot(data::Database &db, qint64 key);
    // Writes the audit row of a change inside its transaction; false after a failure, which
    // has been rolled back and shown.
    bool audit(data::Database &db, qint64 key, const data::AuditSnapshot &before);

    ConnectionSource m_connection;
    std::function<void()> m_hideScreen;
    std::function<void()> m_returnToMainMenu;
    std::function<void()> m_showMainMenu;
    std::function<void()> m_endProgram;
    StatementObserver m_observer;
    std::function<QString()> m_administrator;

    EmployeeFields m_fields;
    QString m_mainCaption;
    bool m_deleteVisible = false;
    std::optional<qint64> m_selectedId;
    QString m_loadedUserId;
    // Whether the selected employee had a password on file when selected.
    bool m_hasStoredPassword = false;
    bool m_clearFormOption = true;
    bool m_noteVisible = false;
    QStringList m_entries;
    QStringList m_levels;
    bool m_busy = false;
};

} // namespace employees
