#pragma once

#include <QPointer>
#include <QString>

#include <optional>

class QWidget;

namespace reports {

class FormFile;
class ReportListModel;

// The ways a report leaves the report screen as text: to the clipboard, appended to a text
// file, or as a page for the print utility. The report window keeps one of these for its
// report list and calls one method per menu entry or button; each reads the list as it is
// at that moment.
//
//   File > "Export Report"  -> exportReport()
//   File > "Save Report"    -> saveReport()
//   "Print Report"          -> printReport()
//
// A call made while another of them is still running (for example from a nested event loop)
// does nothing.
class ReportOutputs
{
public:
    static const QString ExportedMessage;
    static const QString SavedMessage;
    static const QString PageFileName;
    static const QString PrintUtility;
    static const QString PrintFailedMessage;
    static const QString SavedAsPdfMessage;

    // The model is read, never changed, and must outlive this object. dialogParent is the
    // window that owns the file chooser and over which the messages show (the main menu
    // window owns the chooser); without one they are top-level windows of their own.
    explicit ReportOutputs(const ReportListModel &model, QWidget *dialogParent = nullptr);
    ~ReportOutputs();
    ReportOutputs(const ReportOutputs &) = delete;
    ReportOutputs &operator=(const ReportOutputs &) = delete;

    // Puts the report text on the clipboard and says so. An empty list does nothing.
    void exportReport();

    // Asks the file chooser for a path and appends the report text to that file, trimmed
    // and followed by CR LF, then says "Complete". An empty list does nothing; a cancelled
    // chooser does nothing more; a file that cannot be opened or written is reported with
    // its path and the reason, and nothing is said to be complete.
    void saveReport();

    // Replaces ktly.htm in the program folder with the report page and starts the print
    // utility from the program folder without waiting for it. A page that could not be
    // written is not handed to the utility, and a utility that cannot be started says
    // nothing; when the utility ends, a failure is shown with its reason, and a page it
    // saved as a PDF file (no printer installed) with the file's path.
    void printReport();

    // What the user is told when the print utility has ended with this exit code, standard
    // output and standard error: nothing when it printed on a printer.
    static std::optional<QString> printOutcome(int exitCode, const QString &output, const QString &errors);

    // The one file chooser, built on first use and kept (hidden) between uses.
    FormFile &fileChooser();

    // The page file and the print utility, both in the program folder.
    static QString pagePath();
    static QString printUtilityPath();

private:
    const ReportListModel &m_model;
    QPointer<QWidget> m_dialogParent;
    QPointer<FormFile> m_chooser;
    bool m_busy = false;
};

} // namespace reports
