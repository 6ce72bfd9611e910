#include "reports/printeroptionsframe.h"

#include "settings/keys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>

namespace reports {

namespace {
template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
} // namespace

PrinterOptionsFrame::PrinterOptionsFrame(QWidget *parent)
    : QGroupBox(QStringLiteral("Printer Options"), parent)
{
    setObjectName(QStringLiteral("Frame1"));
    // Hidden until File, "Print Options" shows it.
    hide();
    m_printer = named(new QComboBox(this), "Combo1");
    m_printer->setEditable(true);
    m_printer->setInsertPolicy(QComboBox::NoInsert);
    m_printer->setAccessibleName(QStringLiteral("Printer"));
    m_headers = named(new QCheckBox(QStringLiteral("Print the Column Headers"), this), "Check1");
    m_copiesLabel = named(new QLabel(QStringLiteral("Number of Copies to Print"), this), "Label4");
    m_copies = named(new QLineEdit(this), "Text10");
    m_copies->setAccessibleName(m_copiesLabel->text());
    m_copiesLabel->setBuddy(m_copies);
    m_print = named(new QPushButton(QStringLiteral("Print"), this), "Command9");
    m_hide = named(new QPushButton(QStringLiteral("Hide"), this), "Command10");

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_printer, 0, 0, 1, 2);
    grid->addWidget(m_headers, 1, 0, 1, 2);
    grid->addWidget(m_copiesLabel, 2, 0);
    grid->addWidget(m_copies, 2, 1);
    grid->addWidget(m_print, 3, 0);
    grid->addWidget(m_hide, 3, 1);

    m_printer->addItems(ReportPrinting::installedPrinters());
    m_printer->setEditText(settings::read(settings::keys::PrinterSelected));
    // A stored text that is not a number leaves the box at its default, ticked.
    const auto state = settings::checkState(settings::read(settings::keys::PrinterColumn));
    m_headers->setChecked(state ? *state != 0 : true);
    m_copies->setText(settings::read(settings::keys::PrinterCopies));

    connect(m_printer, &QComboBox::editTextChanged, this,
            [](const QString &text) { settings::write(settings::keys::PrinterSelected, text); });
    connect(m_headers, &QCheckBox::toggled, this,
            [](bool on) { settings::write(settings::keys::PrinterColumn, on ? QStringLiteral("1") : QStringLiteral("0")); });
    connect(m_copies, &QLineEdit::textChanged, this,
            [](const QString &text) { settings::write(settings::keys::PrinterCopies, text); });
    connect(m_print, &QPushButton::clicked, this, [this] { print(); });
    connect(m_hide, &QPushButton::clicked, this, &QWidget::hide);

    m_printing.setProgress([this](int page, int pages) { return showProgress(page, pages); });
}

ReportPrinting::Result PrinterOptionsFrame::print()
{
    if (m_printing.isPrinting())
        return ReportPrinting::Result::Busy;
    const tableprint::ListView list = m_list ? m_list() : tableprint::ListView();
    m_print->setEnabled(false);
    const ReportPrinting::Result result = m_printing.print(m_printer->currentText(), list);
    delete m_progress;
    m_progress = nullptr;
    m_print->setEnabled(true);
    Q_EMIT printed(result);
    return result;
}

bool PrinterOptionsFrame::showProgress(int page, int pages)
{
    if (!m_progress) {
        m_progress = new QProgressDialog(window());
        m_progress->setObjectName(QStringLiteral("PrintProgress"));
        m_progress->setWindowTitle(QStringLiteral("Print"));
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(0);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setRange(0, pages);
    }
    m_progress->setLabelText(QStringLiteral("Printing page %1 of %2").arg(page).arg(pages));
    m_progress->setValue(page - 1);
    QCoreApplication::processEvents();
    return !m_progress->wasCanceled();
}

} // namespace reports
