#include "privatepgserver.h"
#include "testenv.h"

#include "data/database.h"
#include "data/audittable.h"
#include "data/embeddedfunctions.h"
#include "data/passwordhash.h"
#include "data/schema.h"
#include "platform/clipboard.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTcpServer>
#include <QThread>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using namespace data;

namespace {
// Just enough of a SQL Server on the loopback address to refuse a login: it answers the
// pre-login packet without encryption and the login packet with error 18456.
class RefusingServer : public QTcpServer
{
public:
private:
    static QByteArray packet(const QByteArray &payload)
    {
        QByteArray header(8, '\0');
        header[0] = 0x04; // tabular result
        header[1] = 0x01; // end of message
        qToBigEndian<quint16>(quint16(payload.size() + 8), header.data() + 2);
        header[6] = 1;
        return header + payload;
    }
    static QByteArray utf16(const QString &text)
    {
        return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    }
    static QByteArray preloginReply()
    {
        QByteArray p;
        p += QByteArray::fromHex("00000b0006"); // version at offset 11, 6 bytes
        p += QByteArray::fromHex("0100110001"); // encryption at offset 17, 1 byte
        p += char(0xff);
        p += QByteArray::fromHex("0f0007d00000");
        p += char(0x02); // encryption not supported
        return p;
    }
    static QByteArray loginRefusal()
    {
        const QString message = QStringLiteral("Login failed for user 'sa'.");
        QByteArray body;
        char number[4];
        qToLittleEndian<qint32>(18456, number);
        body += QByteArray(number, 4) + char(1) + char(14);
        char length[2];
        qToLittleEndian<quint16>(quint16(message.size()), length);
        body += QByteArray(length, 2) + utf16(message);
        body += char(4) + utf16(QStringLiteral("fake")) + char(0);
        body += QByteArray::fromHex("01000000");
        QByteArray token(1, char(0xaa));
        qToLittleEndian<quint16>(quint16(body.size()), length);
        token += QByteArray(length, 2) + body;
        token += QByteArray::fromHex("fd020000000000000000000000");
        return token;
    }
    static void answer(QTcpSocket *socket, QByteArray &buffer)
    {
        buffer += socket->readAll();
        while (buffer.size() >= 8) {
            const int length = qFromBigEndian<quint16>(buffer.constData() + 2);
            if (buffer.size() < length)
                return;
            const char type = buffer.at(0);
            buffer.remove(0, length);
            if (type == 0x12)
                socket->write(packet(preloginReply()));
            else if (type == 0x10)
                socket->write(packet(loginRefusal()));
        }
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [socket, buffer] { answer(socket, *buffer); });
    }
};
} // namespace

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        if (const QString why = m_env->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }
    void cleanup() { m_env.reset(); }

    void missingFileIsTheGeneralFailureAndIsNotCreated()
    {
        auto db = Database::open(m_env->embeddedSettings());
        QCOMPARE(db->openError().number, errors::GeneralFailure);
        QVERIFY2(db->openError().description.contains(m_env->databasePath()), qPrintable(db->openError().description));
        QVERIFY(!QFile::exists(m_env->databasePath()));
        QVERIFY(!db->isOpen());
        // Statements on the failed connection report the same failure instead of crashing.
        QCOMPARE(db->query("select 1").error.number, errors::GeneralFailure);
        QCOMPARE(Database::current(), db);
    }

    void aFileThatIsNotADatabaseFailsToOpen()
    {
        QFile f(m_env->databasePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        auto db = Database::open(m_env->embeddedSettings());
        QCOMPARE(db->openError().number, errors::GeneralFailure);
    }

    void creatingRefusesToOverwrite()
    {
        QVERIFY(!createEmbeddedDatabase(m_env->databasePath()));
        auto db = Database::open(m_env->embeddedSettings());
        TestEnv::addEmployee(*db, "7");
        QVERIFY(createEmbeddedDatabase(m_env->databasePath()).isError());
        QCOMPARE(db->query("select count(*) as n from usertable").first().text("N"), QString("1"));
    }

    // Case-insensitive text uses SQLite's own NOCASE, so the sqlite3 tool still reads the
    // file; a file made before the collation existed opens and works as it did.
    void caseInsensitiveSchemaStaysPlainSqlite()
    {
        QStringList schema;
        {
            auto db = m_env->createDatabase();
            TestEnv::addEmployee(*db, "AB12");
            for (const data::Row &row : db->query("select sql from sqlite_master where sql is not null and name not like 'sqlite%'").rows)
                schema << row.text("sql");
        }
        QProcess tool;
        tool.start("sqlite3", {m_env->databasePath(), "select count(*) from usertable where useridlogin = 'ab12'"});
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.readAllStandardOutput().trimmed(), QByteArray("1"));

        QVERIFY(QFile::remove(m_env->databasePath()));
        {
            QSqlDatabase old = QSqlDatabase::addDatabase("QSQLITE", "old");
            old.setDatabaseName(m_env->databasePath());
            QVERIFY(old.open());
            for (const QString &sql : schema)
                QVERIFY(QSqlQuery(old).exec(QString(sql).remove(" COLLATE NOCASE")));
        }
        QSqlDatabase::removeDatabase("old");
        auto db = Database::open(m_env->embeddedSettings());
        QVERIFY(db->isOpen());
        TestEnv::addEmployee(*db, "AB12");
        QCOMPARE(db->query("select count(*) as n from usertable where useridlogin = ?", {"AB12"}).first().number("n"), 1.0);
    }

    void eachOpenReplacesTheCurrentConnection_data() { TestEnv::engineRows(); }
    void eachOpenReplacesTheCurrentConnection()
    {
        auto first = m_env->createDatabase();
        auto second = Database::open(m_env->settings());
        QVERIFY(first != second);
        QCOMPARE(Database::current(), second);
        // A holder of the older connection can still use it.
        QVERIFY(!first->exec("insert into clocktable (UserIDLogin) values (?)", {"1"}));
        QCOMPARE(second->query("select count(*) as n from clocktable").first().number("n"), 1.0);
    }

    void dateTimesAreStoredSortableAndReadBackAsDates_data() { TestEnv::engineRows(); }
    void dateTimesAreStoredSortableAndReadBackAsDates()
    {
        // The wall-clock time is stored as it is, whatever the station's time zone.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "America/New_York");
        const auto restoreZone = qScopeGuard([&] {
            if (zone.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", zone);
        });
        auto db = m_env->createDatabase();
        const QDateTime early(QDate(2026, 2, 1), QTime(9, 5, 0));
        const QDateTime late(QDate(2026, 12, 7), QTime(17, 41, 4));
        const QDateTime midnight(QDate(2026, 12, 8), QTime(0, 0));
        for (const QDateTime &t : {late, early, midnight})
            QVERIFY(!db->exec("insert into clocktable (ClockedIn, RowDate, UserIDLogin) values (?, ?, ?)",
                              {t, t.date(), "1"}));

        const QueryResult rows = db->query("select ClockedIn, RowDate from clocktable order by ClockedIn");
        QVERIFY(rows.ok());
        QCOMPARE(rows.rows.size(), 3);
        // Ordered by time, not by the text "12/7/2026" against "2/1/2026".
        QCOMPARE(rows.rows[0].text("clockedin"), QString("2/1/2026 9:05:00 AM"));
        QCOMPARE(rows.rows[1].text("CLOCKEDIN"), QString("12/7/2026 5:41:04 PM"));
        QCOMPARE(rows.rows[2].text("ClockedIn"), QString("12/8/2026"));
        QCOMPARE(rows.rows[1].value("ClockedIn").toDateTime(), late);
        QCOMPARE(rows.rows[1].text("RowDate"), QString("12/7/2026"));

        // Comparisons go by time too.
        const QueryResult after = db->query("select count(*) as n from clocktable where ClockedIn >= ?",
                                            {QDateTime(QDate(2026, 12, 1), QTime(0, 0))});
        QCOMPARE(after.first().number("n"), 2.0);

        // The stored form is one canonical text that other tools read as well: the server's
        // own text of its date-time.
        if (m_env->engine() == Engine::PostgreSql) {
            QCOMPARE(db->query("select ClockedIn::text as t from ClockTable order by ID").first().text("t"),
                     QString("2026-12-07 17:41:04"));
            return;
        }
        QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
        raw.setDatabaseName(m_env->databasePath());
        QVERIFY(raw.open());
        {
            QSqlQuery q("select ClockedIn from ClockTable order by ID", raw);
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QString("2026-12-07 17:41:04"));
        }
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase("raw");
    }

    void nullsReadAsEmptyText_data() { TestEnv::engineRows(); }
    void nullsReadAsEmptyText()
    {
        auto db = m_env->createDatabase();
        QVERIFY(!db->exec("insert into clocktable (UserIDLogin) values (?)", {"9"}));
        const Row row = db->query("select * from clocktable").first();
        QVERIFY(row.isNull("ClockedOut"));
        QCOMPARE(row.text("ClockedOut"), QString());
        QCOMPARE(row.text("TotalClock"), QString());
        QCOMPARE(row.text("NoSuchColumn"), QString());
        QCOMPARE(row.number("TotalClock"), 0.0);

        // A date-time that is not valid is stored as NULL, not as an empty text.
        QVERIFY(!db->exec("update clocktable set ClockedOut = ?, RowDate = ?", {QDateTime(), QDate()}));
        const Row updated = db->query("select * from clocktable").first();
        QVERIFY(updated.isNull("ClockedOut"));
        QVERIFY(updated.isNull("RowDate"));
    }

    void dateDiffCountsBoundariesCrossed_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<qint64>("expected");
        const QDate d(2026, 12, 7);
        for (const QByteArray &engine : TestEnv::engineTags()) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s: %s", engine.constData(), name); };
            row("two seconds across a minute") << "n" << QDateTime(d, QTime(8, 59, 59)) << QDateTime(d, QTime(9, 0, 1)) << qint64(1);
            row("59 seconds inside a minute") << "n" << QDateTime(d, QTime(9, 0, 0)) << QDateTime(d, QTime(9, 0, 59)) << qint64(0);
            row("a shift") << "n" << QDateTime(d, QTime(8, 0, 30)) << QDateTime(d, QTime(16, 30, 10)) << qint64(510);
            row("backwards") << "n" << QDateTime(d, QTime(10, 3, 0)) << QDateTime(d, QTime(10, 0, 59)) << qint64(-3);
            row("night shift minutes") << "n" << QDateTime(d, QTime(22, 0)) << QDateTime(d.addDays(1), QTime(6, 0)) << qint64(480);
            row("days across midnight") << "d" << QDateTime(d, QTime(23, 59, 59)) << QDateTime(d.addDays(1), QTime(0, 0, 1)) << qint64(1);
            row("same day") << "d" << QDateTime(d, QTime(0, 0)) << QDateTime(d, QTime(23, 59, 59)) << qint64(0);
            row("days across a year") << "d" << QDateTime(QDate(2026, 12, 31), QTime(12, 0)) << QDateTime(QDate(2027, 1, 2), QTime(1, 0)) << qint64(2);
            row("hours") << "h" << QDateTime(d, QTime(8, 59, 59)) << QDateTime(d, QTime(9, 0, 0)) << qint64(1);
            row("hours backwards") << "h" << QDateTime(d, QTime(9, 0, 0)) << QDateTime(d, QTime(8, 59, 59)) << qint64(-1);
            row("seconds") << "s" << QDateTime(d, QTime(8, 59, 59)) << QDateTime(d.addDays(1), QTime(9, 0, 1)) << qint64(86402);
            row("weeks, whole") << "w" << QDateTime(d, QTime(12, 0)) << QDateTime(d.addDays(13), QTime(0, 0)) << qint64(1);
            row("Sunday weeks") << "ww" << QDateTime(QDate(2026, 12, 5), QTime(12, 0)) << QDateTime(QDate(2026, 12, 6), QTime(0, 0)) << qint64(1);
            row("months") << "m" << QDateTime(QDate(2026, 1, 31), QTime(12, 0)) << QDateTime(QDate(2026, 2, 1), QTime(0, 0)) << qint64(1);
            row("quarters") << "q" << QDateTime(QDate(2026, 3, 31), QTime(12, 0)) << QDateTime(QDate(2027, 4, 1), QTime(0, 0)) << qint64(5);
            // Calendar days over leap years and centuries, as the engine counts them for the report.
            row("leap day") << "d" << QDateTime(QDate(2028, 2, 28), QTime(9, 0)) << QDateTime(QDate(2028, 3, 1), QTime(9, 0)) << qint64(2);
            row("2000 had one") << "d" << QDateTime(QDate(2000, 2, 28), QTime(9, 0)) << QDateTime(QDate(2000, 3, 1), QTime(9, 0)) << qint64(2);
            row("2100 has none") << "d" << QDateTime(QDate(2100, 2, 28), QTime(9, 0)) << QDateTime(QDate(2100, 3, 1), QTime(9, 0)) << qint64(1);
            row("from the zero date") << "d" << QDateTime(QDate(1899, 12, 30), QTime(1, 0)) << QDateTime(QDate(1900, 3, 1), QTime(1, 0)) << qint64(61);
            row("back over decades") << "d" << QDateTime(d, QTime(1, 0)) << QDateTime(QDate(1999, 12, 31), QTime(1, 0)) << qint64(-9838);
            row("years") << "yyyy" << QDateTime(QDate(2026, 12, 31), QTime(23, 59)) << QDateTime(QDate(2027, 1, 1), QTime(0, 0)) << qint64(1);
        }
    }
    void dateDiffCountsBoundariesCrossed()
    {
        QFETCH(QString, unit);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(qint64, expected);
        QCOMPARE(dateDiff(unit, start, end), std::optional<qint64>(expected));

        // The same through a statement, with the engine's spelling of the unit.
        auto db = m_env->createDatabase();
        QVERIFY(!db->exec("insert into clocktable (ClockedIn, ClockedOut, UserIDLogin) values (?, ?, '1')", {start, end}));
        const QString spelled = unit.size() == 1 ? db->dateDiffUnit(unit.at(0).toLatin1()) : "'" + unit + "'";
        const QueryResult r = db->query(QString("select DateDiff(%1,Clockedin, clockedout) as diff from clocktable").arg(spelled));
        QVERIFY2(r.ok(), qPrintable(r.error.description));
        QCOMPARE(r.first().value("diff").toLongLong(), expected);
    }

    void engineFunctionsHandleOddInput_data() { TestEnv::engineRows(); }
    void engineFunctionsHandleOddInput()
    {
        auto db = m_env->createDatabase();
        QVERIFY(!db->exec("insert into clocktable (ClockedIn, UserIDLogin) values (?, 'x')", {QDateTime(QDate(2026, 1, 1), QTime(8, 0))}));
        // An open punch has no total yet.
        QVERIFY(db->query("select DateDiff('n', ClockedIn, ClockedOut) as d from clocktable").first().isNull("d"));
        // Regional texts are read too, and an unknown unit is an error, not a crash.
        QCOMPARE(db->query("select DateDiff('d', '12/7/2026', '12/9/2026 1:00:00 AM') as d").first().number("d"), 2.0);
        QVERIFY(db->query("select DateDiff('zz', ClockedIn, ClockedIn) as d from clocktable").error.isError());
        QCOMPARE(db->query("select len(?) as n", {QString("Añoñ")}).first().number("n"), 4.0);
        QVERIFY(db->query("select len(NULL) as n").first().isNull("n"));
        // A "?" inside quotes is text, not a place for a value.
        const Row quoted = db->query("select 'a?''b' as \"q?\", len(?) as n", {QString("xyz")}).first();
        QCOMPARE(quoted.text("q?"), QString("a?'b"));
        QCOMPARE(quoted.number("n"), 3.0);
    }

    // Rows read one at a time carry the same values and texts as a whole result, also
    // where a text repeats from the row before, and a row kept by the reader stays as read.
    void streamedRowsMatchTheWholeResult_data() { TestEnv::engineRows(); }
    void streamedRowsMatchTheWholeResult()
    {
        auto db = m_env->createDatabase();
        const QDateTime in(QDate(2026, 3, 1), QTime(8, 0, 5));
        const QList<QVariantList> punches{{in, in.addSecs(3600), "7"},
                                          {in.addDays(1), QVariant(), "7"},
                                          {QVariant(), in.addDays(2), "8"},
                                          {in.addDays(2), in.addDays(2), "8"}};
        for (const QVariantList &p : punches)
            QVERIFY(!db->exec("insert into clocktable (ClockedIn, ClockedOut, TotalClock, RowDate, UserIDLogin) "
                              "values (?, ?, 60, ?, ?)", {p[0], p[1], QDate(2026, 3, 1), p[2]}));
        const QString sql = "select * from clocktable where UserIDLogin <> ? order by ID";
        const QueryResult whole = db->query(sql, {"none"});
        QList<Row> kept;
        QVERIFY(!db->forEachRow(sql, {"none"}, [&](const Row &row) {
            kept << row;
            return true;
        }));
        QCOMPARE(kept.size(), whole.rows.size());
        for (qsizetype r = 0; r < kept.size(); ++r) {
            for (const char *column : {"ID", "ClockedIn", "ClockedOut", "TotalClock", "RowDate", "UserIDLogin"}) {
                const int i = kept[r].indexOf(column);
                QCOMPARE(kept[r].text(i), whole.rows[r].text(column));
                QCOMPARE(kept[r].value(i), whole.rows[r].value(column));
                QCOMPARE(kept[r].isNull(column), whole.rows[r].isNull(column));
                const QDateTime local = whole.rows[r].value(column).toDateTime();
                QCOMPARE(kept[r].wallDateTime(i), local.isValid() && whole.rows[r].value(column).typeId() == QMetaType::QDateTime
                                                      ? QDateTime(local.date(), local.time(), Qt::UTC)
                                                      : QDateTime());
            }
        }
        int read = 0;
        QVERIFY(!db->forEachRow(sql, {"none"}, [&](const Row &) { return ++read < 2; }));
        QCOMPARE(read, 2);
        QCOMPARE(db->forEachRow("select * from nosuchtable", {}, [](const Row &) { return true; }).number,
                 errors::InvalidObject);
    }

    void rejectedStatementsReportNumberAndDescription_data() { TestEnv::engineRows(); }
    void rejectedStatementsReportNumberAndDescription()
    {
        auto db = m_env->createDatabase();
        const DbError missing = db->exec("select * from nosuchtable");
        QCOMPARE(missing.number, errors::InvalidObject);
        QVERIFY(missing.description.contains("nosuchtable"));
        const DbError syntax = db->exec("selec nothing");
        QCOMPARE(syntax.number, errors::CommandFailed);
        QVERIFY(!syntax.description.isEmpty());
        QVERIFY(syntax.numberAndDescription().startsWith("-2147217900\r\n"));
    }

    void sqlServerScriptIsExact()
    {
        const QString script = sqlTableScript();
        const QStringList lines = script.split("\r\n");
        QVERIFY(!script.endsWith("\r\n"));
        const QStringList audit = auditTableStatements(AuditDialect::SqlServer).join("\r\n").split("\r\n");
        QCOMPARE(lines.first(), QString(" if not exists (select * from dbo.sysobjects where id = object_id(N'[ClockTable]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"));
        QCOMPARE(lines[3], QString("     [ID] [int] IDENTITY(1,1001) NOT NULL,"));
        QCOMPARE(lines[10], QString(" "));
        QCOMPARE(lines[11], QString(" CREATE NONCLUSTERED INDEX [IDIndex] ON [ClockTable] "));
        QCOMPARE(lines[22], QString("     [FirstName] [varchar](50) NULL,"));
        QVERIFY(lines.contains("     [Memos] [varchar](2000) NULL,"));
        QVERIFY(lines.contains("     [Disabled] [int] NULL,"));
        QVERIFY(lines.contains("     [DisplayText] [varchar](255) NULL,"));
        QVERIFY(lines.contains("     [HourlyRate] [varchar](50) NULL,"));
        QCOMPARE(lines[50], QString("     [PhotoLocation] [varchar](50) NULL"));
        QCOMPARE(lines.mid(51, 7), QStringList({" ) ON [PRIMARY]", " ", " CREATE NONCLUSTERED INDEX [IDIndex] ON [UserTable] ",
                                             " (", "     [ID] ASC", " ) ", " end "}));
        // AuditTable follows, so that a login that may not create tables records changes.
        QCOMPARE(lines.mid(58, audit.size()), audit);
        // The pay rules' tables follow, each made only where it is missing.
        QVERIFY(lines.contains(" CREATE TABLE [PayRules]("));
        QVERIFY(lines.contains(" CREATE TABLE [PayPeriods]("));
        QVERIFY(lines.contains(" CREATE TABLE [ReplayedPunches]("));
    }

    // Passwords are stored as salted hashes that fit the 50-character column; a stored text
    // that is not one is a clear password of an earlier build.
    void passwordHashes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<bool>("rehash");
        const QString hash = *PasswordHash::hash("Secret é");
        QString otherVersion = hash;
        otherVersion[3] = QLatin1Char('9');
        QTest::newRow("hash, same password") << "Secret é" << hash << true << false;
        QTest::newRow("hash, other case") << "secret é" << hash << false << false;
        QTest::newRow("hash, password with a blank more") << "Secret é " << hash << false << false;
        QTest::newRow("hash, empty") << "" << hash << false << false;
        QTest::newRow("hash of unknown parameters") << "Secret é" << otherVersion << false << true;
        QTest::newRow("hash cut short") << hash.chopped(1) << hash.chopped(1) << true << true;
        QTest::newRow("clear, same") << "pw8" << "pw8" << true << true;
        QTest::newRow("clear, other") << "pw9" << "pw8" << false << true;
        QTest::newRow("clear that looks like a prefix") << "$ct1$" << "$ct1$" << true << true;
        QTest::newRow("nothing stored") << "" << "" << true << false;
    }
    void passwordHashes()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, matches);
        QFETCH(bool, rehash);
        QCOMPARE(PasswordHash::verify(typed, stored), matches);
        QCOMPARE(PasswordHash::needsRehash(stored), rehash);
    }
    void passwordHashIsSaltedAndFitsTheColumn()
    {
        const QString first = *PasswordHash::hash(QString(200, QLatin1Char('x')));
        const QString second = *PasswordHash::hash(QString(200, QLatin1Char('x')));
        QVERIFY(first != second);
        for (const QString &hash : {first, second}) {
            QVERIFY(hash.size() <= 50);
            QVERIFY(PasswordHash::verify(QString(200, QLatin1Char('x')), hash));
        }
        QCOMPARE(*PasswordHash::hash(QString()), QString(""));
    }

    void unreachableServerFailsQuicklyWithTheGeneralFailure_data()
    {
        QTest::addColumn<ServerKind>("kind");
        QTest::addColumn<QString>("server");
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("minutes");
        // Nothing listens on port 1.
        QTest::newRow("SQL Server") << ServerKind::SqlServer << "127.0.0.1,1" << Engine::SqlServer << "n";
        QTest::newRow("a PostgreSQL server") << ServerKind::PostgreSql << "127.0.0.1:1" << Engine::PostgreSql << "'n'";
    }
    void unreachableServerFailsQuicklyWithTheGeneralFailure()
    {
        QFETCH(ServerKind, kind);
        QFETCH(QString, server);
        QFETCH(Engine, engine);
        QFETCH(QString, minutes);
        ConnectionSettings s;
        s.useSqlDb = true;
        s.serverKind = kind;
        s.server = server;
        s.database = "Stampwell";
        s.user = "sa";
        s.password = "secret;Server=elsewhere' host=x";
        QElapsedTimer timer;
        timer.start();
        auto db = Database::open(s);
        QCOMPARE(db->openError().number, errors::GeneralFailure);
        QVERIFY(!db->openError().description.isEmpty());
        QVERIFY(db->openError().unreachable);
        QVERIFY2(timer.elapsed() < 10000, "an unreachable server must not hang the station");
        QCOMPARE(db->engine(), engine);
        QCOMPARE(db->dateDiffUnit('n'), minutes);

        // SQLTable reports the same failure and leaves the clipboard alone.
        platform::Clipboard::setText("before");
        QCOMPARE(SQLTable(s).number, errors::GeneralFailure);
        QCOMPARE(platform::Clipboard::text(), QString("before"));
    }

    // The tests' server: refused logins are the login failure, so the login dialog appears;
    // a server that answers but has no such database, or a port that is not one, the general one.
    void postgresOpenFailures_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("says");
        const QString user = qEnvironmentVariable("CHRONOTALLY_PG_USER");
        const QString password = qEnvironmentVariable("CHRONOTALLY_PG_PASSWORD");
        const QString port = qEnvironmentVariable("CHRONOTALLY_PG_PORT");
        QTest::newRow("PostgreSQL: wrong password") << user << "wrong;password='x'" << QString() << port << errors::LoginFailed
                                                    << "password authentication failed for user \"" + user + "\"";
        QTest::newRow("PostgreSQL: unknown user") << "nobody" << password << QString() << port << errors::LoginFailed
                                                  << "password authentication failed for user \"nobody\"";
        QTest::newRow("PostgreSQL: no password") << user << QString() << QString() << port << errors::LoginFailed
                                                 << "no password supplied";
        QTest::newRow("PostgreSQL: no such database") << user << password << "nosuchdb" << port << errors::GeneralFailure
                                                      << "database \"nosuchdb\" does not exist";
        QTest::newRow("PostgreSQL: port not a number") << user << password << QString() << "54x" << errors::GeneralFailure
                                                       << "\"54x\" is not a port number.";
    }
    void postgresOpenFailures()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(QString, port);
        QFETCH(int, number);
        QFETCH(QString, says);
        ConnectionSettings s = m_env->settings();
        s.user = user;
        s.password = password;
        if (!database.isEmpty())
            s.database = database;
        s.server = qEnvironmentVariable("CHRONOTALLY_PG_HOST") + ":" + port;
        auto db = Database::open(s);
        QCOMPARE(db->openError().number, number);
        QVERIFY2(db->openError().description.contains(says), qPrintable(db->openError().description));
        QVERIFY(!db->openError().description.contains("FATAL"));
        // The server answered, or was never asked.
        QVERIFY(!db->openError().unreachable);
    }

    // The server field takes the address with its port after ":" or ",", or the folder of
    // the server's socket.
    void postgresServerAddressForms_data()
    {
        QTest::addColumn<QString>("server");
        const QString host = qEnvironmentVariable("CHRONOTALLY_PG_HOST");
        const QString port = qEnvironmentVariable("CHRONOTALLY_PG_PORT");
        QTest::newRow("PostgreSQL: host:port") << host + ":" + port;
        QTest::newRow("PostgreSQL: host,port with blanks") << " " + host + " , " + port + " ";
        QTest::newRow("PostgreSQL: socket folder:port") << qEnvironmentVariable("CHRONOTALLY_PG_SOCKET") + ":" + port;
    }
    void postgresServerAddressForms()
    {
        QFETCH(QString, server);
        if (server.startsWith(':'))
            QSKIP("CHRONOTALLY_PG_SOCKET is not set");
        ConnectionSettings s = m_env->settings();
        s.server = server;
        auto db = Database::open(s);
        QVERIFY2(db->isOpen(), qPrintable(db->openError().description));
        QCOMPARE(db->query("select 1 as one").first().number("one"), 1.0);
    }

    // "OK" on the SQL panel runs the script: both tables with date-times in the server's
    // timestamp type and the IDs and names without case, and again without harm.
    void postgresScriptCreatesTheTablesOnce_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::newRow("PostgreSQL") << Engine::PostgreSql;
    }
    void postgresScriptCreatesTheTablesOnce()
    {
        auto db = m_env->createDatabase();
        QVERIFY(!db->exec("drop table clocktable; drop table usertable"));
        platform::Clipboard::setText("before");
        QVERIFY(!SQLTable(m_env->settings()));
        QCOMPARE(platform::Clipboard::text(), postgreSqlTableScript());
        db = Database::current();
        QCOMPARE(db->engine(), Engine::PostgreSql);
        TestEnv::addEmployee(*db, "AB12");
        QVERIFY(!db->exec("insert into clocktable (ClockedIn, UserIDLogin) values (?, ?)", {QDateTime(QDate(2026, 12, 7), QTime(8, 0)), "ab12"}));

        QVERIFY(!SQLTable(m_env->settings()));
        db = Database::current();
        QCOMPARE(db->query("select count(*) as n from usertable u, clocktable c where u.useridlogin = c.useridlogin").first().number("n"), 1.0);
        QVERIFY(!db->exec("insert into clocktable (UserIDLogin) values (?)", {"AB12"}));
        const QList<Row> ids = db->query("select ID from clocktable order by ID").rows;
        QCOMPARE(ids.size(), 2);
        QVERIFY(ids[1].number("ID") > ids[0].number("ID"));

        const QueryResult columns = db->query(
            "select table_name as t, column_name as c, data_type as type, collation_name as coll "
            "from information_schema.columns where table_schema = current_schema() order by t, ordinal_position");
        // ClockTable, UserTable, AuditTable, PayRules, PayPeriods, ReplayedPunches
        QCOMPARE(columns.rows.size(), 6 + 30 + 1 + auditTableColumns().size() + 2 + 6 + 3);
        for (const Row &column : columns.rows) {
            const QString name = column.text("t") + "." + column.text("c");
            if (name.endsWith(".clockedin") || name.endsWith(".clockedout") || name.endsWith(".rowdate")
                || name.endsWith(".firstdate") || name.endsWith(".lastdate") || name.endsWith(".closedat"))
                QCOMPARE(column.text("type"), QString("timestamp without time zone"));
            const bool noCase = name.endsWith(".useridlogin") || name.endsWith(".firstname") || name.endsWith(".lastname");
            QVERIFY2((column.text("coll") == "nocase") == noCase, qPrintable(name));
        }
    }

    // The table script makes AuditTable, so a server login that may not create tables still
    // records its changes; an earlier build's file gains the table with its first change.
    void auditTableNeedsNoRightToCreateTables_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::newRow("PostgreSQL: no right to create") << "revoke create on schema public from current_user";
        QTest::newRow("embedded: an earlier build's file") << "drop table AuditTable";
    }
    void auditTableNeedsNoRightToCreateTables()
    {
        QFETCH(QString, setup);
        auto db = m_env->createDatabase();
        QVERIFY(!db->exec(setup));
        const AuditSnapshot before{{"City"}, {"A"}, true}, after{{"City"}, {"B"}, true};
        for (int change = 1; change <= 2; ++change) {
            QVERIFY(!db->beginWrite());
            const DbError error = recordChange(*db, "boss", "UserTable", 1, before, after);
            QVERIFY2(!error, qPrintable(error.description));
            QVERIFY(!db->commit());
            QCOMPARE(TestEnv::auditRows(*db).size(), change);
        }
    }

    void refusedLoginIsTheLoginFailure()
    {
        RefusingServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        ConnectionSettings s;
        s.useSqlDb = true;
        s.server = QString("127.0.0.1,%1").arg(server.serverPort());
        s.user = "sa";
        s.password = "wrong";
        s.database = "Stampwell";
        // The driver blocks while it talks to the server, so the server answers from a thread.
        QThread thread;
        server.moveToThread(&thread);
        thread.start();
        auto db = Database::open(s);
        thread.quit();
        thread.wait();
        QCOMPARE(db->openError().number, errors::LoginFailed);
        QCOMPARE(db->openError().description, QString("Login failed for user 'sa'."));
    }

    // A lost connection: while the server is down a statement fails at once, saying the server
    // could not be reached; once it is back the next statement reopens the connection and runs,
    // also for a connection first opened while it was away, a restart while nobody asked, and a
    // backend ended by an administrator. A refused login is not tried again.
    void aLostConnectionIsReopenedAtTheNextStatement()
    {
        PrivatePgServer *server = privateServer();
        if (!server)
            QSKIP(qPrintable(m_server->unavailable()));
        QVERIFY(server->stop());
        auto db = Database::open(server->settings());
        QVERIFY(db->openError().unreachable);
        QVERIFY(db->exec("select 1").unreachable);
        QVERIFY(server->start());
        QVERIFY(!db->exec("drop table if exists kept; create table kept (n integer)"));
        QVERIFY(!db->openError());
        QVERIFY(!db->exec("insert into kept values (?)", {1}));

        QVERIFY(server->stop());
        QElapsedTimer timer;
        timer.start();
        DbError down = db->exec("insert into kept values (?)", {2});
        qInfo("a statement on a stopped server failed after %lld ms", timer.elapsed());
        QVERIFY(down.unreachable);
        QCOMPARE(down.number, errors::GeneralFailure);
        QVERIFY2(down.description.contains("refused"), qPrintable(down.description));
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY(!db->isOpen());
        QVERIFY(server->start());
        QCOMPARE(count(*db, "kept"), QString("1"));
        QVERIFY(db->isOpen());
        QCOMPARE(Database::current(), db);

        QVERIFY(server->stop());
        QVERIFY(server->start());
        const QueryResult inserted = db->query("insert into kept values (?)", {3});
        QVERIFY2(inserted.ok(), qPrintable(inserted.error.description));
        QCOMPARE(inserted.rowsAffected, 1);
        QCOMPARE(count(*db, "kept"), QString("2"));

        const QString pid = db->query("select pg_backend_pid() as pid").first().text("pid");
        QVERIFY(!pid.isEmpty());
        auto admin = Database::open(server->settings());
        QCOMPARE(admin->query("select pg_terminate_backend(?) as done", {pid.toInt()}).first().value("done"), QVariant(true));
        const QueryResult after = db->query("select pg_backend_pid() as pid");
        QVERIFY2(after.ok(), qPrintable(after.error.description));
        QVERIFY(after.first().text("pid") != pid);

        ConnectionSettings wrong = server->settings();
        wrong.password = "wrong";
        auto refused = Database::open(wrong);
        QCOMPARE(refused->openError().number, errors::LoginFailed);
        QVERIFY(!refused->openError().unreachable);
        QCOMPARE(refused->exec("select 1").number, errors::LoginFailed);
    }

    // A transaction the restart cut is gone: its statements fail, saying the server could
    // not be reached, until it is rolled back; nothing of it is written, and the statement
    // after it runs on a new connection.
    void aTransactionCutByARestartIsGone()
    {
        PrivatePgServer *server = privateServer();
        if (!server)
            QSKIP(qPrintable(m_server->unavailable()));
        auto db = Database::open(server->settings());
        addTables(*db);
        QVERIFY(!db->exec("drop table if exists kept; create table kept (n integer)"));
        QVERIFY(!db->beginWrite());
        QVERIFY(!db->exec("insert into kept values (?)", {1}));
        QVERIFY(server->stop());
        QVERIFY(server->start());
        const DbError cut = db->exec("insert into kept values (?)", {2});
        QVERIFY(cut.unreachable);
        QVERIFY(db->exec("insert into kept values (?)", {3}).unreachable);
        QVERIFY(db->commit().unreachable);
        db->rollback();
        QCOMPARE(count(*db, "kept"), QString("0"));
        QVERIFY(!db->beginWrite());
        QVERIFY(!db->exec("insert into kept values (?)", {4}));
        QVERIFY(!db->commit());
        QCOMPARE(count(*db, "kept"), QString("1"));
    }

    // A link that goes silent is found by TCP within 10 s: keep-alive probes on an idle
    // connection, and a limit on data the server does not acknowledge.
    void keepAliveFindsASilentLinkWithinTenSeconds()
    {
        PrivatePgServer *server = privateServer();
        if (!server)
            QSKIP(qPrintable(m_server->unavailable()));
        auto db = Database::open(server->settings());
        const QVariant handle = db->handle().driver()->handle();
        QVERIFY(qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0);
        const int socket = PQsocket(*static_cast<PGconn *const *>(handle.data()));
        auto option = [socket](int level, int name) {
            int value = -1;
            socklen_t size = sizeof value;
            return getsockopt(socket, level, name, &value, &size) == 0 ? value : -1;
        };
        QCOMPARE(option(SOL_SOCKET, SO_KEEPALIVE), 1);
        const int idle = option(IPPROTO_TCP, TCP_KEEPIDLE);
        const int interval = option(IPPROTO_TCP, TCP_KEEPINTVL);
        const int probes = option(IPPROTO_TCP, TCP_KEEPCNT);
        QVERIFY(idle > 0 && interval > 0 && probes > 0);
        QVERIFY2(idle + interval * probes <= 10, qPrintable(QString("%1 + %2 * %3 s").arg(idle).arg(interval).arg(probes)));
        const int unacknowledged = option(IPPROTO_TCP, TCP_USER_TIMEOUT);
        QVERIFY(unacknowledged > 0 && unacknowledged <= 10000);
    }

    // Statements under a time-out give up after it, saying the server could not be reached:
    // a server that answers cancels the statement and keeps the connection; one that does
    // not answer at all is given up. Statements outside it are not cut.
    void statementsUnderATimeOutGiveUp()
    {
        PrivatePgServer *server = privateServer();
        if (!server)
            QSKIP(qPrintable(m_server->unavailable()));
        auto db = Database::open(server->settings());
        addTables(*db);
        const QString pid = db->query("select pg_backend_pid() as pid").first().text("pid");
        QElapsedTimer timer;
        {
            const Database::StatementTimeout limit(*db, 1000);
            QVERIFY(!db->beginWrite());
            QCOMPARE(db->query("show statement_timeout").first().text("statement_timeout"), QString("1s"));
            timer.start();
            const DbError slow = db->exec("select pg_sleep(5)");
            QVERIFY(slow.unreachable);
            QVERIFY(timer.elapsed() < 3000);
            db->rollback();
        }
        QCOMPARE(db->query("show statement_timeout").first().text("statement_timeout"), QString("0"));
        QVERIFY(!db->exec("select pg_sleep(1.5)"));
        QCOMPARE(db->query("select pg_backend_pid() as pid").first().text("pid"), pid);

        // A server that stopped answering, its host still up: a punch waits for the time-out.
        QVERIFY(server->freeze());
        auto thaw = qScopeGuard([server] { server->thaw(); });
        {
            const Database::StatementTimeout limit(*db, Database::PunchTimeoutMs);
            timer.start();
            const DbError frozen = db->beginWriteFor("10");
            qInfo("a punch on a frozen server failed after %lld ms", timer.elapsed());
            QVERIFY(frozen.unreachable);
            QVERIFY(timer.elapsed() < 10000);
        }
        QVERIFY(server->thaw());
        QVERIFY(!db->exec("select 1"));
    }

    void cleanupTestCase() { m_server.reset(); }

private:
    // A server of the test's own, stopped, started and frozen under open connections.
    PrivatePgServer *privateServer()
    {
        if (!m_server)
            m_server = std::make_unique<PrivatePgServer>();
        return m_server->unavailable().isEmpty() ? m_server.get() : nullptr;
    }

    static void addTables(Database &db)
    {
        const DbError error = db.exec(postgreSqlTableScript());
        QVERIFY2(!error, qPrintable(error.description));
    }

    static QString count(Database &db, const QString &table)
    {
        return db.query("select count(*) as n from " + table).first().text("n");
    }


    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<PrivatePgServer> m_server;
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
