#pragma once

#include "data/database.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

namespace admin {
class OptionsModel;
}

namespace timeedit {

// The three edit fields, as typed.
struct PunchFields {
    QString workDate;   // TextDate
    QString clockedIn;  // TextClockedIn
    QString clockedOut; // TextClockedOut

    bool operator==(const PunchFields &) const = default;
};

// The time edit screen's logic: the employee list, the punches of the chosen employee, and
// changing, adding and deleting punches in ClockTable. Every statement goes to the current
// connection with its values bound; dates and times are bound as date-times. Its window is
// optional: tests drive it directly, TimeEditScreen wires its controls to it.
class TimeEditor : public QObject
{
    Q_OBJECT

public:
    using ConnectionSource = std::function<data::ConnectionSettings()>;
    // Sees every statement of the lists and the changes with its bound values just before it
    // is sent (not the reads that look for a closed pay period).
    using StatementObserver = std::function<void(const QString &sql, const QVariantList &values)>;

    // Captions and texts of the screen.
    static const QString WindowCaption;
    static const QString ColumnHeader;

    // Messages.
    static const QString SelectRow;
    static const QString InvalidClockedOut;
    static const QString InvalidWorkDate;
    static const QString InvalidClockedIn;
    static const QString AlreadyClockedIn;
    static const QString ReversedPunch;
    // A field holding a time without a date, or a value on the zero date; its caption in
    // the message: "Work Date", "Clocked In" or "Clocked Out".
    static QString dateMissing(const QString &field);
    static const QString DeleteQuestion;
    static const QString ClosedPeriodRefusal;

    // Statements.
    static const QString UsersSql;
    static const QString PunchesSql;
    static const QString UpdateSql;
    static const QString UpdateKeepingOutSql;
    static const QString InsertSql;
    static const QString InsertOpenSql;
    static const QString OpenPunchesSql;
    static const QString DeleteSql;
    // One punch by its key, read before and after a change for the audit trail.
    static const QString PunchSql;

    // The connection values are read at every open, so the live options apply.
    explicit TimeEditor(ConnectionSource connection, QObject *parent = nullptr);
    explicit TimeEditor(const admin::OptionsModel &options, QObject *parent = nullptr);

    void setStatementObserver(StatementObserver observer) { m_observer = std::move(observer); }
    // The user ID of the administrator making the changes, for the audit trail.
    void setAdministratorSource(std::function<QString()> source) { m_administrator = std::move(source); }

    // The edit fields. A window writes what its controls show here before every action and
    // shows them again on fieldsChanged.
    const PunchFields &fields() const { return m_fields; }
    PunchFields &fields() { return m_fields; }

    // Screen state.
    const QStringList &employeeEntries() const { return m_employeeEntries; }
    const QStringList &punchEntries() const { return m_punchEntries; }
    // The entry of the employee chosen last (LabelUser).
    QString employeeLabel() const { return m_label; }
    QString selectedUserId() const { return m_userId; }
    std::optional<qint64> selectedPunch() const { return m_punchId; }
    // True while an action runs; another action asked for meanwhile is ignored.
    bool isBusy() const { return m_busy; }

    // The actions. Each returns false when it stopped (a check failed, a statement failed,
    // or another action was running); every failure has been shown by then.
    // Opens a new connection and reads the employee list.
    bool openScreen();
    // A click on an employee entry: its punches are listed. Choosing another employee than
    // the one chosen before forgets the selected punch and empties the edit fields.
    bool chooseEmployee(const QString &entry);
    // A click on a punch entry: its values go into the edit fields and its key is kept.
    bool selectPunch(const QString &entry);
    bool updatePunch();
    bool insertPunch();
    bool deletePunch();

    // The entries as the lists show them.
    static QString employeeEntry(const QString &lastName, const QString &firstName, const QString &userId);
    static QString punchEntry(const QString &rowDate, const QString &clockedIn, const QString &clockedOut,
                              qint64 id);
    // The user ID read back from an employee entry: the text after its last " - ", trimmed.
    static QString userIdOfEntry(const QString &entry);

Q_SIGNALS:
    void fieldsChanged();
    void employeesChanged();
    void punchesChanged();

private:
    struct Employee {
        QString entry;
        QString userId;
    };
    struct Times {
        QDateTime workDate;
        QDateTime clockedIn;
        std::optional<QDateTime> clockedOut;
    };

    data::QueryResult run(data::Database &db, const QString &sql, const QVariantList &values = {});
    void showMessage(const QString &text) const;
    void trimFields();
    std::optional<Times> checkedTimes();
    // Whether a change must be refused because the stored work date of the punch (when one is
    // given) or the typed one (when asked for and readable) lies in a closed pay period. The
    // refusal, or a failure to find out, has been shown then.
    bool refusedInClosedPeriod(std::optional<qint64> punch, bool typedWorkDate);
    bool listPunches();
    // Runs one change of ClockTable in a write transaction together with its audit row. The
    // punch with the key (none for an insert: the inserted one) is read before and after;
    // change gets the row read before (empty for an insert). It returns a database error,
    // or sets refusal to a message for a change it declines. Anything but success rolls
    // back and is shown; then it returns false.
    bool writeAudited(std::optional<qint64> key,
                      const std::function<data::DbError(data::Database &db, const data::Row &stored,
                                                        QString &refusal)> &change);

    ConnectionSource m_connection;
    StatementObserver m_observer;
    std::function<QString()> m_administrator;

    PunchFields m_fields;
    QList<Employee> m_employees;
    QStringList m_employeeEntries;
    QStringList m_punchEntries;
    QString m_label;
    QString m_userId;
    bool m_employeeChosen = false;
    std::optional<qint64> m_punchId;
    bool m_busy = false;
};

} // namespace timeedit
