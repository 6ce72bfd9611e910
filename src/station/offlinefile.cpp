#include "station/offlinefile.h"

#include "data/embeddedfunctions.h"
#include "platform/clock.h"
#include "platform/regional.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace station {

namespace {
const QString FileName = QStringLiteral("OfflinePunchQueue.sqlite");
const QString StoredFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// A second connection (the background refresh) holds the write lock for one short
// transaction at most.
constexpr int BusyWaitMs = 5000;

const QStringList Schema{
    // Punches kept while the database was away, and those it refused when they were sent
    // (State 'refused', with the Reason). AUTOINCREMENT: a sequence is never given twice,
    // not even after the entries above it were removed.
    QStringLiteral("CREATE TABLE IF NOT EXISTS QueuedPunches (\n"
                   "  Sequence INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                   "  StationName TEXT NOT NULL,\n"
                   "  UserIDLogin TEXT NOT NULL,\n"
                   "  Direction TEXT NOT NULL CHECK (Direction IN ('in', 'out')),\n"
                   "  PunchTime TEXT NOT NULL,\n"
                   "  State TEXT NOT NULL DEFAULT 'queued' CHECK (State IN ('queued', 'refused')),\n"
                   "  Reason TEXT)"),
    // The queue's own identity, made at random once, so that stations sharing a host name
    // (several on one machine, kiosks cloned from one image) never key two punches alike.
    QStringLiteral("CREATE TABLE IF NOT EXISTS QueueIdentity (StationID TEXT NOT NULL)"),
    // The copy of the active employees, their open and recent punches, and the repeat guard.
    // FoldedID is the ID case-folded, the key every lookup compares.
    QStringLiteral("CREATE TABLE IF NOT EXISTS CopiedEmployees (\n"
                   "  FoldedID TEXT NOT NULL, UserIDLogin TEXT NOT NULL, FirstName, LastName, DisplayText,\n"
                   "  UserPhoto, PhotoEnabled, PhotoDisplay, SoundEnabled, SoundFileIn, SoundFileOut,\n"
                   "  PhotoOnOff, PhotoLocation, PhotoType)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS CopiedEmployeesID ON CopiedEmployees (FoldedID)"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS CopiedPunches (FoldedID TEXT NOT NULL, ClockedIn TEXT, ClockedOut TEXT)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS CopiedPunchesID ON CopiedPunches (FoldedID)"),
    // The database the copy was read from (OfflineCopy::sourceOf), so that a station set to
    // another database does not take the copy for that one's.
    QStringLiteral("CREATE TABLE IF NOT EXISTS CopySource (Source TEXT NOT NULL)"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS CopiedRules (\n"
                   "  RepeatGuard INTEGER NOT NULL, RepeatSeconds INTEGER NOT NULL, RefreshedAt TEXT NOT NULL)"),
};

// Makes the file, when there is none, readable and writable by its owner alone before its
// first byte; an existing one is brought back to that.
bool createOwnerOnly(const QString &path, QString *error)
{
    QFile file(path);
    if (file.exists())
        return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
               || (*error = file.errorString(), false);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return true;
    // Another connection made it meanwhile.
    if (file.exists())
        return createOwnerOnly(path, error);
    *error = file.errorString();
    return false;
}
} // namespace

QString OfflineFile::defaultPath()
{
    return settings::storeFolder() + QLatin1Char('/') + FileName;
}

OfflineFile::OfflineFile(const QString &path) : m_path(path)
{
    if (!open() && m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

OfflineFile::~OfflineFile()
{
    if (m_db)
        sqlite3_close(m_db);
}

bool OfflineFile::fail(const QString &what)
{
    m_error = what;
    if (m_db)
        m_error += QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

bool OfflineFile::open()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (QDir(folder) == QDir(settings::storeFolder()))
        settings::makeStoreFolder();
    else
        QDir().mkpath(folder);
    if (!createOwnerOnly(m_path, &m_error)) {
        m_error = QStringLiteral("Cannot create '%1': %2").arg(m_path, m_error);
        return false;
    }
    // Never created by SQLite: the file made above is the one opened.
    const QByteArray name = QFile::encodeName(m_path);
    if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("Cannot open '%1'").arg(m_path));
    sqlite3_busy_timeout(m_db, BusyWaitMs);
    if (!exec(QStringLiteral("PRAGMA journal_mode = DELETE")) || !exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return false;

    if (!begin())
        return false;
    for (const QString &sql : Schema) {
        if (!exec(sql)) {
            rollback();
            return false;
        }
    }
    // A new queue starts its sequence at the clock's milliseconds rather than at 1, so a queue
    // file made again after the old one was deleted does not give out the old one's numbers,
    // which identify punches already sent.
    const auto seeded = select(QStringLiteral("select seq from sqlite_sequence where name = ?"),
                               {QStringLiteral("QueuedPunches")});
    if (!seeded || (seeded->isEmpty()
                    && !exec(QStringLiteral("insert into sqlite_sequence (name, seq) values (?, ?)"),
                             {QStringLiteral("QueuedPunches"), platform::Clock::now().toMSecsSinceEpoch()}))) {
        rollback();
        return false;
    }
    return commit();
}

bool OfflineFile::exec(const QString &sql, const QVariantList &values)
{
    return select(sql, values).has_value();
}

std::optional<QList<data::Row>> OfflineFile::select(const QString &sql, const QVariantList &values)
{
    if (!m_db) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("The offline file is not open");
        return std::nullopt;
    }
    sqlite3_stmt *raw = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &raw, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("Cannot prepare a statement"));
        return std::nullopt;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> stmt(raw, sqlite3_finalize);
    if (sqlite3_bind_parameter_count(raw) != values.size()) {
        m_error = QStringLiteral("Parameter count mismatch");
        return std::nullopt;
    }
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &v = values[i];
        const int rc = data::bindSqliteValue(raw, i + 1,
                                             v.typeId() == QMetaType::QDateTime && !v.isNull() ? QVariant(storedForm(v.toDateTime())) : v);
        if (rc != SQLITE_OK) {
            fail(QStringLiteral("Cannot bind a value"));
            return std::nullopt;
        }
    }

    const int count = sqlite3_column_count(raw);
    auto columns = std::make_shared<QHash<QString, int>>();
    for (int i = 0; i < count; ++i)
        columns->insert(QString::fromUtf8(sqlite3_column_name(raw, i)).toLower(), i);
    QList<data::Row> rows;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        QList<QVariant> cells(count);
        for (int i = 0; i < count; ++i) {
            switch (sqlite3_column_type(raw, i)) {
            case SQLITE_INTEGER:
                cells[i] = qlonglong(sqlite3_column_int64(raw, i));
                break;
            case SQLITE_FLOAT:
                cells[i] = sqlite3_column_double(raw, i);
                break;
            case SQLITE_NULL:
                break;
            default:
                cells[i] = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, i)),
                                             sqlite3_column_bytes(raw, i));
                break;
            }
        }
        rows.append(data::Row(columns, std::move(cells)));
    }
    if (rc != SQLITE_DONE) {
        fail(QStringLiteral("A statement failed"));
        return std::nullopt;
    }
    return rows;
}

qint64 OfflineFile::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

bool OfflineFile::begin()
{
    return exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool OfflineFile::commit()
{
    if (exec(QStringLiteral("COMMIT")))
        return true;
    rollback();
    return false;
}

void OfflineFile::rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db)) {
        const QString error = m_error; // the failure that led here, not the rollback's
        exec(QStringLiteral("ROLLBACK"));
        m_error = error;
    }
}

QString OfflineFile::storedForm(const QDateTime &time)
{
    return time.isValid() ? time.toString(StoredFormat) : QString();
}

QDateTime OfflineFile::wallTime(const QString &stored)
{
    QDate date;
    QTime time;
    if (!regional::parseStoredForm(stored, &date, &time))
        return {};
    return QDateTime(date, time, Qt::UTC);
}

QDateTime OfflineFile::wallTime(const QDateTime &time)
{
    return time.isValid() ? QDateTime(time.date(), time.time(), Qt::UTC) : QDateTime();
}

} // namespace station
