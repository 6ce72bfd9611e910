#include "reports/reportwindow.h"

#include "admin/optionsmodel.h"
#include "platform/system.h"
#include "reports/daterangepanel.h"
#include "reports/reportcolumns.h"
#include "reports/printeroptionsframe.h"
#include "reports/reportoutputs.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace reports {

namespace {
using platform::twipsToPixels;

// The list's place in the client area and the room the resize rule leaves around it.
constexpr int ListLeft = 175;
constexpr int ListTop = 120;
constexpr int WidthAllowance = 350;
constexpr int HeightAllowance = 1700;
constexpr int BandGap = 60;

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
} // namespace

ReportWindow::ReportWindow(const admin::OptionsModel &options, QWidget *parent)
    : ReportWindow([&options] { return options.connectionSettings(); }, parent)
{
    m_controller->setPayrollRules([] { return PayrollRules::fromStore(); });
}

ReportWindow::ReportWindow(ReportController::ConnectionSource connection, QWidget *parent)
    : QMainWindow(parent), m_controller(new ReportController(std::move(connection), this))
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(ReportController::WindowCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    m_outputs = std::make_unique<ReportOutputs>(m_controller->model(), this);
    build();
    buildMenus();

    m_controller->setHideScreen([this] { hide(); });
    m_controller->setYield([](qint64) { QCoreApplication::processEvents(); });
    connect(m_controller, &ReportController::runningChanged, this, &ReportWindow::setRunning);
    connect(m_controller, &ReportController::progress, this,
            [this](qint64 rows) { m_progress->setFormat(QStringLiteral("%1 rows").arg(rows)); });
    connect(m_controller, &ReportController::columnsChanged, this, &ReportWindow::syncColumnChecks);
    resize(twipsToPixels(15000), twipsToPixels(8500));
}

void ReportWindow::build()
{
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    m_list = named(new QTreeView(m_client), "ListView1");
    m_list->setAccessibleName(QStringLiteral("Report"));
    m_list->setModel(&m_controller->model());
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setMinimumSectionSize(0);
    m_list->header()->setStretchLastSection(false);
    // Widths come from the model: the row-number column is 1 twip wide, out of sight.
    auto applyWidths = [this] {
        const ReportListModel &model = m_controller->model();
        for (int c = 0; c < model.columnCount(); ++c) {
            if (model.columnWidthTwips(c) > 0)
                m_list->header()->resizeSection(c, twipsToPixels(model.columnWidthTwips(c)));
        }
    };
    connect(&m_controller->model(), &QAbstractItemModel::columnsInserted, this, applyWidths);
    connect(&m_controller->model(), &QAbstractItemModel::columnsRemoved, this, applyWidths);
    connect(&m_controller->model(), &QAbstractItemModel::modelReset, this, applyWidths);
    applyWidths();

    m_band = new QWidget(m_client);
    auto *band = new QHBoxLayout(m_band);
    band->setContentsMargins(twipsToPixels(ListLeft), 0, twipsToPixels(ListLeft), 0);

    m_dateRange = new DateRangePanel(m_band);
    band->addWidget(m_dateRange, 0, Qt::AlignTop);

    auto *filtering = named(new QGroupBox(QStringLiteral("Filtering Options"), m_band), "Frame2");
    auto *filters = new QVBoxLayout(filtering);
    m_onlyWorked = named(new QRadioButton(QStringLiteral("Only Show Employees who worked"), filtering), "Option1");
    m_allEmployees = named(new QRadioButton(QStringLiteral("Show All Employees"), filtering), "Option2");
    m_onlyWorked->setChecked(true);
    filters->addWidget(m_onlyWorked);
    filters->addWidget(m_allEmployees);
    band->addWidget(filtering, 0, Qt::AlignTop);

    auto *buttons = new QGridLayout;
    m_run = named(new QPushButton(QStringLiteral("Run Report"), m_band), "Command1");
    m_print = named(new QPushButton(QStringLiteral("Print Report"), m_band), "Command2");
    m_clockedIn = named(new QPushButton(QStringLiteral("Show Clocked in Employees"), m_band), "Command14");
    m_mainMenu = named(new QPushButton(QStringLiteral("Main Menu"), m_band), "Command4");
    buttons->addWidget(m_run, 0, 0);
    buttons->addWidget(m_print, 0, 1);
    buttons->addWidget(m_clockedIn, 1, 0);
    buttons->addWidget(m_mainMenu, 1, 1);
    band->addLayout(buttons);

    auto *progressBox = new QVBoxLayout;
    m_progress = named(new QProgressBar(m_band), "ProgressRows");
    m_progress->setAccessibleName(QStringLiteral("Rows read"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(true);
    m_progress->hide();
    progressBox->addWidget(m_progress);
    progressBox->addStretch();
    band->addLayout(progressBox, 1);

    m_printerOptions = new PrinterOptionsFrame(m_client);
    m_printerOptions->setAutoFillBackground(true); // it stands over the list
    m_printerOptions->setList([this] {
        return reportListView(m_controller->model(), m_list->header(), m_list->palette().color(QPalette::Text));
    });
    connect(m_printerOptions, &PrinterOptionsFrame::printed, this, [this] {
        if (m_closeWhenDone)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });

    m_trigger = named(new QLineEdit(m_client), "Text15");
    m_trigger->hide();

    connect(m_run, &QPushButton::clicked, this, &ReportWindow::runReport);
    connect(m_print, &QPushButton::clicked, this, [this] { m_outputs->printReport(); });
    connect(m_clockedIn, &QPushButton::clicked, this, &ReportWindow::showClockedIn);
    connect(m_mainMenu, &QPushButton::clicked, this, [this] { m_controller->mainMenu(); });
    connect(m_trigger, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            return;
        show();
        raise();
        activateWindow();
        showClockedIn();
    });
}

void ReportWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    QAction *mainMenu = file->addAction(QStringLiteral("Main Menu"));
    mainMenu->setObjectName(QStringLiteral("MainMenu"));
    connect(mainMenu, &QAction::triggered, this, [this] { m_controller->mainMenu(); });
    QAction *exportReport = file->addAction(QStringLiteral("Export Report"));
    exportReport->setObjectName(QStringLiteral("ExportReport"));
    connect(exportReport, &QAction::triggered, this, [this] { m_outputs->exportReport(); });
    QAction *printOptions = file->addAction(QStringLiteral("Print Options"));
    printOptions->setObjectName(QStringLiteral("PrintReport"));
    m_runAction = file->addAction(QStringLiteral("Run Report"));
    m_runAction->setObjectName(QStringLiteral("RunReport"));
    connect(m_runAction, &QAction::triggered, this, &ReportWindow::runReport);
    QAction *saveReport = file->addAction(QStringLiteral("Save Report"));
    saveReport->setObjectName(QStringLiteral("SaveReport"));
    connect(saveReport, &QAction::triggered, this, [this] { m_outputs->saveReport(); });
    connect(printOptions, &QAction::triggered, this, &ReportWindow::showPrinterOptions);
    m_outputActions = {exportReport, saveReport};

    m_columnsMenu = menuBar()->addMenu(QStringLiteral("Columns"));
    m_columnsMenu->setObjectName(QStringLiteral("Columns"));
    const QList<ReportColumn> &columns = reportColumns();
    for (qsizetype i = 0; i < columns.size(); ++i) {
        QAction *entry = m_columnsMenu->addAction(columns[i].menuCaption());
        entry->setObjectName(columns[i].menuObjectName());
        entry->setCheckable(true);
        connect(entry, &QAction::triggered, this, [this, i] {
            m_controller->toggleColumn(int(i));
            syncColumnChecks();
        });
        m_columnActions << entry;
    }

    QMenu *filtering = menuBar()->addMenu(QStringLiteral("Filtering"));
    filtering->setObjectName(QStringLiteral("Filtering"));

    // The payroll lists of the date range shown, and the pay period of its first date.
    m_payrollMenu = menuBar()->addMenu(QStringLiteral("Payroll"));
    m_payrollMenu->setObjectName(QStringLiteral("PayrollMenu"));
    const std::pair<const char *, const char *> payroll[] = {{"PayrollSummary", "Payroll Summary"},
                                                             {"Exceptions", "Exceptions"},
                                                             {"ClosePayPeriod", "Close Pay Period"},
                                                             {"ReopenPayPeriod", "Reopen Pay Period"}};
    for (const auto &[name, caption] : payroll) {
        QAction *entry = m_payrollMenu->addAction(QLatin1String(caption));
        entry->setObjectName(QLatin1String(name));
        m_payrollActions << entry;
    }
    connect(m_payrollActions[0], &QAction::triggered, this,
            [this] { m_controller->showPayrollSummary(m_dateRange->range(1), m_dateRange->range(2)); });
    connect(m_payrollActions[1], &QAction::triggered, this,
            [this] { m_controller->showExceptions(m_dateRange->range(1), m_dateRange->range(2)); });
    connect(m_payrollActions[2], &QAction::triggered, this,
            [this] { m_controller->closePayPeriod(m_dateRange->range(1)); });
    connect(m_payrollActions[3], &QAction::triggered, this,
            [this] { m_controller->reopenPayPeriod(m_dateRange->range(1)); });

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    QAction *about = help->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("About"));
    connect(about, &QAction::triggered, this, [this] { m_controller->about(); });
    QAction *helpPage = help->addAction(QStringLiteral("Help"));
    helpPage->setObjectName(QStringLiteral("Help"));
    connect(helpPage, &QAction::triggered, this, [this] { m_controller->help(); });
}

bool ReportWindow::open()
{
    m_dateRange->restore();
    if (!m_controller->open())
        return false;
    syncColumnChecks();
    show();
    raise();
    activateWindow();
    return true;
}

void ReportWindow::setClockedInTrigger(const QString &text)
{
    m_trigger->setText(text);
}

QString ReportWindow::clockedInTrigger() const
{
    return m_trigger->text();
}

ReportWindow::~ReportWindow() = default;

void ReportWindow::runReport()
{
    const Filter filter = m_allEmployees->isChecked() ? Filter::AllEmployees : Filter::OnlyWorked;
    m_controller->runReport(filter, m_dateRange->range(1), m_dateRange->range(2));
}

void ReportWindow::showClockedIn()
{
    m_controller->showClockedIn();
}

void ReportWindow::setRunning(bool running)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_run, m_clockedIn, m_print})
        w->setEnabled(!running);
    m_runAction->setEnabled(!running);
    for (QAction *output : m_outputActions)
        output->setEnabled(!running);
    m_printerOptions->setEnabled(!running);
    m_columnsMenu->setEnabled(!running);
    for (QAction *entry : std::as_const(m_payrollActions))
        entry->setEnabled(!running);
    m_progress->setFormat(QStringLiteral("0 rows"));
    m_progress->setVisible(running);
    if (!running && m_closeWhenDone)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void ReportWindow::syncColumnChecks()
{
    for (qsizetype i = 0; i < m_columnActions.size(); ++i)
        m_columnActions[i]->setChecked(m_controller->isColumnShown(int(i)));
}

std::optional<QSize> ReportWindow::listSizeFor(const QSize &client)
{
    const QSize size(client.width() - twipsToPixels(WidthAllowance), client.height() - twipsToPixels(HeightAllowance));
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    return size;
}

void ReportWindow::layoutClient()
{
    // A size the list cannot take (a minimised or tiny window) leaves its last one.
    if (const auto size = listSizeFor(m_client->size()))
        m_list->setGeometry(QRect(QPoint(twipsToPixels(ListLeft), twipsToPixels(ListTop)), *size));
    const int bandTop = m_list->geometry().bottom() + 1 + twipsToPixels(BandGap);
    m_band->setGeometry(0, bandTop, m_client->width(), qMax(0, m_client->height() - bandTop));
    // The printer options stand over the list's top right corner while shown.
    m_printerOptions->adjustSize();
    m_printerOptions->move(qMax(0, m_list->geometry().right() - m_printerOptions->width()), m_list->y());
}

void ReportWindow::showPrinterOptions()
{
    layoutClient();
    m_printerOptions->show();
    m_printerOptions->raise();
}

bool ReportWindow::isBusy() const
{
    return m_controller->isRunning() || m_printerOptions->printing().isPrinting();
}

bool ReportWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        layoutClient();
    return QMainWindow::eventFilter(watched, event);
}

void ReportWindow::closeEvent(QCloseEvent *event)
{
    m_controller->closed();
    if (isBusy()) {
        // A running fill or print is still using this window: hide now, close once it has ended.
        m_closeWhenDone = true;
        hide();
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace reports
