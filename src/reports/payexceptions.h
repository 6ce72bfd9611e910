#pragma once

#include "data/database.h"
#include "reports/payrules.h"
#include "reports/reportengine.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace reports {

// The kinds of exception the list names.
namespace exceptionkinds {
inline const QString OpenTooLong = QStringLiteral("Open too long");
inline const QString Reversed = QStringLiteral("Clock-out before clock-in");
inline const QString TimeAlone = QStringLiteral("Time without a date");
inline const QString NoEmployee = QStringLiteral("No such employee");
inline const QString ClosedPeriod = QStringLiteral("In a closed period");
inline const QString RateNotANumber = QStringLiteral("Rate not a number");
inline const QString RefusedOnReplay = QStringLiteral("Refused on replay");
} // namespace exceptionkinds

// One thing of a range that needs a person's look: a punch (its times as stored, on the
// wall clock; the clock-out invalid while open), or an employee without a punch's times.
struct PayException {
    QString kind;
    QString userId;
    QString firstName;
    QString lastName;
    QDate workDate;
    QDateTime clockIn;
    QDateTime clockOut;
    QString detail;

    bool operator==(const PayException &) const = default;
};

// The exceptions of a range of work dates, read from the database:
// - a punch open longer than the over-long limit (up to now, an instant);
// - a closed punch whose clock-out comes before its clock-in;
// - a punch whose clock-in or clock-out is a time without a date (the report leaves it out);
// - a punch keyed for a user ID that no employee has;
// - a punch in a closed pay period that came in after the period was closed (clocked in or
//   out after that, still open, or sent from a station's queue after that);
// - an employee with punches in the range whose hourly rate is given but is not a number;
// - a punch a station kept while the database was away that the database refused when it
//   was sent, dated by its own time, with the reason (from AuditTable; none without it).
// Only reads. Ordered by user ID (without case) and work date, the kinds of one punch in the
// order above.
class PayExceptionList
{
public:
    PayExceptionList(std::shared_ptr<data::Database> db, const PayRules &rules, const QDateTime &now);

    data::DbError read(const QDate &first, const QDate &last, QList<PayException> *exceptions,
                       const ReportEngine::Yield &yield = {});

    // Every punch of the range, the ones with a time alone too. Two bound values: the first
    // and the last day.
    static QString allPunchesStatement(data::Engine engine);

private:
    std::shared_ptr<data::Database> m_db;
    PayRules m_rules;
    QDateTime m_now;
};

// The list's column titles, and the texts of one exception under them (times in the
// station's general date form).
const QStringList &exceptionTitles();
QStringList exceptionTexts(const PayException &exception);

} // namespace reports
