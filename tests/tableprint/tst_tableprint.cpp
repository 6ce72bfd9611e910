#include "pages.h"

#include "tableprint/listimport.h"
#include "tableprint/surface.h"
#include "tableprint/tableengine.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QStandardItemModel>
#include <QTest>

#include <functional>

using namespace tableprint;

using Action = std::function<void(Class1 &)>;
Q_DECLARE_METATYPE(Action)

namespace {

// The error number a call throws, 0 when it throws none.
int errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const TableError &error) {
        return error.number;
    }
    return 0;
}

// Remembers every text drawn, with its page, its font and the box drawn last before it.
class RecordingSurface : public Surface
{
public:
    struct Text {
        QString text;
        QRect rect, cell, taken;
        unsigned format;
        int page;
        QFont font;
    };
    using Surface::Surface;

    QRect drawText(const QString &text, const QRect &rect, unsigned format) override
    {
        const QRect taken = Surface::drawText(text, rect, format);
        if (!(format & TextFormat::CalcRect))
            texts.append({text, rect, m_box, taken, format, page(), font()});
        return taken;
    }
    void rectangle(QPointF corner1, QPointF corner2, std::optional<QColor> color) override
    {
        Surface::rectangle(corner1, corner2, color);
        m_box = QRectF(corner1, corner2).toRect();
    }
    QList<Text> drawn(const QString &text) const
    {
        QList<Text> found;
        std::copy_if(texts.begin(), texts.end(), std::back_inserter(found), [&](const Text &t) { return t.text == text; });
        return found;
    }
    QList<int> pagesOf(const QString &text) const
    {
        QList<int> pages;
        for (const Text &t : drawn(text))
            pages << t.page;
        return pages;
    }
    QList<Text> texts;

private:
    QRect m_box;
};

const QFont BodyFont("DejaVu Sans", 9);

// Cells "r<row>c<col>", header "H<col>", footer "F<col>"; columns of 1500.
void fill(Class1 &table, int rows, int cols)
{
    table.setCols(cols);
    table.setRows(rows);
    table.setColWidth(-1, 1500);
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r)
            table.setTextMatrix(r, c, QString("r%1c%2").arg(r).arg(c));
        table.setHeaderText(0, c, QString("H%1").arg(c));
        table.setFooterText(c, QString("F%1").arg(c));
    }
}

} // namespace

class TestTablePrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storageIsEmptyAfterEveryRebuild_data()
    {
        QTest::addColumn<Action>("resize");
        QTest::newRow("new engine") << Action();
        QTest::newRow("Cols = 3") << Action([](Class1 &t) { t.setCols(3); });
        QTest::newRow("HeaderRows = 2") << Action([](Class1 &t) { t.setHeaderRows(2); });
        QTest::newRow("the same Rows again") << Action([](Class1 &t) { t.setRows(5); });
    }
    void storageIsEmptyAfterEveryRebuild()
    {
        QFETCH(Action, resize);
        Class1 table;
        if (resize) {
            fill(table, 5, 2);
            table.setFontMatrix(-1, -1, BodyFont);
            table.setColAlignment(1, 2);
            table.setMergeCol(0, true);
            table.setMergeRow(4, true);
            resize(table);
        }
        QCOMPARE(table.Rows(), 5);
        QVERIFY(table.Cols() >= 2 && table.HeaderRows() >= 1 && table.HasFooter);
        for (int c = 0; c < table.Cols(); ++c) {
            QCOMPARE(table.ColWidth(c), 15.0);
            QCOMPARE(table.ColAlignment(c), 0);
            QCOMPARE(table.TextMatrix(4, c) + table.HeaderText(0, c) + table.FooterText(c), QString());
            QVERIFY(!table.FontMatrix(0, c) && !table.MergeCol(c) && table.PictureMatrix(0, c).isNull());
        }
        QVERIFY(!table.MergeRow(4));
        QCOMPARE(QList<int>({table.LineThickness, table.HeaderLineThickness, table.FooterLineThickness}), QList<int>({1, 1, 1}));
    }

    void refusedValuesChangeNothing_data()
    {
        QTest::addColumn<Action>("write");
        QTest::addColumn<int>("error");
        QTest::newRow("Rows = -1") << Action([](Class1 &t) { t.setRows(-1); }) << errors::InvalidPropertyValue;
        QTest::newRow("Cols = 0") << Action([](Class1 &t) { t.setCols(0); }) << errors::InvalidPropertyValue;
        QTest::newRow("HeaderRows = 0") << Action([](Class1 &t) { t.setHeaderRows(0); }) << errors::InvalidPropertyValue;
        QTest::newRow("body row past the end") << Action([](Class1 &t) { t.setTextMatrix(5, 0, "x"); }) << errors::SubscriptOutOfRange;
        QTest::newRow("reading needs exact indexes") << Action([](Class1 &t) { t.TextMatrix(-1, 0); }) << errors::SubscriptOutOfRange;
        QTest::newRow("every row of a missing column") << Action([](Class1 &t) { t.setTextMatrix(-1, 2, "x"); }) << errors::SubscriptOutOfRange;
        QTest::newRow("header row past the end") << Action([](Class1 &t) { t.setHeaderText(1, -1, "x"); }) << errors::SubscriptOutOfRange;
        QTest::newRow("column width past the end") << Action([](Class1 &t) { t.setColWidth(2, 1); }) << errors::SubscriptOutOfRange;
        QTest::newRow("merge switches have no all form") << Action([](Class1 &t) { t.setMergeCol(-1, true); }) << errors::SubscriptOutOfRange;
        QTest::newRow("row merge past the end") << Action([](Class1 &t) { t.setMergeRow(5, true); }) << errors::SubscriptOutOfRange;
    }
    void refusedValuesChangeNothing()
    {
        QFETCH(Action, write);
        QFETCH(int, error);
        Class1 table;
        table.setTextMatrix(4, 1, "kept");
        table.setColWidth(0, 40);
        QCOMPARE(errorOf([&] { write(table); }), error);
        QCOMPARE(QList<int>({table.Rows(), table.Cols(), table.HeaderRows()}), QList<int>({5, 2, 1}));
        QCOMPARE(table.TextMatrix(4, 1), QString("kept"));
        QCOMPARE(table.TextMatrix(0, 0) + table.HeaderText(0, 0), QString());
        QCOMPARE(table.ColWidth(0), 40.0);
        QVERIFY(!table.MergeCol(0) && !table.MergeRow(4));
    }

    void footerStorageFollowsTheLastRebuild()
    {
        Class1 table;
        table.HasFooter = false;
        table.setRows(10);
        QCOMPARE(errorOf([&] { table.setFooterFont(-1, BodyFont); }), errors::SubscriptOutOfRange);
        table.HasFooter = true;
        QCOMPARE(errorOf([&] { table.FooterText(0); }), errors::SubscriptOutOfRange);
        table.setRows(10);
        QCOMPARE(table.FooterText(0), QString());
    }

    void allIndexWrites()
    {
        Class1 table;
        table.setCols(3);
        table.setTextMatrix(-1, 2, "col");
        table.setTextMatrix(1, -1, "row");
        table.setColWidth(-1, 40);
        table.setHeaderText(-1, 0, "head");
        table.setColFont(1, BodyFont);
        for (int r = 0; r < 5; ++r) {
            QCOMPARE(table.TextMatrix(r, 2), QString(r == 1 ? "row" : "col"));
            QCOMPARE(table.TextMatrix(r, 0), QString(r == 1 ? "row" : ""));
            QCOMPARE(table.FontMatrix(r, 1), CellFont(BodyFont));
            QCOMPARE(table.FontMatrix(r, 0), CellFont());
        }
        QCOMPARE(table.ColWidth(0) + table.ColWidth(1) + table.ColWidth(2), 120.0);
        QCOMPARE(table.HeaderText(0, 0) + table.HeaderText(0, 1), QString("head"));
    }

    void importKeepsWidthProportions_data()
    {
        QTest::addColumn<double>("desired");
        QTest::addColumn<QList<double>>("widths");
        QTest::newRow("scaled to 2000") << 2000.0 << QList<double>{500, 1500};
        QTest::newRow("as they are") << 0.0 << QList<double>{100, 300};
    }
    void importKeepsWidthProportions()
    {
        QFETCH(double, desired);
        QFETCH(QList<double>, widths);
        QStandardItemModel list(3, 2);
        list.setHorizontalHeaderLabels({" ", "Name"});
        list.setHeaderData(1, Qt::Horizontal, QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
        for (int i = 0; i < 3; ++i) {
            list.setItem(i, 0, new QStandardItem(QString::number(i + 1)));
            list.setItem(i, 1, new QStandardItem(QString("name %1").arg(i)));
        }
        QImage icon = blankPage(16, 16);
        list.item(0, 0)->setData(icon, Qt::DecorationRole);
        Class1 table;
        ImportListView(table, list, BodyFont, [](int column) { return column ? 300.0 : 100.0; }, desired, true);
        QCOMPARE(table.PictureMatrix(0, 0), icon);
        QVERIFY(table.PictureMatrix(1, 0).isNull());
        QCOMPARE(QList<double>({table.ColWidth(0), table.ColWidth(1)}), widths);
        QCOMPARE(table.Rows(), 3);
        QCOMPARE(table.HeaderText(0, 0) + table.HeaderText(0, 1), QString(" Name"));
        QCOMPARE(table.TextMatrix(2, 0) + table.TextMatrix(2, 1), QString("3name 2"));
        QCOMPARE(QList<int>({table.ColAlignment(0), table.ColAlignment(1)}), QList<int>({0, 2}));
        QCOMPARE(table.HeaderFont(0, 1), CellFont(BodyFont));
        QCOMPARE(table.FontMatrix(2, 1), CellFont(BodyFont));
    }

    void rowsPerPage_data()
    {
        QTest::addColumn<bool>("withHeader");
        QTest::addColumn<std::optional<bool>>("withFooter");
        QTest::addColumn<int>("expected");
        // 11000 high, margins 500 and 500, rows 250, one header row 300, footer 250.
        QTest::newRow("header set aside") << true << std::optional<bool>(false) << 38;
        QTest::newRow("no header") << false << std::optional<bool>(false) << 40;
        QTest::newRow("footer as HasFooter") << true << std::optional<bool>() << 37;
    }
    void rowsPerPage()
    {
        QFETCH(bool, withHeader);
        QFETCH(std::optional<bool>, withFooter);
        QImage image = blankPage(20, 11000, 1440);
        Surface surface(&image);
        surface.setFont(BodyFont);
        Class1 table;
        table.MarginTop = table.MarginBottom = 500;
        table.RowHeightMin = table.FooterRowHeightMin = 250;
        table.HeaderRowHeightMin = 300;
        table.setColFont(0, QFont("DejaVu Sans", 4));
        QTEST(table.CalcNumRowsPerPage(surface, withHeader, withFooter), "expected");
        QCOMPARE(surface.font(), BodyFont);
    }

    // Pages of 16500 twips; header and body rows 1500: ten body rows under a header.
    void pagination_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("everyPage");
        QTest::addColumn<int>("startPage");
        QTest::addColumn<QList<int>>("headerPages");
        QTest::addColumn<QList<int>>("rowsPerPage");
        QTest::newRow("header on every page") << 25 << true << 1 << QList<int>{1, 2, 3} << QList<int>{10, 10, 5};
        QTest::newRow("header on the first page") << 25 << false << 1 << QList<int>{1} << QList<int>{10, 11, 4};
        QTest::newRow("continued from page 2") << 25 << false << 2 << QList<int>{} << QList<int>{11, 11, 3};
        QTest::newRow("one page") << 9 << true << 1 << QList<int>{1} << QList<int>{9};
        QTest::newRow("empty body") << 0 << false << 1 << QList<int>{1} << QList<int>{0};
    }
    void pagination()
    {
        QFETCH(int, rows);
        QFETCH(bool, everyPage);
        QFETCH(int, startPage);
        QFETCH(QList<int>, rowsPerPage);
        QImage image = blankPage(300, 1100);
        RecordingSurface surface(&image);
        surface.setFont(BodyFont);
        Class1 table;
        fill(table, rows, 2);
        table.PrintHeaderOnEveryPage = everyPage;
        table.RowHeightMin = table.HeaderRowHeightMin = 1500;
        table.DrawTable(surface, 0, startPage);

        QTEST(surface.pagesOf("H0"), "headerPages");
        QList<int> counted(surface.page(), 0);
        for (int r = 0; r < rows; ++r) {
            const QList<int> pages = surface.pagesOf(QString("r%1c0").arg(r));
            QCOMPARE(pages.size(), 1);
            ++counted[pages.first() - 1];
        }
        QCOMPARE(counted, rowsPerPage);
        // The footer follows the last row (or the header), on the last page only.
        QCOMPARE(surface.pagesOf("F1"), QList<int>{surface.page()});
        const QString above = rows ? QString("r%1c1").arg(rows - 1) : "H1";
        QVERIFY(surface.drawn("F1").first().rect.top() >= surface.drawn(above).first().cell.bottom());
        QCOMPARE(surface.currentY() > 0, true);
    }

    void pagesOfAPdf()
    {
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        QPdfWriter writer(&pdf);
        Surface surface(&writer);
        CurrentPrinter::Scope printer(&surface);
        Class1 table;
        fill(table, 10, 3);
        table.PrintHeaderOnEveryPage = true;
        // A header and four rows to a page.
        table.RowHeightMin = table.HeaderRowHeightMin = surface.scaleHeight() / 5.5;
        table.DrawTable(surface, 0, 1);
        QVERIFY(surface.end());
        QCOMPARE(pdfPageCount(pdf.data()), 3);
    }

    void mergedCellsAreDrawnOnceAcrossTheirSpan_data()
    {
        QTest::addColumn<QString>("band");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("across"); // cells the first text spans: > 0 along the row, < 0 down the column
        QTest::newRow("body column") << "body" << QStringList{"A", "A", "B"} << -2;
        QTest::newRow("body row") << "bodyrow" << QStringList{"A", "A", "B"} << 2;
        QTest::newRow("header row, centred") << "header" << QStringList{"W", "W", "T"} << 2;
        QTest::newRow("header column") << "headercol" << QStringList{"W", "W", "T"} << -2;
        QTest::newRow("different texts") << "bodyrow" << QStringList{"A", "C", "B"} << 1;
    }
    void mergedCellsAreDrawnOnceAcrossTheirSpan()
    {
        QFETCH(QString, band);
        QFETCH(QStringList, texts);
        QFETCH(int, across);
        QImage image = blankPage(600, 600);
        RecordingSurface surface(&image);
        surface.setFont(BodyFont);
        Class1 table;
        table.setCols(3);
        table.setRows(3);
        table.setHeaderRows(band == "headercol" ? 3 : 1);
        table.setColWidth(-1, 1500);
        table.RowHeightMin = table.HeaderRowHeightMin = 600;
        table.CellXOffset = 60;
        table.CenterMergedHeader = true;
        for (int i = 0; i < 3; ++i) {
            if (band == "body")
                table.setTextMatrix(i, 0, texts[i]);
            else if (band == "bodyrow")
                table.setTextMatrix(0, i, texts[i]);
            else if (band == "header")
                table.setHeaderText(0, i, texts[i]);
            else
                table.setHeaderText(i, 0, texts[i]);
        }
        table.setMergeCol(0, true);
        table.setMergeRow(0, true);
        table.setMergeHeaderRow(0, true);
        table.setMergeHeaderCol(0, true);
        table.DrawTable(surface);

        const QList<RecordingSurface::Text> first = surface.drawn(texts[0]), last = surface.drawn(texts[2]);
        QCOMPARE(first.size(), 1);
        QCOMPARE(last.size(), 1);
        const QRect span = first.first().cell, single = last.first().cell;
        QCOMPARE(span.width(), std::max(across, 1) * single.width());
        QCOMPARE(span.height(), std::max(-across, 1) * single.height());
        if (band == "header")
            QCOMPARE(first.first().format & TextFormat::HorizontalMask, TextFormat::Center);
    }

    void verticalRunsEndWithThePage()
    {
        QImage image = blankPage(300, 1100);
        RecordingSurface surface(&image);
        Class1 table;
        table.setRows(14);
        table.setTextMatrix(-1, 0, "A");
        table.setMergeCol(0, true);
        table.RowHeightMin = table.HeaderRowHeightMin = 1500;
        table.DrawTable(surface);
        const QList<RecordingSurface::Text> runs = surface.drawn("A");
        QCOMPARE(runs.size(), 2);
        QCOMPARE(QList<int>({runs[0].page, runs[1].page}), QList<int>({1, 2}));
        // Ten rows under the header on page 1, the other four on page 2.
        QCOMPARE(runs[0].cell.height() * 4, runs[1].cell.height() * 10);
    }

    void longTextStaysInsideItsCell_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("cut") << int(TextFormat::Left);
        QTest::newRow("end ellipsis") << int(TextFormat::EndEllipsis);
    }
    void longTextStaysInsideItsCell()
    {
        QFETCH(int, format);
        QImage image = blankPage(400, 300);
        const QString text = "A very long employee name that never fits";
        RecordingSurface surface(&image);
        surface.setFont(BodyFont);
        Class1 table;
        table.setRows(1);
        table.setColWidth(-1, 1500);
        table.CellXOffset = 150;
        table.setColAlignment(0, format);
        table.setTextMatrix(0, 0, text);
        table.DrawTable(surface);
        surface.end();
        const RecordingSurface::Text drawn = surface.drawn(text).first();
        QCOMPARE(drawn.taken.width() <= drawn.rect.width(), bool(format & TextFormat::EndEllipsis));
        // Ink up to the text's right edge, none between it and the cell's border.
        const QRect cell = drawn.cell, inner = drawn.rect;
        QVERIFY(inkBounds(image, QRect(QPoint(inner.right() + 1, cell.top() + 2), QPoint(cell.right() - 2, cell.bottom() - 2))).isNull());
        QVERIFY(!inkBounds(image, QRect(QPoint(inner.right() - 15, inner.top()), QPoint(inner.right(), cell.bottom() - 2))).isNull());
    }

    void picturesSitInTheirCell()
    {
        QImage picture = blankPage(30, 40);
        picture.fill(Qt::red);
        QImage image = blankPage(400, 300);
        RecordingSurface surface(&image);
        Class1 table;
        table.setRows(1);
        table.ResizeCellsToPicHeight = true;
        table.CellXOffset = table.CellYOffset = 60;
        table.setColWidth(-1, 1500);
        table.setTextMatrix(0, 0, "x");
        table.setPictureMatrix(0, 0, picture);
        table.setColAlignment(0, int(TextFormat::Right));
        table.DrawTable(surface);
        surface.end();
        const QRect cell = surface.drawn("x").first().cell;
        QRect red;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                red |= image.pixel(x, y) == qRgb(255, 0, 0) ? QRect(x, y, 1, 1) : QRect();
        QCOMPARE(red.size(), picture.size());
        QVERIFY(cell.contains(red));
        QVERIFY(std::abs((red.top() - cell.top()) - (cell.bottom() - red.bottom())) <= 2); // centred
        QVERIFY(cell.right() - red.right() < red.left() - cell.left());                     // on the right
    }

    // Body row and header height as parts of the page height.
    void aRowTallerThanAPageIsAnError_data()
    {
        QTest::addColumn<double>("row");
        QTest::addColumn<double>("header");
        QTest::addColumn<bool>("everyPage");
        QTest::addColumn<int>("error");
        QTest::newRow("row taller than the page") << 1.2 << 0.1 << false << errors::RowDoesNotFit;
        QTest::newRow("row and repeated header") << 0.6 << 0.6 << true << errors::RowDoesNotFit;
        QTest::newRow("row after a header on page 1 only") << 0.6 << 0.6 << false << 0;
    }
    void aRowTallerThanAPageIsAnError()
    {
        QFETCH(double, row);
        QFETCH(double, header);
        QFETCH(bool, everyPage);
        QFETCH(int, error);
        QImage image = blankPage(300, 600);
        Surface surface(&image);
        const QFont own("DejaVu Sans", 7);
        surface.setFont(own);
        Class1 table;
        table.setRows(3);
        table.PrintHeaderOnEveryPage = everyPage;
        table.RowHeightMin = row * surface.scaleHeight();
        table.HeaderRowHeightMin = header * surface.scaleHeight();
        table.setFontMatrix(-1, -1, BodyFont);
        QCOMPARE(errorOf([&] { table.DrawTable(surface); }), error);
        QCOMPARE(surface.page(), error ? 1 : 4);
        QCOMPARE(surface.font(), own);
    }

    void cellsWithoutAFontUseTheLastOne()
    {
        QImage image = blankPage(300, 400);
        RecordingSurface surface(&image);
        surface.setFont(BodyFont);
        const QFont large("DejaVu Sans", 16);
        Class1 table;
        fill(table, 3, 1);
        table.setFontMatrix(1, 0, large);
        table.DrawTable(surface);
        QCOMPARE(surface.drawn("r0c0").first().font, BodyFont);
        QCOMPARE(surface.drawn("r1c0").first().font, large);
        QCOMPARE(surface.drawn("r2c0").first().font, large);
        QCOMPARE(surface.font(), BodyFont);
    }
};

QTEST_MAIN(TestTablePrint)
#include "tst_tableprint.moc"
