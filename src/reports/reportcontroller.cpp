#include "reports/reportcontroller.h"

#include "data/needsdatabase.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "reports/backgroundread.h"
#include "reports/paycalc.h"
#include "reports/payexceptions.h"
#include "reports/payrulesstore.h"
#include "reports/reportcolumns.h"
#include "settings/keys.h"
#include "product.h"

#include <QCoreApplication>
#include <QUrl>

namespace reports {

using platform::MessageBox;

const QString ReportController::WindowCaption = QStringLiteral("Reports");
const QString ReportController::HelpAddress = QStringLiteral("https://www.chronotally.example/help/reports");

QString ReportController::aboutTitle()
{
    return product::nameAndVersion();
}

ReportController::ReportController(ConnectionSource connection, QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_shown(reportColumns().size(), false),
      m_yield([](qint64) { QCoreApplication::processEvents(); })
{
}

bool ReportController::open()
{
    m_table = std::make_unique<tableprint::Class1>();
    for (int column : restorationOrder()) {
        const settings::Key key = reportColumns()[column].settingsKey();
        if (settings::menuCheck(settings::read(key), true) && !m_shown[column])
            toggleColumn(column);
    }
    const auto db = data::Database::open(m_connection ? m_connection() : data::ConnectionSettings());
    if (db->openError()) {
        MessageBox::ok(data::openFailureText(db->openError()), MessageBox::applicationTitle());
        return false;
    }
    return true;
}

bool ReportController::toggleColumn(int column)
{
    if (m_running || column < 0 || column >= m_shown.size())
        return false;
    showReportColumns();
    const ReportColumn &c = reportColumns()[column];
    if (m_shown[column]) {
        const int position = m_model.columnByTitle(c.columnTitle());
        if (position > 0)
            m_model.removeColumns(position - 1, 1);
        m_shown[column] = false;
    } else {
        m_model.appendColumn(c.columnTitle());
        m_shown[column] = true;
    }
    settings::write(c.settingsKey(), m_shown[column] ? QStringLiteral("True") : QStringLiteral("False"));
    m_model.clearRows();
    Q_EMIT columnsChanged();
    return true;
}

bool ReportController::fill(const std::function<data::DbError(ReportEngine &, const ReportEngine::Sink &,
                                                              const ReportEngine::Yield &)> &run)
{
    m_running = true;
    Q_EMIT runningChanged(true);
    const data::DbError error = readInBackground(
        m_connection ? m_connection() : data::ConnectionSettings(),
        [&run](ReportEngine &engine, const ReportEngine::Sink &sink) { return run(engine, sink, {}); },
        [this](const QList<ReportRow> &rows) { m_model.appendRows(rows); },
        [this](qint64 rows) {
            Q_EMIT progress(rows);
            if (m_yield)
                m_yield(rows);
        });
    m_running = false;
    Q_EMIT runningChanged(false);
    if (error)
        MessageBox::ok(data::openFailureText(error), MessageBox::applicationTitle());
    return true;
}

bool ReportController::runReport(Filter filter, const Fields &range1, const Fields &range2)
{
    if (m_running)
        return false;
    m_model.clearRows();
    const auto first = ReportEngine::composeDate(range1.month, range1.day, range1.year);
    const auto last = ReportEngine::composeDate(range2.month, range2.day, range2.year);
    if (!first || !last) {
        MessageBox::ok(ReportEngine::DateRangeMessage, QString());
        return false;
    }
    ReportEngine::saveRange(ReportEngine::storedText(range1.month, range1.day, range1.year),
                            ReportEngine::storedText(range2.month, range2.day, range2.year));
    showReportColumns();
    return fill([&](ReportEngine &engine, const ReportEngine::Sink &sink, const ReportEngine::Yield &yield) {
        return engine.runReport(filter, *first, *last, sink, yield);
    });
}

bool ReportController::showClockedIn()
{
    if (m_running)
        return false;
    m_model.clearRows();
    showReportColumns();
    const PayrollRules rules = m_rules ? m_rules() : PayrollRules();
    const QDateTime now = platform::Clock::now();
    return fill([&](ReportEngine &engine, const ReportEngine::Sink &sink, const ReportEngine::Yield &yield) {
        return engine.clockedIn(rules, now, sink, yield);
    });
}

std::optional<std::pair<QDate, QDate>> ReportController::dates(const Fields &range1, const Fields &range2) const
{
    const auto first = ReportEngine::composeDate(range1.month, range1.day, range1.year);
    const auto last = ReportEngine::composeDate(range2.month, range2.day, range2.year);
    if (!first || !last) {
        MessageBox::ok(ReportEngine::DateRangeMessage, QString());
        return std::nullopt;
    }
    return std::pair{*first, *last};
}

void ReportController::showReportColumns()
{
    if (m_listKind == ListKind::Report)
        return;
    showListColumns(ListKind::Report, m_reportTitles);
    m_reportTitles.clear();
}

void ReportController::showListColumns(ListKind kind, const QStringList &titles)
{
    if (m_listKind == ListKind::Report && kind != ListKind::Report)
        m_reportTitles = m_model.titles().mid(1);
    m_model.clearRows();
    if (m_model.columnCount() > 1)
        m_model.removeColumns(1, m_model.columnCount() - 1);
    for (const QString &title : titles)
        m_model.appendColumn(title);
    m_listKind = kind;
}

data::DbError ReportController::busy(const std::function<data::DbError(const ReportEngine::Yield &)> &work)
{
    m_running = true;
    Q_EMIT runningChanged(true);
    const data::DbError error = work([this](qint64 rows) {
        Q_EMIT progress(rows);
        if (m_yield)
            m_yield(rows);
    });
    m_running = false;
    Q_EMIT runningChanged(false);
    if (error)
        MessageBox::ok(error.description, MessageBox::applicationTitle());
    return error;
}

bool ReportController::showPayrollSummary(const Fields &range1, const Fields &range2)
{
    return showPayList(ListKind::PayrollSummary, summaryTitles(), range1, range2,
                       [](const PayWork &work, QList<QStringList> *lines) {
                           PayrollSummary summary(work.rules, platform::Clock::now(), work.first, work.last);
                           const data::DbError failure =
                               ReportEngine(work.db).summarise(summary, work.first, work.last, {}, work.yield);
                           for (const SummaryRow &row : summary.rows())
                               *lines << summaryTexts(row);
                           *lines << summaryTexts(summary.total());
                           return failure;
                       });
}

bool ReportController::showExceptions(const Fields &range1, const Fields &range2)
{
    return showPayList(ListKind::Exceptions, exceptionTitles(), range1, range2,
                       [](const PayWork &work, QList<QStringList> *lines) {
                           QList<PayException> exceptions;
                           const data::DbError failure = PayExceptionList(work.db, work.rules, platform::Clock::now())
                                                             .read(work.first, work.last, &exceptions, work.yield);
                           for (const PayException &exception : exceptions)
                               *lines << exceptionTexts(exception);
                           return failure;
                       });
}

bool ReportController::showPayList(ListKind kind, const QStringList &titles, const Fields &range1,
                                   const Fields &range2, const PayListProducer &produce)
{
    if (m_running)
        return false;
    m_model.clearRows();
    const auto range = dates(range1, range2);
    if (!range)
        return false;
    QList<QStringList> lines;
    const data::DbError error = busy([&](const ReportEngine::Yield &yield) {
        const auto db = data::Database::current();
        data::DbError failure;
        const PayRules rules = PayRulesStore(db).read(&failure);
        if (failure)
            return failure;
        return produce(PayWork{db, rules, range->first, range->second, yield}, &lines);
    });
    showListColumns(kind, titles);
    if (error)
        return false;
    for (qsizetype i = 0; i < lines.size(); ++i)
        m_model.appendRow(QStringList{QString::number(i + 1)} + lines[i]);
    return true;
}

bool ReportController::closePayPeriod(const Fields &range1)
{
    return changePeriod(range1, true);
}

bool ReportController::reopenPayPeriod(const Fields &range1)
{
    return changePeriod(range1, false);
}

bool ReportController::changePeriod(const Fields &range1, bool close)
{
    if (m_running)
        return false;
    const auto first = ReportEngine::composeDate(range1.month, range1.day, range1.year);
    if (!first) {
        MessageBox::ok(ReportEngine::DateRangeMessage, QString());
        return false;
    }
    PayRulesStore store(data::Database::current());
    data::DbError error;
    const PayRules rules = store.read(&error);
    if (error) {
        MessageBox::ok(error.description, MessageBox::applicationTitle());
        return false;
    }
    const PayPeriod period = pay::periodHolding(*first, rules);
    const QString administrator = m_administrator ? m_administrator() : QString();
    const PayChange change = close ? store.close(period, administrator) : store.reopen(period, administrator);
    if (!change.refusal.isEmpty()) {
        MessageBox::ok(change.refusal, MessageBox::applicationTitle());
        return false;
    }
    if (change.error) {
        MessageBox::ok(change.error.description, MessageBox::applicationTitle());
        return false;
    }
    MessageBox::ok(QStringLiteral("The pay period from %1 to %2 is %3.")
                       .arg(regional::shortDate(period.first), regional::shortDate(period.last),
                            close ? QStringLiteral("closed") : QStringLiteral("open again")),
                   MessageBox::applicationTitle());
    return true;
}

void ReportController::mainMenu()
{
    if (m_returnToMainMenu)
        m_returnToMainMenu();
    if (m_hideScreen)
        m_hideScreen();
}

void ReportController::closed()
{
    if (m_showMainMenu)
        m_showMainMenu();
}

void ReportController::about()
{
    MessageBox::ok(aboutTitle(), aboutTitle());
}

void ReportController::help()
{
    platform::Browser::open(QUrl(HelpAddress));
}

} // namespace reports
