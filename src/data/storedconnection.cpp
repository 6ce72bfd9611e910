#include "data/storedconnection.h"

#include "admin/sqlpassword.h"
#include "platform/system.h"
#include "settings/keys.h"

namespace data {

namespace {
// Blanks only: a password may begin or end with a tab, which the store keeps.
QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}
} // namespace

ServerKind serverKindOf(const QString &text)
{
    return text.trimmed().compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0 ? ServerKind::PostgreSql
                                                                                            : ServerKind::SqlServer;
}

QString storedSqlPassword()
{
    return trimBlanks(admin::ReadData(settings::read(settings::keys::SqlPassword)));
}

ConnectionSettings storedConnectionSettings()
{
    namespace keys = settings::keys;
    ConnectionSettings s;
    s.accessFolder = settings::read(keys::DatabaseFolder);
    if (s.accessFolder.isEmpty())
        s.accessFolder = platform::defaultDatabaseFolder();
    const auto useSql = settings::checkState(settings::read(keys::UseSqlDb));
    s.useSqlDb = useSql && *useSql != 0;
    s.serverKind = serverKindOf(settings::read(keys::ServerKind));
    s.user = settings::read(keys::SqlUser);
    s.password = storedSqlPassword();
    s.database = settings::read(keys::SqlDatabase);
    s.server = settings::read(keys::SqlServer);
    return s;
}

} // namespace data
