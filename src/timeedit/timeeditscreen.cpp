#include "timeedit/timeeditscreen.h"

#include "admin/optionsmodel.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace timeedit {

namespace {
template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel *plainLabel(const QString &text, const char *name)
{
    auto *label = named(new QLabel(text), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}
} // namespace

TimeEditScreen::TimeEditScreen(const admin::OptionsModel &options, QWidget *parent)
    : TimeEditScreen([&options] { return options.connectionSettings(); }, parent)
{
}

TimeEditScreen::TimeEditScreen(TimeEditor::ConnectionSource connection, QWidget *parent)
    : QWidget(parent), m_editor(new TimeEditor(std::move(connection), this))
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(TimeEditor::WindowCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    build();

    connect(m_editor, &TimeEditor::fieldsChanged, this, &TimeEditScreen::pushFields);
    connect(m_editor, &TimeEditor::employeesChanged, this, &TimeEditScreen::pushEmployees);
    connect(m_editor, &TimeEditor::punchesChanged, this, &TimeEditScreen::pushPunches);

    connect(m_users, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const QString entry = item->text();
        act([this, entry] { m_editor->chooseEmployee(entry); });
    });
    connect(m_work, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const QString entry = item->text();
        act([this, entry] { m_editor->selectPunch(entry); });
    });
    connect(m_update, &QPushButton::clicked, this, [this] { act([this] { m_editor->updatePunch(); }); });
    connect(m_insert, &QPushButton::clicked, this, [this] { act([this] { m_editor->insertPunch(); }); });
    connect(m_delete, &QPushButton::clicked, this, [this] { act([this] { m_editor->deletePunch(); }); });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
}

void TimeEditScreen::build()
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    m_users = named(new QListWidget, "ListUsers");
    m_users->setAccessibleName(QStringLiteral("Employees"));
    m_users->setMinimumWidth(220);

    m_user = plainLabel(QString(), "LabelUser");
    auto *info = plainLabel(TimeEditor::ColumnHeader, "LabelInfo");
    info->setFont(fixed);

    m_work = named(new QListWidget, "ListWork");
    m_work->setAccessibleName(QStringLiteral("Punches"));
    m_work->setFont(fixed);
    // The key after the blanks stays out of sight.
    m_work->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_work->setTextElideMode(Qt::ElideNone);

    m_date = named(new QLineEdit, "TextDate");
    m_clockedIn = named(new QLineEdit, "TextClockedIn");
    m_clockedOut = named(new QLineEdit, "TextClockedOut");
    m_date->setAccessibleName(QStringLiteral("Work Date"));
    m_clockedIn->setAccessibleName(QStringLiteral("Clocked In"));
    m_clockedOut->setAccessibleName(QStringLiteral("Clocked Out"));
    auto *fields = new QGridLayout;
    const std::pair<QLineEdit *, const char *> columns[] = {
        {m_date, "Work Date"}, {m_clockedIn, "Clocked In"}, {m_clockedOut, "Clocked Out"}};
    int column = 0;
    for (const auto &[edit, caption] : columns) {
        auto *label = new QLabel(QLatin1String(caption));
        label->setBuddy(edit);
        fields->addWidget(label, 0, column);
        fields->addWidget(edit, 1, column++);
    }

    m_update = named(new QPushButton(QStringLiteral("Update")), "CommandOK");
    m_insert = named(new QPushButton(QStringLiteral("Insert")), "Command1");
    m_delete = named(new QPushButton(QStringLiteral("Delete")), "Command2");
    m_close = named(new QPushButton(QStringLiteral("Close")), "CommandClose");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_update);
    buttons->addWidget(m_insert);
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_close);

    auto *right = new QVBoxLayout;
    right->addWidget(m_user);
    right->addWidget(info);
    right->addWidget(m_work, 1);
    right->addLayout(fields);
    right->addLayout(buttons);

    auto *top = new QHBoxLayout(this);
    top->addWidget(m_users, 1);
    top->addLayout(right, 3);
    resize(900, 480);
}

bool TimeEditScreen::open()
{
    bool opened = false;
    act([this, &opened] { opened = m_editor->openScreen(); });
    if (opened) {
        show();
    } else {
        // Nothing to work on: the screen goes away once the caller is done with it.
        deleteLater();
    }
    return opened;
}

void TimeEditScreen::act(const std::function<void()> &action)
{
    if (m_acting || m_editor->isBusy())
        return;
    QPointer<TimeEditScreen> self(this);
    m_acting = true;
    pullFields();
    setActionsEnabled(false);
    action();
    if (!self)
        return;
    setActionsEnabled(true);
    m_acting = false;
}

void TimeEditScreen::setActionsEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_users, m_work, m_update, m_insert, m_delete, m_close})
        w->setEnabled(enabled);
}

void TimeEditScreen::pullFields()
{
    PunchFields &f = m_editor->fields();
    f.workDate = m_date->text();
    f.clockedIn = m_clockedIn->text();
    f.clockedOut = m_clockedOut->text();
}

void TimeEditScreen::pushFields()
{
    const PunchFields &f = m_editor->fields();
    m_date->setText(f.workDate);
    m_clockedIn->setText(f.clockedIn);
    m_clockedOut->setText(f.clockedOut);
}

void TimeEditScreen::pushEmployees()
{
    m_users->clear();
    m_users->addItems(m_editor->employeeEntries());
}

void TimeEditScreen::pushPunches()
{
    m_user->setText(m_editor->employeeLabel());
    m_work->clear();
    m_work->addItems(m_editor->punchEntries());
}

void TimeEditScreen::closeEvent(QCloseEvent *event)
{
    // Not while an action is still running: the window goes away with its state.
    if (m_acting) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace timeedit
