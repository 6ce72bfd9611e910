#include "testenv.h"

#include "platform/clipboard.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/system.h"
#include "reports/formfile.h"
#include "reports/reportlistmodel.h"
#include "reports/reportoutputs.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QScopeGuard>
#include <QPushButton>
#include <QTest>

using platform::MessageBox;
using reports::ReportListModel;
using reports::ReportOutputs;

namespace {

// A report list: titles after the row-number column, rows of cells after the row number.
void fill(ReportListModel &model, const QStringList &titles, const QList<QStringList> &rows)
{
    for (const QString &t : titles)
        model.appendColumn(t);
    for (qsizetype r = 0; r < rows.size(); ++r)
        model.appendRow(QStringList{QString::number(r + 1)} + rows[r]);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file chooser answers with this path (none: "Cancel") and counts how often it was asked.
int chooseFile(const QString &path)
{
    static int asked;
    asked = 0;
    reports::FormFile::setScriptedAnswer([path](reports::FormFile &chooser) {
        ++asked;
        chooser.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(path);
        chooser.findChild<QPushButton *>(path.isNull() ? QStringLiteral("Command2") : QStringLiteral("Command1"))->click();
    });
    return asked;
}

const QString PageStart = QStringLiteral(
    "<table border='1' cellpadding='2' style='border-collapse: collapse' bordercolor='#111111' width='100%' "
    "id='AutoNumber1'><tr>");

} // namespace

class TestOutputs : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ReportListModel> m_model;
    std::unique_ptr<ReportOutputs> m_outputs;

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        m_model = std::make_unique<ReportListModel>();
        m_outputs = std::make_unique<ReportOutputs>(*m_model);
        chooseFile(QString());
    }
    void cleanup()
    {
        m_outputs.reset();
        m_model.reset();
        m_env.reset();
    }

    void exportPutsTheTextOnTheClipboard_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("text");
        QTest::newRow("names") << QStringList{"First Name", "Last Name"} << QList<QStringList>{{"Ann", "Lee"}}
                               << "First Name\tLast Name\t\r\nAnn\tLee\t\r\n";
        QTest::newRow("row number only") << QStringList() << QList<QStringList>{{}, {}} << "\r\n\r\n\r\n";
        QTest::newRow("blanks, tabs and breaks pass through")
            << QStringList{" City", "Memo"} << QList<QStringList>{{"  Oslo ", "a\tb\r\nc"}, {"", ""}}
            << " City\tMemo\t\r\n  Oslo \ta\tb\r\nc\t\r\n\t\t\r\n";
    }
    void exportPutsTheTextOnTheClipboard()
    {
        QFETCH(QStringList, titles);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, text);
        fill(*m_model, titles, rows);
        m_outputs->exportReport();
        QCOMPARE(platform::Clipboard::text(), text);
        QCOMPARE(MessageBox::shownTexts(), QStringList{ReportOutputs::ExportedMessage});
        QCOMPARE(MessageBox::shown().first().title, MessageBox::applicationTitle());
    }

    void emptyListDoesNothing()
    {
        fill(*m_model, {"First Name"}, {});
        const QString file = m_env->folder() + "/report.txt";
        chooseFile(file);
        m_outputs->exportReport();
        m_outputs->saveReport();
        QCOMPARE(platform::Clipboard::text(), QString());
        QCOMPARE(MessageBox::shownTexts(), QStringList());
        QCOMPARE(chooseFile(file), 0);
        QVERIFY(!QFile::exists(file));
    }

    void saveAppendsTheTrimmedText()
    {
        fill(*m_model, {"  First Name", "Last Name"}, {{"  Ann", "Lee "}});
        const QString file = m_env->folder() + "/report.txt";
        chooseFile(file);
        m_outputs->saveReport();
        m_outputs->saveReport();
        const QByteArray once = "First Name\tLast Name\t\r\n  Ann\tLee \t\r\n\r\n";
        QCOMPARE(readFile(file), once + once);
        QCOMPARE(MessageBox::shownTexts(), (QStringList{ReportOutputs::SavedMessage, ReportOutputs::SavedMessage}));

        // A cancelled chooser saves nothing, even after an earlier choice.
        chooseFile(QString());
        m_outputs->saveReport();
        QCOMPARE(readFile(file), once + once);
        QCOMPARE(MessageBox::shownTexts().size(), 2);
    }

    void saveFailureNamesThePathAndTheReason_data()
    {
        QTest::addColumn<QString>("path"); // %1: the test's folder
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder") << "%1/none/report.txt" << "No such file or directory";
        QTest::newRow("a folder") << "%1" << "Is a directory";
        QTest::newRow("full disk") << "/dev/full" << "No space left on device";
    }
    void saveFailureNamesThePathAndTheReason()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        path.replace("%1", m_env->folder());
        fill(*m_model, {"First Name"}, {{"Ann"}});
        chooseFile(path);
        m_outputs->saveReport();
        const QStringList shown = MessageBox::shownTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(path) && shown[0].contains(reason), qPrintable(shown[0]));
    }

    void printWritesThePageAndStartsTheUtility_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("page"); // after the table's opening
        QTest::newRow("two columns")
            << QStringList{" First Name ", "Last Name"} << QList<QStringList>{{" Ann", "Lee"}, {"Bo", ""}}
            << "<td><b>First Name</b></td><td><b>Last Name</b></td>"
               "<tr><td nowrap> Ann</td><td nowrap>Lee</td></tr><tr><td nowrap>Bo</td><td nowrap></td></tr>"
               "</table>\r\n";
        QTest::newRow("empty list") << QStringList{"First Name", "Last Name"} << QList<QStringList>()
                                    << "<td><b>First Name</b></td><td><b>Last Name</b></td></table>\r\n";
        QTest::newRow("escaped")
            << QStringList{"A<b>", "Memo"} << QList<QStringList>{{"Smith & Sons <QA>", "\"it's\" </table><script>"}}
            << "<td><b>A&lt;b&gt;</b></td><td><b>Memo</b></td><tr><td nowrap>Smith &amp; Sons &lt;QA&gt;</td>"
               "<td nowrap>&quot;it&#39;s&quot; &lt;/table&gt;&lt;script&gt;</td></tr></table>\r\n";
        QTest::newRow("beyond Latin-1") << QStringList{"Name"} << QList<QStringList>{{"Zoë Łukasz 李"}}
                                        << "<td><b>Name</b></td><tr><td nowrap>Zoë Łukasz 李</td></tr></table>\r\n";
    }
    void printWritesThePageAndStartsTheUtility()
    {
        QFETCH(QStringList, titles);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, page);
        fill(*m_model, titles, rows);
        QFile old(m_env->programFolder() + "/ktly.htm"); // an earlier page is replaced, not appended to
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("<table><tr><td>earlier report</td></tr></table>\r\n") > 0);
        old.close();
        m_outputs->printReport();
        QCOMPARE(QString::fromUtf8(readFile(old.fileName())), PageStart + page);
        QCOMPARE(platform::Launcher::started(), QStringList{m_env->programFolder() + "/vadivovid"});
        QCOMPARE(MessageBox::shownTexts(), QStringList());
    }

    void unwritablePageIsNotPrinted()
    {
        fill(*m_model, {"Name"}, {{"Ann"}});
        platform::setProgramFolder(m_env->folder() + "/gone");
        m_outputs->printReport();
        QCOMPARE(platform::Launcher::started(), QStringList());
        QCOMPARE(MessageBox::shownTexts(), QStringList());
    }

    void anInstalledStationPassesThePageThroughTheUsersCache()
    {
        // The program folder belongs to the system: the page goes where this user may write,
        // and the utility, which reads it from the same place, still starts from the program folder.
        const QString program = m_env->programFolder();
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        const auto reopen = qScopeGuard([&] { QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        const QByteArray cache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_env->folder() + "/cache"));
        const auto restore = qScopeGuard([&] { cache.isNull() ? qunsetenv("XDG_CACHE_HOME") : qputenv("XDG_CACHE_HOME", cache); });
        fill(*m_model, {"Name"}, {{"Ann"}});

        m_outputs->printReport();
        QCOMPARE(QString::fromUtf8(readFile(m_env->folder() + "/cache/chronotally/ktly.htm")),
                 PageStart + "<td><b>Name</b></td><tr><td nowrap>Ann</td></tr></table>\r\n");
        QVERIFY(!QFile::exists(program + "/ktly.htm"));
        QCOMPARE(platform::Launcher::started(), QStringList{program + "/vadivovid"});
    }

    // The real launcher: the utility in a program folder whose name has a blank starts with
    // no arguments, and the report screen does not wait for it.
    void utilityStartsWithoutWaiting()
    {
        const QString folder = m_env->folder() + "/program files";
        QVERIFY(QDir().mkpath(folder));
        platform::setProgramFolder(folder);
        platform::Launcher::setScripted(false);
        QFile utility(folder + "/vadivovid");
        QVERIFY(utility.open(QIODevice::WriteOnly));
        utility.write("#!/bin/sh\nsleep 3\nprintf '%s %s' \"$#\" \"$(cat \"$(dirname \"$0\")/ktly.htm\")\" > \"$0.ran\"\n");
        utility.close();
        utility.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        fill(*m_model, {"Name"}, {{"Ann"}});

        QElapsedTimer clock;
        clock.start();
        m_outputs->printReport();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!QFile::exists(utility.fileName() + ".ran"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(utility.fileName() + ".ran").size() > 0, 15000);
        QCOMPARE(readFile(utility.fileName() + ".ran"),
                 "0 " + (PageStart + "<td><b>Name</b></td><tr><td nowrap>Ann</td></tr></table>\r").toUtf8());
    }

    // The report screen does not wait for the utility, but says what became of the page once
    // it has ended: a failure with the utility's reason, a PDF file saved for want of a printer
    // with its path, and nothing after a print on a printer.
    void utilityOutcomeIsShownWhenItEnds_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("shown");
        QTest::newRow("failed") << QByteArray("echo 'vadivovid: cannot read x' >&2; echo 'vadivovid: printing to /r.pdf failed' >&2; exit 1")
                                << ReportOutputs::PrintFailedMessage.arg("printing to /r.pdf failed");
        QTest::newRow("failed silently") << QByteArray("exit 3") << ReportOutputs::PrintFailedMessage.arg("error 3");
        QTest::newRow("killed") << QByteArray("kill -9 $$") << ReportOutputs::PrintFailedMessage.arg("the print utility stopped");
        QTest::newRow("no printer") << QByteArray("echo '/home/ann/.cache/chronotally/ktly.pdf'")
                                    << ReportOutputs::SavedAsPdfMessage.arg("/home/ann/.cache/chronotally/ktly.pdf");
        QTest::newRow("printed") << QByteArray("exit 0") << QString();
    }
    void utilityOutcomeIsShownWhenItEnds()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, shown);
        const QString folder = m_env->programFolder();
        platform::Launcher::setScripted(false);
        QFile utility(folder + "/vadivovid");
        QVERIFY(utility.open(QIODevice::WriteOnly));
        utility.write("#!/bin/sh\nsleep 1\ntouch \"$0.ran\"\n" + script + "\n");
        utility.close();
        utility.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        fill(*m_model, {"Name"}, {{"Ann"}});

        m_outputs->printReport();
        QCOMPARE(MessageBox::shownTexts(), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(utility.fileName() + ".ran"), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(MessageBox::shownTexts(), shown.isNull() ? QStringList() : QStringList{shown}, 15000);
        QTest::qWait(200); // and nothing more
        QCOMPARE(MessageBox::shownTexts().size(), shown.isNull() ? 0 : 1);
    }
};

QTEST_MAIN(TestOutputs)
#include "tst_outputs.moc"
