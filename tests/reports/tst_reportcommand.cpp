#include "testenv.h"

#include "data/audittable.h"
#include "platform/system.h"
#include "reports/reportcommand.h"
#include "settings/keys.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using reports::ReportCommand;

namespace {
struct Result {
    int code = -1;
    QString out;
    QString err;
};
} // namespace

// chronotally-report, run in-process over a small known set of punches.
class TestReportCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

    Result run(const QStringList &arguments, int progressInterval = 1000)
    {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ReportCommand command(out, err);
        command.setProgressInterval(progressInterval);
        Result result;
        result.code = command.run(QStringList{"chronotally-report"} + arguments);
        result.out = QString::fromUtf8(out.data());
        result.err = QString::fromUtf8(err.data());
        return result;
    }
    QByteArray fileHash() const
    {
        QFile file(m_env->databasePath());
        file.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        auto db = m_env->createDatabase();
        TestEnv::addEmployee(*db, "5");
        TestEnv::addEmployee(*db, "7");
        db->exec("update usertable set FirstName = 'Ann', LastName = 'Lee', HourlyRate = '12.50' where UserIDLogin = '5'");
        db->exec("update usertable set FirstName = 'Bo \"Bob\"', LastName = 'Smith, Jr.' where UserIDLogin = '7'");
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        auto at = [](int day, int hour, int minute) { return QDateTime(QDate(2026, 3, day), QTime(hour, minute)); };
        db->exec(insert, {at(10, 8, 0), at(10, 16, 30), QDate(2026, 3, 10), "5"});
        db->exec(insert, {at(11, 8, 0), at(11, 12, 5), QDate(2026, 3, 11), "5"});
        db->exec(insert, {at(12, 8, 0), at(12, 9, 0), QDate(2026, 3, 12), "5"});
        db->exec(insert, {at(10, 9, 0), QVariant(), QDate(2026, 3, 10), "7"});
        // One change in the range and one after it.
        data::AuditSnapshot before{{"ClockedIn"}, {"3/10/2026 8:00:00 AM"}, true};
        data::AuditSnapshot after{{"ClockedIn"}, {"3/10/2026 8:05:00 AM"}, true};
        TestEnv::setTime(at(11, 10, 0));
        QVERIFY(!data::recordChange(*db, "boss", "ClockTable", 42, before, after));
        TestEnv::setTime(at(12, 10, 0));
        QVERIFY(!data::recordChange(*db, "boss", "ClockTable", 43, before, after));
        // The payroll options as the options panel stores them; the clock at noon the next day.
        settings::write(settings::keys::BreakRule, "1");
        settings::write(settings::keys::BreakAfterHours, "6");
        settings::write(settings::keys::BreakMinutes, "30");
        TestEnv::setTime(at(11, 12, 0));
    }
    void cleanup() { m_env.reset(); }

    // Each format written whole. The station's own database (the program folder here) is
    // used without --db.
    void formats_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        const QStringList range{"--from", "2026-03-01", "--to", "2026-03-11"};
        QTest::newRow("summary csv") << range + QStringList{"--summary"} << QString(
            "UserID Login,First Name,Last Name,Punches,Worked Minutes,Hours,Decimal Hours,Paid Minutes,Open Punches,Over-long Punches,Reversed Punches\n"
            "5,Ann,Lee,2,755,12:35,12.58,725,0,0,0\n"
            "7,\"Bo \"\"Bob\"\"\",\"Smith, Jr.\",1,0,0:00,0.00,0,1,1,0\n"
            "Total,,,3,755,12:35,12.58,725,1,1,0\n");
        QTest::newRow("summary tsv") << range + QStringList{"--summary", "--format", "tsv"} << QString(
            "UserID Login\tFirst Name\tLast Name\tPunches\tWorked Minutes\tHours\tDecimal Hours\tPaid Minutes\tOpen Punches\tOver-long Punches\tReversed Punches\n"
            "5\tAnn\tLee\t2\t755\t12:35\t12.58\t725\t0\t0\t0\n"
            "7\tBo \"Bob\"\tSmith, Jr.\t1\t0\t0:00\t0.00\t0\t1\t1\t0\n"
            "Total\t\t\t3\t755\t12:35\t12.58\t725\t1\t1\t0\n");
        QTest::newRow("summary json, one employee") << range + QStringList{"--summary", "--format", "json", "--employee", "7"} << QString(
            "{\"report\":\"summary\",\"from\":\"2026-03-01\",\"to\":\"2026-03-11\",\"rows\":[\n"
            "{\"userId\":\"7\",\"firstName\":\"Bo \\\"Bob\\\"\",\"lastName\":\"Smith, Jr.\",\"punches\":1,\"workedMinutes\":0,"
            "\"hours\":\"0:00\",\"decimalHours\":0.00,\"paidMinutes\":0,\"openPunches\":1,\"overLongPunches\":1,\"reversedPunches\":0}\n"
            "],\"total\":{\"userId\":\"Total\",\"firstName\":\"\",\"lastName\":\"\",\"punches\":1,\"workedMinutes\":0,"
            "\"hours\":\"0:00\",\"decimalHours\":0.00,\"paidMinutes\":0,\"openPunches\":1,\"overLongPunches\":1,\"reversedPunches\":0}}\n");
        QTest::newRow("punches csv") << range << QString(
            "UserID Login,First Name,Last Name,Worked Date,Clocked In,Clocked Out,Hours-Minutes Worked,Total-Fraction,Total-Hour:Minute,Hourly Rate\n"
            "5,Ann,Lee,3/10/2026,3/10/2026 8:00:00 AM,3/10/2026 4:30:00 PM,H:8 M:30 or Fractional H:8.5,8.5,8:30,12.50\n"
            "5,Ann,Lee,3/11/2026,3/11/2026 8:00:00 AM,3/11/2026 12:05:00 PM,H:4 M:5 or Fractional H:4.0,12.5,12:35,12.50\n"
            "7,\"Bo \"\"Bob\"\"\",\"Smith, Jr.\",3/10/2026,3/10/2026 9:00:00 AM,None,H:0 M:0 or Fractional H:0,0,0:0,\n");
        QTest::newRow("punches json, IDs without case") << QStringList{"--from", "2026-03-11", "--to", "2026-03-12", "--format", "json", "--employee", "5"} << QString(
            "{\"report\":\"punches\",\"from\":\"2026-03-11\",\"to\":\"2026-03-12\",\"rows\":[\n"
            "{\"userId\":\"5\",\"firstName\":\"Ann\",\"lastName\":\"Lee\",\"workedDate\":\"3/11/2026\",\"clockedIn\":\"3/11/2026 8:00:00 AM\","
            "\"clockedOut\":\"3/11/2026 12:05:00 PM\",\"hoursMinutesWorked\":\"H:4 M:5 or Fractional H:4.0\",\"totalFraction\":\"4\","
            "\"totalHourMinute\":\"4:5\",\"hourlyRate\":\"12.50\"},\n"
            "{\"userId\":\"5\",\"firstName\":\"Ann\",\"lastName\":\"Lee\",\"workedDate\":\"3/12/2026\",\"clockedIn\":\"3/12/2026 8:00:00 AM\","
            "\"clockedOut\":\"3/12/2026 9:00:00 AM\",\"hoursMinutesWorked\":\"H:1 M:0 or Fractional H:1\",\"totalFraction\":\"5\","
            "\"totalHourMinute\":\"5:5\",\"hourlyRate\":\"12.50\"}\n"
            "]}\n");
        QTest::newRow("nobody") << QStringList{"--from", "2026-04-01", "--to", "2026-04-30", "--format", "json"} << QString(
            "{\"report\":\"punches\",\"from\":\"2026-04-01\",\"to\":\"2026-04-30\",\"rows\":[]}\n");
        QTest::newRow("audit csv") << range + QStringList{"--audit"} << QString(
            "When,Station,Administrator,Action,Table,Row Key,Old Values,New Values\n"
            "3/11/2026 10:00:00 AM,{station},boss,Update,ClockTable,42,\"{\"\"ClockedIn\"\":\"\"3/10/2026 8:00:00 AM\"\"}\","
            "\"{\"\"ClockedIn\"\":\"\"3/10/2026 8:05:00 AM\"\"}\"\n");
        QTest::newRow("audit json") << QStringList{"--from", "2026-03-12", "--to", "2026-03-12", "--audit", "--format", "json"} << QString(
            "{\"report\":\"audit\",\"from\":\"2026-03-12\",\"to\":\"2026-03-12\",\"rows\":[\n"
            "{\"when\":\"3/12/2026 10:00:00 AM\",\"station\":\"{station}\",\"administrator\":\"boss\",\"action\":\"Update\","
            "\"table\":\"ClockTable\",\"rowKey\":\"43\",\"oldValues\":{\"ClockedIn\":\"3/10/2026 8:00:00 AM\"},"
            "\"newValues\":{\"ClockedIn\":\"3/10/2026 8:05:00 AM\"}}\n"
            "]}\n");
    }
    void formats()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        const QByteArray before = fileHash();
        const Result result = run(arguments);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.code, int(ReportCommand::Done));
        QCOMPARE(result.out, QString(expected).replace("{station}", platform::stationName()));
        // The database is only read.
        QCOMPARE(fileHash(), before);
    }

    void exitCodesAndMessages_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // the first line on standard error
        const QStringList range{"--from", "2026-03-01", "--to", "2026-03-31"};
        const int bad = ReportCommand::BadArguments;
        const int failed = ReportCommand::DatabaseError;
        QTest::newRow("no --to") << QStringList{"--from", "2026-03-01"} << bad
                                 << "chronotally-report: Both --from and --to are required.";
        QTest::newRow("no date") << QStringList{"--from", "2026-02-30", "--to", "2026-03-31"} << bad
                                 << "chronotally-report: --from is not a date of the form YYYY-MM-DD: 2026-02-30";
        QTest::newRow("other form") << QStringList{"--from", "2026-03-01", "--to", "3/31/2026"} << bad
                                    << "chronotally-report: --to is not a date of the form YYYY-MM-DD: 3/31/2026";
        QTest::newRow("backwards") << QStringList{"--from", "2026-03-31", "--to", "2026-03-01"} << bad
                                   << "chronotally-report: --from is later than --to.";
        QTest::newRow("format") << range + QStringList{"--format", "xls"} << bad
                                << "chronotally-report: --format must be csv, tsv, json or pdf: xls";
        QTest::newRow("unknown option") << range + QStringList{"--month"} << bad
                                        << "chronotally-report: Unknown option 'month'.";
        QTest::newRow("stray argument") << range + QStringList{"march"} << bad
                                        << "chronotally-report: Unexpected argument: march";
        QTest::newRow("summary and audit") << range + QStringList{"--summary", "--audit"} << bad
                                           << "chronotally-report: --summary and --audit cannot be given together.";
        QTest::newRow("audit of one employee") << range + QStringList{"--audit", "--employee", "5"} << bad
                                               << "chronotally-report: --employee cannot be given with --audit.";
        QTest::newRow("no database") << range + QStringList{"--db", "/nonexistent"} << failed
                                     << "chronotally-report: Could not find file '/nonexistent/Stampwell.mdb'.";
        QTest::newRow("unwritable output") << range + QStringList{"--output", "/nonexistent/out.csv"} << failed
                                           << "chronotally-report: Cannot write /nonexistent/out.csv";
        QTest::newRow("not a database") << range + QStringList{"--db", "{notdb}"} << failed
                                        << "chronotally-report: file is not a database";
    }
    void exitCodesAndMessages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString notDb = m_env->folder() + "/notdb";
        QDir().mkpath(notDb);
        QFile garbage(notDb + "/Stampwell.mdb");
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        arguments.replaceInStrings("{notdb}", notDb);

        const Result result = run(arguments);
        QCOMPARE(result.code, code);
        QVERIFY2(result.err.section('\n', 0, 0).startsWith(message), qPrintable(result.err));
        // Bad arguments come with the usage; a failure with its description alone.
        QCOMPARE(result.err.contains(ReportCommand::Usage), code == ReportCommand::BadArguments);
        QCOMPARE(result.out, QString());
    }

    // Without --db the database comes from the station's settings.
    void theStationsDatabaseSettings()
    {
        settings::write(settings::keys::DatabaseFolder, m_env->folder() + "/elsewhere");
        const Result result = run({"--from", "2026-03-01", "--to", "2026-03-31"});
        QCOMPARE(result.code, int(ReportCommand::DatabaseError));
        QCOMPARE(result.err, "chronotally-report: Could not find file '" + m_env->folder() + "/elsewhere/Stampwell.mdb'.\n");
    }

    void helpGoesToStandardOutput()
    {
        const Result result = run({"--help"});
        QCOMPARE(result.code, int(ReportCommand::Done));
        QCOMPARE(result.out, ReportCommand::Usage);
        QCOMPARE(result.err, QString());
    }

    // A database where nothing was ever recorded has no audit table, and reading does not
    // make one.
    void auditOfAnEarlierBuildsFile()
    {
        QVERIFY(!data::Database::current()->exec("drop table AuditTable"));
        const QByteArray before = fileHash();
        const Result result = run({"--from", "2026-03-01", "--to", "2026-03-31", "--audit"});
        QCOMPARE(result.code, int(ReportCommand::Done));
        QCOMPARE(result.out, QString("When,Station,Administrator,Action,Table,Row Key,Old Values,New Values\n"));
        QCOMPARE(fileHash(), before);
    }

    void progressUnlessQuiet_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err");
        const QStringList range{"--from", "2026-03-01", "--to", "2026-03-31"};
        QTest::newRow("punches") << range << "chronotally-report: 4 punches read\n";
        QTest::newRow("summary") << range + QStringList{"--summary"} << "chronotally-report: 4 punches read\n";
        QTest::newRow("quiet") << range + QStringList{"--summary", "--quiet"} << "";
    }
    void progressUnlessQuiet()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        QCOMPARE(run(arguments, 0).err, err);
    }

    // The PDF goes through the table engine into the file, with the summary's figures.
    void pdfOfTheSummary()
    {
        const QString file = m_env->folder() + "/summary.pdf";
        const Result result = run({"--from", "2026-03-01", "--to", "2026-03-11", "--summary", "--format", "pdf",
                                   "--output", file});
        QCOMPARE(result.code, int(ReportCommand::Done));
        QVERIFY(result.out.isEmpty());
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: the PDF's text is not read");
        QProcess text;
        text.start("pdftotext", {"-layout", file, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QStringList lines = QString::fromUtf8(text.readAllStandardOutput()).split('\n');
        auto words = [&](const QString &first) {
            for (const QString &line : lines) {
                const QStringList w = line.simplified().split(' ');
                if (w.value(0) == first)
                    return w;
            }
            return QStringList();
        };
        QCOMPARE(words("Payroll"), (QStringList{"Payroll", "summary", "2026-03-01", "to", "2026-03-11"}));
        QCOMPARE(words("5"), (QStringList{"5", "Ann", "Lee", "2", "755", "12:35", "12.58", "725", "0", "0", "0"}));
        QCOMPARE(words("Total"), (QStringList{"Total", "3", "755", "12:35", "12.58", "725", "1", "1", "0"}));
    }
};

QTEST_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
