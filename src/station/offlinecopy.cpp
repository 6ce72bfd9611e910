#include "station/offlinecopy.h"

#include <QDir>

namespace station {

namespace {
// The columns copied of each active employee, in the order of the statements below.
const QStringList EmployeeColumns{
    QStringLiteral("UserIDLogin"),  QStringLiteral("FirstName"),    QStringLiteral("LastName"),
    QStringLiteral("DisplayText"),  QStringLiteral("UserPhoto"),    QStringLiteral("PhotoEnabled"),
    QStringLiteral("PhotoDisplay"), QStringLiteral("SoundEnabled"), QStringLiteral("SoundFileIn"),
    QStringLiteral("SoundFileOut"), QStringLiteral("PhotoOnOff"),   QStringLiteral("PhotoLocation"),
    QStringLiteral("PhotoType"),
};

const QString ReadEmployees =
    QStringLiteral("select %1 from usertable where disabled = ? and UserIDLogin is not null")
        .arg(EmployeeColumns.join(QStringLiteral(", ")));
// Open punches, and those that ended late enough for the repeat guard to see them.
const QString ReadPunches = QStringLiteral(
    "select UserIDLogin, ClockedIn, ClockedOut from clocktable "
    "where UserIDLogin is not null and (clockedout is null or clockedout >= ?)");

const QString CopyEmployee = QStringLiteral("insert into CopiedEmployees (FoldedID, %1) values (?%2)")
                                 .arg(EmployeeColumns.join(QStringLiteral(", ")),
                                      QStringLiteral(", ?").repeated(EmployeeColumns.size()));
const QString CopyPunch = QStringLiteral("insert into CopiedPunches (FoldedID, ClockedIn, ClockedOut) values (?, ?, ?)");

QVariant storedTime(const data::Row &row, int column)
{
    const QDateTime time = row.wallDateTime(column);
    return time.isValid() ? QVariant(OfflineFile::storedForm(time)) : QVariant();
}
} // namespace

OfflineCopy::OfflineCopy(const QString &path) : m_file(path)
{
}

QString OfflineCopy::foldedId(const QString &id)
{
    return id.toCaseFolded();
}

data::DbError OfflineCopy::refresh(data::Database &db, const reports::PayRules &rules, const QDateTime &now,
                                   const QString &source)
{
    // The guard's seconds as the clock applies them: only a whole number above 0 guards.
    const qint64 seconds = rules.repeatGuard && rules.repeatSeconds > 0 ? rules.repeatSeconds : 0;

    // Everything is read before the file is touched, so the file is never held while the
    // database is slow.
    const data::QueryResult employees = db.query(ReadEmployees, {0});
    if (employees.error)
        return employees.error;
    const data::QueryResult punches = db.query(ReadPunches, {now.addSecs(-seconds)});
    if (punches.error)
        return punches.error;

    auto failure = [this] {
        m_file.rollback();
        return data::DbError{data::errors::GeneralFailure, m_file.errorText()};
    };
    if (!m_file.begin())
        return failure();
    for (const char *table : {"CopiedEmployees", "CopiedPunches", "CopiedRules", "CopySource"}) {
        if (!m_file.exec(QStringLiteral("delete from ") + QLatin1String(table)))
            return failure();
    }
    for (const data::Row &row : employees.rows) {
        QVariantList values{foldedId(row.text(EmployeeColumns.first()))};
        for (const QString &column : EmployeeColumns)
            values << row.value(column);
        if (!m_file.exec(CopyEmployee, values))
            return failure();
    }
    if (!punches.rows.isEmpty()) {
        const data::Row &first = punches.rows.first();
        const int id = first.indexOf(QStringLiteral("UserIDLogin"));
        const int in = first.indexOf(QStringLiteral("ClockedIn"));
        const int out = first.indexOf(QStringLiteral("ClockedOut"));
        for (const data::Row &row : punches.rows) {
            if (!m_file.exec(CopyPunch, {foldedId(row.text(id)), storedTime(row, in), storedTime(row, out)}))
                return failure();
        }
    }
    if (!m_file.exec(QStringLiteral("insert into CopiedRules (RepeatGuard, RepeatSeconds, RefreshedAt) values (?, ?, ?)"),
                     {seconds > 0, seconds, OfflineFile::storedForm(now)}))
        return failure();
    if (!m_file.exec(QStringLiteral("insert into CopySource (Source) values (?)"), {source}))
        return failure();
    if (!m_file.commit())
        return failure();
    return {};
}

bool OfflineCopy::isCopyOf(const QString &source)
{
    const auto rows = m_file.select(QStringLiteral("select Source from CopySource, CopiedRules"));
    return rows && !rows->isEmpty() && rows->first().text(QStringLiteral("Source")) == source;
}

QString OfflineCopy::sourceOf(const data::ConnectionSettings &settings)
{
    const data::Engine engine = settings.engine();
    const QString where = engine == data::Engine::Embedded
                              ? QDir::cleanPath(settings.accessFolder)
                              : settings.server.trimmed().toLower() + QLatin1Char('/') + settings.database.trimmed();
    return QString::number(int(engine)) + QLatin1Char(':') + where;
}

std::optional<OfflineSnapshot> OfflineCopy::snapshotFor(const QString &id)
{
    const QString folded = foldedId(id);
    const auto employees = m_file.select(QStringLiteral("select * from CopiedEmployees where FoldedID = ?"), {folded});
    const auto punches = m_file.select(
        QStringLiteral("select ClockedIn, ClockedOut from CopiedPunches where FoldedID = ?"), {folded});
    const auto rules = m_file.select(QStringLiteral("select RepeatSeconds, RefreshedAt from CopiedRules"));
    if (!employees || !punches || !rules)
        return std::nullopt;

    OfflineSnapshot snapshot;
    for (const data::Row &row : *employees)
        snapshot.employees.append({row.text(QStringLiteral("UserIDLogin")), row});
    for (const data::Row &row : *punches) {
        snapshot.punches.append({id, OfflineFile::wallTime(row.text(QStringLiteral("ClockedIn"))),
                                 OfflineFile::wallTime(row.text(QStringLiteral("ClockedOut")))});
    }
    if (!rules->isEmpty()) {
        snapshot.repeatSeconds = qint64(rules->first().number(QStringLiteral("RepeatSeconds")));
        snapshot.refreshedAt = OfflineFile::wallTime(rules->first().text(QStringLiteral("RefreshedAt")));
    }
    return snapshot;
}

bool OfflineCopy::notePunch(const QString &userId, PunchDirection direction, const QDateTime &time)
{
    const QString stored = OfflineFile::storedForm(time);
    if (direction == PunchDirection::In)
        return m_file.exec(CopyPunch, {foldedId(userId), stored, QVariant()});
    return m_file.exec(QStringLiteral("update CopiedPunches set ClockedOut = ? where FoldedID = ? and ClockedOut is null"),
                       {stored, foldedId(userId)});
}

} // namespace station
