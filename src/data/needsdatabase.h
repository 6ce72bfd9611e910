#pragma once

#include "data/database.h"

#include <QString>

namespace data {

// What a screen that needs the database says when it cannot be reached: one plain sentence
// instead of the driver's text.
inline const QString NeedsDatabaseText = QStringLiteral(
    "This screen needs the database, which cannot be reached now. Punches at the clock are kept on the "
    "station and sent when the database is back.");

// The text to show for a failure to open: the sentence above for a server that cannot be
// reached, the failure's own description otherwise.
inline QString openFailureText(const DbError &error)
{
    return error.unreachable ? NeedsDatabaseText : error.description;
}

} // namespace data
