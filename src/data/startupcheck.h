#pragma once

#include "data/database.h"

#include <functional>

namespace data {

// The database check the main menu runs at every start-up routine: open the connection,
// recover from the known failures (restore defaults, ask for SQL Server credentials once,
// create missing SQL Server tables once), count the administrators and load the pay rules.
// A server that cannot be reached is no failure: the station starts on its offline copy,
// and the rest of the check runs once the server answers (resume()).
class StartupCheck
{
public:
    // What the check needs from the database; the real one works on data::Database.
    class Engine
    {
    public:
        virtual ~Engine() = default;
        virtual DbError open(const ConnectionSettings &settings) = 0;
        // The administrator count, or the statement's error.
        virtual DbError countAdministrators(int *count) = 0;
        virtual DbError createTables(const ConnectionSettings &settings) = 0;
        // Fills an empty pay rules table from this account's settings and reads the rules
        // the station applies. Nothing by default.
        virtual DbError loadPayRules() { return {}; }
    };

    struct Result {
        bool endProgram = false;
        int administratorCount = 0;
        // The server could not be reached: nothing was shown, the administrators are not
        // known and the pay rules are the ones read last.
        bool databaseAway = false;
    };

    // settings: the live connection values, read again after the login dialog.
    // showLoginDialog: shows the SQL Server login dialog modally; it may change the values.
    StartupCheck(std::function<ConnectionSettings()> settings, std::function<void()> showLoginDialog,
                 Engine *engine = nullptr);
    ~StartupCheck();

    // Whether the station can punch while this database is away: it holds a copy made from it.
    // Without one (or without this set), a server that cannot be reached is shown and ends the
    // start as any other failure, with the offer to restore the default settings.
    void setCanWorkAway(std::function<bool()> canWorkAway) { m_canWorkAway = std::move(canWorkAway); }

    Result run();
    // The rest of a check that found the server away, on the connection the first one left:
    // counts the administrators and loads the pay rules, showing nothing. Returns the failure
    // that stopped it (unreachable while the server is still away).
    DbError resume(Result *result);

    static const QString AdministratorCountSql;
    static const QString RestoreQuestion;
    static const QString RestoreTitle;
    static const QString SqlDisabledMessage;
    // The descriptions by which a missing table is recognised: SQL Server's and the
    // provider's, and PostgreSQL's.
    static bool isMissingTable(const DbError &error);

private:
    std::function<ConnectionSettings()> m_settings;
    std::function<void()> m_showLoginDialog;
    std::function<bool()> m_canWorkAway;
    std::unique_ptr<Engine> m_ownEngine;
    Engine *m_engine;
};

} // namespace data
