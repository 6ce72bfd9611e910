#include "reports/payroll.h"

#include "reports/hourtexts.h"
#include "reports/payrulesstore.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {
// Hours with an optional decimal point, as minutes; nullopt for anything else or below 0.
std::optional<qint64> hoursAsMinutes(const QString &text)
{
    bool ok = false;
    const double hours = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(hours) || hours < 0 || hours > 1e6)
        return std::nullopt;
    return qint64(std::llround(hours * 60));
}

std::optional<qint64> wholeMinutes(const QString &text)
{
    bool ok = false;
    const qint64 minutes = text.trimmed().toLongLong(&ok);
    return ok && minutes >= 0 ? std::optional<qint64>(minutes) : std::nullopt;
}

QString count(qint64 value)
{
    return QString::number(value);
}
} // namespace

PayrollRules PayrollRules::fromTexts(bool breakRule, const QString &breakAfterHours, const QString &breakMinutes,
                                     const QString &overLongHours)
{
    PayrollRules rules;
    const auto after = hoursAsMinutes(breakAfterHours);
    const auto minutes = wholeMinutes(breakMinutes);
    rules.breakRule = breakRule && after && minutes;
    if (after)
        rules.breakAfterMinutes = *after;
    if (minutes)
        rules.breakMinutes = *minutes;
    if (const auto limit = hoursAsMinutes(overLongHours); limit && *limit > 0)
        rules.overLongMinutes = *limit;
    return rules;
}

PayrollRules PayrollRules::fromRules(const PayRules &rules)
{
    PayrollRules payroll;
    payroll.breakRule = rules.breakRule;
    payroll.breakAfterMinutes = rules.breakAfterMinutes;
    payroll.breakMinutes = rules.breakMinutes;
    payroll.overLongMinutes = rules.overLongMinutes;
    return payroll;
}

PayrollRules PayrollRules::fromStore()
{
    return fromRules(PayRulesStore().read());
}

qint64 PayrollRules::paidMinutes(qint64 workedMinutes) const
{
    if (!breakRule || workedMinutes <= breakAfterMinutes)
        return workedMinutes;
    return std::max<qint64>(0, workedMinutes - breakMinutes);
}

QString PayrollRules::overLongFlag() const
{
    return QStringLiteral("over ") + hours::fractionText(overLongMinutes) + QStringLiteral(" hours");
}

PayrollSummary::PayrollSummary(const PayRules &rules, const QDateTime &now, const QDate &first, const QDate &last)
    : m_rules(rules), m_limits(PayrollRules::fromRules(rules)), m_now(now), m_first(first), m_last(last),
      m_splitter(std::make_unique<pay::OvertimeSplitter>(rules))
{
}

PayPeriod PayrollSummary::earlierDays(const PayRules &rules, const QDate &first)
{
    if (!rules.weeklyOvertime || !first.isValid())
        return {};
    const QDate start = std::max(pay::workweekStart(first, rules.workweekStart), QDate(1, 1, 1));
    if (start >= first)
        return {};
    return {start, first.addDays(-1)};
}

bool PayrollSummary::inRange(const QDate &workDate) const
{
    return (!m_first.isValid() || workDate >= m_first) && (!m_last.isValid() || workDate <= m_last);
}

void PayrollSummary::add(const PunchRecord &punch)
{
    // The split runs over every punch of the employee's whole workweeks, in clock-in order.
    if (!m_splitterUsed || !hours::sameEmployee(m_splitterEmployee, punch.userId)) {
        m_splitter->clear();
        m_splitterEmployee = punch.userId;
        m_splitterUsed = true;
    }
    const qint64 paid = pay::paidMinutes(m_rules, punch.clockIn, punch.clockOut).value_or(0);
    const pay::PaySplit split = m_splitter->add(punch.workDate, paid);
    if (!inRange(punch.workDate))
        return;

    if (m_rows.isEmpty() || !hours::sameEmployee(m_rows.constLast().userId, punch.userId)) {
        SummaryRow row;
        row.userId = punch.userId;
        row.firstName = punch.firstName;
        row.lastName = punch.lastName;
        m_rows.append(row);
        m_rate = pay::parseRate(punch.hourlyRate);
    }
    SummaryRow &row = m_rows.last();
    const qint64 minutes = punch.minutes.value_or(0);
    ++row.punches;
    row.workedMinutes += minutes;
    row.paidMinutes += paid;
    row.regularMinutes += split.regular;
    row.overtimeMinutes += split.overtime;
    // Pay from the employee's sums, so that it is rounded to the cent once.
    if (m_rate)
        row.grossPayCents = pay::grossPayCents(*m_rate, {row.regularMinutes, row.overtimeMinutes},
                                               m_rules.overtimeMultiplier);
    if (punch.open)
        ++row.openPunches;
    else if (hours::isReversed(punch.clockIn, punch.clockOut))
        ++row.reversedPunches;
    const qint64 length = punch.open ? hours::punchMinutes(punch.clockIn, m_now).value_or(0) : minutes;
    if (m_limits.isOverLong(length))
        ++row.overLongPunches;
}

SummaryRow PayrollSummary::total() const
{
    SummaryRow total;
    total.firstName = QStringLiteral("Total");
    for (const SummaryRow &row : m_rows) {
        total.punches += row.punches;
        total.workedMinutes += row.workedMinutes;
        total.paidMinutes += row.paidMinutes;
        total.openPunches += row.openPunches;
        total.overLongPunches += row.overLongPunches;
        total.reversedPunches += row.reversedPunches;
        total.regularMinutes += row.regularMinutes;
        total.overtimeMinutes += row.overtimeMinutes;
        if (row.grossPayCents)
            total.grossPayCents = total.grossPayCents.value_or(0) + *row.grossPayCents;
    }
    return total;
}

const QStringList &summaryTitles()
{
    static const QStringList titles{
        QStringLiteral("UserID Login"),   QStringLiteral("First Name"),    QStringLiteral("Last Name"),
        QStringLiteral("Punches"),        QStringLiteral("Worked Minutes"), QStringLiteral("Hours"),
        QStringLiteral("Decimal Hours"),  QStringLiteral("Paid Minutes"),  QStringLiteral("Open Punches"),
        QStringLiteral("Over-long Punches"), QStringLiteral("Reversed Punches"),
        QStringLiteral("Regular Minutes"), QStringLiteral("Overtime Minutes"), QStringLiteral("Gross Pay")};
    return titles;
}

QStringList summaryTexts(const SummaryRow &row)
{
    return {row.userId,
            row.firstName,
            row.lastName,
            count(row.punches),
            count(row.workedMinutes),
            hours::hourMinuteText(row.workedMinutes),
            hours::decimalHoursText(row.workedMinutes),
            count(row.paidMinutes),
            count(row.openPunches),
            count(row.overLongPunches),
            count(row.reversedPunches),
            count(row.regularMinutes),
            count(row.overtimeMinutes),
            row.grossPayCents ? pay::amountText(*row.grossPayCents) : QString()};
}

QList<std::pair<QString, QString>> ruleTexts(const PayRules &rules)
{
    const QMap<QString, QString> texts = PayRulesStore::textsOf(rules);
    QList<std::pair<QString, QString>> list;
    for (const QString &name : PayRulesStore::ruleNames())
        list.append({name, texts.value(name)});
    return list;
}

} // namespace reports
