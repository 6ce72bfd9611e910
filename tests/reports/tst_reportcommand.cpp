#include "testenv.h"

#include "admin/sqlpassword.h"
#include "data/audittable.h"
#include "data/paytables.h"
#include "data/replayedpunches.h"
#include "reports/payexceptions.h"
#include "reports/payrulesstore.h"
#include "platform/regional.h"
#include "platform/system.h"
#include "reports/reportcommand.h"
#include "settings/keys.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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
    static bool isNode(const QString &path, mode_t type)
    {
        struct stat info;
        return ::lstat(qPrintable(path), &info) == 0 && (info.st_mode & S_IFMT) == type;
    }
    // A device that takes no byte, as /dev/full is: made in the test's own folder where this
    // account may make devices, so that no test can ever replace the machine's own.
    QString fullDevice() const
    {
        const QString path = m_env->folder() + "/full";
        if (::mknod(qPrintable(path), S_IFCHR | 0666, makedev(1, 7)) == 0) {
            QFile probe(path);
            if (probe.open(QIODevice::WriteOnly))
                return path;
        }
        // An account that cannot use a device of its own cannot replace /dev/full either.
        return ::geteuid() == 0 ? QString() : QStringLiteral("/dev/full");
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (!m_env->unavailable().isEmpty())
            QSKIP(qPrintable(m_env->unavailable()));
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
        // On the first and the last day there is.
        db->exec(insert, {QDateTime(QDate(1, 1, 1), QTime(8, 0)), QDateTime(QDate(1, 1, 1), QTime(8, 30)),
                          QDate(1, 1, 1), "7"});
        db->exec(insert, {QDateTime(QDate(9999, 12, 31), QTime(8, 0)), QDateTime(QDate(9999, 12, 31), QTime(9, 0)),
                          QDate(9999, 12, 31), "5"});
        // One change in the range and one after it.
        data::AuditSnapshot before{{"ClockedIn"}, {"3/10/2026 8:00:00 AM"}, true};
        data::AuditSnapshot after{{"ClockedIn"}, {"3/10/2026 8:05:00 AM"}, true};
        TestEnv::setTime(at(11, 10, 0));
        QVERIFY(!data::recordChange(*db, "boss", "ClockTable", 42, before, after));
        TestEnv::setTime(at(12, 10, 0));
        QVERIFY(!data::recordChange(*db, "boss", "ClockTable", 43, before, after));
        TestEnv::setTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
        QVERIFY(!data::recordChange(*db, "boss", "ClockTable", 44, before, after));
        // The station-wide break rule in the database, and this account's settings saying
        // otherwise (they are not read); the clock at noon the next day.
        QVERIFY(!data::ensurePayTables(*db));
        for (const auto &[name, value] : {std::pair{"BreakRule", "1"}, {"BreakAfterHours", "6"}, {"BreakMinutes", "30"}})
            QVERIFY(!db->exec("insert into PayRules (RuleName, RuleValue) values (?, ?)", {name, value}));
        settings::write(settings::keys::BreakRule, "0");
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
            "UserID Login,First Name,Last Name,Punches,Worked Minutes,Hours,Decimal Hours,Paid Minutes,Open Punches,Over-long Punches,Reversed Punches,Regular Minutes,Overtime Minutes,Gross Pay\n"
            "5,Ann,Lee,2,755,12:35,12.58,725,0,0,0,725,0,151.04\n"
            "7,\"Bo \"\"Bob\"\"\",\"Smith, Jr.\",1,0,0:00,0.00,0,1,1,0,0,0,\n"
            ",Total,,3,755,12:35,12.58,725,1,1,0,725,0,151.04\n");
        QTest::newRow("summary tsv") << range + QStringList{"--summary", "--format", "tsv"} << QString(
            "UserID Login\tFirst Name\tLast Name\tPunches\tWorked Minutes\tHours\tDecimal Hours\tPaid Minutes\tOpen Punches\tOver-long Punches\tReversed Punches\tRegular Minutes\tOvertime Minutes\tGross Pay\n"
            "5\tAnn\tLee\t2\t755\t12:35\t12.58\t725\t0\t0\t0\t725\t0\t151.04\n"
            "7\tBo \"Bob\"\tSmith, Jr.\t1\t0\t0:00\t0.00\t0\t1\t1\t0\t0\t0\t\n"
            "\tTotal\t\t3\t755\t12:35\t12.58\t725\t1\t1\t0\t725\t0\t151.04\n");
        QTest::newRow("summary json, one employee") << range + QStringList{"--summary", "--format", "json", "--employee", "7"} << QString(
            "{\"report\":\"summary\",\"from\":\"2026-03-01\",\"to\":\"2026-03-11\",\"rules\":"
            "{\"BreakRule\":\"1\",\"BreakAfterHours\":\"6\",\"BreakMinutes\":\"30\",\"OverLongHours\":\"16\",\"RepeatGuard\":\"0\",\"RepeatSeconds\":\"60\","
            "\"WeeklyOvertime\":\"1\",\"WeeklyLimitHours\":\"40\",\"WorkweekStart\":\"Sunday\",\"DailyOvertime\":\"0\",\"DailyLimitHours\":\"8\","
            "\"OvertimeMultiplier\":\"1.5\",\"RoundingMinutes\":\"0\",\"PeriodKind\":\"Weekly\",\"PeriodAnchor\":\"2026-01-04\"},\"rows\":[\n"
            "{\"userId\":\"7\",\"firstName\":\"Bo \\\"Bob\\\"\",\"lastName\":\"Smith, Jr.\",\"punches\":1,\"workedMinutes\":0,"
            "\"hours\":\"0:00\",\"decimalHours\":0.00,\"paidMinutes\":0,\"openPunches\":1,\"overLongPunches\":1,\"reversedPunches\":0,\"regularMinutes\":0,\"overtimeMinutes\":0,\"grossPay\":null}\n"
            "],\"total\":{\"userId\":\"\",\"firstName\":\"Total\",\"lastName\":\"\",\"punches\":1,\"workedMinutes\":0,"
            "\"hours\":\"0:00\",\"decimalHours\":0.00,\"paidMinutes\":0,\"openPunches\":1,\"overLongPunches\":1,\"reversedPunches\":0,\"regularMinutes\":0,\"overtimeMinutes\":0,\"grossPay\":null}}\n");
        QTest::newRow("punches csv") << range << QString(
            "UserID Login,First Name,Last Name,Worked Date,Clocked In,Clocked Out,Hours-Minutes Worked,Total-Fraction,Total-Hour:Minute,Hourly Rate\n"
            "5,Ann,Lee,3/10/2026,3/10/2026 8:00:00 AM,3/10/2026 4:30:00 PM,H:8 M:30 or Fractional H:8.5,8.5,8:30,12.50\n"
            "5,Ann,Lee,3/11/2026,3/11/2026 8:00:00 AM,3/11/2026 12:05:00 PM,H:4 M:5 or Fractional H:4.0,12.5,12:35,12.50\n"
            "7,\"Bo \"\"Bob\"\"\",\"Smith, Jr.\",3/10/2026,3/10/2026 9:00:00 AM,None,H:0 M:0 or Fractional H:0,0,0:0,\n");
        QTest::newRow("punches json, IDs without case") << QStringList{"--from", "2026-03-11", "--to", "2026-03-12", "--format", "json", "--employee", "5"} << QString(
            "{\"report\":\"punches\",\"from\":\"2026-03-11\",\"to\":\"2026-03-12\",\"rows\":[\n"
            "{\"userId\":\"5\",\"firstName\":\"Ann\",\"lastName\":\"Lee\",\"workedDate\":\"2026-03-11\",\"clockedIn\":\"2026-03-11T08:00:00\","
            "\"clockedOut\":\"2026-03-11T12:05:00\",\"hoursMinutesWorked\":\"H:4 M:5 or Fractional H:4.0\",\"totalFraction\":\"4\","
            "\"totalHourMinute\":\"4:5\",\"hourlyRate\":\"12.50\"},\n"
            "{\"userId\":\"5\",\"firstName\":\"Ann\",\"lastName\":\"Lee\",\"workedDate\":\"2026-03-12\",\"clockedIn\":\"2026-03-12T08:00:00\","
            "\"clockedOut\":\"2026-03-12T09:00:00\",\"hoursMinutesWorked\":\"H:1 M:0 or Fractional H:1\",\"totalFraction\":\"5\","
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
            "{\"when\":\"2026-03-12T10:00:00\",\"station\":\"{station}\",\"administrator\":\"boss\",\"action\":\"Update\","
            "\"table\":\"ClockTable\",\"rowKey\":\"43\",\"oldValues\":{\"ClockedIn\":\"3/10/2026 8:00:00 AM\"},"
            "\"newValues\":{\"ClockedIn\":\"3/10/2026 8:05:00 AM\"}}\n"
            "]}\n");
        // Every day there is: the first and the last day's punches count, the last second's
        // change is listed.
        QTest::newRow("all days, summary") << QStringList{"--from", "0001-01-01", "--to", "9999-12-31", "--summary"} << QString(
            "UserID Login,First Name,Last Name,Punches,Worked Minutes,Hours,Decimal Hours,Paid Minutes,Open Punches,Over-long Punches,Reversed Punches,Regular Minutes,Overtime Minutes,Gross Pay\n"
            "5,Ann,Lee,4,875,14:35,14.58,845,0,0,0,845,0,176.04\n"
            "7,\"Bo \"\"Bob\"\"\",\"Smith, Jr.\",2,30,0:30,0.50,30,1,1,0,30,0,\n"
            ",Total,,6,905,15:05,15.08,875,1,1,0,875,0,176.04\n");
        QTest::newRow("last day, punches") << QStringList{"--from", "9999-12-31", "--to", "9999-12-31", "--employee", "5"} << QString(
            "UserID Login,First Name,Last Name,Worked Date,Clocked In,Clocked Out,Hours-Minutes Worked,Total-Fraction,Total-Hour:Minute,Hourly Rate\n"
            "5,Ann,Lee,12/31/9999,12/31/9999 8:00:00 AM,12/31/9999 9:00:00 AM,H:1 M:0 or Fractional H:1,1,1:0,12.50\n");
        QTest::newRow("last day, audit") << QStringList{"--from", "9999-12-30", "--to", "9999-12-31", "--audit", "--format", "tsv"} << QString(
            "When\tStation\tAdministrator\tAction\tTable\tRow Key\tOld Values\tNew Values\n"
            "12/31/9999 11:59:59 PM\t{station}\tboss\tUpdate\tClockTable\t44\t{\"ClockedIn\":\"3/10/2026 8:00:00 AM\"}\t"
            "{\"ClockedIn\":\"3/10/2026 8:05:00 AM\"}\n");
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
        QTest::newRow("year 0") << QStringList{"--from", "0000-12-31", "--to", "2026-03-31"} << bad
                                << "chronotally-report: --from is not a date of the form YYYY-MM-DD: 0000-12-31";
        QTest::newRow("year 10000") << QStringList{"--from", "2026-03-01", "--to", "10000-01-01"} << bad
                                    << "chronotally-report: --to is not a date of the form YYYY-MM-DD: 10000-01-01";
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
        QCOMPARE(words("5"), (QStringList{"5", "Ann", "Lee", "2", "755", "12:35", "12.58", "725", "0", "0", "0", "725", "0",
                                          "151.04"}));
        QCOMPARE(words("Total"), (QStringList{"Total", "3", "755", "12:35", "12.58", "725", "1", "1", "0", "725", "0",
                                              "151.04"}));
        // The rules it was made by, under the table.
        QCOMPARE(words("BreakRule:"), (QStringList{"BreakRule:", "1"}));
        QCOMPARE(words("PeriodAnchor:"), (QStringList{"PeriodAnchor:", "2026-01-04"}));
    }

    // Texts of the database go to spreadsheets behind a "'" where they would run as formulas,
    // computed cells never; the summary names each employee by the ID UserTable stores, and
    // its total line is no employee's, not even one whose ID is "Total".
    void textsOfTheDatabase_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected"); // after the title line
        const QStringList day{"--from", "2026-03-20", "--to", "2026-03-20"};
        QTest::newRow("summary csv") << day + QStringList{"--summary"} << QString(
            "AB12,'=1+2,'-Lee,1,480,8:00,8.00,450,0,0,0,450,0,37.50\n"
            "Total,'@Bo,'\tTab,1,60,1:00,1.00,60,0,0,0,60,0,\n"
            ",Total,,2,540,9:00,9.00,510,0,0,0,510,0,37.50\n");
        QTest::newRow("summary tsv") << day + QStringList{"--summary", "--format", "tsv"} << QString(
            "AB12\t'=1+2\t'-Lee\t1\t480\t8:00\t8.00\t450\t0\t0\t0\t450\t0\t37.50\n"
            "Total\t'@Bo\t' Tab\t1\t60\t1:00\t1.00\t60\t0\t0\t0\t60\t0\t\n"
            "\tTotal\t\t2\t540\t9:00\t9.00\t510\t0\t0\t0\t510\t0\t37.50\n");
        QTest::newRow("punches csv") << day << QString(
            "AB12,'=1+2,'-Lee,3/20/2026,3/20/2026 8:00:00 AM,3/20/2026 4:00:00 PM,H:8 M:0 or Fractional H:8,8,8:0,'+5\n"
            "Total,'@Bo,'\tTab,3/20/2026,3/20/2026 9:00:00 AM,3/20/2026 10:00:00 AM,H:1 M:0 or Fractional H:1,1,1:0,\n");
    }
    void textsOfTheDatabase()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "AB12");
        TestEnv::addEmployee(*db, "Total");
        QVERIFY(!db->exec("update usertable set FirstName = ?, LastName = ?, HourlyRate = ? where UserIDLogin = 'AB12'",
                          {"=1+2", "-Lee", "+5"}));
        QVERIFY(!db->exec("update usertable set FirstName = ?, LastName = ? where UserIDLogin = 'Total'", {"@Bo", "\tTab"}));
        // Both keyed in another case than stored.
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        const QDate day(2026, 3, 20);
        QVERIFY(!db->exec(insert, {QDateTime(day, QTime(8, 0)), QDateTime(day, QTime(16, 0)), day, "ab12"}));
        QVERIFY(!db->exec(insert, {QDateTime(day, QTime(9, 0)), QDateTime(day, QTime(10, 0)), day, "TOTAL"}));

        const Result result = run(arguments);
        QCOMPARE(result.code, int(ReportCommand::Done));
        QCOMPARE(result.out.section('\n', 1), expected);
    }

    // Whatever an audit row holds, the JSON stays valid, on one line a row: texts that are
    // not one JSON value on one line are written as strings.
    void auditJsonIsAlwaysValid()
    {
        const QList<QJsonValue> held{QJsonValue("not json"), QJsonValue("{\"a\":1} {\"b\":2}"), QJsonValue("{\"a\":"),
                                     QJsonValue(QJsonValue::Null), QJsonArray{1, "x"}, QJsonValue("\"a\u0001\tb\"")};
        for (const QJsonValue &value : held) {
            const QString text = value.isArray() ? "[1,\"x\"]" : value.toString();
            QVERIFY(!data::Database::current()->exec(data::InsertAuditSql, {QDateTime(QDate(2026, 4, 1), QTime(9, 0)),
                                                     "st", "boss", "Update", "ClockTable", 1, text, text}));
        }
        const Result result = run({"--from", "2026-04-01", "--to", "2026-04-01", "--audit", "--format", "json"});
        QJsonParseError error;
        const QJsonArray rows = QJsonDocument::fromJson(result.out.toUtf8(), &error).object().value("rows").toArray();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QCOMPARE(result.out.count('\n'), 2 + held.size());
        QCOMPARE(rows.size(), held.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows.at(i).toObject().value("oldValues"), held[i]);
            QCOMPARE(rows.at(i).toObject().value("newValues"), held[i]);
        }
    }

    // A failing output is exit 1 with the reason, also for the PDF (written last); a device
    // named by --output is written into, never replaced.
    void outputIntoAFullDevice_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("pdf") << "pdf";
        QTest::newRow("csv") << "csv";
    }
    void outputIntoAFullDevice()
    {
        QFETCH(QString, format);
        const QString full = fullDevice();
        if (full.isEmpty())
            QSKIP("No device of the test's own can be used here, and /dev/full is not risked as root");
        const Result result = run({"--from", "2026-03-01", "--to", "2026-03-31", "--format", format, "--output", full});
        QCOMPARE(result.code, int(ReportCommand::DatabaseError));
        QCOMPARE(result.err, QString("chronotally-report: Cannot write %1: No space left on device\n").arg(full));
        QVERIFY(isNode(full, S_IFCHR));
    }

    // A reader that stalls (a pager left open) keeps no station from punching: while the
    // program waits to write into a named pipe nobody empties, another connection commits a
    // punch. The pipe stays a pipe.
    void aStalledReaderLocksNothing()
    {
        auto db = data::Database::current();
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        const QDate day(2026, 5, 4);
        QVERIFY(!db->beginWrite());
        for (int i = 0; i < 3000; ++i)
            db->exec(insert, {QDateTime(day, QTime(8, 0)).addSecs(i), QDateTime(day, QTime(16, 0)), day, "5"});
        QVERIFY(!db->commit());

        const QString fifo = m_env->folder() + "/pipe";
        QCOMPARE(::mkfifo(qPrintable(fifo), 0600), 0);
        const int reader = ::open(qPrintable(fifo), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        auto closeReader = qScopeGuard([reader] { ::close(reader); });
        QProcess command;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_env->folder() + "/config");
        command.setProcessEnvironment(env);
        command.start(QDir(qEnvironmentVariable("CHRONOTALLY_PROGRAM_DIR")).filePath("chronotally-report"),
                      {"--db", m_env->programFolder(), "--from", "2026-05-04", "--to", "2026-05-04", "--output", fifo});
        QVERIFY(command.waitForStarted());
        auto stop = qScopeGuard([&] { command.kill(); command.waitForFinished(); });
        // Output in the pipe that no longer grows, and the program still running: it waits
        // for the reader (the pipe holds about its size, as the writes filled its pages).
        auto queued = [reader] {
            int bytes = 0;
            return ::ioctl(reader, FIONREAD, &bytes) == 0 ? bytes : -1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(queued() > 0, 30000);
        for (int before = -1; before != queued();) {
            before = queued();
            QTest::qWait(200);
        }
        QCOMPARE(command.state(), QProcess::Running);

        auto station = data::Database::open(m_env->embeddedSettings());
        QVERIFY(!station->beginWrite());
        QVERIFY(!station->exec(insert, {QDateTime(day, QTime(17, 0)), QVariant(), day, "7"}));
        const data::DbError committed = station->commit();
        QVERIFY2(!committed, qPrintable(committed.description));

        QByteArray output;
        char buffer[1 << 16];
        for (qint64 got = 0; (got = ::read(reader, buffer, sizeof buffer)) != 0;) {
            if (got > 0)
                output.append(buffer, got);
            else
                QTest::qWait(5);
        }
        QVERIFY(command.waitForFinished(30000));
        QCOMPARE(command.exitCode(), int(ReportCommand::Done));
        QCOMPARE(output.count('\n'), 1 + 3000);
        QVERIFY(isNode(fifo, S_IFIFO));
    }

    // --period summarises the pay period holding the date by the database's kind of period,
    // with overtime counted over whole workweeks.
    void period_data()
    {
        QTest::addColumn<QString>("kind"); // empty: the default, weekly from a Sunday
        QTest::addColumn<QString>("date");
        QTest::addColumn<QStringList>("figures"); // from, to; total paid, regular, overtime, gross
        QTest::newRow("weekly") << "" << "2026-03-11" << QStringList{"2026-03-08", "2026-03-14", "785", "785", "0", "163.54"};
        QTest::newRow("on its last day") << "" << "2026-03-14" << QStringList{"2026-03-08", "2026-03-14", "785", "785", "0", "163.54"};
        QTest::newRow("twice a month, second half") << "SemiMonthly" << "2026-03-16"
                                                    << QStringList{"2026-03-16", "2026-03-31", "0", "0", "0", ""};
        QTest::newRow("monthly, a 45-hour week") << "Monthly" << "2026-03-01"
                                                 << QStringList{"2026-03-01", "2026-03-31", "2825", "2400", "425", "632.81"};
    }
    void period()
    {
        QFETCH(QString, kind);
        QFETCH(QString, date);
        QFETCH(QStringList, figures);
        auto db = data::Database::current();
        if (!kind.isEmpty())
            QVERIFY(!db->exec("insert into PayRules (RuleName, RuleValue) values (?, ?)", {"PeriodKind", kind}));
        if (kind == "Monthly") {
            // Ann's week of 3/8 grows by two punches of 17:30, 1,020 minutes paid each after the break.
            const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
            for (int day : {13, 14})
                QVERIFY(!db->exec(insert, {QDateTime(QDate(2026, 3, day), QTime(6, 0)),
                                           QDateTime(QDate(2026, 3, day), QTime(23, 30)), QDate(2026, 3, day), "5"}));
        }
        const Result result = run({"--period", date, "--format", "json"});
        QCOMPARE(result.code, int(ReportCommand::Done));
        const QJsonObject json = QJsonDocument::fromJson(result.out.toUtf8()).object();
        const QJsonObject total = json.value("total").toObject();
        const QJsonValue gross = total.value("grossPay");
        QCOMPARE((QStringList{json.value("from").toString(), json.value("to").toString(),
                              QString::number(total.value("paidMinutes").toInt()),
                              QString::number(total.value("regularMinutes").toInt()),
                              QString::number(total.value("overtimeMinutes").toInt()),
                              gross.isNull() ? QString() : QString::number(gross.toDouble(), 'f', 2)}),
                 figures);
        QCOMPARE(json.value("rules").toObject().value("PeriodKind").toString(), kind.isEmpty() ? "Weekly" : kind);
        QCOMPARE(run({"--period", date, "--from", date}).code, int(ReportCommand::BadArguments));
    }

    // --exceptions names every punch of the range that needs a look, one line per kind, the
    // punches sent late from a station's queue among them; database texts are guarded as in
    // every list. A database without AuditTable or PayPeriods has none of those.
    void exceptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("tables");
        QTest::addColumn<QString>("expected"); // after the title line
        const QStringList range{"--from", "2026-06-01", "--to", "2026-06-10", "--exceptions"};
        const QString others =
            "Clock-out before clock-in,5,Ann,Lee,6/8/2026,6/8/2026 4:00:00 PM,6/8/2026 3:00:00 PM,\n"
            "Time without a date,5,Ann,Lee,6/9/2026,8:00:00 AM,6/9/2026 4:00:00 PM,clock-in\n";
        const QString refused = "Refused on replay,5,Ann,Lee,6/10/2026,,6/10/2026 7:00:00 AM,station offline\n";
        const QString others7 =
            "Open too long,7,\"Bo \"\"Bob\"\"\",\"Smith, Jr.\",6/9/2026,6/9/2026 6:00:00 AM,,open 30:00\n"
            "Rate not a number,9,First9,Last9,,,,'=2*6\n"
            "No such employee,X1,,,6/10/2026,6/10/2026 9:00:00 AM,6/10/2026 10:00:00 AM,\n";
        QTest::newRow("csv") << range << true << QString(
            "In a closed period,5,Ann,Lee,6/5/2026,6/5/2026 8:00:00 AM,6/5/2026 9:00:00 AM,closed by boss on 6/7/2026 9:00:00 AM\n"
            "In a closed period,5,Ann,Lee,6/6/2026,6/6/2026 10:00:00 PM,6/7/2026 10:00:00 AM,closed by boss on 6/7/2026 9:00:00 AM\n"
            + others + refused + others7);
        QTest::newRow("csv, no AuditTable nor PayPeriods") << range << false << others + others7;
        const QStringList lastDays{"--from", "2026-06-08", "--to", "2026-06-10", "--exceptions", "--format", "json", "--employee", "5"};
        QTest::newRow("json, one employee") << lastDays << true << QString(
            "{\"exception\":\"Clock-out before clock-in\",\"userId\":\"5\",\"firstName\":\"Ann\",\"lastName\":\"Lee\",\"workedDate\":\"2026-06-08\","
            "\"clockedIn\":\"2026-06-08T16:00:00\",\"clockedOut\":\"2026-06-08T15:00:00\",\"detail\":\"\"},\n"
            "{\"exception\":\"Time without a date\",\"userId\":\"5\",\"firstName\":\"Ann\",\"lastName\":\"Lee\",\"workedDate\":\"2026-06-09\","
            "\"clockedIn\":\"1899-12-30T08:00:00\",\"clockedOut\":\"2026-06-09T16:00:00\",\"detail\":\"clock-in\"},\n"
            "{\"exception\":\"Refused on replay\",\"userId\":\"5\",\"firstName\":\"Ann\",\"lastName\":\"Lee\",\"workedDate\":\"2026-06-10\","
            "\"clockedIn\":null,\"clockedOut\":\"2026-06-10T07:00:00\",\"detail\":\"station offline\"}\n"
            "]}\n");
    }
    void exceptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, tables);
        QFETCH(QString, expected);
        auto db = data::Database::current();
        TestEnv::addEmployee(*db, "9");
        QVERIFY(!db->exec("update usertable set HourlyRate = '=2*6' where UserIDLogin = '9'"));
        auto day = [](int d, int hour, int minute = 0) { return QDateTime(QDate(2026, 6, d), QTime(hour, minute)); };
        auto wall = [&day](int d, int hour) { return QDateTime(day(d, hour).date(), day(d, hour).time(), Qt::UTC); };
        const QString insert = "insert into clocktable (ClockedIn, ClockedOut, RowDate, UserIDLogin) values (?, ?, ?, ?)";
        if (tables) {
            // The week of 5/31 closed on 6/7 at 9:00; a punch clocked out after that came in
            // since, as did the clock-out of 6/5 that a station sent later, but not 9's punch
            // of 6/4, sent before an earlier closing of the week.
            TestEnv::setTime(day(7, 9));
            QVERIFY(reports::PayRulesStore(db).close({QDate(2026, 5, 31), QDate(2026, 6, 6)}, "boss").ok());
            data::ReplayNote sent{data::ReplayNote::Kind::IntoClosedPeriod, "s1", 1, "5", false, wall(5, 9), {}, wall(7, 9)};
            data::ReplayNote sentBeforeClosing{data::ReplayNote::Kind::IntoClosedPeriod, "s1", 2, "9", true, wall(4, 8),
                                               {}, wall(6, 9)};
            data::ReplayNote refused{data::ReplayNote::Kind::Refused, "s1", 3, "5", false, wall(10, 7), "station offline", {}};
            for (const data::ReplayNote &note : {sent, sentBeforeClosing, refused})
                QVERIFY(!data::recordReplayNote(*db, note));
        } else {
            for (const char *table : {"AuditTable", "PayPeriods"})
                QVERIFY(!db->exec(QString("drop table %1").arg(table)));
        }
        QVERIFY(!db->exec(insert, {day(5, 8), day(5, 9), QDate(2026, 6, 5), "5"}));
        QVERIFY(!db->exec(insert, {day(6, 22), day(7, 10), QDate(2026, 6, 6), "5"}));
        QVERIFY(!db->exec(insert, {day(8, 16), day(8, 15), QDate(2026, 6, 8), "5"}));
        QVERIFY(!db->exec(insert, {QDateTime(regional::zeroDate(), QTime(8, 0)), day(9, 16), QDate(2026, 6, 9), "5"}));
        QVERIFY(!db->exec(insert, {day(9, 6), QVariant(), QDate(2026, 6, 9), "7"}));
        QVERIFY(!db->exec(insert, {day(4, 8), day(4, 9), QDate(2026, 6, 4), "9"}));
        QVERIFY(!db->exec(insert, {day(10, 9), day(10, 10), QDate(2026, 6, 10), "X1"}));
        // Open since 6:00 on 6/9: 30 hours at noon on 6/10.
        TestEnv::setTime(day(10, 12));
        const Result result = run(arguments);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.code, int(ReportCommand::Done));
        QCOMPARE(result.out.section('\n', 1), expected);
    }

    // The command's connection reads only, on either engine: on PostgreSQL (found where the
    // station's settings say) every statement runs in a read-only transaction.
    void readsOnly_data() { TestEnv::engineRows(); }
    void readsOnly()
    {
        if (m_env->engine() == data::Engine::PostgreSql) {
            const data::ConnectionSettings server = TestEnv::postgresSettings();
            settings::write(settings::keys::UseSqlDb, "1");
            settings::write(settings::keys::ServerKind, "PostgreSQL");
            settings::write(settings::keys::SqlUser, server.user);
            settings::write(settings::keys::SqlPassword, admin::scramblePassword(server.password));
            settings::write(settings::keys::SqlDatabase, server.database);
            settings::write(settings::keys::SqlServer, server.server);
        }
        const Result result = run({"--from", "0001-01-01", "--to", "9999-12-31", "--summary"});
        QCOMPARE(result.out.section('\n', 3), ",Total,,6,905,15:05,15.08,875,1,1,0,875,0,176.04\n");
        data::ConnectionSettings connection = m_env->settings();
        connection.readOnly = true;
        QVERIFY(data::Database::open(connection)->exec("delete from clocktable"));
        QCOMPARE(data::Database::open(m_env->settings())->query("select count(*) as n from clocktable").first().number("n"), 6.0);
    }
};

QTEST_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
