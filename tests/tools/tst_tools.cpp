// The helper programs and the report command, run as the station and scheduled jobs run them.
// Only the loopback interface is used.

#include "data/schema.h"
#include "reports/reportlistmodel.h"
#include "reports/reporttext.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

#include <unistd.h>

namespace {

const QString Token = QStringLiteral("zoktrebwqilsdhaf");
const QString Snapshot = QStringLiteral("4242-ClockedIn-12-7-2026-5-41-04-AM");

QString tool(const char *name)
{
    return QDir(qEnvironmentVariable("CHRONOTALLY_PROGRAM_DIR")).filePath(name);
}

struct Run {
    int exitCode = -1; // -1: crashed or still running after 30 s
    qint64 ms = 0;
    int errorLines = 0;
    QByteArray output;
};

// Keeps processing events while the program runs, so a server in the test can answer it.
// The run may be ended early by `stop`, asked every 20 ms while it runs.
Run run(const QString &program, const QStringList &args,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
        const std::function<bool()> &stop = {})
{
    QProcess process;
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    while (process.state() != QProcess::NotRunning && clock.elapsed() < 30000) {
        QTest::qWait(20);
        if (stop && process.state() == QProcess::Running && stop())
            process.terminate();
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    const QByteArray errors = process.readAllStandardError().trimmed();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, clock.elapsed(),
            errors.isEmpty() ? 0 : int(errors.count('\n')) + 1, process.readAllStandardOutput()};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Silence, 8 kHz mono 16-bit.
QByteArray wav(int ms)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 size = 16 * ms;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + size);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << size;
    return bytes + QByteArray(size, '\0');
}

QImage picture()
{
    QImage image(32, 24, QImage::Format_RGB32);
    image.fill(qRgb(20, 120, 200));
    image.setPixel(3, 5, qRgb(250, 10, 10));
    return image;
}

QByteArray answer(const QByteArray &status, const QByteArray &body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size())
           + "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray pictureAnswer(const QByteArray &status = "200 OK")
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture().save(&buffer, "PNG");
    return answer(status, png);
}

// A network camera: answers each request with `reply` (never, when it is empty) and
// records the request targets.
struct Camera : QTcpServer {
    QByteArray reply;
    QStringList targets;
    explicit Camera(const QByteArray &answer) : reply(answer)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->peek(4096).contains("\r\n\r\n"))
                    return;
                targets << QString::fromLatin1(socket->readAll().split(' ').value(1));
                if (!reply.isEmpty()) {
                    socket->write(reply);
                    socket->disconnectFromHost();
                }
            });
        });
        listen(QHostAddress::LocalHost);
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(serverPort()); }
};

// The words of each page of a PDF as pdftotext places them: page size and word boxes in points.
struct PdfPage {
    QSizeF size;
    QStringList words;
    qreal right = 0;  // the right edge of the rightmost word
    qreal bottom = 0; // the lower edge of the lowest word
};

QList<PdfPage> pdfPages(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    static const QRegularExpression page(QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\""));
    static const QRegularExpression word(QStringLiteral("<word xMin=\"[0-9.]+\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" "
                                                        "yMax=\"([0-9.]+)\">([^<]*)</word>"));
    QList<PdfPage> pages;
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString &part : text.split(QStringLiteral("</page>"))) {
        const QRegularExpressionMatch p = page.match(part);
        if (!p.hasMatch())
            continue;
        PdfPage result{{p.captured(1).toDouble(), p.captured(2).toDouble()}, {}, 0, 0};
        for (auto it = word.globalMatch(part); it.hasNext();) {
            const QRegularExpressionMatch w = it.next();
            result.words << w.captured(3);
            result.right = std::max(result.right, w.captured(1).toDouble());
            result.bottom = std::max(result.bottom, w.captured(2).toDouble());
        }
        pages << result;
    }
    return pages;
}

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_bins = 0;

    // A PATH of fake players (name, shell body); each first logs its name and arguments.
    QProcessEnvironment players(const QList<QPair<QByteArray, QByteArray>> &fakes)
    {
        const QString bin = m_dir.filePath(QString("bin%1").arg(++m_bins));
        QDir().mkpath(bin);
        for (const auto &[name, body] : fakes) {
            writeFile(bin + '/' + name, "#!/bin/sh\nprintf '%s\\n' " + name + " \"$@\" >> '"
                                            + log().toLocal8Bit() + "'\n" + body + '\n');
            QFile(bin + '/' + name).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        QFile::remove(log());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", bin);
        return env;
    }
    QString log() const { return m_dir.filePath("played.txt"); }
    QStringList played() const
    {
        QFile file(log());
        return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
    }

private Q_SLOTS:
    void soundPlayerRefusesBeforePlaying_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("exitCode");
        const QString sound = m_dir.filePath("in.wav");
        writeFile(sound, wav(100));
        writeFile(m_dir.filePath("text.wav"), "not a sound");
        QTest::newRow("no token") << sound << 2;
        QTest::newRow("wrong token") << sound + "::zoktrebwqilsdhaX" << 2;
        QTest::newRow("token in capitals") << sound + "::" + Token.toUpper() << 2;
        QTest::newRow("token not last") << sound + "::" + Token + "::" << 2;
        QTest::newRow("missing file") << m_dir.filePath("none.wav::") + Token << 1;
        QTest::newRow("not a wav") << m_dir.filePath("text.wav::") + Token << 1;
    }
    void soundPlayerRefusesBeforePlaying()
    {
        QFETCH(QString, argument);
        QFETCH(int, exitCode);
        const Run r = run(tool("DOZ1"), {argument}, players({{"aplay", "exit 0"}}));
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.errorLines, 1);
        QVERIFY(r.ms < 5000);
        QCOMPARE(played(), QStringList());
    }

    void soundPlayerUsesTheFirstWorkingPlayer()
    {
        // Blanks and "::" in the path: only the last "::" separates the token.
        QVERIFY(QDir().mkpath(m_dir.filePath("sounds a::b")));
        const QString sound = m_dir.filePath("sounds a::b/clock in.wav");
        writeFile(sound, wav(200));
        const QStringList argument{sound + "::" + Token};
        const QByteArray noDevice = "echo 'audio open error' >&2; exit 1";

        QCOMPARE(run(tool("DOZ1"), argument, players({{"aplay", "exit 0"}, {"paplay", "exit 0"}})).exitCode, 0);
        QCOMPARE(played(), (QStringList{"aplay", "-q", sound}));
        QCOMPARE(run(tool("DOZ1"), argument, players({{"aplay", noDevice}, {"paplay", "exit 0"}})).exitCode, 0);
        QCOMPARE(played(), (QStringList{"aplay", "-q", sound, "paplay", sound}));
        for (const auto &none : {players({{"aplay", noDevice}}), players({})}) {
            const Run r = run(tool("DOZ1"), argument, none);
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(r.errorLines, 1);
        }

        // A player that never ends is stopped soon after the sound would have ended.
        const Run r = run(tool("DOZ1"), argument, players({{"aplay", "exec /bin/sleep 60"}}));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.ms < 10000, qPrintable(QString::number(r.ms)));
    }

    void cameraSnapshotIsSavedAsAsked_data()
    {
        QTest::addColumn<QString>("path"); // after the camera's host:port; none means the host:port form
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("target");
        QTest::newRow("host:port, jpeg") << QString() << "True" << QByteArray("jpg") << "/snapshot.jpg";
        QTest::newRow("url, bitmap") << "/" << "False" << QByteArray("bmp") << "/snapshot.jpg";
        QTest::newRow("url with path") << "/cgi-bin/snap.cgi?ch=1" << "False" << QByteArray("bmp") << "/cgi-bin/snap.cgi?ch=1";
    }
    void cameraSnapshotIsSavedAsAsked()
    {
        QFETCH(QString, path);
        QFETCH(QString, type);
        QFETCH(QByteArray, format);
        QFETCH(QString, target);
        Camera camera(pictureAnswer());
        QTemporaryDir parent;
        const QString folder = parent.filePath("snaps; east"); // a blank and a ";"
        QVERIFY(QDir().mkpath(folder));
        const QString address = path.isNull() ? camera.address() : "http://" + camera.address() + path;

        QCOMPARE(run(tool("KtlyPlug"), {address + ";" + type + ";" + folder + ";" + Snapshot}).exitCode, 0);
        QCOMPARE(camera.targets, QStringList{target});
        const QString file = Snapshot + '.' + format;
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{file});
        QCOMPARE(QImageReader(folder + '/' + file).format(), format == "jpg" ? "jpeg" : format);
        const QImage saved(folder + '/' + file);
        QCOMPARE(saved.size(), picture().size());
        if (format == "bmp")
            QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), picture());
    }

    void cameraFailuresEndQuicklyWithoutAFile_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("argument"); // %1 camera, %2 folder
        QTest::addColumn<bool>("asked");
        const QByteArray image = pictureAnswer();
        QTest::newRow("refused port") << image << "127.0.0.1:1;True;%2;" + Snapshot << false;
        QTest::newRow("not a picture") << answer("200 OK", "<html>login</html>") << "%1;True;%2;" + Snapshot << true;
        QTest::newRow("error status") << pictureAnswer("404 Not Found") << "%1;True;%2;" + Snapshot << true;
        QTest::newRow("silent camera") << QByteArray() << "%1;True;%2;" + Snapshot << true;
        QTest::newRow("too few fields") << image << QString("%1;True;%2") << false;
        QTest::newRow("unknown type") << image << "%1;Jpeg;%2;" + Snapshot << false;
        QTest::newRow("name leaves folder") << image << "%1;True;%2;../" + Snapshot << false;
        QTest::newRow("name with backslash") << image << "%1;False;%2;a\\b" << false;
        QTest::newRow("missing folder") << image << "%1;True;%2/none;" + Snapshot << false;
        QTest::newRow("no folder") << image << "%1;True;;" + Snapshot << false;
        QTest::newRow("no camera") << image << ";True;%2;" + Snapshot << false;
    }
    void cameraFailuresEndQuicklyWithoutAFile()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, argument);
        QFETCH(bool, asked);
        Camera camera(reply);
        QTemporaryDir parent;
        const QString folder = parent.filePath("snaps");
        QVERIFY(QDir().mkpath(folder));

        const Run r = run(tool("KtlyPlug"), {argument.replace("%1", camera.address()).replace("%2", folder)});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.errorLines, 1);
        QVERIFY2(r.ms < (reply.isEmpty() ? 15000 : 12000), qPrintable(QString::number(r.ms)));
        QCOMPARE(camera.targets.isEmpty(), !asked);
        QCOMPARE(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"snaps"});
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!QFile::exists(Snapshot + ".jpg"));
    }

    void printUtilityPrintsThePageBesideIt()
    {
        QTemporaryDir folder; // a program folder holding a copy of the utility
        const QString utility = folder.filePath("vadivovid");
        QVERIFY(QFile::copy(tool("vadivovid"), utility));
        QString page = "<table border='1' cellpadding='2' style='border-collapse: collapse' bordercolor='#111111' "
                       "width='100%' id='AutoNumber1'><tr><td><b>ID</b></td><td><b>Name</b></td>";
        for (int row = 0; row < 200; ++row)
            page += "<tr><td nowrap>42</td><td nowrap>Müller & Sons < Ltd</td></tr>";
        writeFile(folder.filePath("ktly.htm"), (page + "</table>\r\n").toUtf8());

        QCOMPARE(run(utility, {"--pdf", folder.filePath("report.pdf")}).exitCode, 0);
        QFile pdf(folder.filePath("report.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QVERIFY2(bytes.count("/Type /Page\n") > 1, "200 rows span several pages");
        QCOMPARE(run(utility, {"--pdf"}).exitCode, 2);

        // No reachable print system, so no printer: the page lands in ktly.pdf beside it.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", folder.filePath("no-cups.sock"));
        env.insert("HOME", folder.path());
        const Run fallback = run(utility, {}, env);
        QCOMPARE(fallback.exitCode, 0);
        QVERIFY(QFileInfo(folder.filePath("ktly.pdf")).size() > 0);
        QCOMPARE(fallback.output, QFile::encodeName(folder.filePath("ktly.pdf")) + '\n'); // where it went
        QCOMPARE(QDir(folder.path()).entryList({"*.pdf*"}), (QStringList{"ktly.pdf", "report.pdf"}));

        QVERIFY(QFile::remove(folder.filePath("ktly.htm")) && QFile::remove(folder.filePath("ktly.pdf")));
        const Run r = run(utility, {}, env);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.errorLines, 1);
        QVERIFY(!QFile::exists(folder.filePath("ktly.pdf")));
    }

    // A print that fails, runs out of time or is stopped while it writes leaves no PDF file,
    // not even one under a temporary name, and says why it failed.
    void failedPrintLeavesNoPdf_data()
    {
        QTest::addColumn<QString>("pdf"); // in the folder
        QTest::addColumn<QString>("timeLimit");
        QTest::addColumn<bool>("stopWhileWriting");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no such folder") << "none/report.pdf" << "" << false << 1;
        QTest::newRow("out of time") << "report.pdf" << "1" << false << 1;
        QTest::newRow("stopped while writing") << "report.pdf" << "" << true << 128 + SIGTERM;
    }
    void failedPrintLeavesNoPdf()
    {
        QFETCH(QString, pdf);
        QFETCH(QString, timeLimit);
        QFETCH(bool, stopWhileWriting);
        QFETCH(int, exitCode);
        QTemporaryDir folder;
        const QString utility = folder.filePath("vadivovid");
        QVERIFY(QFile::copy(tool("vadivovid"), utility));
        reports::ReportListModel model;
        model.appendColumn("Name");
        model.appendColumn("Hours");
        // Long enough that printing it takes well over the shortest time limit of a second.
        for (int r = 1; r <= 100000; ++r)
            model.appendRow({QString::number(r), QString("Name %1").arg(r), "8 Hours 30 Minutes"});
        QVERIFY(reports::writeReportPage(model, folder.filePath("ktly.htm")));
        QFile earlier(folder.filePath(pdf)); // an earlier report goes too, where there is one
        if (earlier.open(QIODevice::WriteOnly))
            earlier.write("an earlier report");
        earlier.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!timeLimit.isEmpty())
            env.insert("VADIVOVID_TIME_LIMIT", timeLimit);
        const QDir dir(folder.path());
        bool writing = false;
        const Run r = run(utility, {"--pdf", folder.filePath(pdf)}, env, [&] {
            writing = writing || !dir.entryList({"report.pdf.*"}).isEmpty();
            return stopWhileWriting && writing;
        });
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.errorLines, stopWhileWriting ? 0 : 1);
        QVERIFY(writing || !stopWhileWriting);
        QCOMPARE(dir.entryList(QDir::Files), (QStringList{"ktly.htm", "vadivovid"}));
    }

    void anInstalledPrintUtilityReadsThePageFromTheUsersCache()
    {
        QTemporaryDir folder; // an installed program folder, closed to writing, and a home
        const QString program = folder.filePath("program");
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(folder.filePath("cache/chronotally")));
        QVERIFY(QFile::copy(tool("vadivovid"), program + "/vadivovid"));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        writeFile(folder.filePath("cache/chronotally/ktly.htm"), "<table><tr><td nowrap>42</td></tr></table>\r\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CACHE_HOME", folder.filePath("cache"));

        const Run r = run(program + "/vadivovid", {"--pdf", folder.filePath("report.pdf")}, env);
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(QFileInfo(folder.filePath("report.pdf")).size() > 0);
    }

    // A report in all 25 columns and 120 rows, written as the report screen writes it: the
    // table fits the width of a landscape page, every page starts with the title row, and
    // every cell can be read. The page reads the same with and without a printer.
    void printUtilityFitsAWideLongReport()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QTemporaryDir folder;
        const QString utility = folder.filePath("vadivovid");
        QVERIFY(QFile::copy(tool("vadivovid"), utility));
        reports::ReportListModel model;
        QStringList titles, cells;
        for (int c = 1; c <= 25; ++c) {
            titles << QString("Head%1").arg(c);
            model.appendColumn(titles.last());
        }
        for (int r = 1; r <= 120; ++r) {
            QStringList row{QString::number(r)};
            for (int c = 1; c <= 25; ++c)
                row << QString("r%1c%2").arg(r).arg(c);
            cells += row.mid(1);
            model.appendRow(row);
        }
        model.appendRow({"121", "Smith & Sons <QA>", "O'Brien \"Jr\""});
        QVERIFY(reports::writeReportPage(model, folder.filePath("ktly.htm")));

        QCOMPARE(run(utility, {"--pdf", folder.filePath("report.pdf")}).exitCode, 0);
        const QList<PdfPage> pages = pdfPages(folder.filePath("report.pdf"));
        QVERIFY2(pages.size() > 1, "120 rows span several pages");
        QStringList words;
        for (const PdfPage &page : pages) {
            QVERIFY2(page.size.width() > page.size.height(), "landscape");
            QVERIFY2(page.right <= page.size.width(), qPrintable(QString::number(page.right)));
            QVERIFY2(page.bottom <= page.size.height(), qPrintable(QString::number(page.bottom)));
            for (const QString &title : titles)
                QVERIFY2(page.words.contains(title), qPrintable(title));
            words += page.words;
        }
        for (const QString &cell : cells)
            QVERIFY2(words.contains(cell), qPrintable(cell));
        QVERIFY(words.join(' ').contains("Smith &amp; Sons &lt;QA&gt;"));
        QVERIFY(words.join(' ').contains("O&apos;Brien &quot;Jr&quot;"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", folder.filePath("no-cups.sock"));
        env.insert("HOME", folder.path());
        QCOMPARE(run(utility, {}, env).exitCode, 0);
        const QList<PdfPage> fallback = pdfPages(folder.filePath("ktly.pdf"));
        QCOMPARE(fallback.size(), pages.size());
        for (qsizetype i = 0; i < pages.size(); ++i)
            QCOMPARE(fallback[i].words, pages[i].words);
    }

    // The report command as a scheduled job runs it: exit codes, and standard error silent
    // when all went well.
    void reportCommandExitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("errors");
        const QStringList range{"--from", "2026-03-01", "--to", "2026-03-31", "--quiet"};
        QTest::newRow("done") << range + QStringList{"--db", "{db}", "--summary"} << 0 << false;
        QTest::newRow("pdf") << range + QStringList{"--db", "{db}", "--format", "pdf", "--output", "{db}/r.pdf"} << 0 << false;
        QTest::newRow("database error") << range + QStringList{"--db", "{db}/missing"} << 1 << true;
        QTest::newRow("bad arguments") << QStringList{"--from", "March"} << 2 << true;
    }
    void reportCommandExitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(bool, errors);
        QTemporaryDir folder;
        QVERIFY(!data::createEmbeddedDatabase(data::Database::embeddedFilePath(folder.path())));
        const Run result = run(tool("chronotally-report"), arguments.replaceInStrings("{db}", folder.path()));
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.errorLines > 0, errors);
    }

    // Standard output that takes nothing, or that nobody reads any more, fails the run with
    // exit 1 and the reason.
    void reportCommandOutputFailures_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("closedPipe");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pdf into /dev/full") << "pdf" << false << "No space left on device";
        QTest::newRow("csv into a pipe nobody reads") << "csv" << true << "Broken pipe";
    }
    void reportCommandOutputFailures()
    {
        QFETCH(QString, format);
        QFETCH(bool, closedPipe);
        QFETCH(QString, reason);
        if (!closedPipe && !QFileInfo::exists("/dev/full"))
            QSKIP("This machine has no /dev/full");
        QTemporaryDir folder;
        QVERIFY(!data::createEmbeddedDatabase(data::Database::embeddedFilePath(folder.path())));
        QProcess process;
        int pipe[2] = {-1, -1};
        if (closedPipe) {
            QCOMPARE(::pipe(pipe), 0);
            ::close(pipe[0]);
            process.setChildProcessModifier([out = pipe[1]] { ::dup2(out, STDOUT_FILENO); });
        } else {
            process.setStandardOutputFile("/dev/full");
        }
        process.start(tool("chronotally-report"), {"--db", folder.path(), "--from", "2026-03-01", "--to", "2026-03-31",
                                                   "--quiet", "--format", format});
        QVERIFY(process.waitForFinished(30000));
        if (closedPipe)
            ::close(pipe[1]);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 "chronotally-report: Cannot write the output: " + reason + "\n");
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "tst_tools.moc"
