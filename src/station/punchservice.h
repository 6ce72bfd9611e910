#pragma once

#include "data/database.h"
#include "station/offlinedecision.h"
#include "station/punchqueue.h"

#include <QDateTime>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

namespace admin {
class OptionsModel;
}

namespace station {

class ConfirmationPopup;
class IdField;
class OfflineLink;

// One punch for the punch transaction: an ID, the button, the time it is written with.
struct PunchRequest {
    QString id;
    PunchButton button = PunchButton::ClockInOut;
    QDateTime time;
    // The repeat-scan guard's seconds; 0 checks no repeat.
    int repeatSeconds = 0;
    // A clock-out earlier than the open punch's clock-in is refused instead of written
    // (a punch sent late must not make a reversed row).
    bool keepOrder = false;
    // Runs inside the transaction after the write, before the commit; its failure undoes all.
    std::function<data::DbError(data::Database &)> alsoInTransaction;
};

// What the punch transaction did. Written has committed; every other result has been rolled
// back. Failed carries the error.
struct PunchWrite {
    enum class Result { Written, Failed, Unknown, Repeat, AlreadyIn, NotIn, Reversed };
    Result result = Result::Failed;
    PunchDirection direction = PunchDirection::In;
    data::DbError error;
};

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
    // Where punches go while the database is away; none: every punch is online only.
    void setOfflineLink(OfflineLink *link) { m_offline = link; }
    void setPopup(ConfirmationPopup *popup) { m_popup = popup; }

    void ClockIn();
    void ClockOut();
    void ClockInOut();

    // The direction of the last punch when it was kept in the queue; nothing when the last
    // punch went to the database or was refused.
    std::optional<PunchDirection> lastQueued() const { return m_lastQueued; }

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

    // The check-and-write of one punch on a connection, without a screen or a message: the
    // employee and open-punch counts, the repeat-scan guard, the write, the commit. The
    // combined button clocks out a clocked-in ID, and in otherwise.
    static PunchWrite write(data::Database &db, const PunchRequest &request,
                            const StatementObserver &observer = {});

    // The command lines the feedback starts, as the station builds them.
    QString cameraCommandLine(Direction direction, const QString &id, const data::Row &employee) const;
    static QString soundCommandLine(Direction direction, const data::Row &employee);
    // The camera plug-in's path from the plug-in folder text.
    static QString cameraPluginPath(const QString &folderText);

private:
    // Where an ID stands after the employee and open-punch counts. Only ClockedIn and
    // ClockedOut leave the write transaction open; the others have been rolled back.
    // Repeat: the ID punched within the repeat-scan guard's seconds.
    enum class State { Failed, Unknown, Repeat, ClockedOut, ClockedIn };

    // Starts the write transaction, counts the active employees with the ID and, for a
    // known ID, its open punches.
    static State beginAndCheck(data::Database &db, const PunchRequest &request, const StatementObserver &observer,
                               data::DbError *error);

    // One punch from the screen: online while the database answers, to the queue while
    // it is away.
    void punch(PunchButton button);
    // The punch decided from the station's copy and queue, kept in the queue.
    void punchOffline(const QString &id, PunchButton button);
    // Whether a failed punch means the database is away. A connection the server dropped
    // opens again by itself at the punch's first statement, so a restarted server takes the
    // punch at once; one that cannot be reached then is away.
    bool databaseAway(const PunchWrite &write) const;

    static data::QueryResult run(data::Database &db, const StatementObserver &observer, const QString &sql,
                                 const QVariantList &values);
    data::Row readEmployee(data::Database &db, const QString &sql, const QString &id);
    void refuse(const QString &english, const QString &spanish) const;
    void refuseRepeat(qint64 seconds) const;
    // The confirmation (the given text, or the punch's own), camera, sound and photo.
    void announce(Direction direction, const QString &id, const data::Row &employee, const QString &text);
    // The guard's seconds while the pay rules turn the repeat-scan guard on; 0 otherwise.
    int repeatSeconds() const;
    // Reads the ID field and empties it.
    QString takeId();

    const admin::OptionsModel &m_options;
    IdField *m_idField = nullptr;
    ConfirmationPopup *m_popup = nullptr;
    int m_photoWaitLimit = 70000;
    StatementObserver m_observer;
    OfflineLink *m_offline = nullptr;
    std::optional<PunchDirection> m_lastQueued;

    QString m_heldId;
    data::Row m_heldEmployee;
};

} // namespace station
