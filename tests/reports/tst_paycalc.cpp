#include "platform/regional.h"
#include "reports/paycalc.h"

#include <QTest>

#include <ctime>

using namespace reports;
using namespace reports::pay;

Q_DECLARE_METATYPE(reports::pay::PaySplit)
Q_DECLARE_METATYPE(reports::PeriodKind)

namespace reports::pay {
char *toString(const PaySplit &split)
{
    return QTest::toString(QStringLiteral("regular %1, overtime %2").arg(split.regular).arg(split.overtime));
}
} // namespace reports::pay

namespace {
const QDate Sunday(2026, 3, 1);

// A wall-clock date-time from "2026-11-01T02:38" or, on Monday 2 March 2026, "08:07:30".
QDateTime wall(const QString &text)
{
    if (text.size() <= 8)
        return QDateTime(Sunday.addDays(1), QTime::fromString(text, Qt::ISODate), Qt::UTC);
    const QDateTime local = QDateTime::fromString(text, Qt::ISODate);
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

// "0:540 1:300" - punches as day-after-Sunday:paid-minutes, in clock-in order.
QList<std::pair<QDate, qint64>> punches(const QString &text)
{
    QList<std::pair<QDate, qint64>> list;
    for (const QString &punch : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        list.append({Sunday.addDays(punch.section(QLatin1Char(':'), 0, 0).toInt()),
                     punch.section(QLatin1Char(':'), 1, 1).toLongLong()});
    return list;
}

} // namespace

class TestPayCalc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A zone with changes of the clocks, for the elapsed time across them.
        qputenv("TZ", "America/New_York");
        tzset();
        regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void rounding_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("rounded");
        QTest::newRow("7 past, 15") << 15 << "08:07:00" << "08:00:00";
        QTest::newRow("8 past, 15") << 15 << "08:08:00" << "08:15:00";
        QTest::newRow("halfway, 15") << 15 << "08:07:30" << "08:15:00";
        QTest::newRow("halfway, 6") << 6 << "08:03:00" << "08:06:00";
        QTest::newRow("below half, 6") << 6 << "08:02:59" << "08:00:00";
        QTest::newRow("halfway, 5") << 5 << "08:57:30" << "09:00:00";
        QTest::newRow("up past midnight") << 15 << "2026-12-31T23:53" << "2027-01-01T00:00";
        QTest::newRow("off") << 0 << "08:07:10" << "08:07:10";
    }
    void rounding()
    {
        QFETCH(int, step);
        QFETCH(QString, time);
        QFETCH(QString, rounded);
        QCOMPARE(roundToMinutes(wall(time), step), wall(rounded));
    }

    // Paid minutes: rounded clock-in and clock-out, the real time between them, then the break.
    void paidMinutesOfPunch_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("breakRule");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<qint64>("paid");
        QTest::newRow("both rounded") << 15 << false << "08:07:29" << "16:08" << qint64(495);
        QTest::newRow("off: minute boundaries") << 0 << false << "08:00:59" << "08:01:00" << qint64(1);
        QTest::newRow("rounded to the break limit") << 15 << true << "08:08" << "14:22" << qint64(360);
        QTest::newRow("rounded past it") << 15 << true << "08:07" << "14:08" << qint64(345);
        QTest::newRow("clocks forward") << 0 << false << "2026-03-08T00:30" << "2026-03-08T03:30" << qint64(120);
        QTest::newRow("clocks back") << 15 << false << "2026-11-01T00:23" << "2026-11-01T02:38" << qint64(195);
        QTest::newRow("open") << 15 << false << "08:00" << "" << qint64(0);
    }
    void paidMinutesOfPunch()
    {
        QFETCH(int, step);
        QFETCH(bool, breakRule);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(qint64, paid);
        PayRules rules;
        rules.roundingMinutes = step;
        rules.breakRule = breakRule;
        QCOMPARE(paidMinutes(rules, wall(in), out.isEmpty() ? QDateTime() : wall(out)).value_or(-1), paid);
    }

    // Per punch, in order of clock-in: daily overtime first, then weekly on regular minutes.
    void overtimeSplit_data()
    {
        QTest::addColumn<bool>("daily");
        QTest::addColumn<int>("firstDay");
        QTest::addColumn<QString>("week");
        QTest::addColumn<QString>("overtime"); // per punch
        QTest::addColumn<PaySplit>("total");
        QTest::newRow("45 hours") << false << int(Qt::Sunday) << "1:540 2:540 3:540 4:540 5:540" << "0 0 0 0 300"
                                  << PaySplit{2400, 300};
        QTest::newRow("both, 5 x 10 hours") << true << int(Qt::Sunday) << "1:600 2:600 3:600 4:600 5:600"
                                            << "120 120 120 120 120" << PaySplit{2400, 600};
        QTest::newRow("both, 6 x 10 hours") << true << int(Qt::Sunday) << "1:600 2:600 3:600 4:600 5:600 6:600"
                                            << "120 120 120 120 120 600" << PaySplit{2400, 1200};
        QTest::newRow("daily across two punches") << true << int(Qt::Sunday) << "1:300 1:300 2:100" << "0 120 0"
                                                  << PaySplit{580, 120};
        QTest::newRow("week from Monday") << false << int(Qt::Monday) << "0:600 1:480 2:480 3:480 4:480 5:480"
                                          << "0 0 0 0 0 0" << PaySplit{3000, 0};
    }
    void overtimeSplit()
    {
        QFETCH(bool, daily);
        QFETCH(int, firstDay);
        QFETCH(QString, week);
        QFETCH(QString, overtime);
        QFETCH(PaySplit, total);
        PayRules rules;
        rules.dailyOvertime = daily;
        rules.workweekStart = Qt::DayOfWeek(firstDay);
        OvertimeSplitter splitter(rules);
        QStringList perPunch;
        PaySplit sum;
        for (const auto &[date, minutes] : punches(week)) {
            const PaySplit split = splitter.add(date, minutes);
            QCOMPARE(split.total(), minutes);
            perPunch << QString::number(split.overtime);
            sum += split;
        }
        QCOMPARE(perPunch.join(QLatin1Char(' ')), overtime);
        QCOMPARE(sum, total);
    }

    // Anchored on Sunday 4 January 2026.
    void payPeriods_data()
    {
        QTest::addColumn<PeriodKind>("kind");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        using K = PeriodKind;
        QTest::newRow("weekly, year end") << K::Weekly << QDate(2026, 1, 3) << QDate(2025, 12, 28) << QDate(2026, 1, 3);
        QTest::newRow("weekly, long before") << K::Weekly << QDate(2024, 2, 29) << QDate(2024, 2, 25) << QDate(2024, 3, 2);
        QTest::newRow("biweekly, last day") << K::Biweekly << QDate(2026, 1, 17) << QDate(2026, 1, 4) << QDate(2026, 1, 17);
        QTest::newRow("biweekly, before") << K::Biweekly << QDate(2026, 1, 3) << QDate(2025, 12, 21) << QDate(2026, 1, 3);
        QTest::newRow("semimonthly, 15th") << K::SemiMonthly << QDate(2026, 2, 15) << QDate(2026, 2, 1) << QDate(2026, 2, 15);
        QTest::newRow("semimonthly, 2026") << K::SemiMonthly << QDate(2026, 2, 16) << QDate(2026, 2, 16) << QDate(2026, 2, 28);
        QTest::newRow("semimonthly, 2024") << K::SemiMonthly << QDate(2024, 2, 29) << QDate(2024, 2, 16) << QDate(2024, 2, 29);
        QTest::newRow("monthly, 2100") << K::Monthly << QDate(2100, 2, 1) << QDate(2100, 2, 1) << QDate(2100, 2, 28);
        QTest::newRow("monthly, 2000") << K::Monthly << QDate(2000, 2, 10) << QDate(2000, 2, 1) << QDate(2000, 2, 29);
        QTest::newRow("monthly, December") << K::Monthly << QDate(2025, 12, 31) << QDate(2025, 12, 1) << QDate(2025, 12, 31);
    }
    void payPeriods()
    {
        QFETCH(PeriodKind, kind);
        QFETCH(QDate, date);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        const QDate anchor(2026, 1, 4);
        const PayPeriod period = periodHolding(date, kind, anchor);
        QCOMPARE(period, (PayPeriod{first, last}));
        // Neighbours meet it without a gap, and each is the period holding its own dates.
        const PayPeriod previous = previousPeriod(period, kind, anchor);
        const PayPeriod next = nextPeriod(period, kind, anchor);
        QCOMPARE(previous.last.addDays(1), first);
        QCOMPARE(next.first, last.addDays(1));
        QCOMPARE(periodHolding(previous.first, kind, anchor), previous);
        QCOMPARE(periodHolding(next.last, kind, anchor), next);
        QVERIFY(!periodEnded(period, last));
        QVERIFY(periodEnded(period, last.addDays(1)));
    }

    void grossPay_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<PaySplit>("minutes");
        QTest::addColumn<double>("multiplier");
        QTest::addColumn<QString>("pay"); // empty: the rate is not a number
        QTest::newRow("45 hours at 20") << "en_US" << "20" << PaySplit{2400, 300} << 1.5 << "950.00";
        QTest::newRow("sign, separators") << "en_US" << "$1,234.50" << PaySplit{60, 0} << 1.5 << "1234.50";
        QTest::newRow("euro") << "en_US" << "€20" << PaySplit{0, 60} << 2.0 << "40.00";
        QTest::newRow("blanks") << "en_US" << " 20 " << PaySplit{90, 0} << 1.5 << "30.00";
        QTest::newRow("half a cent, negative") << "en_US" << "-$10.01" << PaySplit{30, 0} << 1.5 << "-5.01";
        QTest::newRow("decimal multiplier") << "en_US" << "10" << PaySplit{0, 3} << 1.15 << "0.58";
        QTest::newRow("regional") << "de_DE" << "€1.234,50" << PaySplit{60, 0} << 1.5 << "1234.50";
        QTest::newRow("comma, not grouped") << "en_US" << "20,5" << PaySplit{60, 0} << 1.5 << "";
        QTest::newRow("words") << "en_US" << "20 an hour" << PaySplit{60, 0} << 1.5 << "";
        QTest::newRow("empty") << "en_US" << "" << PaySplit{60, 0} << 1.5 << "";
        QTest::newRow("two signs") << "en_US" << "$$20" << PaySplit{60, 0} << 1.5 << "";
    }
    void grossPay()
    {
        QFETCH(QString, locale);
        QFETCH(QString, rate);
        QFETCH(PaySplit, minutes);
        QFETCH(double, multiplier);
        QFETCH(QString, pay);
        regional::setLocale(QLocale(locale));
        const auto parsed = parseRate(rate);
        regional::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(parsed.has_value(), !pay.isEmpty());
        if (parsed)
            QCOMPARE(amountText(*grossPayCents(*parsed, minutes, multiplier)), pay);
    }
};

QTEST_GUILESS_MAIN(TestPayCalc)
#include "tst_paycalc.moc"
