#include "reports/payrulesstore.h"

#include "data/audittable.h"
#include "data/paytables.h"
#include "platform/clock.h"
#include "platform/regional.h"
#include "platform/system.h"
#include "settings/keys.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <optional>

namespace reports {

namespace {
using data::AuditSnapshot;
using data::Database;
using data::DbError;

const QString StoredDateTimeForm = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString DateForm = QStringLiteral("yyyy-MM-dd");

const QString SelectRulesSql = QStringLiteral("select RuleName, RuleValue from PayRules");
const QString SelectRuleSql = QStringLiteral("select RuleName, RuleValue from PayRules where RuleName = ?");
const QString CountRulesSql = QStringLiteral("select count(*) as CountInt from PayRules");
const QString InsertRuleSql = QStringLiteral("insert into PayRules (RuleName, RuleValue) values (?, ?)");
const QString UpdateRuleSql = QStringLiteral("update PayRules set RuleValue = ? where RuleName = ?");

const QString PeriodColumns = QStringLiteral("ID, FirstDate, LastDate, Closed, ClosedBy, ClosedAt");
const QString SelectPeriodSql =
    QStringLiteral("select %1 from PayPeriods where FirstDate = ? and LastDate = ?").arg(PeriodColumns);
const QString SelectClosedOverlapSql = QStringLiteral(
    "select %1 from PayPeriods where Closed = 1 and FirstDate <= ? and LastDate >= ? order by FirstDate, ID")
                                           .arg(PeriodColumns);
const QString SelectClosedSql =
    QStringLiteral("select %1 from PayPeriods where Closed = 1 order by FirstDate, LastDate, ID").arg(PeriodColumns);
const QString CountClosedSql = QStringLiteral(
    "select count(*) as CountInt from PayPeriods where Closed = 1 and FirstDate <= ? and LastDate >= ?");
const QString InsertPeriodSql = QStringLiteral(
    "insert into PayPeriods (FirstDate, LastDate, Closed, ClosedBy, ClosedAt) values (?, ?, 1, ?, ?)");
const QString ClosePeriodSql = QStringLiteral("update PayPeriods set Closed = 1, ClosedBy = ?, ClosedAt = ? where ID = ?");
const QString ReopenPeriodSql =
    QStringLiteral("update PayPeriods set Closed = 0, ClosedBy = NULL, ClosedAt = NULL where ID = ?");

const QString NoSuchRule = QStringLiteral("There is no pay rule named %1.");
const QString NotAPeriod = QStringLiteral("That is not a pay period.");
const QString NotEnded = QStringLiteral("The pay period from %1 to %2 has not ended yet. It can be closed from %3 on.");
const QString AlreadyClosed = QStringLiteral("The pay period from %1 to %2 is already closed.");
const QString NotClosed = QStringLiteral("The pay period from %1 to %2 is not closed.");

// How a rule's text reads.
enum class Kind { Flag, Hours, Whole, Number, Rounding, Weekday, Period, Date };

struct RuleForm {
    QString name;
    QString caption; // how messages name the rule
    Kind kind;
    double low = 0;
    bool lowIncluded = true;
    double high = 0;
};

const QList<RuleForm> &ruleForms()
{
    namespace n = rulenames;
    static const QList<RuleForm> list{
        {n::BreakRule, QStringLiteral("Deduct a break"), Kind::Flag},
        {n::BreakAfterHours, QStringLiteral("Break after hours"), Kind::Hours, 0, true, 1000},
        {n::BreakMinutes, QStringLiteral("Break minutes"), Kind::Whole, 0, true, 1440},
        {n::OverLongHours, QStringLiteral("Over-long hours"), Kind::Hours, 0, false, 1000},
        {n::RepeatGuard, QStringLiteral("Refuse a repeat punch"), Kind::Flag},
        {n::RepeatSeconds, QStringLiteral("Repeat seconds"), Kind::Whole, 1, true, 86400},
        {n::WeeklyOvertime, QStringLiteral("Weekly overtime"), Kind::Flag},
        {n::WeeklyLimitHours, QStringLiteral("Weekly limit hours"), Kind::Hours, 0, false, 168},
        {n::WorkweekStart, QStringLiteral("Workweek start"), Kind::Weekday},
        {n::DailyOvertime, QStringLiteral("Daily overtime"), Kind::Flag},
        {n::DailyLimitHours, QStringLiteral("Daily limit hours"), Kind::Hours, 0, false, 24},
        {n::OvertimeMultiplier, QStringLiteral("Overtime multiplier"), Kind::Number, 1, true, 10},
        {n::RoundingMinutes, QStringLiteral("Rounding minutes"), Kind::Rounding},
        {n::PeriodKind, QStringLiteral("Pay period"), Kind::Period},
        {n::PeriodAnchor, QStringLiteral("Pay period anchor"), Kind::Date},
    };
    return list;
}

const RuleForm *findForm(const QString &name)
{
    for (const RuleForm &form : ruleForms()) {
        if (form.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &form;
    }
    return nullptr;
}

const QStringList &periodKindNames()
{
    // In the order of PeriodKind.
    static const QStringList names{QStringLiteral("Weekly"), QStringLiteral("Biweekly"), QStringLiteral("SemiMonthly"),
                                   QStringLiteral("Monthly")};
    return names;
}

QString dayName(int day)
{
    return QLocale::c().dayName(day, QLocale::LongFormat);
}

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

qint64 hoursAsMinutes(const QString &plain)
{
    return qint64(std::llround(plain.toDouble() * 60));
}

QString minutesAsHours(qint64 minutes)
{
    return number(double(minutes) / 60);
}

// A text's plain form under its rule, or nullopt when the rule cannot read it.
std::optional<QString> plainForm(const RuleForm &form, const QString &text)
{
    const QString t = text.trimmed();
    switch (form.kind) {
    case Kind::Flag:
        if (t == QLatin1String("1") || t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("1");
        if (t == QLatin1String("0") || t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("0");
        return std::nullopt;
    case Kind::Hours:
    case Kind::Number: {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        bool ok = false;
        const double value = c.toDouble(t, &ok);
        if (!ok || !std::isfinite(value) || value > form.high || value < form.low
            || (!form.lowIncluded && value == form.low))
            return std::nullopt;
        return number(value);
    }
    case Kind::Whole:
    case Kind::Rounding: {
        bool ok = false;
        const qint64 value = t.toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        if (form.kind == Kind::Rounding)
            return QList<qint64>{0, 5, 6, 10, 15}.contains(value) ? std::optional<QString>(QString::number(value))
                                                                  : std::nullopt;
        if (value < form.low || value > form.high)
            return std::nullopt;
        return QString::number(value);
    }
    case Kind::Weekday:
        for (int day = Qt::Monday; day <= Qt::Sunday; ++day) {
            if (t.compare(dayName(day), Qt::CaseInsensitive) == 0)
                return dayName(day);
        }
        return std::nullopt;
    case Kind::Period:
        for (const QString &name : periodKindNames()) {
            if (t.compare(name, Qt::CaseInsensitive) == 0)
                return name;
        }
        return std::nullopt;
    case Kind::Date: {
        const QDate date = QDate::fromString(t, DateForm);
        return date.isValid() && t.size() == 10 ? std::optional<QString>(t) : std::nullopt;
    }
    }
    return std::nullopt;
}

QString refusal(const RuleForm &form)
{
    const QString low = number(form.low);
    const QString high = number(form.high);
    switch (form.kind) {
    case Kind::Flag:
        return QStringLiteral("%1 must be 1 (on) or 0 (off).").arg(form.caption);
    case Kind::Hours:
        return form.lowIncluded
                   ? QStringLiteral("%1 must be a number of hours from %2 to %3.").arg(form.caption, low, high)
                   : QStringLiteral("%1 must be a number of hours above %2, up to %3.").arg(form.caption, low, high);
    case Kind::Whole:
        return QStringLiteral("%1 must be a whole number from %2 to %3.").arg(form.caption, low, high);
    case Kind::Number:
        return QStringLiteral("%1 must be a number from %2 to %3.").arg(form.caption, low, high);
    case Kind::Rounding:
        return QStringLiteral("%1 must be 0 (off), 5, 6, 10 or 15.").arg(form.caption);
    case Kind::Weekday:
        return QStringLiteral("%1 must be a day of the week, such as Sunday.").arg(form.caption);
    case Kind::Period:
        return QStringLiteral("%1 must be %2.").arg(form.caption, periodKindNames().join(QStringLiteral(", ")));
    case Kind::Date:
        return QStringLiteral("%1 must be a date of the form YYYY-MM-DD.").arg(form.caption);
    }
    return QString();
}

// Sets one rule from its plain form.
void apply(const QString &name, const QString &plain, PayRules &rules)
{
    namespace n = rulenames;
    if (name == n::BreakRule)
        rules.breakRule = plain == QLatin1String("1");
    else if (name == n::BreakAfterHours)
        rules.breakAfterMinutes = hoursAsMinutes(plain);
    else if (name == n::BreakMinutes)
        rules.breakMinutes = plain.toLongLong();
    else if (name == n::OverLongHours)
        rules.overLongMinutes = hoursAsMinutes(plain);
    else if (name == n::RepeatGuard)
        rules.repeatGuard = plain == QLatin1String("1");
    else if (name == n::RepeatSeconds)
        rules.repeatSeconds = plain.toLongLong();
    else if (name == n::WeeklyOvertime)
        rules.weeklyOvertime = plain == QLatin1String("1");
    else if (name == n::WeeklyLimitHours)
        rules.weeklyLimitMinutes = hoursAsMinutes(plain);
    else if (name == n::WorkweekStart) {
        for (int day = Qt::Monday; day <= Qt::Sunday; ++day) {
            if (plain == dayName(day))
                rules.workweekStart = Qt::DayOfWeek(day);
        }
    } else if (name == n::DailyOvertime)
        rules.dailyOvertime = plain == QLatin1String("1");
    else if (name == n::DailyLimitHours)
        rules.dailyLimitMinutes = hoursAsMinutes(plain);
    else if (name == n::OvertimeMultiplier)
        rules.overtimeMultiplier = plain.toDouble();
    else if (name == n::RoundingMinutes)
        rules.roundingMinutes = plain.toInt();
    else if (name == n::PeriodKind)
        rules.periodKind = PeriodKind(periodKindNames().indexOf(plain));
    else if (name == n::PeriodAnchor)
        rules.periodAnchor = QDate::fromString(plain, DateForm);
}

const QStringList &ruleColumns()
{
    static const QStringList columns{QStringLiteral("RuleName"), QStringLiteral("RuleValue")};
    return columns;
}

const QStringList &periodColumns()
{
    static const QStringList columns{QStringLiteral("FirstDate"), QStringLiteral("LastDate"), QStringLiteral("Closed"),
                                     QStringLiteral("ClosedBy"), QStringLiteral("ClosedAt")};
    return columns;
}

AuditSnapshot snapshot(const QStringList &columns, const QStringList &values)
{
    return AuditSnapshot{columns, values, true};
}

QString dateText(const QVariant &value)
{
    return value.toDateTime().date().toString(DateForm);
}

QString dateTimeText(const QVariant &value)
{
    const QDateTime time = value.toDateTime();
    return time.isValid() ? time.toString(StoredDateTimeForm) : QString();
}

// A PayPeriods row as AuditTable shows it, in the stored forms.
AuditSnapshot periodSnapshot(const data::Row &row)
{
    return snapshot(periodColumns(),
                    {dateText(row.value(QStringLiteral("FirstDate"))), dateText(row.value(QStringLiteral("LastDate"))),
                     QString::number(qint64(row.number(QStringLiteral("Closed")))), row.text(QStringLiteral("ClosedBy")),
                     dateTimeText(row.value(QStringLiteral("ClosedAt")))});
}

ClosedPeriod closedPeriodOf(const data::Row &row)
{
    return {{row.value(QStringLiteral("FirstDate")).toDateTime().date(),
             row.value(QStringLiteral("LastDate")).toDateTime().date()},
            row.text(QStringLiteral("ClosedBy")),
            row.value(QStringLiteral("ClosedAt")).toDateTime()};
}

QDateTime stationTime()
{
    const QDateTime now = platform::Clock::now();
    return now.addMSecs(-now.time().msec());
}

QString periodText(const QString &pattern, const PayPeriod &period)
{
    return pattern.arg(regional::shortDate(period.first), regional::shortDate(period.last));
}

// One change of a row keyed by a text, as recordChange keeps a change of a numbered row.
DbError recordChange(Database &db, const QString &administrator, const QString &table, const QString &key,
                     const AuditSnapshot &before, const AuditSnapshot &after)
{
    const data::AuditValues values = data::auditValues(before, after);
    if (!values.changed)
        return {};
    const QString action = !before.found ? QStringLiteral("Insert")
                           : !after.found ? QStringLiteral("Delete")
                                          : QStringLiteral("Update");
    if (const DbError error = data::ensureAuditTable(db))
        return error;
    return db.exec(data::InsertAuditSql, {stationTime(), platform::stationName(), administrator, action, table, key,
                                          values.oldValues, values.newValues});
}

PayRules s_cached;

// The readable stored texts by rule name; empty where the table is missing.
QMap<QString, QString> storedTexts(Database &db, DbError *error)
{
    QMap<QString, QString> texts;
    DbError failure;
    if (data::tableExists(db, data::PayRulesTableName, &failure)) {
        const data::QueryResult result = db.query(SelectRulesSql);
        failure = result.error;
        for (const data::Row &row : result.rows) {
            const RuleForm *form = findForm(row.text(QStringLiteral("RuleName")));
            if (!form)
                continue;
            if (const auto plain = plainForm(*form, row.text(QStringLiteral("RuleValue"))))
                texts.insert(form->name, *plain);
        }
    }
    if (error)
        *error = failure;
    return failure ? QMap<QString, QString>() : texts;
}
// A change that failed, its transaction rolled back.
PayChange rolledBack(Database &db, const DbError &error)
{
    db.rollback();
    return PayChange{{}, error};
}

// Begins a write transaction with the pay tables there (created on first use).
DbError beginPayWrite(Database &db)
{
    DbError error = db.beginWrite();
    if (!error)
        error = data::ensurePayTables(db);
    return error;
}
} // namespace

bool isClosed(const QList<ClosedPeriod> &periods, const QDate &date)
{
    return std::any_of(periods.begin(), periods.end(), [&](const ClosedPeriod &p) { return p.period.contains(date); });
}

PayRulesStore::PayRulesStore(std::shared_ptr<data::Database> db) : m_db(std::move(db)) {}

const QStringList &PayRulesStore::ruleNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const RuleForm &form : ruleForms())
            list << form.name;
        return list;
    }();
    return names;
}

QMap<QString, QString> PayRulesStore::textsOf(const PayRules &rules)
{
    namespace n = rulenames;
    auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return {
        {n::BreakRule, flag(rules.breakRule)},
        {n::BreakAfterHours, minutesAsHours(rules.breakAfterMinutes)},
        {n::BreakMinutes, QString::number(rules.breakMinutes)},
        {n::OverLongHours, minutesAsHours(rules.overLongMinutes)},
        {n::RepeatGuard, flag(rules.repeatGuard)},
        {n::RepeatSeconds, QString::number(rules.repeatSeconds)},
        {n::WeeklyOvertime, flag(rules.weeklyOvertime)},
        {n::WeeklyLimitHours, minutesAsHours(rules.weeklyLimitMinutes)},
        {n::WorkweekStart, dayName(rules.workweekStart)},
        {n::DailyOvertime, flag(rules.dailyOvertime)},
        {n::DailyLimitHours, minutesAsHours(rules.dailyLimitMinutes)},
        {n::OvertimeMultiplier, number(rules.overtimeMultiplier)},
        {n::RoundingMinutes, QString::number(rules.roundingMinutes)},
        {n::PeriodKind, periodKindNames().value(int(rules.periodKind))},
        {n::PeriodAnchor, rules.periodAnchor.toString(DateForm)},
    };
}

QString PayRulesStore::check(const QString &name, const QString &text)
{
    const RuleForm *form = findForm(name);
    if (!form)
        return NoSuchRule.arg(name);
    return plainForm(*form, text) ? QString() : refusal(*form);
}

PayRules PayRulesStore::cached()
{
    return s_cached;
}

PayRules PayRulesStore::read(DbError *error)
{
    DbError failure;
    const QMap<QString, QString> texts = storedTexts(*m_db, &failure);
    if (error)
        *error = failure;
    PayRules rules;
    for (auto it = texts.begin(); it != texts.end(); ++it)
        apply(it.key(), it.value(), rules);
    if (!failure)
        s_cached = rules;
    return rules;
}

QMap<QString, QString> PayRulesStore::texts(DbError *error)
{
    QMap<QString, QString> texts = textsOf(PayRules());
    texts.insert(storedTexts(*m_db, error));
    return texts;
}

PayChange PayRulesStore::writeRule(const QString &name, const QString &text, const QString &administrator)
{
    const RuleForm *form = findForm(name);
    if (!form)
        return {NoSuchRule.arg(name), {}};
    const std::optional<QString> plain = plainForm(*form, text);
    if (!plain)
        return {refusal(*form), {}};

    Database &db = *m_db;
    auto fail = [&db](const DbError &error) { return rolledBack(db, error); };
    if (const DbError error = beginPayWrite(db))
        return fail(error);
    const data::QueryResult stored = db.query(SelectRuleSql, {form->name});
    if (stored.error)
        return fail(stored.error);
    const AuditSnapshot before = AuditSnapshot::of(stored, ruleColumns());
    if (before.found && before.values.value(1) == *plain) {
        db.rollback();
        return {};
    }
    const DbError written = before.found ? db.exec(UpdateRuleSql, {*plain, form->name})
                                         : db.exec(InsertRuleSql, {form->name, *plain});
    if (written)
        return fail(written);
    if (const DbError error = recordChange(db, administrator, data::PayRulesTableName, form->name, before,
                                           snapshot(ruleColumns(), {form->name, *plain})))
        return fail(error);
    if (const DbError error = db.commit())
        return fail(error);
    read();
    return {};
}

DbError PayRulesStore::adoptSettings(bool *copied)
{
    if (copied)
        *copied = false;
    Database &db = *m_db;
    auto fail = [&db](const DbError &error) {
        db.rollback();
        return error;
    };
    if (const DbError error = beginPayWrite(db))
        return fail(error);
    const data::QueryResult count = db.query(CountRulesSql);
    if (count.error)
        return fail(count.error);
    if (count.first().number(QStringLiteral("CountInt")) > 0) {
        db.rollback();
        return {};
    }

    namespace keys = settings::keys;
    namespace n = rulenames;
    auto on = [](const settings::Key &key) {
        const auto state = settings::checkState(settings::read(key));
        return state && *state != 0;
    };
    auto setting = [](const QString &name, const settings::Key &key) {
        return plainForm(*findForm(name), settings::read(key));
    };
    const QMap<QString, QString> defaults = textsOf(PayRules());
    const auto after = setting(n::BreakAfterHours, keys::BreakAfterHours);
    const auto minutes = setting(n::BreakMinutes, keys::BreakMinutes);
    const auto overLong = setting(n::OverLongHours, keys::OverLongHours);
    const auto seconds = setting(n::RepeatSeconds, keys::RepeatSeconds);
    const QList<std::pair<QString, QString>> rows{
        {n::BreakRule, on(keys::BreakRule) && after && minutes ? QStringLiteral("1") : QStringLiteral("0")},
        {n::BreakAfterHours, after.value_or(defaults.value(n::BreakAfterHours))},
        {n::BreakMinutes, minutes.value_or(defaults.value(n::BreakMinutes))},
        {n::OverLongHours, overLong.value_or(defaults.value(n::OverLongHours))},
        {n::RepeatGuard, on(keys::RepeatGuard) && seconds ? QStringLiteral("1") : QStringLiteral("0")},
        {n::RepeatSeconds, seconds.value_or(defaults.value(n::RepeatSeconds))},
    };
    for (const auto &[name, text] : rows) {
        if (const DbError error = db.exec(InsertRuleSql, {name, text}))
            return fail(error);
        // No administrator: the station copied them at its start.
        if (const DbError error = recordChange(db, QString(), data::PayRulesTableName, name, AuditSnapshot(),
                                               snapshot(ruleColumns(), {name, text})))
            return fail(error);
    }
    if (const DbError error = db.commit())
        return fail(error);
    if (copied)
        *copied = true;
    read();
    return {};
}

PayChange PayRulesStore::close(const PayPeriod &period, const QString &administrator)
{
    if (!period.first.isValid() || !period.last.isValid() || period.first > period.last)
        return {NotAPeriod, {}};
    const QDate today = platform::Clock::now().date();
    if (period.last >= today)
        return {periodText(NotEnded, period).arg(regional::shortDate(period.last.addDays(1))), {}};

    Database &db = *m_db;
    auto fail = [&db](const DbError &error) { return rolledBack(db, error); };
    if (const DbError error = beginPayWrite(db))
        return fail(error);
    const data::QueryResult found = db.query(SelectPeriodSql, {period.first, period.last});
    if (found.error)
        return fail(found.error);
    const data::Row row = found.first();
    const bool exists = !found.rows.isEmpty();
    if (exists && row.number(QStringLiteral("Closed")) == 1) {
        db.rollback();
        return {periodText(AlreadyClosed, period), {}};
    }
    const QDateTime now = stationTime();
    qint64 key = 0;
    if (exists) {
        key = qint64(row.number(QStringLiteral("ID")));
        if (const DbError error = db.exec(ClosePeriodSql, {administrator, now, key}))
            return fail(error);
    } else {
        if (const DbError error = db.exec(InsertPeriodSql, {period.first, period.last, administrator, now}))
            return fail(error);
        DbError error;
        const std::optional<qint64> id = data::lastInsertedId(db, &error);
        if (!id)
            return fail(error ? error : DbError{data::errors::CommandFailed, QStringLiteral("No key for the new period.")});
        key = *id;
    }
    const AuditSnapshot after = snapshot(periodColumns(), {period.first.toString(DateForm), period.last.toString(DateForm),
                                                           QStringLiteral("1"), administrator,
                                                           now.toString(StoredDateTimeForm)});
    if (const DbError error = recordChange(db, administrator, data::PayPeriodsTableName, QString::number(key),
                                           exists ? periodSnapshot(row) : AuditSnapshot(), after))
        return fail(error);
    if (const DbError error = db.commit())
        return fail(error);
    return {};
}

PayChange PayRulesStore::reopen(const PayPeriod &period, const QString &administrator)
{
    if (!period.first.isValid() || !period.last.isValid() || period.first > period.last)
        return {NotAPeriod, {}};
    Database &db = *m_db;
    auto fail = [&db](const DbError &error) { return rolledBack(db, error); };
    if (const DbError error = db.beginWrite())
        return fail(error);
    DbError error;
    if (!data::tableExists(db, data::PayPeriodsTableName, &error)) {
        if (error)
            return fail(error);
        db.rollback();
        return {periodText(NotClosed, period), {}};
    }
    const data::QueryResult closed = db.query(SelectClosedOverlapSql, {period.last, period.first});
    if (closed.error)
        return fail(closed.error);
    if (closed.rows.isEmpty()) {
        db.rollback();
        return {periodText(NotClosed, period), {}};
    }
    for (const data::Row &row : closed.rows) {
        const qint64 key = qint64(row.number(QStringLiteral("ID")));
        if ((error = db.exec(ReopenPeriodSql, {key})))
            return fail(error);
        const AuditSnapshot before = periodSnapshot(row);
        AuditSnapshot after = before;
        after.values[2] = QStringLiteral("0");
        after.values[3].clear();
        after.values[4].clear();
        if ((error = recordChange(db, administrator, data::PayPeriodsTableName, QString::number(key), before, after)))
            return fail(error);
    }
    if ((error = db.commit()))
        return fail(error);
    return {};
}

bool PayRulesStore::isClosed(const QDate &date, DbError *error)
{
    DbError failure;
    bool closed = false;
    if (data::tableExists(*m_db, data::PayPeriodsTableName, &failure)) {
        const data::QueryResult result = m_db->query(CountClosedSql, {date, date});
        failure = result.error;
        closed = !failure && result.first().number(QStringLiteral("CountInt")) > 0;
    }
    if (error)
        *error = failure;
    return closed;
}

QList<ClosedPeriod> PayRulesStore::closedPeriods(DbError *error)
{
    DbError failure;
    QList<ClosedPeriod> periods;
    if (data::tableExists(*m_db, data::PayPeriodsTableName, &failure)) {
        const data::QueryResult result = m_db->query(SelectClosedSql);
        failure = result.error;
        for (const data::Row &row : result.rows)
            periods << closedPeriodOf(row);
    }
    if (error)
        *error = failure;
    return failure ? QList<ClosedPeriod>() : periods;
}

} // namespace reports
