#include "testenv.h"

#include "data/paytables.h"
#include "data/startupcheck.h"
#include "reports/hourtexts.h"
#include "reports/payroll.h"
#include "reports/payrulesstore.h"
#include "reports/reportcommand.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"
#include "reports/reportengine.h"
#include "reports/reportlistmodel.h"

#include <QBuffer>
#include <QScopeGuard>
#include <QTest>

#include <ctime>

using reports::ClosedPeriod;
using reports::PayPeriod;
using reports::PayRules;
using reports::PayRulesStore;
using reports::PayrollRules;
using reports::PayrollSummary;
using reports::PunchRecord;
using reports::SummaryRow;

namespace {
const QDate Day(2026, 3, 10);

QDateTime at(int hour, int minute, const QDate &date = Day)
{
    return QDateTime(date, QTime(hour, minute));
}

// A punch starting at 8:00 that lasted the given minutes; below 0: still open.
PunchRecord punch(const QString &id, qint64 minutes)
{
    PunchRecord p;
    p.userId = id;
    p.clockIn = QDateTime(Day, QTime(8, 0), Qt::UTC);
    p.open = minutes < 0;
    if (!p.open)
        p.clockOut = p.clockIn.addSecs(minutes * 60);
    p.minutes = p.open ? 0 : minutes;
    return p;
}

// The six payroll options of the settings, in the order of the rules that take them over.
const settings::Key *const PayrollKeys[] = {&settings::keys::BreakRule,   &settings::keys::BreakAfterHours,
                                            &settings::keys::BreakMinutes, &settings::keys::OverLongHours,
                                            &settings::keys::RepeatGuard, &settings::keys::RepeatSeconds};
const QStringList PayrollRuleNames{"BreakRule",     "BreakAfterHours", "BreakMinutes",
                                   "OverLongHours", "RepeatGuard",     "RepeatSeconds"};

// The pay rules with the break rule and the over-long limit of the options' texts.
PayRules rulesOf(const PayrollRules &options)
{
    PayRules rules;
    rules.breakRule = options.breakRule;
    rules.breakAfterMinutes = options.breakAfterMinutes;
    rules.breakMinutes = options.breakMinutes;
    rules.overLongMinutes = options.overLongMinutes;
    return rules;
}

QStringList storedPayrollTexts(PayRulesStore &store)
{
    QStringList texts;
    const auto all = store.texts();
    for (const QString &name : PayrollRuleNames)
        texts << all.value(name);
    return texts;
}
} // namespace

class TestPayroll : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hourTexts_data()
    {
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<QString>("hourMinute");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("0") << qint64(0) << "0:00" << "0.00";
        QTest::newRow("1") << qint64(1) << "0:01" << "0.02";
        QTest::newRow("485") << qint64(485) << "8:05" << "8.08";
        QTest::newRow("599") << qint64(599) << "9:59" << "9.98";
        QTest::newRow("600") << qint64(600) << "10:00" << "10.00";
        QTest::newRow("6001") << qint64(6001) << "100:01" << "100.02";
    }
    void hourTexts()
    {
        QFETCH(qint64, minutes);
        QFETCH(QString, hourMinute);
        QFETCH(QString, decimal);
        QCOMPARE(reports::hours::hourMinuteText(minutes), hourMinute);
        QCOMPARE(reports::hours::decimalHoursText(minutes), decimal);
    }

    // After X hours in one punch, Y minutes are not paid: a punch of exactly X hours is paid
    // whole, one a minute longer loses the break, and pay never goes below 0.
    void breakRuleAtItsBoundaries_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("breakMinutes");
        QTest::addColumn<qint64>("worked");
        QTest::addColumn<qint64>("paid");
        QTest::newRow("off") << false << "6" << "30" << qint64(600) << qint64(600);
        QTest::newRow("at the limit") << true << "6" << "30" << qint64(360) << qint64(360);
        QTest::newRow("a minute past") << true << "6" << "30" << qint64(361) << qint64(331);
        QTest::newRow("half hours, at") << true << "7.5" << "45" << qint64(450) << qint64(450);
        QTest::newRow("half hours, past") << true << "7.5" << "45" << qint64(451) << qint64(406);
        QTest::newRow("break above the punch") << true << "0" << "30" << qint64(20) << qint64(0);
        QTest::newRow("hours no number") << true << "six" << "30" << qint64(600) << qint64(600);
        QTest::newRow("minutes below 0") << true << "6" << "-30" << qint64(600) << qint64(600);
    }
    void breakRuleAtItsBoundaries()
    {
        QFETCH(bool, on);
        QFETCH(QString, after);
        QFETCH(QString, breakMinutes);
        QFETCH(qint64, worked);
        QFETCH(qint64, paid);
        const PayrollRules rules = PayrollRules::fromTexts(on, after, breakMinutes, "16");
        QCOMPARE(rules.paidMinutes(worked), paid);
        PayrollSummary summary(rulesOf(rules), at(20, 0));
        summary.add(punch("5", worked));
        QCOMPARE(summary.rows().first().workedMinutes, worked);
        QCOMPARE(summary.rows().first().paidMinutes, paid);
    }

    // A punch longer than the limit is flagged: a closed one by its minutes, an open one by
    // the time since its clock-in.
    void overLongFlag_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<qint64>("minutes"); // below 0: open, clocked in at 8:00
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<qint64>("flagged");
        const QDateTime evening = at(20, 0);
        QTest::newRow("closed at the limit") << "16" << qint64(960) << evening << qint64(0);
        QTest::newRow("closed past the limit") << "16" << qint64(961) << evening << qint64(1);
        QTest::newRow("open at the limit") << "16" << qint64(-1) << at(0, 0, Day.addDays(1)) << qint64(0);
        QTest::newRow("open past the limit") << "16" << qint64(-1) << at(0, 1, Day.addDays(1)) << qint64(1);
        QTest::newRow("half hours") << "8.5" << qint64(511) << evening << qint64(1);
        QTest::newRow("no number: 16 hours") << "soon" << qint64(961) << evening << qint64(1);
    }
    void overLongFlag()
    {
        QFETCH(QString, limit);
        QFETCH(qint64, minutes);
        QFETCH(QDateTime, now);
        QFETCH(qint64, flagged);
        PayrollSummary summary(rulesOf(PayrollRules::fromTexts(false, "6", "30", limit)), now);
        summary.add(punch("5", minutes));
        QCOMPARE(summary.rows().first().overLongPunches, flagged);
        QCOMPARE(summary.rows().first().openPunches, qint64(minutes < 0 ? 1 : 0));
    }

    // The first start of a station on a database without pay rules copies this account's
    // payroll options into it, read as the options panel always read them. Another
    // account's start finds them and keeps them; its own options are not read.
    void rulesMoveFromTheSettingsOnce_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("stored");
        for (const QByteArray &engine : TestEnv::engineTags()) {
            QTest::addRow("%s: as typed", engine.constData())
                << QStringList{"1", "7.5", "45", "12", "1", "90"} << QStringList{"1", "7.5", "45", "12", "1", "90"};
            QTest::addRow("%s: a break of 30.5 minutes is off", engine.constData())
                << QStringList{"1", "6", "30.5", "16", "0", "60"} << QStringList{"0", "6", "30", "16", "0", "60"};
            QTest::addRow("%s: unreadable hours and seconds", engine.constData())
                << QStringList{"1", "six", "30", "0", "1", "soon"} << QStringList{"0", "6", "30", "16", "0", "60"};
        }
    }
    void rulesMoveFromTheSettingsOnce()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, stored);
        TestEnv env;
        if (const QString why = env.unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        auto db = env.createDatabase();
        for (int i = 0; i < options.size(); ++i)
            settings::write(*PayrollKeys[i], options[i]);
        auto start = [&] { return data::StartupCheck([&] { return env.settings(); }, nullptr).run(); };
        QVERIFY(!start().endProgram);
        PayRulesStore store;
        QCOMPARE(storedPayrollTexts(store), stored);
        const PayRules first = store.read();
        QCOMPARE(PayRulesStore::cached(), first);
        const auto audit = TestEnv::auditRows(*data::Database::current());
        QCOMPARE(audit.size(), PayrollRuleNames.size());
        QCOMPARE(audit.first().mid(2, 4), (QStringList{"", "Insert", "PayRules", "BreakRule"}));

        settings::setStoreFolder(env.folder() + "/other-account");
        for (const auto *key : PayrollKeys)
            settings::write(*key, "3");
        QVERIFY(!start().endProgram);
        PayRulesStore again;
        QCOMPARE(storedPayrollTexts(again), stored);
        QCOMPARE(PayRulesStore::cached(), first);
        QCOMPARE(TestEnv::auditRows(*data::Database::current()).size(), audit.size());
    }

    // A rule is written in its plain form with one audit row, or refused with a message and
    // nothing written. The same value again writes nothing; another is an update.
    void writingARule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored"); // empty: refused
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *tag) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), tag); };
            row("whole minutes") << "BreakMinutes" << "45" << "45";
            row("half minutes") << "BreakMinutes" << "30.5" << "";
            row("hours in plain form") << "BreakAfterHours" << " 07.50 " << "7.5";
            row("a limit of 0") << "WeeklyLimitHours" << "0" << "";
            row("a decimal comma") << "OverLongHours" << "1,5" << "";
            row("rounding of 15") << "RoundingMinutes" << "15" << "15";
            row("rounding of 7") << "RoundingMinutes" << "7" << "";
            row("a multiplier") << "OvertimeMultiplier" << "2" << "2";
            row("a day in any case") << "WorkweekStart" << "monday" << "Monday";
            row("a period kind") << "PeriodKind" << "semimonthly" << "SemiMonthly";
            row("an anchor") << "PeriodAnchor" << "2027-01-03" << "2027-01-03";
            row("no such anchor") << "PeriodAnchor" << "2026-02-30" << "";
            row("a flag") << "DailyOvertime" << "True" << "1";
            row("no such rule") << "Bonus" << "1" << "";
        }
    }
    void writingARule()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        TestEnv env;
        if (const QString why = env.unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        auto db = env.createDatabase();
        PayRulesStore store(db);
        const reports::PayChange change = store.writeRule(name, text, "boss");
        QVERIFY(!change.error);
        QCOMPARE(change.refusal.isEmpty(), !stored.isEmpty());
        if (stored.isEmpty()) {
            QVERIFY(TestEnv::auditRows(*db).isEmpty());
            QCOMPARE(store.read(), PayRules());
            return;
        }
        QCOMPARE(store.texts().value(name), stored);
        const PayRules rules = store.read();
        QCOMPARE(PayRulesStore::cached(), rules);
        QCOMPARE(PayRulesStore::textsOf(rules), store.texts());
        auto audit = TestEnv::auditRows(*db);
        QCOMPARE(audit.size(), 1);
        QCOMPARE(audit[0].mid(2, 4), (QStringList{"boss", "Insert", "PayRules", name}));
        QCOMPARE(audit[0][7], QString(R"({"RuleName":"%1","RuleValue":"%2"})").arg(name, stored));

        QVERIFY(store.writeRule(name, text, "boss").ok());
        QCOMPARE(TestEnv::auditRows(*db).size(), 1);
        QVERIFY(store.writeRule(name, PayRulesStore::textsOf(PayRules()).value(name), "clerk").ok());
        QCOMPARE(store.read(), PayRules());
        audit = TestEnv::auditRows(*db);
        QCOMPARE(audit.size(), 2);
        QCOMPARE(audit[1].mid(2, 4), (QStringList{"clerk", "Update", "PayRules", name}));
        QCOMPARE(audit[1][6], QString(R"({"RuleValue":"%1"})").arg(stored));
    }

    // A period that has ended can be closed, once; its first and last dates are closed,
    // the days around it are not. Reopening takes every closed period sharing a date.
    void closingAPayPeriod_data() { TestEnv::engineRows(); }
    void closingAPayPeriod()
    {
        TestEnv env;
        if (const QString why = env.unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        auto db = env.createDatabase();
        TestEnv::setTime(QDateTime(QDate(2026, 3, 8), QTime(9, 30, 15, 500)));
        PayRulesStore store(db);
        const PayPeriod week{QDate(2026, 3, 1), QDate(2026, 3, 7)};
        QVERIFY(!store.close({QDate(2026, 3, 8), QDate(2026, 3, 14)}, "boss").refusal.isEmpty());
        QVERIFY(!store.close({QDate(2026, 3, 2), QDate(2026, 3, 8)}, "boss").refusal.isEmpty());
        QVERIFY(!store.reopen(week, "boss").refusal.isEmpty());
        QVERIFY(store.closedPeriods().isEmpty());
        QVERIFY(TestEnv::auditRows(*db).isEmpty());

        QVERIFY(store.close(week, "boss").ok());
        for (const auto &[date, closed] : {std::pair{QDate(2026, 2, 28), false}, {QDate(2026, 3, 1), true},
                                           {QDate(2026, 3, 7), true}, {QDate(2026, 3, 8), false}})
            QCOMPARE(store.isClosed(date), closed);
        const QList<ClosedPeriod> closed = store.closedPeriods();
        QCOMPARE(closed.size(), 1);
        QCOMPARE(closed[0].period, week);
        QCOMPARE(closed[0].closedBy, QString("boss"));
        QCOMPARE(closed[0].closedAt.toString(Qt::ISODate), QString("2026-03-08T09:30:15"));
        QVERIFY(reports::isClosed(closed, QDate(2026, 3, 7)));
        QVERIFY(!store.close(week, "boss").refusal.isEmpty());

        QVERIFY(store.reopen({QDate(2026, 3, 1), QDate(2026, 3, 15)}, "clerk").ok());
        QVERIFY(!store.isClosed(QDate(2026, 3, 3)));
        QVERIFY(!store.reopen(week, "clerk").refusal.isEmpty());
        QVERIFY(store.close(week, "boss").ok());
        QVERIFY(store.isClosed(QDate(2026, 3, 3)));

        const auto audit = TestEnv::auditRows(*db);
        QCOMPARE(audit.size(), 3);
        QCOMPARE(audit[0].mid(2, 3), (QStringList{"boss", "Insert", "PayPeriods"}));
        QCOMPARE(audit[0][7], QString(R"({"FirstDate":"2026-03-01","LastDate":"2026-03-07","Closed":"1",)"
                                      R"("ClosedBy":"boss","ClosedAt":"2026-03-08 09:30:15"})"));
        QCOMPARE(audit[1].mid(2, 3), (QStringList{"clerk", "Update", "PayPeriods"}));
        QCOMPARE(audit[1][7], QString(R"({"Closed":"0","ClosedBy":"","ClosedAt":""})"));
        QCOMPARE(audit[2].mid(2, 3), (QStringList{"boss", "Update", "PayPeriods"}));
        QCOMPARE(audit[2][5], audit[0][5]);
    }

    // The report command reads the pay rules where the tables are and the defaults where
    // they are not, and creates nothing; the connection is the account's stored one. A
    // stored value that cannot be read is that rule's default.
    void readingCreatesNothing_data() { TestEnv::engineRows(); }
    void readingCreatesNothing()
    {
        TestEnv env;
        if (const QString why = env.unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        auto db = env.createDatabase();
        if (env.engine() == data::Engine::PostgreSql)
            QVERIFY(!db->exec("drop table PayRules; drop table PayPeriods"));
        const data::ConnectionSettings connection = env.settings();
        TestEnv::storeConnection(connection);
        settings::write(settings::keys::BreakRule, "1");
        TestEnv::addEmployee(*db, "5");
        db->exec("insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)",
                 {at(8, 0), at(16, 0), Day, "5"});

        auto summary = [] {
            QBuffer out, err;
            out.open(QIODevice::WriteOnly);
            err.open(QIODevice::WriteOnly);
            const QString day = Day.toString(Qt::ISODate);
            const int code = reports::ReportCommand(out, err).run(
                {"chronotally-report", "--from", day, "--to", day, "--summary", "--quiet"});
            return QString::number(code) + " " + QString::fromUtf8(out.data()).split('\n').value(1) + QString::fromUtf8(err.data());
        };
        QCOMPARE(summary(), QString("0 5,First5,Last5,1,480,8:00,8.00,480,0,0,0,480,0,"));
        db = data::Database::open(connection);
        for (const QString &table : {data::PayRulesTableName, data::PayPeriodsTableName})
            QVERIFY2(!data::tableExists(*db, table), qPrintable(table));
        PayRulesStore store(db);
        data::DbError error;
        QCOMPARE(store.read(&error), PayRules());
        QVERIFY(!store.isClosed(Day, &error));
        QVERIFY(store.closedPeriods(&error).isEmpty());
        QVERIFY(!error);

        QVERIFY(!data::ensurePayTables(*db));
        for (const auto &[name, value] : {std::pair{"BreakRule", "1"}, {"BreakAfterHours", "7.5"}, {"BreakMinutes", "30.5"}})
            QVERIFY(!db->exec("insert into PayRules (RuleName, RuleValue) values (?, ?)", {name, value}));
        PayRules expected;
        expected.breakRule = true;
        expected.breakAfterMinutes = 450;
        QCOMPARE(store.read(), expected);
        QCOMPARE(summary(), QString("0 5,First5,Last5,1,480,8:00,8.00,450,0,0,0,450,0,"));
    }

    // The summary reads Run Report's punches: one line per employee (IDs equal but for case
    // are one employee), worked minutes equal to the report's last running total.
    void summaryFollowsTheReport()
    {
        TestEnv env;
        auto db = env.createDatabase();
        TestEnv::addEmployee(*db, "AB");
        TestEnv::addEmployee(*db, "7");
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        db->exec(insert, {at(8, 0), at(12, 0), Day, "AB"});
        db->exec(insert, {at(13, 0), at(17, 5), Day, "ab"});
        // Work dates written as the date alone (by another tool) count as the station's do.
        db->exec(insert, {at(9, 0), QVariant(), Day.toString(Qt::ISODate), "7"});
        db->exec(insert, {at(9, 0), at(10, 0), Day.addDays(1).toString(Qt::ISODate), "7"}); // after the range
        db->exec(insert, {at(9, 0), at(10, 0), Day.addDays(-1), "7"}); // before it

        reports::ReportEngine engine(db);
        PayrollSummary summary(rulesOf(PayrollRules::fromTexts(true, "4", "30", "16")), at(20, 0));
        QVERIFY(!engine.punches(reports::Filter::OnlyWorked, Day, Day, [&](const PunchRecord &p) {
            summary.add(p);
            return true;
        }));
        const QList<SummaryRow> expected{{"7", "First7", "Last7", 1, 0, 0, 1, 0, 0, 0},
                                         {"AB", "FirstAB", "LastAB", 2, 485, 455, 0, 0, 0, 455}};
        QCOMPARE(summary.rows(), expected);
        QCOMPARE(summary.total(), (SummaryRow{"", "Total", "", 3, 485, 455, 1, 0, 0, 455}));

        reports::ReportListModel list;
        list.appendColumn("Total-Hour:Minute");
        QVERIFY(!engine.runReport(reports::Filter::OnlyWorked, Day, Day,
                                  [&](const QList<reports::ReportRow> &rows) { list.appendRows(rows); }));
        QCOMPARE(list.cell(list.rowCount() - 1, 1), reports::hours::totalHourMinuteText(485));
    }

    // Weekly overtime over Run Report's punches: five days of 9 hours from Monday, the week
    // from Sunday. The whole week gives 2,400 regular and 300 overtime minutes; a range that
    // cuts it counts its days' share of the whole week, so the two halves add up to it. Pay
    // is rate × (regular + overtime × 1.5), to the cent; a rate that is not a number leaves
    // it empty, in the total too when nobody has one. Rounding to 15 minutes moves 8:07 to
    // 8:00 and 17:08 to 17:15 for pay alone.
    void overtimeAndPayInTheSummary_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("rounding");
        QTest::addColumn<int>("firstDay"); // of the week of 2026-03-08, a Sunday
        QTest::addColumn<int>("lastDay");
        QTest::addColumn<QStringList>("texts"); // worked, paid, regular, overtime, gross; the total's gross
        QTest::newRow("whole week") << "20" << 0 << 0 << 6 << QStringList{"2700", "2700", "2400", "300", "950.00", "950.00"};
        QTest::newRow("first half") << "20" << 0 << 0 << 3 << QStringList{"1620", "1620", "1620", "0", "540.00", "540.00"};
        QTest::newRow("second half") << "20" << 0 << 4 << 6 << QStringList{"1080", "1080", "780", "300", "410.00", "410.00"};
        QTest::newRow("currency sign, separators") << "$1,000.5" << 0 << 5 << 5 << QStringList{"540", "540", "240", "300", "11505.75", "11505.75"};
        QTest::newRow("not a number") << "twenty" << 0 << 0 << 6 << QStringList{"2700", "2700", "2400", "300", "", ""};
        QTest::newRow("rounded to 15") << "20" << 15 << 2 << 2 << QStringList{"541", "555", "555", "0", "185.00", "185.00"};
    }
    void overtimeAndPayInTheSummary()
    {
        QFETCH(QString, rate);
        QFETCH(int, rounding);
        QFETCH(int, firstDay);
        QFETCH(int, lastDay);
        QFETCH(QStringList, texts);
        TestEnv env;
        auto db = env.createDatabase();
        TestEnv::addEmployee(*db, "5");
        QVERIFY(!db->exec("update usertable set HourlyRate = ? where UserIDLogin = '5'", {rate}));
        const QDate sunday(2026, 3, 8);
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        for (int day = 1; day <= 5; ++day) {
            const QDate date = sunday.addDays(day);
            // Tuesday's punch is the one rounding moves.
            const bool odd = rounding && day == 2;
            QVERIFY(!db->exec(insert, {at(8, odd ? 7 : 0, date), at(17, odd ? 8 : 0, date), date, "5"}));
        }
        PayRules rules;
        rules.roundingMinutes = rounding;
        const QDate first = sunday.addDays(firstDay), last = sunday.addDays(lastDay);
        PayrollSummary summary(rules, at(20, 0, sunday.addDays(7)), first, last);
        QVERIFY(!reports::ReportEngine(db).summarise(summary, first, last));
        QCOMPARE(summary.rows().size(), 1);
        const QStringList &titles = reports::summaryTitles();
        const QStringList row = reports::summaryTexts(summary.rows().first());
        const QStringList total = reports::summaryTexts(summary.total());
        QStringList got;
        for (const char *title : {"Worked Minutes", "Paid Minutes", "Regular Minutes", "Overtime Minutes", "Gross Pay"})
            got << row.at(titles.indexOf(title));
        got << total.at(titles.indexOf("Gross Pay"));
        QCOMPARE(got, texts);
    }

    // Under New York's rules: the spring night is paid 420 minutes and the autumn night 540,
    // an open punch is over-long by the time that really passed, and a reversed punch already
    // stored counts its positive difference and is flagged in a column of its own.
    void summaryAcrossChangesOfTheClocks()
    {
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "America/New_York");
        tzset();
        const auto restoreZone = qScopeGuard([&] {
            zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
            tzset();
        });
        TestEnv env;
        auto db = env.createDatabase();
        const QDate spring(2027, 3, 13), autumn(2027, 11, 6);
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        for (const char *id : {"1", "2", "3", "4"})
            TestEnv::addEmployee(*db, id);
        db->exec(insert, {at(22, 0, spring), at(6, 0, spring.addDays(1)), spring, "1"});
        db->exec(insert, {at(22, 0, autumn), at(6, 0, autumn.addDays(1)), autumn, "2"});
        db->exec(insert, {at(22, 0, spring), QVariant(), spring, "3"});
        db->exec(insert, {at(16, 0, spring), at(15, 0, spring), spring, "4"});

        reports::ReportEngine engine(db);
        // 16.5 hours by the wall clock, 15.5 that really passed: not over the limit of 16.
        PayrollSummary summary(rulesOf(PayrollRules::fromTexts(false, "6", "30", "16")), at(14, 30, spring.addDays(1)));
        QVERIFY(!engine.punches(reports::Filter::OnlyWorked, spring, autumn, [&](const PunchRecord &p) {
            summary.add(p);
            return true;
        }));
        const QList<SummaryRow> expected{{"1", "First1", "Last1", 1, 420, 420, 0, 0, 0, 420},
                                         {"2", "First2", "Last2", 1, 540, 540, 0, 0, 0, 540},
                                         {"3", "First3", "Last3", 1, 0, 0, 1, 0, 0, 0},
                                         {"4", "First4", "Last4", 1, 60, 60, 0, 0, 1, 60}};
        QCOMPARE(summary.rows(), expected);
        QCOMPARE(summary.total(), (SummaryRow{"", "Total", "", 4, 1020, 1020, 1, 0, 1, 1020}));
        QCOMPARE(reports::summaryTexts(summary.total()).at(reports::summaryTitles().indexOf("Reversed Punches")), "1");
    }
};

QTEST_MAIN(TestPayroll)
#include "tst_payroll.moc"
