#include "testenv.h"

#include "settings/settingsstore.h"
#include "station/keyboardhook.h"
#include "station/lockdown.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QShortcut>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTest>
#include <QVBoxLayout>

#include <QDeadlineTimer>

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace station;
using namespace station::hook;

namespace {

// The five values with their key paths, in the order they are written.
const QList<QPair<QString, QString>> FivePolicies = {
    {PolicySystem, QStringLiteral("DisableTaskMgr")},
    {PolicyExplorer, QStringLiteral("NoLogoff")},
    {PolicyExplorer, QStringLiteral("NoClose")},
    {PolicySystem, QStringLiteral("DisableLockWorkstation")},
    {PolicySystem, QStringLiteral("DisableChangePassword")},
};

QList<int> policyValues()
{
    QList<int> values;
    for (const auto &p : FivePolicies)
        values << policyValue(p.first, p.second);
    return values;
}

// Names of the values in the policy file, in file order.
QStringList policyFileNames()
{
    QFile file(policyFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            names << QString::fromUtf8(line.left(equals)).section(QLatin1Char('\\'), -1);
    }
    return names;
}

// An ID field that records the key events that reach it.
class KeyRecorder : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;
    QList<QPair<QEvent::Type, int>> received;

    // Presses and releases of this key (a click with modifiers also presses the modifier keys).
    int count(int key) const
    {
        return int(std::count_if(received.cbegin(), received.cend(), [key](const auto &r) { return r.second == key; }));
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)
            received.append({e->type(), static_cast<QKeyEvent *>(e)->key()});
        return QLineEdit::event(e);
    }
};

// A clock screen with its ID field, and the main menu's window with a field of its own.
struct Station
{
    QWidget clock;
    KeyRecorder *clockField = new KeyRecorder(&clock);
    QWidget menu;
    KeyRecorder *menuField = new KeyRecorder(&menu);

    Station()
    {
        clock.setObjectName(QStringLiteral("Form1"));
        auto *layout = new QVBoxLayout(&clock);
        layout->addWidget(clockField);
        layout->addWidget(new QLineEdit(&clock)); // somewhere for Tab to go
        new QVBoxLayout(&menu);
        menu.layout()->addWidget(menuField);
    }
};

} // namespace

class TestKiosk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    // --- the decision -------------------------------------------------------------------

    void decision_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("eventType");
        QTest::addColumn<int>("vkCode");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<bool>("ctrlDown");
        QTest::addColumn<bool>("swallow");

        // The five combinations, on each of the four event types.
        const int types[] = {KeyDown, KeyUp, SysKeyDown, SysKeyUp};
        for (int type : types) {
            const QByteArray t = "0x" + QByteArray::number(type, 16);
            QTest::newRow("Alt+Tab " + t) << 0 << type << 9 << 0x20u << false << true;
            QTest::newRow("Alt+Esc " + t) << 0 << type << 27 << 0x20u << false << true;
            QTest::newRow("Ctrl+Esc " + t) << 0 << type << 27 << 0u << true << true;
            QTest::newRow("left Windows " + t) << 0 << type << 91 << 0u << false << true;
            QTest::newRow("right Windows " + t) << 0 << type << 92 << 0u << false << true;
        }
        // Other flag bits next to the Alt flag change nothing.
        QTest::newRow("Alt+Tab, extended flag too") << 0 << SysKeyDown << 9 << 0x21u << false << true;
        QTest::newRow("Ctrl+Alt+Esc") << 0 << SysKeyDown << 27 << 0x20u << true << true;
        QTest::newRow("Ctrl+left Windows") << 0 << KeyDown << 91 << 0u << true << true;

        QTest::newRow("Tab") << 0 << KeyDown << 9 << 0u << false << false;
        QTest::newRow("Tab up") << 0 << KeyUp << 9 << 0u << false << false;
        QTest::newRow("Esc") << 0 << KeyDown << 27 << 0u << false << false;
        QTest::newRow("Ctrl+Tab") << 0 << KeyDown << 9 << 0u << true << false;
        QTest::newRow("flag other than Alt with Tab") << 0 << KeyDown << 9 << 0x01u << false << false;
        QTest::newRow("letter A") << 0 << KeyDown << 0x41 << 0u << false << false;
        QTest::newRow("Alt+A") << 0 << SysKeyDown << 0x41 << 0x20u << false << false;
        QTest::newRow("Ctrl+A") << 0 << KeyDown << 0x41 << 0u << true << false;
        QTest::newRow("Alt+F4") << 0 << SysKeyDown << 0x73 << 0x20u << false << false;
        QTest::newRow("Windows-key neighbour 93") << 0 << KeyDown << 93 << 0u << false << false;

        // Only hook code 0 and the four key event types are looked at.
        QTest::newRow("code 3, Alt+Tab") << 3 << SysKeyDown << 9 << 0x20u << false << false;
        QTest::newRow("negative code, left Windows") << -1 << KeyDown << 91 << 0u << false << false;
        QTest::newRow("type 0x102, left Windows") << 0 << 0x102 << 91 << 0u << false << false;
        QTest::newRow("type 0x106, Alt+Tab") << 0 << 0x106 << 9 << 0x20u << false << false;
        QTest::newRow("type 0, Ctrl+Esc") << 0 << 0 << 27 << 0u << true << false;
    }
    void decision()
    {
        QFETCH(int, code);
        QFETCH(int, eventType);
        QFETCH(int, vkCode);
        QFETCH(uint, flags);
        QFETCH(bool, ctrlDown);
        QFETCH(bool, swallow);
        QCOMPARE(KeyboardHookSwallows(code, eventType, vkCode, flags, ctrlDown), swallow);
    }

    // --- Qt key events in the hook's terms ---------------------------------------------

    void keyMapping_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("qtType");
        QTest::addColumn<int>("eventType");
        QTest::addColumn<int>("vkCode");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<bool>("ctrlDown");
        QTest::addColumn<bool>("swallow");

        const int press = QEvent::KeyPress;
        const int release = QEvent::KeyRelease;
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << none << press << KeyDown << 9 << 0u << false << false;
        QTest::newRow("Tab up") << int(Qt::Key_Tab) << none << release << KeyUp << 9 << 0u << false << false;
        QTest::newRow("Alt+Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::AltModifier) << press
                                 << SysKeyDown << 9 << 0x20u << false << true;
        QTest::newRow("Alt+Tab up") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::AltModifier) << release
                                    << SysKeyUp << 9 << 0x20u << false << true;
        QTest::newRow("Alt+Shift+Tab arrives as Backtab")
            << int(Qt::Key_Backtab) << (Qt::AltModifier | Qt::ShiftModifier) << press << SysKeyDown << 9 << 0x20u
            << false << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << none << press << KeyDown << 27 << 0u << false << false;
        QTest::newRow("Alt+Esc") << int(Qt::Key_Escape) << Qt::KeyboardModifiers(Qt::AltModifier) << press
                                 << SysKeyDown << 27 << 0x20u << false << true;
        QTest::newRow("Ctrl+Esc") << int(Qt::Key_Escape) << Qt::KeyboardModifiers(Qt::ControlModifier) << press
                                  << KeyDown << 27 << 0u << true << true;
        QTest::newRow("Meta") << int(Qt::Key_Meta) << Qt::KeyboardModifiers(Qt::MetaModifier) << press << KeyDown
                              << 91 << 0u << false << true;
        QTest::newRow("Super_L") << int(Qt::Key_Super_L) << none << press << KeyDown << 91 << 0u << false << true;
        QTest::newRow("Super_R up") << int(Qt::Key_Super_R) << none << release << KeyUp << 92 << 0u << false << true;
        QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::ControlModifier) << press
                                  << KeyDown << 9 << 0u << true << false;
        QTest::newRow("letter A") << int(Qt::Key_A) << none << press << KeyDown << 0x41 << 0u << false << false;
        QTest::newRow("Alt+A") << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::AltModifier) << press << SysKeyDown
                               << 0x41 << 0x20u << false << false;
        QTest::newRow("digit 7") << int(Qt::Key_7) << none << press << KeyDown << 0x37 << 0u << false << false;
        QTest::newRow("unmapped key F4") << int(Qt::Key_F4) << Qt::KeyboardModifiers(Qt::AltModifier) << press
                                         << SysKeyDown << 0 << 0x20u << false << false;
        QTest::newRow("not a press or release") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::AltModifier)
                                                << int(QEvent::ShortcutOverride) << 0 << 9 << 0x20u << false << false;
    }
    void keyMapping()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, qtType);
        QFETCH(int, eventType);
        QFETCH(int, vkCode);
        QFETCH(uint, flags);
        QFETCH(bool, ctrlDown);
        QFETCH(bool, swallow);

        const QKeyEvent event(QEvent::Type(qtType), key, modifiers);
        const KeyInput input = keyInput(event);
        QCOMPARE(input.eventType, eventType);
        QCOMPARE(input.vkCode, vkCode);
        QCOMPARE(input.flags, quint32(flags));
        QCOMPARE(input.ctrlDown, ctrlDown);
        QCOMPARE(KeyboardHookSwallows(ActionCode, input.eventType, input.vkCode, input.flags, input.ctrlDown),
                 swallow);
    }

    // --- the filter ---------------------------------------------------------------------

    void filter_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("blocked");

        QTest::newRow("Alt+Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::AltModifier) << true;
        QTest::newRow("Alt+Shift+Tab") << int(Qt::Key_Backtab) << (Qt::AltModifier | Qt::ShiftModifier) << true;
        QTest::newRow("Alt+Esc") << int(Qt::Key_Escape) << Qt::KeyboardModifiers(Qt::AltModifier) << true;
        QTest::newRow("Ctrl+Esc") << int(Qt::Key_Escape) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
        QTest::newRow("Meta") << int(Qt::Key_Meta) << Qt::KeyboardModifiers() << true;
        QTest::newRow("Super_L") << int(Qt::Key_Super_L) << Qt::KeyboardModifiers() << true;
        QTest::newRow("Super_R") << int(Qt::Key_Super_R) << Qt::KeyboardModifiers() << true;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers() << false;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << false;
        QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
        QTest::newRow("letter") << int(Qt::Key_Q) << Qt::KeyboardModifiers() << false;
        QTest::newRow("Alt+letter") << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::AltModifier) << false;
        QTest::newRow("Enter") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << false;
    }
    void filter()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, blocked);

        Station s;
        s.clock.show();
        s.clockField->setFocus();
        KeyboardHook hook(&s.clock);

        // While the clock screen shows: a blocked combination reaches nothing, press or release.
        QTest::keyClick(s.clockField, Qt::Key(key), modifiers);
        QCOMPARE(s.clockField->count(key), blocked ? 0 : 2);

        // Hidden: every key goes through, to the clock's own field as to any other window.
        s.clock.hide();
        s.menu.show();
        QTest::keyClick(s.menuField, Qt::Key(key), modifiers);
        QCOMPARE(s.menuField->count(key), 2);
        s.clockField->received.clear();
        QTest::keyClick(s.clockField, Qt::Key(key), modifiers);
        QCOMPARE(s.clockField->count(key), 2);

        // Shown again: blocked again.
        s.clock.show();
        s.clockField->received.clear();
        QTest::keyClick(s.clockField, Qt::Key(key), modifiers);
        QCOMPARE(s.clockField->count(key), blocked ? 0 : 2);
    }

    void typingReachesTheFocusedField()
    {
        Station s;
        s.clock.show();
        s.clockField->setFocus();
        KeyboardHook hook(&s.clock);

        QTest::keyClicks(s.clockField, QStringLiteral("4242ab"));
        QCOMPARE(s.clockField->text(), QStringLiteral("4242ab"));
        QTest::keyClick(s.clockField, Qt::Key_Backspace);
        QCOMPARE(s.clockField->text(), QStringLiteral("4242a"));
    }

    void blockedCombinationTriggersNoShortcut()
    {
        Station s;
        int fired = 0;
        auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Escape), &s.clock);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, [&] { ++fired; });
        s.clock.show();
        s.clock.activateWindow(); // shortcuts need an active window
        QVERIFY(QTest::qWaitForWindowActive(&s.clock));
        s.clockField->setFocus();

        // Without the hook the shortcut fires, so the check below can see one.
        QTest::keyClick(s.clockField, Qt::Key_Escape, Qt::ControlModifier);
        QCOMPARE(fired, 1);

        KeyboardHook hook(&s.clock);
        s.clockField->received.clear();
        QTest::keyClick(s.clockField, Qt::Key_Escape, Qt::ControlModifier);
        QCOMPARE(fired, 1);
        QCOMPARE(s.clockField->count(Qt::Key_Escape), 0);
    }

    void policiesFollowTheClockOnKeyEvents()
    {
        Station s;
        s.clock.show();
        KeyboardHook hook(&s.clock);
        const QList<int> unset(5, -1), set(5, 1), cleared(5, 0);

        // Nothing is written until a key event.
        QCOMPARE(policyValues(), unset);

        QTest::keyClick(s.clockField, Qt::Key_4);
        QCOMPARE(policyValues(), set);

        // Rewritten on every key event: a value changed behind the station's back comes back.
        SetPolicyValue(PolicyExplorer, QStringLiteral("NoClose"), 0);
        QTest::keyClick(s.clockField, Qt::Key_4);
        QCOMPARE(policyValues(), set);
        // ... also on a swallowed one.
        SetPolicyValue(PolicySystem, QStringLiteral("DisableTaskMgr"), 0);
        QTest::keyClick(s.clockField, Qt::Key_Tab, Qt::AltModifier);
        QCOMPARE(policyValues(), set);

        // Hiding alone writes nothing; the first key event afterwards clears all five, and
        // cleared values stay in the file as 0.
        s.clock.hide();
        s.menu.show();
        QCOMPARE(policyValues(), set);
        QTest::keyClick(s.menuField, Qt::Key_A);
        QCOMPARE(policyValues(), cleared);
        QCOMPARE(policyFileNames().size(), 5);

        // Shown again: the next key event sets them again.
        s.clock.show();
        QCOMPARE(policyValues(), cleared);
        QTest::keyPress(s.clockField, Qt::Key_Shift);
        QCOMPARE(policyValues(), set);
    }

    // --- the policy file ----------------------------------------------------------------

    void policyFileNamesAndOrder()
    {
        const QStringList order = {"DisableTaskMgr", "NoLogoff", "NoClose", "DisableLockWorkstation",
                                   "DisableChangePassword"};
        SetLockdownPolicies();
        QCOMPARE(policyFileNames(), order);
        QCOMPARE(policyValues(), QList<int>(5, 1));
        ClearLockdownPolicies();
        QCOMPARE(policyFileNames(), order);
        QCOMPARE(policyValues(), QList<int>(5, 0));

        // The key paths: three under ...\policies\system, two under ...\policies\Explorer.
        QCOMPARE(PolicySystem, QStringLiteral("software\\microsoft\\windows\\currentversion\\policies\\system"));
        QCOMPARE(PolicyExplorer, QStringLiteral("software\\microsoft\\windows\\currentversion\\policies\\Explorer"));
        QCOMPARE(policyValue(PolicyExplorer, "DisableTaskMgr"), -1);
    }

    void policyFileKeepsOtherValuesAndMendsItsOrder()
    {
        // A file with the values out of order and one more value of someone else's.
        QDir().mkpath(settings::storeFolder());
        QFile file(policyFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[software]\n"
                   "microsoft\\windows\\currentversion\\policies\\Explorer\\NoClose=1\n"
                   "microsoft\\windows\\currentversion\\policies\\system\\DisableTaskMgr=1\n"
                   "other\\Kept=7\n");
        file.close();

        ClearLockdownPolicies();
        QCOMPARE(policyFileNames(), QStringList({"DisableTaskMgr", "NoLogoff", "NoClose", "DisableLockWorkstation",
                                                 "DisableChangePassword", "Kept"}));
        QCOMPARE(policyValues(), QList<int>(5, 0));
        QCOMPARE(policyValue(QStringLiteral("software\\other"), QStringLiteral("Kept")), 7);

        // One value alone changes only that value.
        SetPolicyValue(PolicyExplorer, QStringLiteral("NoLogoff"), 1);
        QCOMPARE(policyValues(), QList<int>({0, 1, 0, 0, 0}));
        QCOMPARE(policyValue(QStringLiteral("software\\other"), QStringLiteral("Kept")), 7);
    }

    void policyWriteCreatesTheFolderAndFailsQuietly()
    {
        // The store folder does not exist yet.
        settings::setStoreFolder(m_env->folder() + QStringLiteral("/new/config"));
        SetPolicyValue(PolicySystem, QStringLiteral("DisableTaskMgr"), 1);
        QCOMPARE(policyValue(PolicySystem, QStringLiteral("DisableTaskMgr")), 1);

        // A folder that cannot be written leaves the values as they were.
        QFile::setPermissions(settings::storeFolder(), QFile::ReadOwner | QFile::ExeOwner);
        ClearLockdownPolicies();
        QFile::setPermissions(settings::storeFolder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (::geteuid() != 0) // root writes anyway
            QCOMPARE(policyValue(PolicySystem, QStringLiteral("DisableTaskMgr")), 1);
        QCOMPARE(QDir(settings::storeFolder()).entryList(QDir::Files), QStringList("policies.conf"));
    }

    // Last of the in-process tests: the installed hook stays for the rest of the run.
    void installedHookServesTheRun()
    {
        Station s;
        installKeyboardHook(&s.clock);
        s.clock.show();
        QTest::keyClick(s.clockField, Qt::Key_Escape, Qt::AltModifier);
        QCOMPARE(s.clockField->count(Qt::Key_Escape), 0);

        // A second call points the one hook at another clock screen; the first one no longer
        // counts.
        Station other;
        installKeyboardHook(&other.clock);
        other.clock.show();
        QTest::keyClick(s.clockField, Qt::Key_Escape, Qt::AltModifier);
        QCOMPARE(s.clockField->count(Qt::Key_Escape), 0); // the other clock shows
        other.clock.hide();
        QTest::keyClick(s.clockField, Qt::Key_Escape, Qt::AltModifier);
        QCOMPARE(s.clockField->count(Qt::Key_Escape), 2);
        QCOMPARE(qApp->findChildren<KeyboardHook *>(Qt::FindDirectChildrenOnly).size(), 1);
        QCOMPARE(policyValues(), QList<int>(5, 0));

        // Under offscreen there is no X server to grab from.
        QVERIFY(!findHook()->keysGrabbed());
    }

    // --- X11 grabs ----------------------------------------------------------------------

    void x11GrabsWhileTheClockShows();

private:
    static KeyboardHook *findHook()
    {
        const auto hooks = qApp->findChildren<KeyboardHook *>(Qt::FindDirectChildrenOnly);
        return hooks.isEmpty() ? nullptr : hooks.first();
    }

    std::unique_ptr<TestEnv> m_env;
};

#include "tst_kiosk.moc"

#ifdef CHRONOTALLY_HAVE_X11

// Xlib after everything else: its macros (KeyPress, None, Bool ...) clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

int lastXError = 0;
int recordXError(Display *, XErrorEvent *e)
{
    lastXError = e->error_code;
    return 0;
}

// What the server answers another client that grabs the key on the root window: Success (0)
// or BadAccess when the clock holds it. A successful grab is given back at once.
int grabAnswer(Display *display, KeySym sym, unsigned int modifiers)
{
    const KeyCode code = XKeysymToKeycode(display, sym);
    if (code == 0)
        return -1;
    const Window root = XDefaultRootWindow(display);
    XSync(display, False);
    lastXError = 0;
    XErrorHandler previous = XSetErrorHandler(recordXError);
    XGrabKey(display, code, modifiers, root, True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    const int answer = lastXError;
    if (answer == 0) {
        XUngrabKey(display, code, modifiers, root);
        XSync(display, False);
    }
    XSetErrorHandler(previous);
    return answer;
}

// Starts Xvfb on a free display and ends it when it goes.
class Xvfb
{
public:
    ~Xvfb()
    {
        if (m_display)
            XCloseDisplay(m_display);
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }

    // Xvfb picks a free display itself and writes its number to the given pipe once it
    // accepts clients, so parallel runs never race for a number.
    bool start(const QString &program)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {"-displayfd", QString::number(fds[1]), "-screen", "0", "1024x768x24",
                                  "-nolisten", "tcp"});
        ::close(fds[1]);
        QByteArray number;
        if (m_process.waitForStarted(5000)) {
            QDeadlineTimer deadline(15000);
            pollfd p{fds[0], POLLIN, 0};
            while (!number.endsWith('\n') && ::poll(&p, 1, int(deadline.remainingTime())) > 0) {
                char c;
                if (::read(fds[0], &c, 1) != 1)
                    break;
                number.append(c);
            }
        }
        ::close(fds[0]);
        if (!number.endsWith('\n'))
            return false;
        m_name = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        m_display = XOpenDisplay(m_name.toLocal8Bit().constData());
        return m_display != nullptr;
    }

    QString name() const { return m_name; }
    Display *display() const { return m_display; }

private:
    QProcess m_process;
    QString m_name;
    Display *m_display = nullptr;
};

// The station side of the X11 test: a clock screen under the xcb platform, shown and hidden
// on command, answering each command with a line.
class ClockChild
{
public:
    ~ClockChild()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("quit\n");
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    bool start(const QString &display, const QString &storeFolder)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--x11-clock"), storeFolder});
        return m_process.waitForStarted(10000);
    }

    // The next answer line, or empty after the time-out or when the child has ended.
    QByteArray answer()
    {
        QDeadlineTimer deadline(20000);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() || m_process.state() != QProcess::Running)
                return QByteArray();
            m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        return m_process.readLine().trimmed();
    }

    QByteArray command(const QByteArray &line)
    {
        m_process.write(line + '\n');
        return answer();
    }

private:
    QProcess m_process;
};

// Runs in the child process: the clock screen with the hook installed as at start-up.
int runClockChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    settings::setStoreFolder(QString::fromLocal8Bit(argv[2]));
    QWidget clock;
    clock.setObjectName(QStringLiteral("Form1"));
    clock.resize(300, 200);
    installKeyboardHook(&clock);
    auto *hook = app.findChild<KeyboardHook *>(QString(), Qt::FindDirectChildrenOnly);

    auto report = [&](const char *what) {
        std::printf("%s grabbed=%d\n", what, hook && hook->keysGrabbed() ? 1 : 0);
        std::fflush(stdout);
    };
    clock.show();
    report("shown");

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            app.quit();
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line == "hide") {
                clock.hide();
                report("hidden");
            } else if (line == "show") {
                clock.show();
                report("shown");
            } else if (line == "quit") {
                app.quit();
            }
        }
    });
    return app.exec();
}

} // namespace

void TestKiosk::x11GrabsWhileTheClockShows()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        QSKIP("Xvfb is not installed (Debian package xvfb); the X11 key grabs are not tested");

    Xvfb server;
    QVERIFY2(server.start(xvfb), "Xvfb did not start");
    Display *other = server.display(); // the second client, standing in for the window manager

    ClockChild station;
    QVERIFY(station.start(server.name(), settings::storeFolder()));
    QCOMPARE(station.answer(), QByteArray("shown grabbed=1"));

    struct Combination
    {
        const char *name;
        KeySym sym;
        unsigned int modifiers;
    };
    const unsigned int numLock = Mod2Mask;
    const Combination blocked[] = {
        {"Alt+Tab", XK_Tab, Mod1Mask},
        {"Alt+Escape", XK_Escape, Mod1Mask},
        {"Ctrl+Escape", XK_Escape, ControlMask},
        {"Super_L", XK_Super_L, 0},
        {"Super_R", XK_Super_R, 0},
        {"Alt+Tab with NumLock", XK_Tab, Mod1Mask | numLock},
        {"Alt+Tab with CapsLock", XK_Tab, Mod1Mask | LockMask},
        {"Super_L with NumLock and CapsLock", XK_Super_L, numLock | LockMask},
    };
    auto expectAll = [&](int expected) {
        for (const Combination &c : blocked)
            QVERIFY2(grabAnswer(other, c.sym, c.modifiers) == expected,
                     qPrintable(QStringLiteral("%1: expected %2").arg(c.name).arg(expected)));
    };

    expectAll(BadAccess);
    // Plain keys stay free.
    QCOMPARE(grabAnswer(other, XK_Tab, 0), 0);
    QCOMPARE(grabAnswer(other, XK_Escape, 0), 0);
    QCOMPARE(grabAnswer(other, XK_Tab, ControlMask), 0);

    QCOMPARE(station.command("hide"), QByteArray("hidden grabbed=0"));
    expectAll(0);

    QCOMPARE(station.command("show"), QByteArray("shown grabbed=1"));
    expectAll(BadAccess);

    // A window manager that holds Alt+Tab first keeps it; the station takes the rest and
    // carries on (the refused grab must not end it).
    QCOMPARE(station.command("hide"), QByteArray("hidden grabbed=0"));
    const KeyCode tab = XKeysymToKeycode(other, XK_Tab);
    XGrabKey(other, tab, Mod1Mask, XDefaultRootWindow(other), True, GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    QCOMPARE(station.command("show"), QByteArray("shown grabbed=1"));
    QCOMPARE(grabAnswer(other, XK_Escape, ControlMask), BadAccess);
    QCOMPARE(grabAnswer(other, XK_Super_L, 0), BadAccess);
    QCOMPARE(station.command("hide"), QByteArray("hidden grabbed=0"));
    XUngrabKey(other, tab, Mod1Mask, XDefaultRootWindow(other));
    XSync(other, False);
}

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--x11-clock") == 0)
        return runClockChild(argc, argv);
    QApplication app(argc, argv);
    TestKiosk test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#else

void TestKiosk::x11GrabsWhileTheClockShows()
{
    QSKIP("built without X11");
}

QTEST_MAIN(TestKiosk)

#endif

