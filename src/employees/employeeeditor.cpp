#include "employees/employeeeditor.h"

#include "admin/optionsmodel.h"
#include "data/needsdatabase.h"
#include "data/passwordhash.h"
#include "data/schema.h"
#include "data/startupcheck.h"
#include "platform/busyscope.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "settings/keys.h"

#include <QCoreApplication>
#include <QSet>

#include <cmath>

namespace employees {

using data::Database;
using data::DbError;
using data::QueryResult;
using platform::MessageBox;

const QString EmployeeEditor::WindowCaption = QStringLiteral("Add/Edit Users");
const QString EmployeeEditor::AddCaption = QStringLiteral("Add User");
const QString EmployeeEditor::UpdateCaption = QStringLiteral("Update User");
const QString EmployeeEditor::AdministratorLevel = QStringLiteral("5-Administrator User");
const QString EmployeeEditor::StandardLevel = QStringLiteral("2-Standard User");
const QStringList EmployeeEditor::SecurityLevels{
    QStringLiteral("1-Tempory User"), QStringLiteral("2-Standard User"), QStringLiteral("3-Supervisor User"),
    QStringLiteral("4-Manger User"), QStringLiteral("5-Administrator User")};
const QString EmployeeEditor::AdministratorNote = QStringLiteral(
    "NOTE: To setup an Administrator account you must Select Level 5-Administrator User from the Security Drop Menu");

const QString EmployeeEditor::FirstNameRequired = QStringLiteral("The First Name is Required");
const QString EmployeeEditor::LastNameRequired = QStringLiteral("The Last Name is Required");
const QString EmployeeEditor::UserIdRequired = QStringLiteral("The UserID is Required");
const QString EmployeeEditor::SecurityRequired = QStringLiteral("The Security Level is Required");
const QString EmployeeEditor::PasswordsDiffer = QStringLiteral("The Passwords do not match");
const QString EmployeeEditor::AdministratorPasswordRequired =
    QStringLiteral("A Password is Required for Administrator Accounts");
const QString EmployeeEditor::UserIdInUse = QStringLiteral(
    "The UserID Selected is already in use or not valid please select another userid. You may want to hit "
    "the Auto Fill button to find the next available userid.");
const QString EmployeeEditor::DeleteQuestion = QStringLiteral("Are You sure you want to Delete this User?");
const QString EmployeeEditor::AutoFillDisabled =
    QStringLiteral("This Opition has been disabled because of none numeric UserID Logins");
const QString EmployeeEditor::SupportSentence =
    QStringLiteral("If the problem continues, please contact your Chronotally support.");

const QString EmployeeEditor::ListSql = QStringLiteral("Select FirstName,LastName, ID from UserTable order by lastname asc ");
const QString EmployeeEditor::SelectSql = QStringLiteral("Select * from UserTable where id = ?");
const QString EmployeeEditor::DuplicateSql =
    QStringLiteral("select count(*) as CountInt from usertable where useridlogin = ?");
const QString EmployeeEditor::InsertSql = QStringLiteral(
    "insert into usertable (FirstName,              LastName,            Address1,              Address2,              City,             State,              ZipCode,             Phone1,                 Phone2,             SSNumber,       Title,      Email,      Memos,                      Notes,            AdminLevel,          UserIdLogin, disabled, passwordf,                          UserPhoto , PhotoEnabled, PhotoDisplay, SoundFileIn, SoundFileOut, SoundEnabled, HourlyRate,DisplayText, PhotoOnOff ,PhotoType, PhotoLocation  ) "
    " values (?,?,?, ?,?,?,?,?,?,?, ?, ?, ?, ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)  ");
const QString EmployeeEditor::UpdateSql = QStringLiteral(
    "update usertable set  FirstName = ?, LastName = ?, Address1 = ?, Address2 = ?, City = ?, State = ?,"
    " ZipCode = ?, Phone1 = ?, Phone2 = ?, SSNumber = ?, Email = ?, Title = ?, Memos = ?, Notes = ?,"
    " AdminLevel = ?, UserIdLogin = ?, disabled = ?, passwordf = ?, UserPhoto = ?, PhotoEnabled = ?,"
    " PhotoDisplay = ?, SoundFileIn = ?, SoundFileOut = ?, SoundEnabled = ?, HourlyRate = ?, DisplayText = ?,"
    " PhotoOnOff = ?, PhotoLocation = ?, PhotoType = ? where id = ?");
const QString EmployeeEditor::DeleteSql = QStringLiteral("Delete from usertable where id = ?");
const QString EmployeeEditor::MaxUserIdSql =
    QStringLiteral("Select max(useridlogin) as useridlogin from usertable");
const QString EmployeeEditor::AllUserIdsSql = QStringLiteral("select useridlogin from usertable");

namespace {
const QString Blanks(500, QLatin1Char(' '));
const QString UserTableName = QStringLiteral("UserTable");
const QString PasswordColumn = QStringLiteral("Passwordf");
// Never written into the audit trail as they are.
const QStringList HiddenColumns{PasswordColumn, QStringLiteral("SSNumber")};
const QString PasswordNotHashed = QStringLiteral("The password could not be stored: the hashing library failed.");

// The employee's columns as the audit trail records them.
const QStringList &employeeColumns()
{
    static const QStringList columns = [] {
        QStringList names;
        for (const data::Column &column : data::userTableColumns())
            names << QLatin1String(column.name);
        return names;
    }();
    return columns;
}

// Texts are bound as text: an empty field is stored as the empty text, not as NULL.
QVariant textValue(const QString &text)
{
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// A stored status is "Enabled" only when it reads as 0, the same test the clock applies.
bool storedAsDisabled(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return !(ok && value == 0.0);
}

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QString withoutLeadingZeros(const QString &digits)
{
    qsizetype i = 0;
    while (i < digits.size() - 1 && digits.at(i) == QLatin1Char('0'))
        ++i;
    return digits.mid(i);
}

// The whole part of a non-negative number as decimal digits without leading zeros.
// Digit strings are taken exactly, however long; other number forms through a double.
std::optional<QString> wholePart(const QString &text)
{
    const QString t = text.trimmed();
    if (allDigits(t))
        return withoutLeadingZeros(t);
    if (!EmployeeEditor::isNumeric(t))
        return std::nullopt;
    bool ok = false;
    double value = QLocale::c().toDouble(t, &ok);
    if (!ok)
        value = regional::locale().toDouble(t, &ok);
    if (!ok || !std::isfinite(value) || value < 0 || value >= 9e15)
        return std::nullopt;
    return QString::number(static_cast<qint64>(std::floor(value)));
}

// Compares two digit strings without leading zeros by their value.
bool greater(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() > b.size();
    return a > b;
}

QString increment(QString digits)
{
    qsizetype i = digits.size() - 1;
    while (i >= 0 && digits.at(i) == QLatin1Char('9')) {
        digits[i] = QLatin1Char('0');
        --i;
    }
    if (i < 0)
        return QLatin1Char('1') + digits;
    digits[i] = QChar(digits.at(i).unicode() + 1);
    return digits;
}

// The smallest number from this one on whose digits hold no "66": the second 6 of the first
// pair becomes 7 and every digit after it 0 (660 -> 670, 1662 -> 1670, 6699 -> 6700).
QString skipSixtySix(QString digits)
{
    const qsizetype at = digits.indexOf(QLatin1String("66"));
    if (at < 0)
        return digits;
    digits[at + 1] = QLatin1Char('7');
    for (qsizetype i = at + 2; i < digits.size(); ++i)
        digits[i] = QLatin1Char('0');
    return digits;
}
} // namespace

using platform::BusyScope;

EmployeeEditor::EmployeeEditor(ConnectionSource connection, QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_mainCaption(AddCaption)
{
}

EmployeeEditor::EmployeeEditor(const admin::OptionsModel &options, QObject *parent)
    : EmployeeEditor([&options] { return options.connectionSettings(); }, parent)
{
}

QString EmployeeEditor::listEntry(const QString &lastName, const QString &firstName, qint64 id)
{
    return lastName + QStringLiteral(", ") + firstName + Blanks + QString::number(id);
}

std::optional<qint64> EmployeeEditor::keyOfEntry(const QString &entry)
{
    bool ok = false;
    const qint64 key = entry.right(20).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(key) : std::nullopt;
}

bool EmployeeEditor::isNumeric(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    double value = QLocale::c().toDouble(t, &ok);
    if (!ok)
        value = regional::locale().toDouble(t, &ok);
    return ok && std::isfinite(value);
}

QString EmployeeEditor::nextUserId(const QStringList &existingIds)
{
    QString greatest = QStringLiteral("0");
    QSet<QString> taken;
    for (const QString &id : existingIds) {
        taken.insert(id.trimmed());
        if (const auto whole = wholePart(id); whole && greater(*whole, greatest))
            greatest = *whole;
    }
    QString candidate = skipSixtySix(increment(greatest));
    while (taken.contains(candidate))
        candidate = skipSixtySix(increment(candidate));
    return candidate;
}

QueryResult EmployeeEditor::run(Database &db, const QString &sql, const QVariantList &values)
{
    if (m_observer)
        m_observer(sql, values);
    return db.query(sql, values);
}

void EmployeeEditor::showMessage(const QString &text) const
{
    MessageBox::show(nullptr, text, MessageBox::applicationTitle());
}

void EmployeeEditor::showError(const DbError &error) const
{
    showMessage(error.description);
}

bool EmployeeEditor::openScreen()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;

    m_fields = EmployeeFields();
    m_selectedId.reset();
    m_hasStoredPassword = false;
    m_loadedUserId.clear();
    setAddMode();

    const std::shared_ptr<Database> db = Database::open(m_connection ? m_connection() : data::ConnectionSettings());
    DbError failure = db->openError();
    if (!failure)
        loadList(&failure);
    if (failure) {
        emit fieldsChanged();
        showMessage(failure.unreachable ? data::openFailureText(failure)
                                        : failure.description + QStringLiteral("\r\n\r\n") + SupportSentence);
        if (m_endProgram)
            m_endProgram();
        return false;
    }

    m_levels = SecurityLevels;
    m_fields.adminLevel = StandardLevel;
    // A stored text that is not a number leaves the option at its default, checked.
    const auto state = settings::checkState(settings::read(settings::keys::ClearFormAfterAdd));
    m_clearFormOption = state ? *state != 0 : true;
    emit fieldsChanged();
    emit stateChanged();
    return true;
}

bool EmployeeEditor::loadList(DbError *failure)
{
    m_entries.clear();
    std::shared_ptr<Database> db = Database::current();
    const QueryResult list = run(*db, ListSql);
    if (list.error) {
        *failure = list.error;
        emit listChanged();
        return false;
    }
    for (const data::Row &row : list.rows) {
        m_entries << listEntry(row.text(QStringLiteral("LastName")), row.text(QStringLiteral("FirstName")),
                               row.value(QStringLiteral("ID")).toLongLong());
        QCoreApplication::processEvents();
    }
    emit listChanged();

    const QueryResult count = run(*db, data::StartupCheck::AdministratorCountSql);
    if (count.error) {
        *failure = count.error;
        return false;
    }
    m_noteVisible = count.first().number(QStringLiteral("CountInt")) == 0;
    emit stateChanged();
    return true;
}

bool EmployeeEditor::loadEmployeeList()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    DbError failure;
    if (!loadList(&failure)) {
        showError(failure);
        return false;
    }
    return true;
}

bool EmployeeEditor::selectEmployee(const QString &entry)
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    const std::optional<qint64> key = keyOfEntry(entry);
    if (!key)
        return false;
    std::shared_ptr<Database> db = Database::current();
    const QueryResult result = run(*db, SelectSql, {*key});
    if (result.error) {
        showError(result.error);
        return false;
    }
    if (result.rows.isEmpty())
        return false;

    const data::Row row = result.rows.first();
    auto text = [&row](const char *column) { return row.text(QLatin1String(column)); };
    EmployeeFields &f = m_fields;
    m_selectedId = key;
    f.firstName = text("FirstName");
    f.lastName = text("LastName");
    f.address1 = text("Address1");
    f.address2 = text("Address2");
    f.city = text("City");
    f.state = text("State");
    f.zipCode = text("ZipCode");
    f.phone1 = text("Phone1");
    f.phone2 = text("Phone2");
    f.ssNumber = text("SSNumber");
    f.email = text("Email");
    f.title = text("Title");
    f.memos = text("Memos");
    f.notes = text("Notes");
    f.adminLevel = text("AdminLevel");
    f.userIdLogin = text("UserIdLogin");
    m_loadedUserId = f.userIdLogin;
    f.userPhoto = text("UserPhoto");
    f.hourlyRate = text("HourlyRate");
    f.displayText = text("DisplayText");
    f.photoDisplay = text("PhotoDisplay");
    f.photoEnabled = text("PhotoEnabled") == QLatin1String("1");
    f.soundFileIn = text("SoundFileIn");
    f.soundFileOut = text("SoundFileOut");
    f.soundEnabled = text("SoundEnabled") == QLatin1String("1");
    f.photoOnOff = text("PhotoOnOff") == QLatin1String("1");
    f.photoLocation = text("PhotoLocation");
    const QString photoType = text("PhotoType");
    if (photoType == QLatin1String("True"))
        f.photoTypeJpeg = true;
    else if (photoType == QLatin1String("False"))
        f.photoTypeJpeg = false;
    // The stored status comes along, so saving the record as shown keeps it. The stored
    // password is never shown: both fields stay empty, and saving them empty keeps it.
    f.disabled = storedAsDisabled(text("disabled"));
    f.password.clear();
    f.password2.clear();
    m_hasStoredPassword = !text("passwordf").isEmpty();

    m_deleteVisible = true;
    m_mainCaption = UpdateCaption;
    emit fieldsChanged();
    emit stateChanged();
    return true;
}

QVariantList EmployeeEditor::insertValues(const QString &password) const
{
    const EmployeeFields &f = m_fields;
    return {textValue(f.firstName), textValue(f.lastName), textValue(f.address1), textValue(f.address2),
            textValue(f.city), textValue(f.state), textValue(f.zipCode), textValue(f.phone1),
            textValue(f.phone2), textValue(f.ssNumber), textValue(f.title), textValue(f.email),
            textValue(f.memos), textValue(f.notes), textValue(f.adminLevel), textValue(f.userIdLogin),
            f.disabled ? 1 : 0, textValue(password), textValue(f.userPhoto), flag(f.photoEnabled),
            textValue(f.photoDisplay), textValue(f.soundFileIn), textValue(f.soundFileOut),
            flag(f.soundEnabled), textValue(f.hourlyRate), textValue(f.displayText), flag(f.photoOnOff),
            f.photoTypeJpeg ? QStringLiteral("True") : QStringLiteral("False"), textValue(f.photoLocation)};
}

QVariantList EmployeeEditor::updateValues(const QString &password) const
{
    const EmployeeFields &f = m_fields;
    QVariantList values{
        textValue(f.firstName), textValue(f.lastName), textValue(f.address1), textValue(f.address2),
        textValue(f.city), textValue(f.state), textValue(f.zipCode), textValue(f.phone1),
        textValue(f.phone2), textValue(f.ssNumber), textValue(f.email), textValue(f.title),
        textValue(f.memos), textValue(f.notes), textValue(f.adminLevel), textValue(f.userIdLogin),
        flag(f.disabled), textValue(password), textValue(f.userPhoto), flag(f.photoEnabled),
        textValue(f.photoDisplay), textValue(f.soundFileIn), textValue(f.soundFileOut),
        flag(f.soundEnabled), textValue(f.hourlyRate), textValue(f.displayText), flag(f.photoOnOff),
        textValue(f.photoLocation), f.photoTypeJpeg ? QStringLiteral("True") : QStringLiteral("False")};
    values << (m_selectedId ? QVariant(*m_selectedId) : QVariant());
    return values;
}

bool EmployeeEditor::saveEmployee()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;

    EmployeeFields &f = m_fields;
    const std::pair<bool, const QString &> checks[] = {
        {f.firstName.isEmpty(), FirstNameRequired},
        {f.lastName.isEmpty(), LastNameRequired},
        {f.userIdLogin.isEmpty(), UserIdRequired},
        {f.adminLevel.isEmpty(), SecurityRequired},
        {f.password != f.password2, PasswordsDiffer},
        {f.adminLevel == AdministratorLevel && f.password.isEmpty() && !keepsStoredPassword(),
         AdministratorPasswordRequired},
    };
    for (const auto &[failed, message] : checks) {
        if (failed) {
            showMessage(message);
            return false;
        }
    }
    if (!isNumeric(f.hourlyRate)) {
        f.hourlyRate = QStringLiteral("0");
        emit fieldsChanged();
    }

    const bool editMode = isEditMode();
    // A typed password is hashed before the write begins, so that the slow hash does not
    // hold the database locked.
    std::optional<QString> password;
    if (!(editMode && f.password.isEmpty())) {
        password = data::PasswordHash::hash(f.password);
        if (!password) {
            showMessage(PasswordNotHashed);
            return false;
        }
    }
    std::shared_ptr<Database> db = Database::current();
    if (!writeEmployee(*db, editMode, password))
        return false;

    // The record now carries the ID just saved, so saving it again is not its own duplicate.
    if (editMode)
        m_loadedUserId = f.userIdLogin;

    if (m_clearFormOption) {
        clearFormNow();
        return true;
    }
    DbError failure;
    if (!loadList(&failure))
        showError(failure);
    return true;
}

// The duplicate check and the write run in one transaction, so two stations cannot give one
// ID to two employees, and a failure leaves the table as it was.
bool EmployeeEditor::writeEmployee(Database &db, bool editMode, std::optional<QString> password)
{
    const EmployeeFields &f = m_fields;
    DbError error = db.beginWrite();
    if (error) {
        showError(error);
        return false;
    }
    auto refuse = [&](const DbError &failure, const QString &message) {
        db.rollback();
        if (failure)
            showError(failure);
        else
            showMessage(message);
        return false;
    };

    if (!editMode || f.userIdLogin != m_loadedUserId) {
        const QueryResult count = run(db, DuplicateSql, {textValue(f.userIdLogin)});
        if (count.error)
            return refuse(count.error, {});
        if (count.first().number(QStringLiteral("CountInt")) >= 1)
            return refuse({}, UserIdInUse);
    }
    if (f.userIdLogin.contains(QLatin1String("66")))
        return refuse({}, UserIdInUse);

    data::AuditSnapshot before;
    if (editMode && m_selectedId) {
        const std::optional<data::AuditSnapshot> snapshot = auditSnapshot(db, *m_selectedId);
        if (!snapshot)
            return false;
        before = *snapshot;
    }
    // An update without a new password keeps the one stored now; one an earlier build kept in
    // clear is stored as its hash.
    if (!password) {
        const QString stored = before.values.value(before.columns.indexOf(PasswordColumn));
        password = data::PasswordHash::needsRehash(stored) ? data::PasswordHash::hash(stored) : stored;
        if (!password)
            return refuse({}, PasswordNotHashed);
    }
    const QueryResult write = editMode ? run(db, UpdateSql, updateValues(*password))
                                       : run(db, InsertSql, insertValues(*password));
    if (write.error)
        return refuse(write.error, {});
    std::optional<qint64> key = editMode ? m_selectedId : std::nullopt;
    if (!editMode) {
        key = data::lastInsertedId(db, &error);
        if (!key)
            return refuse(error ? error : DbError{data::errors::CommandFailed, QStringLiteral("The new employee has no key.")}, {});
    }
    if (key && !audit(db, *key, before))
        return false;
    error = db.commit();
    if (error) {
        showError(error);
        return false;
    }
    return true;
}

std::optional<data::AuditSnapshot> EmployeeEditor::auditSnapshot(Database &db, qint64 key)
{
    const QueryResult row = run(db, SelectSql, {key});
    if (row.error) {
        db.rollback();
        showError(row.error);
        return std::nullopt;
    }
    return data::AuditSnapshot::of(row, employeeColumns());
}

bool EmployeeEditor::audit(Database &db, qint64 key, const data::AuditSnapshot &before)
{
    const std::optional<data::AuditSnapshot> after = auditSnapshot(db, key);
    if (!after)
        return false;
    const QString administrator = m_administrator ? m_administrator() : QString();
    if (const DbError error = data::recordChange(db, administrator, UserTableName, key, before, *after, HiddenColumns)) {
        db.rollback();
        showError(error);
        return false;
    }
    return true;
}

void EmployeeEditor::setAddMode()
{
    m_mainCaption = AddCaption;
    m_deleteVisible = false;
}

bool EmployeeEditor::clearFormNow()
{
    EmployeeFields &f = m_fields;
    m_selectedId.reset();
    m_hasStoredPassword = false;
    for (QString *text : {&f.firstName, &f.lastName, &f.address1, &f.address2, &f.city, &f.state, &f.zipCode,
                          &f.phone1, &f.phone2, &f.ssNumber, &f.memos, &f.notes, &f.adminLevel, &f.userIdLogin,
                          &f.email, &f.title, &f.password, &f.password2, &f.userPhoto})
        text->clear();
    f.photoDisplay = QStringLiteral("5");
    for (QString *text : {&f.soundFileIn, &f.soundFileOut, &f.hourlyRate, &f.displayText})
        text->clear();
    f.disabled = false;
    setAddMode();
    f.adminLevel = StandardLevel;
    emit fieldsChanged();
    emit stateChanged();

    DbError failure;
    if (!loadList(&failure)) {
        showError(failure);
        return false;
    }
    return true;
}

bool EmployeeEditor::clearForm()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    return clearFormNow();
}

bool EmployeeEditor::deleteEmployee()
{
    BusyScope busy(m_busy);
    if (!busy || !m_selectedId)
        return false;
    if (MessageBox::show(nullptr, DeleteQuestion, QString(), MessageBox::Buttons::YesNo) != MessageBox::Answer::Yes)
        return false;
    // The delete and its audit row are kept together or not at all.
    std::shared_ptr<Database> db = Database::current();
    if (const DbError error = db->beginWrite()) {
        db->rollback();
        showError(error);
        return false;
    }
    const std::optional<data::AuditSnapshot> before = auditSnapshot(*db, *m_selectedId);
    if (!before)
        return false;
    const QueryResult result = run(*db, DeleteSql, {*m_selectedId});
    if (result.error) {
        db->rollback();
        showError(result.error);
        return false;
    }
    if (!audit(*db, *m_selectedId, *before))
        return false;
    if (const DbError error = db->commit()) {
        showError(error);
        return false;
    }
    clearFormNow();
    return true;
}

bool EmployeeEditor::autoFillUserId()
{
    BusyScope busy(m_busy);
    if (!busy)
        return false;
    std::shared_ptr<Database> db = Database::current();
    const QueryResult max = run(*db, MaxUserIdSql);
    if (max.error) {
        showError(max.error);
        return false;
    }
    const data::Row row = max.first();
    if (!row.isNull(QStringLiteral("useridlogin")) && !isNumeric(row.text(QStringLiteral("useridlogin")))) {
        showMessage(AutoFillDisabled);
        m_fields.userIdLogin.clear();
        emit fieldsChanged();
        return false;
    }

    // The greatest in text order only decides whether the proposal is possible; the proposal
    // itself follows the numbers (with 1 to 10 on file, 10 is the text-order greatest + 1).
    const QueryResult all = run(*db, AllUserIdsSql);
    if (all.error) {
        showError(all.error);
        return false;
    }
    QStringList ids;
    ids.reserve(all.rows.size());
    for (const data::Row &r : all.rows) {
        if (!r.isNull(QStringLiteral("useridlogin")))
            ids << r.text(QStringLiteral("useridlogin"));
    }
    m_fields.userIdLogin = nextUserId(ids);
    emit fieldsChanged();
    return true;
}

void EmployeeEditor::setClearFormOption(bool checked)
{
    m_clearFormOption = checked;
    settings::write(settings::keys::ClearFormAfterAdd, flag(checked));
    emit stateChanged();
}

void EmployeeEditor::mainMenu()
{
    if (m_hideScreen)
        m_hideScreen();
    if (m_returnToMainMenu)
        m_returnToMainMenu();
}

void EmployeeEditor::closedByWindow()
{
    if (m_showMainMenu)
        m_showMainMenu();
}

} // namespace employees
