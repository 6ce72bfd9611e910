#include "testenv.h"

#include "platform/regional.h"
#include "station/tamperlock.h"

#include <QTest>

using namespace station::tamper;

namespace {
QDateTime at(int h, int m, int s, int day = 9) { return QDateTime(QDate(2026, 3, day), QTime(h, m, s)); }
// An instant given in UTC, as the station's local clock shows it.
QDateTime utc(int month, int day, int h, int m, int s)
{
    return QDateTime(QDate(2027, month, day), QTime(h, m, s), Qt::UTC).toLocalTime();
}
} // namespace

class TestTamperLock : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

private Q_SLOTS:
    void initTestCase() { qputenv("TZ", "America/New_York"); }
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void countsMinuteBoundaries()
    {
        QCOMPARE(minuteBoundaries(at(10, 0, 59), at(10, 1, 0)), 1);
        QCOMPARE(minuteBoundaries(at(10, 0, 0), at(10, 0, 59)), 0);
        QCOMPARE(minuteBoundaries(at(10, 1, 0), at(10, 0, 59)), -1);
        QCOMPARE(minuteBoundaries(at(23, 59, 59), at(0, 0, 0, 10)), 1);
        QCOMPARE(minuteBoundaries(at(0, 0, 0, 10), at(23, 58, 0)), -2);
        QCOMPARE(minuteBoundaries(at(9, 0, 0), at(9, 0, 0, 10)), 1440);
    }

    void readsTheDisplayTextBack()
    {
        QCOMPARE(minutesSince(regional::generalDate(at(10, 0, 30)), at(10, 3, 31)), std::optional<qint64>(3));
        // Midnight renders as the date alone and still reads back.
        QCOMPARE(minutesSince(regional::generalDate(at(0, 0, 0)), at(0, 2, 0)), std::optional<qint64>(2));
        QCOMPARE(minutesSince(QString(), at(10, 0, 0)), std::nullopt);
        QCOMPARE(minutesSince("not a time", at(10, 0, 0)), std::nullopt);
    }

    // Each of the two readings is held against its own bound.
    void firstReadingForwardsSecondBackwards()
    {
        const QString shown = regional::generalDate(at(10, 0, 30));
        QList<QDateTime> readings{at(10, 3, 31), at(10, 0, 30)};
        QVERIFY(clockMoved([&] { return shown; }, [&] { return readings.takeFirst(); }));

        readings = {at(9, 57, 0), at(10, 0, 30)};
        QVERIFY(!clockMoved([&] { return shown; }, [&] { return readings.takeFirst(); }));

        readings = {at(10, 0, 30), at(9, 57, 0)};
        QVERIFY(clockMoved([&] { return shown; }, [&] { return readings.takeFirst(); }));
    }

    void tickWritesTheTimeAfterTheCheck()
    {
        TestEnv::setTime(at(10, 0, 30));
        QString display;
        int locks = 0;
        const auto read = [&] { return display; };
        const auto write = [&](const QString &t) { display = t; };
        clockTick(read, write, [&] { ++locks; });
        QCOMPARE(display, regional::generalDate(at(10, 0, 30)));
        QCOMPARE(locks, 0);
        TestEnv::setTime(at(11, 0, 30));
        clockTick(read, write, [&] { ++locks; });
        QCOMPARE(locks, 1);
        QCOMPARE(display, regional::generalDate(at(11, 0, 30)));
        // An unreadable display never locks and is simply rewritten.
        display = "garbled";
        clockTick(read, write, [&] { ++locks; });
        QCOMPARE(locks, 1);
        QCOMPARE(display, regional::generalDate(at(11, 0, 30)));
    }

    // One tick from the shown time to the clock in America/New_York, where the clocks go
    // forward at 2:00 on 2027-03-14 (07:00 UTC) and back at 2:00 on 2027-11-07 (06:00 UTC).
    void tickAcrossAChangeOfTheClocks_data()
    {
        QTest::addColumn<QDateTime>("shown");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("locks");
        const QDateTime springBefore = utc(3, 14, 6, 59, 59), springAfter = utc(3, 14, 7, 0, 0);
        const QDateTime autumnBefore = utc(11, 7, 5, 59, 59), autumnAfter = utc(11, 7, 6, 0, 0);
        QTest::newRow("spring, option off") << springBefore << springAfter << false << true;
        QTest::newRow("spring, option on") << springBefore << springAfter << true << false;
        QTest::newRow("autumn, option off") << autumnBefore << autumnAfter << false << true;
        QTest::newRow("autumn, option on") << autumnBefore << autumnAfter << true << false;
        // The ticks after a change count as before it.
        QTest::newRow("autumn, next tick") << autumnAfter << autumnAfter.addSecs(1) << false << false;
        QTest::newRow("autumn, second 1:59") << utc(11, 7, 6, 59, 59) << utc(11, 7, 7, 0, 0) << false << false;
        // A moved clock still locks with the option on.
        QTest::newRow("moved an hour forwards") << utc(3, 13, 15, 0, 0) << utc(3, 13, 16, 0, 0) << true << true;
        QTest::newRow("moved an hour back") << utc(11, 6, 15, 0, 0) << utc(11, 6, 14, 0, 0) << true << true;
        QTest::newRow("two hours at the spring change") << springBefore << utc(3, 14, 8, 0, 0) << true << true;
        QTest::newRow("back an hour after the autumn change")
            << utc(11, 7, 6, 5, 0) << utc(11, 7, 4, 5, 0) << true << true;
    }
    void tickAcrossAChangeOfTheClocks()
    {
        QFETCH(QDateTime, shown);
        QFETCH(QDateTime, now);
        QFETCH(bool, option);
        QFETCH(bool, locks);
        QString display = regional::generalDate(shown);
        TestEnv::setTime(now);
        int locked = 0;
        clockTick([&] { return display; }, [&](const QString &t) { display = t; }, [&] { ++locked; }, option);
        QCOMPARE(locked, locks ? 1 : 0);
        QCOMPARE(display, regional::generalDate(now));
    }
};

QTEST_GUILESS_MAIN(TestTamperLock)
#include "tst_tamperlock.moc"
