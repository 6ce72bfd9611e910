#include "reports/formfile.h"

#include "platform/messagebox.h"
#include "platform/system.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace reports {

const QString FormFile::Caption = QStringLiteral("File");

namespace {

std::function<void(FormFile &)> &scriptedAnswer()
{
    static std::function<void(FormFile &)> answer;
    return answer;
}

using platform::pixelsToTwips;
using platform::twipsToPixels;

// Fixed places, in twips, of what the resize rules do not move.
constexpr int PathTop = 120;
constexpr int ListsTop = 555;   // drive list and file list
constexpr int FoldersTop = 990; // folder list, under the drive list
constexpr int ButtonsHeight = 660;
constexpr int Gap = 90;
constexpr int StartWidth = 9000;
constexpr int StartHeight = 6600;
constexpr int HeightRulesFrom = 4080;

void setWidth(QWidget *w, int twips)
{
    if (twips > 0)
        w->resize(twipsToPixels(twips), w->height());
}

void setHeight(QWidget *w, int twips)
{
    if (twips > 0)
        w->resize(w->width(), twipsToPixels(twips));
}

} // namespace

FormFile::FormFile(QWidget *parent)
    : QDialog(parent), m_path(new QLineEdit(this)), m_drives(new QComboBox(this)),
      m_folders(new QListWidget(this)), m_files(new QListWidget(this)),
      m_options(new QGroupBox(QStringLiteral("Export Options"), this)), m_delimiter(new QLineEdit(m_options)),
      m_delimiterLabel(new QLabel(QStringLiteral("Specifiy Delimiter (Make sure the delimeter is not in the data)"),
                                  m_options)),
      m_headers(new QCheckBox(QStringLiteral("Export the Column Headers"), m_options)),
      m_buttons(new QGroupBox(this)), m_ok(new QPushButton(QStringLiteral("OK"), m_buttons)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), m_buttons))
{
    setObjectName(QStringLiteral("FormFile"));
    setWindowTitle(Caption);
    setModal(true);

    m_path->setObjectName(QStringLiteral("Text2"));
    m_path->setAccessibleName(QStringLiteral("File path"));
    m_drives->setObjectName(QStringLiteral("Drive1"));
    m_drives->setAccessibleName(QStringLiteral("Drive"));
    m_folders->setObjectName(QStringLiteral("Dir1"));
    m_folders->setIconSize(QSize(16, 16));
    m_folders->setAccessibleName(QStringLiteral("Folders"));
    m_files->setObjectName(QStringLiteral("File1"));
    m_files->setAccessibleName(QStringLiteral("Files"));
    m_options->setObjectName(QStringLiteral("Frame1"));
    m_delimiter->setObjectName(QStringLiteral("Text10"));
    m_delimiter->setAccessibleName(m_delimiterLabel->text());
    m_delimiterLabel->setTextFormat(Qt::PlainText);
    m_delimiterLabel->setWordWrap(true);
    m_delimiterLabel->setBuddy(m_delimiter);
    m_headers->setObjectName(QStringLiteral("Check1"));
    // Nothing reads the export options: every report has its title line, as this shows.
    m_headers->setChecked(true);
    m_buttons->setObjectName(QStringLiteral("Frame2"));
    m_buttons->setAccessibleName(QStringLiteral("Buttons"));
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_cancel->setObjectName(QStringLiteral("Command2"));
    m_ok->setDefault(true);

    auto *options = new QVBoxLayout(m_options);
    options->setContentsMargins(6, 2, 6, 4);
    options->setSpacing(2);
    options->addWidget(m_delimiterLabel);
    auto *optionRow = new QHBoxLayout;
    m_delimiter->setMaximumWidth(60);
    optionRow->addWidget(m_delimiter);
    optionRow->addWidget(m_headers, 1);
    options->addLayout(optionRow);
    auto *buttons = new QHBoxLayout(m_buttons);
    buttons->setContentsMargins(6, 4, 6, 4);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    // Places of the controls the resize rules leave alone, with the path field's left edge
    // as the margin the rules measure from.
    const int left = twipsToPixels(120);
    m_path->setGeometry(left, twipsToPixels(PathTop), 100, m_path->sizeHint().height());
    m_drives->setGeometry(left, twipsToPixels(ListsTop), 100, m_drives->sizeHint().height());
    m_folders->setGeometry(left, twipsToPixels(FoldersTop), 100, 100);
    m_files->setGeometry(100, twipsToPixels(ListsTop), 100, 100);
    m_buttons->setGeometry(100, 100, 100, twipsToPixels(ButtonsHeight));

    connect(m_drives, &QComboBox::activated, this, &FormFile::chooseDrive);
    connect(m_folders, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { openFolder(item->data(Qt::UserRole).toString()); });
    connect(m_files, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        m_chooser.clickFile(item->text());
        m_path->setText(m_chooser.path());
    });
    connect(m_path, &QLineEdit::textChanged, this, [this](const QString &text) { m_chooser.setPath(text); });
    connect(m_ok, &QPushButton::clicked, this, &FormFile::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_chooser.load();
    m_path->setText(m_chooser.path());
    showDrives();
    showFolder();
    showFiles();
    resize(twipsToPixels(StartWidth), twipsToPixels(StartHeight));
    layOut();
}

void FormFile::setScriptedAnswer(std::function<void(FormFile &)> answer)
{
    scriptedAnswer() = std::move(answer);
}

QString FormFile::choose()
{
    // The lists show the folders as they are now, from the last drive and folders.
    showDrives();
    showFolder();
    showFiles();
    if (platform::MessageBox::isScripted()) {
        show();
        if (scriptedAnswer())
            scriptedAnswer()(*this);
        if (isVisible())
            reject();
    } else {
        exec();
    }
    return m_chooser.chosenPath();
}

void FormFile::showDrives()
{
    const QSignalBlocker block(m_drives);
    m_drives->clear();
    m_drives->addItems(m_chooser.drives());
    m_drives->setCurrentIndex(m_drives->findText(m_chooser.drive()));
}

void FormFile::showFolder()
{
    m_folders->clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirIcon);
    // The folder's ancestors from the root down, the folder itself, then its subfolders.
    QStringList chain;
    for (QDir dir(m_chooser.folder());; ) {
        chain.prepend(QDir::toNativeSeparators(dir.absolutePath()));
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    int depth = 0;
    for (const QString &folder : chain) {
        const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
        auto *item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name, m_folders);
        item->setData(Qt::UserRole, folder);
        ++depth;
    }
    m_folders->setCurrentRow(depth - 1);
    const QString here = chain.last();
    for (const QString &name : m_chooser.subfolders()) {
        auto *item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + name, m_folders);
        item->setData(Qt::UserRole, QDir::toNativeSeparators(QDir(here).filePath(name)));
    }
}

void FormFile::showFiles()
{
    m_files->clear();
    m_files->addItems(m_chooser.files());
}

void FormFile::chooseDrive(int index)
{
    // A drive that cannot be read keeps the folder list where it was.
    if (m_chooser.setDrive(m_drives->itemText(index))) {
        showFolder();
        showFiles();
    } else {
        showDrives();
    }
}

void FormFile::openFolder(const QString &folder)
{
    if (m_chooser.setFolder(folder)) {
        showFolder();
        showFiles();
    }
}

void FormFile::confirm()
{
    m_chooser.setPath(m_path->text());
    if (m_chooser.accept())
        accept();
    else
        reject();
}

void FormFile::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layOut();
}

// The resize rules, in twips of the outer window size; a rule whose result cannot be
// applied (a width or height below one) is skipped.
void FormFile::layOut()
{
    const QSize outer = frameGeometry().size();
    const int w = pixelsToTwips(outer.width());
    const int h = pixelsToTwips(outer.height());
    const int left = pixelsToTwips(m_path->x());

    setWidth(m_path, w - left * 5 / 2);
    setWidth(m_files, w / 2 - left * 5 / 2 - 100);
    setWidth(m_folders, w / 2);
    setWidth(m_drives, pixelsToTwips(m_folders->width()));
    m_files->move(twipsToPixels(pixelsToTwips(m_folders->width()) + 200), m_files->y());
    if (h > HeightRulesFrom) {
        setHeight(m_folders, h - 2580 - 200);
        setHeight(m_files, h - 2500 - 50 + 200);
        m_buttons->move(m_buttons->x(), twipsToPixels(pixelsToTwips(m_files->y() + m_files->height()) + 200));
    }
    m_buttons->setGeometry(m_files->x(), m_buttons->y(), m_files->width(), m_buttons->height());
    // The export options sit under the folder list.
    const int optionsTop = m_folders->y() + m_folders->height() + twipsToPixels(Gap);
    const int width = m_folders->width();
    m_options->setGeometry(m_folders->x(), optionsTop, width,
                           m_options->hasHeightForWidth() ? m_options->heightForWidth(width)
                                                          : m_options->sizeHint().height());
}

} // namespace reports
