#include "testenv.h"

#include "admin/optionsmodel.h"
#include "data/paytables.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/scripting.h"
#include "reports/payrulesstore.h"
#include "station/confirmationpopup.h"
#include "station/idfield.h"
#include "station/punchservice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <iostream>
#include <string>

using station::PunchService;
using Op = void (PunchService::*)();
Q_DECLARE_METATYPE(Op)

namespace {
const char *const RaceFolderVariable = "CHRONOTALLY_PUNCH_RACE_FOLDER";
const char *const RaceDatabaseVariable = "CHRONOTALLY_PUNCH_RACE_PG_DB";
const QString Title = "Chronotally - www.chronotally.example";
const QString InTitle = "Chronotally 2.1 - www.chronotally.example";
const QString Now = "12/7/2026 5:41:04 AM";

struct FakeIdField : station::IdField {
    QString text;
    QString idText() const override { return text; }
    void setIdText(const QString &t) override { text = t; }
};

struct FakePopup : station::ConfirmationPopup {
    QStringList requests;
    int closeAfterMs = 0; // below 0: never closes
    QTimer timer;
    bool shown = false;
    FakePopup()
    {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { shown = false; });
    }
    void postRequest(const QString &text) override
    {
        requests << text;
        shown = true;
        if (closeAfterMs >= 0)
            timer.start(closeAfterMs);
    }
    bool isShown() const override { return shown; }
};

QDateTime at(int h, int m, int s, QDate day = QDate(2026, 12, 7)) { return QDateTime(day, QTime(h, m, s)); }
} // namespace

class TestPunch : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::shared_ptr<data::Database> m_db;
    std::unique_ptr<admin::OptionsModel> m_options;
    std::unique_ptr<FakeIdField> m_id;
    std::unique_ptr<FakePopup> m_popup;
    std::unique_ptr<PunchService> m_punch;

    // Runs one operation for an ID and returns the texts of the message boxes it showed.
    QStringList punch(Op op, const QString &id)
    {
        platform::MessageBox::clearShown();
        platform::Launcher::clearStarted();
        m_id->text = id;
        (m_punch.get()->*op)();
        [&] { QCOMPARE(m_id->text, QString()); }();
        return platform::MessageBox::shownTexts();
    }
    QList<data::Row> rows(const QString &id, const QString &columns = "*")
    {
        return m_db->query("select " + columns + " from clocktable where useridlogin = ? order by ID", {id}).rows;
    }
    int count(const QString &sql)
    {
        return int(m_db->query(sql).first().number("n"));
    }
    void insertPunch(const QString &id, const QDateTime &in, const QVariant &out = {}, const QVariant &total = {})
    {
        QVERIFY(!m_db->exec("insert into clocktable (Clockedin, RowDate, UserIdLogin, clockedout, totalclock) "
                            "values (?, ?, ?, ?, ?)", {in, in.date(), id, out, total}));
    }
    void setColumn(const QString &id, const QString &column, const QVariant &value)
    {
        QVERIFY(!m_db->exec("update usertable set " + column + " = ? where useridlogin = ?", {value, id}));
    }
    // A second connection to the same file, as another station or a maintenance tool.
    void sideExec(const QString &sql)
    {
        {
            QSqlDatabase side = QSqlDatabase::addDatabase("QSQLITE", "side");
            side.setDatabaseName(m_env->databasePath());
            QVERIFY(side.open());
            QSqlQuery q(side);
            QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase("side");
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        m_db = m_env->createDatabase();
        m_options = std::make_unique<admin::OptionsModel>();
        m_id = std::make_unique<FakeIdField>();
        m_popup = std::make_unique<FakePopup>();
        m_punch = std::make_unique<PunchService>(*m_options, m_id.get(), m_popup.get());
        TestEnv::addEmployee(*m_db, "100");
        TestEnv::addEmployee(*m_db, "200");
        TestEnv::addEmployee(*m_db, "off", 1);
        TestEnv::setTime(at(5, 41, 4));
    }
    void cleanup()
    {
        m_punch.reset();
        m_db.reset();
        m_env.reset();
    }

    void refusalsWriteNothing_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("openRow");
        QTest::addColumn<bool>("spanish");
        QTest::addColumn<QString>("text");
        const QString r1 = "UserID was not found.";
        const QString r1es = "\r\n\r\nNo existe este numero de empleado, favor de verificarlo";
        const QString r2 = "You are already logged in, You can not login twice.";
        const QString r2es = "\r\n\r\nYa esta registrado de entrada y no se puede registrar de nuevo";
        const QString r3 = "You are not Clocked in, and can not be clock out.";
        const QString r3es = "\r\n\r\nNo esta registrada su entrada y no se puede registrar de salida";
        for (const QByteArray &engine : TestEnv::engineTags()) {
            for (bool es : {false, true}) {
                auto row = [&](const char *name) -> QTestData & {
                    return QTest::addRow("%s: %s%s", engine.constData(), name, es ? " es" : " en");
                };
                row("unknown in") << &PunchService::ClockIn << "999" << false << es << r1 + (es ? r1es : "");
                row("disabled in") << &PunchService::ClockIn << "off" << false << es << r1 + (es ? r1es : "");
                row("empty out") << &PunchService::ClockOut << "" << false << es << r1 + (es ? r1es : "");
                row("disabled both") << &PunchService::ClockInOut << "off" << true << es << r1 + (es ? r1es : "");
                row("in twice") << &PunchService::ClockIn << "100" << true << es << r2 + (es ? r2es : "");
                row("out not in") << &PunchService::ClockOut << "100" << false << es << r3 + (es ? r3es : "");
            }
        }
    }
    void refusalsWriteNothing()
    {
        QFETCH(Op, op);
        QFETCH(QString, id);
        QFETCH(bool, openRow);
        QFETCH(bool, spanish);
        QFETCH(QString, text);
        m_options->setOn(admin::Option::Spanish, spanish);
        if (openRow)
            insertPunch(id, at(5, 0, 0));
        QCOMPARE(punch(op, id), QStringList{text});
        QCOMPARE(platform::MessageBox::shown().first().title, Title);
        QCOMPARE(count("select count(*) as n from clocktable"), openRow ? 1 : 0);
        QCOMPARE(count("select count(*) as n from clocktable where clockedout is not null"), 0);
    }

    // Stored as sortable date-times reading back as the station time text, which shows a
    // punch at exactly midnight as the date alone.
    // A second punch of an ID within the guard's seconds of its last one (in or out) is
    // answered and writes nothing; later ones, other IDs and a switched-off guard are not
    // held up. The guard is the database's pay rule as read at the start (seconds that
    // cannot be read are the default 60), whatever this account's options say.
    void repeatScanGuard_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("after");   // seconds after the first punch
        QTest::addColumn<bool>("refused");
        const Op both = &PunchService::ClockInOut;
        QTest::newRow("off") << both << false << "60" << "100" << 5 << false;
        QTest::newRow("within") << both << true << "60" << "100" << 5 << true;
        QTest::newRow("at the limit") << both << true << "60" << "100" << 60 << true;
        QTest::newRow("past the limit") << both << true << "60" << "100" << 61 << false;
        QTest::newRow("clock in again") << Op(&PunchService::ClockIn) << true << "60" << "100" << 5 << true;
        QTest::newRow("after a clock-out") << both << true << "60" << "200" << 5 << true;
        QTest::newRow("another ID") << both << true << "60" << "999" << 5 << false;
        QTest::newRow("not a number") << both << true << "soon" << "100" << 5 << true;
        QTest::newRow("not a number, past 60") << both << true << "soon" << "100" << 61 << false;
    }
    void repeatScanGuard()
    {
        QFETCH(Op, op);
        QFETCH(bool, on);
        QFETCH(QString, seconds);
        QFETCH(QString, id);
        QFETCH(int, after);
        QFETCH(bool, refused);
        QVERIFY(!data::ensurePayTables(*m_db));
        const QString insert = "insert into PayRules (RuleName, RuleValue) values (?, ?)";
        QVERIFY(!m_db->exec(insert, {"RepeatGuard", on ? "1" : "0"}));
        QVERIFY(!m_db->exec(insert, {"RepeatSeconds", seconds}));
        reports::PayRulesStore().read();
        m_options->setOn(admin::Option::Spanish, true);
        // 100 clocked in just now; 200 clocked out just now.
        punch(&PunchService::ClockIn, "100");
        insertPunch("200", at(1, 0, 0));
        punch(&PunchService::ClockOut, "200");
        auto written = [this] {
            const data::Row r = m_db->query("select count(*) as n, max(ClockedOut) as o from clocktable").first();
            return r.text("n") + " " + r.text("o");
        };
        const QString before = written();
        TestEnv::setTime(at(5, 41, 4).addSecs(after));
        const QStringList shown = punch(op, id);
        const QString refusal = "This ID was punched less than 60 seconds ago. The punch was not recorded.\r\n\r\n"
                                "Este numero de empleado se registro hace menos de 60 segundos. No se registro de nuevo.";
        QCOMPARE(shown == QStringList{refusal}, refused);
        if (refused)
            QCOMPARE(written(), before);
    }

    void clockInThenOutStoresTheStationTime_data() { TestEnv::engineRows(); }
    void clockInThenOutStoresTheStationTime()
    {
        TestEnv::setTime(at(0, 0, 0, QDate(2026, 3, 1)));
        QCOMPARE(punch(&PunchService::ClockIn, "100"), QStringList{"You have been Clocked in at 3/1/2026"});
        QCOMPARE(platform::MessageBox::shown().first().title, InTitle);
        TestEnv::setTime(at(14, 5, 30, QDate(2026, 3, 1)));
        QCOMPARE(punch(&PunchService::ClockOut, "100"), QStringList{"You have been Clocked Out at 3/1/2026 2:05:30 PM"});
        QCOMPARE(platform::MessageBox::shown().first().title, Title);
        const auto stored = rows("100", "*, Clockedin || '' as raw, RowDate || '' as rawDate");
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].text("Clockedin"), QString("3/1/2026"));
        QCOMPARE(stored[0].text("raw"), QString("2026-03-01 00:00:00"));
        QCOMPARE(stored[0].text("rawDate"), QString("2026-03-01 00:00:00"));
        QCOMPARE(stored[0].text("clockedout"), QString("3/1/2026 2:05:30 PM"));
        QCOMPARE(stored[0].text("totalclock"), QString("845"));
        QVERIFY(platform::Launcher::started().isEmpty());
    }

    void minutesAreBoundariesCrossed_data()
    {
        QTest::addColumn<QDateTime>("in");
        QTest::addColumn<QDateTime>("out");
        QTest::addColumn<int>("total");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), name); };
            row("two seconds across a minute") << at(8, 59, 59) << at(9, 0, 1) << 1;
            row("59 seconds within one") << at(9, 0, 0) << at(9, 0, 59) << 0;
            row("across midnight") << at(23, 59, 30) << at(0, 0, 10, QDate(2026, 12, 8)) << 1;
        }
    }
    void minutesAreBoundariesCrossed()
    {
        QFETCH(QDateTime, in);
        QFETCH(QDateTime, out);
        QFETCH(int, total);
        // Also with "Use SQL DB" on: the dialect follows the connection the punch runs on.
        m_options->setOn(admin::Option::UseSqlDb, true);
        TestEnv::setTime(in);
        punch(&PunchService::ClockIn, "100");
        TestEnv::setTime(out);
        punch(&PunchService::ClockOut, "100");
        QCOMPARE(rows("100")[0].number("totalclock"), double(total));
    }

    void clockOutClosesEveryOpenRowAndTotalsOldOnes_data() { TestEnv::engineRows(); }
    void clockOutClosesEveryOpenRowAndTotalsOldOnes()
    {
        insertPunch("100", at(8, 0, 0).addDays(-1), at(16, 0, 0).addDays(-1)); // closed, untotalled
        insertPunch("100", at(7, 0, 0).addDays(-2), at(8, 0, 0).addDays(-2), 999); // already totalled
        insertPunch("100", at(4, 0, 0));
        insertPunch("100", at(5, 30, 0)); // a second open row, as the time edit screen may leave
        insertPunch("200", at(1, 0, 0), at(2, 0, 0)); // another employee's untotalled row
        QCOMPARE(punch(&PunchService::ClockIn, "100").value(0), QString("You are already logged in, You can not login twice."));
        punch(&PunchService::ClockOut, "100");
        const auto stored = rows("100");
        QCOMPARE(stored[0].text("totalclock"), QString("480"));
        QCOMPARE(stored[1].text("totalclock"), QString("999"));
        QCOMPARE(stored[2].text("clockedout"), Now);
        QCOMPARE(stored[3].text("clockedout"), Now);
        QCOMPARE(stored[2].text("totalclock"), QString("101"));
        QCOMPARE(stored[3].text("totalclock"), QString("11"));
        QVERIFY(rows("200")[0].isNull("totalclock"));
    }

    // The combined button clocks in or out, and a clock-out checks the ID again from the start.
    void combinedButton_data() { TestEnv::engineRows(); }
    void combinedButton()
    {
        QStringList sent;
        m_punch->setStatementObserver([&](const QString &sql, const QVariantList &values) {
            QCOMPARE(values.last(), QVariant("100"));
            sent << sql;
        });
        const QString s1 = "select count(*) as CountInt from usertable where useridlogin = ? and disabled = 0 ";
        const QString s2 = "select count(*) as CountInt from clocktable where useridlogin = ? and clockedout is null ";
        QCOMPARE(punch(&PunchService::ClockInOut, "100"), QStringList{"You have been Clocked in at " + Now});
        QCOMPARE(sent, (QStringList{s1, s2, "insert into clocktable (Clockedin,RowDate,UserIdLogin)  values (?,?,?) ",
                                    "select DisplayText,  UserPhoto, PhotoEnabled, PhotoDisplay, SoundEnabled, SoundFileOut, "
                                    "SoundFilein, PhotoOnOff, PhotoLocation, PhotoType from usertable where useridlogin = ? "
                                    "and disabled = 0 "}));
        sent.clear();
        QCOMPARE(punch(&PunchService::ClockInOut, "100"), QStringList{"You have been Clocked Out at " + Now});
        QCOMPARE(sent, (QStringList{s1, s2, s1, s2,
                                    "update clocktable  set clockedout = ? where useridlogin = ? and clockedout is null ",
                                    "update clocktable  set totalclock =  DateDiff('n',Clockedin, clockedout) where "
                                    "useridlogin = ? and clockedout is not null and totalclock is null ",
                                    "select  displaytext, UserPhoto, PhotoEnabled, PhotoDisplay, SoundEnabled, SoundFileOut, "
                                    "SoundFilein,  PhotoOnOff, PhotoLocation, PhotoType  from usertable where useridlogin = ? "
                                    "and disabled = 0 "}));
        QCOMPARE(rows("100")[0].text("totalclock"), QString("0"));
    }

    void confirmationTexts_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("spanish");
        QTest::addColumn<QString>("text");
        const QString in = "You have been Clocked in at " + Now, out = "You have been Clocked Out at " + Now;
        QTest::newRow("in es") << &PunchService::ClockInOut << "" << true << in + "\r\n\r\nEntrada Confirmada " + Now;
        QTest::newRow("in D") << &PunchService::ClockIn << "Ana" << false << "Ana, " + in;
        QTest::newRow("in D es") << &PunchService::ClockIn << "Ana" << true << "Ana, " + in + "\r\n\r\nAna Entrada Confirmada " + Now;
        QTest::newRow("out es") << &PunchService::ClockOut << "" << true << out + "\r\n\r\n Salida Confirmada " + Now;
        QTest::newRow("out D") << &PunchService::ClockInOut << "Ana" << false << "Ana, " + out;
        QTest::newRow("out D es") << &PunchService::ClockOut << "Ana" << true << "Ana, " + out + "\r\n\r\nAna, Salida Confirmada " + Now;
    }
    void confirmationTexts()
    {
        QFETCH(Op, op);
        QFETCH(QString, display);
        QFETCH(bool, spanish);
        QFETCH(QString, text);
        setColumn("100", "DisplayText", display);
        m_options->setOn(admin::Option::Spanish, spanish);
        if (text.contains("Out")) // clock-outs start from an open row
            insertPunch("100", at(5, 0, 0));
        QCOMPARE(punch(op, "100"), QStringList{text});
    }

    void cameraPluginPath_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "/opt/plug" << "/opt/plug/KtlyPlug";
        QTest::newRow("trailing separator") << "/opt/plug/" << "/opt/plug/KtlyPlug";
        QTest::newRow("already the program") << "/opt/plug/KtlyPlug" << "/opt/plug/KtlyPlug";
        QTest::newRow("network path loses one") << "//server/snaps" << "/server/snaps/KtlyPlug";
    }
    void cameraPluginPath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, path);
        QCOMPARE(PunchService::cameraPluginPath(folder), path);
    }

    // Camera before the message, sound after it, each with its direction's names.
    void feedbackCommandLines()
    {
        m_options->setText(admin::Field::PluginLocation, "/opt/plug/");
        m_options->setText(admin::Field::CameraIp, "10.0.0.5");
        setColumn("100", "PhotoOnOff", 1);
        setColumn("100", "SoundEnabled", 1);
        setColumn("100", "PhotoLocation", "/snaps");
        setColumn("100", "SoundFileIn", "/wav/in.wav");
        setColumn("100", "SoundFileOut", "/wav/out.wav");
        QStringList atMessage;
        platform::MessageBox::setHandler([&](const auto &) { atMessage = platform::Launcher::started(); return std::nullopt; });
        const QString sound = m_env->programFolder() + "/DOZ1 /wav/%1.wav::zoktrebwqilsdhaf";
        punch(&PunchService::ClockIn, "100");
        QCOMPARE(atMessage, QStringList{"/opt/plug/KtlyPlug 10.0.0.5;True;/snaps;100-ClockedIn-12-7-2026-5-41-04-AM"});
        QCOMPARE(platform::Launcher::started(), atMessage + QStringList{sound.arg("in")});
        punch(&PunchService::ClockOut, "100");
        QCOMPARE(platform::Launcher::started(), (QStringList{"/opt/plug/KtlyPlug 10.0.0.5;True;/snaps;100-ClockedOut-12-7-2026-5-41-04-AM",
                                                             sound.arg("out")}));
        QVERIFY(m_popup->requests.isEmpty());
    }

    void feedbackOffUnlessExactlyOne()
    {
        for (const char *column : {"PhotoOnOff", "SoundEnabled", "PhotoEnabled", "PhotoType"})
            setColumn("100", column, QVariant());
        setColumn("200", "PhotoOnOff", 2);
        setColumn("200", "SoundEnabled", "1a");
        setColumn("200", "PhotoEnabled", 11);
        punch(&PunchService::ClockIn, "100");
        QVERIFY(platform::Launcher::started().isEmpty());
        punch(&PunchService::ClockIn, "200");
        QVERIFY(platform::Launcher::started().isEmpty());
        QVERIFY(m_popup->requests.isEmpty());
    }

    void photoWaitEndsWhenThePopupCloses()
    {
        setColumn("100", "PhotoEnabled", 1);
        setColumn("100", "UserPhoto", "/photos/100.jpg");
        QElapsedTimer real;
        real.start();
        const QDateTime base = at(5, 41, 4);
        platform::Clock::setSource([&] { return base.addMSecs(real.elapsed()); }); // Pause needs a moving clock
        m_popup->closeAfterMs = 1500;
        punch(&PunchService::ClockIn, "100");
        QVERIFY(!m_popup->isShown());
        QVERIFY2(real.elapsed() >= 1500, "returned before the popup closed");
        QCOMPARE(m_popup->requests, QStringList{"/photos/100.jpg::5::" + Now});

        // A popup that never closes holds the station no longer than the limit.
        m_popup->closeAfterMs = -1;
        m_punch->setPhotoWaitLimit(200);
        punch(&PunchService::ClockOut, "100");
        QVERIFY(m_popup->isShown());
        QVERIFY(!rows("100")[0].isNull("totalclock"));
    }

    // A colleague punches while the first employee's photo shows: the press runs inside the
    // wait with the ID keyed then, both punches stand with their own confirmations, and
    // what is keyed after it is not wiped when the first punch ends.
    void punchNestedInThePhotoWait()
    {
        setColumn("100", "PhotoEnabled", 1);
        setColumn("100", "DisplayText", "Ana");
        setColumn("200", "DisplayText", "Bo");
        QElapsedTimer real;
        real.start();
        const QDateTime base = at(5, 41, 4);
        platform::Clock::setSource([&] { return base.addMSecs(real.elapsed()); });
        m_popup->closeAfterMs = 1500;
        QTimer::singleShot(300, [&] {
            QVERIFY(m_id->text.isEmpty());
            m_id->text = "200";
            m_punch->ClockIn();
            m_id->text = "3";
        });
        platform::MessageBox::clearShown();
        m_id->text = "100";
        m_punch->ClockIn();

        const QStringList texts = platform::MessageBox::shownTexts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[0].startsWith("Ana, You have been Clocked in at "), qPrintable(texts[0]));
        QVERIFY2(texts[1].startsWith("Bo, You have been Clocked in at "), qPrintable(texts[1]));
        QCOMPARE(rows("100").size(), 1);
        QCOMPARE(rows("200").size(), 1);
        QCOMPARE(m_id->text, QString("3"));
    }

    // A file another program holds locked answers within the lock wait, writes nothing and
    // still empties the ID field.
    void lockedFileAnswersWithinTheWait()
    {
        QSqlDatabase side = QSqlDatabase::addDatabase("QSQLITE", "locker");
        side.setDatabaseName(m_env->databasePath());
        QVERIFY(side.open());
        QSqlQuery lock(side);
        QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
        QElapsedTimer waited;
        waited.start();
        const QStringList texts = punch(&PunchService::ClockIn, "100");
        const qint64 elapsed = waited.elapsed();
        QVERIFY(lock.exec("ROLLBACK"));
        lock = QSqlQuery();
        side.close();
        side = QSqlDatabase();
        QSqlDatabase::removeDatabase("locker");

        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].contains("locked"), qPrintable(texts[0]));
        QVERIFY2(elapsed >= data::Database::LockWaitMs - 100 && elapsed < data::Database::LockWaitMs + 1500,
                 qPrintable(QString::number(elapsed)));
        QCOMPARE(rows("100").size(), 0);
    }

    // On the server a punch waits only for another station's punch of the same ID, and no
    // longer than the lock wait; then it writes nothing and says why.
    void anotherStationsPunchHoldsOnlyItsId_data()
    {
        QTest::addColumn<data::Engine>("engine");
        QTest::newRow("PostgreSQL") << data::Engine::PostgreSql;
    }
    void anotherStationsPunchHoldsOnlyItsId()
    {
        const auto station = data::Database::open(m_env->settings());
        QVERIFY(!station->beginWriteFor("100"));
        m_db = data::Database::open(m_env->settings());
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(punch(&PunchService::ClockIn, "200"), QStringList{"You have been Clocked in at " + Now});
        QVERIFY2(waited.elapsed() < 1000, qPrintable(QString::number(waited.elapsed())));

        waited.restart();
        const QStringList texts = punch(&PunchService::ClockIn, "100");
        const qint64 elapsed = waited.elapsed();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].contains("lock timeout"), qPrintable(texts[0]));
        QVERIFY2(elapsed >= data::Database::LockWaitMs - 100 && elapsed < data::Database::LockWaitMs + 1500,
                 qPrintable(QString::number(elapsed)));
        QCOMPARE(rows("100").size(), 0);

        station->rollback();
        QCOMPARE(punch(&PunchService::ClockIn, "100"), QStringList{"You have been Clocked in at " + Now});
    }

    // Boundaries crossed, not whole seconds elapsed; a clock set back cannot stretch the wait.
    void pauseCountsSecondBoundaries()
    {
        QDateTime last;
        int reads = 0;
        platform::Clock::setSource([&] { return last = at(10, 0, 0).addMSecs(950 + 100 * reads++); });
        bool eventsRan = false;
        QTimer::singleShot(0, [&] { eventsRan = true; });
        PunchService::Pause(2);
        QCOMPARE(last, at(10, 0, 2).addMSecs(50));
        QVERIFY(eventsRan);
        reads = 0;
        platform::Clock::setSource([&] { return reads++ ? at(9, 0, 0) : at(10, 0, 0); });
        PunchService::Pause(1);
    }

    // An ID is found whatever the case it is keyed in.
    void idIgnoresCase_data() { TestEnv::engineRows(); }
    void idIgnoresCase()
    {
        TestEnv::addEmployee(*m_db, "AB12");
        QCOMPARE(punch(&PunchService::ClockIn, "ab12"), QStringList{"You have been Clocked in at " + Now});
        QCOMPARE(punch(&PunchService::ClockIn, "Ab12"), QStringList{"You are already logged in, You can not login twice."});
        QCOMPARE(punch(&PunchService::ClockOut, "aB12"), QStringList{"You have been Clocked Out at " + Now});
        QCOMPARE(rows("AB12").size(), 1);
        QVERIFY(!rows("AB12")[0].isNull("totalclock"));
    }

    void idsAreValuesNotSql_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("onFile");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), name); };
            row("quote on file") << "O'Brien" << true;
            row("backslash on file") << "a\\'b" << true;
            row("unicode on file") << QString::fromUtf8("Zoë-東京") << true;
            row("statement") << "'; delete from usertable; --" << false;
            row("always true") << "' or '1'='1" << false;
            row("10000 characters") << QString(10000, QChar('7')) << false;
        }
    }
    void idsAreValuesNotSql()
    {
        QFETCH(QString, id);
        QFETCH(bool, onFile);
        insertPunch("100", at(5, 0, 0));
        if (onFile)
            TestEnv::addEmployee(*m_db, id);
        const int employees = count("select count(*) as n from usertable");
        for (Op op : {&PunchService::ClockIn, &PunchService::ClockOut, &PunchService::ClockInOut}) {
            const QStringList texts = punch(op, id);
            QCOMPARE(texts.size(), 1);
            QVERIFY2(texts[0].startsWith(onFile ? "You have been Clocked" : "UserID was not found."), qPrintable(texts[0]));
        }
        QCOMPARE(count("select count(*) as n from usertable"), employees);
        QCOMPARE(rows(id).size(), onFile ? 2 : 0);
        QVERIFY(rows("100")[0].isNull("clockedout"));
    }

    void failingStatementsRollBack()
    {
        // The total fails after the close: the close is undone.
        insertPunch("100", at(5, 0, 0));
        sideExec("create trigger fail after update of totalclock on clocktable "
                 "begin select raise(abort, 'disk full (simulated)'); end");
        QCOMPARE(punch(&PunchService::ClockOut, "100"), QStringList{"disk full (simulated)"});
        QCOMPARE(platform::MessageBox::shown().first().title, Title);
        QVERIFY(rows("100")[0].isNull("clockedout"));

        // The table vanishes under the open connection; the station goes on afterwards.
        sideExec("drop trigger fail");
        sideExec("alter table clocktable rename to gone");
        QVERIFY(punch(&PunchService::ClockInOut, "100").value(0).contains("no such table"));
        sideExec("alter table gone rename to clocktable");
        QCOMPARE(punch(&PunchService::ClockOut, "100"), QStringList{"You have been Clocked Out at " + Now});
    }

    // Employee removed between the check and the read-back: confirmed, without feedback.
    void employeeRemovedMeanwhile()
    {
        setColumn("100", "DisplayText", "Ana");
        setColumn("100", "PhotoOnOff", 1);
        sideExec("create trigger gone after insert on clocktable "
                 "begin delete from usertable where useridlogin = new.UserIdLogin; end");
        QCOMPARE(punch(&PunchService::ClockIn, "100"), QStringList{"You have been Clocked in at " + Now});
        QVERIFY(platform::Launcher::started().isEmpty());
        QCOMPARE(rows("100").size(), 1);
    }

    void databaseFolderGone()
    {
        QVERIFY(QDir(m_env->programFolder()).removeRecursively());
        const QStringList texts = punch(&PunchService::ClockIn, "100");
        QCOMPARE(texts.size(), 1);
        QVERIFY2(!texts[0].startsWith("You have been"), qPrintable(texts[0]));
        m_db = data::Database::open(m_env->embeddedSettings()); // the missing file does not open
        QCOMPARE(punch(&PunchService::ClockIn, "100"), QStringList{m_db->openError().description});
    }

    // Two stations punching one ID at the same moment: one clock-in, one refusal, every time.
    void racingStationsClockInOnce_data() { TestEnv::engineRows(); }
    void racingStationsClockInOnce()
    {
        QProcess stations[2];
        const auto stop = qScopeGuard([&] {
            for (QProcess &p : stations) {
                p.closeWriteChannel();
                p.waitForFinished(10000);
            }
        });
        for (QProcess &p : stations) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(RaceFolderVariable, m_env->programFolder());
            if (m_env->engine() == data::Engine::PostgreSql)
                env.insert(RaceDatabaseVariable, m_env->settings().database);
            p.setProcessEnvironment(env);
            p.start(QCoreApplication::applicationFilePath(), QStringList());
            QVERIFY(p.waitForStarted());
        }
        TestEnv::addEmployee(*m_db, "race");
        for (int round = 0; round < 20; ++round) {
            QVERIFY(!m_db->exec("delete from clocktable"));
            const qint64 go = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::system_clock::now().time_since_epoch()).count() + 100000;
            QStringList outcomes;
            for (QProcess &p : stations)
                p.write(QByteArray::number(go) + "\n");
            for (QProcess &p : stations)
                QVERIFY(p.waitForBytesWritten(5000));
            for (QProcess &p : stations) {
                while (!p.canReadLine())
                    QVERIFY2(p.waitForReadyRead(30000), "station did not answer");
                outcomes << QString::fromUtf8(p.readLine()).trimmed();
            }
            outcomes.sort();
            QCOMPARE(outcomes, (QStringList{"in", "twice"}));
            QCOMPARE(count("select count(*) as n from clocktable where clockedout is null"), 1);
        }
    }
};

// One racing station: clocks "race" in at each moment read from its input, answers the outcome.
static int raceStation(const QString &folder)
{
    regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    platform::setScripted(true);
    data::ConnectionSettings settings;
    if (qEnvironmentVariableIsSet(RaceDatabaseVariable))
        settings = TestEnv::postgresSettings(qEnvironmentVariable(RaceDatabaseVariable));
    settings.accessFolder = folder;
    const auto db = data::Database::open(settings);
    admin::OptionsModel options;
    FakeIdField id;
    PunchService punch(options, &id);
    std::string line;
    while (std::getline(std::cin, line)) {
        const long long go = std::stoll(line);
        while (std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch()).count() < go) {
        }
        platform::MessageBox::clearShown();
        id.text = "race";
        punch.ClockIn();
        const QString text = platform::MessageBox::shownTexts().value(0);
        std::cout << (text.startsWith("You have been Clocked in") ? "in"
                      : text.startsWith("You are already logged in") ? "twice"
                                                                    : qPrintable(text.simplified()))
                  << std::endl;
    }
    return 0;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(RaceFolderVariable))
        return raceStation(qEnvironmentVariable(RaceFolderVariable));
    TestPunch test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_punch.moc"
