#include "station/punchservice.h"

#include "admin/optionsmodel.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/system.h"
#include "reports/payrulesstore.h"
#include "station/confirmationpopup.h"
#include "station/offlinelink.h"
#include "station/idfield.h"
#include "station/titles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <limits>

namespace station {

namespace {
const QString CRLF = QStringLiteral("\r\n");

// The punch statements. Every value is bound in the order of its "?".
const QString CountUsers = QStringLiteral(
    "select count(*) as CountInt from usertable where useridlogin = ? and disabled = 0 ");
const QString CountOpenPunches = QStringLiteral(
    "select count(*) as CountInt from clocktable where useridlogin = ? and clockedout is null ");
const QString InsertPunch = QStringLiteral("insert into clocktable (Clockedin,RowDate,UserIdLogin) ")
                            + QStringLiteral(" values (?,?,?) ");
const QString EmployeeAfterIn = QStringLiteral(
    "select DisplayText,  UserPhoto, PhotoEnabled, PhotoDisplay, SoundEnabled, SoundFileOut, SoundFilein, "
    "PhotoOnOff, PhotoLocation, PhotoType from usertable where useridlogin = ? and disabled = 0 ");
const QString EmployeeAfterOut = QStringLiteral(
    "select  displaytext, UserPhoto, PhotoEnabled, PhotoDisplay, SoundEnabled, SoundFileOut, SoundFilein,  "
    "PhotoOnOff, PhotoLocation, PhotoType  from usertable where useridlogin = ? and disabled = 0 ");
const QString ClosePunches = QStringLiteral("update clocktable  set clockedout = ?")
                             + QStringLiteral(" where useridlogin = ? and clockedout is null ");
// An open punch of the ID that began after the given time.
const QString OpenPunchesAfter = QStringLiteral(
    "select count(*) as CountInt from clocktable where useridlogin = ? and clockedout is null and clockedin > ? ");
QString totalPunches(const data::Database &db)
{
    // The engine's own DateDiff spelling: a bare unit on SQL Server, a quoted one on the
    // embedded engine and PostgreSQL.
    return QStringLiteral("update clocktable  set totalclock =  DateDiff(") + db.dateDiffUnit('n')
           + QStringLiteral(",Clockedin, clockedout)")
           + QStringLiteral(" where useridlogin = ? and clockedout is not null and totalclock is null ");
}

} // namespace

// Punches of the ID that began or ended from the first time to the second, both included.
const QString PunchService::RecentPunchesSql = QStringLiteral(
    "select count(*) as CountInt from clocktable where useridlogin = ? "
    "and ((clockedin >= ? and clockedin <= ?) or (clockedout >= ? and clockedout <= ?)) ");
const QString PunchService::RepeatText =
    QStringLiteral("This ID was punched less than {seconds} seconds ago. The punch was not recorded.");
const QString PunchService::RepeatSpanish = QStringLiteral(
    "Este numero de empleado se registro hace menos de {seconds} segundos. No se registro de nuevo.");

namespace {
// Refusals: English, and the Spanish line added when the option is on.
const QString NotFoundText = QStringLiteral("UserID was not found.");
const QString NotFoundSpanish = QStringLiteral("No existe este numero de empleado, favor de verificarlo");
const QString TwiceText = QStringLiteral("You are already logged in, You can not login twice.");
const QString TwiceSpanish = QStringLiteral("Ya esta registrado de entrada y no se puede registrar de nuevo");
const QString NotInText = QStringLiteral("You are not Clocked in, and can not be clock out.");
const QString NotInSpanish = QStringLiteral("No esta registrada su entrada y no se puede registrar de salida");

// The fixed token the sound player expects after its file name.
const QString SoundToken = QStringLiteral("zoktrebwqilsdhaf");

// The clock reading as it is stored: whole seconds, like the station time text shows it.
QDateTime stationTime()
{
    const QDateTime now = platform::Clock::now();
    return now.addMSecs(-now.time().msec());
}

QString now()
{
    return regional::stationTimeText();
}

// Lets pending events run for about the given time without spinning.
void processEventsFor(int milliseconds)
{
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

PunchService::PunchService(const admin::OptionsModel &options, IdField *idField, ConfirmationPopup *popup)
    : m_options(options), m_idField(idField), m_popup(popup)
{
}

QString PunchService::takeId()
{
    // The field is emptied as soon as its ID is taken, not when the punch ends: the
    // photo wait lets the next employee key an ID and punch meanwhile, and neither may
    // lose what the other typed.
    if (!m_idField)
        return QString();
    const QString id = m_idField->idText();
    m_idField->setIdText(QString());
    return id;
}

data::QueryResult PunchService::run(data::Database &db, const StatementObserver &observer, const QString &sql,
                                    const QVariantList &values)
{
    if (observer)
        observer(sql, values);
    return db.query(sql, values);
}

int PunchService::repeatSeconds() const
{
    // The station-wide rules as read at the start and after each change, not the database
    // at every punch.
    const reports::PayRules rules = reports::PayRulesStore::cached();
    if (!rules.repeatGuard || rules.repeatSeconds <= 0)
        return 0;
    return int(std::min<qint64>(rules.repeatSeconds, std::numeric_limits<int>::max()));
}

void PunchService::refuseRepeat(qint64 seconds) const
{
    const QString text = QString::number(seconds);
    refuse(QString(RepeatText).replace(QStringLiteral("{seconds}"), text),
           QString(RepeatSpanish).replace(QStringLiteral("{seconds}"), text));
}

void PunchService::refuse(const QString &english, const QString &spanish) const
{
    QString text = english;
    if (m_options.isOn(admin::Option::Spanish))
        text += CRLF + CRLF + spanish;
    platform::MessageBox::ok(text, titles::plain());
}

PunchService::State PunchService::beginAndCheck(data::Database &db, const PunchRequest &request,
                                                const StatementObserver &observer, data::DbError *error)
{
    auto failed = [&](const data::DbError &e) {
        if (!e)
            return false;
        db.rollback();
        *error = e;
        return true;
    };
    const QString &id = request.id;
    if (failed(db.beginWriteFor(id)))
        return State::Failed;
    const data::QueryResult users = run(db, observer, CountUsers, {id});
    if (failed(users.error))
        return State::Failed;
    if (users.first().number(QStringLiteral("CountInt")) < 1) {
        db.rollback();
        return State::Unknown;
    }
    if (request.repeatSeconds > 0) {
        const QDateTime now = request.time;
        const QDateTime since = now.addSecs(-request.repeatSeconds);
        const data::QueryResult recent = run(db, observer, RecentPunchesSql, {id, since, now, since, now});
        if (failed(recent.error))
            return State::Failed;
        if (recent.first().number(QStringLiteral("CountInt")) > 0) {
            db.rollback();
            return State::Repeat;
        }
    }
    const data::QueryResult open = run(db, observer, CountOpenPunches, {id});
    if (failed(open.error))
        return State::Failed;
    return open.first().number(QStringLiteral("CountInt")) == 0 ? State::ClockedOut : State::ClockedIn;
}

PunchWrite PunchService::write(data::Database &db, const PunchRequest &request, const StatementObserver &observer)
{
    // A server gone silent answers the punch within its time-out instead of freezing the station.
    const data::Database::StatementTimeout limit(db, data::Database::PunchTimeoutMs);
    PunchWrite result;
    auto failed = [&](const data::DbError &e) {
        if (!e)
            return false;
        db.rollback();
        result.result = PunchWrite::Result::Failed;
        result.error = e;
        return true;
    };
    switch (beginAndCheck(db, request, observer, &result.error)) {
    case State::Failed:
        result.result = PunchWrite::Result::Failed;
        return result;
    case State::Unknown:
        result.result = PunchWrite::Result::Unknown;
        return result;
    case State::Repeat:
        result.result = PunchWrite::Result::Repeat;
        return result;
    case State::ClockedIn:
        if (request.button == PunchButton::ClockIn) {
            db.rollback();
            result.result = PunchWrite::Result::AlreadyIn;
            return result;
        }
        if (request.button == PunchButton::ClockInOut) {
            // The whole clock-out runs again from its own checks.
            db.rollback();
            PunchRequest out = request;
            out.button = PunchButton::ClockOut;
            return write(db, out, observer);
        }
        result.direction = PunchDirection::Out;
        break;
    case State::ClockedOut:
        if (request.button == PunchButton::ClockOut) {
            db.rollback();
            result.result = PunchWrite::Result::NotIn;
            return result;
        }
        result.direction = PunchDirection::In;
        break;
    }

    const QDateTime &time = request.time;
    const QString &id = request.id;
    if (result.direction == PunchDirection::In) {
        if (failed(run(db, observer, InsertPunch, {time, time.date(), id}).error))
            return result;
    } else {
        if (request.keepOrder) {
            const data::QueryResult later = run(db, observer, OpenPunchesAfter, {id, time});
            if (failed(later.error))
                return result;
            if (later.first().number(QStringLiteral("CountInt")) > 0) {
                db.rollback();
                result.result = PunchWrite::Result::Reversed;
                return result;
            }
        }
        if (failed(run(db, observer, ClosePunches, {time, id}).error))
            return result;
        if (failed(run(db, observer, totalPunches(db), {id}).error))
            return result;
    }
    if (request.alsoInTransaction && failed(request.alsoInTransaction(db)))
        return result;
    // A failed commit is not run again: its write may have been kept (the connection runs
    // nothing twice inside a transaction).
    if (failed(db.commit()))
        return result;
    result.result = PunchWrite::Result::Written;
    return result;
}

data::Row PunchService::readEmployee(data::Database &db, const QString &sql, const QString &id)
{
    const data::QueryResult result = run(db, m_observer, sql, {id});
    if (result.error) {
        // The punch is written; say what went wrong and still confirm it, without feedback.
        platform::MessageBox::ok(result.error.description, titles::plain());
        return data::Row();
    }
    return result.first();
}

void PunchService::ClockIn()
{
    punch(PunchButton::ClockIn);
}

void PunchService::ClockOut()
{
    punch(PunchButton::ClockOut);
}

void PunchService::ClockInOut()
{
    punch(PunchButton::ClockInOut);
}

bool PunchService::databaseAway(const PunchWrite &write) const
{
    // A failure at the commit is never run again on the connection. One of a server that is
    // away goes to the queue like any other: the replay checks the ID afresh, so a punch whose
    // write was kept after all is refused there and listed as an exception.
    return m_offline && write.result == PunchWrite::Result::Failed && write.error.unreachable;
}

void PunchService::punch(PunchButton button)
{
    const QString id = takeId();
    m_lastQueued.reset();
    if (m_offline && m_offline->isAway()) {
        punchOffline(id, button);
        return;
    }
    const PunchRequest request{id, button, stationTime(), repeatSeconds(), false, {}};
    const PunchWrite written = write(*data::Database::current(), request, m_observer);
    if (databaseAway(written)) {
        m_offline->goAway();
        punchOffline(id, button);
        return;
    }

    switch (written.result) {
    case PunchWrite::Result::Failed:
        platform::MessageBox::ok(written.error.description, titles::plain());
        return;
    case PunchWrite::Result::Unknown:
        refuse(NotFoundText, NotFoundSpanish);
        return;
    case PunchWrite::Result::Repeat:
        refuseRepeat(repeatSeconds());
        return;
    case PunchWrite::Result::AlreadyIn:
        refuse(TwiceText, TwiceSpanish);
        return;
    case PunchWrite::Result::NotIn:
    case PunchWrite::Result::Reversed:
        refuse(NotInText, NotInSpanish);
        return;
    case PunchWrite::Result::Written:
        break;
    }
    if (m_offline)
        m_offline->notePunch(id, written.direction, request.time);
    const std::shared_ptr<data::Database> db = data::Database::current();
    m_heldId = id;
    const bool in = written.direction == PunchDirection::In;
    m_heldEmployee = readEmployee(*db, in ? EmployeeAfterIn : EmployeeAfterOut, id);
    AnnouncePunch(in ? Direction::In : Direction::Out);
}

void PunchService::punchOffline(const QString &id, PunchButton button)
{
    const QDateTime now = stationTime();
    // The queue first: a punch the background sends meanwhile is noted in the copy before
    // it leaves the queue, so it is seen in one or the other.
    const QList<QueuedPunch> queued = m_offline->queue().pending();
    const std::optional<OfflineSnapshot> copy = m_offline->copy().snapshotFor(id);
    if (!copy) {
        platform::MessageBox::ok(m_offline->copy().errorText(), titles::plain());
        return;
    }
    const OfflineDecision decision = OfflineDecision::decide(*copy, queued, id, button, now);
    switch (decision.outcome) {
    case OfflineDecision::Outcome::Unknown:
        refuse(NotFoundText, NotFoundSpanish);
        return;
    case OfflineDecision::Outcome::Repeat:
        refuseRepeat(decision.repeatSeconds);
        return;
    case OfflineDecision::Outcome::AlreadyIn:
        refuse(TwiceText, TwiceSpanish);
        return;
    case OfflineDecision::Outcome::NotIn:
        refuse(NotInText, NotInSpanish);
        return;
    case OfflineDecision::Outcome::Accepted:
        break;
    }
    // On the disk before the employee is told anything; a punch that could not be kept is
    // never confirmed.
    if (!m_offline->queue().append(id, decision.direction, now)) {
        platform::MessageBox::ok(m_offline->queue().errorText(), titles::plain());
        return;
    }
    m_lastQueued = decision.direction;
    m_offline->punchQueued();
    announce(decision.direction == PunchDirection::In ? Direction::In : Direction::Out, id, decision.employee,
             OfflineDecision::confirmationText(m_options.isOn(admin::Option::Spanish)));
}

void PunchService::AnnouncePunch(Direction direction)
{
    // Copies: a punch nested in the photo wait replaces the held row.
    const QString id = m_heldId;
    const data::Row employee = m_heldEmployee;
    AnnouncePunch(direction, id, employee);
}

void PunchService::AnnouncePunch(Direction direction, const QString &id, const data::Row &employee)
{
    announce(direction, id, employee, QString());
}

void PunchService::announce(Direction direction, const QString &id, const data::Row &employee,
                            const QString &offlineText)
{
    if (employee.text(QStringLiteral("PhotoOnOff")) == QLatin1String("1"))
        platform::Launcher::start(cameraCommandLine(direction, id, employee));

    const QString d = employee.text(QStringLiteral("DisplayText"));
    const bool spanish = m_options.isOn(admin::Option::Spanish);
    QString text;
    if (!offlineText.isEmpty()) {
        platform::MessageBox::ok(offlineText, titles::plain());
    } else if (direction == Direction::In) {
        text = d.isEmpty() ? QStringLiteral("You have been Clocked in at ")
                           : d + QStringLiteral(", You have been Clocked in at ");
        text += now();
        if (spanish) {
            text += CRLF + CRLF
                    + (d.isEmpty() ? QStringLiteral("Entrada Confirmada ") : d + QStringLiteral(" Entrada Confirmada "));
            text += now();
        }
        platform::MessageBox::ok(text, titles::withVersion());
    } else {
        text = d.isEmpty() ? QStringLiteral("You have been Clocked Out at ")
                           : d + QStringLiteral(", You have been Clocked Out at ");
        text += now();
        if (spanish) {
            text += CRLF + CRLF
                    + (d.isEmpty() ? QStringLiteral(" Salida Confirmada ") : d + QStringLiteral(", Salida Confirmada "));
            text += now();
        }
        platform::MessageBox::ok(text, titles::plain());
    }

    if (employee.number(QStringLiteral("SoundEnabled")) == 1)
        platform::Launcher::start(soundCommandLine(direction, employee));

    if (employee.number(QStringLiteral("PhotoEnabled")) == 1 && m_popup) {
        QElapsedTimer waited;
        waited.start();
        m_popup->postRequest(employee.text(QStringLiteral("UserPhoto")) + QStringLiteral("::")
                             + employee.text(QStringLiteral("PhotoDisplay")) + QStringLiteral("::") + now());
        Pause(1);
        while (m_popup->isShown() && waited.elapsed() < m_photoWaitLimit)
            processEventsFor(20);
    }
}

QString PunchService::cameraPluginPath(const QString &folderText)
{
    const QString program = platform::executableName(QStringLiteral("KtlyPlug"));
    const QString separator = platform::separatorText();
    QString path = folderText;
    path.remove(program, Qt::CaseSensitive);
    path += separator + program;
    path.replace(separator + separator, separator);
    return path;
}

QString PunchService::cameraCommandLine(Direction direction, const QString &id, const data::Row &employee) const
{
    QString stamp = now();
    stamp.replace(QLatin1Char(' '), QLatin1Char('-'));
    stamp.replace(QLatin1Char(':'), QLatin1Char('-'));
    stamp.replace(QLatin1Char('/'), QLatin1Char('-'));
    return cameraPluginPath(m_options.text(admin::Field::PluginLocation)) + QLatin1Char(' ')
           + m_options.text(admin::Field::CameraIp) + QLatin1Char(';')
           + employee.text(QStringLiteral("PhotoType")) + QLatin1Char(';')
           + employee.text(QStringLiteral("PhotoLocation")) + QLatin1Char(';') + id
           + (direction == Direction::In ? QStringLiteral("-ClockedIn-") : QStringLiteral("-ClockedOut-")) + stamp;
}

QString PunchService::soundCommandLine(Direction direction, const data::Row &employee)
{
    const QString file = employee.text(direction == Direction::In ? QStringLiteral("SoundFileIn")
                                                                  : QStringLiteral("SoundFileOut"));
    return platform::programFolder() + platform::separatorText() + platform::executableName(QStringLiteral("DOZ1"))
           + QLatin1Char(' ') + file + QStringLiteral("::") + SoundToken;
}

void PunchService::Pause(int seconds)
{
    if (seconds <= 0)
        return;
    qint64 last = platform::Clock::now().toSecsSinceEpoch();
    qint64 crossed = 0;
    while (crossed < seconds) {
        processEventsFor(10);
        const qint64 second = platform::Clock::now().toSecsSinceEpoch();
        if (second > last)
            crossed += second - last;
        else if (second < last)
            ++crossed; // the clock was set back: one boundary, not a wait for the lost time
        last = second;
    }
}

} // namespace station
