#pragma once

#include "reports/reportcontroller.h"

#include <QList>
#include <QMainWindow>

#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace admin {
class OptionsModel;
}

namespace reports {

class DateRangePanel;
class ReportOutputs;
class PrinterOptionsFrame;

// The report screen (Form4, "Reports"): the report list ListView1 over the controller's
// model, the date range panel, the buttons, the filter choice, the File, Columns, Filtering,
// Payroll and Help menus, and the hidden trigger field Text15 of the clocked-in view. While the
// list fills, the entries that would start a second run are disabled and a progress bar
// counts the rows.
//
// "Main Menu" only hides it, so it keeps its state; closing it through its window deletes
// it (WA_DeleteOnClose, put off until a running fill ends), so hold it in a QPointer and
// build it afresh next time.
class ReportWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ReportWindow(const admin::OptionsModel &options, QWidget *parent = nullptr);
    explicit ReportWindow(ReportController::ConnectionSource connection, QWidget *parent = nullptr);
    ~ReportWindow() override;

    ReportController &controller() { return *m_controller; }
    DateRangePanel &dateRange() { return *m_dateRange; }
    // Export to the clipboard and to a file, and the page for the print utility.
    ReportOutputs &outputs() { return *m_outputs; }

    // Opens the screen: date ranges, columns, database; shows it when that worked.
    bool open();
    // Writes the trigger field: any new text shows the screen and runs the clocked-in view.
    void setClockedInTrigger(const QString &text);
    QString clockedInTrigger() const;

    // The list's geometry by the resize rule for a client area of this size, in pixels:
    // width less 350 twips, height less 1700 twips; nullopt for a size it cannot take.
    static std::optional<QSize> listSizeFor(const QSize &client);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void buildMenus();
    void layoutClient();
    void runReport();
    void showClockedIn();
    void setRunning(bool running);
    // A fill or a print is using the list.
    bool isBusy() const;
    void showPrinterOptions();
    void syncColumnChecks();

    ReportController *m_controller = nullptr;
    QWidget *m_client = nullptr;
    QTreeView *m_list = nullptr;
    QWidget *m_band = nullptr;
    DateRangePanel *m_dateRange = nullptr;
    QPushButton *m_run = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_clockedIn = nullptr;
    QPushButton *m_mainMenu = nullptr;
    QRadioButton *m_onlyWorked = nullptr;
    QRadioButton *m_allEmployees = nullptr;
    QLineEdit *m_trigger = nullptr;
    QProgressBar *m_progress = nullptr;
    QMenu *m_columnsMenu = nullptr;
    QAction *m_runAction = nullptr;
    // Reading the list while a fill runs would give half a report.
    QList<QAction *> m_outputActions;
    std::unique_ptr<ReportOutputs> m_outputs;
    PrinterOptionsFrame *m_printerOptions = nullptr;
    QList<QAction *> m_columnActions;
    QMenu *m_payrollMenu = nullptr;
    QList<QAction *> m_payrollActions;
    bool m_closeWhenDone = false;
};

} // namespace reports
