#include "menufixture.h"

#include "admin/sqllogindialog.h"
#include "admin/sqlpassword.h"
#include "data/schema.h"
#include "platform/clipboard.h"
#include "platform/messagebox.h"

#include <QComboBox>
#include <QRegularExpression>

using admin::MainMenu;
using admin::SqlLoginDialog;
using platform::MessageBox;
namespace keys = settings::keys;

class TestSqlPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        s = std::make_unique<Station>();
        if (const QString why = s->env.unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }
    void cleanup()
    {
        SqlLoginDialog::setScriptedAnswer(nullptr);
        s.reset();
    }

    void scramblingGivesThePasswordBack_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
        QTest::newRow("inner blanks") << QStringLiteral("a b  c");
        QTest::newRow("punctuation") << QStringLiteral("-;'\"=,{}\\%_*?");
        QTest::newRow("digits") << QStringLiteral("0123456789");
        QTest::newRow("accented") << QStringLiteral("Zoë Ångström façade");
        QTest::newRow("non-Latin") << QStringLiteral("пароль 密码 パス");
        QTest::newRow("outside the basic plane") << QStringLiteral("key🔑");
        QTest::newRow("long") << QString(200, QLatin1Char('x'));
    }
    void scramblingGivesThePasswordBack()
    {
        QFETCH(QString, password);
        const QString first = admin::scramblePassword(password);
        const QString second = admin::scramblePassword(password);
        QVERIFY(first != second);
        for (const QString &stored : {first, second}) {
            QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z]+$")).match(stored).hasMatch(), qPrintable(stored));
            // The password comes back with 1 to 10 blanks on each side.
            const QRegularExpression padded(QStringLiteral("^ {1,10}") + QRegularExpression::escape(password)
                                            + QStringLiteral(" {1,10}$"));
            QVERIFY(padded.match(admin::ReadData(stored)).hasMatch());
        }
    }

    void scramblingUsesTwentyTwoLetters()
    {
        QSet<QChar> letters;
        for (int i = 0; i < 50; ++i) {
            for (QChar c : admin::scramblePassword(QStringLiteral("0123456789 abc")))
                letters.insert(c);
        }
        QCOMPARE(letters.size(), 22);
        // Anything else in a stored text is skipped.
        QString stored = admin::scramblePassword(QStringLiteral("pw"));
        for (qsizetype i = stored.size() - 1; i > 0; i -= 3)
            stored.insert(i, QStringLiteral("c1 "));
        QCOMPARE(admin::ReadData(stored).trimmed(), QStringLiteral("pw"));
        QVERIFY(admin::ReadData(QString()).isEmpty());
    }

    void startUpShowsBlanksForTheStoredPassword()
    {
        settings::write(keys::SqlPassword, admin::scramblePassword(QStringLiteral("s3cr;t")));
        settings::write(keys::SqlUser, QStringLiteral("sa"));
        s->menu.startupRoutine();
        QCOMPARE(s->menu.options().sqlPassword(), QStringLiteral("s3cr;t"));
        QCOMPARE(s->edit("Textq11")->text(), QStringLiteral("      "));
        QCOMPARE(s->edit("Textq10")->text(), QStringLiteral("sa"));
        QVERIFY(!s->box("Check25")->isChecked());
        // Typing replaces the password in use.
        s->type("Textq11", QStringLiteral("new"));
        QCOMPARE(s->menu.options().sqlPassword(), QStringLiteral("new"));
    }

    void storedPasswordLosesOnlyItsOuterBlanks()
    {
        settings::write(keys::SqlPassword, admin::scramblePassword(QStringLiteral("\t pw \t ")));
        s->menu.startupRoutine();
        QCOMPARE(s->menu.options().sqlPassword(), QStringLiteral("\t pw \t"));
    }

    void okSavesThenReportsTheFailure()
    {
        s->menu.startupRoutine();
        settings::write(keys::SqlPassword, QStringLiteral("KEPT"));
        s->box("Check20")->click();
        QVERIFY(s->shown("Frame10"));
        s->type("Textq10", QStringLiteral("sa"));
        s->type("Textq11", QStringLiteral("pw"));
        s->type("Textq14", QStringLiteral("Stamp"));
        s->type("Textq15", QStringLiteral("127.0.0.1,1"));

        bool enabledWhileRunning = true;
        MessageBox::setHandler([&](const MessageBox::Shown &) -> std::optional<MessageBox::Answer> {
            enabledWhileRunning = s->button("Command31")->isEnabled();
            return std::nullopt;
        });
        s->button("Command31")->click();
        QVERIFY(!enabledWhileRunning);
        QVERIFY(s->button("Command31")->isEnabled());
        QVERIFY(s->shown("Frame10"));

        QCOMPARE(MessageBox::shown().size(), 1);
        const QStringList parts = MessageBox::shownTexts().first().split(QStringLiteral("\r\n"));
        QCOMPARE(parts.size(), 2);
        QVERIFY(parts[0].toInt() != 0);
        QVERIFY(!parts[1].isEmpty());

        QCOMPARE(Station::stored(keys::SqlUser), QStringLiteral("sa"));
        QCOMPARE(Station::stored(keys::SqlDatabase), QStringLiteral("Stamp"));
        QCOMPARE(Station::stored(keys::SqlServer), QStringLiteral("127.0.0.1,1"));
        // "Save SQL Password" off leaves the stored password alone.
        QCOMPARE(Station::stored(keys::SqlPassword), QStringLiteral("KEPT"));

        // On, the password goes to the store scrambled.
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        s->box("Check25")->click();
        QVERIFY(s->box("Check25")->isChecked());
        s->button("Command31")->click();
        QCOMPARE(admin::ReadData(Station::stored(keys::SqlPassword)).trimmed(), QStringLiteral("pw"));
    }

    // The kind of server is one choice on the panel, stored with the other values by "OK";
    // a store without it, or emptied by "Clear", means SQL Server.
    void serverKindIsStoredWithTheValues()
    {
        s->menu.startupRoutine();
        auto *kind = s->find<QComboBox>("ComboServerKind");
        QCOMPARE(kind->accessibleName(), QStringLiteral("Server Kind"));
        QCOMPARE(kind->currentText(), QStringLiteral("SQL Server"));
        QCOMPARE(s->menu.options().connectionSettings().serverKind, data::ServerKind::SqlServer);

        s->box("Check20")->click();
        kind->setCurrentIndex(kind->findText(QStringLiteral("PostgreSQL")));
        QCOMPARE(s->menu.options().connectionSettings().engine(), data::Engine::PostgreSql);
        QCOMPARE(Station::stored(keys::ServerKind), QStringLiteral("<absent>"));
        s->type("Textq15", QStringLiteral("127.0.0.1:1"));
        s->button("Command31")->click(); // nothing listens there
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shownTexts().first().startsWith(QString::number(data::errors::GeneralFailure) + "\r\n"));
        QCOMPARE(Station::stored(keys::ServerKind), QStringLiteral("PostgreSQL"));

        // Read back at the next start, before the database check uses it.
        s->box("Check20")->click();
        kind->setCurrentIndex(kind->findText(QStringLiteral("SQL Server")));
        settings::write(keys::UseSqlDb, QStringLiteral("0"));
        s->menu.startupRoutine();
        QCOMPARE(kind->currentText(), QStringLiteral("PostgreSQL"));
        QCOMPARE(s->menu.options().serverKind(), data::ServerKind::PostgreSql);

        s->box("Check20")->click();
        s->button("Command32")->click();
        QCOMPARE(Station::stored(keys::ServerKind), QString());
        settings::write(keys::UseSqlDb, QStringLiteral("0"));
        s->menu.startupRoutine();
        QCOMPARE(kind->currentText(), QStringLiteral("SQL Server"));
    }

    // "OK" with PostgreSQL chosen creates the tables on that server; the next start finds
    // them and no administrator yet.
    void okCreatesThePostgresTables_data()
    {
        QTest::addColumn<data::Engine>("engine");
        QTest::newRow("PostgreSQL") << data::Engine::PostgreSql;
    }
    void okCreatesThePostgresTables()
    {
        QVERIFY(!s->db->exec(QStringLiteral("drop table usertable; drop table clocktable")));
        s->box("Check20")->click();
        auto *kind = s->find<QComboBox>("ComboServerKind");
        kind->setCurrentIndex(kind->findText(QStringLiteral("PostgreSQL")));
        const data::ConnectionSettings server = s->env.settings();
        s->type("Textq10", server.user);
        s->type("Textq11", server.password);
        s->type("Textq14", server.database);
        s->type("Textq15", server.server);
        s->button("Command31")->click();
        QCOMPARE(MessageBox::shownTexts(), QStringList());
        QVERIFY(!s->shown("Frame10"));
        QCOMPARE(platform::Clipboard::text(), data::postgreSqlTableScript());

        MessageBox::queueAnswer(MessageBox::Answer::Yes); // save the password
        s->box("Check25")->click();
        s->button("Command31")->click(); // the tables are there already
        QCOMPARE(MessageBox::shownTexts(), QStringList{MainMenu::SecurityQuestion});
        s->menu.startupRoutine();
        QCOMPARE(s->endCalls, 0);
        QVERIFY(s->menu.noAdministrator());
        QCOMPARE(data::Database::current()->engine(), data::Engine::PostgreSql);
        QCOMPARE(data::Database::current()->query(QStringLiteral("select count(*) as n from clocktable")).first().number(QStringLiteral("n")), 0.0);
    }

    void clearSavesEmptiesAndKeepsTheFields()
    {
        settings::write(keys::SqlUser, QStringLiteral("sa"));
        settings::write(keys::SqlDatabase, QStringLiteral("Stamp"));
        settings::write(keys::SqlServer, QStringLiteral("db1"));
        settings::write(keys::SqlPassword, admin::scramblePassword(QStringLiteral("pw")));
        s->menu.startupRoutine();
        s->box("Check20")->click();
        s->button("Command32")->click();
        QVERIFY(!s->shown("Frame10"));
        for (const settings::Key *key : {&keys::SqlUser, &keys::SqlDatabase, &keys::SqlServer, &keys::SqlPassword})
            QCOMPARE(Station::stored(*key), QString());
        QCOMPARE(s->edit("Textq10")->text(), QStringLiteral("sa"));
        QCOMPARE(s->edit("Textq14")->text(), QStringLiteral("Stamp"));
        QCOMPARE(s->edit("Textq15")->text(), QStringLiteral("db1"));
        QCOMPARE(s->menu.options().sqlPassword(), QStringLiteral("pw"));
    }

    void declinedPasswordSavingErasesTheStoredPassword()
    {
        settings::write(keys::SqlPassword, admin::scramblePassword(QStringLiteral("pw")));
        s->menu.startupRoutine();
        s->box("Check20")->click();
        s->box("Check25")->click(); // answered No
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, MainMenu::SecurityQuestion);
        QCOMPARE(MessageBox::shown().first().title, QStringLiteral("Security Warning"));
        QVERIFY(!s->box("Check25")->isChecked());
        QVERIFY(!s->menu.options().isOn(admin::Option::SaveSqlPassword));
        QCOMPARE(Station::stored(keys::SqlPassword), QString());
        QVERIFY(s->edit("Textq11")->text().isEmpty());
        QVERIFY(s->menu.options().sqlPassword().isEmpty());
    }

    void loginDialogFillsTheLiveValuesOnly()
    {
        s->menu.startupRoutine();
        SqlLoginDialog::setScriptedAnswer([](SqlLoginDialog &dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("SQL Authentication"));
            QCOMPARE(dialog.objectName(), QStringLiteral("Form14"));
            QCOMPARE(dialog.passwordField()->echoMode(), QLineEdit::Password);
            QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("Cancel It"));
            dialog.userField()->setText(QStringLiteral("operator"));
            dialog.passwordField()->setText(QStringLiteral("p'w"));
            dialog.okButton()->click();
        });
        s->window.showLoginDialog();
        QCOMPARE(SqlLoginDialog::timesAsked(), 1);
        QCOMPARE(s->edit("Textq10")->text(), QStringLiteral("operator"));
        QCOMPARE(s->menu.options().sqlPassword(), QStringLiteral("p'w"));
        QCOMPARE(s->menu.options().connectionSettings().user, QStringLiteral("operator"));
        QCOMPARE(Station::stored(keys::SqlUser), QStringLiteral("<absent>"));
        QCOMPARE(Station::stored(keys::SqlPassword), QStringLiteral("<absent>"));

        SqlLoginDialog::setScriptedAnswer([](SqlLoginDialog &dialog) {
            dialog.userField()->setText(QStringLiteral("other"));
            dialog.cancelButton()->click();
        });
        QVERIFY(!SqlLoginDialog::ask(s->menu.options()));
        QCOMPARE(s->menu.options().text(admin::Field::SqlUser), QStringLiteral("operator"));
    }

private:
    std::unique_ptr<Station> s;
};

QTEST_MAIN(TestSqlPanel)
#include "tst_sqlpanel.moc"
