#include "testenv.h"

#include "station/photopopup.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace station;

class TestPhotoPopup : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

    QString picture(int width, int height, const QString &name = "photo.png")
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QString path = m_env->folder() + "/" + name;
        if (!image.save(path))
            qFatal("cannot write the picture");
        return path;
    }

private Q_SLOTS:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void displayTime_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<int>("ms");
        QTest::newRow("whole") << "5" << 5000;
        QTest::newRow("fraction") << "2.5" << 2500;
        QTest::newRow("rounded") << "1.0004" << 1000;
        QTest::newRow("blanks") << " 3 " << 3000;
        QTest::newRow("longest") << "65.535" << 65535;
        QTest::newRow("shortest") << "0.001" << 1;
        // Mended: never zero, never longer than the timer can hold.
        QTest::newRow("zero") << "0" << 5000;
        QTest::newRow("below a millisecond") << "0.0004" << 5000;
        QTest::newRow("negative") << "-3" << 5000;
        QTest::newRow("not a number") << "five" << 5000;
        QTest::newRow("empty") << "" << 5000;
        QTest::newRow("nan") << "nan" << 5000;
        QTest::newRow("infinite") << "inf" << 5000;
        QTest::newRow("too long") << "65.536" << 65535;
        QTest::newRow("far too long") << "1e12" << 65535;
    }
    void displayTime()
    {
        QFETCH(QString, seconds);
        QFETCH(int, ms);
        QCOMPARE(displayInterval(seconds), ms);
    }

    void splitsTheRequest()
    {
        const PhotoRequest r = parsePhotoRequest("/photos/ana.jpg::2.5::3/9/2026 10:00:30 AM");
        QCOMPARE(r.photoPath, QString("/photos/ana.jpg"));
        QCOMPARE(r.intervalMs, 2500);
        QCOMPARE(parsePhotoRequest("/photos/ana.jpg").intervalMs, DefaultDisplayMs);
        QCOMPARE(parsePhotoRequest("").photoPath, QString());
    }

    void centresThePicture()
    {
        QCOMPARE(centredPicturePosition(QSize(1024, 768)), QPoint(0, 0));
        QCOMPARE(centredPicturePosition(QSize(100, 50)), QPoint(462, 359));
        QCOMPARE(centredPicturePosition(QSize(2048, 1000)), QPoint(-512, -116));
    }

    void showsThePhotoForItsTime()
    {
        Form8 popup;
        popup.postRequest(picture(100, 50) + "::2.5::3/9/2026 10:00:30 AM");
        QVERIFY(popup.isShown());
        QCOMPARE(popup.objectName(), QString("Form8"));
        QCOMPARE(popup.geometry(), QRect(0, 0, 1024, 768));
        QCOMPARE(popup.closeInterval(), 2500);
        QVERIFY(popup.findChild<QTimer *>("Timer1")->isActive());
        auto *image = popup.findChild<QLabel *>("Image1");
        QCOMPARE(image->geometry(), QRect(462, 359, 100, 50));
    }

    void largePhotoIsCutAtTheEdges()
    {
        Form8 popup;
        popup.postRequest(picture(1200, 900) + "::1::x");
        QVERIFY(popup.isShown());
        QCOMPARE(popup.findChild<QLabel *>("Image1")->geometry(), QRect(-88, -66, 1200, 900));
    }

    void closesByItsTimer()
    {
        Form8 popup;
        popup.postRequest(picture(10, 10) + "::0.05::x");
        QVERIFY(popup.isShown());
        QTRY_VERIFY_WITH_TIMEOUT(!popup.isShown(), 2000);
        QVERIFY(!popup.findChild<QTimer *>("Timer1")->isActive());
    }

    void aNewRequestRestartsIt()
    {
        Form8 popup;
        popup.postRequest(picture(10, 10) + "::60::x");
        popup.postRequest(picture(300, 200, "other.png") + "::0.1::x");
        QCOMPARE(popup.closeInterval(), 100);
        QCOMPARE(popup.findChild<QLabel *>("Image1")->size(), QSize(300, 200));
        QTRY_VERIFY_WITH_TIMEOUT(!popup.isShown(), 2000);
    }

    void anUnreadablePhotoIsNotShown_data()
    {
        QTest::addColumn<QString>("request");
        QTest::newRow("missing file") << "/nowhere/ana.jpg::5::x";
        QTest::newRow("no path") << "::5::x";
        QTest::newRow("not a picture") << "TEXTFILE::5::x";
    }
    void anUnreadablePhotoIsNotShown()
    {
        QFETCH(QString, request);
        const QString text = m_env->folder() + "/notes.txt";
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        request.replace("TEXTFILE", text);

        Form8 popup;
        popup.postRequest(picture(10, 10) + "::60::x");
        QVERIFY(popup.isShown());
        // A broken photo also takes a showing one down at once.
        popup.postRequest(request);
        QVERIFY(!popup.isShown());
        QVERIFY(!popup.findChild<QTimer *>("Timer1")->isActive());
    }
};

QTEST_MAIN(TestPhotoPopup)
#include "tst_photopopup.moc"
