#include "testenv.h"

#include "platform/regional.h"
#include "station/tamperlock.h"

#include <QTest>

using namespace station::tamper;

namespace {
QDateTime at(int h, int m, int s, int day = 9) { return QDateTime(QDate(2026, 3, day), QTime(h, m, s)); }
} // namespace

class TestTamperLock : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(TestTamperLock)
#include "tst_tamperlock.moc"
