#include "employees/employeescreen.h"

#include "admin/optionsmodel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace employees {

namespace {
template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit *lineEdit(const char *name)
{
    return named(new QLineEdit, name);
}

// One caption and its field on a row of a grid.
void addRow(QGridLayout *grid, int row, int column, const QString &caption, QWidget *field)
{
    auto *label = new QLabel(caption);
    label->setBuddy(field);
    grid->addWidget(label, row, column, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(field, row, column + 1);
}
} // namespace

EmployeeScreen::EmployeeScreen(const admin::OptionsModel &options, QWidget *parent)
    : EmployeeScreen([&options] { return options.connectionSettings(); }, parent)
{
}

EmployeeScreen::EmployeeScreen(EmployeeEditor::ConnectionSource connection, QWidget *parent)
    : QWidget(parent), m_editor(new EmployeeEditor(std::move(connection), this))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(EmployeeEditor::WindowCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    build();

    m_editor->setHideScreen([this] { hide(); });
    connect(m_editor, &EmployeeEditor::fieldsChanged, this, &EmployeeScreen::pushFields);
    connect(m_editor, &EmployeeEditor::stateChanged, this, &EmployeeScreen::pushState);
    connect(m_editor, &EmployeeEditor::listChanged, this, &EmployeeScreen::pushList);

    connect(m_save, &QPushButton::clicked, this, [this] { act([this] { m_editor->saveEmployee(); }); });
    connect(m_clear, &QPushButton::clicked, this, [this] { act([this] { m_editor->clearForm(); }); });
    connect(m_delete, &QPushButton::clicked, this, [this] { act([this] { m_editor->deleteEmployee(); }); });
    connect(m_autoFill, &QPushButton::clicked, this, [this] { act([this] { m_editor->autoFillUserId(); }); });
    connect(m_mainMenu, &QPushButton::clicked, this, [this] { act([this] { m_editor->mainMenu(); }); });
    connect(m_clearOption, &QCheckBox::clicked, this,
            [this](bool checked) { act([this, checked] { m_editor->setClearFormOption(checked); }); });
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const QString entry = item->text();
        act([this, entry] { m_editor->selectEmployee(entry); });
    });

    pushFields();
    pushState();
}

void EmployeeScreen::build()
{
    auto *personal = new QGridLayout;
    m_firstName = lineEdit("Text1");
    m_lastName = lineEdit("Text2");
    m_address1 = lineEdit("Text3");
    m_address2 = lineEdit("Text4");
    m_city = lineEdit("Text5");
    m_state = lineEdit("Text8");
    m_zipCode = lineEdit("Text9");
    m_phone1 = lineEdit("Text14");
    m_phone2 = lineEdit("Text15");
    m_ssNumber = lineEdit("Text19");
    m_title = lineEdit("Text21");
    m_email = lineEdit("Text20");
    m_memos = named(new QPlainTextEdit, "Text10");
    m_notes = named(new QPlainTextEdit, "Text11");
    m_memos->setTabChangesFocus(true);
    m_notes->setTabChangesFocus(true);
    m_memos->setMaximumHeight(70);
    m_notes->setMaximumHeight(70);
    int row = 0;
    addRow(personal, row++, 0, QStringLiteral("First Name:*"), m_firstName);
    addRow(personal, row++, 0, QStringLiteral("Last Name:*"), m_lastName);
    addRow(personal, row++, 0, QStringLiteral("Address 1:"), m_address1);
    addRow(personal, row++, 0, QStringLiteral("Address 2:"), m_address2);
    addRow(personal, row++, 0, QStringLiteral("City:"), m_city);
    addRow(personal, row++, 0, QStringLiteral("State:"), m_state);
    addRow(personal, row++, 0, QStringLiteral("Zip Code:"), m_zipCode);
    addRow(personal, row++, 0, QStringLiteral("Phone 1:"), m_phone1);
    addRow(personal, row++, 0, QStringLiteral("Phone 2:"), m_phone2);
    addRow(personal, row++, 0, QStringLiteral("SS Number:"), m_ssNumber);
    addRow(personal, row++, 0, QStringLiteral("Title:"), m_title);
    addRow(personal, row++, 0, QStringLiteral("Email:"), m_email);
    addRow(personal, row++, 0, QStringLiteral("Memo:"), m_memos);
    addRow(personal, row++, 0, QStringLiteral("Notes:"), m_notes);

    auto *account = new QGridLayout;
    m_security = named(new QComboBox, "Combo1");
    m_security->setEditable(true);
    m_security->setInsertPolicy(QComboBox::NoInsert);
    m_userId = lineEdit("Text12");
    m_enabled = named(new QRadioButton(QStringLiteral("Enabled")), "Option1");
    m_disabled = named(new QRadioButton(QStringLiteral("Disabled")), "Option2");
    auto *statusGroup = new QButtonGroup(this);
    statusGroup->addButton(m_enabled);
    statusGroup->addButton(m_disabled);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_enabled);
    statusRow->addWidget(m_disabled);
    statusRow->addStretch();
    auto *status = new QWidget;
    status->setLayout(statusRow);
    statusRow->setContentsMargins(0, 0, 0, 0);
    m_password = lineEdit("Text22");
    m_password2 = lineEdit("Text23");
    m_password->setEchoMode(QLineEdit::Password);
    m_password2->setEchoMode(QLineEdit::Password);
    m_hourlyRate = lineEdit("Text39");
    m_displayText = lineEdit("Text38");
    row = 0;
    addRow(account, row++, 0, QStringLiteral("Security:"), m_security);
    addRow(account, row++, 0, QStringLiteral("User ID:*"), m_userId);
    addRow(account, row++, 0, QStringLiteral("Status:"), status);
    addRow(account, row++, 0, QStringLiteral("Password:"), m_password);
    addRow(account, row++, 0, QStringLiteral("Password:"), m_password2);
    addRow(account, row++, 0, QStringLiteral("Hourly Rate:"), m_hourlyRate);
    addRow(account, row++, 0, QStringLiteral("Display Text:"), m_displayText);

    auto *photoFrame = named(new QGroupBox(QStringLiteral("Photo Display ")), "FramePhotoDisplay");
    auto *photo = new QGridLayout(photoFrame);
    m_photoEnabled = named(new QCheckBox(QStringLiteral("Enable Photo")), "Check2");
    m_userPhoto = lineEdit("Text28");
    m_photoDisplay = lineEdit("Text31");
    photo->addWidget(m_photoEnabled, 0, 0, 1, 2);
    addRow(photo, 1, 0, QStringLiteral("User Photo:"), m_userPhoto);
    addRow(photo, 2, 0, QStringLiteral("Seconds to Display Photo"), m_photoDisplay);

    auto *soundFrame = named(new QGroupBox(QStringLiteral("Clock In Clock Out Sounds")), "FrameSounds");
    auto *sound = new QGridLayout(soundFrame);
    m_soundEnabled = named(new QCheckBox(QStringLiteral("Enable Wav Sound Files")), "Check8");
    m_soundIn = lineEdit("Text34");
    m_soundOut = lineEdit("Text35");
    sound->addWidget(m_soundEnabled, 0, 0, 1, 2);
    addRow(sound, 1, 0, QStringLiteral("In Wav:"), m_soundIn);
    addRow(sound, 2, 0, QStringLiteral("Out Wav:"), m_soundOut);

    auto *snapFrame = named(new QGroupBox(QStringLiteral("Snap Shot Camera Options")), "FrameSnapShot");
    auto *snap = new QGridLayout(snapFrame);
    m_snapShot = named(new QCheckBox(QStringLiteral("Take Snap Shot of this user at Clock In and Clock Out")),
                       "CheckPhoto");
    m_jpeg = named(new QRadioButton(QStringLiteral("Jpeg")), "Option4");
    m_bmp = named(new QRadioButton(QStringLiteral("BMP")), "Option5");
    auto *typeGroup = new QButtonGroup(this);
    typeGroup->addButton(m_jpeg);
    typeGroup->addButton(m_bmp);
    auto *typeRow = new QHBoxLayout;
    typeRow->setContentsMargins(0, 0, 0, 0);
    typeRow->addWidget(m_jpeg);
    typeRow->addWidget(m_bmp);
    typeRow->addStretch();
    auto *type = new QWidget;
    type->setLayout(typeRow);
    m_photoLocation = lineEdit("TextPhoto");
    snap->addWidget(m_snapShot, 0, 0, 1, 2);
    addRow(snap, 1, 0, QStringLiteral("Type of Photo"), type);
    addRow(snap, 2, 0, QStringLiteral("Snap Shot Storeage Location "), m_photoLocation);

    m_list = named(new QListWidget, "List1");
    // The key after the blanks stays out of sight.
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setTextElideMode(Qt::ElideNone);
    m_list->setMinimumWidth(220);

    m_save = named(new QPushButton(EmployeeEditor::AddCaption), "Command1");
    m_clear = named(new QPushButton(QStringLiteral("Clear form")), "Command2");
    m_delete = named(new QPushButton(QStringLiteral("Delete User")), "Command4");
    m_autoFill = named(new QPushButton(QStringLiteral("Auto Fill")), "Command5");
    m_mainMenu = named(new QPushButton(QStringLiteral("Main Menu")), "Command8");
    m_clearOption = named(new QCheckBox(QStringLiteral("Clear form afer new user is added.")), "Check1");

    m_note = named(new QFrame, "Frame1");
    m_note->setFrameShape(QFrame::StyledPanel);
    auto *noteLayout = new QVBoxLayout(m_note);
    auto *noteText = new QLabel(EmployeeEditor::AdministratorNote);
    noteText->setWordWrap(true);
    noteLayout->addWidget(noteText);

    // Left: the person. Middle: account, feedback frames. Right: the list.
    auto *middle = new QVBoxLayout;
    auto *idRow = new QHBoxLayout;
    middle->addLayout(account);
    idRow->addStretch();
    idRow->addWidget(m_autoFill);
    middle->addLayout(idRow);
    middle->addWidget(photoFrame);
    middle->addWidget(soundFrame);
    middle->addWidget(snapFrame);
    middle->addStretch();

    auto *left = new QVBoxLayout;
    left->addLayout(personal);
    left->addWidget(m_note);
    left->addStretch();

    auto *right = new QVBoxLayout;
    right->addWidget(m_list, 1);

    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(middle, 3);
    columns->addLayout(right, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_save);
    buttons->addWidget(m_clear);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_clearOption);
    buttons->addStretch();
    buttons->addWidget(m_mainMenu);

    auto *top = new QVBoxLayout(this);
    top->addLayout(columns, 1);
    top->addLayout(buttons);
    resize(980, 640);
}

bool EmployeeScreen::open()
{
    bool opened = false;
    act([this, &opened] { opened = m_editor->openScreen(); });
    if (opened)
        show();
    return opened;
}

void EmployeeScreen::act(const std::function<void()> &action)
{
    if (m_acting || m_editor->isBusy())
        return;
    QPointer<EmployeeScreen> self(this);
    m_acting = true;
    pullFields();
    setActionsEnabled(false);
    action();
    if (!self)
        return;
    setActionsEnabled(true);
    m_acting = false;
    pushState();
}

void EmployeeScreen::setActionsEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_save, m_clear, m_delete, m_autoFill, m_mainMenu,
                                                       m_clearOption, m_list})
        w->setEnabled(enabled);
}

void EmployeeScreen::pullFields()
{
    EmployeeFields &f = m_editor->fields();
    f.firstName = m_firstName->text();
    f.lastName = m_lastName->text();
    f.address1 = m_address1->text();
    f.address2 = m_address2->text();
    f.city = m_city->text();
    f.state = m_state->text();
    f.zipCode = m_zipCode->text();
    f.phone1 = m_phone1->text();
    f.phone2 = m_phone2->text();
    f.ssNumber = m_ssNumber->text();
    f.title = m_title->text();
    f.email = m_email->text();
    f.memos = m_memos->toPlainText();
    f.notes = m_notes->toPlainText();
    f.adminLevel = m_security->currentText();
    f.userIdLogin = m_userId->text();
    f.disabled = m_disabled->isChecked();
    f.password = m_password->text();
    f.password2 = m_password2->text();
    f.userPhoto = m_userPhoto->text();
    f.photoEnabled = m_photoEnabled->isChecked();
    f.photoDisplay = m_photoDisplay->text();
    f.soundFileIn = m_soundIn->text();
    f.soundFileOut = m_soundOut->text();
    f.soundEnabled = m_soundEnabled->isChecked();
    f.hourlyRate = m_hourlyRate->text();
    f.displayText = m_displayText->text();
    f.photoOnOff = m_snapShot->isChecked();
    f.photoTypeJpeg = m_jpeg->isChecked();
    f.photoLocation = m_photoLocation->text();
}

void EmployeeScreen::pushFields()
{
    const EmployeeFields &f = m_editor->fields();
    m_firstName->setText(f.firstName);
    m_lastName->setText(f.lastName);
    m_address1->setText(f.address1);
    m_address2->setText(f.address2);
    m_city->setText(f.city);
    m_state->setText(f.state);
    m_zipCode->setText(f.zipCode);
    m_phone1->setText(f.phone1);
    m_phone2->setText(f.phone2);
    m_ssNumber->setText(f.ssNumber);
    m_title->setText(f.title);
    m_email->setText(f.email);
    if (m_memos->toPlainText() != f.memos)
        m_memos->setPlainText(f.memos);
    if (m_notes->toPlainText() != f.notes)
        m_notes->setPlainText(f.notes);
    if (m_security->count() != m_editor->securityLevels().size()) {
        m_security->clear();
        m_security->addItems(m_editor->securityLevels());
    }
    m_security->setEditText(f.adminLevel);
    m_userId->setText(f.userIdLogin);
    (f.disabled ? m_disabled : m_enabled)->setChecked(true);
    m_password->setText(f.password);
    m_password2->setText(f.password2);
    m_userPhoto->setText(f.userPhoto);
    m_photoEnabled->setChecked(f.photoEnabled);
    m_photoDisplay->setText(f.photoDisplay);
    m_soundIn->setText(f.soundFileIn);
    m_soundOut->setText(f.soundFileOut);
    m_soundEnabled->setChecked(f.soundEnabled);
    m_hourlyRate->setText(f.hourlyRate);
    m_displayText->setText(f.displayText);
    m_snapShot->setChecked(f.photoOnOff);
    (f.photoTypeJpeg ? m_jpeg : m_bmp)->setChecked(true);
    m_photoLocation->setText(f.photoLocation);
}

void EmployeeScreen::pushState()
{
    m_save->setText(m_editor->mainButtonCaption());
    m_delete->setVisible(m_editor->deleteVisible());
    m_note->setVisible(m_editor->administratorNoteVisible());
    m_clearOption->setChecked(m_editor->clearFormOption());
}

void EmployeeScreen::pushList()
{
    m_list->clear();
    m_list->addItems(m_editor->listEntries());
}

void EmployeeScreen::closeEvent(QCloseEvent *event)
{
    // Not while an action is still running: the window goes away with its state.
    if (m_acting) {
        event->ignore();
        return;
    }
    event->accept();
    m_editor->closedByWindow();
}

} // namespace employees
