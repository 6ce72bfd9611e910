#pragma once

#include "data/database.h"

#include <QString>

namespace data {

// The connection values as this account's settings store holds them: what the station
// starts with, read without a main menu (the report command). The database folder is the
// default one when none is set, and the SQL password is unscrambled.
ConnectionSettings storedConnectionSettings();
// The SQL password as the settings keep it, unscrambled, without leading or trailing blanks.
QString storedSqlPassword();

// The server kind a stored text means: PostgreSQL for "PostgreSQL" (any case, blanks
// around it), SQL Server for anything else, absent included.
ServerKind serverKindOf(const QString &text);

} // namespace data
