#include "testenv.h"

#include "../tableprint/pages.h"

#include "platform/messagebox.h"
#include "reports/printeroptionsframe.h"
#include "reports/reportlistmodel.h"
#include "reports/reportprinting.h"
#include "settings/keys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using reports::ReportPrinting;
using Result = ReportPrinting::Result;

namespace {

const QString Queue = QStringLiteral("ChronotallyPDF");

// A report list with the row-number column, "First Name" and "Last Name".
std::unique_ptr<reports::ReportListModel> reportOf(int rows)
{
    auto model = std::make_unique<reports::ReportListModel>();
    model->appendColumn(QStringLiteral("First Name"));
    model->appendColumn(QStringLiteral("Last Name"));
    for (int i = 1; i <= rows; ++i)
        model->appendRow({QString::number(i), QStringLiteral("Name%1").arg(i), QStringLiteral("Last%1").arg(i)});
    return model;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Per page of a PDF file: how many report rows its grid has and whether it shows the
// column titles (the same title band as on page 1, with ink in it).
struct PageText {
    int rows = 0;
    bool titles = false;
    bool operator==(const PageText &o) const { return rows == o.rows && titles == o.titles; }
};
char *toString(const PageText &page)
{
    return qstrdup(QByteArray::number(page.rows) + (page.titles ? " rows with the titles" : " rows without the titles"));
}
// The pages rendered at 300 dpi without smoothing, so that every rule is a dark pixel row. A
// rule is a row whose dark pixels reach most of the longest one's count; from the top they
// are the border, the grid's top, the titles' bottom, one below each row and the border.
QList<PageText> pagesOf(const QString &pdf)
{
    QTemporaryDir dir;
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {"-r", "300", "-aa", "no", "-aaVector", "no", "-gray", "-png", pdf,
                                              dir.filePath(QStringLiteral("page"))});
    if (!render.waitForFinished(60000) || render.exitCode() != 0)
        return {};
    QList<PageText> pages;
    QImage firstBand;
    QStringList files = QDir(dir.path()).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QImage image(dir.filePath(file));
        QList<int> dark(image.height());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark[y] += qGray(image.pixel(x, y)) < 128;
        const int longest = *std::max_element(dark.begin(), dark.end());
        QList<QPair<int, int>> rules; // first and last pixel row of each rule
        for (int y = 0; y < image.height(); ++y) {
            if (longest == 0 || dark[y] < longest * 8 / 10)
                continue;
            if (!rules.isEmpty() && rules.last().second == y - 1)
                rules.last().second = y;
            else
                rules.append({y, y});
        }
        PageText page;
        page.rows = int(rules.size()) - 4;
        if (rules.size() >= 4) {
            const QImage band = image.copy(0, rules[1].second + 1, image.width(), rules[2].first - rules[1].second - 1);
            if (firstBand.isNull())
                firstBand = band;
            page.titles = !inkBounds(band).isNull() && band == firstBand;
        }
        pages.append(page);
    }
    return pages;
}

QList<PageText> expectedPages(QList<int> rows)
{
    QList<PageText> pages;
    for (int r : rows)
        pages.append({r, true});
    return pages;
}

// The folder the PDF printer writes the jobs of this user to.
QString pdfPrinterFolder()
{
    const passwd *pw = getpwuid(getuid());
    return QString::fromLocal8Bit(pw ? pw->pw_dir : qgetenv("HOME").constData()) + QStringLiteral("/PDF");
}

} // namespace

Q_DECLARE_METATYPE(QList<PageText>)

class TestPrinting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        platform::MessageBox::clearShown();
    }
    void cleanup() { m_env.reset(); }

    // The frame's "Print" into a PDF file: 42 rows a page with the titles on each, and no
    // blank page after the last.
    void printsFortyTwoRowsAPage_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<PageText>>("pages");
        QTest::newRow("85 rows") << 85 << expectedPages({42, 42, 1});
        QTest::newRow("42 rows") << 42 << expectedPages({42});
        QTest::newRow("43 rows") << 43 << expectedPages({42, 1});
    }
    void printsFortyTwoRowsAPage()
    {
        QFETCH(int, rows);
        QFETCH(QList<PageText>, pages);
        const auto model = reportOf(rows);
        reports::PrinterOptionsFrame frame;
        const QString pdf = m_env->folder() + QStringLiteral("/report.pdf");
        frame.printing().setPdfFile(pdf);
        frame.setList([&] { return reports::reportListView(*model); });
        QList<Result> results;
        connect(&frame, &reports::PrinterOptionsFrame::printed, this, [&](Result r) { results << r; });
        frame.findChild<QPushButton *>(QStringLiteral("Command9"))->click();
        QCOMPARE(results, QList<Result>{Result::Printed});
        QCOMPARE(pagesOf(pdf), pages);
        QVERIFY(platform::MessageBox::shown().isEmpty());
    }

    void emptyListDoesNothing()
    {
        const auto model = reportOf(0);
        ReportPrinting printing;
        const QString pdf = m_env->folder() + QStringLiteral("/empty.pdf");
        printing.setPdfFile(pdf);
        int progress = 0;
        printing.setProgress([&](int, int) { return ++progress, true; });
        QCOMPARE(printing.print(reports::reportListView(*model)), Result::NothingToPrint);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(progress, 0);
        QVERIFY(platform::MessageBox::shown().isEmpty());
    }

    // Texts chosen one after another, and the printer in use after them (empty: the default).
    void printerChoiceIsExact_data()
    {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QString>("inUse");
        QTest::newRow("exact name") << QStringList{"Label Writer"} << "Label Writer";
        QTest::newRow("letter case differs") << QStringList{"label writer"} << "";
        QTest::newRow("a blank more") << QStringList{"Office "} << "";
        QTest::newRow("no match keeps the last choice") << QStringList{"Office", "nope", ""} << "Office";
        QTest::newRow("a later match replaces it") << QStringList{"Office", "Label Writer"} << "Label Writer";
    }
    void printerChoiceIsExact()
    {
        QFETCH(QStringList, chosen);
        QFETCH(QString, inUse);
        const QStringList installed{"Office", "Label Writer", "office"};
        ReportPrinting printing;
        for (const QString &text : chosen)
            printing.choosePrinter(text, installed);
        QCOMPARE(printing.printerName(), inUse);
    }

    void optionsAreRemembered_data()
    {
        QTest::addColumn<QString>("storedColumn");
        QTest::addColumn<bool>("checked");
        QTest::newRow("nothing stored") << QString() << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("not a number") << "yes" << true;
    }
    void optionsAreRemembered()
    {
        QFETCH(QString, storedColumn);
        QFETCH(bool, checked);
        if (!storedColumn.isNull())
            settings::write(settings::keys::PrinterColumn, storedColumn);
        {
            reports::PrinterOptionsFrame frame;
            QCOMPARE(frame.objectName(), QStringLiteral("Frame1"));
            QCOMPARE(frame.title(), QStringLiteral("Printer Options"));
            QVERIFY(frame.isHidden());
            auto *printer = frame.findChild<QComboBox *>(QStringLiteral("Combo1"));
            auto *headers = frame.findChild<QCheckBox *>(QStringLiteral("Check1"));
            auto *copies = frame.findChild<QLineEdit *>(QStringLiteral("Text10"));
            QCOMPARE(printer->currentText(), QString());
            QCOMPARE(headers->isChecked(), checked);
            QCOMPARE(copies->text(), QStringLiteral("1"));
            QCOMPARE(printer->count(), ReportPrinting::installedPrinters().size());
            QTest::keyClicks(printer, "Office 2");
            headers->click();
            QTest::keyClicks(copies, "5");
            QCOMPARE(settings::read(settings::keys::PrinterSelected), QStringLiteral("Office 2"));
            QCOMPARE(settings::read(settings::keys::PrinterColumn), checked ? QStringLiteral("0") : QStringLiteral("1"));
            QCOMPARE(settings::read(settings::keys::PrinterCopies), QStringLiteral("15"));
        }
        reports::PrinterOptionsFrame again;
        QCOMPARE(again.findChild<QComboBox *>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Office 2"));
        QCOMPARE(again.findChild<QCheckBox *>(QStringLiteral("Check1"))->isChecked(), !checked);
        QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("Text10"))->text(), QStringLiteral("15"));
    }

    void cancelStops_data()
    {
        QTest::addColumn<int>("stopAt");
        QTest::newRow("before the first page") << 1;
        QTest::newRow("before the last page") << 3;
    }
    void cancelStops()
    {
        QFETCH(int, stopAt);
        const auto model = reportOf(85);
        ReportPrinting printing;
        const QString pdf = m_env->folder() + QStringLiteral("/cancelled.pdf");
        printing.setPdfFile(pdf);
        QList<int> asked;
        printing.setProgress([&](int page, int pages) {
            asked << page;
            return pages == 3 && page < stopAt;
        });
        QCOMPARE(printing.print(reports::reportListView(*model)), Result::Cancelled);
        QCOMPARE(asked.size(), stopAt);
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(!printing.isPrinting());
        QVERIFY(platform::MessageBox::shown().isEmpty());
    }

    void failureNamesThePrinter()
    {
        const auto model = reportOf(3);
        ReportPrinting printing;
        const QString pdf = m_env->folder() + QStringLiteral("/no such folder/report.pdf");
        printing.setPdfFile(pdf);
        QCOMPARE(printing.print(reports::reportListView(*model)), Result::Failed);
        const auto shown = platform::MessageBox::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(pdf), qPrintable(shown[0].text));
        QVERIFY(!printing.isPrinting());
    }

    void aSecondPrintWaitsForTheFirst()
    {
        const auto model = reportOf(50);
        ReportPrinting printing;
        const QString pdf = m_env->folder() + QStringLiteral("/once.pdf");
        printing.setPdfFile(pdf);
        QList<Result> nested;
        printing.setProgress([&](int, int) {
            nested << printing.print(QStringLiteral("Office"), reports::reportListView(*model));
            return true;
        });
        QCOMPARE(printing.print(reports::reportListView(*model)), Result::Printed);
        QCOMPARE(nested, QList<Result>({Result::Busy, Result::Busy}));
        QCOMPARE(printing.printerName(), QString());
        QCOMPARE(pdfPageCount(readFile(pdf)), 2);
    }

    // The real print queue: the PDF printer writes the job into the user's ~/PDF.
    void printsOnTheCupsPdfQueue()
    {
        if (!ReportPrinting::installedPrinters().contains(Queue))
            QSKIP("No CUPS print queue ChronotallyPDF here (scripts/printers.sh adds it where CUPS runs)");
        const auto model = reportOf(85);
        ReportPrinting printing;
        QVERIFY(!printing.choosePrinter(Queue.toLower()));
        QCOMPARE(printing.printerName(), QString());
        const QString title = QStringLiteral("tst_printing_%1_%2").arg(getpid()).arg(QDateTime::currentMSecsSinceEpoch());
        printing.setJobTitle(title);
        QCOMPARE(printing.print(Queue, reports::reportListView(*model)), Result::Printed);
        QCOMPARE(printing.printerName(), Queue);

        // The file appears once the printer has written it whole (bounded wait).
        const QDir folder(pdfPrinterFolder());
        QString pdf;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 30000) {
            const QStringList found = folder.entryList({title + QStringLiteral("*.pdf")}, QDir::Files);
            if (!found.isEmpty() && readFile(folder.filePath(found[0])).contains("%%EOF")) {
                pdf = folder.filePath(found[0]);
                break;
            }
            QTest::qWait(200);
        }
        QVERIFY2(!pdf.isEmpty(), qPrintable(QStringLiteral("no %1*.pdf in %2 after 30 s").arg(title, folder.path())));
        const QList<PageText> pages = pagesOf(pdf);
        if (qEnvironmentVariableIsEmpty("KEEP_PDF")) QFile::remove(pdf);
        QCOMPARE(pages, expectedPages({42, 42, 1}));
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
