#include "pages.h"

#include "tableprint/listprinter.h"
#include "tableprint/surface.h"

#include <QStandardItemModel>
#include <QTest>

using namespace tableprint;

namespace {

// Column widths of the test list, in screen pixels.
const QList<double> Widths{100, 60, 80};

// Remembers every text drawn with its rectangle, page, boldness and colour.
class RecordingSurface : public Surface
{
public:
    struct Text {
        QString text;
        QRect rect;
        int page;
        bool bold;
        QColor color;
    };
    using Surface::Surface;
    QRect drawText(const QString &text, const QRect &rect, unsigned format) override
    {
        texts.append({text, rect, page(), fontBold(), foreColor()});
        return Surface::drawText(text, rect, format);
    }
    Text find(const QString &text) const
    {
        for (const Text &t : texts)
            if (t.text == text)
                return t;
        return {};
    }
    QList<Text> texts;
};

// A list of `items` rows; cells read "r<row>c<column>" (1-based rows) unless `blank`.
std::unique_ptr<QStandardItemModel> makeList(int items, bool blank = false)
{
    auto model = std::make_unique<QStandardItemModel>(items, int(Widths.size()));
    for (int c = 0; c < Widths.size(); ++c)
        model->setHorizontalHeaderItem(c, new QStandardItem(blank ? QString() : QString("T%1").arg(c + 1)));
    for (int r = 0; r < items; ++r)
        for (int c = 0; c < Widths.size(); ++c)
            model->setItem(r, c, new QStandardItem(blank ? QString() : QString("r%1c%2").arg(r + 1).arg(c + 1)));
    return model;
}

ListView viewOf(const QAbstractItemModel &model, QList<double> widths = Widths)
{
    ListView view;
    view.model = &model;
    view.columnWidth = [widths](int column) { return widths.value(column); };
    return view;
}

// The surface on a white page of the given resolution; a printer when `printer`.
struct Page {
    explicit Page(int dpi = 96, bool printer = false)
        : image(blankPage(dpi * 8, dpi * 10, dpi)), surface(&image)
    {
        surface.setPrinter(printer);
    }
    QImage image;
    RecordingSurface surface;
};

// The dark pixels along a row or a column of the image.
QList<int> darkAlong(const QImage &image, Qt::Orientation orientation, int at)
{
    QList<int> found;
    const int length = orientation == Qt::Horizontal ? image.width() : image.height();
    for (int i = 0; i < length; ++i) {
        const QRgb pixel = orientation == Qt::Horizontal ? image.pixel(i, at) : image.pixel(at, i);
        if (qGray(pixel) < 160)
            found << i;
    }
    return found;
}

int twipsToPixels96(double twips)
{
    return ClassData::nearest(twips / 15);
}

} // namespace

class TestListPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(ClassData::screenTwipsPerPixelX(), 15.0); // the offscreen screen is 96 dpi
    }

    // Two blank rows drawn under a blank header: the rules found along a column inside the
    // first cell and along a row inside the first body row.
    void rulesAndBorder_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<bool>("border");
        QTest::addColumn<int>("distance");
        QTest::addColumn<int>("posX");
        QTest::addColumn<int>("posY");
        QTest::newRow("no border: the grid at PosX, PosY + 2500") << true << true << false << 1 << 0 << 0;
        QTest::newRow("border one pixel out") << true << true << true << 1 << 150 << 300;
        QTest::newRow("border three pixels out") << true << true << true << 3 << 150 << 300;
        QTest::newRow("only horizontal lines") << true << false << false << 1 << 600 << 0;
        QTest::newRow("only vertical lines and the border") << false << true << true << 2 << 0 << 600;
    }
    void rulesAndBorder()
    {
        QFETCH(bool, horizontal);
        QFETCH(bool, vertical);
        QFETCH(bool, border);
        QFETCH(int, distance);
        QFETCH(int, posX);
        QFETCH(int, posY);
        const auto list = makeList(2, true);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.DrawHorizontalLines = horizontal;
        engine.DrawVerticalLines = vertical;
        engine.DrawBorder = border;
        engine.BorderDistance = distance;
        engine.PosX = posX;
        engine.PosY = posY;
        engine.NumOfRowsPerPage = 42;
        Page page;
        engine.SRow();
        engine.TopData(page.surface);
        engine.MainData(page.surface);

        const int gap = border ? distance : 0;
        const int x0 = twipsToPixels96(posX) + gap, y0 = twipsToPixels96(posY + 2500) + gap;
        const int h = twipsToPixels96(250), bottom = y0 + 3 * h, right = x0 + 240;
        QList<int> rows, columns;
        if (border)
            rows << y0 - gap;
        if (horizontal)
            rows << y0 << y0 + h << y0 + 2 * h << bottom;
        if (border)
            rows << bottom + gap;
        if (border)
            columns << x0 - gap;
        if (vertical)
            columns << x0 << x0 + 100 << x0 + 160 << right;
        if (border)
            columns << right + gap;
        QCOMPARE(darkAlong(page.image, Qt::Vertical, x0 + 50), rows);
        QCOMPARE(darkAlong(page.image, Qt::Horizontal, y0 + h + h / 2), columns);
    }

    // Header text starts nearest(3 × rx) pixels into its cell on a printer, 3 elsewhere;
    // body text 1 elsewhere; rx is a screen pixel in printer pixels.
    void cellInsets_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<bool>("printer");
        QTest::addColumn<int>("header");
        QTest::addColumn<int>("body");
        QTest::addColumn<int>("cellWidth");
        QTest::newRow("image") << 96 << false << 3 << 1 << 100;
        QTest::newRow("image at 192 dpi") << 192 << false << 3 << 1 << 100;
        QTest::newRow("printer at 192 dpi") << 192 << true << 6 << 6 << 200;
        QTest::newRow("printer at 144 dpi: 4.5 goes to 4") << 144 << true << 4 << 4 << 150;
    }
    void cellInsets()
    {
        QFETCH(int, dpi);
        QFETCH(bool, printer);
        QFETCH(int, header);
        QFETCH(int, body);
        QFETCH(int, cellWidth);
        const auto list = makeList(1);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.DrawBorder = false;
        Page page(dpi, printer);
        engine.SRow();
        engine.TopData(page.surface);
        engine.MainData(page.surface);
        const QRect title = page.surface.find("T1").rect, cell = page.surface.find("r1c1").rect;
        QCOMPARE(title.left(), header);
        QCOMPARE(title.right() + 1, cellWidth - header);
        QCOMPARE(cell.left(), body);
        QCOMPARE(cell.right() + 1, cellWidth - body);
        QCOMPARE(page.surface.find("T2").rect.left(), cellWidth + header);
    }

    void longTextEndsInsideItsCell_data()
    {
        QTest::addColumn<bool>("inHeader");
        QTest::newRow("title") << true;
        QTest::newRow("cell") << false;
    }
    void longTextEndsInsideItsCell()
    {
        QFETCH(bool, inHeader);
        auto list = makeList(1, true);
        const QString longText("A title far too long for its narrow column");
        if (inHeader)
            list->horizontalHeaderItem(1)->setText(longText);
        else
            list->item(0, 1)->setText(longText);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.DrawBorder = engine.DrawHorizontalLines = engine.DrawVerticalLines = false;
        Page page;
        engine.SRow();
        engine.TopData(page.surface);
        engine.MainData(page.surface);
        const int inset = inHeader ? 3 : 1;
        const int y0 = twipsToPixels96(2500), h = twipsToPixels96(250);
        const int top = inHeader ? y0 : y0 + h;
        const QRect ink = inkBounds(page.image, QRect(0, top, page.image.width(), h));
        QVERIFY(!ink.isNull());
        QVERIFY2(ink.left() >= 100 + inset && ink.right() < 160 - inset,
                 qPrintable(QString("ink %1..%2").arg(ink.left()).arg(ink.right())));
        QVERIFY2(ink.right() >= 160 - inset - 12, "the text is cut short with an ellipsis, not dropped");
    }

    void pagesOfItems_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<QList<int>>("firstItems"); // first item printed on each page
        QTest::addColumn<QList<int>>("lastItems");
        QTest::newRow("50 items") << 50 << QList<int>{1, 43} << QList<int>{42, 50};
        QTest::newRow("exactly 42") << 42 << QList<int>{1} << QList<int>{42};
        QTest::newRow("85 items") << 85 << QList<int>{1, 43, 85} << QList<int>{42, 84, 85};
    }
    void pagesOfItems()
    {
        QFETCH(int, items);
        QFETCH(QList<int>, firstItems);
        QFETCH(QList<int>, lastItems);
        const auto list = makeList(items);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.NumOfRowsPerPage = 42;
        Page page;
        for (int round = 0; round < 2; ++round) { // the same engine prints the list again
            QList<int> firsts, lasts;
            page.surface.texts.clear();
            int pages = 0;
            while (!engine.LastRowPrinted && pages < 10) {
                engine.SRow();
                engine.TopData(page.surface);
                engine.MainData(page.surface);
                QList<int> printed;
                for (const auto &t : page.surface.texts)
                    if (t.text.endsWith("c1") && t.page == page.surface.page())
                        printed << t.text.mid(1, t.text.size() - 3).toInt();
                firsts << printed.value(0);
                lasts << printed.value(printed.size() - 1);
                QCOMPARE(printed.size(), lasts.last() - firsts.last() + 1);
                page.surface.newPage();
                ++pages;
            }
            QCOMPARE(std::count_if(page.surface.texts.begin(), page.surface.texts.end(),
                                   [](const auto &t) { return t.text == "T1"; }),
                     firstItems.size()); // the titles on every page
            QCOMPARE(firsts, firstItems);
            QCOMPARE(lasts, lastItems);
            QCOMPARE(engine.nextItem(), 1);
            engine.LastRowPrinted = false;
        }
    }

    void emptyListEndsAfterOnePage()
    {
        const auto list = makeList(0);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.NumOfRowsPerPage = 42;
        Page page;
        engine.SRow();
        engine.TopData(page.surface);
        engine.MainData(page.surface);
        QVERIFY(engine.LastRowPrinted);
        QCOMPARE(page.surface.texts.size(), Widths.size());
    }

    void cellsTakeTheListsBoldAndColours()
    {
        auto list = makeList(1);
        QFont bold;
        bold.setBold(true);
        list->item(0, 1)->setFont(bold);
        list->item(0, 1)->setForeground(QColor(Qt::red));
        ClassData engine;
        ListView view = viewOf(*list);
        view.foreColor = Qt::blue;
        engine.ViewData(view);
        Page page;
        engine.SRow();
        engine.TopData(page.surface);
        engine.MainData(page.surface);
        const auto styled = page.surface.find("r1c2"), plain = page.surface.find("r1c3");
        QVERIFY(styled.bold && !plain.bold && !page.surface.find("T2").bold);
        QCOMPARE(styled.color, QColor(Qt::red));
        QCOMPARE(plain.color, QColor(Qt::blue));
        QCOMPARE(page.surface.find("T3").color, QColor(Qt::blue));
        QVERIFY(!page.surface.fontBold());
    }

    void alignmentFromTheList_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("gapLeft"); // -1 left, 0 centred, 1 right
        QTest::newRow("left") << int(Qt::AlignLeft) << -1;
        QTest::newRow("right") << int(Qt::AlignRight) << 1;
        QTest::newRow("centre") << int(Qt::AlignHCenter) << 0;
    }
    void alignmentFromTheList()
    {
        QFETCH(int, alignment);
        QFETCH(int, gapLeft);
        auto list = makeList(1, true);
        list->item(0, 0)->setText("ab");
        list->setHeaderData(0, Qt::Horizontal, alignment, Qt::TextAlignmentRole);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.DrawBorder = engine.DrawHorizontalLines = engine.DrawVerticalLines = false;
        Page page;
        engine.SRow();
        engine.MainData(page.surface);
        const QRect ink = inkBounds(page.image);
        const int left = ink.left() - 1, right = 99 - ink.right();
        const int side = std::abs(left - right) <= 2 ? 0 : (left < right ? -1 : 1);
        QCOMPARE(side, gapLeft);
    }

    void headerIconMovesItsTitle()
    {
        auto list = makeList(1);
        QImage icon(16, 16, QImage::Format_RGB32);
        icon.fill(Qt::black);
        list->setHeaderData(0, Qt::Horizontal, icon, Qt::DecorationRole);
        list->item(0, 0)->setData(icon, Qt::DecorationRole);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.DrawBorder = engine.DrawHorizontalLines = engine.DrawVerticalLines = false;
        engine.HasPicture = true;
        Page page;
        engine.SRow();
        engine.TopData(page.surface);
        engine.MainData(page.surface);
        QCOMPARE(page.surface.find("T1").rect.left(), 3 + twipsToPixels96(400));
        QCOMPARE(page.surface.find("r1c1").rect.left(), 1);
        const int y0 = twipsToPixels96(2500), h = twipsToPixels96(250);
        // Each icon is painted 15 × 15 from the cell's text start, two pixels down.
        QCOMPARE(inkBounds(page.image, QRect(0, y0, 20, h)), QRect(3, y0 + 2, 15, 15));
        QCOMPARE(inkBounds(page.image, QRect(0, y0 + h, 20, h)).topLeft(), QPoint(1, y0 + h + 2));
    }

    void markDataSetsTheHorizontalLines_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<bool>("printer");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("thickness");
        QTest::newRow("image, 3") << 96 << false << 1 << 3 << 3;
        QTest::newRow("image, -2") << 96 << false << 1 << -2 << 2;
        QTest::newRow("image, 0") << 96 << false << 1 << 0 << 1;
        QTest::newRow("printer at 192 dpi, 3") << 192 << true << 1 << 3 << 6;
        QTest::newRow("printer at 192 dpi, 1 stays 1") << 192 << true << 1 << 1 << 1;
        QTest::newRow("another ID") << 96 << false << 2 << 3 << 0;
    }
    void markDataSetsTheHorizontalLines()
    {
        QFETCH(int, dpi);
        QFETCH(bool, printer);
        QFETCH(int, id);
        QFETCH(int, width);
        QFETCH(int, thickness);
        const auto list = makeList(1, true);
        ClassData engine;
        engine.ViewData(viewOf(*list));
        engine.DrawBorder = engine.DrawVerticalLines = false;
        Page page(dpi, printer);
        engine.MarkData(page.surface, id, width, Qt::red);
        engine.SRow();
        engine.MainData(page.surface);
        int red = 0;
        for (int y = 0; y < page.image.height(); ++y)
            red += page.image.pixelColor(40, y) == QColor(Qt::red);
        QCOMPARE(red, 2 * thickness); // the grid's top and the row's bottom
    }
};

QTEST_MAIN(TestListPrint)
#include "tst_listprint.moc"
