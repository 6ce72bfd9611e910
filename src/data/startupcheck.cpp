#include "data/startupcheck.h"

#include "data/schema.h"
#include "platform/messagebox.h"
#include "product.h"
#include "reports/payrulesstore.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"

namespace data {

using platform::MessageBox;

const QString StartupCheck::AdministratorCountSql =
    QStringLiteral("select count(*) as CountInt from usertable where adminlevel = '5-Administrator User' ");
const QString StartupCheck::RestoreQuestion = QStringLiteral("Do you want to restore the Default Settings?");
const QString StartupCheck::RestoreTitle = product::nameAndVersion();
const QString StartupCheck::SqlDisabledMessage = QStringLiteral(
    "It Appears there is a problem with the SQL DB so it will be disabled and the program will need to be restarted");

namespace {
class DatabaseEngine : public StartupCheck::Engine
{
public:
    DbError open(const ConnectionSettings &settings) override
    {
        return Database::open(settings)->openError();
    }
    DbError countAdministrators(int *count) override
    {
        const QueryResult result = Database::current()->query(StartupCheck::AdministratorCountSql);
        if (result.error)
            return result.error;
        *count = static_cast<int>(result.first().number(QStringLiteral("CountInt")));
        return {};
    }
    DbError createTables(const ConnectionSettings &settings) override { return SQLTable(settings); }
    DbError loadPayRules() override
    {
        reports::PayRulesStore store;
        const DbError adopted = store.adoptSettings();
        DbError read;
        store.read(&read);
        return adopted ? adopted : read;
    }
};
} // namespace

StartupCheck::StartupCheck(std::function<ConnectionSettings()> settings,
                           std::function<void()> showLoginDialog, Engine *engine)
    : m_settings(std::move(settings)), m_showLoginDialog(std::move(showLoginDialog)), m_engine(engine)
{
    if (!m_engine) {
        m_ownEngine = std::make_unique<DatabaseEngine>();
        m_engine = m_ownEngine.get();
    }
}

StartupCheck::~StartupCheck() = default;

bool StartupCheck::isMissingTable(const DbError &error)
{
    return error.description == QLatin1String("Invalid object name 'usertable'.")
           || error.description
                  == QLatin1String("Item cannot be found in the collection corresponding to the requested name or ordinal.")
           || error.description == QLatin1String("relation \"usertable\" does not exist");
}

StartupCheck::Result StartupCheck::run()
{
    const QString title = MessageBox::applicationTitle();
    Result result;

    DbError pending = m_engine->open(m_settings());
    const bool canWorkAway = m_canWorkAway && m_canWorkAway();
    const auto away = [&result] {
        result.databaseAway = true;
        return result;
    };
    if (pending.unreachable && canWorkAway)
        return away();

    // A file that cannot be opened, or a server that cannot be reached (and no copy of it to
    // punch from) or answered with a failure (no such database).
    if (pending.number == errors::GeneralFailure) {
        MessageBox::ok(pending.description, title);
        if (MessageBox::yesNo(RestoreQuestion, RestoreTitle) == MessageBox::Answer::Yes)
            settings::DeleteSetting(settings::Application);
        result.endProgram = true;
        return result;
    }

    // Refused credentials: ask once, then try once more.
    bool opened = !pending;
    if (pending.number == errors::LoginFailed) {
        if (m_showLoginDialog)
            m_showLoginDialog();
        pending = m_engine->open(m_settings());
        if (pending.unreachable && canWorkAway)
            return away();
        opened = !pending;
    }

    if (opened) {
        int count = 0;
        DbError error = m_engine->countAdministrators(&count);
        if (error.unreachable && canWorkAway)
            return away();
        if (error && isMissingTable(error)) {
            const DbError created = m_engine->createTables(m_settings());
            if (created)
                pending = created;
            error = m_engine->countAdministrators(&count);
            if (error && isMissingTable(error)) {
                MessageBox::ok(SqlDisabledMessage, title);
                settings::write(settings::keys::UseSqlDb, QStringLiteral("0"));
                result.endProgram = true;
                return result;
            }
        }
        if (error)
            pending = error;
        result.administratorCount = count;
        // A station that cannot fill or read the pay rules still starts, with the rules it
        // read last (the defaults at first).
        if (!error) {
            if (const DbError rules = m_engine->loadPayRules())
                qWarning("Pay rules: %s", qPrintable(rules.description));
        }
    }

    if (pending) {
        MessageBox::ok(pending.description, title);
        if (MessageBox::yesNo(RestoreQuestion, RestoreTitle) == MessageBox::Answer::Yes)
            settings::remove(settings::keys::DatabaseFolder);
        result.endProgram = true;
    }
    return result;
}

DbError StartupCheck::resume(Result *result)
{
    int count = 0;
    if (const DbError error = m_engine->countAdministrators(&count)) {
        result->databaseAway = error.unreachable;
        return error;
    }
    result->administratorCount = count;
    if (const DbError rules = m_engine->loadPayRules())
        qWarning("Pay rules: %s", qPrintable(rules.description));
    return {};
}

} // namespace data
