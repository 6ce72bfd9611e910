#include "platform/messagebox.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using platform::MessageBox;

// The real box, not the scripted one: stored texts reach it as typed.
class TestMessageBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storedTextIsShownAsTyped()
    {
        MessageBox::setScripted(false);
        const QString text = QStringLiteral("<b>Bob</b> & co, You have been Clocked in at 12/7/2026 5:41:04 AM"
                                            "\r\n\r\n<b>Bob</b> & co Entrada Confirmada 12/7/2026 5:41:04 AM");
        QString shownText;
        Qt::TextFormat format = Qt::AutoText;
        QString title;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            const QLabel *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            shownText = label->text();
            format = label->textFormat();
            title = box->windowTitle();
            box->accept();
        });
        QCOMPARE(MessageBox::ok(text, QStringLiteral("<i>title</i>")), MessageBox::Answer::Ok);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shownText, text);
        QCOMPARE(title, QStringLiteral("<i>title</i>"));
    }
};

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
