#include "reports/reportoutputs.h"

#include "platform/clipboard.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/system.h"
#include "reports/formfile.h"
#include "reports/reportlistmodel.h"
#include "reports/reporttext.h"

#include <QDir>
#include <QFile>

namespace reports {

const QString ReportOutputs::ExportedMessage = QStringLiteral(
    "Export to Clipboard Complete, The Data can be pasted into other windows applications with a Ctrl-V");
const QString ReportOutputs::SavedMessage = QStringLiteral("Complete");
const QString ReportOutputs::PageFileName = QStringLiteral("ktly.htm");
const QString ReportOutputs::PrintUtility = QStringLiteral("vadivovid");
const QString ReportOutputs::PrintFailedMessage = QStringLiteral("The report could not be printed: %1");
const QString ReportOutputs::SavedAsPdfMessage =
    QStringLiteral("No printer is installed: the report was saved as %1");

namespace {

// Marks an output as running for as long as it lives.
class Busy
{
public:
    explicit Busy(bool &flag) : m_flag(flag) { m_flag = true; }
    ~Busy() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

ReportOutputs::ReportOutputs(const ReportListModel &model, QWidget *dialogParent)
    : m_model(model), m_dialogParent(dialogParent)
{
}

ReportOutputs::~ReportOutputs()
{
    delete m_chooser.data();
}

FormFile &ReportOutputs::fileChooser()
{
    if (!m_chooser)
        m_chooser = new FormFile(m_dialogParent);
    return *m_chooser;
}

QString ReportOutputs::pagePath()
{
    return platform::pageFolder() + platform::separator() + PageFileName;
}

QString ReportOutputs::printUtilityPath()
{
    return platform::programFolder() + platform::separator() + platform::executableName(PrintUtility);
}

void ReportOutputs::exportReport()
{
    if (m_busy || m_model.rowCount() == 0)
        return;
    const Busy busy(m_busy);
    platform::Clipboard::setText(reportText(m_model));
    platform::MessageBox::show(m_dialogParent, ExportedMessage, platform::MessageBox::applicationTitle());
}

void ReportOutputs::saveReport()
{
    if (m_busy || m_model.rowCount() == 0)
        return;
    const Busy busy(m_busy);
    FormFile &chooser = fileChooser();
    chooser.chooser().clearChosenPath();
    const QString path = chooser.choose();
    if (path.isEmpty() || m_model.rowCount() == 0)
        return;

    // Blanks are trimmed from both ends of the whole text, nothing else: its last line end
    // stays, so each saved report ends with two.
    const QString text = reportText(m_model);
    QByteArray bytes = trimBlanks(text).toUtf8();
    bytes += "\r\n";

    QFile file(path);
    QString failure;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        failure = file.errorString();
    else if (file.write(bytes) != bytes.size() || !file.flush())
        failure = file.errorString();
    file.close();
    if (failure.isEmpty() && file.error() != QFileDevice::NoError)
        failure = file.errorString();
    if (!failure.isEmpty()) {
        platform::MessageBox::show(m_dialogParent,
                                   QStringLiteral("The report could not be saved to %1: %2")
                                       .arg(QDir::toNativeSeparators(path), failure),
                                   platform::MessageBox::applicationTitle());
        return;
    }
    platform::MessageBox::show(m_dialogParent, SavedMessage, platform::MessageBox::applicationTitle());
}

void ReportOutputs::printReport()
{
    if (m_busy)
        return;
    const Busy busy(m_busy);
    const QString page = pagePath();
    QFile::remove(page);
    if (!writeReportPage(m_model, page))
        return;
    // The utility prints on its own; what it says when it ends is passed on, over this
    // window while it is still there.
    QPointer<QWidget> parent = m_dialogParent;
    const bool hadParent = parent;
    platform::Launcher::start(printUtilityPath(), [parent, hadParent](int exitCode, const QString &output,
                                                                      const QString &errors) {
        if (const std::optional<QString> text = printOutcome(exitCode, output, errors))
            platform::MessageBox::show(hadParent ? parent.data() : nullptr, *text,
                                       platform::MessageBox::applicationTitle());
    });
}

std::optional<QString> ReportOutputs::printOutcome(int exitCode, const QString &output, const QString &errors)
{
    if (exitCode != 0) {
        // The utility's last line of complaint, without its name in front.
        QString reason = errors.trimmed().section(QLatin1Char('\n'), -1).trimmed();
        const QString prefix = PrintUtility + QStringLiteral(": ");
        if (reason.startsWith(prefix))
            reason = reason.mid(prefix.size());
        if (reason.isEmpty())
            reason = exitCode < 0 ? QStringLiteral("the print utility stopped") : QStringLiteral("error %1").arg(exitCode);
        return PrintFailedMessage.arg(reason);
    }
    // Without a printer the page went into a PDF file, whose path it names.
    const QString pdf = output.trimmed().section(QLatin1Char('\n'), -1).trimmed();
    if (!pdf.isEmpty())
        return SavedAsPdfMessage.arg(pdf);
    return std::nullopt;
}

} // namespace reports
