#include "testenv.h"

#include "admin/mainmenu.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/system.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"
#include "station/clocklayout.h"
#include "station/clockscreen.h"
#include "station/lockdown.h"
#include "station/photopopup.h"
#include "station/punchservice.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using platform::MessageBox;
using platform::twipsToPixels;
namespace keys = settings::keys;
namespace layout = station::clocklayout;

namespace {
// The station's screens around one clock screen, as the program wires them.
struct Station {
    admin::MainMenu mainMenu;
    station::Form8 popup;
    station::PunchService punches{mainMenu.options(), nullptr, &popup};
    station::Form1 clock{mainMenu, punches};
    int endings = 0;

    Station()
    {
        punches.setIdField(&clock);
        mainMenu.setClockScreen(&clock);
        mainMenu.setEndProgram([this] { ++endings; });
        clock.setEndProgram([this] { ++endings; });
        // Ticks come from the tests, at the times they set.
        clock.findChild<QTimer *>("Timer1")->stop();
    }
    ~Station() { mainMenu.setClockScreen(nullptr); }

    QPushButton *button(const QString &name) { return clock.findChild<QPushButton *>(name); }
    QLineEdit *idField() { return clock.findChild<QLineEdit *>("Text1"); }
    QFrame *frame(const QString &name) { return clock.findChild<QFrame *>(name); }
    void click(const QString &name)
    {
        QPushButton *b = button(name);
        QVERIFY2(b, qPrintable(name));
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

QDateTime at(int h, int m, int s) { return QDateTime(QDate(2026, 3, 9), QTime(h, m, s)); }
} // namespace

class TestClockScreen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::shared_ptr<data::Database> m_db;
    std::unique_ptr<Station> m_station;

    // Builds and loads the station with the options stored so far.
    Station &load()
    {
        m_station = std::make_unique<Station>();
        m_station->clock.load();
        return *m_station;
    }

    int rows(const QString &sql)
    {
        return int(data::Database::current()->query(sql).first().number("n"));
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        m_db = m_env->createDatabase();
    }
    void cleanup()
    {
        m_station.reset();
        m_db.reset();
        m_env.reset();
    }

    void startsOnTheDesignLayout()
    {
        Station &s = load();
        QVERIFY(s.clock.isVisible());
        QVERIFY(!s.clock.hasEnded());
        QCOMPARE(s.clock.objectName(), QString("Form1"));
        QCOMPARE(s.clock.windowTitle(), QString("Chronotally 2.1 - www.chronotally.example"));
        QCOMPARE(s.clock.size(), QSize(510, 370));
        QCOMPARE(s.frame("Frame2")->geometry(), QRect(8, 8, 497, 513));
        QCOMPARE(s.button("Command1")->geometry(), QRect(0, 40, 129, 161));
        QCOMPARE(s.button("Command4_7")->geometry(), QRect(280, 112, 65, 41));
        QCOMPARE(s.button("Command4_12")->text(), QString("&Clear"));
        QVERIFY(!s.button("Command10")->isVisibleTo(&s.clock));
        QVERIFY(!s.frame("Frame1")->isVisibleTo(&s.clock));
        QCOMPARE(s.button("Command8")->text(), QString("Show Keyboard"));
        QVERIFY(!s.clock.findChild<QLabel *>("Label1")->text().isEmpty());
        QCOMPARE(s.clock.findChild<QTimer *>("Timer1")->interval(), 1000);
        // Nothing went wrong, so nothing was said.
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void keypadBuildsTheIdAndClearEmptiesIt()
    {
        Station &s = load();
        for (int i : {4, 2, 4, 2, 10, 11, 0})
            s.click(QString("Command4_%1").arg(i));
        QCOMPARE(s.idField()->text(), QString("4242.-0"));
        QCOMPARE(s.button("Command4_11")->property("index").toInt(), 11);
        s.click("Command4_12");
        QCOMPARE(s.idField()->text(), QString());
    }

    void letterKeysAppendTheirLetterAndSetTheTitle()
    {
        Station &s = load();
        s.click("Command8");
        s.idField()->setText("7");
        s.click("Command12_0");
        QCOMPARE(s.idField()->text(), QString("7Q"));
        QCOMPARE(s.clock.windowTitle(), QString("0"));
        s.click("Command12_25");
        QCOMPARE(s.idField()->text(), QString("7QM"));
        QCOMPARE(s.clock.windowTitle(), QString("25"));
        s.click("Command12_10");
        QCOMPARE(s.idField()->text(), QString("7QMA"));
        QCOMPARE(s.clock.windowTitle(), QString("10"));
    }

    void letterKeysLaidOutInThreeRows()
    {
        Station &s = load();
        s.click("Command8");
        const QList<layout::LetterKey> keys = layout::letterKeyLayout();
        QCOMPARE(keys.size(), 30);
        // Row 1 columns 0-9, row 2 columns 0-8, row 3 shifted right by one key.
        QCOMPARE(s.button("Command12_9")->pos(), QPoint(twipsToPixels(5850), 0));
        QCOMPARE(s.button("Command12_10")->pos(), QPoint(0, twipsToPixels(550)));
        QCOMPARE(s.button("Command12_18")->pos(), QPoint(twipsToPixels(5200), twipsToPixels(550)));
        QCOMPARE(s.button("Command12_19")->pos(), QPoint(twipsToPixels(650), twipsToPixels(1100)));
        QCOMPARE(s.button("Command12_25")->pos(), QPoint(twipsToPixels(4550), twipsToPixels(1100)));
        QString captions;
        for (int i = 0; i < 30; ++i) {
            QPushButton *key = s.button(QString("Command12_%1").arg(i));
            QCOMPARE(key->isVisibleTo(&s.clock), i < 26);
            if (i < 26)
                captions += key->text();
        }
        QCOMPARE(captions, QString("QWERTYUIOPASDFGHJKLZXCVBNM"));
        // Every visible key lies inside the keyboard frame.
        const QRect frame(QPoint(0, 0), s.frame("Frame1")->size());
        for (int i = 0; i < 26; ++i)
            QVERIFY(frame.contains(s.button(QString("Command12_%1").arg(i))->geometry()));
    }

    void keyboardToggleSetsTheHeight()
    {
        // The two heights are outer heights: the window grows by their difference and
        // shrinks back to exactly the height it opened with.
        Station &s = load();
        const int opened = s.clock.height();
        s.click("Command8");
        QVERIFY(s.frame("Frame1")->isVisible());
        QCOMPARE(s.button("Command8")->text(), QString("Hide Keyboard"));
        QCOMPARE(s.clock.height(), opened + twipsToPixels(7995 - 5790));
        s.click("Command8");
        QVERIFY(!s.frame("Frame1")->isVisible());
        QCOMPARE(s.button("Command8")->text(), QString("Show Keyboard"));
        QCOMPARE(s.clock.height(), opened);
    }

    void keyboardToggleKeepsTheHeightWhenKeptMaximized()
    {
        settings::write(keys::KeepMaximized, "1");
        settings::write(keys::OneIcon, "1");
        Station &s = load();
        QVERIFY(s.clock.isVisible());
        const int height = s.clock.height();
        QVERIFY(height > twipsToPixels(7995));
        s.click("Command8");
        QVERIFY(s.frame("Frame1")->isVisible());
        QCOMPARE(s.clock.height(), height);
        s.click("Command8");
        QCOMPARE(s.clock.height(), height);
        // The combined button moves with the centred punch panel and still covers its buttons.
        const QRect clockIn(s.button("Command1")->mapTo(&s.clock, QPoint(0, 0)), s.button("Command1")->size());
        QVERIFY(s.button("Command10")->geometry().contains(clockIn));
    }

    void spanishCaptionsOnTheTwoButtonsOnly()
    {
        settings::write(keys::Spanish, "1");
        settings::write(keys::OneIcon, "1");
        Station &s = load();
        QCOMPARE(s.button("Command1")->text(), QString("Clock In\nEntrada"));
        QCOMPARE(s.button("Command2")->text(), QString("Clock Out\nSalida"));
        QCOMPARE(s.button("Command10")->text(), QString("Clock In / Clock Out"));
        QCOMPARE(layout::clockInCaption(true), QString("Clock In\r\nEntrada"));
        QCOMPARE(layout::clockOutCaption(true), QString("Clock Out\r\nSalida"));
    }

    void englishCaptionsWithoutSpanish()
    {
        Station &s = load();
        QCOMPARE(s.button("Command1")->text(), QString("Clock In"));
        QCOMPARE(s.button("Command2")->text(), QString("Clock Out"));
    }

    void combinedButtonCoversTheTwoButtons()
    {
        settings::write(keys::OneIcon, "1");
        Station &s = load();
        QPushButton *combined = s.button("Command10");
        QVERIFY(combined->isVisible());
        for (const char *name : {"Command1", "Command2"}) {
            QPushButton *b = s.button(name);
            const QRect r(b->mapTo(&s.clock, QPoint(0, 0)), b->size());
            QVERIFY(combined->geometry().contains(r));
            // It is in front: a press on the separate button's place reaches the combined one.
            QCOMPARE(s.clock.childAt(r.center()), combined);
        }
    }

    void buttonFontsFromTheOptions()
    {
        settings::write(keys::FontName, "DejaVu Sans");
        settings::write(keys::FontSize, "20");
        Station &s = load();
        for (const char *name : {"Command1", "Command4_3", "Command5", "Command10", "Command12_4"}) {
            const QFont f = s.button(name)->font();
            QCOMPARE(f.family(), QString("DejaVu Sans"));
            QCOMPARE(f.pointSize(), 20);
            QVERIFY(f.bold());
        }
        // Not a button: the ID field keeps its own font.
        QVERIFY(s.idField()->font().family() != QString("DejaVu Sans"));
    }

    void unusableFontSizeIsNotReported()
    {
        settings::write(keys::FontName, "No Such Font At All");
        settings::write(keys::FontSize, "big");
        Station &s = load();
        QCOMPARE(s.button("Command1")->font().pointSize(), 12);
        QVERIFY(MessageBox::shown().isEmpty());
        QVERIFY(s.clock.isVisible());
    }

    void badgeReaderEnterPunchesOnceWithTheCombinedButton()
    {
        settings::write(keys::OneIcon, "1");
        TestEnv::addEmployee(*m_db, "4242");
        Station &s = load();
        s.idField()->setFocus();
        QTest::keyClicks(s.idField(), "4242");
        QTest::keyClick(s.idField(), Qt::Key_Return);
        QCOMPARE(rows("select count(*) as n from clocktable where useridlogin = '4242' and clockedout is null"), 1);
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.startsWith("You have been Clocked in at "));
        QCOMPARE(s.idField()->text(), QString());
        // The next badge clocks the same ID out through the same button.
        QTest::keyClicks(s.idField(), "4242");
        QTest::keyClick(s.idField(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(rows("select count(*) as n from clocktable where useridlogin = '4242' and clockedout is not null"), 1);
    }

    void enterDoesNothingWithTheTwoButtons()
    {
        TestEnv::addEmployee(*m_db, "4242");
        Station &s = load();
        QTest::keyClicks(s.idField(), "4242");
        QTest::keyClick(s.idField(), Qt::Key_Return);
        QCOMPARE(rows("select count(*) as n from clocktable"), 0);
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(s.idField()->text(), QString("4242"));
    }

    void enterDoesNothingWhileLocked()
    {
        settings::write(keys::OneIcon, "1");
        TestEnv::addEmployee(*m_db, "4242");
        Station &s = load();
        s.mainMenu.lockStation();
        QTest::keyClicks(s.idField(), "4242");
        QTest::keyClick(s.idField(), Qt::Key_Return);
        QCOMPARE(rows("select count(*) as n from clocktable"), 0);
    }

    void closeIsRefused()
    {
        Station &s = load();
        QVERIFY(!s.clock.close());
        QVERIFY(s.clock.isVisible());
        s.clock.requestUnload();
        QVERIFY(s.clock.isVisible());
    }

    void aboutShowsNameAndVersion()
    {
        Station &s = load();
        s.click("Command9");
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, QString("Chronotally 2.1"));
        QCOMPARE(MessageBox::shown().first().title, QString("Chronotally 2.1"));
    }

    void mainMenuHidesTheClockAndClearsThePolicies()
    {
        settings::write(keys::DisableCtrlAltDelete, "1");
        Station &s = load();
        QCOMPARE(station::policyValue(station::PolicySystem, "DisableTaskMgr"), 1);
        const QString refresh = s.mainMenu.refreshText();
        s.click("Command5");
        QVERIFY(!s.clock.isVisible());
        QVERIFY(s.button("Command5")->isEnabled());
        QVERIFY(s.mainMenu.refreshText() != refresh);
        QCOMPARE(station::policyValue(station::PolicySystem, "DisableTaskMgr"), 0);
        QCOMPARE(station::policyValue(station::PolicyExplorer, "NoClose"), 0);
    }

    void mainMenuLeavesAMaximizedClockUp()
    {
        settings::write(keys::KeepMaximized, "1");
        settings::write(keys::DisableCtrlAltDelete, "1");
        Station &s = load();
        s.click("Command5");
        QVERIFY(s.clock.isVisible());
        QCOMPARE(station::policyValue(station::PolicySystem, "DisableTaskMgr"), 1);
    }

    void stayOnTopAndClipping()
    {
        settings::write(keys::StayOnTop, "1");
        settings::write(keys::BlockMoving, "1");
        Station &s = load();
        QVERIFY(s.clock.isVisible());
        QVERIFY(s.clock.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(s.clock.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(s.clock.size(), QSize(510, 370));
    }

    // A whole punch: keypad, "Clock In", the confirmation box answered here, the photo popup,
    // the row in the database; then "Clock Out" closes and totals it.
    void punchFromTheKeypadToTheDatabase()
    {
        const QString photo = m_env->folder() + "/face.png";
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        QVERIFY(image.save(photo));
        TestEnv::addEmployee(*m_db, "4242");
        QVERIFY(!m_db->exec("update usertable set PhotoEnabled = 1, UserPhoto = ?, PhotoDisplay = 1, "
                            "DisplayText = 'Ana' where useridlogin = '4242'",
                            {photo})
                     .isError());
        Station &s = load();

        bool popupSeen = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] { popupSeen = popupSeen || s.popup.isShown(); });
        watch.start(50);
        QStringList answered;
        MessageBox::setHandler([&](const MessageBox::Shown &box) -> std::optional<MessageBox::Answer> {
            answered << box.text;
            return MessageBox::Answer::Ok;
        });

        for (int i : {4, 2, 4, 2})
            s.click(QString("Command4_%1").arg(i));
        s.click("Command1");
        QCOMPARE(answered.size(), 1);
        QVERIFY(answered.first().startsWith("Ana, You have been Clocked in at "));
        QVERIFY(popupSeen);
        QVERIFY(!s.popup.isShown());
        QCOMPARE(s.idField()->text(), QString());
        QCOMPARE(rows("select count(*) as n from clocktable where useridlogin = '4242' and clockedin is not null "
                      "and clockedout is null and totalclock is null"),
                 1);

        QVERIFY(!m_db->exec("update usertable set PhotoEnabled = 0").isError());
        for (int i : {4, 2, 4, 2})
            s.click(QString("Command4_%1").arg(i));
        s.click("Command2");
        QCOMPARE(answered.size(), 2);
        QVERIFY(answered.last().startsWith("Ana, You have been Clocked Out at "));
        QCOMPARE(rows("select count(*) as n from clocktable where useridlogin = '4242' and clockedout is not null "
                      "and totalclock is not null"),
                 1);
    }

    // A photo that cannot be shown and a display time of 0 hold nothing up: the punch is
    // written and the station goes on.
    void punchWithABrokenPhotoStillWrites()
    {
        TestEnv::addEmployee(*m_db, "77");
        QVERIFY(!m_db->exec("update usertable set PhotoEnabled = 1, UserPhoto = '/nowhere/face.jpg', "
                            "PhotoDisplay = 0 where useridlogin = '77'")
                     .isError());
        Station &s = load();
        QElapsedTimer took;
        took.start();
        s.idField()->setText("77");
        s.click("Command1");
        QVERIFY(took.elapsed() < 3000);
        QVERIFY(!s.popup.isShown());
        QCOMPARE(rows("select count(*) as n from clocktable where useridlogin = '77' and clockedout is null"), 1);
        QVERIFY(s.clock.isVisible());
    }

    void missingDatabaseAtTheClocksOpenEndsTheStation()
    {
        settings::write(keys::DisableCtrlAltDelete, "1");
        m_station = std::make_unique<Station>();
        Station &s = *m_station;
        QString description;
        s.clock.setConnectionOpener([&] {
            m_db.reset();
            QFile::remove(m_env->databasePath());
            const data::DbError error = data::Database::open(m_env->embeddedSettings())->openError();
            description = error.description;
            return error;
        });
        QVERIFY(!s.clock.load());
        QCOMPARE(description.isEmpty(), false);
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, description);
        QCOMPARE(MessageBox::shown().first().title, QString());
        QCOMPARE(settings::GetSetting(settings::Application, "Main", "DB", "<none>"), QString("<none>"));
        QCOMPARE(station::policyValue(station::PolicySystem, "DisableTaskMgr"), 0);
        QCOMPARE(s.endings, 1);
        QVERIFY(s.clock.hasEnded());
        QVERIFY(!s.clock.isVisible());
    }

    void anyOtherStartupErrorIsShownAndTheStationStaysUp()
    {
        settings::write(keys::DisplayText, "Acme Tools");
        m_station = std::make_unique<Station>();
        Station &s = *m_station;
        s.clock.setConnectionOpener([] {
            return data::DbError{data::errors::LoginFailed, "Login failed for user 'sa'."};
        });
        QVERIFY(s.clock.load());
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, QString("-2147217843\r\nLogin failed for user 'sa'."));
        QCOMPARE(MessageBox::shown().first().title, QString());
        QCOMPARE(s.endings, 0);
        QVERIFY(s.clock.isVisible());
        QVERIFY(!settings::read(keys::DatabaseFolder).isEmpty());
        QCOMPARE(s.clock.findChild<QLabel *>("Label2")->text(), QString("Acme Tools"));
    }

    void aMainMenuThatEndedStopsTheSequence()
    {
        m_db.reset();
        QFile::remove(m_env->databasePath());
        m_station = std::make_unique<Station>();
        Station &s = *m_station;
        QVERIFY(!s.clock.load());
        QVERIFY(s.clock.hasEnded());
        QVERIFY(!s.clock.isVisible());
        QCOMPARE(s.endings, 1);
    }

    void tamperLock_data()
    {
        QTest::addColumn<QDateTime>("shown");
        QTest::addColumn<QDateTime>("next");
        QTest::addColumn<bool>("locks");
        QTest::newRow("two boundaries forwards") << at(10, 0, 30) << at(10, 2, 31) << false;
        QTest::newRow("three boundaries forwards") << at(10, 0, 30) << at(10, 3, 31) << true;
        QTest::newRow("three boundaries in 2:01") << at(10, 0, 59) << at(10, 3, 0) << true;
        QTest::newRow("two boundaries backwards") << at(10, 2, 31) << at(10, 0, 30) << false;
        QTest::newRow("three boundaries backwards") << at(10, 3, 31) << at(10, 0, 30) << true;
        QTest::newRow("three boundaries back in 2:01") << at(10, 3, 0) << at(10, 0, 59) << true;
        QTest::newRow("daylight saving hour") << at(2, 0, 0) << at(3, 0, 0) << true;
        QTest::newRow("one second over midnight") << at(23, 59, 59) << at(0, 0, 0).addDays(1) << false;
        QTest::newRow("asleep over night") << at(23, 59, 59) << at(7, 0, 0).addDays(1) << true;
    }
    void tamperLock()
    {
        QFETCH(QDateTime, shown);
        QFETCH(QDateTime, next);
        QFETCH(bool, locks);
        settings::write(keys::OneIcon, "1");
        TestEnv::setTime(shown);
        Station &s = load();
        auto *label = s.clock.findChild<QLabel *>("Label1");
        QCOMPARE(label->text(), regional::generalDate(shown));

        TestEnv::setTime(next);
        s.clock.tick();
        QCOMPARE(label->text(), regional::generalDate(next));
        QCOMPARE(s.mainMenu.isLocked(), locks);
        QCOMPARE(s.frame("Frame2")->isVisibleTo(&s.clock), !locks);
        QCOMPARE(s.button("Command10")->isVisibleTo(&s.clock), !locks);
        QCOMPARE(s.mainMenu.showClockCaption(), locks ? admin::MainMenu::LockMessage : QString("Show Clock"));
        // The clock display goes on while locked; an ordinary tick changes nothing.
        TestEnv::setTime(next.addSecs(1));
        s.clock.tick();
        QCOMPARE(s.mainMenu.isLocked(), locks);
    }

    // The stored daylight-saving option reaches the tick: the spring change of the station's
    // own time zone passes, a moved clock after it still locks.
    void daylightSavingOptionReachesTheTick()
    {
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "America/New_York");
        const auto restoreZone = qScopeGuard([&] {
            if (zone.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", zone);
        });
        settings::write(keys::DaylightSavingUnlocked, "1");
        const QDateTime before = QDateTime(QDate(2027, 3, 14), QTime(6, 59, 59), Qt::UTC).toLocalTime();
        TestEnv::setTime(before);
        Station &s = load();
        TestEnv::setTime(before.addSecs(1));
        s.clock.tick();
        QVERIFY(!s.mainMenu.isLocked());
        TestEnv::setTime(before.addSecs(3601));
        s.clock.tick();
        QVERIFY(s.mainMenu.isLocked());
    }

    void lockedShowClockRepeatsTheMessageAndLoginReleases()
    {
        settings::write(keys::OneIcon, "1");
        TestEnv::addEmployee(*m_db, "1", 0, "5-Administrator User", "pw");
        TestEnv::setTime(at(10, 0, 30));
        Station &s = load();
        TestEnv::setTime(at(10, 5, 0));
        s.clock.tick();
        QVERIFY(s.mainMenu.isLocked());
        MessageBox::clearShown();

        s.mainMenu.showClockFromLogin();
        QCOMPARE(MessageBox::shownTexts(), QStringList{admin::MainMenu::LockMessage});
        QVERIFY(!s.frame("Frame2")->isVisibleTo(&s.clock));
        QVERIFY(s.mainMenu.isLocked());

        QVERIFY(s.mainMenu.login("1", "pw"));
        QCOMPARE(s.mainMenu.showClockCaption(), QString("Show Clock"));
        QVERIFY(s.frame("Frame2")->isVisibleTo(&s.clock));
        QVERIFY(s.button("Command10")->isVisibleTo(&s.clock));
    }
};

QTEST_MAIN(TestClockScreen)
#include "tst_clockscreen.moc"
