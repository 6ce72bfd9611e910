// Prints a report list of 100,000 rows in all 25 report columns into a PDF file (2,381 pages
// of 42 rows) and reports the time and the peak memory. Then prints the page of the "Print
// Report" button (ktly.htm) of 10,000 and of 40,000 rows in 8 columns with the print utility
// into a PDF file, with both times and their ratio: in time proportional to the rows, the
// ratio is about 4.
// Usage: bench_print [rows] [--utility-only]
#include "benchutil.h"
#include "platform/scripting.h"
#include "reports/reportcolumns.h"
#include "reports/reportlistmodel.h"
#include "reports/reportprinting.h"
#include "reports/reporttext.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>

namespace {
using bench::statusKb;

void fail(const QString &what)
{
    std::fprintf(stderr, "bench_print: %s\n", qPrintable(what));
    std::exit(1);
}


// A cell as Run Report writes it for employee e on day d.
QString cellText(const QString &title, int row)
{
    namespace t = reports::titles;
    const int e = row % 200, day = 1 + (row / 200) % 28;
    const QString date = QStringLiteral("1/%1/2026").arg(day);
    if (title == t::FirstName) return QStringLiteral("First%1").arg(e);
    if (title == t::LastName) return QStringLiteral("Last%1").arg(e);
    if (title == t::Address1) return QStringLiteral("%1 Main Street").arg(e);
    if (title == t::Address2) return QStringLiteral("Suite %1").arg(e);
    if (title == t::City) return QStringLiteral("Springfield");
    if (title == t::State) return QStringLiteral("IL");
    if (title == t::Zipcode) return QStringLiteral("62701");
    if (title == t::Phone1) return QStringLiteral("555-01%1").arg(e);
    if (title == t::Phone2) return QStringLiteral("555-02%1").arg(e);
    if (title == t::SSNumber) return QStringLiteral("123-45-%1").arg(e);
    if (title == t::Title) return QStringLiteral("Clerk");
    if (title == t::Email) return QStringLiteral("e%1@example.com").arg(e);
    if (title == t::Memo) return QStringLiteral("Memo of %1").arg(e);
    if (title == t::Notes) return QStringLiteral("Notes of %1").arg(e);
    if (title == t::AdminLevel) return QStringLiteral("2-Standard User");
    if (title == t::UserIDLogin) return QStringLiteral("E%1").arg(e, 3, 10, QLatin1Char('0'));
    if (title == t::Disabled) return QStringLiteral("0");
    if (title == t::HoursMinutesWorked) return QStringLiteral("8 Hours 30 Minutes");
    if (title == t::TotalFraction) return QString::number(8.5 * (1 + row / 200 % 28), 'f', 2);
    if (title == t::TotalHourMinute) return QStringLiteral("%1:30").arg(8 * (1 + row / 200 % 28));
    if (title == t::ClockedIn) return date + QStringLiteral(" 8:%1:00 AM").arg(row % 60, 2, 10, QLatin1Char('0'));
    if (title == t::ClockedOut) return date + QStringLiteral(" 4:%1:00 PM").arg(row % 60, 2, 10, QLatin1Char('0'));
    if (title == t::WorkedDate) return date;
    if (title == t::HourlyRate) return QStringLiteral("12.50");
    if (title == t::DisplayText) return QStringLiteral("Hello");
    return QString();
}

// Processor seconds of the ended child processes so far.
double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Took {
    double seconds = 0; // on the clock
    double cpu = 0;     // processor time, which other work on the machine hardly changes
};

// The page of this many report rows in 8 columns printed to PDF by a copy of the print
// utility in a folder of its own, as the report screen starts it.
Took utilityRun(const QString &utility, int rows)
{
    namespace t = reports::titles;
    reports::ReportListModel model;
    const QStringList titles{t::FirstName,  t::LastName,          t::UserIDLogin,   t::ClockedIn,
                             t::ClockedOut, t::HoursMinutesWorked, t::TotalFraction, t::TotalHourMinute};
    for (const QString &title : titles)
        model.appendColumn(title);
    QStringList cells(titles.size() + 1);
    for (int row = 0; row < rows; ++row) {
        cells[0] = QString::number(row + 1);
        for (qsizetype c = 0; c < titles.size(); ++c)
            cells[c + 1] = cellText(titles[c], row);
        model.appendRow(cells);
    }
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("vadivovid"));
    if (!dir.isValid() || !QFile::copy(utility, copy))
        fail(QStringLiteral("cannot copy ") + utility);
    if (!reports::writeReportPage(model, dir.filePath(QStringLiteral("ktly.htm"))))
        fail(QStringLiteral("cannot write the page"));
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    run.start(copy, {QStringLiteral("--pdf"), dir.filePath(QStringLiteral("report.pdf"))});
    if (!run.waitForFinished(-1) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0)
        fail(QStringLiteral("the print utility failed on %1 rows").arg(rows));
    const Took took{clock.nsecsElapsed() / 1e9, childCpuSeconds() - cpuBefore};
    if (QFile(dir.filePath(QStringLiteral("report.pdf"))).size() == 0)
        fail(QStringLiteral("no PDF of %1 rows").arg(rows));
    return took;
}

void benchUtility()
{
    const QString utility = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../program/vadivovid"));
    if (!QFile::exists(utility))
        fail(QStringLiteral("no print utility at ") + utility);
    const Took small = utilityRun(utility, 10000);
    const Took large = utilityRun(utility, 40000);
    std::printf("vadivovid, page of 8 columns to PDF: 10,000 rows %.2f s, 40,000 rows %.2f s, ratio %.2f\n",
                small.seconds, large.seconds, large.seconds / small.seconds);
    std::printf("vadivovid, processor time: 10,000 rows %.2f s, 40,000 rows %.2f s, ratio %.2f\n", small.cpu,
                large.cpu, large.cpu / small.cpu);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    platform::setScripted(true);
    int rows = 100000;
    for (const QString &a : app.arguments().mid(1))
        if (a.toInt() > 0)
            rows = a.toInt();
    if (app.arguments().contains(QStringLiteral("--utility-only"))) {
        benchUtility();
        return 0;
    }

    // The report list with every column in the order an opening screen restores them.
    reports::ReportListModel model;
    for (int position : reports::restorationOrder())
        model.appendColumn(reports::reportColumns()[position].columnTitle());
    const QStringList titles = model.titles();
    QStringList cells(titles.size());
    for (int row = 0; row < rows; ++row) {
        cells[0] = QString::number(row + 1);
        for (qsizetype c = 1; c < titles.size(); ++c)
            cells[c] = cellText(titles[c], row);
        model.appendRow(cells);
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    reports::ReportPrinting printing;
    printing.setPdfFile(pdf);
    int pagesSeen = 0;
    printing.setProgress([&](int page, int) { return pagesSeen = page, true; });

    const qint64 rssBefore = statusKb("VmRSS:");
    QElapsedTimer t;
    t.start();
    const auto result = printing.print(reports::reportListView(model));
    const double seconds = t.nsecsElapsed() / 1e9;
    const qint64 peak = statusKb("VmHWM:");
    if (result != reports::ReportPrinting::Result::Printed)
        fail(QStringLiteral("the print did not finish"));
    std::printf("rows: %d in %d columns, %d pages (%d expected)\n", model.rowCount(), model.columnCount() - 1,
                pagesSeen, reports::ReportPrinting::pageCount(rows));
    std::printf("print to PDF: %.2f s, %.1f MB file\n", seconds, QFile(pdf).size() / 1048576.0);
    std::printf("peak memory: %.1f MB (%.1f MB with the list filled, before printing)\n", peak / 1024.0,
                rssBefore / 1024.0);
    benchUtility();
    return 0;
}
