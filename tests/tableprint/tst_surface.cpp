#include "pages.h"

#include "tableprint/surface.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace tableprint;

class TestSurface : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unitsFollowTheResolution_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<double>("value");
        QTest::addColumn<ScaleMode>("from");
        QTest::addColumn<ScaleMode>("to");
        QTest::addColumn<double>("expected");
        QTest::newRow("an inch of twips on a screen image") << 96 << 1440.0 << ScaleMode::Twips << ScaleMode::Pixels << 96.0;
        QTest::newRow("an inch of twips on a 1200 dpi device") << 1200 << 1440.0 << ScaleMode::Twips << ScaleMode::Pixels << 1200.0;
        QTest::newRow("a pixel of a screen image in twips") << 96 << 1.0 << ScaleMode::Pixels << ScaleMode::Twips << 15.0;
        QTest::newRow("a millimetre in hundredths") << 300 << 1.0 << ScaleMode::Millimeters << ScaleMode::HiMetric << 100.0;
        QTest::newRow("an inch of hundredths of a millimetre") << 300 << 2540.0 << ScaleMode::HiMetric << ScaleMode::Pixels << 300.0;
    }
    void unitsFollowTheResolution()
    {
        QFETCH(int, dpi);
        QFETCH(double, value);
        QFETCH(ScaleMode, from);
        QFETCH(ScaleMode, to);
        QFETCH(double, expected);
        QImage image = blankPage(10, 10, dpi);
        Surface surface(&image);
        QCOMPARE(surface.scaleX(value, from, to), expected);
        QCOMPARE(surface.scaleY(value, from, to), expected);
    }

    void sizeAndPositionInTheCurrentUnit()
    {
        QImage image = blankPage(192, 96);
        Surface surface(&image);
        QCOMPARE(surface.scaleMode(), ScaleMode::Twips);
        QCOMPARE(surface.scaleWidth(), 2880.0);
        QCOMPARE(surface.scaleHeight(), 1440.0);
        surface.setCurrentY(720);
        surface.setScaleMode(ScaleMode::Pixels);
        QCOMPARE(surface.currentY(), 48.0);
        QCOMPARE(surface.scaleWidth(), 192.0);
    }

    void textAlignsInItsRectangle_data()
    {
        QTest::addColumn<unsigned>("format");
        QTest::newRow("left") << TextFormat::Left;
        QTest::newRow("centre") << TextFormat::Center;
        QTest::newRow("right") << TextFormat::Right;
    }
    void textAlignsInItsRectangle()
    {
        QFETCH(unsigned, format);
        QImage image = blankPage(400, 60);
        const QRect box(50, 10, 300, 40);
        {
            Surface surface(&image);
            surface.setFont(QFont("DejaVu Sans", 12));
            surface.drawText("Hello", box, format | TextFormat::NoPrefix);
        }
        const QRect ink = inkBounds(image);
        QVERIFY(!ink.isNull());
        QVERIFY(box.contains(ink));
        const int leftGap = ink.left() - box.left(), rightGap = box.right() - ink.right();
        if (format == TextFormat::Left)
            QVERIFY2(leftGap <= 3 && rightGap > 100, qPrintable(QString::number(leftGap)));
        else if (format == TextFormat::Right)
            QVERIFY2(rightGap <= 3 && leftGap > 100, qPrintable(QString::number(rightGap)));
        else
            QVERIFY2(std::abs(leftGap - rightGap) <= 3, qPrintable(QString("%1 %2").arg(leftGap).arg(rightGap)));
        QVERIFY(ink.top() - box.top() <= 6); // lines start at the top
    }

    void measuringDrawsNothing()
    {
        QImage image = blankPage(200, 100);
        Surface surface(&image);
        surface.setFont(QFont("DejaVu Sans", 12));
        const QRect one = surface.drawText("one", QRect(), TextFormat::CalcRect | TextFormat::NoPrefix);
        const QRect two = surface.drawText("one\ntwo", QRect(), TextFormat::CalcRect | TextFormat::NoPrefix);
        const QRect single = surface.drawText("one\ntwo", QRect(), TextFormat::CalcRect | TextFormat::SingleLine);
        QVERIFY(one.height() > 0);
        QCOMPARE(two.height(), 2 * one.height());
        QCOMPARE(single.height(), one.height());
        QVERIFY(single.width() > two.width());
        surface.setScaleMode(ScaleMode::Pixels);
        QCOMPARE(qRound(surface.textHeight("one\ntwo")), two.height());
        surface.end();
        QVERIFY(inkBounds(image).isNull());
    }

    void ampersandIsDrawnAsItIs()
    {
        QImage withSign = blankPage(200, 40), without = blankPage(200, 40);
        for (auto [image, text] : {std::pair{&withSign, "&W"}, std::pair{&without, "W"}}) {
            Surface surface(image);
            surface.setFont(QFont("DejaVu Sans", 14));
            surface.drawText(text, QRect(10, 5, 180, 30), TextFormat::Left);
        }
        QVERIFY(inkBounds(withSign).width() > inkBounds(without).width() + 5);
    }

    void rectanglesAndLines_data()
    {
        QTest::addColumn<FillStyle>("fill");
        QTest::addColumn<int>("width");
        QTest::newRow("transparent, thin") << FillStyle::Transparent << 1;
        QTest::newRow("transparent, thick") << FillStyle::Transparent << 3;
        QTest::newRow("solid") << FillStyle::Solid << 1;
    }
    void rectanglesAndLines()
    {
        QFETCH(FillStyle, fill);
        QFETCH(int, width);
        QImage image = blankPage(100, 100);
        {
            Surface surface(&image);
            surface.setScaleMode(ScaleMode::Pixels);
            surface.setFillStyle(fill);
            surface.setDrawWidth(width);
            surface.rectangle(QPointF(20, 20), QPointF(60, 60));
            surface.line(QPointF(20, 80), QPointF(60, 80));
            QCOMPARE(surface.currentX(), 60.0);
        }
        QCOMPARE(inkBounds(image, QRect(0, 0, 100, 70)), QRect(QPoint(20, 20), QPoint(60, 60)).adjusted(-(width / 2), -(width / 2), width / 2, width / 2));
        QCOMPARE(inkBounds(image, QRect(40, 70, 1, 30)).height(), width);
        QCOMPARE(inkBounds(image, QRect(30, 30, 21, 21)).isNull(), fill == FillStyle::Transparent);
    }

    void picturesKeepTheirPhysicalSize()
    {
        QImage picture = blankPage(10, 10);
        picture.fill(Qt::red);
        QImage image = blankPage(100, 100, 192);
        {
            Surface surface(&image);
            surface.setScaleMode(ScaleMode::HiMetric);
            const QSizeF size = Surface::pictureSize(picture);
            surface.paintPicture(picture, QPointF(0, 0));
            // The top-left quarter of it, unscaled, lower down.
            surface.paintPicture(picture, QPointF(0, size.height() * 2), QSizeF(),
                                 QRectF(0, 0, size.width() / 2, size.height() / 2));
        }
        QCOMPARE(inkBounds(image, QRect(0, 0, 100, 30)), QRect(0, 0, 20, 20));
        QCOMPARE(inkBounds(image, QRect(0, 30, 100, 70)), QRect(0, 40, 10, 10));
    }

    void newPages()
    {
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&pdf);
            Surface surface(&writer);
            QVERIFY(!surface.isPrinter());
            QVERIFY(!CurrentPrinter::newPage());
            CurrentPrinter::Scope scope(&surface);
            surface.setCurrentY(500);
            QVERIFY(CurrentPrinter::newPage());
            QCOMPARE(surface.currentY(), 0.0);
            QVERIFY(surface.newPage());
            QCOMPARE(surface.page(), 3);
            QVERIFY(surface.end());
        }
        QCOMPARE(CurrentPrinter::get(), nullptr);
        QCOMPARE(pdfPageCount(pdf.data()), 3);

        // An image has no pages: its handler takes each one.
        QImage image = blankPage(50, 50);
        Surface surface(&image);
        QList<int> pages;
        surface.setNewPageHandler([&](Surface &s) { pages << s.page(); });
        surface.newPage();
        surface.newPage();
        QCOMPARE(pages, QList<int>({2, 3}));
    }

    void printersAreTold()
    {
        QTemporaryDir dir;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("out.pdf"));
        Surface onPrinter(&printer);
        QVERIFY(onPrinter.isPrinter());
        QCOMPARE(onPrinter.twipsPerPixelX(), 1440.0 / printer.resolution());

        QImage image = blankPage(10, 10);
        Surface onImage(&image);
        QVERIFY(!onImage.isPrinter());
        onImage.setPrinter(true);
        QVERIFY(onImage.isPrinter());
    }
};

QTEST_MAIN(TestSurface)
#include "tst_surface.moc"
