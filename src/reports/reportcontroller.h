#pragma once

#include "data/database.h"
#include "reports/daterange.h"
#include "reports/payrules.h"
#include "reports/reportengine.h"
#include "reports/reportlistmodel.h"
#include "tableprint/tableengine.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace reports {

// The report screen's logic apart from its window: the report list and its column set
// with the "Columns" settings, Run Report with its date checks, the clocked-in view, and
// the ways back to the main menu, and the payroll lists: the summary and the exceptions of
// the date range, and closing and reopening the pay period that holds its first date. Only
// one run fills the list at a time: while one runs, a second run, the clocked-in view, the
// payroll lists, the pay period changes and column changes are refused.
//
// The payroll lists bring their own column titles into the list while it holds them; Run
// Report and the clocked-in view bring back the report's columns as the Columns menu set
// them, in their order.
class ReportController : public QObject
{
    Q_OBJECT

public:
    using ConnectionSource = std::function<data::ConnectionSettings()>;
    // Runs between batches of rows while the list fills (by default: pending events).
    using Yield = std::function<void(qint64 rows)>;

    static const QString WindowCaption;
    static const QString HelpAddress;
    // "Chronotally 2.1": the About box's title and first line.
    static QString aboutTitle();

    explicit ReportController(ConnectionSource connection, QObject *parent = nullptr);

    ReportListModel &model() { return m_model; }
    // The screen's own table printing engine, made when the screen opens; it can be filled
    // from the list with ImportListView.
    tableprint::Class1 *tableEngine() { return m_table.get(); }
    const ReportListModel &model() const { return m_model; }

    // Opening: the row-number column, the shown columns in their restoration order, the
    // database. False when the database cannot be opened; the user has been told.
    bool open();

    // Columns, by position in reportColumns().
    bool isColumnShown(int column) const { return m_shown.value(column); }
    // Turns a column on (appended at the right end) or off, writes "True"/"False" and
    // empties the rows. Refused (false) while the list fills.
    bool toggleColumn(int column);

    bool isRunning() const { return m_running; }
    // Run Report for the two ranges as typed. False when refused (a run is filling) or
    // when either date is not valid (the user has been told).
    bool runReport(Filter filter, const Fields &range1, const Fields &range2);
    // The clocked-in view. False when refused.
    bool showClockedIn();

    // What the list holds, by its columns.
    enum class ListKind { Report, PayrollSummary, Exceptions };
    ListKind listKind() const { return m_listKind; }
    // The payroll summary of the range as typed: one line per employee and the total line.
    // False when refused or when a date is not valid (the user has been told).
    bool showPayrollSummary(const Fields &range1, const Fields &range2);
    // The exceptions of the range as typed. False when refused or when a date is not valid.
    bool showExceptions(const Fields &range1, const Fields &range2);
    // Closes or reopens the pay period that holds the first date, in the administrator's
    // name; the user is told what came of it. False when refused, not valid or not done.
    bool closePayPeriod(const Fields &range1);
    bool reopenPayPeriod(const Fields &range1);
    // The user ID of the administrator at the station, for the audit trail.
    void setAdministratorSource(std::function<QString()> source) { m_administrator = std::move(source); }

    void setYield(Yield yield) { m_yield = std::move(yield); }
    // The payroll options the clocked-in view flags over-long punches by (read at every
    // view; the defaults when unset).
    void setPayrollRules(std::function<PayrollRules()> rules) { m_rules = std::move(rules); }
    void setReturnToMainMenu(std::function<void()> f) { m_returnToMainMenu = std::move(f); }
    void setShowMainMenu(std::function<void()> f) { m_showMainMenu = std::move(f); }
    void setHideScreen(std::function<void()> f) { m_hideScreen = std::move(f); }

    // "Main Menu": the main menu shown with its refresh, this screen hidden.
    void mainMenu();
    // The window was closed: the main menu is shown, without its refresh.
    void closed();
    void about();
    void help();

Q_SIGNALS:
    void runningChanged(bool running);
    void progress(qint64 rows);
    void columnsChanged();

private:
    // The two dates of a range as typed; nullopt (the user has been told) when either is not
    // valid.
    std::optional<std::pair<QDate, QDate>> dates(const Fields &range1, const Fields &range2) const;
    // Puts the report's columns back, or a payroll list's titles in their place.
    void showReportColumns();
    void showListColumns(ListKind kind, const QStringList &titles);
    // What a payroll list is made from: the connection, the table's rules, the range and the
    // yield between rows.
    struct PayWork {
        std::shared_ptr<data::Database> db;
        PayRules rules;
        QDate first;
        QDate last;
        ReportEngine::Yield yield;
    };
    using PayListProducer = std::function<data::DbError(const PayWork &work, QList<QStringList> *lines)>;
    // Fills the list with one payroll list of the range under its own titles, read with the
    // table's rules while the screen stays responsive.
    bool showPayList(ListKind kind, const QStringList &titles, const Fields &range1, const Fields &range2,
                     const PayListProducer &produce);
    // Runs work that reads the database with the list refused to other runs, as fill does.
    data::DbError busy(const std::function<data::DbError(const ReportEngine::Yield &)> &work);
    bool changePeriod(const Fields &range1, bool close);

    bool fill(const std::function<data::DbError(ReportEngine &, const ReportEngine::Sink &,
                                                const ReportEngine::Yield &)> &run);

    ConnectionSource m_connection;
    ReportListModel m_model;
    std::unique_ptr<tableprint::Class1> m_table;
    QList<bool> m_shown;
    bool m_running = false;
    Yield m_yield;
    std::function<PayrollRules()> m_rules;
    std::function<void()> m_returnToMainMenu;
    std::function<void()> m_showMainMenu;
    std::function<void()> m_hideScreen;
    std::function<QString()> m_administrator;
    ListKind m_listKind = ListKind::Report;
    // The report's column titles while a payroll list holds the list.
    QStringList m_reportTitles;
};

} // namespace reports
