// Cost of the report outputs for a report of 100,000 rows in all 25 columns: the report
// text built and appended to a file, the text put on the clipboard, and ktly.htm written.
// Offscreen, with message boxes answered and the print utility not started. Median of 5.
// Usage: bench_export [rounds]

#include "platform/clipboard.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/scripting.h"
#include "platform/system.h"
#include "reports/formfile.h"
#include "reports/reportcolumns.h"
#include "reports/reportlistmodel.h"
#include "reports/reportoutputs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {
constexpr int Rows = 100000;
constexpr qint64 TextTargetMs = 300;
constexpr qint64 PageTargetMs = 1000;

[[noreturn]] void fail(const QString &text)
{
    QTextStream(stderr) << "bench_export: " << text << Qt::endl;
    std::exit(1);
}

// A report as a run gives it: punches of 500 employees over several weeks.
void fill(reports::ReportListModel &model)
{
    for (int position : reports::restorationOrder())
        model.appendColumn(reports::reportColumns()[position].columnTitle());
    QStringList cells(model.columnCount());
    for (int r = 0; r < Rows; ++r) {
        const int employee = r % 500;
        const int day = r / 500 % 28 + 1;
        cells[0] = QString::number(r + 1);
        for (int c = 1; c < cells.size(); ++c)
            cells[c] = QStringLiteral("%1 %2").arg(model.title(c).left(6)).arg(employee);
        cells[model.columnByTitle(QStringLiteral("Clocked In")) - 1] = QStringLiteral("2/%1/2026 8:%2:00 AM").arg(day).arg(employee % 60, 2, 10, QLatin1Char('0'));
        cells[model.columnByTitle(QStringLiteral("Clocked Out")) - 1] = QStringLiteral("2/%1/2026 4:%2:00 PM").arg(day).arg(employee % 60, 2, 10, QLatin1Char('0'));
        cells[model.columnByTitle(QStringLiteral("Hours-Minutes Worked")) - 1] = QStringLiteral("8:00");
        cells[model.columnByTitle(QStringLiteral("Total-Fraction")) - 1] = QString::number(8.0 * (r / 500 + 1), 'f', 2);
        model.appendRow(cells);
    }
}

qint64 median(QList<qint64> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

qint64 timed(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.elapsed();
}

void print(const char *what, qint64 ms, qint64 bytes, int rounds, qint64 target)
{
    QTextStream out(stdout);
    out << "bench_export: " << what << ": median " << ms << " ms over " << rounds << " runs, " << Rows
        << " rows x 25 columns, " << bytes / 1024 << " KiB";
    if (target > 0)
        out << " (target <= " << target << " ms)";
    out << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = std::max(1, app.arguments().value(1, QStringLiteral("5")).toInt());
    QTemporaryDir dir; // under the system temporary folder, on an ordinary disk
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    platform::setScripted(true);
    platform::Clipboard::setScripted(false); // the application's real clipboard
    platform::setProgramFolder(dir.path());

    reports::ReportListModel model;
    fill(model);
    reports::ReportOutputs outputs(model);
    const QString textFile = dir.filePath(QStringLiteral("report.txt"));
    reports::FormFile::setScriptedAnswer([&textFile](reports::FormFile &chooser) {
        chooser.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(textFile);
        chooser.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    });

    QList<qint64> save, copy, page;
    for (int i = 0; i < rounds; ++i) {
        QFile::remove(textFile);
        platform::MessageBox::clearShown();
        save << timed([&] { outputs.saveReport(); });
        copy << timed([&] { outputs.exportReport(); });
        page << timed([&] { outputs.printReport(); });
        const QStringList shown = platform::MessageBox::shownTexts();
        if (shown != QStringList{reports::ReportOutputs::SavedMessage, reports::ReportOutputs::ExportedMessage})
            fail(QStringLiteral("unexpected messages: ") + shown.join(QStringLiteral(" | ")));
    }
    if (platform::Clipboard::text().size() < Rows * 25)
        fail(QStringLiteral("the clipboard does not hold the report"));
    if (platform::Launcher::started().size() != rounds)
        fail(QStringLiteral("the print utility was not started for every page"));

    print("report text built and saved", median(save), QFileInfo(textFile).size(), rounds, TextTargetMs);
    print("report text on the clipboard", median(copy), platform::Clipboard::text().size() * 2, rounds, 0);
    print("ktly.htm written", median(page), QFileInfo(reports::ReportOutputs::pagePath()).size(), rounds, PageTargetMs);
    return median(save) <= TextTargetMs && median(page) <= PageTargetMs ? 0 : 2;
}
