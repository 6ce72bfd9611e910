#include "testenv.h"

#include "app/stationapp.h"
#include "platform/browser.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "reports/daterangepanel.h"
#include "reports/payexceptions.h"
#include "reports/payroll.h"
#include "reports/reportcolumns.h"
#include "reports/reportengine.h"
#include "reports/reportoutputs.h"
#include "reports/reportwindow.h"
#include "settings/keys.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

using platform::MessageBox;
using reports::ReportWindow;

namespace {
const QDate Day(2026, 3, 10);

template <typename T>
T *control(QWidget *window, const QString &name)
{
    T *w = window->findChild<T *>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

QAction *entry(QWidget *window, const QString &name)
{
    return control<QAction>(window, name);
}

QString columnSetting(const char *key)
{
    return settings::read({"Reports", key, ""});
}

void addPunch(const QString &id, const QDateTime &in, const QDateTime &out)
{
    data::Database::current()->exec(
        "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)",
        {in, out.isValid() ? QVariant(out) : QVariant(), in.date(), id});
}
} // namespace

class TestReportScreen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    QPointer<ReportWindow> m_screen;
    int m_refreshed = 0;
    int m_menuShown = 0;

    ReportWindow *openScreen()
    {
        m_screen = new ReportWindow([this] { return m_env->settings(); });
        m_screen->controller().setReturnToMainMenu([this] { ++m_refreshed; });
        m_screen->controller().setShowMainMenu([this] { ++m_menuShown; });
        if (!m_screen->open())
            qFatal("the report screen does not open");
        return m_screen;
    }
    void setRange(const QStringList &one, const QStringList &two)
    {
        m_screen->dateRange().setRange(1, {one[0], one[1], one[2]});
        m_screen->dateRange().setRange(2, {two[0], two[1], two[2]});
    }
    reports::ReportListModel &model() { return m_screen->controller().model(); }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        m_env->createDatabase();
        m_refreshed = m_menuShown = 0;
    }
    void cleanup()
    {
        delete m_screen;
        m_env.reset();
    }

    // With nothing stored every column is shown, in the restoration order, each entry checked.
    void opensWithTheStoredColumns()
    {
        ReportWindow *screen = openScreen();
        QCOMPARE(screen->objectName(), QString("Form4"));
        QCOMPARE(screen->windowTitle(), QString("Reports"));
        QVERIFY(screen->isVisible());
        QStringList expected{" "};
        for (int c : reports::restorationOrder())
            expected << reports::reportColumns()[c].columnTitle();
        QCOMPARE(model().titles(), expected);
        QCOMPARE(expected.mid(13, 2), (QStringList{"Memo", "Notes"}));
        QCOMPARE(expected.last(), QString("Worked Date"));
        for (const reports::ReportColumn &c : reports::reportColumns())
            QVERIFY(entry(screen, c.menuObjectName())->isChecked());
        QVERIFY(control<QRadioButton>(screen, "Option1")->isChecked());
        QCOMPARE(control<QTreeView>(screen, "ListView1")->columnWidth(0), 0);
    }

    // A toggle removes or appends the column, stores "True"/"False" and empties the rows;
    // the next opening restores the set in the restoration order.
    void columnToggles()
    {
        ReportWindow *screen = openScreen();
        model().appendRow({"1"});
        entry(screen, "Memo")->trigger();
        QCOMPARE(model().columnByTitle("Memo"), 0);
        QVERIFY(!entry(screen, "Memo")->isChecked());
        QCOMPARE(columnSetting("Memo"), QString("False"));
        QCOMPARE(model().rowCount(), 0);

        entry(screen, "Notes")->trigger();
        entry(screen, "Memo")->trigger();
        QCOMPARE(model().titles().last(), QString("Memo"));
        QCOMPARE(columnSetting("Memo"), QString("True"));

        delete m_screen;
        screen = openScreen();
        QCOMPARE(model().columnByTitle("Notes"), 0);
        QVERIFY(!entry(screen, "Notes")->isChecked());
        QCOMPARE(model().columnByTitle("Memo"), 14);
    }

    // Dates as typed: a field at "MM" or empty refuses the run with its message; a valid
    // range is stored as typed and reported.
    void runReportChecksAndStoresTheRange_data()
    {
        QTest::addColumn<QStringList>("one");
        QTest::addColumn<QStringList>("two");
        QTest::addColumn<int>("rows");
        QTest::newRow("month MM") << QStringList{"MM", "10", "2026"} << QStringList{"3", "10", "2026"} << -1;
        QTest::newRow("empty month") << QStringList{"3", "10", "2026"} << QStringList{"", "10", "2026"} << -1;
        QTest::newRow("initial texts") << QStringList{"MM", "DD", "YYYY"} << QStringList{"MM", "DD", "YYYY"} << -1;
        for (const QByteArray &engine : TestEnv::engineTags()) {
            QTest::addRow("%s: one day", engine.constData()) << QStringList{"03", "10", "2026"} << QStringList{"3", "10", "2026"} << 1;
            QTest::addRow("%s: reversed range", engine.constData()) << QStringList{"3", "11", "2026"} << QStringList{"3", "10", "2026"} << 0;
        }
    }
    void runReportChecksAndStoresTheRange()
    {
        QFETCH(QStringList, one);
        QFETCH(QStringList, two);
        QFETCH(int, rows);
        TestEnv::addEmployee(*data::Database::current(), "100");
        addPunch("100", QDateTime(Day, QTime(8, 0)), QDateTime(Day, QTime(9, 0)));
        settings::write(settings::keys::ReportDate1, "1/1/2000");
        ReportWindow *screen = openScreen();
        model().appendRow({"stale"});
        setRange(one, two);
        control<QPushButton>(screen, "Command1")->click();
        if (rows < 0) {
            QCOMPARE(MessageBox::shown().size(), 1);
            QCOMPARE(MessageBox::shown()[0].text, QString("Please Enter a Date Range before running reports"));
            QCOMPARE(MessageBox::shown()[0].title, QString());
            QCOMPARE(model().rowCount(), 0);
            QCOMPARE(settings::read(settings::keys::ReportDate1), QString("1/1/2000"));
            return;
        }
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(model().rowCount(), rows);
        QCOMPARE(settings::read(settings::keys::ReportDate1), one.join('/'));
        QCOMPARE(settings::read(settings::keys::ReportDate2), two.join('/'));
    }

    // While the list fills, nothing starts a second fill or changes the columns, and the
    // entries that would are disabled; afterwards they work again.
    void aFillCannotBeStartedTwice()
    {
        TestEnv::addEmployee(*data::Database::current(), "100");
        addPunch("100", QDateTime(Day, QTime(8, 0)), QDateTime());
        ReportWindow *screen = openScreen();
        setRange({"3", "10", "2026"}, {"3", "10", "2026"});
        QStringList during;
        int yields = 0;
        screen->controller().setYield([&](qint64) {
            if (yields++)
                return;
            for (const char *name : {"Command1", "Command14", "Command2"})
                during << QString("%1 %2").arg(name).arg(control<QPushButton>(screen, name)->isEnabled());
            for (const char *name : {"RunReport", "ExportReport", "SaveReport"})
                during << QString("%1 %2").arg(name).arg(entry(screen, name)->isEnabled());
            during << QString("Frame1 %1").arg(control<QWidget>(screen, "Frame1")->isEnabled());
            during << QString("run %1").arg(screen->controller().runReport(reports::Filter::OnlyWorked,
                                                                          {"3", "10", "2026"}, {"3", "10", "2026"}));
            during << QString("view %1").arg(screen->controller().showClockedIn());
            during << QString("toggle %1").arg(screen->controller().toggleColumn(0));
            screen->setClockedInTrigger("now");
        });
        control<QPushButton>(screen, "Command1")->click();
        QCOMPARE(during, (QStringList{"Command1 0", "Command14 0", "Command2 0", "RunReport 0", "ExportReport 0",
                                      "SaveReport 0", "Frame1 0", "run 0", "view 0", "toggle 0"}));
        QCOMPARE(model().rowCount(), 1);
        QCOMPARE(model().cell(0, model().columnByTitle("Total-Fraction") - 1), QString("0"));
        QVERIFY(control<QPushButton>(screen, "Command1")->isEnabled());
        QVERIFY(entry(screen, "FirstName")->isChecked());
        QVERIFY(screen->controller().showClockedIn());
    }

    // The report is read on a thread of its own and listed as it comes: every punch in
    // order with its running total, however many batches it takes. A database gone since the
    // screen opened is told, and the list stays empty.
    void aLongReportComesWholeAndInOrder_data() { TestEnv::engineRows(); }
    void aLongReportComesWholeAndInOrder()
    {
        QFETCH(data::Engine, engine);
        const int punches = 2 * reports::ReportEngine::BatchRows + 7;
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "100");
        QVERIFY(!db->beginWrite());
        for (int i = 0; i < punches; ++i) {
            const QDateTime in(Day, QTime(0, 0).addSecs(i * 10));
            addPunch("100", in, in.addSecs(60));
        }
        QVERIFY(!db->commit());
        ReportWindow *screen = openScreen();
        setRange({"3", "10", "2026"}, {"3", "10", "2026"});
        control<QPushButton>(screen, "Command1")->click();
        QCOMPARE(model().rowCount(), punches);
        const int total = model().columnByTitle(reports::titles::TotalHourMinute) - 1;
        for (int row : {0, reports::ReportEngine::BatchRows, punches - 1}) {
            QCOMPARE(model().cell(row, 0), QString::number(row + 1));
            QCOMPARE(model().cell(row, total), QString("%1:%2").arg((row + 1) / 60).arg((row + 1) % 60));
        }
        if (engine != data::Engine::Embedded)
            return;
        MessageBox::clearShown();
        QVERIFY(QFile::rename(m_env->databasePath(), m_env->databasePath() + ".away"));
        control<QPushButton>(screen, "Command1")->click();
        QCOMPARE(model().rowCount(), 0);
        QCOMPARE(MessageBox::shownTexts().size(), 1);
        QVERIFY2(MessageBox::shownTexts().first().startsWith("Could not find file"),
                 qPrintable(MessageBox::shownTexts().first()));
        QVERIFY(control<QPushButton>(screen, "Command1")->isEnabled());
    }

    // "Payroll Summary" and "Exceptions" fill the list under their own titles, the summary
    // with a line per employee and the total line, and cannot be started twice; "Export
    // Report" reads them as shown; "Run Report" brings the report's columns back as they were.
    void payrollListsInTheReportList()
    {
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "100");
        QVERIFY(!db->exec("update usertable set HourlyRate = '20' where UserIDLogin = '100'"));
        for (int day = 9; day <= 13; ++day)
            addPunch("100", QDateTime(QDate(2026, 3, day), QTime(8, 0)), QDateTime(QDate(2026, 3, day), QTime(17, 0)));
        addPunch("X1", QDateTime(Day, QTime(9, 0)), QDateTime(Day, QTime(10, 0)));
        ReportWindow *screen = openScreen();
        entry(screen, "Memo")->trigger();
        const QStringList reportTitles = model().titles();
        setRange({"3", "8", "2026"}, {"3", "14", "2026"});
        QStringList during;
        screen->controller().setYield([&](qint64) {
            if (!during.isEmpty())
                return;
            for (const char *name : {"PayrollSummary", "Exceptions", "ClosePayPeriod", "RunReport"})
                during << QString("%1 %2").arg(name).arg(entry(screen, name)->isEnabled());
            during << QString("again %1").arg(screen->controller().showPayrollSummary({"3", "8", "2026"}, {"3", "14", "2026"}));
        });
        entry(screen, "PayrollSummary")->trigger();
        QCOMPARE(during, (QStringList{"PayrollSummary 0", "Exceptions 0", "ClosePayPeriod 0", "RunReport 0", "again 0"}));
        QCOMPARE(model().titles(), QStringList{" "} + reports::summaryTitles());
        QCOMPARE(model().rowCount(), 2);
        auto cell = [&](int row, const QString &title) { return model().cell(row, model().columnByTitle(title) - 1); };
        QCOMPARE((QStringList{cell(0, "UserID Login"), cell(0, "Regular Minutes"), cell(0, "Overtime Minutes"),
                              cell(0, "Gross Pay"), cell(1, "First Name"), cell(1, "Gross Pay")}),
                 (QStringList{"100", "2400", "300", "950.00", "Total", "950.00"}));
        entry(screen, "ExportReport")->trigger();
        QCOMPARE(platform::Clipboard::text().section("\r\n", 0, 0), reports::summaryTitles().join('\t') + '\t');

        entry(screen, "Exceptions")->trigger();
        QCOMPARE(model().titles(), QStringList{" "} + reports::exceptionTitles());
        QCOMPARE(model().rowCount(), 1);
        QCOMPARE(model().rowCells(0).mid(1, 2), (QStringList{"No such employee", "X1"}));

        control<QPushButton>(screen, "Command1")->click();
        QCOMPARE(model().titles(), reportTitles);
        QCOMPARE(model().rowCount(), 5);
        entry(screen, "PayrollSummary")->trigger();
        entry(screen, "Notes")->trigger();
        QStringList withoutNotes = reportTitles;
        withoutNotes.removeOne("Notes");
        QCOMPARE(model().titles(), withoutNotes);
    }

    // "Close Pay Period" and "Reopen Pay Period" act on the period holding the first date,
    // in the administrator's name, and say what came of it.
    void closingAndReopeningThePeriod()
    {
        ReportWindow *screen = openScreen();
        screen->controller().setAdministratorSource([] { return QString("boss"); });
        setRange({"3", "10", "2026"}, {"3", "31", "2026"});
        const QStringList steps{"ClosePayPeriod", "ClosePayPeriod", "ReopenPayPeriod", "ReopenPayPeriod"};
        TestEnv::setTime(QDateTime(QDate(2026, 3, 14), QTime(12, 0)));
        entry(screen, "ClosePayPeriod")->trigger();
        TestEnv::setTime(QDateTime(QDate(2026, 3, 15), QTime(12, 0)));
        for (const QString &step : steps)
            entry(screen, step)->trigger();
        QStringList texts;
        for (const auto &shown : MessageBox::shown())
            texts << shown.text;
        QCOMPARE(texts, (QStringList{
                            "The pay period from 3/8/2026 to 3/14/2026 has not ended yet. It can be closed from 3/15/2026 on.",
                            "The pay period from 3/8/2026 to 3/14/2026 is closed.",
                            "The pay period from 3/8/2026 to 3/14/2026 is already closed.",
                            "The pay period from 3/8/2026 to 3/14/2026 is open again.",
                            "The pay period from 3/8/2026 to 3/14/2026 is not closed."}));
        const auto audit = TestEnv::auditRows(*data::Database::current());
        QCOMPARE(audit.size(), 2);
        QCOMPARE(audit[0].mid(2, 3), (QStringList{"boss", "Insert", "PayPeriods"}));
    }

    // "Export Report" and "Print Report" hand on the list as it is shown.
    void outputsReadTheShownList()
    {
        TestEnv::addEmployee(*data::Database::current(), "100");
        addPunch("100", QDateTime(Day, QTime(8, 0)), QDateTime());
        ReportWindow *screen = openScreen();
        screen->controller().showClockedIn();
        entry(screen, "ExportReport")->trigger();
        const QStringList lines = platform::Clipboard::text().split("\r\n");
        QCOMPARE(lines.size(), 3); // titles, the one row, and the end of the last line
        QVERIFY(lines[1].startsWith("First100\t"));
        platform::Launcher::clearStarted();
        control<QPushButton>(screen, "Command2")->click();
        QCOMPARE(platform::Launcher::started().size(), 1);
        QFile page(reports::ReportOutputs::pagePath());
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().contains("First100"));

        // File, "Print Options" shows the printer frame over the list; the screen holds its
        // table engine from the opening on.
        QWidget *frame = control<QWidget>(screen, "Frame1");
        QVERIFY(frame->isHidden());
        entry(screen, "PrintReport")->trigger();
        QVERIFY(!frame->isHidden());
        QVERIFY(screen->controller().tableEngine());
    }

    // Closing the window while the list fills hides it at once and deletes it once the fill
    // has ended, not under its feet.
    void closingDuringAFill()
    {
        TestEnv::addEmployee(*data::Database::current(), "100");
        addPunch("100", QDateTime(Day, QTime(8, 0)), QDateTime());
        ReportWindow *screen = openScreen();
        bool hiddenWhileFilling = false;
        screen->controller().setYield([&](qint64) {
            screen->close();
            hiddenWhileFilling = !screen->isVisible() && !m_screen.isNull();
        });
        screen->controller().showClockedIn();
        QVERIFY(hiddenWhileFilling);
        QCOMPARE(m_menuShown, 1);
        QTRY_VERIFY(m_screen.isNull());
    }

    // Text15: any new text shows the screen and runs the clocked-in view.
    void triggerFieldShowsTheClockedInView_data() { TestEnv::engineRows(); }
    void triggerFieldShowsTheClockedInView()
    {
        TestEnv::addEmployee(*data::Database::current(), "100");
        addPunch("100", QDateTime(Day.addDays(-1), QTime(8, 0)), QDateTime());
        ReportWindow *screen = openScreen();
        control<QPushButton>(screen, "Command4")->click();
        QVERIFY(!screen->isVisible());
        QCOMPARE(m_refreshed, 1);
        screen->setClockedInTrigger("3/10/2026 9:00:00 AM");
        QVERIFY(screen->isVisible());
        QCOMPARE(model().rowCount(), 1);
        QCOMPARE(model().cell(0, model().columnByTitle("Clocked Out") - 1), QString("None"));
    }

    void resizeRule_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("list"); // empty: the size is refused
        QTest::newRow("ordinary") << QSize(1000, 600) << QSize(977, 487);
        QTest::newRow("narrower than the allowance") << QSize(23, 600) << QSize();
        QTest::newRow("lower than the allowance") << QSize(800, 100) << QSize();
    }
    void resizeRule()
    {
        QFETCH(QSize, client);
        QFETCH(QSize, list);
        QCOMPARE(ReportWindow::listSizeFor(client).value_or(QSize()), list);
    }

    void shrinkingKeepsTheLastListSize()
    {
        ReportWindow *screen = openScreen();
        auto *list = control<QTreeView>(screen, "ListView1");
        screen->resize(900, 700);
        QApplication::processEvents();
        const QSize before = list->size();
        QCOMPARE(ReportWindow::listSizeFor(screen->centralWidget()->size()), std::optional<QSize>(before));
        screen->setMinimumSize(0, 0);
        screen->centralWidget()->resize(200, 80);
        QCOMPARE(list->size(), before);
    }

    void aboutAndHelp()
    {
        ReportWindow *screen = openScreen();
        entry(screen, "About")->trigger();
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown()[0].title, QString("Chronotally 2.1"));
        QCOMPARE(MessageBox::shown()[0].text.split('\n').first(), QString("Chronotally 2.1"));
        platform::Browser::setScripted(true);
        entry(screen, "Help")->trigger();
        QCOMPARE(platform::Browser::opened().size(), 1);
    }

    // Closing shows the main menu without its refresh and deletes the screen.
    void closingShowsTheMainMenu()
    {
        ReportWindow *screen = openScreen();
        screen->close();
        QCOMPARE(m_menuShown, 1);
        QCOMPARE(m_refreshed, 0);
        QTRY_VERIFY(m_screen.isNull());
    }

    // On a whole station: the menu's buttons open the screen, and every way back leaves a
    // window on screen.
    void stationFlow()
    {
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "1", 0, "5-Administrator User", "pw");
        addPunch("1", QDateTime(Day, QTime(8, 0)), QDateTime());
        app::StationApp station;
        QVERIFY(station.start());
        admin::MainMenuWindow &menu = station.mainMenuWindow();
        station.mainMenu().showAndRefresh();
        QVERIFY(station.mainMenu().login("1", "pw"));

        control<QPushButton>(&menu, "Command2")->click();
        QPointer<ReportWindow> screen = station.reportScreen();
        QVERIFY(screen && screen->isVisible());
        QVERIFY(!menu.isVisible());
        control<QPushButton>(screen, "Command4")->click();
        QVERIFY(menu.isVisible());
        QVERIFY(!screen->isVisible());

        control<QPushButton>(&menu, "Command15")->click();
        QVERIFY(menu.isVisible());
        QCOMPARE(station.reportScreen(), screen.data());
        QVERIFY(screen->isVisible());
        QCOMPARE(screen->controller().model().rowCount(), 1);
        // Twice within one second runs the view again.
        screen->controller().model().clearRows();
        control<QPushButton>(&menu, "Command15")->click();
        QCOMPARE(screen->controller().model().rowCount(), 1);

        menu.hideWindow();
        screen->close();
        QVERIFY(menu.isVisible());
        QTRY_VERIFY(screen.isNull());
        control<QPushButton>(&menu, "Command15")->click();
        QVERIFY(station.reportScreen() && station.reportScreen()->isVisible());
        QCOMPARE(station.reportScreen()->controller().model().rowCount(), 1);
    }
};

QTEST_MAIN(TestReportScreen)
#include "tst_reportscreen.moc"
