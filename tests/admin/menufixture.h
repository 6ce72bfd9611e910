#pragma once

#include "testenv.h"

#include "admin/mainmenu.h"
#include "admin/mainmenuwindow.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"
#include "station/clockscreenport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QTest>

// A clock screen that records what the main menu asks of it.
class FakeClock : public station::ClockScreenPort
{
public:
    int shown = 0;
    int hidden = 0;
    int unloadRequests = 0;
    int centred = 0;
    bool visible = false;
    bool punchPanel = true;
    bool combinedButton = false;
    bool sizable = false;
    bool onTop = false;
    QRect geometryTwips;

    void showClock() override { ++shown; visible = true; }
    void hideClock() override { ++hidden; visible = false; }
    bool isClockVisible() const override { return visible; }
    void setPunchPanelVisible(bool v) override { punchPanel = v; }
    void setCombinedButtonVisible(bool v) override { combinedButton = v; }
    void setSizableBorder() override { sizable = true; }
    void setWindowGeometryTwips(int left, int top, int width, int height) override
    {
        geometryTwips = QRect(left, top, width, height);
    }
    void centrePunchPanel() override { ++centred; }
    void setStayOnTop(bool on) override { onTop = on; }
    void requestUnload() override { ++unloadRequests; }
};

// One station: the temporary world, a database of the row's engine, the main menu with its window
// and a fake clock screen. The start-up routine is left to the test.
struct Station {
    TestEnv env;
    std::shared_ptr<data::Database> db;
    FakeClock clock;
    admin::MainMenu menu;
    admin::MainMenuWindow window{menu};
    int endCalls = 0;
    QStringList opened;

    Station()
    {
        // A row whose engine is not available here gets none: the test skips it.
        if (env.unavailable().isEmpty())
            db = env.createDatabase();
        menu.setView(&window);
        menu.setClockScreen(&clock);
        menu.setEndProgram([this] { ++endCalls; });
        window.setEmployeesOpener([this] { opened << QStringLiteral("employees"); });
        window.setReportsOpener([this] { opened << QStringLiteral("reports"); });
        window.setTimeEditOpener([this] { opened << QStringLiteral("timeedit"); });
        window.setClockedInOpener([this] { opened << QStringLiteral("clockedin"); });
    }

    void addAdministrator(const QString &id = QStringLiteral("boss"), const QString &password = QStringLiteral("secret"),
                          int disabled = 0)
    {
        TestEnv::addEmployee(*db, id, disabled, QStringLiteral("5-Administrator User"), password);
    }

    template <typename T>
    T *find(const char *name) const
    {
        T *w = window.findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QPushButton *button(const char *name) const { return find<QPushButton>(name); }
    QCheckBox *box(const char *name) const { return find<QCheckBox>(name); }
    QLineEdit *edit(const char *name) const { return find<QLineEdit>(name); }
    // Shown as far as the window's own state goes (the window itself need not be on screen).
    bool shown(const char *name) const { return !find<QWidget>(name)->isHidden(); }

    // Replaces a field's text the way typing does (each keystroke a change).
    void type(const char *name, const QString &text) const
    {
        QLineEdit *e = edit(name);
        e->clear();
        QTest::keyClicks(e, text);
    }

    // The raw stored text of a key, or "<absent>".
    static QString stored(const settings::Key &key)
    {
        return settings::GetSetting(settings::Application, key.sectionName(), key.keyName(), QStringLiteral("<absent>"));
    }
};
