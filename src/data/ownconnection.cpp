#include "data/database.h"

namespace data {

std::shared_ptr<Database> Database::openOwn(const ConnectionSettings &settings)
{
    std::shared_ptr<Database> db(new Database);
    db->m_engine = settings.engine();
    switch (db->m_engine) {
    case Engine::Embedded:
        db->m_openError = db->openEmbedded(settings.accessFolder, settings.readOnly);
        break;
    case Engine::SqlServer:
        db->m_openError = db->openSqlServer(settings);
        break;
    case Engine::PostgreSql:
        db->m_openError = db->openPostgreSql(settings);
        break;
    }
    // A server connection that fails to open means the server could not be reached.
    if (db->m_engine != Engine::Embedded && db->m_openError.number == errors::GeneralFailure)
        db->m_openError.unreachable = true;
    return db;
}

} // namespace data
