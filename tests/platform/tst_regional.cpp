#include "testenv.h"

#include "platform/clock.h"
#include "platform/regional.h"

#include <QTest>

#include <thread>

class TestRegional : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void generalDateForm_data()
    {
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << QDateTime(QDate(2026, 12, 7), QTime(5, 41, 4)) << "12/7/2026 5:41:04 AM";
        QTest::newRow("afternoon") << QDateTime(QDate(2026, 1, 15), QTime(17, 0, 9)) << "1/15/2026 5:00:09 PM";
        QTest::newRow("midnight is the date alone") << QDateTime(QDate(2026, 3, 1), QTime(0, 0)) << "3/1/2026";
        QTest::newRow("one second past midnight") << QDateTime(QDate(2026, 3, 1), QTime(0, 0, 1)) << "3/1/2026 12:00:01 AM";
        QTest::newRow("zero date is the time alone") << QDateTime(QDate(1899, 12, 30), QTime(8, 30)) << "8:30:00 AM";
    }
    void generalDateForm()
    {
        QFETCH(QDateTime, value);
        QFETCH(QString, text);
        QCOMPARE(regional::generalDate(value), text);
        // Every rendering reads back to the same value.
        QCOMPARE(regional::parseDateTime(text), std::optional<QDateTime>(value));
    }

    void stationTextsReadTheClock()
    {
        TestEnv::setTime(QDateTime(QDate(2026, 12, 7), QTime(5, 41, 4)));
        QCOMPARE(regional::stationTimeText(), QString("12/7/2026 5:41:04 AM"));
        QCOMPARE(regional::stationDateText(), QString("12/7/2026"));
    }

    void parsingAcceptsWhatUsersAndTheStoreWrite()
    {
        QCOMPARE(regional::parseDateTime("2026-12-07 05:41:04"),
                 std::optional<QDateTime>(QDateTime(QDate(2026, 12, 7), QTime(5, 41, 4))));
        QCOMPARE(regional::parseDateTime("12/07/2026 5:41 pm"),
                 std::optional<QDateTime>(QDateTime(QDate(2026, 12, 7), QTime(17, 41))));
        QCOMPARE(regional::parseDateTime("12/7/26"),
                 std::optional<QDateTime>(QDateTime(QDate(2026, 12, 7), QTime(0, 0))));
        QVERIFY(!regional::parseDateTime("").has_value());
        QVERIFY(!regional::parseDateTime("13/45/2026").has_value());
        QVERIFY(!regional::parseDateTime("yesterday").has_value());
    }

    void otherLocalesUseTheirOwnForms()
    {
        regional::setLocale(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime t(QDate(2026, 12, 7), QTime(17, 41, 4));
        const QString text = regional::generalDate(t);
        QVERIFY2(text.startsWith("07.12.2026"), qPrintable(text));
        QCOMPARE(regional::parseDateTime(text), std::optional<QDateTime>(t));
        // A thread of its own (a report read in the background) renders as this one does,
        // also after the locale changes again.
        for (const QLocale &l : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedStates)}) {
            regional::setLocale(l);
            QString there;
            std::thread([&] { there = regional::generalDate(t); }).join();
            QCOMPARE(there, regional::generalDate(t));
        }
        QVERIFY(regional::generalDate(t) != text);
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_GUILESS_MAIN(TestRegional)
#include "tst_regional.moc"
