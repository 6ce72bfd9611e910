#include "timeedit/timeeditor.h"

#include "admin/optionsmodel.h"
#include "data/audittable.h"
#include "data/needsdatabase.h"
#include "platform/busyscope.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "reports/hourtexts.h"
#include "reports/payrulesstore.h"

#include <QCoreApplication>

namespace timeedit {

using data::Database;
using data::DbError;
using data::QueryResult;
using platform::MessageBox;

const QString TimeEditor::WindowCaption = QStringLiteral("Time Edit");
const QString TimeEditor::ColumnHeader =
    QStringLiteral("Work Date          Clocked In                               Clocked Out");

const QString TimeEditor::SelectRow = QStringLiteral("Please select a row to edit");
const QString TimeEditor::InvalidClockedOut =
    QStringLiteral("A valid Data and Time should be entered in the Clocked Out Text Box field");
const QString TimeEditor::InvalidWorkDate =
    QStringLiteral("A valid Date should be entered in the Work Date Text Box field");
const QString TimeEditor::InvalidClockedIn =
    QStringLiteral("A valid Date and Time should be entered in the Clocked In Text Box field");
const QString TimeEditor::AlreadyClockedIn = QStringLiteral(
    "This employee is already clocked in; enter a Clocked Out time to insert a completed punch.");
const QString TimeEditor::ReversedPunch =
    QStringLiteral("The Clocked Out time should not be earlier than the Clocked In time");
const QString TimeEditor::DeleteQuestion = QStringLiteral("Are you sure you would like to Delete this Entry?");

const QString TimeEditor::ClosedPeriodRefusal =
    QStringLiteral("This punch lies in a closed pay period (%1 to %2). Reopen the period to change it.");

const QString TimeEditor::UsersSql =
    QStringLiteral("Select FirstName,LastName, ID,UserIDLogin from UserTable order by lastname asc ");
const QString TimeEditor::PunchesSql = QStringLiteral("Select * from ClockTable where UserIDLogin = ?");
const QString TimeEditor::UpdateSql =
    QStringLiteral("update clocktable set rowdate = ?, ClockedIn = ?, ClockedOut = ? where ID = ?");
const QString TimeEditor::UpdateKeepingOutSql =
    QStringLiteral("update clocktable set rowdate = ?, ClockedIn = ? where ID = ?");
const QString TimeEditor::InsertSql =
    QStringLiteral("insert into clocktable (rowdate, ClockedIn, ClockedOut, UserIDLogin)   values(?,?,?,?)");
const QString TimeEditor::InsertOpenSql =
    QStringLiteral("insert into clocktable (rowdate, ClockedIn, UserIDLogin)   values(?,?,?)");
const QString TimeEditor::OpenPunchesSql = QStringLiteral(
    "select count(*) as CountInt from clocktable where useridlogin = ? and clockedout is null ");
const QString TimeEditor::DeleteSql = QStringLiteral("delete from clocktable where ID = ?");
const QString TimeEditor::PunchSql = QStringLiteral("Select * from ClockTable where ID = ?");

namespace {
const QString Blanks(500, QLatin1Char(' '));
const QString PunchSeparator = QStringLiteral(" -- ");
const QString NameSeparator = QStringLiteral("  -  ");
const QString UserIdSeparator = QStringLiteral(" - ");
const QString ClockTableName = QStringLiteral("ClockTable");

// The punch's columns as the audit trail records them.
const QStringList &punchColumns()
{
    static const QStringList columns{QStringLiteral("UserIDLogin"), QStringLiteral("RowDate"),
                                     QStringLiteral("ClockedIn"), QStringLiteral("ClockedOut"),
                                     QStringLiteral("TotalClock")};
    return columns;
}

// Blanks only, as the fields are trimmed: tabs and other white space stay.
QString trimBlanks(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}
} // namespace

using platform::BusyScope;

QString TimeEditor::dateMissing(const QString &field)
{
    return QStringLiteral("A date should be entered in the %1 Text Box field, not a time alone").arg(field);
}

namespace {
// A time typed or stored as a wall-clock reading, as the report reads it back.
QDateTime wall(const QDateTime &value)
{
    return QDateTime(value.date(), value.time(), Qt::UTC);
}
} // namespace

TimeEditor::TimeEditor(ConnectionSource connection, QObject *parent)
    : QObject(parent), m_connection(std::move(connection))
{
}

TimeEditor::TimeEditor(const admin::OptionsModel &options, QObject *parent)
    : TimeEditor([&options] { return options.connectionSettings(); }, parent)
{
}

QString TimeEditor::employeeEntry(const QString &lastName, const QString &firstName, const QString &userId)
{
    return lastName + QStringLiteral(", ") + firstName + NameSeparator + userId;
}

QString TimeEditor::punchEntry(const QString &rowDate, const QString &clockedIn, const QString &clockedOut,
                               qint64 id)
{
    return rowDate + PunchSeparator + clockedIn + PunchSeparator + clockedOut + Blanks + PunchSeparator
           + QString::number(id);
}

QString TimeEditor::userIdOfEntry(const QString &entry)
{
    return entry.split(UserIdSeparator).constLast().trimmed();
}

QueryResult TimeEditor::run(Database &db, const QString &sql, const QVariantList &values)
{
    if (m_observer)
        m_observer(sql, values);
    return db.query(sql, values);
}

void TimeEditor::showMessage(const QString &text) const
{
    MessageBox::show(nullptr, text, MessageBox::applicationTitle());
}

bool TimeEditor::openScreen()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;

    const std::shared_ptr<Database> db = Database::open(m_connection ? m_connection() : data::ConnectionSettings());
    m_employees.clear();
    m_employeeEntries.clear();
    emit employeesChanged();
    if (db->openError().unreachable) {
        showMessage(data::openFailureText(db->openError()));
        return false;
    }
    const QueryResult users = run(*db, UsersSql);
    if (users.error) {
        showMessage(users.error.description);
        return false;
    }
    for (const data::Row &row : users.rows) {
        const QString userId = row.text(QStringLiteral("UserIDLogin"));
        const QString entry =
            employeeEntry(row.text(QStringLiteral("LastName")), row.text(QStringLiteral("FirstName")), userId);
        m_employees.append({entry, userId});
        m_employeeEntries << entry;
        QCoreApplication::processEvents();
    }
    emit employeesChanged();
    return true;
}

bool TimeEditor::chooseEmployee(const QString &entry)
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;

    m_punchEntries.clear();
    m_label = entry;
    emit punchesChanged();
    if (entry.isEmpty())
        return false;

    // The entry's own user ID when it is one of the listed employees: an ID holding " - "
    // cannot be read back from the text.
    QString userId = userIdOfEntry(entry);
    for (const Employee &employee : std::as_const(m_employees)) {
        if (employee.entry == entry) {
            userId = employee.userId;
            break;
        }
    }
    // A punch selected before belongs to the previous employee: Update and Delete must not
    // reach it from here.
    if (!m_employeeChosen || userId != m_userId) {
        m_punchId.reset();
        m_fields = PunchFields();
        emit fieldsChanged();
    }
    m_userId = userId;
    m_employeeChosen = true;
    return listPunches();
}

bool TimeEditor::listPunches()
{
    m_punchEntries.clear();
    std::shared_ptr<Database> db = Database::current();
    const QueryResult punches = run(*db, PunchesSql, {m_userId});
    if (punches.error) {
        emit punchesChanged();
        showMessage(punches.error.description);
        return false;
    }
    for (const data::Row &row : punches.rows) {
        m_punchEntries << punchEntry(row.text(QStringLiteral("RowDate")), row.text(QStringLiteral("ClockedIn")),
                                     row.text(QStringLiteral("ClockedOut")),
                                     row.value(QStringLiteral("ID")).toLongLong());
        QCoreApplication::processEvents();
    }
    emit punchesChanged();
    return true;
}

bool TimeEditor::selectPunch(const QString &entry)
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    const QStringList pieces = entry.split(PunchSeparator);
    if (pieces.size() < 4)
        return false;
    bool ok = false;
    const qint64 id = pieces.at(3).trimmed().toLongLong(&ok);
    if (!ok)
        return false;
    m_fields.workDate = pieces.at(0).trimmed();
    m_fields.clockedIn = pieces.at(1).trimmed();
    m_fields.clockedOut = pieces.at(2).trimmed();
    m_punchId = id;
    emit fieldsChanged();
    return true;
}

void TimeEditor::trimFields()
{
    m_fields.clockedOut = trimBlanks(m_fields.clockedOut);
    m_fields.workDate = trimBlanks(m_fields.workDate);
    m_fields.clockedIn = trimBlanks(m_fields.clockedIn);
    emit fieldsChanged();
}

// The three fields read as date-times; a field that does not read, or reads as a time
// without a date (stored on the zero date, where the report could not count it), is
// refused with its message. An empty clock-out is no clock-out; a typed one must not come
// before the clock-in.
std::optional<TimeEditor::Times> TimeEditor::checkedTimes()
{
    struct Field {
        const QString &text;
        const QString &invalid;
        const char *caption;
    };
    const Field fields[] = {
        {m_fields.workDate, InvalidWorkDate, "Work Date"},
        {m_fields.clockedIn, InvalidClockedIn, "Clocked In"},
        {m_fields.clockedOut, InvalidClockedOut, "Clocked Out"},
    };
    QDateTime values[3];
    for (int i = 0; i < 3; ++i) {
        if (i == 2 && fields[i].text.isEmpty())
            break;
        const auto parsed = regional::parseDateTime(fields[i].text);
        if (!parsed) {
            showMessage(fields[i].invalid);
            return std::nullopt;
        }
        if (parsed->date() == regional::zeroDate()) {
            showMessage(dateMissing(QLatin1String(fields[i].caption)));
            return std::nullopt;
        }
        values[i] = *parsed;
    }
    Times times{values[0], values[1], std::nullopt};
    if (values[2].isValid()) {
        if (reports::hours::isReversed(wall(values[1]), wall(values[2]))) {
            showMessage(ReversedPunch);
            return std::nullopt;
        }
        times.clockedOut = values[2];
    }
    return times;
}

bool TimeEditor::refusedInClosedPeriod(std::optional<qint64> punch, bool typedWorkDate)
{
    const std::shared_ptr<Database> db = Database::current();
    QList<QDate> dates;
    if (typedWorkDate) {
        // One that does not read is refused by the checks of the times.
        if (const auto typed = regional::parseDateTime(m_fields.workDate))
            dates << typed->date();
    }
    if (punch) {
        const QueryResult stored = db->query(PunchSql, {*punch});
        if (stored.error) {
            showMessage(stored.error.description);
            return true;
        }
        if (!stored.rows.isEmpty())
            dates << stored.first().value(QStringLiteral("RowDate")).toDateTime().date();
    }
    if (dates.isEmpty())
        return false;
    DbError error;
    const QList<reports::ClosedPeriod> closed = reports::PayRulesStore(db).closedPeriods(&error);
    if (error) {
        showMessage(error.description);
        return true;
    }
    for (const QDate &date : std::as_const(dates)) {
        for (const reports::ClosedPeriod &c : closed) {
            if (c.period.contains(date)) {
                showMessage(ClosedPeriodRefusal.arg(regional::shortDate(c.period.first),
                                                    regional::shortDate(c.period.last)));
                return true;
            }
        }
    }
    return false;
}

bool TimeEditor::updatePunch()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    trimFields();
    if (!m_punchId) {
        showMessage(SelectRow);
        return false;
    }
    if (refusedInClosedPeriod(m_punchId, true))
        return false;
    const std::optional<Times> times = checkedTimes();
    if (!times)
        return false;

    const bool written = writeAudited(m_punchId, [&](Database &db, const data::Row &stored, QString &refusal) -> DbError {
        if (times->clockedOut)
            return run(db, UpdateSql, {times->workDate, times->clockedIn, *times->clockedOut, *m_punchId}).error;
        // The stored clock-out stays: the new clock-in must not come after it.
        const QDateTime storedOut = stored.wallDateTime(stored.indexOf(QStringLiteral("ClockedOut")));
        if (reports::hours::isReversed(wall(times->clockedIn), storedOut)) {
            refusal = ReversedPunch;
            return {};
        }
        return run(db, UpdateKeepingOutSql, {times->workDate, times->clockedIn, *m_punchId}).error;
    });
    if (!written)
        return false;
    return listPunches();
}

bool TimeEditor::insertPunch()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    trimFields();
    if (m_userId.isEmpty()) {
        showMessage(SelectRow);
        return false;
    }
    if (refusedInClosedPeriod(std::nullopt, true))
        return false;
    const std::optional<Times> times = checkedTimes();
    if (!times)
        return false;

    const bool written = writeAudited(std::nullopt, [&](Database &db, const data::Row &, QString &refusal) -> DbError {
        if (times->clockedOut)
            return run(db, InsertSql, {times->workDate, times->clockedIn, *times->clockedOut, m_userId}).error;
        // An open punch only for an employee who has none: the check and the insert hold the
        // write lock together, so a clock-in at a station cannot slip in between.
        const QueryResult open = run(db, OpenPunchesSql, {m_userId});
        if (open.error)
            return open.error;
        if (open.first().number(QStringLiteral("CountInt")) > 0) {
            refusal = AlreadyClockedIn;
            return {};
        }
        return run(db, InsertOpenSql, {times->workDate, times->clockedIn, m_userId}).error;
    });
    if (!written)
        return false;
    return listPunches();
}

bool TimeEditor::writeAudited(std::optional<qint64> key,
                              const std::function<DbError(Database &db, const data::Row &stored, QString &refusal)> &change)
{
    std::shared_ptr<Database> db = Database::current();
    auto failed = [&](const DbError &error) {
        db->rollback();
        showMessage(error.description);
        return false;
    };
    if (const DbError error = db->beginWriteFor(m_userId))
        return failed(error);
    data::AuditSnapshot before;
    data::Row stored;
    if (key) {
        const QueryResult punch = run(*db, PunchSql, {*key});
        if (punch.error)
            return failed(punch.error);
        before = data::AuditSnapshot::of(punch, punchColumns());
        stored = punch.first();
    }
    QString refusal;
    if (const DbError error = change(*db, stored, refusal))
        return failed(error);
    if (!refusal.isEmpty()) {
        db->rollback();
        showMessage(refusal);
        return false;
    }
    if (!key) {
        DbError error;
        key = data::lastInsertedId(*db, &error);
        if (!key)
            return failed(error ? error : DbError{data::errors::CommandFailed, QStringLiteral("The new punch has no key.")});
    }
    const QueryResult punch = run(*db, PunchSql, {*key});
    if (punch.error)
        return failed(punch.error);
    const QString administrator = m_administrator ? m_administrator() : QString();
    if (const DbError error = data::recordChange(*db, administrator, ClockTableName, *key, before,
                                                 data::AuditSnapshot::of(punch, punchColumns())))
        return failed(error);
    if (const DbError error = db->commit()) {
        showMessage(error.description);
        return false;
    }
    return true;
}

bool TimeEditor::deletePunch()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    trimFields();
    if (!m_punchId) {
        showMessage(SelectRow);
        return false;
    }
    if (refusedInClosedPeriod(m_punchId, false))
        return false;
    const bool yes = MessageBox::show(nullptr, DeleteQuestion, QString(), MessageBox::Buttons::YesNo,
                                      MessageBox::Answer::No)
                     == MessageBox::Answer::Yes;
    if (yes) {
        const qint64 key = *m_punchId;
        if (!writeAudited(key, [&](Database &db, const data::Row &, QString &) { return run(db, DeleteSql, {key}).error; }))
            return false;
    }
    m_punchId.reset();
    return listPunches() && yes;
}

} // namespace timeedit
