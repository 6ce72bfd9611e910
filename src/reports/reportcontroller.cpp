#include "reports/reportcontroller.h"

#include "data/needsdatabase.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
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
    ReportEngine engine(data::Database::current());
    const data::DbError error = run(
        engine, [this](const QList<ReportRow> &rows) { m_model.appendRows(rows); },
        [this](qint64 rows) {
            Q_EMIT progress(rows);
            if (m_yield)
                m_yield(rows);
        });
    m_running = false;
    Q_EMIT runningChanged(false);
    if (error)
        MessageBox::ok(error.description, MessageBox::applicationTitle());
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
    return fill([&](ReportEngine &engine, const ReportEngine::Sink &sink, const ReportEngine::Yield &yield) {
        return engine.runReport(filter, *first, *last, sink, yield);
    });
}

bool ReportController::showClockedIn()
{
    if (m_running)
        return false;
    m_model.clearRows();
    const PayrollRules rules = m_rules ? m_rules() : PayrollRules();
    const QDateTime now = platform::Clock::now();
    return fill([&](ReportEngine &engine, const ReportEngine::Sink &sink, const ReportEngine::Yield &yield) {
        return engine.clockedIn(rules, now, sink, yield);
    });
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
