#include "testenv.h"

#include "reports/hourtexts.h"
#include "reports/payroll.h"
#include "reports/reportengine.h"
#include "reports/reportlistmodel.h"

#include <QScopeGuard>
#include <QTest>

#include <ctime>

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
        PayrollSummary summary(rules, at(20, 0));
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
        PayrollSummary summary(PayrollRules::fromTexts(false, "6", "30", limit), now);
        summary.add(punch("5", minutes));
        QCOMPARE(summary.rows().first().overLongPunches, flagged);
        QCOMPARE(summary.rows().first().openPunches, qint64(minutes < 0 ? 1 : 0));
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
        PayrollSummary summary(PayrollRules::fromTexts(true, "4", "30", "16"), at(20, 0));
        QVERIFY(!engine.punches(reports::Filter::OnlyWorked, Day, Day, [&](const PunchRecord &p) {
            summary.add(p);
            return true;
        }));
        const QList<SummaryRow> expected{{"7", "First7", "Last7", 1, 0, 0, 1, 0},
                                         {"AB", "FirstAB", "LastAB", 2, 485, 455, 0, 0}};
        QCOMPARE(summary.rows(), expected);
        QCOMPARE(summary.total(), (SummaryRow{"Total", "", "", 3, 485, 455, 1, 0}));

        reports::ReportListModel list;
        list.appendColumn("Total-Hour:Minute");
        QVERIFY(!engine.runReport(reports::Filter::OnlyWorked, Day, Day,
                                  [&](const QList<reports::ReportRow> &rows) { list.appendRows(rows); }));
        QCOMPARE(list.cell(list.rowCount() - 1, 1), reports::hours::totalHourMinuteText(485));
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
        PayrollSummary summary(PayrollRules::fromTexts(false, "6", "30", "16"), at(14, 30, spring.addDays(1)));
        QVERIFY(!engine.punches(reports::Filter::OnlyWorked, spring, autumn, [&](const PunchRecord &p) {
            summary.add(p);
            return true;
        }));
        const QList<SummaryRow> expected{{"1", "First1", "Last1", 1, 420, 420, 0, 0, 0},
                                         {"2", "First2", "Last2", 1, 540, 540, 0, 0, 0},
                                         {"3", "First3", "Last3", 1, 0, 0, 1, 0, 0},
                                         {"4", "First4", "Last4", 1, 60, 60, 0, 0, 1}};
        QCOMPARE(summary.rows(), expected);
        QCOMPARE(summary.total(), (SummaryRow{"Total", "", "", 4, 1020, 1020, 1, 0, 1}));
        QCOMPARE(reports::summaryTexts(summary.total()).at(reports::summaryTitles().indexOf("Reversed Punches")), "1");
    }
};

QTEST_MAIN(TestPayroll)
#include "tst_payroll.moc"
