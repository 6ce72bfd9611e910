#include "menufixture.h"

#include "data/schema.h"
#include "reports/payrulesstore.h"
#include "platform/browser.h"
#include "platform/messagebox.h"
#include "platform/system.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QScopeGuard>

using admin::MainMenu;
using admin::Option;
namespace keys = settings::keys;

class TestOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { s = std::make_unique<Station>(); }
    void cleanup() { s.reset(); }

    void loadingAnEmptyStoreWritesTheFolderAndTheLaunchOption()
    {
        s->menu.startupRoutine();
        QCOMPARE(Station::stored(keys::DatabaseFolder), platform::programFolder());
        QCOMPARE(Station::stored(keys::AutoLaunch), QStringLiteral("1"));
        QVERIFY(s->box("Check8")->isChecked());
        // Boxes that stay at their cleared state are not written.
        QCOMPARE(Station::stored(keys::KeepMaximized), QStringLiteral("<absent>"));
        QCOMPARE(s->edit("TextFontName")->text(), QStringLiteral("Verdana"));
        QCOMPARE(s->edit("TextFontSize")->text(), QStringLiteral("12"));
        QCOMPARE(s->edit("TextLocation")->text(), platform::defaultPluginFolder());
        QCOMPARE(s->edit("Text4")->text(), platform::programFolder());
    }

    void storedOptionsComeBackAndTheirPanelsStayHidden()
    {
        settings::write(keys::Camera, QStringLiteral("1"));
        settings::write(keys::UseSqlDb, QStringLiteral("0"));
        settings::write(keys::Spanish, QStringLiteral("1"));
        settings::write(keys::DisplayText, QStringLiteral("Acme \"Works\" Ltd"));
        settings::write(keys::CameraIp, QStringLiteral("10.0.0.9"));
        s->menu.startupRoutine();
        QVERIFY(s->box("Check21")->isChecked());
        QVERIFY(s->box("Check22")->isChecked());
        QVERIFY(!s->shown("FrameWebC"));
        QVERIFY(!s->shown("Frame10"));
        QCOMPARE(s->edit("Text8")->text(), QStringLiteral("Acme \"Works\" Ltd"));
        QCOMPARE(s->edit("Text9")->text(), QStringLiteral("10.0.0.9"));
    }

    void aNonNumericStoredBoxStaysClearedAndLoadingGoesOn()
    {
        settings::write(keys::KeepMaximized, QStringLiteral("yes"));
        settings::write(keys::Spanish, QStringLiteral("1"));
        settings::write(keys::AllowExit, QStringLiteral("1"));
        s->menu.startupRoutine();
        QVERIFY(!s->box("Check1")->isChecked());
        QVERIFY(!s->menu.options().isOn(Option::KeepMaximized));
        QVERIFY(s->box("Check22")->isChecked());
        QVERIFY(s->shown("Command14"));
    }

    void eachStoredBoxWritesItsKey_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        const std::pair<const char *, const settings::Key *> boxes[] = {
            {"Check1", &keys::KeepMaximized}, {"Check2", &keys::DisableCtrlAltDelete},
            {"Check3", &keys::OneIcon},       {"Check4", &keys::StayOnTop},
            {"Check8", &keys::AutoLaunch},    {"Check9", &keys::BlockMoving},
            {"Check10", &keys::AllowExit},    {"Check19", &keys::CompanyTextOption},
            {"Check20", &keys::UseSqlDb},     {"Check21", &keys::Camera},
            {"Check22", &keys::Spanish},      {"Check32", &keys::DaylightSavingUnlocked},
        };
        for (const auto &[control, key] : boxes)
            QTest::newRow(control) << QString::fromLatin1(control) << key->keyName();
    }
    void eachStoredBoxWritesItsKey()
    {
        QFETCH(QString, control);
        QFETCH(QString, key);
        s->menu.startupRoutine();
        QCheckBox *box = s->box(control.toLatin1().constData());
        const bool before = box->isChecked();
        box->click();
        QCOMPARE(settings::GetSetting("Chronotally", "Main", key), before ? QStringLiteral("0") : QStringLiteral("1"));
        box->click();
        QCOMPARE(settings::GetSetting("Chronotally", "Main", key), before ? QStringLiteral("1") : QStringLiteral("0"));
    }

    void keepMaximizedResizesAndHidesTheClock()
    {
        s->menu.startupRoutine();
        s->clock.visible = true;
        s->box("Check1")->click();
        QCOMPARE(s->clock.geometryTwips, QRect(0, 0, 200000, 200000));
        QCOMPARE(s->clock.centred, 1);
        QVERIFY(!s->clock.visible);
        QVERIFY(!s->clock.onTop);

        // With it on, "Force ... on Top" makes both windows top-most and hides the clock.
        s->clock.visible = true;
        s->box("Check4")->click();
        QVERIFY(s->clock.onTop);
        QVERIFY(s->window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!s->clock.visible);

        s->box("Check1")->click();
        QCOMPARE(s->clock.geometryTwips, QRect(0, 0, 7620, 5145));
        s->box("Check4")->click();
        QVERIFY(!s->clock.onTop);
        QVERIFY(!s->window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void panelsAndRequestsFollowTheirBoxes()
    {
        s->menu.startupRoutine();
        s->box("Check9")->click();
        QCOMPARE(s->clock.unloadRequests, 1);

        s->box("Check12")->click();
        QVERIFY(s->shown("Frame8"));
        QCOMPARE(settings::GetSetting("Chronotally", "Main", "checkbox12", "<absent>"), QStringLiteral("<absent>"));
        s->button("Command28")->click();
        QVERIFY(!s->shown("Frame8"));
        QVERIFY(s->box("Check12")->isChecked());

        s->box("Check21")->click();
        QVERIFY(s->shown("FrameWebC"));
        s->box("Check21")->click();
        QVERIFY(!s->shown("FrameWebC"));

        s->box("Check20")->click();
        QVERIFY(s->shown("Frame10"));
        QVERIFY(s->menu.options().connectionSettings().useSqlDb);
        s->box("Check20")->click();
        QVERIFY(!s->shown("Frame10"));
    }

    void databaseFolderRules()
    {
        s->menu.startupRoutine();
        QVERIFY(!s->shown("Text4"));
        QVERIFY(!s->shown("Command12"));
        s->box("Check5")->click();
        QVERIFY(s->shown("Text4"));
        QVERIFY(s->shown("Command12"));
        QVERIFY(s->shown("LabelDatabaseNote"));
        QCOMPARE(s->find<QLabel>("LabelDatabaseNote")->text(),
                 QStringLiteral("( Enter the Loction of Stampwell Database File For Example C:\\Program Files\\Stampwell "
                                "or \\\\SomeNetwork\\ShareName\\ ) "));

        s->type("Text4", QStringLiteral("/srv/share"));
        QCOMPARE(Station::stored(keys::DatabaseFolder), QStringLiteral("/srv/share"));
        QCOMPARE(s->menu.options().accessFolder(), QStringLiteral("/srv/share"));

        s->button("Command12")->click(); // "Reset Path"
        QCOMPARE(s->edit("Text4")->text(), platform::programFolder());
        QCOMPARE(Station::stored(keys::DatabaseFolder), platform::programFolder());

        // Clearing "Specify Location..." returns to the program's folder and stores it empty.
        s->type("Text4", QStringLiteral("/srv/share"));
        s->box("Check5")->click();
        QVERIFY(!s->shown("Text4"));
        QVERIFY(s->edit("Text4")->text().isEmpty());
        QCOMPARE(Station::stored(keys::DatabaseFolder), QString());
        QCOMPARE(s->menu.options().accessFolder(), platform::programFolder());

        // The next start fills the program's folder in again.
        s->menu.setRefreshText(QStringLiteral("again"));
        QCOMPARE(Station::stored(keys::DatabaseFolder), platform::programFolder());
    }

    void aStationThatMayNotWriteItsFolderUsesTheDataFolder()
    {
        // An installed station: its program folder belongs to the system, the package made
        // the shared data folder and the database in it.
        const QString data = s->env.folder() + QStringLiteral("/data");
        QVERIFY(QDir().mkpath(data));
        QVERIFY(!data::createEmbeddedDatabase(data::Database::embeddedFilePath(data)));
        platform::setDataFolder(data);
        const QString program = platform::programFolder();
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        const auto reopen = qScopeGuard([&] { QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });

        s->menu.startupRoutine();
        QCOMPARE(s->endCalls, 0);
        QCOMPARE(Station::stored(keys::DatabaseFolder), data);
        QCOMPARE(s->menu.options().accessFolder(), data);

        s->box("Check5")->click();
        s->type("Text4", QStringLiteral("/srv/share"));
        s->button("Command12")->click(); // "Reset Path"
        QCOMPARE(s->edit("Text4")->text(), data);
        s->box("Check5")->click(); // no folder set: the default again
        QCOMPARE(s->menu.options().accessFolder(), data);
    }

    void runOnMultipleComputersSwitchesTheLocationOnOnly()
    {
        s->menu.startupRoutine();
        s->box("Check15")->click();
        QVERIFY(s->box("Check5")->isChecked());
        QVERIFY(s->shown("Text4"));
        s->box("Check15")->click();
        QVERIFY(!s->box("Check15")->isChecked());
        QVERIFY(s->box("Check5")->isChecked());
        QVERIFY(s->shown("Text4"));
        QCOMPARE(settings::GetSetting("Chronotally", "Main", "checkbox15", "<absent>"), QStringLiteral("<absent>"));
    }

    void textFieldsAreStoredOnEveryChange()
    {
        s->menu.startupRoutine();
        s->type("Text8", QStringLiteral("Acme"));
        QCOMPARE(Station::stored(keys::DisplayText), QStringLiteral("Acme"));
        s->edit("Text8")->backspace();
        QCOMPARE(Station::stored(keys::DisplayText), QStringLiteral("Acm"));
        s->type("TextFontName", QStringLiteral("Arial"));
        s->type("TextFontSize", QStringLiteral("20"));
        QCOMPARE(Station::stored(keys::FontName), QStringLiteral("Arial"));
        QCOMPARE(Station::stored(keys::FontSize), QStringLiteral("20"));

        s->button("Command29")->click(); // "Defaults"
        QCOMPARE(s->edit("TextFontName")->text(), QStringLiteral("Verdana"));
        QCOMPARE(s->edit("TextFontSize")->text(), QStringLiteral("12"));
        QCOMPARE(Station::stored(keys::FontName), QStringLiteral("Verdana"));
        QCOMPARE(Station::stored(keys::FontSize), QStringLiteral("12"));
    }

    // A pay rule counts when it is accepted: a field on Enter (keystrokes write nothing), a
    // box when ticked, a list when a choice is made. Then the table holds it in its stored
    // form, one audit row names the administrator, and the station applies it. A value the
    // store cannot read is refused with its message instead.
    void aPayRuleIsWrittenOnceWhenAccepted_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("input"); // typed, or the list item chosen
        QTest::addColumn<QString>("stored");
        namespace n = reports::rulenames;
        QTest::newRow("break minutes") << "TextBreakMinutes" << n::BreakMinutes << "45" << "45";
        QTest::newRow("hours in their plain form") << "TextWeeklyLimit" << n::WeeklyLimitHours << "037.50" << "37.5";
        QTest::newRow("anchor") << "TextPeriodAnchor" << n::PeriodAnchor << "2026-02-01" << "2026-02-01";
        QTest::newRow("break rule box") << "Check30" << n::BreakRule << "" << "1";
        QTest::newRow("weekly overtime box") << "CheckWeeklyOvertime" << n::WeeklyOvertime << "" << "0";
        QTest::newRow("workweek start") << "ComboWorkweekStart" << n::WorkweekStart << "Monday" << "Monday";
        QTest::newRow("rounding") << "ComboRounding" << n::RoundingMinutes << "15 minutes" << "15";
        QTest::newRow("period kind") << "ComboPeriodKind" << n::PeriodKind << "Every two weeks" << "Biweekly";
        // Refused (nothing stored): told, nothing written, the stored value shown again.
        QTest::newRow("decimal comma") << "TextOvertimeMultiplier" << n::OvertimeMultiplier << "1,5" << "";
        QTest::newRow("empty") << "TextDailyLimit" << n::DailyLimitHours << "" << "";
        QTest::newRow("regional date") << "TextPeriodAnchor" << n::PeriodAnchor << "1/4/2026" << "";
    }
    void aPayRuleIsWrittenOnceWhenAccepted()
    {
        QFETCH(QString, control);
        QFETCH(QString, rule);
        QFETCH(QString, input);
        QFETCH(QString, stored);
        loggedIn();
        const qsizetype audited = TestEnv::auditRows(*s->db).size();
        const QByteArray name = control.toLatin1();
        if (auto *edit = s->window.findChild<QLineEdit *>(control)) {
            const QString before = storedRule(rule);
            s->type(name.constData(), input);
            QCOMPARE(TestEnv::auditRows(*s->db).size(), audited);
            QTest::keyClick(edit, Qt::Key_Return);
            if (stored.isEmpty()) {
                QCOMPARE(platform::MessageBox::shownTexts(), QStringList{reports::PayRulesStore::check(rule, input)});
                QCOMPARE(storedRule(rule), before);
                QCOMPARE(TestEnv::auditRows(*s->db).size(), audited);
                QCOMPARE(edit->text(), s->menu.payroll().text(rule));
                QVERIFY(!edit->text().isEmpty());
                return;
            }
            QCOMPARE(edit->text(), stored);
            Q_EMIT edit->editingFinished(); // left after Enter: the same value again
        } else if (auto *list = s->window.findChild<QComboBox *>(control)) {
            list->setCurrentIndex(list->findText(input));
            Q_EMIT list->activated(list->currentIndex());
            Q_EMIT list->activated(list->currentIndex());
        } else {
            s->box(name.constData())->click();
        }
        QCOMPARE(storedRule(rule), stored);
        const QList<QStringList> audit = TestEnv::auditRows(*s->db).mid(audited);
        QCOMPARE(audit.size(), 1);
        const QStringList row = audit.first();
        QCOMPARE((QStringList{row.at(2), row.at(4), row.at(5)}), (QStringList{"boss", "PayRules", rule}));
        QCOMPARE(reports::PayRulesStore::textsOf(reports::PayRulesStore::cached()).value(rule), stored);
    }

    // The panel shows the table, whatever this account's settings hold; the settings keep
    // their old values unused.
    void thePanelShowsTheTableNotTheAccountsSettings()
    {
        settings::write(keys::BreakMinutes, QStringLiteral("45"));
        s->menu.startupRoutine(); // the first start copies the settings in
        QCOMPARE(storedRule(reports::rulenames::BreakMinutes), QStringLiteral("45"));
        // Another station's administrator changes the rules.
        reports::PayRulesStore other(s->db);
        for (const auto &[rule, text] : {std::pair{reports::rulenames::BreakMinutes, "20"},
                                         {reports::rulenames::BreakRule, "1"},
                                         {reports::rulenames::PeriodKind, "SemiMonthly"}})
            QVERIFY(other.writeRule(rule, QString::fromLatin1(text), QStringLiteral("other")).ok());
        settings::write(keys::BreakRule, QStringLiteral("0"));
        loggedIn();
        QCOMPARE(s->edit("TextBreakMinutes")->text(), QStringLiteral("20"));
        QVERIFY(s->box("Check30")->isChecked());
        QCOMPARE(s->find<QComboBox>("ComboPeriodKind")->currentData().toString(), QStringLiteral("SemiMonthly"));

        s->type("TextBreakMinutes", QStringLiteral("15"));
        QTest::keyClick(s->edit("TextBreakMinutes"), Qt::Key_Return);
        QCOMPARE(storedRule(reports::rulenames::BreakMinutes), QStringLiteral("15"));
        QCOMPARE(Station::stored(keys::BreakMinutes), QStringLiteral("45"));
        QCOMPARE(Station::stored(keys::BreakRule), QStringLiteral("0"));
    }

    // Fields without a caption of their own are announced by a name of their own: the SQL
    // fields by their column of the header line above them, each payroll field by the label
    // on its left (not by the group's title), the server kind list by its name (not its choice).
    void fieldsAreAnnouncedByTheirOwnNames()
    {
        s->menu.startupRoutine();
        const auto announced = [&](QWidget *w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        QStringList sqlNames;
        for (const char *control : {"Textq10", "Textq11", "Textq14", "Textq15"})
            sqlNames << announced(s->find<QWidget>(control));
        QCOMPARE(sqlNames, s->find<QLabel>("LabelSqlHeader")->text().split(QRegularExpression(" {2,}")));

        auto *payroll = s->find<QWidget>("FramePayroll");
        auto *grid = qobject_cast<QGridLayout *>(payroll->layout());
        QList<QWidget *> fields;
        for (QWidget *w : payroll->findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w))
                fields << w;
        }
        QCOMPARE(fields.size(), 11);
        for (QWidget *field : std::as_const(fields)) {
            int row, column, rows, columns;
            grid->getItemPosition(grid->indexOf(field), &row, &column, &rows, &columns);
            auto *label = qobject_cast<QLabel *>(grid->itemAtPosition(row, column - 1)->widget());
            QVERIFY2(label, qPrintable(field->objectName()));
            QCOMPARE(label->buddy(), field);
            QCOMPARE(announced(field), label->text());
        }

        auto *kind = s->find<QComboBox>("ComboServerKind");
        for (int index : {0, 1}) {
            kind->setCurrentIndex(index);
            QCOMPARE(announced(kind), kind->accessibleName());
        }
    }

    void defaultsWriteNothingWhenNothingChanges()
    {
        s->menu.startupRoutine();
        // Marks in the store that any write would replace.
        settings::write(keys::FontName, QStringLiteral("mark"));
        settings::write(keys::FontSize, QStringLiteral("mark"));
        s->button("Command29")->click();
        QCOMPARE(Station::stored(keys::FontName), QStringLiteral("mark"));
        QCOMPARE(Station::stored(keys::FontSize), QStringLiteral("mark"));
    }

    void cameraPanelSavesOnOkOnly()
    {
        s->menu.startupRoutine();
        s->box("Check21")->click();
        s->type("Text9", QStringLiteral("10.1.1.1"));
        s->type("TextLocation", QStringLiteral("/opt/plug"));
        QCOMPARE(Station::stored(keys::CameraIp), QStringLiteral("<absent>"));
        s->button("Command25")->click(); // "Cancel It"
        QVERIFY(!s->shown("FrameWebC"));
        QCOMPARE(Station::stored(keys::CameraIp), QStringLiteral("<absent>"));
        QCOMPARE(s->menu.options().text(admin::Field::CameraIp), QStringLiteral("10.1.1.1"));

        s->button("Command22")->click(); // "OK"
        QCOMPARE(Station::stored(keys::CameraIp), QStringLiteral("10.1.1.1"));
        QCOMPARE(Station::stored(keys::PluginLocation), QStringLiteral("/opt/plug"));

        s->button("LabelCameraInformation")->click();
        s->button("LabelPluginDownload")->click();
        QCOMPARE(platform::Browser::opened(), (QStringList{MainMenu::CameraInformationAddress, MainMenu::PluginDownloadAddress}));
        QCOMPARE(s->button("LabelCameraInformation")->text(), QStringLiteral("Click here for the Web Camera Information"));
        QCOMPARE(s->button("LabelPluginDownload")->text(), QStringLiteral("Click here for Plug in for Camera Software "));
    }

private:
    // Started, with the administrator boss logged in and no message shown yet.
    void loggedIn()
    {
        s->addAdministrator();
        s->menu.startupRoutine();
        QVERIFY(s->menu.login(QStringLiteral("boss"), QStringLiteral("secret")));
        platform::MessageBox::clearShown();
    }
    // The text the PayRules table holds for a rule.
    QString storedRule(const QString &rule) const
    {
        return s->db->query(QStringLiteral("select RuleValue from PayRules where RuleName = ?"), {rule})
            .first()
            .text(QStringLiteral("RuleValue"));
    }

    std::unique_ptr<Station> s;
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
