#include "testenv.h"

#include "platform/regional.h"
#include "reports/hourtexts.h"
#include "reports/reportengine.h"
#include "reports/reportlistmodel.h"

#include <QScopeGuard>
#include <QTest>

#include <ctime>

using reports::Filter;
using reports::ReportEngine;
using reports::ReportListModel;

namespace {
const QDate Day(2026, 3, 10);

QDateTime at(int hour, int minute, int second = 0, const QDate &date = Day)
{
    return QDateTime(date, QTime(hour, minute, second));
}

void addPunch(const QString &id, const QDateTime &in, const QDateTime &out, const QDate &rowDate = Day)
{
    const data::DbError error = data::Database::current()->exec(
        QStringLiteral("insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)"),
        {in.isValid() ? QVariant(in) : QVariant(), out.isValid() ? QVariant(out) : QVariant(), rowDate, id});
    QVERIFY2(!error, qPrintable(error.description));
}

// A list with the row number and the given titles.
void addColumns(ReportListModel &model, const QStringList &titles)
{
    for (const QString &t : titles)
        model.appendColumn(t);
}

// Sets the machine's time zone until the guard goes.
auto zone(const QByteArray &name)
{
    const QByteArray was = qgetenv("TZ");
    qputenv("TZ", name);
    tzset();
    return qScopeGuard([was] {
        was.isNull() ? qunsetenv("TZ") : qputenv("TZ", was);
        tzset();
    });
}

const QStringList HourColumns{"UserID Login", "Hours-Minutes Worked", "Total-Fraction", "Total-Hour:Minute",
                              "Clocked Out"};
} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ReportListModel> m_model;

    void run(Filter filter = Filter::OnlyWorked, const QDate &first = Day, const QDate &last = Day)
    {
        ReportEngine engine(data::Database::current());
        const data::DbError error = engine.runReport(filter, first, last,
                                                     [this](const auto &rows) { m_model->appendRows(rows); });
        QVERIFY2(!error, qPrintable(error.description));
    }

    // Cells of one row, row number first, under the given titles.
    QStringList row(int r, const QStringList &titles) const
    {
        QStringList cells;
        for (const QString &t : titles)
            cells << m_model->cell(r, m_model->columnByTitle(t) - 1);
        return cells;
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        m_env->createDatabase();
        m_model = std::make_unique<ReportListModel>();
    }
    void cleanup()
    {
        m_model.reset();
        m_env.reset();
    }

    void hourTexts_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("worked");
        QTest::addColumn<QString>("fraction");
        QTest::addColumn<QString>("hourMinute");
        QTest::newRow("485") << 485 << "H:8 M:5 or Fractional H:8.0" << "8" << "8:5";
        QTest::newRow("510") << 510 << "H:8 M:30 or Fractional H:8.5" << "8.5" << "8:30";
        QTest::newRow("61") << 61 << "H:1 M:1 or Fractional H:1.0" << "1" << "1:1";
        QTest::newRow("119 cut, not rounded") << 119 << "H:1 M:59 or Fractional H:1.9" << "1.9" << "1:59";
        QTest::newRow("600") << 600 << "H:10 M:0 or Fractional H:10" << "10" << "10:0";
        for (int m = 1; m <= 5; ++m)
            QTest::addRow("%d minutes", m) << m << QStringLiteral("H:0 M:%1 or Fractional H:0.0").arg(m) << "0"
                                            << QStringLiteral("0:%1").arg(m);
        QTest::newRow("0") << 0 << "H:0 M:0 or Fractional H:0" << "0" << "0:0";
        QTest::newRow("beyond 16 bits") << 40000 << "H:666 M:40 or Fractional H:666.6" << "666.6" << "666:40";
    }
    void hourTexts()
    {
        QFETCH(int, minutes);
        QTEST(reports::hours::workedText(minutes), "worked");
        QTEST(reports::hours::totalFractionText(minutes), "fraction");
        QTEST(reports::hours::totalHourMinuteText(minutes), "hourMinute");
    }

    // Minutes of one punch as the report shows them, through the database.
    void punchMinutes_data()
    {
        QTest::addColumn<QDateTime>("in");
        QTest::addColumn<QDateTime>("out");
        QTest::addColumn<QStringList>("cells"); // worked, Total-Hour:Minute, Clocked Out
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), name); };
            row("8:00 to 16:30") << at(8, 0) << at(16, 30)
                                 << QStringList{"H:8 M:30 or Fractional H:8.5", "8:30", "3/10/2026 4:30:00 PM"};
            row("a second across a minute") << at(8, 0, 59) << at(8, 1, 0)
                                            << QStringList{"H:0 M:1 or Fractional H:0.0", "0:1", "3/10/2026 8:01:00 AM"};
            row("59 seconds within one") << at(8, 0, 0) << at(8, 0, 59)
                                         << QStringList{"H:0 M:0 or Fractional H:0", "0:0", "3/10/2026 8:00:59 AM"};
            row("clock-out before clock-in") << at(16, 0) << at(15, 0)
                                             << QStringList{"H:1 M:0 or Fractional H:1", "1:0", "3/10/2026 3:00:00 PM"};
            row("open") << at(8, 0) << QDateTime() << QStringList{"H:0 M:0 or Fractional H:0", "0:0", "None"};
            row("equal times") << at(8, 0) << at(8, 0) << QStringList{"H:0 M:0 or Fractional H:0", "0:0", "None"};
            row("30 days, beyond 32767 minutes")
                << at(8, 0) << at(8, 0, 0, Day.addDays(30))
                << QStringList{"H:720 M:0 or Fractional H:720", "720:0", "4/9/2026 8:00:00 AM"};
            row("clock-out at midnight") << at(16, 0) << at(0, 0, 0, Day.addDays(1))
                                         << QStringList{"H:8 M:0 or Fractional H:8", "8:0", "3/11/2026"};
            row("no clock-in") << QDateTime() << at(16, 0) << QStringList{"", "", "3/10/2026 4:00:00 PM"};
        }
    }
    void punchMinutes()
    {
        QFETCH(QDateTime, in);
        QFETCH(QDateTime, out);
        TestEnv::addEmployee(*data::Database::current(), "100");
        addPunch("100", in, out);
        addColumns(*m_model, {"Hours-Minutes Worked", "Total-Hour:Minute", "Clocked Out"});
        run();
        QCOMPARE(m_model->rowCount(), 1);
        QTEST(row(0, {"Hours-Minutes Worked", "Total-Hour:Minute", "Clocked Out"}), "cells");
    }

    // Totals run per user ID and restart at each new one; an open punch or one without a
    // clock-in adds nothing.
    void runningTotals_data() { TestEnv::engineRows(); }
    void runningTotals()
    {
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "100");
        TestEnv::addEmployee(*db, "200");
        addPunch("100", at(8, 0), at(12, 0));
        addPunch("100", at(13, 0), at(17, 5));
        addPunch("100", at(18, 0), QDateTime());
        addPunch("100", QDateTime(), at(19, 0));
        addPunch("200", at(9, 0), at(9, 30));
        // IDs are compared without case: one employee's punches keyed "ab" and "AB" total together.
        TestEnv::addEmployee(*db, "AB");
        addPunch("ab", at(6, 0), at(7, 0));
        addPunch("AB", at(7, 0), at(8, 0));
        addColumns(*m_model, HourColumns);
        run();
        // A missing clock-in sorts first among 100's punches, on PostgreSQL last; it changes
        // no total.
        QList<QStringList> expected{
            {"100", "", "", "", "3/10/2026 7:00:00 PM"},
            {"100", "H:4 M:0 or Fractional H:4", "4", "4:0", "3/10/2026 12:00:00 PM"},
            {"100", "H:4 M:5 or Fractional H:4.0", "8", "8:5", "3/10/2026 5:05:00 PM"},
            {"100", "H:0 M:0 or Fractional H:0", "8", "8:5", "None"},
            {"200", "H:0 M:30 or Fractional H:0.5", "0.5", "0:30", "3/10/2026 9:30:00 AM"},
            {"AB", "H:1 M:0 or Fractional H:1", "1", "1:0", "3/10/2026 7:00:00 AM"},
            {"AB", "H:1 M:0 or Fractional H:1", "2", "2:0", "3/10/2026 8:00:00 AM"},
        };
        if (m_env->engine() == data::Engine::PostgreSql)
            expected.move(0, 3);
        for (int r = 0; r < expected.size(); ++r)
            expected[r].prepend(QString::number(r + 1));
        QCOMPARE(m_model->rowCount(), expected.size());
        for (int r = 0; r < m_model->rowCount(); ++r)
            QCOMPARE(m_model->rowCells(r), expected[r]);
    }

    // "Show All Employees" lists punches of no known employee with empty employee cells,
    // totalled by their own user ID; "Only Show Employees who worked" leaves them out.
    void unmatchedPunches_data()
    {
        QTest::addColumn<Filter>("filter");
        QTest::addColumn<QList<QStringList>>("expected"); // First Name, Total-Hour:Minute
        for (const QByteArray &engine : TestEnv::engineTags()) {
            QTest::addRow("%s: only who worked", engine.constData())
                << Filter::OnlyWorked << QList<QStringList>{{"First100", "1:0"}, {"First300", "3:0"}};
            QTest::addRow("%s: all", engine.constData())
                << Filter::AllEmployees
                << QList<QStringList>{{"First100", "1:0"}, {"", "2:0"}, {"", "2:30"}, {"", "0:15"}, {"First300", "3:0"}};
        }
    }
    void unmatchedPunches()
    {
        QFETCH(Filter, filter);
        QFETCH(QList<QStringList>, expected);
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "100");
        TestEnv::addEmployee(*db, "300");
        addPunch("100", at(8, 0), at(9, 0));
        addPunch("200", at(8, 0), at(10, 0));
        addPunch("200", at(11, 0), at(11, 30));
        addPunch("250", at(8, 0), at(8, 15));
        addPunch("300", at(8, 0), at(11, 0));
        addColumns(*m_model, {"First Name", "Total-Hour:Minute"});
        run(filter);
        QList<QStringList> got;
        for (int r = 0; r < m_model->rowCount(); ++r)
            got << row(r, {"First Name", "Total-Hour:Minute"});
        QCOMPARE(got, expected);
    }

    // Work dates from the first to the last day are reported, both included.
    void dateRange_data() { TestEnv::engineRows(); }
    void dateRange()
    {
        TestEnv::addEmployee(*data::Database::current(), "100");
        for (int d = -1; d <= 3; ++d)
            addPunch("100", at(8, 0, 0, Day.addDays(d)), at(9, 0, 0, Day.addDays(d)), Day.addDays(d));
        addColumns(*m_model, {"Worked Date"});
        run(Filter::OnlyWorked, Day, Day.addDays(2));
        QStringList dates;
        for (int r = 0; r < m_model->rowCount(); ++r)
            dates << row(r, {"Worked Date"});
        QCOMPARE(dates, (QStringList{"3/10/2026", "3/11/2026", "3/12/2026"}));
    }

    // The day unit follows the engine; the dates are bound, never part of the text.
    void statementDialect_data()
    {
        QTest::addColumn<Filter>("filter");
        QTest::addColumn<data::Engine>("engine");
        QTest::addColumn<QString>("dayDiff");
        QTest::newRow("who worked, embedded") << Filter::OnlyWorked << data::Engine::Embedded << "DateDiff('d',rowdate,?)";
        QTest::newRow("who worked, SQL Server") << Filter::OnlyWorked << data::Engine::SqlServer << "DateDiff(d,rowdate,?)";
        QTest::newRow("who worked, PostgreSQL") << Filter::OnlyWorked << data::Engine::PostgreSql << "DateDiff('d',rowdate,?)";
        QTest::newRow("all, embedded") << Filter::AllEmployees << data::Engine::Embedded << "DateDiff('d',rowdate,?)";
        QTest::newRow("all, SQL Server") << Filter::AllEmployees << data::Engine::SqlServer << "DateDiff(d,rowdate,?)";
        QTest::newRow("all, PostgreSQL") << Filter::AllEmployees << data::Engine::PostgreSql << "DateDiff('d',rowdate,?)";
    }
    void statementDialect()
    {
        QFETCH(Filter, filter);
        QFETCH(data::Engine, engine);
        QFETCH(QString, dayDiff);
        const QString sql = ReportEngine::reportStatement(filter, engine);
        QCOMPARE(sql.count(dayDiff), 2);
        QCOMPARE(sql.count(QLatin1Char('?')), 2);
        QVERIFY(!sql.contains(QLatin1Char('\'')) || engine != data::Engine::SqlServer);
        // Both servers get the server's text: only the unit's quotes differ.
        QCOMPARE(QString(sql).remove(QLatin1Char('\'')),
                 ReportEngine::reportStatement(filter, engine == data::Engine::Embedded ? engine : data::Engine::SqlServer)
                     .remove(QLatin1Char('\'')));
        QCOMPARE(sql.contains("LEFT JOIN usertable b"), filter == Filter::AllEmployees);

        QList<QVariantList> bound;
        ReportEngine report(data::Database::current());
        report.setStatementObserver([&](const QString &, const QVariantList &values) { bound << values; });
        report.runReport(filter, Day, Day.addDays(6), [](const auto &) {});
        QCOMPARE(bound, (QList<QVariantList>{{Day, Day.addDays(6)}}));
    }

    // Month, day and year are read as labelled, whatever order the locale writes dates in.
    void composeDate_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QDate>("date");
        QTest::newRow("us") << "en_US" << QStringList{"1", "2", "2007"} << QDate(2007, 1, 2);
        QTest::newRow("day first locale") << "de_DE" << QStringList{"1", "2", "2007"} << QDate(2007, 1, 2);
        QTest::newRow("leading zeros") << "en_GB" << QStringList{"01", "02", "2007"} << QDate(2007, 1, 2);
        QTest::newRow("MM") << "en_US" << QStringList{"MM", "2", "2007"} << QDate();
        QTest::newRow("empty month") << "en_US" << QStringList{"", "2", "2007"} << QDate();
        QTest::newRow("DD") << "en_US" << QStringList{"1", "DD", "2007"} << QDate();
        QTest::newRow("YYYY") << "en_US" << QStringList{"1", "2", "YYYY"} << QDate();
        QTest::newRow("30 February") << "en_US" << QStringList{"2", "30", "2007"} << QDate();
        QTest::newRow("13th month") << "en_US" << QStringList{"13", "1", "2007"} << QDate();
        QTest::newRow("day 1.5") << "en_US" << QStringList{"1", "1.5", "2007"} << QDate();
    }
    void composeDate()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, fields);
        QFETCH(QDate, date);
        regional::setLocale(QLocale(locale));
        QCOMPARE(ReportEngine::composeDate(fields[0], fields[1], fields[2]).value_or(QDate()), date);
    }

    // The clocked-in view: open punches of known employees, any date, by user ID then clock-in,
    // each with the time it has been open and the flag once that passes the over-long limit.
    void clockedIn_data()
    {
        QTest::addColumn<bool>("anyone");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            QTest::addRow("%s: nobody clocked in", engine.constData()) << false;
            QTest::addRow("%s: open punches", engine.constData()) << true;
        }
    }
    void clockedIn()
    {
        QFETCH(bool, anyone);
        auto db = data::Database::current();
        for (const char *id : {"100", "200"})
            TestEnv::addEmployee(*db, id);
        db->exec("update usertable set DisplayText = 'Hello ' || UserIDLogin");
        addPunch("100", at(8, 0), at(9, 0));
        if (anyone) {
            addPunch("200", at(7, 0, 0, Day.addDays(-1)), QDateTime(), Day.addDays(-1));
            addPunch("100", at(10, 0), QDateTime());
            addPunch("999", at(10, 0), QDateTime()); // no such employee
        }
        const QStringList columns{"UserID Login", "DisplayText", "Hours-Minutes Worked", "Total-Fraction",
                                  "Total-Hour:Minute", "Clocked In", "Clocked Out", "Worked Date"};
        addColumns(*m_model, columns);
        m_model->appendRow({"stale"});
        m_model->clearRows();
        ReportEngine engine(db);
        QVERIFY(!engine.clockedIn(reports::PayrollRules(), at(18, 5),
                                  [this](const auto &rows) { m_model->appendRows(rows); }));
        QList<QStringList> got;
        for (int r = 0; r < m_model->rowCount(); ++r)
            got << m_model->rowCells(r);
        const QList<QStringList> expected = !anyone ? QList<QStringList>{} : QList<QStringList>{
            {"1", "100", "Hello 100", "H:8 M:5", "", "", "3/10/2026 10:00:00 AM", "None", "3/10/2026"},
            {"2", "200", "Hello 200", "H:35 M:5 - over 16 hours", "", "", "3/9/2026 7:00:00 AM", "None", "3/9/2026"},
        };
        QCOMPARE(got, expected);
    }

    // A clock-in or clock-out that is a time alone (kept on the zero date) leaves the punch
    // out of the report, the summary and the clocked-in view; a clock-out at midnight counts.
    void timesAloneAreLeftOut_data() { TestEnv::engineRows(); }
    void timesAloneAreLeftOut()
    {
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "100");
        const QDate zero = regional::zeroDate();
        addPunch("100", at(9, 0, 0, zero), at(17, 0));
        addPunch("100", at(8, 0), at(9, 0, 0, zero));
        addPunch("100", at(16, 0), at(0, 0, 0, Day.addDays(1)));
        addPunch("100", at(9, 0, 0, zero), QDateTime());
        // The statement's length filter alone leaves them out...
        int selected = 0;
        QVERIFY(!db->forEachRow(ReportEngine::reportStatement(Filter::AllEmployees, m_env->engine()),
                                {Day.addDays(-1), Day}, [&](const data::Row &) { return ++selected; }));
        QCOMPARE(selected, 1);
        // ...and so does the program where it does not, as on a server whose table script
        // came before.
        if (m_env->engine() == data::Engine::PostgreSql)
            QVERIFY(!db->exec("CREATE OR REPLACE FUNCTION len(value timestamp) RETURNS integer LANGUAGE sql "
                              "AS $$SELECT length(value::text)$$"));
        addColumns(*m_model, {"Hours-Minutes Worked", "Total-Hour:Minute"});
        run();
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(row(0, {"Hours-Minutes Worked", "Total-Hour:Minute"}),
                 (QStringList{"H:8 M:0 or Fractional H:8", "8:0"}));

        ReportEngine engine(db);
        QList<qint64> summed;
        QVERIFY(!engine.punches(Filter::OnlyWorked, Day, Day, [&](const reports::PunchRecord &p) {
            summed << p.minutes.value_or(-1);
            return true;
        }));
        QCOMPARE(summed, QList<qint64>{480});
        m_model->clearRows();
        QVERIFY(!engine.clockedIn(reports::PayrollRules(), at(18, 0), [this](const auto &rows) { m_model->appendRows(rows); }));
        QCOMPARE(m_model->rowCount(), 0);
    }

    // A punch across a change of the clocks counts the time that really passed; the
    // clocked-in view counts up to now the same way.
    void changesOfTheClocks_data()
    {
        QTest::addColumn<QDateTime>("in");
        QTest::addColumn<QDateTime>("out");
        QTest::addColumn<QStringList>("cells"); // Hours-Minutes Worked, Total-Hour:Minute
        QTest::addColumn<bool>("viewedThen");   // the clocked-in view at the clock-out counts the same
        const QDate spring(2027, 3, 13), autumn(2027, 11, 6);
        const QDate springDay = spring.addDays(1), autumnDay = autumn.addDays(1);
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), name); };
            row("spring night") << at(22, 0, 0, spring) << at(6, 0, 0, springDay)
                                << QStringList{"H:7 M:0 or Fractional H:7", "7:0"} << true;
            row("autumn night") << at(22, 0, 0, autumn) << at(6, 0, 0, autumnDay)
                                << QStringList{"H:9 M:0 or Fractional H:9", "9:0"} << true;
            row("night without a change") << at(22, 0, 0, Day) << at(6, 0, 0, Day.addDays(1))
                                          << QStringList{"H:8 M:0 or Fractional H:8", "8:0"} << true;
            row("reversed across spring") << at(6, 0, 0, springDay) << at(22, 0, 0, spring)
                                          << QStringList{"H:7 M:0 or Fractional H:7", "7:0"} << false;
            row("out of the skipped hour") << at(1, 30, 0, springDay) << at(3, 30, 0, springDay)
                                           << QStringList{"H:1 M:0 or Fractional H:1", "1:0"} << true;
            // The repeated hour takes its first offset...
            row("into the repeated hour") << at(0, 30, 0, autumnDay) << at(1, 30, 0, autumnDay)
                                          << QStringList{"H:1 M:0 or Fractional H:1", "1:0"} << false;
            row("within the repeated hour") << at(1, 10, 0, autumnDay) << at(1, 50, 0, autumnDay)
                                            << QStringList{"H:0 M:40 or Fractional H:0.6", "0:40"} << false;
            // ...but a clock-out that would come before its clock-in is the second 1:10.
            row("back into the repeated hour") << at(1, 50, 0, autumnDay) << at(1, 10, 0, autumnDay)
                                               << QStringList{"H:0 M:20 or Fractional H:0.3", "0:20"} << false;
        }
    }
    void changesOfTheClocks()
    {
        QFETCH(QDateTime, in);
        QFETCH(QDateTime, out);
        QFETCH(QStringList, cells);
        QFETCH(bool, viewedThen);
        const auto restore = zone("America/New_York");
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "100");
        addPunch("100", in, out, in.date());
        addColumns(*m_model, {"Hours-Minutes Worked", "Total-Hour:Minute"});
        run(Filter::OnlyWorked, in.date(), in.date());
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(row(0, {"Hours-Minutes Worked", "Total-Hour:Minute"}), cells);
        if (!viewedThen)
            return;
        addPunch("100", in, QDateTime(), in.date());
        m_model->clearRows();
        ReportEngine engine(db);
        QVERIFY(!engine.clockedIn(reports::PayrollRules(), out, [this](const auto &rows) { m_model->appendRows(rows); }));
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(row(0, {"Hours-Minutes Worked"}).first(), cells.first().section(" or", 0, 0));
    }

    // Writers reach a column only through its exact title; an absent one is skipped.
    void onlyShownColumnsAreFilled()
    {
        TestEnv::addEmployee(*data::Database::current(), "100");
        addPunch("100", at(8, 0), at(9, 0));
        addColumns(*m_model, {"First Name", "first name", "Hours"});
        run();
        QCOMPARE(m_model->rowCells(0), (QStringList{"1", "First100", "", ""}));
    }

    void columnLookupAndChanges()
    {
        QCOMPARE(m_model->titles(), QStringList{" "});
        addColumns(*m_model, {"First Name", "Memo", "City"});
        QCOMPARE(m_model->columnByTitle(" "), 1);
        QCOMPARE(m_model->columnByTitle("Memo"), 3);
        QCOMPARE(m_model->columnByTitle("memo"), 0);
        QCOMPARE(m_model->columnByTitle("Notes"), 0);
        m_model->appendRow({"1", "Ann", "m1", "Town"});
        m_model->appendRow({"2", "Bob", "", "City2", "dropped"});
        // Rows keep their other cells when a column goes or comes.
        QVERIFY(m_model->removeColumns(m_model->columnByTitle("Memo") - 1, 1));
        m_model->appendColumn("Notes");
        QCOMPARE(m_model->titles(), (QStringList{" ", "First Name", "City", "Notes"}));
        QCOMPARE(m_model->rowCells(0), (QStringList{"1", "Ann", "Town", ""}));
        QCOMPARE(m_model->rowCells(1), (QStringList{"2", "Bob", "City2", ""}));
        QCOMPARE(m_model->columnWidthTwips(0), 1);
        m_model->clearRows();
        QCOMPARE(m_model->rowCount(), 0);
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
