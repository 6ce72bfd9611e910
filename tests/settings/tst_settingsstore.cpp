#include "testenv.h"

#include "settings/keys.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QTest>

using namespace settings;

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void missingKeysGiveTheReadersDefault()
    {
        QCOMPARE(GetSetting(Application, "Main", "checkbox8", "1"), QString("1"));
        QCOMPARE(GetSetting(Application, "NoSuchSection", "x", "fallback"), QString("fallback"));
        QCOMPARE(read(keys::AutoLaunch), QString("1"));
        QCOMPARE(read(keys::FontName), QString("Verdana"));
        QCOMPARE(read(keys::PrinterCopies), QString("1"));
    }

    void namesAreFoldedForEveryOperation()
    {
        SaveSetting(Application, "Main", "db", "/srv/share");
        QCOMPARE(GetSetting("CHRONOTALLY", "MAIN", "DB"), QString("/srv/share"));

        SaveSetting(Application, "reports", "ZipCode", "False");
        QCOMPARE(GetSetting(Application, "Reports", "Zipcode", "True"), QString("False"));
        SaveSetting(Application, "Reports", "AdminLevel", "False");
        QCOMPARE(GetSetting(Application, "reports", "Adminlevel", "True"), QString("False"));
        SaveSetting(Application, "Reports", "UserIDLogin", "False");
        QCOMPARE(GetSetting(Application, "Reports", "UserIdLogin", "True"), QString("False"));

        // The employee screen's clear-form option and the clock's first option share a key
        // name but not a section.
        write(keys::ClearFormAfterAdd, "0");
        QCOMPARE(read(keys::KeepMaximized), QString("0"));
        write(keys::KeepMaximized, "1");
        QCOMPARE(read(keys::ClearFormAfterAdd), QString("0"));

        DeleteSetting(Application, "MAIN", "Db");
        QCOMPARE(GetSetting(Application, "Main", "db", "none"), QString("none"));
    }

    void valuesAreStoredAsTyped()
    {
        const QString awkward = "  C:\\Program Files\\Stampwell; \"quoted\" = é/中 ";
        SaveSetting(Application, "Main", "form5text8", awkward);
        QCOMPARE(GetSetting(Application, "Main", "form5text8"), awkward);
        SaveSetting(Application, "Main", "form5text8", "last");
        QCOMPARE(GetSetting(Application, "Main", "form5text8"), QString("last"));
        SaveSetting(Application, "Main", "form5text8", "");
        QCOMPARE(GetSetting(Application, "Main", "form5text8", "default"), QString(""));
    }

    void deletingTheApplicationClearsEverySection()
    {
        SaveSetting(Application, "Main", "checkbox1", "1");
        SaveSetting(Application, "Data", "L1", "sa");
        SaveSetting(Application, "FileSettings", "FilePath", "/tmp/x.txt");
        DeleteSetting(Application);
        QCOMPARE(GetSetting(Application, "Main", "checkbox1", "0"), QString("0"));
        QCOMPARE(GetSetting(Application, "Data", "L1"), QString());
        QCOMPARE(GetSetting(Application, "FileSettings", "FilePath"), QString());
    }

    void storeLivesInItsFolder()
    {
        SaveSetting(Application, "Main", "checkbox2", "1");
        QVERIFY(QFile::exists(storeFile(Application)));
        QVERIFY(storeFile(Application).startsWith(m_env->folder()));
        QVERIFY(storeFile(Application).endsWith("/Chronotally.conf"));
    }

    void checkAndMenuTexts()
    {
        QCOMPARE(checkState("1"), std::optional<int>(1));
        QCOMPARE(checkState("0"), std::optional<int>(0));
        QCOMPARE(checkState("yes"), std::optional<int>());
        QVERIFY(menuCheck("True"));
        QVERIFY(!menuCheck("False"));
        QVERIFY(menuCheck("-1"));
        QVERIFY(!menuCheck("0"));
        QVERIFY(menuCheck("garbage", true));
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
