#include "testenv.h"

#include "app/stationapp.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/system.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using platform::MessageBox;

// The main menu as a new user meets it on a whole station: first run, the first
// administrator set up through the employee screen, the login, an option, shutting down,
// and the next start finding everything as it was left.
class TestMenuFlow : public QObject
{
    Q_OBJECT

    template <typename T>
    static T *control(QWidget *window, const char *name)
    {
        T *w = window->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    static QWidget *topLevel(const char *name)
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String(name))
                return w;
        }
        return nullptr;
    }

private Q_SLOTS:
    void firstAdministratorThroughTheEmployeeScreen()
    {
        TestEnv env;
        env.createDatabase();
        TestEnv::setTime(QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
        {
            app::StationApp station;
            QVERIFY(station.start());
            admin::MainMenuWindow &menu = station.mainMenuWindow();
            // First run: the clock is shown, the menu is not launched over it.
            QVERIFY(station.clockScreen().isVisible());
            QVERIFY(!menu.isVisible());

            station.mainMenu().showAndRefresh();
            QVERIFY(menu.isVisible());
            QVERIFY(!control<QWidget>(&menu, "Frame4")->isHidden());
            control<QPushButton>(&menu, "Command10")->click();
            QVERIFY(!menu.isVisible());

            QWidget *employees = topLevel("Form2");
            QVERIFY(employees);
            QVERIFY(employees->isVisible());
            control<QLineEdit>(employees, "Text1")->setText("Ada");
            control<QLineEdit>(employees, "Text2")->setText("Admin");
            control<QComboBox>(employees, "Combo1")->setCurrentText("5-Administrator User");
            control<QLineEdit>(employees, "Text12")->setText("boss");
            control<QLineEdit>(employees, "Text22")->setText("secret");
            control<QLineEdit>(employees, "Text23")->setText("secret");
            control<QPushButton>(employees, "Command1")->click();
            QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(MessageBox::shownTexts().join('|')));

            // "Main Menu" returns with a refresh, a minute later: now the login panel.
            platform::Clock::advance(60000);
            control<QPushButton>(employees, "Command8")->click();
            QVERIFY(!employees->isVisible());
            QVERIFY(control<QWidget>(&menu, "Frame4")->isHidden());
            QVERIFY(!control<QWidget>(&menu, "Frame2")->isHidden());
            // That routine is the first to find an administrator, so it launches the clock once.
            QVERIFY(station.mainMenu().autoShown());
            QVERIFY(station.clockScreen().isVisible());
            QVERIFY(!menu.isVisible());
            platform::Clock::advance(60000);
            station.mainMenu().showAndRefresh();
            QVERIFY(menu.isVisible());
            QVERIFY(!control<QWidget>(&menu, "Frame2")->isHidden());

            control<QLineEdit>(&menu, "Text1")->setText("boss");
            control<QLineEdit>(&menu, "Text2")->setText("secret");
            control<QPushButton>(&menu, "Command5")->click();
            QVERIFY(!control<QWidget>(&menu, "Frame1")->isHidden());

            // "Edit Users" again shows the same, kept screen.
            control<QPushButton>(&menu, "Command1")->click();
            QCOMPARE(topLevel("Form2"), employees);
            QVERIFY(employees->isVisible());
            control<QPushButton>(employees, "Command8")->click();

            control<QCheckBox>(&menu, "Check22")->click();
            MessageBox::queueAnswer(MessageBox::Answer::Yes);
            control<QPushButton>(&menu, "Command4")->click();
            QVERIFY(station.hasEnded());
            QVERIFY(!menu.isVisible());
        }

        // The next start: the administrator exists, the option is on, the clock launches.
        app::StationApp again;
        QVERIFY(again.start());
        QVERIFY(again.mainMenu().options().isOn(admin::Option::Spanish));
        QVERIFY(control<QCheckBox>(&again.mainMenuWindow(), "Check22")->isChecked());
        QVERIFY(!again.mainMenu().noAdministrator());
        QVERIFY(again.mainMenu().autoShown());
        QVERIFY(again.clockScreen().isVisible());
    }
};

QTEST_MAIN(TestMenuFlow)
#include "tst_menuflow.moc"
