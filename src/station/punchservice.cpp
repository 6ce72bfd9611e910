#include "station/punchservice.h"

#include "admin/optionsmodel.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/system.h"
#include "reports/payrulesstore.h"
#include "station/confirmationpopup.h"
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

data::QueryResult PunchService::run(data::Database &db, const QString &sql, const QVariantList &values)
{
    if (m_observer)
        m_observer(sql, values);
    return db.query(sql, values);
}

bool PunchService::failed(data::Database &db, const data::DbError &error)
{
    if (!error)
        return false;
    // Undo whatever the punch wrote before telling anyone: no message inside a transaction.
    db.rollback();
    platform::MessageBox::ok(error.description, titles::plain());
    return true;
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

void PunchService::refuseRepeat() const
{
    const QString seconds = QString::number(repeatSeconds());
    refuse(QString(RepeatText).replace(QStringLiteral("{seconds}"), seconds),
           QString(RepeatSpanish).replace(QStringLiteral("{seconds}"), seconds));
}

void PunchService::refuse(const QString &english, const QString &spanish) const
{
    QString text = english;
    if (m_options.isOn(admin::Option::Spanish))
        text += CRLF + CRLF + spanish;
    platform::MessageBox::ok(text, titles::plain());
}

PunchService::State PunchService::beginAndCheck(data::Database &db, const QString &id)
{
    if (failed(db, db.beginWriteFor(id)))
        return State::Failed;
    const data::QueryResult users = run(db, CountUsers, {id});
    if (failed(db, users.error))
        return State::Failed;
    if (users.first().number(QStringLiteral("CountInt")) < 1) {
        db.rollback();
        return State::Unknown;
    }
    if (const int seconds = repeatSeconds()) {
        const QDateTime now = stationTime();
        const QDateTime since = now.addSecs(-seconds);
        const data::QueryResult recent = run(db, RecentPunchesSql, {id, since, now, since, now});
        if (failed(db, recent.error))
            return State::Failed;
        if (recent.first().number(QStringLiteral("CountInt")) > 0) {
            db.rollback();
            return State::Repeat;
        }
    }
    const data::QueryResult open = run(db, CountOpenPunches, {id});
    if (failed(db, open.error))
        return State::Failed;
    return open.first().number(QStringLiteral("CountInt")) == 0 ? State::ClockedOut : State::ClockedIn;
}

data::Row PunchService::readEmployee(data::Database &db, const QString &sql, const QString &id)
{
    const data::QueryResult result = run(db, sql, {id});
    if (result.error) {
        // The punch is written; say what went wrong and still confirm it, without feedback.
        platform::MessageBox::ok(result.error.description, titles::plain());
        return data::Row();
    }
    return result.first();
}

void PunchService::ClockIn()
{
    const QString id = takeId();
    const std::shared_ptr<data::Database> db = data::Database::current();
    const data::Database::StatementTimeout limit(*db, data::Database::PunchTimeoutMs);
    switch (beginAndCheck(*db, id)) {
    case State::Failed:
        break;
    case State::Unknown:
        refuse(NotFoundText, NotFoundSpanish);
        break;
    case State::Repeat:
        refuseRepeat();
        break;
    case State::ClockedIn:
        db->rollback();
        refuse(TwiceText, TwiceSpanish);
        break;
    case State::ClockedOut:
        finishClockIn(*db, id);
        break;
    }
}

void PunchService::ClockOut()
{
    clockOut(takeId());
}

void PunchService::ClockInOut()
{
    const QString id = takeId();
    const std::shared_ptr<data::Database> db = data::Database::current();
    const data::Database::StatementTimeout limit(*db, data::Database::PunchTimeoutMs);
    switch (beginAndCheck(*db, id)) {
    case State::Failed:
        break;
    case State::Unknown:
        refuse(NotFoundText, NotFoundSpanish);
        break;
    case State::Repeat:
        refuseRepeat();
        break;
    case State::ClockedOut:
        finishClockIn(*db, id);
        break;
    case State::ClockedIn:
        // The whole clock-out runs again from its own checks.
        db->rollback();
        clockOut(id);
        break;
    }
}

void PunchService::finishClockIn(data::Database &db, const QString &id)
{
    const QDateTime in = stationTime();
    if (failed(db, run(db, InsertPunch, {in, in.date(), id}).error))
        return;
    if (failed(db, db.commit()))
        return;
    m_heldId = id;
    m_heldEmployee = readEmployee(db, EmployeeAfterIn, id);
    AnnouncePunch(Direction::In);
}

void PunchService::clockOut(const QString &id)
{
    const std::shared_ptr<data::Database> db = data::Database::current();
    const data::Database::StatementTimeout limit(*db, data::Database::PunchTimeoutMs);
    switch (beginAndCheck(*db, id)) {
    case State::Failed:
        return;
    case State::Unknown:
        refuse(NotFoundText, NotFoundSpanish);
        return;
    case State::Repeat:
        refuseRepeat();
        return;
    case State::ClockedOut:
        db->rollback();
        refuse(NotInText, NotInSpanish);
        return;
    case State::ClockedIn:
        break;
    }
    const QDateTime out = stationTime();
    if (failed(*db, run(*db, ClosePunches, {out, id}).error))
        return;
    if (failed(*db, run(*db, totalPunches(*db), {id}).error))
        return;
    if (failed(*db, db->commit()))
        return;
    m_heldId = id;
    m_heldEmployee = readEmployee(*db, EmployeeAfterOut, id);
    AnnouncePunch(Direction::Out);
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
    if (employee.text(QStringLiteral("PhotoOnOff")) == QLatin1String("1"))
        platform::Launcher::start(cameraCommandLine(direction, id, employee));

    const QString d = employee.text(QStringLiteral("DisplayText"));
    const bool spanish = m_options.isOn(admin::Option::Spanish);
    QString text;
    if (direction == Direction::In) {
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
