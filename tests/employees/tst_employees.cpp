#include "privatepgserver.h"
#include "testenv.h"

#include "data/audittable.h"
#include "data/passwordhash.h"
#include "data/schema.h"
#include "platform/system.h"
#include "employees/employeeeditor.h"
#include "employees/employeescreen.h"
#include "platform/messagebox.h"
#include "settings/keys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>

using employees::EmployeeEditor;
using employees::EmployeeFields;
using employees::EmployeeScreen;
using platform::MessageBox;

namespace {
const QString Title = QStringLiteral("Chronotally");

struct Statement {
    QString sql;
    QVariantList values;
};

std::shared_ptr<data::Database> db()
{
    return data::Database::current();
}

data::Row stored(const QString &id)
{
    return db()->query(QStringLiteral("select * from usertable where useridlogin = ?"), {id}).first();
}

int employeeCount()
{
    return int(db()->query(QStringLiteral("select count(*) as n from usertable")).first().number("n"));
}

QString storedType(const QString &column, const QString &id)
{
    return db()->query(QStringLiteral("select typeof(%1) as t from usertable where useridlogin = ?").arg(column), {id})
        .first()
        .text("t");
}

qint64 addNamed(const QString &id, const QString &first, const QString &last)
{
    const qint64 key = TestEnv::addEmployee(*db(), id);
    db()->exec(QStringLiteral("update usertable set FirstName = ?, LastName = ? where ID = ?"), {first, last, key});
    return key;
}

void addIds(const QStringList &ids)
{
    for (const QString &id : ids)
        TestEnv::addEmployee(*db(), id);
}
} // namespace

class TestEmployees : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<EmployeeEditor> m_editor;
    QList<Statement> m_statements;
    int m_ended = 0;

    EmployeeEditor &openEditor()
    {
        const data::ConnectionSettings settings = m_env->settings();
        m_editor = std::make_unique<EmployeeEditor>([settings] { return settings; });
        m_editor->setEndProgram([this] { ++m_ended; });
        m_editor->setStatementObserver([this](const QString &sql, const QVariantList &values) {
            m_statements << Statement{sql, values};
        });
        if (!m_editor->openScreen())
            qWarning("the employee screen did not open");
        m_statements.clear();
        MessageBox::clearShown();
        return *m_editor;
    }

    static void fill(EmployeeEditor &e, const QString &id, const QString &first = QStringLiteral("John"),
                     const QString &last = QStringLiteral("Smith"))
    {
        EmployeeFields &f = e.fields();
        f.firstName = first;
        f.lastName = last;
        f.userIdLogin = id;
    }

    int countOf(const QString &sql) const
    {
        return int(std::count_if(m_statements.begin(), m_statements.end(),
                                 [&sql](const Statement &s) { return s.sql == sql; }));
    }

    void selectId(EmployeeEditor &e, qint64 key)
    {
        QVERIFY(e.selectEmployee(EmployeeEditor::listEntry("x", "y", key)));
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        m_env->createDatabase();
        m_statements.clear();
        m_ended = 0;
    }
    void cleanup()
    {
        m_editor.reset();
        m_env.reset();
    }

    void openingShowsTheEmptyAddForm_data()
    {
        QTest::addColumn<QString>("storedOption");
        QTest::addColumn<bool>("checked");
        QTest::newRow("missing: checked") << QString() << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("not a number: checked") << "yes" << true;
    }
    void openingShowsTheEmptyAddForm()
    {
        QFETCH(QString, storedOption);
        QFETCH(bool, checked);
        if (!storedOption.isNull())
            settings::write(settings::keys::ClearFormAfterAdd, storedOption);
        EmployeeEditor &e = openEditor();

        EmployeeFields expected;
        expected.adminLevel = "2-Standard User";
        QCOMPARE(e.fields(), expected);
        QVERIFY(!expected.disabled && expected.photoTypeJpeg && expected.photoDisplay == "5");
        QCOMPARE(e.securityLevels(), QStringList({"1-Tempory User", "2-Standard User", "3-Supervisor User",
                                                  "4-Manger User", "5-Administrator User"}));
        QCOMPARE(e.mainButtonCaption(), QString("Add User"));
        QVERIFY(!e.deleteVisible());
        QVERIFY(!e.selectedId());
        QCOMPARE(e.clearFormOption(), checked);
        QVERIFY(e.administratorNoteVisible());
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(m_ended, 0);
    }

    void openingWithoutDatabaseReportsAndEndsTheProgram()
    {
        QFile::remove(m_env->databasePath());
        const data::ConnectionSettings settings = m_env->embeddedSettings();
        EmployeeEditor e([settings] { return settings; });
        int ended = 0;
        e.setEndProgram([&ended] { ++ended; });
        QVERIFY(!e.openScreen());
        QCOMPARE(ended, 1);
        QCOMPARE(MessageBox::shown().size(), 1);
        const MessageBox::Shown box = MessageBox::shown().first();
        QCOMPARE(box.title, Title);
        QVERIFY2(box.text.startsWith("Could not find file '" + m_env->databasePath() + "'.\r\n\r\n"), qPrintable(box.text));
        QVERIFY(box.text.endsWith("\r\n\r\n" + EmployeeEditor::SupportSentence));
    }

    void listShowsLastCommaFirstAndSelectingLoadsTheRow_data() { TestEnv::engineRows(); }
    void listShowsLastCommaFirstAndSelectingLoadsTheRow()
    {
        addNamed("20", "Mary", "Young");
        const qint64 smith = addNamed("10", "John", "Smith");
        const qint64 nameless = TestEnv::addEmployee(*db(), "30");
        db()->exec("update usertable set FirstName = NULL, LastName = NULL where ID = ?", {nameless});
        EmployeeEditor &e = openEditor();

        QStringList entries = e.listEntries();
        QCOMPARE(entries.size(), 3);
        // PostgreSQL sorts a missing name after the others, the embedded engine before.
        QCOMPARE(entries.takeAt(m_env->engine() == data::Engine::PostgreSql ? 2 : 0),
                 ", " + QString(500, ' ') + QString::number(nameless));
        QCOMPARE(entries[0], "Smith, John" + QString(500, ' ') + QString::number(smith));
        QVERIFY(entries[1].startsWith("Young, Mary     "));
        QCOMPARE(EmployeeEditor::keyOfEntry(entries[0]), std::optional<qint64>(smith));

        QVERIFY(e.selectEmployee(entries[0]));
        QCOMPARE(e.fields().firstName, QString("John"));
        QCOMPARE(e.fields().lastName, QString("Smith"));
        QCOMPARE(e.fields().userIdLogin, QString("10"));
        QCOMPARE(e.loadedUserId(), QString("10"));
        QCOMPARE(e.selectedId(), std::optional<qint64>(smith));
        QCOMPARE(e.mainButtonCaption(), QString("Update User"));
        QVERIFY(e.deleteVisible());
        QCOMPARE(m_statements.last().sql, QString("Select * from UserTable where id = ?"));
        QCOMPARE(m_statements.last().values, QVariantList{smith});

        // A key that is no longer on file changes nothing.
        const EmployeeFields before = e.fields();
        QVERIFY(!e.selectEmployee(EmployeeEditor::listEntry("Gone", "Long", 999)));
        QCOMPARE(e.fields(), before);
        QCOMPARE(e.selectedId(), std::optional<qint64>(smith));
    }

    // IDs and names compare without regard to case: the list sorts names alphabetically and
    // an ID differing only in case is the same ID.
    void textComparesIgnoreCase_data() { TestEnv::engineRows(); }
    void textComparesIgnoreCase()
    {
        addNamed("AB12", "Sam", "Smith");
        addNamed("1", "Al", "adams");
        addNamed("2", "Bea", "Brown");
        settings::write(settings::keys::ClearFormAfterAdd, "0");
        EmployeeEditor &e = openEditor();
        QStringList names;
        for (const QString &entry : e.listEntries())
            names << entry.section(QLatin1Char(','), 0, 0);
        QCOMPARE(names, (QStringList{"adams", "Brown", "Smith"}));

        fill(e, "ab12");
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList{EmployeeEditor::UserIdInUse});
        QCOMPARE(employeeCount(), 3);
    }

    void saveChecksRunInOrderAndWriteNothing_data() { TestEnv::engineRows(); }
    void saveChecksRunInOrderAndWriteNothing()
    {
        EmployeeEditor &e = openEditor();
        EmployeeFields &f = e.fields();
        f = EmployeeFields();
        f.adminLevel.clear();
        f.password = "a";
        f.password2 = "b";
        f.hourlyRate = "abc";
        const struct {
            std::function<void()> change;
            QString message;
        } steps[] = {
            {[] {}, "The First Name is Required"},
            {[&f] { f.firstName = " "; }, "The Last Name is Required"},
            {[&f] { f.lastName = " "; }, "The UserID is Required"},
            {[&f] { f.userIdLogin = "7"; }, "The Security Level is Required"},
            {[&f] { f.adminLevel = "5-Administrator User"; }, "The Passwords do not match"},
            {[&f] { f.password = f.password2 = QString(); }, "A Password is Required for Administrator Accounts"},
        };
        for (const auto &step : steps) {
            step.change();
            MessageBox::clearShown();
            QVERIFY(!e.saveEmployee());
            QCOMPARE(MessageBox::shownTexts(), QStringList{step.message});
            QCOMPARE(MessageBox::shown().first().title, Title);
        }
        QVERIFY(m_statements.isEmpty());
        QCOMPARE(employeeCount(), 0);
        QCOMPARE(f.hourlyRate, QString("abc")); // the rate rule comes after the checks

        // Blanks are not empty, and any other level saves without a password (compared exactly).
        f.adminLevel = "5-administrator user";
        MessageBox::clearShown();
        QVERIFY(e.saveEmployee());
        QVERIFY(MessageBox::shown().isEmpty());
        QVERIFY(e.administratorNoteVisible());
        QCOMPARE(stored("7").text("FirstName"), QString(" "));
        QCOMPARE(stored("7").text("passwordf"), QString());
    }

    void hourlyRateThatIsNoNumberIsStoredAsZero_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("expected");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), name); };
            row("letters") << "abc" << "0";
            row("empty") << "" << "0";
            row("blanks") << "   " << "0";
            row("decimal") << "12.50" << "12.50";
            row("with blanks") << " 9 " << " 9 ";
        }
    }
    void hourlyRateThatIsNoNumberIsStoredAsZero()
    {
        QFETCH(QString, rate);
        QFETCH(QString, expected);
        settings::write(settings::keys::ClearFormAfterAdd, "0");
        EmployeeEditor &e = openEditor();
        fill(e, "5");
        e.fields().hourlyRate = rate;
        QVERIFY(e.saveEmployee());
        QCOMPARE(e.fields().hourlyRate, expected);
        QCOMPARE(stored("5").text("HourlyRate"), expected);
    }

    void duplicateAndSixtySixRules_data() { TestEnv::engineRows(); }
    void duplicateAndSixtySixRules()
    {
        addIds({"100", "200"});
        settings::write(settings::keys::ClearFormAfterAdd, "0");
        EmployeeEditor &e = openEditor();

        // 1662 is on nobody, and still refused.
        fill(e, "1662");
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList{EmployeeEditor::UserIdInUse});
        QCOMPARE(employeeCount(), 2);

        // A new employee with a taken ID.
        MessageBox::clearShown();
        fill(e, "100");
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList{EmployeeEditor::UserIdInUse});
        QCOMPARE(employeeCount(), 2);

        // Updating without changing the ID skips the duplicate query.
        selectId(e, stored("100").value("ID").toLongLong());
        m_statements.clear();
        MessageBox::clearShown();
        e.fields().city = "Springfield";
        QVERIFY(e.saveEmployee());
        QCOMPARE(countOf(EmployeeEditor::DuplicateSql), 0);
        QCOMPARE(countOf(EmployeeEditor::UpdateSql), 1);
        QCOMPARE(stored("100").text("City"), QString("Springfield"));

        // Changing it to another employee's ID is refused.
        e.fields().userIdLogin = "200";
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList{EmployeeEditor::UserIdInUse});
        QCOMPARE(stored("200").text("City"), QString());

        // A free ID is taken, and the record can be saved again under it.
        MessageBox::clearShown();
        e.fields().userIdLogin = "300";
        QVERIFY(e.saveEmployee());
        QCOMPARE(stored("300").text("City"), QString("Springfield"));
        QVERIFY(stored("100").isNull("ID"));
        e.fields().city = "Shelbyville";
        QVERIFY(e.saveEmployee());
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(stored("300").text("City"), QString("Shelbyville"));
        QCOMPARE(employeeCount(), 2);
    }

    // Another station adding the same ID holds the table until it commits: the second save
    // never sees a count of 0 for an ID that is being added.
    void anotherStationAddingTheSameIdIsWaitedFor_data()
    {
        QTest::addColumn<data::Engine>("engine");
        QTest::newRow("PostgreSQL") << data::Engine::PostgreSql;
    }
    void anotherStationAddingTheSameIdIsWaitedFor()
    {
        EmployeeEditor &e = openEditor();
        const auto station = data::Database::open(m_env->settings());
        QVERIFY(!station->beginWrite());
        TestEnv::addEmployee(*station, "77");
        data::Database::open(m_env->settings());
        fill(e, "77");
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY2(MessageBox::shownTexts().first().contains("lock timeout"), qPrintable(MessageBox::shownTexts().first()));
        QVERIFY(!station->commit());
        QCOMPARE(employeeCount(), 1);
    }

    // The server's numeric column refuses seconds that are no number; the failure is told
    // and nothing is written.
    void photoSecondsThatAreNoNumberAreRefused_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::newRow("PostgreSQL: letters") << "five";
        QTest::newRow("PostgreSQL: empty") << "";
    }
    void photoSecondsThatAreNoNumberAreRefused()
    {
        QFETCH(QString, seconds);
        EmployeeEditor &e = openEditor();
        fill(e, "5");
        e.fields().photoDisplay = seconds;
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY2(MessageBox::shownTexts().first().startsWith("invalid input syntax for type integer"),
                 qPrintable(MessageBox::shownTexts().first()));
        QCOMPARE(employeeCount(), 0);
        QCOMPARE(e.fields().userIdLogin, QString("5"));
    }

    void sixtySixIsRefusedForAnUnchangedIdToo()
    {
        const qint64 key = TestEnv::addEmployee(*db(), "166");
        EmployeeEditor &e = openEditor();
        selectId(e, key);
        e.fields().city = "Nowhere";
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList{EmployeeEditor::UserIdInUse});
        QCOMPARE(stored("166").text("City"), QString());
    }

    void disabledIsANumberOnInsertAndTextOnUpdate()
    {
        // A table whose disabled column keeps each value as it was bound.
        QString columns;
        for (const data::Column &c : data::userTableColumns())
            columns += QStringLiteral(", %1 %2").arg(QLatin1String(c.name),
                                                     QLatin1String(qstrcmp(c.name, "Disabled") == 0 ? "" : "TEXT"));
        QVERIFY(!db()->exec("drop table UserTable"));
        QVERIFY(!db()->exec("create table UserTable (ID INTEGER PRIMARY KEY AUTOINCREMENT" + columns + ")"));

        settings::write(settings::keys::ClearFormAfterAdd, "0");
        EmployeeEditor &e = openEditor();
        fill(e, "1");
        e.fields().disabled = true;
        QVERIFY(e.saveEmployee());
        QCOMPARE(storedType("disabled", "1"), QString("integer"));
        QCOMPARE(stored("1").text("disabled"), QString("1"));

        fill(e, "2");
        e.fields().disabled = false;
        QVERIFY(e.saveEmployee());
        QCOMPARE(storedType("disabled", "2"), QString("integer"));
        QCOMPARE(stored("2").text("disabled"), QString("0"));

        selectId(e, stored("1").value("ID").toLongLong());
        QVERIFY(e.saveEmployee());
        QCOMPARE(storedType("disabled", "1"), QString("text"));
        QCOMPARE(stored("1").text("disabled"), QString("1"));
        e.fields().disabled = false;
        QVERIFY(e.saveEmployee());
        QCOMPARE(stored("1").text("disabled"), QString("0"));
        // Empty fields are stored as empty text, not as NULL.
        QCOMPARE(storedType("Address1", "1"), QString("text"));
    }

    void everyFieldIsStoredExactlyAndReadBack_data() { TestEnv::engineRows(); }
    void everyFieldIsStoredExactlyAndReadBack()
    {
        settings::write(settings::keys::ClearFormAfterAdd, "0");
        EmployeeEditor &e = openEditor();
        EmployeeFields f;
        f.firstName = "O'Brien";
        f.lastName = "Zoë \"Z\" Ñuñez";
        f.address1 = "1 Main St.'); drop table usertable; --";
        f.address2 = "  Apt 4 ";
        f.city = "Saint-Étienne";
        f.state = "ÎdF";
        f.zipCode = "04 100";
        f.phone1 = "+33 (0)1";
        f.phone2 = "''";
        f.ssNumber = "123-45-6789";
        f.title = "Chief 'Cook'";
        f.email = "o'brien@example.com";
        f.memos = QString(2000, QChar(u'é'));
        f.notes = "line 1\r\nline 2\ttab";
        f.adminLevel = "4-Manger User";
        f.userIdLogin = "4711";
        f.disabled = true;
        f.password = f.password2 = "p'w\"d";
        f.userPhoto = "/photos/o'brien.jpg";
        f.photoEnabled = true;
        f.photoDisplay = "12";
        f.soundFileIn = "/s/in'.wav";
        f.soundFileOut = "/s/out.wav";
        f.soundEnabled = true;
        f.hourlyRate = "17.25";
        f.displayText = "Hello, 'friend' 👋";
        f.photoOnOff = true;
        f.photoTypeJpeg = false;
        f.photoLocation = "/snaps/";
        e.setFields(f);
        QVERIFY(e.saveEmployee());
        QCOMPARE(countOf(EmployeeEditor::InsertSql), 1);

        const data::Row row = stored("4711");
        const QList<std::pair<const char *, QString>> expected{
            {"FirstName", f.firstName}, {"LastName", f.lastName}, {"Address1", f.address1},
            {"Address2", f.address2}, {"City", f.city}, {"State", f.state}, {"ZipCode", f.zipCode},
            {"Phone1", f.phone1}, {"Phone2", f.phone2}, {"SSNumber", f.ssNumber}, {"Title", f.title},
            {"Email", f.email}, {"Memos", f.memos}, {"Notes", f.notes}, {"AdminLevel", f.adminLevel},
            {"UserIDLogin", "4711"}, {"Disabled", "1"}, {"UserPhoto", f.userPhoto},
            {"PhotoEnabled", "1"}, {"PhotoDisplay", "12"}, {"SoundFileIn", f.soundFileIn},
            {"SoundFileOut", f.soundFileOut}, {"SoundEnabled", "1"}, {"HourlyRate", "17.25"},
            {"DisplayText", f.displayText}, {"PhotoOnOff", "1"}, {"PhotoType", "False"},
            {"PhotoLocation", "/snaps/"}};
        for (const auto &[column, value] : expected)
            QVERIFY2(row.text(column) == value, column);
        const QString hash = row.text("Passwordf");
        QVERIFY(data::PasswordHash::isHash(hash) && data::PasswordHash::verify(f.password, hash));

        // A fresh screen loads every field back but the password, and saving it unchanged
        // changes nothing.
        const qint64 key = row.value("ID").toLongLong();
        EmployeeEditor &again = openEditor();
        selectId(again, key);
        f.password = f.password2 = QString();
        QCOMPARE(again.fields(), f);
        QVERIFY(again.saveEmployee());
        const data::Row after = stored("4711");
        for (const auto &[column, value] : expected)
            QVERIFY2(after.text(column) == value, column);
        QCOMPARE(after.text("Passwordf"), hash);

        // The update puts each value in its own column (its order differs from the insert's).
        EmployeeFields changed = f;
        changed.title = "T";
        changed.email = "E";
        changed.photoLocation = "L";
        changed.photoTypeJpeg = true;
        again.setFields(changed);
        QVERIFY(again.saveEmployee());
        const data::Row updated = stored("4711");
        QCOMPARE(updated.text("Title"), QString("T"));
        QCOMPARE(updated.text("Email"), QString("E"));
        QCOMPARE(updated.text("PhotoLocation"), QString("L"));
        QCOMPARE(updated.text("PhotoType"), QString("True"));
    }

    // The stored password never shows: both fields are empty, saving them empty keeps it (a
    // clear one of an earlier build is then stored hashed), typing it in both replaces it.
    void selectingLoadsStatusAndKeepsThePasswordHidden_data() { TestEnv::engineRows(); }
    void selectingLoadsStatusAndKeepsThePasswordHidden()
    {
        const qint64 off = TestEnv::addEmployee(*db(), "8", 1, "5-Administrator User", "pw8");
        const qint64 on = TestEnv::addEmployee(*db(), "9", 0);
        EmployeeEditor &e = openEditor();
        auto password = [this] { return stored("8").text("passwordf"); };

        selectId(e, off);
        QVERIFY(e.fields().disabled);
        QCOMPARE(e.fields().password, QString());
        QCOMPARE(e.fields().password2, QString());
        e.fields().city = "Elsewhere";
        QVERIFY(e.saveEmployee());
        QCOMPARE(stored("8").text("disabled"), QString("1"));
        QCOMPARE(stored("8").text("City"), QString("Elsewhere"));
        const QString hash = password();
        QVERIFY(data::PasswordHash::isHash(hash) && data::PasswordHash::verify("pw8", hash));

        selectId(e, off);
        QCOMPARE(e.fields().password, QString());
        QVERIFY(e.saveEmployee());
        QCOMPARE(password(), hash);
        selectId(e, off);
        e.fields().password = "new";
        MessageBox::clearShown();
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList{EmployeeEditor::PasswordsDiffer});
        e.fields().password2 = "new";
        QVERIFY(e.saveEmployee());
        QVERIFY(data::PasswordHash::verify("new", password()));

        // The status follows the row, not what the previous record showed.
        selectId(e, off);
        selectId(e, on);
        QVERIFY(!e.fields().disabled);
        QCOMPARE(e.fields().password, QString());

        // A status the clock does not take as active shows as disabled.
        db()->exec("update usertable set disabled = NULL where ID = ?", {on});
        selectId(e, on);
        QVERIFY(e.fields().disabled);
    }

    void clearFormEmptiesTheRecordButKeepsTheOptions_data() { TestEnv::engineRows(); }
    void clearFormEmptiesTheRecordButKeepsTheOptions()
    {
        const qint64 key = TestEnv::addEmployee(*db(), "3");
        db()->exec("update usertable set PhotoEnabled = '1', SoundEnabled = '1', PhotoOnOff = '1', "
                   "PhotoType = 'False', PhotoLocation = '/snaps', City = 'X', HourlyRate = '3', PhotoDisplay = 9 "
                   "where ID = ?",
                   {key});
        EmployeeEditor &e = openEditor();
        selectId(e, key);
        e.fields().disabled = true;
        QVERIFY(e.clearForm());

        EmployeeFields expected;
        expected.adminLevel = "2-Standard User";
        expected.photoEnabled = expected.soundEnabled = expected.photoOnOff = true;
        expected.photoTypeJpeg = false;
        expected.photoLocation = "/snaps";
        QCOMPARE(e.fields(), expected);
        QVERIFY(!e.selectedId());
        QCOMPARE(e.loadedUserId(), QString("3"));
        QCOMPARE(e.mainButtonCaption(), QString("Add User"));
        QVERIFY(!e.deleteVisible());
        QCOMPARE(countOf(EmployeeEditor::ListSql), 1);
    }

    void savingClearsTheFormWhenTheOptionIsOn()
    {
        EmployeeEditor &e = openEditor();
        QVERIFY(e.clearFormOption());
        fill(e, "1");
        QVERIFY(e.saveEmployee());
        QCOMPARE(e.fields().userIdLogin, QString());
        QCOMPARE(e.listEntries().size(), 1);

        e.setClearFormOption(false);
        QCOMPARE(settings::read(settings::keys::ClearFormAfterAdd), QString("0"));
        fill(e, "2");
        QVERIFY(e.saveEmployee());
        QCOMPARE(e.fields().userIdLogin, QString("2"));
        QCOMPARE(e.mainButtonCaption(), QString("Add User"));
        QCOMPARE(e.listEntries().size(), 2);
        e.setClearFormOption(true);
        QCOMPARE(settings::read(settings::keys::ClearFormAfterAdd), QString("1"));
    }

    void deleteAsksFirst_data() { TestEnv::engineRows(); }
    void deleteAsksFirst()
    {
        const qint64 key = TestEnv::addEmployee(*db(), "4");
        db()->exec("insert into ClockTable (UserIDLogin) values ('4')");
        EmployeeEditor &e = openEditor();
        selectId(e, key);

        MessageBox::queueAnswer(MessageBox::Answer::No);
        QVERIFY(!e.deleteEmployee());
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, QString("Are You sure you want to Delete this User?"));
        QCOMPARE(MessageBox::shown().first().title, QString());
        QVERIFY(MessageBox::shown().first().buttons == MessageBox::Buttons::YesNo);
        QCOMPARE(employeeCount(), 1);
        QVERIFY(e.isEditMode());

        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QVERIFY(e.deleteEmployee());
        QCOMPARE(employeeCount(), 0);
        QVERIFY(e.listEntries().isEmpty());
        QVERIFY(!e.isEditMode());
        QCOMPARE(e.fields().firstName, QString());
        // The punches stay.
        QCOMPARE(db()->query("select count(*) as n from ClockTable").first().number("n"), 1.0);
    }

    // Adding, changing and deleting an employee each write one audit row with the
    // administrator and the values; an update records the changed columns only, and the
    // password never shows.
    void everyChangeWritesOneAuditRow()
    {
        const qint64 key = TestEnv::addEmployee(*db(), "4", 0, "2-Standard User", "old secret");
        EmployeeEditor &e = openEditor();
        e.setAdministratorSource([] { return QStringLiteral("boss"); });
        TestEnv::setTime(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));

        selectId(e, key);
        e.fields().city = "Elsewhere";
        e.fields().hourlyRate = "12.50";
        e.fields().ssNumber = "123-45-6789";
        e.fields().password = e.fields().password2 = "new secret";
        QVERIFY(e.saveEmployee());
        fill(e, "12", "Ann", "Lee");
        QVERIFY(e.saveEmployee());
        selectId(e, key);
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QVERIFY(e.deleteEmployee());

        const QList<QStringList> rows = TestEnv::auditRows(*db());
        QCOMPARE(rows.size(), 3);
        for (const QStringList &row : rows)
            QCOMPARE(row.mid(0, 3), (QStringList{"12/9/2026 10:00:00 AM", platform::stationName(), "boss"}));
        QCOMPARE(rows[0].mid(3), (QStringList{"Update", "UserTable", QString::number(key),
                                              R"({"City":"","SSNumber":"*****","Passwordf":"*****","HourlyRate":""})",
                                              R"({"City":"Elsewhere","SSNumber":"*****","Passwordf":"*****","HourlyRate":"12.50"})"}));
        QCOMPARE(rows[1].mid(3, 4), (QStringList{"Insert", "UserTable", QString::number(key + 1), ""}));
        QVERIFY(rows[1][7].startsWith(R"({"FirstName":"Ann","LastName":"Lee",)"));
        QCOMPARE(rows[2].mid(3, 3), (QStringList{"Delete", "UserTable", QString::number(key)}));
        QVERIFY(rows[2][6].contains(R"("City":"Elsewhere")") && rows[2][7].isEmpty());
        for (const QStringList &row : rows)
            QVERIFY(!row.join(' ').contains("secret") && !row.join(' ').contains("6789"));
    }

    // Saving or deleting whose audit row cannot be written changes nothing.
    void aFailedAuditRowUndoesTheChange()
    {
        const qint64 key = TestEnv::addEmployee(*db(), "4");
        EmployeeEditor &e = openEditor();
        for (const QString &sql : data::auditTableStatements(data::AuditDialect::Embedded))
            QVERIFY(!db()->exec(sql));
        QVERIFY(!db()->exec("create trigger refuse before insert on AuditTable "
                            "begin select raise(abort, 'audit refused'); end"));
        selectId(e, key);
        e.fields().city = "Elsewhere";
        QVERIFY(!e.saveEmployee());
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QVERIFY(!e.deleteEmployee());
        QVERIFY(e.clearForm());
        fill(e, "12");
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts().filter("audit refused").size(), 3);
        QCOMPARE(employeeCount(), 1);
        QCOMPARE(stored("4").text("City"), QString());
    }

    void autoFillProposesTheNextFreeNumber_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("expected");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), name); };
            row("no employees") << QStringList() << "1";
            row("after 65") << QStringList{"65"} << "67";
            row("after 659") << QStringList{"659"} << "670";
            row("after 665") << QStringList{"665"} << "670";
            row("1 to 10") << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"} << "11";
            row("leading zeros") << QStringList{"0041"} << "42";
            row("decimal") << QStringList{"3", "12.5"} << "13";
            row("only zero and below") << QStringList{"0", "-5"} << "1";
            row("6599") << QStringList{"6599"} << "6700";
            row("beyond 64 bits") << QStringList{"99999999999999999999"} << "100000000000000000000";
        }
    }
    void autoFillProposesTheNextFreeNumber()
    {
        QFETCH(QStringList, ids);
        QFETCH(QString, expected);
        addIds(ids);
        EmployeeEditor &e = openEditor();
        e.fields().userIdLogin = "typed";
        QVERIFY(e.autoFillUserId());
        QCOMPARE(e.fields().userIdLogin, expected);
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(m_statements.first().sql, QString("Select max(useridlogin) as useridlogin from usertable"));
        QCOMPARE(employeeCount(), ids.size());
    }

    void autoFillRefusesWhenTheGreatestIdIsNoNumber_data() { TestEnv::engineRows(); }
    void autoFillRefusesWhenTheGreatestIdIsNoNumber()
    {
        addIds({"5", "abc"});
        EmployeeEditor &e = openEditor();
        e.fields().userIdLogin = "typed";
        QVERIFY(!e.autoFillUserId());
        QCOMPARE(MessageBox::shownTexts(), QStringList{"This Opition has been disabled because of none numeric UserID Logins"});
        QCOMPARE(MessageBox::shown().first().title, Title);
        QCOMPARE(e.fields().userIdLogin, QString());
    }

    void aFailingStatementIsReportedAndTheScreenGoesOn()
    {
        const qint64 key = TestEnv::addEmployee(*db(), "1");
        QVERIFY(!db()->exec("create trigger refuse_insert before insert on usertable "
                            "begin select raise(abort, 'refused by the database'); end"));
        QVERIFY(!db()->exec("create trigger refuse_delete before delete on usertable "
                            "begin select raise(abort, 'delete refused'); end"));
        EmployeeEditor &e = openEditor();
        fill(e, "2", "Ann");
        QVERIFY(!e.saveEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList{"refused by the database"});
        QCOMPARE(MessageBox::shown().first().title, Title);
        QCOMPARE(employeeCount(), 1);
        QCOMPARE(e.fields().firstName, QString("Ann")); // kept for another try
        QVERIFY(!e.isBusy());

        selectId(e, key);
        MessageBox::clearShown();
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QVERIFY(!e.deleteEmployee());
        QCOMPARE(MessageBox::shownTexts(), QStringList({EmployeeEditor::DeleteQuestion, "delete refused"}));
        QVERIFY(e.isEditMode());

        // The table gone: every action reports and returns.
        QVERIFY(!db()->exec("drop table UserTable"));
        MessageBox::clearShown();
        QVERIFY(!e.autoFillUserId());
        QVERIFY(!e.clearForm());
        QCOMPARE(MessageBox::shown().size(), 2);
        QVERIFY(MessageBox::shownTexts().first().contains("no such table"));
        QCOMPARE(m_ended, 0);
    }

    void anActionIsNotEnteredWhileAnotherRuns()
    {
        const qint64 key = TestEnv::addEmployee(*db(), "1");
        EmployeeEditor &e = openEditor();
        selectId(e, key);
        bool inner = true;
        bool busy = false;
        MessageBox::setHandler([&](const MessageBox::Shown &) -> std::optional<MessageBox::Answer> {
            busy = e.isBusy();
            inner = e.clearForm() || e.saveEmployee() || e.autoFillUserId();
            return MessageBox::Answer::No;
        });
        QVERIFY(!e.deleteEmployee());
        MessageBox::setHandler(nullptr);
        QVERIFY(busy);
        QVERIFY(!inner);
        QVERIFY(e.isEditMode());
        QVERIFY(!e.isBusy());
    }

    // --- through the window ---

    void addingAnEmployeeThroughTheForm_data() { TestEnv::engineRows(); }
    void addingAnEmployeeThroughTheForm()
    {
        const data::ConnectionSettings settings = m_env->settings();
        QPointer<EmployeeScreen> screen = new EmployeeScreen([settings] { return settings; });
        int returned = 0;
        int shownMenu = 0;
        screen->editor().setReturnToMainMenu([&returned] { ++returned; });
        screen->editor().setShowMainMenu([&shownMenu] { ++shownMenu; });
        QVERIFY(screen->open());
        QVERIFY(screen->isVisible());
        QCOMPARE(screen->objectName(), QString("Form2"));
        QCOMPARE(screen->windowTitle(), QString("Add/Edit Users"));

        auto line = [&](const char *name) {
            auto *w = screen->findChild<QLineEdit *>(name);
            if (!w)
                qFatal("no line edit %s", name);
            return w;
        };
        auto button = [&](const char *name) {
            auto *w = screen->findChild<QPushButton *>(name);
            if (!w)
                qFatal("no button %s", name);
            return w;
        };
        for (const char *name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text8", "Text9", "Text14", "Text15",
                                 "Text19", "Text21", "Text20", "Text12", "Text22", "Text23", "Text28", "Text31",
                                 "Text34", "Text35", "Text39", "Text38", "TextPhoto"})
            line(name);
        QVERIFY(screen->findChild<QPlainTextEdit *>("Text10") && screen->findChild<QPlainTextEdit *>("Text11"));
        for (const char *name : {"Check1", "Check2", "Check8", "CheckPhoto"})
            QVERIFY2(screen->findChild<QCheckBox *>(name), name);
        auto *combo = screen->findChild<QComboBox *>("Combo1");
        auto *list = screen->findChild<QListWidget *>("List1");
        auto *note = screen->findChild<QFrame *>("Frame1");
        auto *enabled = screen->findChild<QRadioButton *>("Option1");
        auto *disabled = screen->findChild<QRadioButton *>("Option2");
        auto *jpeg = screen->findChild<QRadioButton *>("Option4");
        auto *bmp = screen->findChild<QRadioButton *>("Option5");
        QVERIFY(combo && list && note && enabled && disabled && jpeg && bmp);
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->count(), 5);
        QCOMPARE(combo->currentText(), QString("2-Standard User"));
        QVERIFY(enabled->isChecked() && jpeg->isChecked());
        QCOMPARE(line("Text31")->text(), QString("5"));
        QCOMPARE(line("Text22")->echoMode(), QLineEdit::Password);
        QCOMPARE(button("Command1")->text(), QString("Add User"));
        QVERIFY(!button("Command4")->isVisible());
        QVERIFY(note->isVisible());
        QVERIFY(screen->findChild<QCheckBox *>("Check1")->isChecked());

        // An administrator typed into the form.
        line("Text1")->setText("John");
        line("Text2")->setText("Smith");
        QTest::mouseClick(button("Command5"), Qt::LeftButton);
        QCOMPARE(line("Text12")->text(), QString("1"));
        combo->setEditText("5-Administrator User");
        line("Text22")->setText("pw");
        line("Text23")->setText("pw");
        line("Text39")->setText("ten");
        disabled->setChecked(true);
        bmp->setChecked(true);
        screen->findChild<QPlainTextEdit *>("Text10")->setPlainText("memo");
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        QVERIFY(MessageBox::shown().isEmpty());
        const data::Row row = stored("1");
        QCOMPARE(row.text("FirstName"), QString("John"));
        QCOMPARE(row.text("AdminLevel"), QString("5-Administrator User"));
        QCOMPARE(row.text("Memos"), QString("memo"));
        QCOMPARE(row.text("HourlyRate"), QString("0"));
        QCOMPARE(row.text("disabled"), QString("1"));
        QCOMPARE(row.text("PhotoType"), QString("False"));

        // Cleared afterwards, listed, and the note gone.
        QCOMPARE(line("Text1")->text(), QString());
        QCOMPARE(combo->currentText(), QString("2-Standard User"));
        QVERIFY(enabled->isChecked() && bmp->isChecked());
        QCOMPARE(list->count(), 1);
        QVERIFY(list->item(0)->text().startsWith("Smith, John "));
        QVERIFY(!note->isVisible());

        // Selecting the entry brings it back in edit mode.
        list->setCurrentRow(0);
        const QRect rect = list->visualItemRect(list->item(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 10, rect.center().y()));
        QCOMPARE(line("Text1")->text(), QString("John"));
        QCOMPARE(line("Text22")->text(), QString());
        QCOMPARE(line("Text23")->text(), QString());
        QVERIFY(disabled->isChecked());
        QCOMPARE(button("Command1")->text(), QString("Update User"));
        QVERIFY(button("Command4")->isVisible());

        // The option box stores each click.
        QTest::mouseClick(screen->findChild<QCheckBox *>("Check1"), Qt::LeftButton);
        QCOMPARE(settings::read(settings::keys::ClearFormAfterAdd), QString("0"));

        // While the save asks nothing can run twice: the buttons are disabled meanwhile.
        line("Text12")->setText("");
        bool buttonsDisabled = false;
        MessageBox::setHandler([&](const MessageBox::Shown &) -> std::optional<MessageBox::Answer> {
            buttonsDisabled = !button("Command1")->isEnabled() && !button("Command2")->isEnabled()
                              && !list->isEnabled();
            button("Command2")->click();
            return std::nullopt;
        });
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        MessageBox::setHandler(nullptr);
        QVERIFY(buttonsDisabled);
        QCOMPARE(MessageBox::shownTexts(), QStringList{"The UserID is Required"});
        QCOMPARE(line("Text1")->text(), QString("John")); // "Clear form" did not run
        QVERIFY(button("Command1")->isEnabled());

        QTest::mouseClick(button("Command8"), Qt::LeftButton);
        QVERIFY(!screen->isVisible());
        QCOMPARE(returned, 1);

        screen->show();
        QVERIFY(screen->close());
        QCOMPARE(shownMenu, 1);
        QTRY_VERIFY(screen.isNull());
    }
    // The screen's connection is opened again after the server restarted, with nothing
    // shown; while the server is away the failure to reach it is shown.
    void aRestartedServerIsReconnectedWithoutAMessage()
    {
        PrivatePgServer server;
        if (!server.unavailable().isEmpty())
            QSKIP(qPrintable(server.unavailable()));
        const data::ConnectionSettings settings = server.settings();
        {
            auto setup = data::Database::open(settings);
            QVERIFY(!setup->exec(data::postgreSqlTableScript()));
        }
        addNamed("10", "John", "Smith");
        EmployeeEditor e([settings] { return settings; });
        QVERIFY(e.openScreen());
        const QString entry = e.listEntries().value(0);

        QVERIFY(server.stop());
        QVERIFY(server.start());
        QVERIFY(e.selectEmployee(entry));
        QCOMPARE(e.fields().lastName, QString("Smith"));
        QVERIFY(MessageBox::shown().isEmpty());

        QVERIFY(server.stop());
        QVERIFY(!e.selectEmployee(entry));
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY2(MessageBox::shown().first().text.contains("refused"), qPrintable(MessageBox::shown().first().text));
    }
};

QTEST_MAIN(TestEmployees)
#include "tst_employees.moc"
