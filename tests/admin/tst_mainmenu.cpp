#include "menufixture.h"
#include "privatepgserver.h"

#include "data/needsdatabase.h"
#include "data/passwordhash.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "station/lockdown.h"

#include <QCloseEvent>
#include <QLabel>
#include <QSignalSpy>

using admin::MainMenu;
using platform::MessageBox;

class TestMainMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { s = std::make_unique<Station>(); }
    void cleanup() { s.reset(); }

    void windowCarriesItsCaptions()
    {
        QCOMPARE(s->window.windowTitle(), QStringLiteral("Chronotally Main Menu 2.1"));
        QCOMPARE(s->window.objectName(), QStringLiteral("Form5"));
        QCOMPARE(s->button("Command9")->text(), QStringLiteral("Show Clock"));
        QCOMPARE(s->button("Command14")->text(), QStringLiteral("Shut Down"));
        QCOMPARE(s->edit("Text2")->echoMode(), QLineEdit::Password);
        QVERIFY(s->edit("Text5")->isHidden());
        bool found = false;
        for (QLabel *label : s->find<QWidget>("Frame4")->findChildren<QLabel *>())
            found |= label->text() == admin::MainMenuWindow::FirstRunText;
        QVERIFY(found);
    }

    void firstRunShowsSetupUntilAnAdministratorExists()
    {
        s->menu.startupRoutine();
        QVERIFY(s->menu.noAdministrator());
        QVERIFY(s->shown("Frame4"));
        QVERIFY(!s->shown("Frame2"));
        QVERIFY(!s->shown("Frame1"));
        // "Automatically Launch..." is on by default, but not without an administrator.
        QVERIFY(s->box("Check8")->isChecked());
        QCOMPARE(s->clock.shown, 0);
        QVERIFY(!s->menu.autoShown());

        s->window.show();
        s->button("Command10")->click();
        QCOMPARE(s->opened, QStringList{"employees"});
        QVERIFY(!s->window.isVisible());

        // The employee screen adds the administrator and returns with a refresh.
        s->addAdministrator();
        s->edit("Text5")->setText(QStringLiteral("12/7/2026 5:41:04 AM"));
        QVERIFY(!s->menu.noAdministrator());
        QVERIFY(s->shown("Frame2"));
        QVERIFY(!s->shown("Frame4"));
        QVERIFY(!s->shown("Frame1"));
        // The first routine that finds an administrator launches the clock.
        QCOMPARE(s->clock.shown, 1);
    }

    void loginRefusesAllButAnActiveAdministrator_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("disabled administrator") << "off" << "pw";
        QTest::newRow("manager level") << "manager" << "pw";
        QTest::newRow("wrong password") << "boss" << "Secret";
        QTest::newRow("empty password") << "boss" << "";
        QTest::newRow("unknown user") << "nobody" << "secret";
        QTest::newRow("quote in the user name") << "boss' or '1'='1" << "x' or '1'='1";
    }
    void loginRefusesAllButAnActiveAdministrator()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        s->addAdministrator();
        s->addAdministrator(QStringLiteral("off"), QStringLiteral("pw"), 1);
        TestEnv::addEmployee(*s->db, QStringLiteral("manager"), 0, QStringLiteral("4-Manger User"), QStringLiteral("pw"));
        settings::write(settings::keys::AutoLaunch, QStringLiteral("0"));
        s->menu.startupRoutine();

        s->edit("Text1")->setText(user);
        s->edit("Text2")->setText(password);
        s->button("Command5")->click();
        QCOMPARE(MessageBox::shownTexts(), QStringList{"Invalid Login"});
        QCOMPARE(MessageBox::shown().first().title, MessageBox::applicationTitle());
        QVERIFY(!s->shown("Frame1"));
        QCOMPARE(s->edit("Text1")->text(), user);
        QCOMPARE(s->edit("Text2")->text(), password);
        QVERIFY(s->button("Command5")->isEnabled());
    }

    void loginOfAnAdministratorOpensTheMenu()
    {
        s->addAdministrator();
        s->menu.startupRoutine();
        s->edit("Text1")->setText(QStringLiteral("boss"));
        s->edit("Text2")->setText(QStringLiteral("secret"));
        QVERIFY(s->menu.administratorId().isEmpty());
        s->button("Command5")->click();
        QVERIFY(MessageBox::shown().isEmpty());
        QVERIFY(s->shown("Frame1"));
        // The screens' changes are recorded under this ID.
        QCOMPARE(s->menu.administratorId(), QStringLiteral("boss"));
        QVERIFY(s->edit("Text1")->text().isEmpty());
        QVERIFY(s->edit("Text2")->text().isEmpty());

        s->button("Command21")->click(); // "Hide Menu"
        QVERIFY(!s->shown("Frame1"));
    }

    // A password an earlier build stored in clear logs in once and is stored hashed from
    // then on; the hash logs in, and nothing else does.
    void clearPasswordIsHashedAtItsFirstLogin()
    {
        s->addAdministrator();
        s->addAdministrator(QStringLiteral("other"), QStringLiteral("secret"));
        auto stored = [this](const char *id) {
            return s->db->query(QStringLiteral("select passwordf from usertable where useridlogin = ?"), {QString::fromLatin1(id)})
                .first().text(QStringLiteral("passwordf"));
        };
        s->menu.startupRoutine();
        QVERIFY(!s->menu.login(QStringLiteral("boss"), QStringLiteral("Secret")));
        QCOMPARE(stored("boss"), QStringLiteral("secret"));

        QVERIFY(s->menu.login(QStringLiteral("boss"), QStringLiteral("secret")));
        const QString hash = stored("boss");
        QVERIFY(data::PasswordHash::isHash(hash));
        QVERIFY(!hash.contains(QStringLiteral("secret")));
        QCOMPARE(stored("other"), QStringLiteral("secret"));

        QVERIFY(s->menu.login(QStringLiteral("boss"), QStringLiteral("secret")));
        QCOMPARE(stored("boss"), hash);
        MessageBox::clearShown();
        QVERIFY(!s->menu.login(QStringLiteral("boss"), hash));
        QCOMPARE(MessageBox::shownTexts(), QStringList{"Invalid Login"});
    }

    void loginOnADatabaseErrorReportsItAndFails()
    {
        s->addAdministrator();
        s->menu.startupRoutine();
        QVERIFY(!s->db->exec(QStringLiteral("alter table usertable rename to gone")));
        s->edit("Text1")->setText(QStringLiteral("boss"));
        s->edit("Text2")->setText(QStringLiteral("secret"));
        s->button("Command5")->click();
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shownTexts().first().contains(QStringLiteral("usertable")));
        QVERIFY(!s->shown("Frame1"));

        // A connection that never opened is no login either.
        data::ConnectionSettings nowhere;
        nowhere.accessFolder = s->env.folder() + QStringLiteral("/missing");
        data::Database::open(nowhere);
        MessageBox::clearShown();
        QVERIFY(!s->menu.login(QStringLiteral("boss"), QStringLiteral("secret")));
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shownTexts().first().contains(QStringLiteral("Stampwell.mdb")));
    }

    // On a server, a wrong password or an unknown ID is the login's own refusal; only a server
    // that cannot be reached (here one stopped under the open connection) gives the sentence
    // that the menu needs the database.
    void loginOnAServerTellsARefusalFromAnAbsence_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("answer");
        QTest::newRow("PostgreSQL: administrator") << "boss" << "secret" << "";
        QTest::newRow("PostgreSQL: wrong password") << "boss" << "Secret" << "refused";
        QTest::newRow("PostgreSQL: unknown ID") << "nobody" << "secret" << "refused";
        QTest::newRow("PostgreSQL: server stopped") << "boss" << "secret" << "away";
    }
    void loginOnAServerTellsARefusalFromAnAbsence()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, answer);
        if (!s->db)
            QSKIP(qPrintable(s->env.unavailable()));
        s->addAdministrator();
        std::unique_ptr<PrivatePgServer> server;
        if (answer == "away") {
            server = std::make_unique<PrivatePgServer>();
            if (!server->unavailable().isEmpty())
                QSKIP(qPrintable(server->unavailable()));
            QVERIFY(data::Database::open(server->settings())->isOpen());
            QVERIFY(server->stop());
        }
        MessageBox::clearShown();
        QCOMPARE(s->menu.login(user, password), answer.isEmpty());
        const QStringList expected = answer.isEmpty()      ? QStringList()
                                     : answer == "refused" ? QStringList{MainMenu::InvalidLogin}
                                                           : QStringList{data::NeedsDatabaseText};
        QCOMPARE(MessageBox::shownTexts(), expected);
        QCOMPARE(s->shown("Frame1"), answer.isEmpty());
    }

    void cancelEmptiesTheFieldsAndHidesTheMenu()
    {
        s->addAdministrator();
        s->menu.startupRoutine();
        QVERIFY(s->menu.login(QStringLiteral("boss"), QStringLiteral("secret")));
        s->edit("Text1")->setText(QStringLiteral("someone"));
        s->button("Command8")->click();
        QVERIFY(s->edit("Text1")->text().isEmpty());
        QVERIFY(!s->shown("Frame1"));
    }

    void tamperLockIsReleasedOnlyByALogin_data()
    {
        QTest::addColumn<bool>("oneIcon");
        QTest::newRow("combined button") << true;
        QTest::newRow("separate buttons") << false;
    }
    void tamperLockIsReleasedOnlyByALogin()
    {
        QFETCH(bool, oneIcon);
        s->addAdministrator();
        settings::write(settings::keys::OneIcon, oneIcon ? QStringLiteral("1") : QStringLiteral("0"));
        settings::write(settings::keys::AutoLaunch, QStringLiteral("0"));
        s->menu.startupRoutine();
        s->clock.combinedButton = oneIcon;

        s->menu.lockStation();
        QVERIFY(s->window.isVisible());
        QCOMPARE(s->button("Command9")->text(), MainMenu::LockMessage);
        QVERIFY(!s->clock.punchPanel);
        QVERIFY(!s->clock.combinedButton);

        // "Show Clock" only repeats the message.
        s->button("Command9")->click();
        QCOMPARE(MessageBox::shownTexts(), QStringList{MainMenu::LockMessage});
        QCOMPARE(s->clock.shown, 0);
        QVERIFY(s->window.isVisible());

        // Neither a refresh nor a failed login releases it.
        s->menu.setRefreshText(QStringLiteral("later"));
        QVERIFY(s->menu.isLocked());
        QVERIFY(!s->menu.login(QStringLiteral("boss"), QStringLiteral("wrong")));
        QVERIFY(s->menu.isLocked());

        s->edit("Text1")->setText(QStringLiteral("boss"));
        s->edit("Text2")->setText(QStringLiteral("secret"));
        s->button("Command5")->click();
        QVERIFY(!s->menu.isLocked());
        QCOMPARE(s->button("Command9")->text(), QStringLiteral("Show Clock"));
        QVERIFY(s->clock.punchPanel);
        QCOMPARE(s->clock.combinedButton, oneIcon);

        s->button("Command9")->click();
        QCOMPARE(s->clock.shown, 1);
        QVERIFY(s->clock.sizable);
        QVERIFY(!s->window.isVisible());
    }

    // The menu panel is reached only by a login: "Show Clock" leaves nothing open behind
    // it, and neither the tamper lock nor a screen closing hands the menu to the next person.
    void menuPanelOnlyAfterALogin()
    {
        s->addAdministrator();
        settings::write(settings::keys::AutoLaunch, QStringLiteral("0"));
        s->menu.startupRoutine();
        const auto loggedIn = [&] {
            s->edit("Text1")->setText(QStringLiteral("boss"));
            s->edit("Text2")->setText(QStringLiteral("secret"));
            s->button("Command5")->click();
            QVERIFY(s->shown("Frame1"));
        };
        const auto loginPanelOnly = [&] {
            QVERIFY(s->window.isVisible());
            QVERIFY(!s->shown("Frame1"));
            QVERIFY(s->shown("Frame2"));
            QVERIFY(s->edit("Text2")->text().isEmpty());
        };

        loggedIn();
        s->button("Command3")->click(); // "Show Clock"
        QVERIFY(!s->window.isVisible());
        s->menu.lockStation();
        loginPanelOnly();

        loggedIn();
        s->menu.showMainMenu(); // a screen closing back to the menu
        loginPanelOnly();
    }

    void refreshWithTheSameTextRunsTheRoutineOnce()
    {
        s->addAdministrator();
        settings::write(settings::keys::AutoLaunch, QStringLiteral("0"));
        TestEnv::setTime(QDateTime(QDate(2026, 12, 7), QTime(5, 41, 4)));
        QSignalSpy routines(&s->menu, &admin::MainMenu::refreshTextChanged);
        s->menu.showAndRefresh();
        QCOMPARE(s->edit("Text5")->text(), QStringLiteral("12/7/2026 5:41:04 AM"));

        // A second refresh in the same second writes the same text: no second routine.
        s->menu.showAndRefresh();
        QCOMPARE(routines.count(), 1);

        platform::Clock::advance(1000);
        s->menu.showAndRefresh();
        QCOMPARE(routines.count(), 2);
    }

    void automaticLaunchHappensOncePerRun()
    {
        s->addAdministrator();
        s->window.show();
        s->menu.startupRoutine();
        QCOMPARE(s->clock.shown, 1);
        QVERIFY(s->clock.punchPanel);
        QVERIFY(!s->window.isVisible());

        s->edit("Text5")->setText(QStringLiteral("one"));
        s->edit("Text5")->setText(QStringLiteral("two"));
        QCOMPARE(s->clock.shown, 1);
        QVERIFY(s->shown("Frame2"));
    }

    void menuButtonsOpenTheirScreens()
    {
        s->addAdministrator();
        s->menu.startupRoutine();
        s->window.show();
        QVERIFY(s->menu.login(QStringLiteral("boss"), QStringLiteral("secret")));

        s->button("Command20")->click();
        s->button("Command15")->click();
        QVERIFY(s->window.isVisible());
        s->button("Command2")->click();
        QVERIFY(!s->window.isVisible());
        s->window.show();
        s->button("Command1")->click();
        QVERIFY(!s->window.isVisible());
        QCOMPARE(s->opened, (QStringList{"timeedit", "clockedin", "reports", "employees"}));

        const int shown = s->clock.shown;
        s->window.show();
        s->button("Command3")->click();
        QCOMPARE(s->clock.shown, shown + 1);
        QVERIFY(!s->window.isVisible());

        s->button("Command11")->click();
        QCOMPARE(platform::Browser::opened(), QStringList{MainMenu::HelpAddress});
    }

    void shutDownAsksThenClearsThePoliciesAndEnds()
    {
        s->addAdministrator();
        s->menu.startupRoutine();
        station::SetLockdownPolicies();

        s->button("Command4")->click(); // answered No
        QCOMPARE(s->endCalls, 0);
        QCOMPARE(station::policyValue(station::PolicySystem, QStringLiteral("DisableTaskMgr")), 1);
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, QStringLiteral("Are You sure you want to Close Chronotally?"));
        QVERIFY(MessageBox::shown().first().title.isEmpty());
        QCOMPARE(MessageBox::shown().first().buttons, MessageBox::Buttons::YesNo);

        // While the question is open neither "Shut Down" can start another one.
        bool enabledWhileAsking = true;
        bool secondRan = true;
        MessageBox::setHandler([&](const MessageBox::Shown &) -> std::optional<MessageBox::Answer> {
            enabledWhileAsking = s->button("Command4")->isEnabled() || s->button("Command14")->isEnabled();
            secondRan = s->menu.shutDown();
            return MessageBox::Answer::Yes;
        });
        s->button("Command4")->click();
        QVERIFY(!enabledWhileAsking);
        QVERIFY(!secondRan);
        QCOMPARE(s->endCalls, 1);
        QVERIFY(s->menu.hasEnded());
        QCOMPARE(station::policyValue(station::PolicySystem, QStringLiteral("DisableTaskMgr")), 0);
        QCOMPARE(station::policyValue(station::PolicyExplorer, QStringLiteral("NoClose")), 0);
    }

    void publicShutDownFollowsItsOption()
    {
        s->menu.startupRoutine();
        QVERIFY(!s->shown("Command14"));
        s->box("Check10")->click();
        QVERIFY(s->shown("Command14"));
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        s->button("Command14")->click();
        QCOMPARE(s->endCalls, 1);
    }

    void closingTheWindowIsRefused()
    {
        s->window.show();
        QVERIFY(!s->window.close());
        QVERIFY(s->window.isVisible());
    }

private:
    std::unique_ptr<Station> s;
};

QTEST_MAIN(TestMainMenu)
#include "tst_mainmenu.moc"
