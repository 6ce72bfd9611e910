#include "testenv.h"

#include "app/stationapp.h"
#include "data/audittable.h"
#include "platform/system.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "reports/payrulesstore.h"
#include "timeedit/timeeditor.h"
#include "timeedit/timeeditscreen.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using platform::MessageBox;
using timeedit::PunchFields;
using timeedit::TimeEditor;

namespace {
const QString Title = QStringLiteral("Chronotally");
const QString Hidden = QString(500, QLatin1Char(' ')) + QStringLiteral(" -- ");

std::shared_ptr<data::Database> db()
{
    return data::Database::current();
}

qint64 addNamed(const QString &id, const QString &first, const QString &last)
{
    const qint64 key = TestEnv::addEmployee(*db(), id);
    db()->exec("update usertable set FirstName = ?, LastName = ? where ID = ?", {first, last, key});
    return key;
}

// A punch on 12/7/2026 from 8:00 to the given clock-out (none: open).
qint64 addPunch(const QString &id, const QVariant &out = QDateTime(QDate(2026, 12, 7), QTime(16, 30)))
{
    db()->exec("insert into clocktable (RowDate, ClockedIn, ClockedOut, UserIDLogin) values (?,?,?,?)",
               {QDate(2026, 12, 7), QDateTime(QDate(2026, 12, 7), QTime(8, 0)), out, id});
    return db()->query("select max(ID) as k from clocktable").first().value("k").toLongLong();
}

// The stored texts of a punch: the canonical form, "" for NULL.
QStringList stored(qint64 id)
{
    const data::Row r = db()->query("select cast(RowDate as text) as d, cast(ClockedIn as text) as i, "
                                    "cast(ClockedOut as text) as o, UserIDLogin from clocktable where ID = ?",
                                    {id}).first();
    return {r.text("d"), r.text("i"), r.text("o"), r.text("UserIDLogin")};
}

int punchCount()
{
    return int(db()->query("select count(*) as n from clocktable").first().number("n"));
}
} // namespace

class TestTimeEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<TimeEditor> m_editor;
    QStringList m_sent;

    TimeEditor &openEditor()
    {
        const data::ConnectionSettings settings = m_env->settings();
        m_editor = std::make_unique<TimeEditor>([settings] { return settings; });
        m_editor->setStatementObserver([this](const QString &sql, const QVariantList &) { m_sent << sql; });
        if (!m_editor->openScreen())
            qWarning("the time edit screen did not open");
        m_sent.clear();
        MessageBox::clearShown();
        return *m_editor;
    }
    // Chooses the employee with this user ID and selects the punch with this key.
    TimeEditor &editing(const QString &userId, std::optional<qint64> punch = std::nullopt)
    {
        TimeEditor &e = m_editor ? *m_editor : openEditor();
        for (const QString &entry : e.employeeEntries()) {
            if (entry.endsWith("  -  " + userId))
                e.chooseEmployee(entry);
        }
        for (const QString &entry : e.punchEntries()) {
            if (punch && entry.endsWith(Hidden + QString::number(*punch)))
                e.selectPunch(entry);
        }
        m_sent.clear();
        MessageBox::clearShown();
        return e;
    }
    static void type(TimeEditor &e, const QString &date, const QString &in, const QString &out)
    {
        e.fields() = PunchFields{date, in, out};
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        m_env->createDatabase();
        m_sent.clear();
    }
    void cleanup()
    {
        m_editor.reset();
        m_env.reset();
    }

    void listsEmployeesAndTheirPunches_data() { TestEnv::engineRows(); }
    void listsEmployeesAndTheirPunches()
    {
        addNamed("7", "Mary", "Young");
        addNamed("5", "John", "Smith");
        addNamed("6", "Ann", "Smith");
        const qint64 closed = addPunch("5");
        const qint64 open = addPunch("5", QVariant());
        TimeEditor &e = openEditor();
        QCOMPARE(e.employeeEntries().size(), 3);
        QCOMPARE(e.employeeEntries().last(), QString("Young, Mary  -  7"));
        QVERIFY(e.employeeEntries().contains("Smith, John  -  5") && e.employeeEntries().contains("Smith, Ann  -  6"));

        QVERIFY(e.chooseEmployee("Smith, John  -  5"));
        QCOMPARE(e.employeeLabel(), QString("Smith, John  -  5"));
        QCOMPARE(m_sent, QStringList{"Select * from ClockTable where UserIDLogin = ?"});
        // In the order the database returns them.
        const QString closedEntry =
            "12/7/2026 -- 12/7/2026 8:00:00 AM -- 12/7/2026 4:30:00 PM" + Hidden + QString::number(closed);
        QStringList entries = e.punchEntries();
        entries.sort();
        QCOMPARE(entries, QStringList({"12/7/2026 -- 12/7/2026 8:00:00 AM -- " + Hidden + QString::number(open),
                                       closedEntry}));

        // The punch's values go into the fields, the blanks and key stay out.
        QVERIFY(e.selectPunch(closedEntry));
        QCOMPARE(e.fields(), (PunchFields{"12/7/2026", "12/7/2026 8:00:00 AM", "12/7/2026 4:30:00 PM"}));
        QCOMPARE(e.selectedPunch(), std::optional<qint64>(closed));

        // No punches: an empty list and no message.
        QVERIFY(e.chooseEmployee("Young, Mary  -  7"));
        QVERIFY(e.punchEntries().isEmpty());
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void updateStoresTheTypedTimes_data()
    {
        QTest::addColumn<QString>("clockedOut");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("storedOut");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            QTest::addRow("%s: with clock-out", engine.constData())
                << "12/8/2026 5:15 PM" << "update clocktable set rowdate = ?, ClockedIn = ?, ClockedOut = ? where ID = ?"
                << "2026-12-08 17:15:00";
            QTest::addRow("%s: empty clock-out keeps the stored one", engine.constData())
                << "  " << "update clocktable set rowdate = ?, ClockedIn = ? where ID = ?" << "2026-12-08 16:30:00";
        }
    }
    void updateStoresTheTypedTimes()
    {
        QFETCH(QString, clockedOut);
        QFETCH(QString, sql);
        QFETCH(QString, storedOut);
        TestEnv::addEmployee(*db(), "5");
        const qint64 punch = addPunch("5", QDateTime(QDate(2026, 12, 8), QTime(16, 30)));
        TimeEditor &e = editing("5", punch);
        type(e, " 12/8/2026 ", "12/8/2026 9:00:00 AM ", clockedOut);
        QVERIFY(e.updatePunch());
        QVERIFY(MessageBox::shown().isEmpty());
        // The punch is read before and after the change for its audit row.
        QCOMPARE(m_sent, QStringList({TimeEditor::PunchSql, sql, TimeEditor::PunchSql, TimeEditor::PunchesSql}));
        QCOMPARE(stored(punch), QStringList({"2026-12-08 00:00:00", "2026-12-08 09:00:00", storedOut, "5"}));
        QCOMPARE(e.fields(), (PunchFields{"12/8/2026", "12/8/2026 9:00:00 AM", clockedOut.trimmed()}));
        QVERIFY(e.punchEntries().first().startsWith("12/8/2026 -- 12/8/2026 9:00:00 AM -- "));
        QCOMPARE(e.selectedPunch(), std::optional<qint64>(punch));
    }

    void unreadableTimesAreRefused_data()
    {
        QTest::addColumn<bool>("insert");
        QTest::addColumn<PunchFields>("typed");
        QTest::addColumn<QString>("message");
        const PunchFields good{"12/8/2026", "12/8/2026 9:00 AM", "12/8/2026 5:00 PM"};
        for (const bool insert : {false, true}) {
            const char *action = insert ? "insert: " : "update: ";
            PunchFields f = good;
            f.clockedOut = "tomorrow";
            QTest::addRow("%sclock-out", action) << insert << f << TimeEditor::InvalidClockedOut;
            f = good;
            f.workDate = "12/45/2026";
            QTest::addRow("%swork date", action) << insert << f << TimeEditor::InvalidWorkDate;
            f = good;
            f.clockedIn = "";
            QTest::addRow("%sempty clock-in", action) << insert << f << TimeEditor::InvalidClockedIn;
            // A time without a date would be kept on the zero date.
            f = good;
            f.workDate = "9:00 AM";
            QTest::addRow("%swork date a time alone", action) << insert << f << TimeEditor::dateMissing("Work Date");
            f = good;
            f.clockedIn = "9:00 AM";
            QTest::addRow("%sclock-in a time alone", action) << insert << f << TimeEditor::dateMissing("Clocked In");
            f = good;
            f.clockedOut = "5:00:00 PM";
            QTest::addRow("%sclock-out a time alone", action) << insert << f << TimeEditor::dateMissing("Clocked Out");
            f = good;
            f.clockedIn = "12/30/1899 9:00 AM";
            QTest::addRow("%sclock-in on the zero date", action) << insert << f << TimeEditor::dateMissing("Clocked In");
            f = good;
            f.clockedOut = "12/8/2026 8:59 AM";
            QTest::addRow("%sclock-out before clock-in", action) << insert << f << TimeEditor::ReversedPunch;
        }
        // An empty clock-out keeps the stored one (4:30 PM on 12/7), which the clock-in must not pass.
        QTest::addRow("update: clock-in after the stored clock-out")
            << false << PunchFields{"12/7/2026", "12/7/2026 4:31 PM", ""} << TimeEditor::ReversedPunch;
    }
    void unreadableTimesAreRefused()
    {
        QFETCH(bool, insert);
        QFETCH(PunchFields, typed);
        QFETCH(QString, message);
        TestEnv::addEmployee(*db(), "5");
        const qint64 punch = addPunch("5");
        TimeEditor &e = editing("5", punch);
        e.fields() = typed;
        QVERIFY(!(insert ? e.insertPunch() : e.updatePunch()));
        QCOMPARE(MessageBox::shownTexts(), QStringList{message});
        QCOMPARE(MessageBox::shown().first().title, Title);
        for (const QString &sql : std::as_const(m_sent))
            QCOMPARE(sql, TimeEditor::PunchSql); // reads of the stored punch at most
        QCOMPARE(punchCount(), 1);
        QCOMPARE(stored(punch), QStringList({"2026-12-07 00:00:00", "2026-12-07 08:00:00", "2026-12-07 16:30:00", "5"}));
    }

    // With a clock-out a completed punch; without one an open punch, only for an employee
    // who has none.
    void insertAddsAPunch_data() { TestEnv::engineRows(); }
    void insertAddsAPunch()
    {
        TestEnv::addEmployee(*db(), "5");
        TimeEditor &e = openEditor();
        type(e, "12/8/2026", "12/8/2026 9:00 AM", "12/8/2026 5:00 PM");
        QVERIFY(!e.insertPunch());
        QCOMPARE(MessageBox::shownTexts(), QStringList{TimeEditor::SelectRow});
        editing("5");
        type(e, "12/8/2026", "12/8/2026 9:00 AM", "12/8/2026 5:00 PM");
        QVERIFY(e.insertPunch());
        QCOMPARE(m_sent.first(), QString("insert into clocktable (rowdate, ClockedIn, ClockedOut, UserIDLogin)   values(?,?,?,?)"));
        const data::Row row = db()->query("select ID, TotalClock from clocktable").first();
        QCOMPARE(stored(row.value("ID").toLongLong()),
                 QStringList({"2026-12-08 00:00:00", "2026-12-08 09:00:00", "2026-12-08 17:00:00", "5"}));
        QVERIFY(row.isNull("TotalClock"));

        e.fields().clockedOut.clear();
        QVERIFY(e.insertPunch());
        QVERIFY(m_sent.contains("insert into clocktable (rowdate, ClockedIn, UserIDLogin)   values(?,?,?)"));
        const qint64 open = db()->query("select ID from clocktable where ClockedOut is null").first().value("ID").toLongLong();
        QCOMPARE(stored(open), QStringList({"2026-12-08 00:00:00", "2026-12-08 09:00:00", "", "5"}));
        QCOMPARE(e.punchEntries().size(), 2);
        QVERIFY(MessageBox::shown().isEmpty());

        m_sent.clear();
        QVERIFY(!e.insertPunch());
        QCOMPARE(MessageBox::shownTexts(), QStringList{TimeEditor::AlreadyClockedIn});
        QCOMPARE(punchCount(), 2);
        QVERIFY(!m_sent.contains(TimeEditor::InsertOpenSql));
    }

    void deleteAsksAndForgetsThePunch_data()
    {
        QTest::addColumn<MessageBox::Answer>("answer");
        QTest::addColumn<int>("left");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            QTest::addRow("%s: Yes", engine.constData()) << MessageBox::Answer::Yes << 0;
            QTest::addRow("%s: No", engine.constData()) << MessageBox::Answer::No << 1;
        }
    }
    void deleteAsksAndForgetsThePunch()
    {
        QFETCH(MessageBox::Answer, answer);
        QFETCH(int, left);
        TestEnv::addEmployee(*db(), "5");
        TimeEditor &e = editing("5", addPunch("5"));
        MessageBox::queueAnswer(answer);
        e.deletePunch();
        const MessageBox::Shown box = MessageBox::shown().first();
        QCOMPARE(box.text, QString("Are you sure you would like to Delete this Entry?"));
        QCOMPARE(box.title, QString());
        QCOMPARE(box.buttons, MessageBox::Buttons::YesNo);
        QCOMPARE(box.defaultAnswer, MessageBox::Answer::No);
        QCOMPARE(punchCount(), left);
        QCOMPARE(e.punchEntries().size(), left);
        QVERIFY(!e.selectedPunch());
        MessageBox::clearShown();
        QVERIFY(!e.updatePunch());
        QCOMPARE(MessageBox::shownTexts(), QStringList{"Please select a row to edit"});
    }

    // Every change writes one audit row in its own transaction: who, where, when, which
    // punch, and the values before and after (only the changed ones for an update).
    void everyChangeWritesOneAuditRow_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("clockedOut");
        QTest::addColumn<QString>("oldValues");
        QTest::addColumn<QString>("newValues");
        const QString stored = R"({"UserIDLogin":"5","RowDate":"2026-12-07 00:00:00","ClockedIn":"2026-12-07 08:00:00",)"
                               R"("ClockedOut":"2026-12-07 16:30:00","TotalClock":""})";
        QTest::newRow("update") << "Update" << "12/7/2026 5:15 PM"
                                << R"({"ClockedIn":"2026-12-07 08:00:00","ClockedOut":"2026-12-07 16:30:00"})"
                                << R"({"ClockedIn":"2026-12-07 09:00:00","ClockedOut":"2026-12-07 17:15:00"})";
        QTest::newRow("insert") << "Insert" << "12/7/2026 5:15 PM" << ""
                                << R"({"UserIDLogin":"5","RowDate":"2026-12-07 00:00:00","ClockedIn":"2026-12-07 09:00:00",)"
                                   R"("ClockedOut":"2026-12-07 17:15:00","TotalClock":""})";
        QTest::newRow("insert open") << "Insert" << "" << ""
                                     << R"({"UserIDLogin":"5","RowDate":"2026-12-07 00:00:00","ClockedIn":"2026-12-07 09:00:00",)"
                                        R"("ClockedOut":"","TotalClock":""})";
        QTest::newRow("delete") << "Delete" << "" << stored << "";
    }
    void everyChangeWritesOneAuditRow()
    {
        QFETCH(QString, action);
        QFETCH(QString, clockedOut);
        QFETCH(QString, oldValues);
        QFETCH(QString, newValues);
        TestEnv::addEmployee(*db(), "5");
        const qint64 punch = addPunch("5");
        TestEnv::setTime(QDateTime(QDate(2026, 12, 9), QTime(10, 0, 12, 500)));
        TimeEditor &e = editing("5", punch);
        e.setAdministratorSource([] { return QStringLiteral("boss"); });
        // An earlier build's file has no audit table: the first change makes it.
        QVERIFY(TestEnv::auditRows(*db()).isEmpty());
        e.fields() = PunchFields{"12/7/2026", "12/7/2026 9:00:00 AM", clockedOut};
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        const bool done = action == "Update" ? e.updatePunch() : action == "Insert" ? e.insertPunch() : e.deletePunch();
        QVERIFY(done);
        const qint64 key = action == "Insert" ? punch + 1 : punch;
        QCOMPARE(TestEnv::auditRows(*db()),
                 (QList<QStringList>{{"12/9/2026 10:00:12 AM", platform::stationName(), "boss", action, "ClockTable",
                                      QString::number(key), oldValues, newValues}}));
        // Saving the punch as it stands changes nothing and records nothing.
        if (action == "Update") {
            QVERIFY(e.updatePunch());
            QCOMPARE(TestEnv::auditRows(*db()).size(), 1);
        }
    }

    // A change whose audit row cannot be written is not made.
    void aFailedAuditRowUndoesTheChange()
    {
        TestEnv::addEmployee(*db(), "5");
        const qint64 punch = addPunch("5");
        TimeEditor &e = editing("5", punch);
        for (const QString &sql : data::auditTableStatements(data::AuditDialect::Embedded))
            QVERIFY(!db()->exec(sql));
        QVERIFY(!db()->exec("create trigger refuse before insert on AuditTable "
                            "begin select raise(abort, 'audit refused'); end"));
        const QStringList before = stored(punch);
        e.fields() = PunchFields{"12/7/2026", "12/7/2026 9:00:00 AM", ""};
        QVERIFY(!e.updatePunch());
        QVERIFY(!e.insertPunch());
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QVERIFY(!e.deletePunch());
        QCOMPARE(MessageBox::shownTexts().filter("audit refused").size(), 3);
        QCOMPARE(stored(punch), before);
        QCOMPARE(punchCount(), 1);
    }

    void aFailingStatementIsShownAndNothingRefreshed_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("clockedOut");
        QTest::newRow("update") << "update" << "12/8/2026 5:00 PM";
        QTest::newRow("insert") << "insert" << "12/8/2026 5:00 PM";
        QTest::newRow("insert open") << "insert" << "";
        QTest::newRow("delete") << "delete" << "";
    }
    void aFailingStatementIsShownAndNothingRefreshed()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, clockedOut);
        TestEnv::addEmployee(*db(), "5");
        const qint64 punch = addPunch("5");
        TimeEditor &e = editing("5", punch);
        addPunch("5"); // behind the screen's back: a refresh would list it
        QVERIFY(!db()->exec(QString("create trigger refuse before %1 on clocktable "
                                    "begin select raise(abort, 'refused by the database'); end").arg(trigger)));
        const QStringList listed = e.punchEntries();
        const PunchFields typed{"12/8/2026", "12/8/2026 9:00:00 AM", clockedOut};
        e.fields() = typed;
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        const bool done = trigger == "update" ? e.updatePunch() : trigger == "insert" ? e.insertPunch() : e.deletePunch();
        QVERIFY(!done);
        QCOMPARE(MessageBox::shownTexts().last(), QString("refused by the database"));
        QCOMPARE(MessageBox::shown().last().title, Title);
        QCOMPARE(e.punchEntries(), listed);
        QCOMPARE(e.fields(), typed);
        QCOMPARE(e.selectedPunch(), std::optional<qint64>(punch));
        QCOMPARE(punchCount(), 2);
        QVERIFY(TestEnv::auditRows(*db()).isEmpty());
    }

    // A punch whose stored or typed work date lies in a closed pay period is not changed,
    // and the change goes through once the period is reopened. The stored punch is worked
    // on 12/7/2026.
    void aClosedPeriodRefusesTheChange_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("workDate"); // typed
        QTest::addColumn<QDate>("closedFrom"); // a week, to the Saturday after
        QTest::addColumn<bool>("reopened");
        QTest::addColumn<bool>("refused");
        const QDate weekOfPunch(2026, 12, 6);
        const QDate weekBefore(2026, 11, 29);
        for (const QByteArray &engine : TestEnv::engineTags()) {
            const char *e = engine.constData();
            QTest::addRow("%s: update, stored date in it", e) << "update" << "12/14/2026" << weekOfPunch << false << true;
            QTest::addRow("%s: update, typed date in it", e) << "update" << "11/30/2026" << weekBefore << false << true;
            QTest::addRow("%s: insert, typed date in it", e) << "insert" << "12/12/2026" << weekOfPunch << false << true;
            QTest::addRow("%s: insert, the selected punch's date does not count", e)
                << "insert" << "12/14/2026" << weekOfPunch << false << false;
            QTest::addRow("%s: delete, stored date in it", e) << "delete" << "12/7/2026" << weekOfPunch << false << true;
            for (const char *action : {"update", "insert", "delete"})
                QTest::addRow("%s: %s, reopened", e, action) << action << "12/7/2026" << weekOfPunch << true << false;
        }
    }
    void aClosedPeriodRefusesTheChange()
    {
        QFETCH(QString, action);
        QFETCH(QString, workDate);
        QFETCH(QDate, closedFrom);
        QFETCH(bool, reopened);
        QFETCH(bool, refused);
        TestEnv::addEmployee(*db(), "5");
        const qint64 punch = addPunch("5");
        TestEnv::setTime(QDateTime(QDate(2027, 1, 4), QTime(9, 0)));
        reports::PayRulesStore store(db());
        const reports::PayPeriod week{closedFrom, closedFrom.addDays(6)};
        QVERIFY(store.close(week, "boss").ok());
        if (reopened)
            QVERIFY(store.reopen(week, "boss").ok());
        const QStringList before = stored(punch);
        TimeEditor &e = editing("5", punch);
        type(e, workDate, workDate + " 9:00 AM", workDate + " 5:00 PM");
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        const bool done = action == "update" ? e.updatePunch() : action == "insert" ? e.insertPunch() : e.deletePunch();
        QCOMPARE(done, !refused);
        const auto clockTableChanges = [] {
            const QList<QStringList> rows = TestEnv::auditRows(*db());
            return std::count_if(rows.cbegin(), rows.cend(), [](const QStringList &row) { return row.at(4) == "ClockTable"; });
        };
        if (refused) {
            QCOMPARE(MessageBox::shownTexts(),
                     QStringList{TimeEditor::ClosedPeriodRefusal.arg(regional::shortDate(week.first),
                                                                     regional::shortDate(week.last))});
            QCOMPARE(stored(punch), before);
            QCOMPARE(punchCount(), 1);
            QCOMPARE(clockTableChanges(), 0);
        } else {
            QCOMPARE(clockTableChanges(), 1);
        }
    }

    void choosingAnotherEmployeeForgetsThePunch_data() { TestEnv::engineRows(); }
    void choosingAnotherEmployeeForgetsThePunch()
    {
        TestEnv::addEmployee(*db(), "5");
        TestEnv::addEmployee(*db(), "6");
        const qint64 punch = addPunch("5");
        TimeEditor &e = editing("5", punch);
        editing("5"); // the same employee again keeps it
        QCOMPARE(e.selectedPunch(), std::optional<qint64>(punch));
        QVERIFY(!e.fields().workDate.isEmpty());

        editing("6");
        QCOMPARE(e.fields(), PunchFields());
        QVERIFY(!e.selectedPunch());
        type(e, "12/9/2026", "12/9/2026 9:00 AM", "");
        QVERIFY(!e.updatePunch());
        QVERIFY(!e.deletePunch());
        QCOMPARE(MessageBox::shownTexts(), QStringList(2, TimeEditor::SelectRow));
        QCOMPARE(stored(punch).first(), QString("2026-12-07 00:00:00"));
    }

    // The list knows each entry's own user ID; a text from elsewhere is cut at its last " - ".
    void aUserIdHoldingTheSeparatorKeepsItsPunches_data() { TestEnv::engineRows(); }
    void aUserIdHoldingTheSeparatorKeepsItsPunches()
    {
        TestEnv::addEmployee(*db(), "A - 1");
        TestEnv::addEmployee(*db(), "1");
        addPunch("1");
        const qint64 own = addPunch("A - 1");
        TimeEditor &e = editing("A - 1");
        QCOMPARE(e.selectedUserId(), QString("A - 1"));
        QCOMPARE(e.punchEntries().size(), 1);
        QVERIFY(e.punchEntries().first().endsWith(Hidden + QString::number(own)));
        type(e, "12/8/2026", "12/8/2026 9:00 AM", "12/8/2026 5:00 PM");
        QVERIFY(e.insertPunch());
        QCOMPARE(db()->query("select count(*) as n from clocktable where UserIDLogin = 'A - 1'").first().number("n"), 2.0);
        QCOMPARE(TimeEditor::userIdOfEntry("Last, First  -  B - 2 "), QString("2"));
    }

    void theWindowByItsControls()
    {
        addNamed("5", "John", "Smith");
        const qint64 punch = addPunch("5");
        const data::ConnectionSettings settings = m_env->embeddedSettings();
        QPointer<timeedit::TimeEditScreen> screen = new timeedit::TimeEditScreen([settings] { return settings; });
        QVERIFY(screen->open());
        QVERIFY(screen->isVisible());
        QCOMPARE(screen->objectName(), QString("Form9"));
        QVERIFY(screen->windowTitle().startsWith("Time Edit"));
        auto *users = screen->findChild<QListWidget *>("ListUsers");
        auto *work = screen->findChild<QListWidget *>("ListWork");
        auto *label = screen->findChild<QLabel *>("LabelUser");
        auto *out = screen->findChild<QLineEdit *>("TextClockedOut");
        QVERIFY(users && work && label && out && screen->findChild<QLineEdit *>("TextDate"));
        QCOMPARE(screen->findChild<QLabel *>("LabelInfo")->text(), TimeEditor::ColumnHeader);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        const std::pair<const char *, const char *> buttons[] = {
            {"CommandOK", "Update"}, {"Command1", "Insert"}, {"Command2", "Delete"}, {"CommandClose", "Close"}};
        for (const auto &[name, caption] : buttons)
            QCOMPARE(screen->findChild<QPushButton *>(name)->text(), QString(caption));

        auto click = [](QListWidget *list) {
            const QRect rect = list->visualItemRect(list->item(0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 10, rect.center().y()));
        };
        QCOMPARE(users->count(), 1);
        click(users);
        QCOMPARE(label->text(), QString("Smith, John  -  5"));
        click(work);
        QCOMPARE(screen->findChild<QLineEdit *>("TextClockedIn")->text(), QString("12/7/2026 8:00:00 AM"));
        out->setText("12/7/2026 6:00 PM ");
        screen->findChild<QPushButton *>("CommandOK")->click();
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(out->text(), QString("12/7/2026 6:00 PM"));
        QCOMPARE(stored(punch).at(2), QString("2026-12-07 18:00:00"));
        QVERIFY(work->item(0)->text().contains(" -- 12/7/2026 6:00:00 PM"));

        screen->findChild<QPushButton *>("CommandClose")->click();
        QTRY_VERIFY(screen.isNull());

        // Without its database it says why and goes away.
        QFile::remove(m_env->databasePath());
        screen = new timeedit::TimeEditScreen([settings] { return settings; });
        QVERIFY(!screen->open());
        QCOMPARE(MessageBox::shownTexts(), QStringList{"Could not find file '" + m_env->databasePath() + "'."});
        QTRY_VERIFY(screen.isNull());
    }

    // "Edit Clocked In/Out" opens it beside the menu; "Close" ends it and the next opening
    // builds it afresh; ending the program hides it.
    void theMainMenuOpensIt()
    {
        TestEnv::addEmployee(*db(), "boss", 0, "5-Administrator User", "pw");
        app::StationApp station;
        QVERIFY(station.start());
        admin::MainMenuWindow &menu = station.mainMenuWindow();
        station.mainMenu().showAndRefresh();
        menu.findChild<QLineEdit *>("Text1")->setText("boss");
        menu.findChild<QLineEdit *>("Text2")->setText("pw");
        menu.findChild<QPushButton *>("Command5")->click();
        auto open = [&] {
            menu.findChild<QPushButton *>("Command20")->click();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == "Form9" && w->isVisible())
                    return QPointer<QWidget>(w);
            return QPointer<QWidget>();
        };
        QPointer<QWidget> first = open();
        QVERIFY(first);
        QVERIFY(menu.isVisible());
        QCOMPARE(open(), first);
        first->findChild<QPushButton *>("CommandClose")->click();
        QTRY_VERIFY(first.isNull());
        QPointer<QWidget> second = open();
        QVERIFY(second);
        QCOMPARE(second->findChild<QListWidget *>("ListUsers")->count(), 1);
        // Its changes carry the administrator who logged in.
        TimeEditor &editor = qobject_cast<timeedit::TimeEditScreen *>(second.data())->editor();
        QVERIFY(editor.chooseEmployee(editor.employeeEntries().first()));
        editor.fields() = PunchFields{"12/7/2026", "12/7/2026 9:00:00 AM", "12/7/2026 5:00:00 PM"};
        QVERIFY(editor.insertPunch());
        // (after the rows of the pay rules the station's first start copied in)
        QCOMPARE(TestEnv::auditRows(*db()).value(6).value(2), QString("boss"));

        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QVERIFY(station.mainMenu().shutDown());
        QVERIFY(!second->isVisible());
    }
};

QTEST_MAIN(TestTimeEdit)
#include "tst_timeedit.moc"
