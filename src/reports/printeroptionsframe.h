#pragma once

#include "reports/reportprinting.h"

#include <QGroupBox>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;

namespace reports {

// The "Printer Options" frame (Frame1) of the report screen: the installed printers in an
// editable list (Combo1), "Print the Column Headers" (Check1), the number of copies
// (Label4, Text10), "Print" (Command9) and "Hide" (Command10). It fills itself from the
// system's printers and the settings when built and writes each setting when its control
// changes. The column-headers box and the copies are only remembered: the print always
// carries the titles and leaves the copies to the printer.
//
// It starts hidden: the screen shows it from File, "Print Options", and gives it the list
// to print with setList. While a print runs, a progress dialog shows the page and can stop
// it, and "Print" is disabled.
class PrinterOptionsFrame : public QGroupBox
{
    Q_OBJECT

public:
    explicit PrinterOptionsFrame(QWidget *parent = nullptr);

    // Gives the list to print at the moment "Print" is pressed (see reportListView).
    void setList(std::function<tableprint::ListView()> list) { m_list = std::move(list); }
    ReportPrinting &printing() { return m_printing; }

    // What "Print" does.
    ReportPrinting::Result print();

Q_SIGNALS:
    void printed(reports::ReportPrinting::Result result);

private:
    bool showProgress(int page, int pages);

    QComboBox *m_printer = nullptr;
    QCheckBox *m_headers = nullptr;
    QLabel *m_copiesLabel = nullptr;
    QLineEdit *m_copies = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_hide = nullptr;
    QProgressDialog *m_progress = nullptr;
    std::function<tableprint::ListView()> m_list;
    ReportPrinting m_printing;
};

} // namespace reports
