#include "testenv.h"

#include "platform/messagebox.h"
#include "reports/daterangepanel.h"
#include "settings/keys.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QVBoxLayout>

using platform::MessageBox;
using reports::DateRangePanel;

class TestDateRange : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<DateRangePanel> m_panel;
    const QString Show = QStringLiteral("Show Calender");
    const QString Hide = QStringLiteral("Hide Calender");

    template <typename T = QPushButton>
    T *find(const QString &name)
    {
        T *widget = m_panel->findChild<T *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }
    QStringList texts(const QStringList &names)
    {
        QStringList result;
        for (const QString &name : names)
            result << find<QWidget>(name)->property("text").toString();
        return result;
    }
    QPushButton *day(int index) { return find(QStringLiteral("CommandCalender%1").arg(index)); }
    QPushButton *dayCaptioned(const QString &caption)
    {
        for (int i = 0; i < 46; ++i)
            if (!day(i)->isHidden() && day(i)->text() == caption)
                return day(i);
        qFatal("no day %s", qPrintable(caption));
    }
    void click(const QString &button, const QDate &today = QDate(2007, 12, 3))
    {
        TestEnv::setTime(QDateTime(today, QTime(9, 0)));
        find(button)->click();
    }

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        MessageBox::clearShown();
        m_panel = std::make_unique<DateRangePanel>();
        m_panel->show();
    }
    void cleanup()
    {
        m_panel.reset();
        m_env.reset();
    }

    void fieldCheck_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("message");
        const int tab = Qt::TabFocusReason;
        const QString month = "The Month value must be between 1 and 12.";
        const QString day = "The Day value must be between 1 and 31.";
        const QString year = "The Year value entered must be 4 digits.";
        QTest::newRow("month 0") << "Text1" << "0" << tab << month;
        QTest::newRow("month 12") << "Text5" << "12" << tab << QString();
        QTest::newRow("month 13") << "Text5" << "13" << tab << month;
        QTest::newRow("month MM") << "Text1" << "MM" << tab << month;
        QTest::newRow("month nan") << "Text1" << "nan" << tab << month;
        QTest::newRow("day 0") << "Text8" << "0" << tab << day;
        QTest::newRow("day 31") << "Text8" << "31" << tab << QString();
        QTest::newRow("day 32") << "Text2" << "32" << tab << day;
        QTest::newRow("day 1.5") << "Text2" << "1.5" << tab << QString();
        QTest::newRow("day DD") << "Text2" << "DD" << tab << day;
        QTest::newRow("day empty") << "Text8" << "" << tab << QString();
        QTest::newRow("year two digits") << "Text4" << "07" << tab << year;
        QTest::newRow("year five digits") << "Text9" << "20070" << tab << year;
        QTest::newRow("year four digits") << "Text9" << "2007" << tab << QString();
        QTest::newRow("year four letters") << "Text9" << "abcd" << tab << QString();
        QTest::newRow("year YYYY") << "Text4" << "YYYY" << tab << QString();
        QTest::newRow("window deactivated") << "Text1" << "MM" << int(Qt::ActiveWindowFocusReason) << QString();
    }
    void fieldCheck()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(int, reason);
        QFETCH(QString, message);
        QLineEdit *edit = find<QLineEdit>(field);
        edit->setText(text);
        QFocusEvent leave(QEvent::FocusOut, Qt::FocusReason(reason));
        QCoreApplication::sendEvent(edit, &leave);
        QCOMPARE(edit->text(), message.isEmpty() ? text : QString());
        QCOMPARE(MessageBox::shownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QVERIFY(MessageBox::shown().first().title == "Chronotally" && MessageBox::shown().first().buttons == MessageBox::Buttons::Ok);
    }

    void restore_data()
    {
        QTest::addColumn<QString>("date1"); // null: not stored
        QTest::addColumn<QString>("date2");
        QTest::addColumn<QStringList>("fields"); // Text1, Text2, Text4, Text5, Text8, Text9
        const QStringList initial = {"MM", "DD", "YYYY", "MM", "DD", "YYYY"};
        QTest::newRow("both") << "1/2/2007" << "1/31/2007" << QStringList{"1", "2", "2007", "1", "31", "2007"};
        QTest::newRow("nothing stored") << QString() << QString() << initial;
        QTest::newRow("only date2") << QString() << "1/31/2007" << initial;
        QTest::newRow("date1 of 2 parts") << "1/2" << "1/31/2007" << QStringList{"MM", "DD", "YYYY", "1", "31", "2007"};
        QTest::newRow("date2 of 4 parts") << "01/02/2007" << "1/3/1/2007" << QStringList{"01", "02", "2007", "MM", "DD", "YYYY"};
    }
    void restore()
    {
        QFETCH(QString, date1);
        QFETCH(QString, date2);
        QFETCH(QStringList, fields);
        if (!date1.isNull())
            settings::write(settings::keys::ReportDate1, date1);
        if (!date2.isNull())
            settings::write(settings::keys::ReportDate2, date2);
        m_panel->restore();
        QCOMPARE(texts({"Text1", "Text2", "Text4", "Text5", "Text8", "Text9"}), fields);
    }

    void calendar_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("month"); // chosen in the list after opening; empty: none
        QTest::addColumn<QString>("year");
        QTest::addColumn<int>("firstCell");
        QTest::addColumn<int>("days");
        QTest::newRow("February 2007 starts Thursday") << QDate(2007, 2, 14) << "" << "" << 5 << 28;
        QTest::newRow("December 2007 starts Saturday") << QDate(2007, 12, 3) << "" << "" << 7 << 31;
        QTest::newRow("month chosen in the list") << QDate(2007, 12, 3) << "February" << "" << 5 << 28;
        QTest::newRow("year chosen in the list") << QDate(2007, 2, 14) << "" << "2008" << 6 << 29;
    }
    void calendar()
    {
        QFETCH(QDate, today);
        QFETCH(QString, month);
        QFETCH(QString, year);
        QFETCH(int, firstCell);
        QFETCH(int, days);
        QVERIFY(find<QFrame>("FrameDateCheck")->isHidden());
        click("Command5", today);
        QVERIFY(find<QFrame>("FrameDateCheck")->isVisible());
        auto *months = find<QComboBox>("ComboMonth");
        auto *years = find<QComboBox>("ComboYear");
        QCOMPARE(QDate(years->currentText().toInt(), months->currentIndex() + 1, today.day()), today);
        if (!month.isEmpty())
            months->setCurrentText(month);
        if (!year.isEmpty())
            years->setCurrentText(year);
        for (int i = 0; i < 46; ++i) {
            const bool inMonth = i >= firstCell && i < firstCell + days;
            QCOMPARE(day(i)->property("index").toInt(), i);
            QCOMPARE(day(i)->isVisible(), inMonth);
            if (inMonth)
                QCOMPARE(day(i)->text(), QString::number(i - firstCell + 1));
        }
        // Seven columns, Sunday first: the next day stands to the right, or a Sunday starts
        // the next row at the left; a week later stands right below.
        const QDate first(years->currentText().toInt(), months->currentIndex() + 1, 1);
        auto at = [this](int d) { return dayCaptioned(QString::number(d))->geometry(); };
        for (int d = 1; d < days; ++d) {
            const bool sunday = first.addDays(d).dayOfWeek() == Qt::Sunday;
            QCOMPARE(at(d + 1).top() > at(d).bottom(), sunday);
            QVERIFY(sunday ? at(d + 1).right() < at(d).left() : at(d + 1).left() > at(d).right());
            if (d + 7 <= days)
                QCOMPARE(at(d + 7).left(), at(d).left());
        }
    }

    void pick_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("day");
        QTest::addColumn<int>("range");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("day 31 into range 2") << "Command8" << "" << "31" << 2 << QStringList{"12", "31", "2007"};
        QTest::newRow("no leading zeros") << "Command5" << "March" << "5" << 1 << QStringList{"3", "5", "2007"};
    }
    void pick()
    {
        QFETCH(QString, button);
        QFETCH(QString, month);
        QFETCH(QString, day);
        QFETCH(int, range);
        QFETCH(QStringList, fields);
        click(button);
        if (!month.isEmpty())
            find<QComboBox>("ComboMonth")->setCurrentText(month);
        dayCaptioned(day)->click();
        for (int r = 1; r <= 2; ++r) {
            const reports::Fields f = m_panel->range(r);
            QCOMPARE(QStringList({f.month, f.day, f.year}), r == range ? fields : QStringList({"MM", "DD", "YYYY"}));
        }
        QVERIFY(find<QFrame>("FrameDateCheck")->isHidden());
        QCOMPARE(texts({"Command5", "Command8"}), QStringList({Show, Show}));
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void captions_data()
    {
        QTest::addColumn<QString>("clicks"); // 5: Command5, 8: Command8
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("target");
        QTest::newRow("none") << "" << QStringList{Show, Show} << false << 1;
        QTest::newRow("range 2 opens") << "8" << QStringList{Show, Hide} << true << 2;
        QTest::newRow("range 2 closes") << "88" << QStringList{Show, Show} << false << 2;
        QTest::newRow("range 1 takes over") << "85" << QStringList{Hide, Show} << true << 1;
        QTest::newRow("range 1 closes") << "855" << QStringList{Show, Show} << false << 1;
        QTest::newRow("range 1 opens after range 2") << "885" << QStringList{Hide, Show} << true << 1;
    }
    void captions()
    {
        QFETCH(QString, clicks);
        QFETCH(QStringList, captions);
        QFETCH(bool, open);
        QFETCH(int, target);
        for (QChar c : clicks)
            click(QStringLiteral("Command") + c);
        QCOMPARE(texts({"Command5", "Command8"}), captions);
        QCOMPARE(find<QFrame>("FrameDateCheck")->isVisible(), open);
        QCOMPARE(m_panel->logic().target(), target);
    }

    void listsFilledOnce()
    {
        for (const char *button : {"Command5", "Command5", "Command8"})
            click(button);
        for (const char *name : {"ComboMonth", "ComboYear"}) {
            auto *list = find<QComboBox>(name);
            QSet<QString> entries;
            for (int i = 0; i < list->count(); ++i)
                entries.insert(list->itemText(i));
            QCOMPARE(entries.size(), list->count());
        }
        QCOMPARE(find<QComboBox>("ComboMonth")->count(), 12);
        auto *years = find<QComboBox>("ComboYear");
        QCOMPARE(QStringList({years->itemText(0), years->itemText(years->count() - 1)}), QStringList({"1900", "2998"}));
    }

    void calendarOverList()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *panel = new DateRangePanel;
        auto *list = new QListWidget;
        layout->addWidget(panel);
        layout->addWidget(list, 1);
        window.resize(800, 600);
        window.show();
        auto *button = panel->findChild<QPushButton *>("Command8");
        auto *frame = panel->findChild<QFrame *>("FrameDateCheck");
        // Opened once, and again after the list was raised over it.
        for (int opening = 0; opening < 2; ++opening) {
            button->click();
            QVERIFY(frame->isVisible());
            QVERIFY(window.rect().contains(frame->geometry()));
            QVERIFY(frame->geometry().intersects(list->geometry()));
            for (const QPoint &corner : {frame->geometry().topLeft(), frame->geometry().bottomRight()}) {
                QWidget *top = window.childAt(corner);
                QVERIFY(top == frame || frame->isAncestorOf(top));
            }
            button->click();
            list->raise();
        }
        const QPointer<QFrame> guard(frame);
        delete panel;
        QVERIFY(guard.isNull());
    }
};

QTEST_MAIN(TestDateRange)
#include "tst_daterange.moc"
