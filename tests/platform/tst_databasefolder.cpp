// Where the station looks for Stampwell.mdb when no folder is set: its own folder when it may
// write there, the shared data folder of an installed station when it may not.
#include "testenv.h"

#include "platform/system.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestDatabaseFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        // Open the folder again so that the temporary folder can be removed.
        QFile::setPermissions(m_env->programFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env.reset();
    }

    void defaultFolder_data()
    {
        QTest::addColumn<int>("owner"); // of the program folder: Self, OtherInOurGroup, Stranger
        QTest::addColumn<int>("mode");  // of the program folder
        QTest::addColumn<bool>("dataExists");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("expectData");
        QTest::newRow("own writable folder: a build folder") << int(Self) << 0755 << true << true << false;
        QTest::newRow("own folder closed to writing") << int(Self) << 0555 << true << false << true;
        QTest::newRow("closed folder, no data folder: nowhere better") << int(Self) << 0555 << false << false << false;
        QTest::newRow("system folder: installed station") << int(Stranger) << 0755 << true << false << true;
        QTest::newRow("writable by our group") << int(OtherInOurGroup) << 0775 << true << true << false;
        QTest::newRow("our group's bits rule over anyone's") << int(OtherInOurGroup) << 0757 << true << false << true;
        QTest::newRow("writable by anyone") << int(Stranger) << 0757 << true << true << false;
    }
    void defaultFolder()
    {
        QFETCH(int, owner);
        QFETCH(int, mode);
        QFETCH(bool, dataExists);
        QFETCH(bool, writable);
        QFETCH(bool, expectData);
        const QString program = m_env->programFolder();
        const QString data = m_env->folder() + QStringLiteral("/data");
        if (dataExists)
            QVERIFY(QDir().mkpath(data));
        platform::setDataFolder(data);
        const QByteArray path = QFile::encodeName(program);
        if (owner != Self && ::chown(path.constData(), Nobody, owner == Stranger ? Nobody : ::getegid()) != 0)
            QSKIP("giving the folder to another user needs root");
        QVERIFY(::chmod(path.constData(), static_cast<mode_t>(mode)) == 0);

        QCOMPARE(platform::isWritableFolder(program), writable);
        QCOMPARE(platform::defaultDatabaseFolder(), expectData ? data : program);
    }

private:
    enum Owner { Self, OtherInOurGroup, Stranger };
    static constexpr uid_t Nobody = 65534;
    std::unique_ptr<TestEnv> m_env;
};

QTEST_MAIN(TestDatabaseFolder)
#include "tst_databasefolder.moc"
