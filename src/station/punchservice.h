#pragma once

#include "data/database.h"

#include <QString>
#include <QVariantList>

#include <functional>

namespace admin {
class OptionsModel;
}

namespace station {

class ConfirmationPopup;
class IdField;

// The punch operations of the clock screen: Clock In, Clock Out and the combined button.
// Each takes the ID from the ID field (emptying it), checks and writes ClockTable on the
// current database connection and announces the punch. A punch pressed while an earlier one
// waits for its photo popup runs inside that wait, with the ID the field holds then.
class PunchService
{
public:
    enum class Direction { In, Out };

    PunchService(const admin::OptionsModel &options, IdField *idField = nullptr,
                 ConfirmationPopup *popup = nullptr);

    void setIdField(IdField *idField) { m_idField = idField; }
    void setPopup(ConfirmationPopup *popup) { m_popup = popup; }

    void ClockIn();
    void ClockOut();
    void ClockInOut();

    // The repeat-scan guard's answer: {seconds} stands for the guard's seconds.
    static const QString RepeatText;
    static const QString RepeatSpanish;
    static const QString RecentPunchesSql;

    // Camera snapshot, confirmation message, sound and photo for the employee row held from
    // the last successful write.
    void AnnouncePunch(Direction direction);
    void AnnouncePunch(Direction direction, const QString &id, const data::Row &employee);

    // Waits until the clock's seconds count has advanced by the given number of second
    // boundaries, processing pending events meanwhile.
    static void Pause(int seconds);

    // The longest wait for the photo popup to close, so a popup that never closes cannot
    // hold the station. Measured on a monotonic timer, not on the wall clock.
    void setPhotoWaitLimit(int milliseconds) { m_photoWaitLimit = milliseconds; }

    // Sees every punch statement with its bound values just before it is sent.
    using StatementObserver = std::function<void(const QString &sql, const QVariantList &values)>;
    void setStatementObserver(StatementObserver observer) { m_observer = std::move(observer); }

    // The command lines the feedback starts, as the station builds them.
    QString cameraCommandLine(Direction direction, const QString &id, const data::Row &employee) const;
    static QString soundCommandLine(Direction direction, const data::Row &employee);
    // The camera plug-in's path from the plug-in folder text.
    static QString cameraPluginPath(const QString &folderText);

private:
    // Where an ID stands after the employee and open-punch counts. Only ClockedIn and
    // ClockedOut leave the write transaction open; Failed has been rolled back and reported.
    // Repeat: the ID punched within the repeat-scan guard's seconds; rolled back.
    enum class State { Failed, Unknown, Repeat, ClockedOut, ClockedIn };

    // Starts the write transaction, counts the active employees with the ID and, for a
    // known ID, its open punches.
    State beginAndCheck(data::Database &db, const QString &id);
    // The clock-out steps for one ID, from its own checks to the announcement.
    void clockOut(const QString &id);
    // Inserts the open punch in the write transaction, commits, then reads the employee's
    // feedback columns and announces the punch.
    void finishClockIn(data::Database &db, const QString &id);

    data::QueryResult run(data::Database &db, const QString &sql, const QVariantList &values);
    bool failed(data::Database &db, const data::DbError &error);
    data::Row readEmployee(data::Database &db, const QString &sql, const QString &id);
    void refuse(const QString &english, const QString &spanish) const;
    void refuseRepeat() const;
    // The guard's seconds while the pay rules turn the repeat-scan guard on; 0 otherwise.
    int repeatSeconds() const;
    // Reads the ID field and empties it.
    QString takeId();

    const admin::OptionsModel &m_options;
    IdField *m_idField = nullptr;
    ConfirmationPopup *m_popup = nullptr;
    int m_photoWaitLimit = 70000;
    StatementObserver m_observer;

    QString m_heldId;
    data::Row m_heldEmployee;
};

} // namespace station
