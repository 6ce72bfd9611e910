#include "admin/mainmenu.h"

#include "admin/sqlpassword.h"
#include "product.h"
#include "data/needsdatabase.h"
#include "data/passwordhash.h"
#include "data/schema.h"
#include "data/startupcheck.h"
#include "data/storedconnection.h"
#include "platform/browser.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/system.h"
#include "settings/keys.h"
#include "station/clockscreenport.h"
#include "station/lockdown.h"

#include <QUrl>

namespace admin {

using platform::MessageBox;
namespace keys = settings::keys;

const QString MainMenu::LockMessage = QStringLiteral(
    "The System Clock has been modified and Chronotally Has been Disabled until the an Administrator Password is Entered.");
const QString MainMenu::ShowClockCaption = QStringLiteral("Show Clock");
const QString MainMenu::InvalidLogin = QStringLiteral("Invalid Login");
const QString MainMenu::ShutDownQuestion = QStringLiteral("Are You sure you want to Close Chronotally?");
const QString MainMenu::SecurityQuestion = QStringLiteral(
    "Security Warning: Saving password can be a dangerous because a saved password can be stolen, Do you want to save the SQL Password?");
const QString MainMenu::SecurityTitle = QStringLiteral("Security Warning");
const QString MainMenu::LoginSql = QStringLiteral(
    "select ID, passwordf from usertable where useridlogin = ? and disabled = 0 and adminlevel = '5-Administrator User'");
const QString MainMenu::RehashSql = QStringLiteral("update usertable set passwordf = ? where id = ? and passwordf = ?");
const QString MainMenu::WindowCaption = product::Name + QStringLiteral(" Main Menu ") + product::Version;
const QString MainMenu::HelpAddress = QStringLiteral("https://www.chronotally.example/help");
const QString MainMenu::CameraInformationAddress = QStringLiteral("https://www.chronotally.example/cameras");
const QString MainMenu::PluginDownloadAddress = QStringLiteral("https://www.chronotally.example/camera-plugin");

namespace {
// The stored options and their keys; the others (font panel, location, multiple computers,
// save password) have none.
const settings::Key *keyOf(Option option)
{
    switch (option) {
    case Option::KeepMaximized: return &keys::KeepMaximized;
    case Option::DisableCtrlAltDelete: return &keys::DisableCtrlAltDelete;
    case Option::OneIcon: return &keys::OneIcon;
    case Option::StayOnTop: return &keys::StayOnTop;
    case Option::AutoLaunch: return &keys::AutoLaunch;
    case Option::BlockMoving: return &keys::BlockMoving;
    case Option::AllowExit: return &keys::AllowExit;
    case Option::CompanyText: return &keys::CompanyTextOption;
    case Option::UseSqlDb: return &keys::UseSqlDb;
    case Option::Camera: return &keys::Camera;
    case Option::Spanish: return &keys::Spanish;
    case Option::DaylightSavingUnlocked: return &keys::DaylightSavingUnlocked;
    default: return nullptr;
    }
}

QString stateText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// Large enough to cover any screen, in twips.
constexpr int CoverAll = 200000;

// Marks a piece of work as running for the length of a scope.
class Running
{
public:
    explicit Running(bool &flag) : m_flag(flag) { m_flag = true; }
    ~Running() { m_flag = false; }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

private:
    bool &m_flag;
};
} // namespace

MainMenu::MainMenu(QObject *parent) : QObject(parent), m_showClockCaption(ShowClockCaption)
{
    connect(&m_options, &OptionsModel::optionChanged, this, &MainMenu::onOptionChanged);
    connect(&m_options, &OptionsModel::textChanged, this, &MainMenu::onTextChanged);
}

void MainMenu::setView(MainMenuView *view)
{
    m_view = view ? view : &m_nullView;
}

void MainMenu::endProgram()
{
    m_ended = true;
    if (m_endProgram)
        m_endProgram();
}

void MainMenu::loadCheck(Option option)
{
    const settings::Key *key = keyOf(option);
    // A stored text that is not a number leaves the box as it is.
    if (const auto state = settings::checkState(settings::read(*key)))
        m_options.setOn(option, *state != 0);
}

void MainMenu::startupRoutine()
{
    m_view->setMenuPanelVisible(false);
    m_view->clearLoginFields();

    QString folder = settings::read(keys::DatabaseFolder);
    if (folder.isEmpty())
        folder = platform::defaultDatabaseFolder();
    m_options.setText(Field::DatabaseFolder, folder);

    for (Option option : {Option::KeepMaximized, Option::DisableCtrlAltDelete, Option::Spanish, Option::Camera,
                          Option::StayOnTop, Option::AutoLaunch, Option::OneIcon, Option::BlockMoving,
                          Option::AllowExit})
        loadCheck(option);
    m_view->setPublicShutDownVisible(m_options.isOn(Option::AllowExit));
    loadCheck(Option::CompanyText);
    loadCheck(Option::DaylightSavingUnlocked);

    m_options.setText(Field::DisplayText, settings::read(keys::DisplayText));
    m_options.setText(Field::FontName, settings::read(keys::FontName, m_options.text(Field::FontName)));
    m_options.setText(Field::FontSize, settings::read(keys::FontSize));
    m_options.setText(Field::CameraIp, settings::read(keys::CameraIp));
    m_options.setText(Field::PluginLocation, settings::read(keys::PluginLocation, platform::defaultPluginFolder()));

    m_options.setText(Field::SqlUser, settings::read(keys::SqlUser));
    const QString password = data::storedSqlPassword();
    m_view->setShownPasswordLength(password.size());
    m_options.setSqlPassword(password);
    m_options.setText(Field::SqlDatabase, settings::read(keys::SqlDatabase, m_options.text(Field::SqlDatabase)));
    m_options.setText(Field::SqlServer, settings::read(keys::SqlServer));
    m_options.setServerKind(OptionsModel::serverKindOf(settings::read(keys::ServerKind)));

    loadCheck(Option::UseSqlDb);
    m_view->setSqlPanelVisible(false);
    m_view->setCameraPanelVisible(false);

    data::StartupCheck check([this] { return m_options.connectionSettings(); },
                             [this] { m_view->showLoginDialog(); });
    check.setCanWorkAway(m_canWorkAway);
    const data::StartupCheck::Result result = check.run();
    if (result.endProgram) {
        endProgram();
        return;
    }

    // A station whose database is away starts on its offline copy; whether it has an
    // administrator is not known until the database answers, so the login panel shows.
    m_checkWaits = result.databaseAway;
    m_noAdministrator = !result.databaseAway && result.administratorCount == 0;
    m_view->setFirstRunPanelVisible(m_noAdministrator);
    m_view->setLoginPanelVisible(!m_noAdministrator);
    m_view->setMenuPanelVisible(false);

    if (m_options.isOn(Option::AutoLaunch) && !m_autoShown && !m_noAdministrator) {
        m_autoShown = true;
        showClockFromLogin();
    }
    if (m_options.isOn(Option::StayOnTop))
        m_view->setStayOnTop(true);
}

bool MainMenu::databaseBack()
{
    if (!m_checkWaits)
        return false;
    data::StartupCheck check([this] { return m_options.connectionSettings(); }, nullptr);
    data::StartupCheck::Result result;
    const data::DbError error = check.resume(&result);
    // Still away: the next answer tries again. Any other failure is left to the next start-up
    // routine, which runs the whole check.
    m_checkWaits = result.databaseAway;
    if (error)
        return false;
    m_noAdministrator = result.administratorCount == 0;
    return true;
}

data::ConnectionSettings MainMenu::storedConnectionSettings()
{
    return data::storedConnectionSettings();
}

void MainMenu::setRefreshText(const QString &text)
{
    if (text == m_refreshText)
        return;
    m_refreshText = text;
    Q_EMIT refreshTextChanged(text);
    startupRoutine();
}

void MainMenu::showMainMenu()
{
    // Whoever stands at the station sees the login (or first-run) panel: the menu panel is
    // reached by logging in, never by the window coming back.
    m_view->setMenuPanelVisible(false);
    m_view->clearLoginFields();
    m_view->setFirstRunPanelVisible(m_noAdministrator);
    m_view->setLoginPanelVisible(!m_noAdministrator);
    m_view->showWindow();
}

void MainMenu::showAndRefresh()
{
    showMainMenu();
    setRefreshText(regional::stationTimeText());
}

void MainMenu::setShowClockCaption(const QString &caption)
{
    if (caption == m_showClockCaption)
        return;
    m_showClockCaption = caption;
    Q_EMIT showClockCaptionChanged(caption);
}

void MainMenu::lockStation()
{
    showMainMenu();
    if (m_clock) {
        m_clock->setPunchPanelVisible(false);
        m_clock->setCombinedButtonVisible(false);
    }
    setShowClockCaption(LockMessage);
}

bool MainMenu::login(const QString &user, const QString &password)
{
    if (m_loginRunning)
        return false;
    const Running running(m_loginRunning);

    // An error (a lost connection, a missing table) is reported and never counts as a login.
    const std::shared_ptr<data::Database> db = data::Database::current();
    const data::QueryResult result = db->query(LoginSql, {user});
    if (result.error) {
        m_view->setMenuPanelVisible(false);
        // A server that cannot be reached gets the plain sentence; any other failure its own text.
        MessageBox::ok(data::openFailureText(result.error), MessageBox::applicationTitle());
        return false;
    }
    bool matched = false;
    for (const data::Row &row : result.rows) {
        // A NULL password matches nothing, as it never equalled a typed one.
        if (row.isNull(QStringLiteral("passwordf")))
            continue;
        const QString stored = row.text(QStringLiteral("passwordf"));
        if (!data::PasswordHash::verify(password, stored))
            continue;
        matched = true;
        // A password an earlier build kept in clear is stored hashed from now on. Only the
        // value just compared is replaced; where that fails, it is tried at the next login.
        if (data::PasswordHash::needsRehash(stored)) {
            if (const std::optional<QString> hashed = data::PasswordHash::hash(password))
                db->exec(RehashSql, {*hashed, row.value(QStringLiteral("ID")), stored});
        }
    }
    if (!matched) {
        m_view->setMenuPanelVisible(false);
        MessageBox::ok(InvalidLogin, MessageBox::applicationTitle());
        return false;
    }
    m_administratorId = user;
    m_view->clearLoginFields();
    // The options panel shows the pay rules as the table holds them now.
    m_payroll.load();
    m_view->setMenuPanelVisible(true);
    if (isLocked()) {
        setShowClockCaption(ShowClockCaption);
        if (m_clock) {
            m_clock->setPunchPanelVisible(true);
            if (m_options.isOn(Option::OneIcon))
                m_clock->setCombinedButtonVisible(true);
        }
    }
    return true;
}

void MainMenu::cancelLogin()
{
    m_view->clearLoginFields();
    m_view->setMenuPanelVisible(false);
}

void MainMenu::showClockFromLogin()
{
    if (m_clock)
        m_clock->setSizableBorder();
    if (isLocked()) {
        MessageBox::ok(LockMessage, MessageBox::applicationTitle());
        return;
    }
    if (m_clock) {
        m_clock->setPunchPanelVisible(true);
        m_clock->showClock();
    }
    m_view->hideWindow();
}

void MainMenu::help()
{
    platform::Browser::open(QUrl(HelpAddress));
}

void MainMenu::setupNow()
{
    editUsers();
}

void MainMenu::showClockFromMenu()
{
    // The menu panel does not stay up behind the clock for the next one to show the window.
    m_view->setMenuPanelVisible(false);
    m_view->hideWindow();
    if (m_clock)
        m_clock->showClock();
}

void MainMenu::hideMenu()
{
    m_view->setMenuPanelVisible(false);
}

void MainMenu::editUsers()
{
    m_view->openEmployees();
    m_view->hideWindow();
}

void MainMenu::runReports()
{
    // Hidden first: a report screen that cannot open shows the main menu again.
    m_view->hideWindow();
    m_view->openReports();
}

void MainMenu::editClockedInOut()
{
    m_view->openTimeEdit();
}

void MainMenu::showClockedIn()
{
    m_view->openClockedIn();
}

bool MainMenu::shutDown()
{
    if (m_shutDownRunning || m_ended)
        return false;
    const Running running(m_shutDownRunning);
    if (MessageBox::yesNo(ShutDownQuestion, QString()) != MessageBox::Answer::Yes)
        return false;
    station::ClearLockdownPolicies();
    endProgram();
    return true;
}

void MainMenu::onOptionChanged(Option option, bool on)
{
    const settings::Key *key = keyOf(option);
    // "Use SQL DB" is stored before it acts; every other stored box after.
    if (option == Option::UseSqlDb && key)
        settings::write(*key, stateText(on));

    switch (option) {
    case Option::KeepMaximized:
        if (m_clock) {
            if (on) {
                m_clock->setWindowGeometryTwips(0, 0, CoverAll, CoverAll);
                m_clock->centrePunchPanel();
                m_clock->hideClock();
                if (m_options.isOn(Option::StayOnTop)) {
                    m_view->setStayOnTop(true);
                    m_clock->setStayOnTop(true);
                }
            } else {
                m_clock->setWindowGeometryTwips(0, 0, 7620, 5145);
                m_clock->hideClock();
            }
        }
        break;
    case Option::StayOnTop:
        m_view->setStayOnTop(on);
        if (m_clock) {
            m_clock->setStayOnTop(on);
            m_clock->hideClock();
        }
        break;
    case Option::BlockMoving:
        if (m_clock)
            m_clock->requestUnload();
        break;
    case Option::AllowExit:
        m_view->setPublicShutDownVisible(on);
        break;
    case Option::FontSettings:
        m_view->setFontPanelVisible(on);
        break;
    case Option::RunMultiple:
        if (on)
            m_options.setOn(Option::SpecifyLocation, true);
        break;
    case Option::SpecifyLocation:
        m_view->setDatabaseLocationVisible(on);
        if (!on)
            m_options.setText(Field::DatabaseFolder, QString());
        break;
    case Option::UseSqlDb:
        m_view->setSqlPanelVisible(on);
        break;
    case Option::Camera:
        m_view->setCameraPanelVisible(on);
        break;
    case Option::SaveSqlPassword:
        if (on) {
            if (MessageBox::yesNo(SecurityQuestion, SecurityTitle) != MessageBox::Answer::Yes)
                m_options.setOn(Option::SaveSqlPassword, false);
        } else {
            settings::write(keys::SqlPassword, QString());
            m_options.setSqlPassword(QString());
            m_view->setShownPasswordLength(0);
        }
        break;
    default:
        break;
    }

    if (key && option != Option::UseSqlDb)
        settings::write(*key, stateText(on));
}

void MainMenu::onTextChanged(Field field, const QString &text)
{
    switch (field) {
    case Field::DatabaseFolder:
        m_options.setAccessFolder(text);
        settings::write(keys::DatabaseFolder, text);
        break;
    case Field::DisplayText:
        settings::write(keys::DisplayText, text);
        break;
    case Field::FontName:
        settings::write(keys::FontName, text);
        break;
    case Field::FontSize:
        settings::write(keys::FontSize, text);
        break;
    default:
        // The camera and SQL fields are stored by their panels' "OK".
        break;
    }
}

bool MainMenu::acceptPayRule(const QString &rule, const QString &text)
{
    return m_payroll.accept(rule, text, m_administratorId);
}

void MainMenu::resetPath()
{
    m_options.setText(Field::DatabaseFolder, platform::defaultDatabaseFolder());
}

void MainMenu::fontDefaults()
{
    m_options.setText(Field::FontSize, QStringLiteral("12"));
    m_options.setText(Field::FontName, QStringLiteral("Verdana"));
}

void MainMenu::fontOk()
{
    m_view->setFontPanelVisible(false);
}

void MainMenu::cameraOk(const QString &ipAddress, const QString &pluginLocation)
{
    m_options.setText(Field::CameraIp, ipAddress);
    m_options.setText(Field::PluginLocation, pluginLocation);
    settings::write(keys::CameraIp, ipAddress);
    settings::write(keys::PluginLocation, pluginLocation);
    m_view->setCameraPanelVisible(false);
}

void MainMenu::cameraCancel()
{
    m_view->setCameraPanelVisible(false);
}

void MainMenu::openCameraInformation()
{
    platform::Browser::open(QUrl(CameraInformationAddress));
}

void MainMenu::openPluginDownload()
{
    platform::Browser::open(QUrl(PluginDownloadAddress));
}

bool MainMenu::sqlOk()
{
    if (m_sqlOkRunning)
        return false;
    const Running running(m_sqlOkRunning);

    const QString scrambled = scramblePassword(m_options.sqlPassword());
    settings::write(keys::SqlUser, m_options.text(Field::SqlUser));
    if (m_options.isOn(Option::SaveSqlPassword))
        settings::write(keys::SqlPassword, scrambled);
    settings::write(keys::SqlDatabase, m_options.text(Field::SqlDatabase));
    settings::write(keys::SqlServer, m_options.text(Field::SqlServer));
    settings::write(keys::ServerKind, OptionsModel::serverKindText(m_options.serverKind()));

    const data::DbError error = data::SQLTable(m_options.connectionSettings());
    if (error) {
        MessageBox::ok(error.numberAndDescription(), MessageBox::applicationTitle());
        return false;
    }
    m_view->setSqlPanelVisible(false);
    return true;
}

void MainMenu::sqlClear()
{
    settings::write(keys::SqlUser, QString());
    settings::write(keys::SqlPassword, QString());
    settings::write(keys::SqlDatabase, QString());
    settings::write(keys::SqlServer, QString());
    settings::write(keys::ServerKind, QString());
    m_view->setSqlPanelVisible(false);
}

} // namespace admin
