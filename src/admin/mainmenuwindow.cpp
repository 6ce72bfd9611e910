#include "admin/mainmenuwindow.h"

#include "admin/mainmenu.h"
#include "admin/namedcombobox.h"
#include "admin/sqllogindialog.h"
#include "reports/payrulesstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace admin {

const QString MainMenuWindow::FirstRunText = QStringLiteral(
    "You must Setup an Admistrator account before using this Stampwell application, Click the setup now button. ");
const QString MainMenuWindow::DatabaseNote = QStringLiteral(
    "( Enter the Loction of Stampwell Database File For Example C:\\Program Files\\Stampwell or "
    "\\\\SomeNetwork\\ShareName\\ ) ");
const QString MainMenuWindow::SqlHeader = QStringLiteral(
    "User Name            Password              DB Name              IP Address");
const QString MainMenuWindow::CameraInformationLink = QStringLiteral("Click here for the Web Camera Information");
const QString MainMenuWindow::PluginDownloadLink = QStringLiteral("Click here for Plug in for Camera Software ");

namespace {
const QString MaskedStyle = QStringLiteral("QLineEdit { lineedit-password-character: 42; }");

QFrame *panel(const char *name, QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameShape(QFrame::StyledPanel);
    return frame;
}

QPushButton *linkButton(const char *name, const QString &text, QWidget *parent)
{
    auto *link = new QPushButton(text, parent);
    link->setObjectName(QString::fromLatin1(name));
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); text-decoration: underline; text-align: left; }"));
    return link;
}
} // namespace

MainMenuWindow::MainMenuWindow(MainMenu &menu, QWidget *parent)
    : QWidget(parent), m_menu(&menu), m_options(menu.options())
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(MainMenu::WindowCaption);
    installNamedComboBoxes();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildFirstRunPanel());
    layout->addWidget(buildLoginPanel());
    layout->addWidget(buildMenuPanel());

    m_publicShutDown = button("Command14", QStringLiteral("Shut Down"), this);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_publicShutDown);
    bottom->addStretch();
    layout->addLayout(bottom);
    layout->addStretch();

    m_refresh = new QLineEdit(this);
    m_refresh->setObjectName(QStringLiteral("Text5"));
    m_refresh->hide();

    // The state a fresh window starts in; the start-up routine then sets the panels.
    m_firstRunPanel->hide();
    m_menuPanel->hide();
    m_publicShutDown->hide();
    setDatabaseLocationVisible(false);
    m_fontPanel->hide();
    m_cameraPanel->hide();
    m_sqlPanel->hide();

    // Both "Shut Down" buttons ask once: neither can start while the question is open.
    for (QPushButton *shutDown : {m_menuShutDown, m_publicShutDown}) {
        connect(shutDown, &QPushButton::clicked, this, [this] {
            runDisabled({m_menuShutDown, m_publicShutDown}, [this] {
                if (m_menu)
                    m_menu->shutDown();
            });
        });
    }
    connect(m_refresh, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_menu)
            m_menu->setRefreshText(text);
    });
    connect(&menu, &MainMenu::refreshTextChanged, this, [this](const QString &text) {
        if (m_refresh->text() != text) {
            const QSignalBlocker block(m_refresh);
            m_refresh->setText(text);
        }
    });
    connect(&menu, &MainMenu::showClockCaptionChanged, m_showClock, &QPushButton::setText);
    connect(&m_options, &OptionsModel::optionChanged, this, [this](Option option) { optionChanged(option); });
    connect(&m_options, &OptionsModel::textChanged, this, [this](Field field) { fieldChanged(field); });

    syncFromModel();
}

MainMenuWindow::~MainMenuWindow()
{
    if (m_menu && &m_menu->view() == static_cast<MainMenuView *>(this))
        m_menu->setView(nullptr);
}

QPushButton *MainMenuWindow::button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QCheckBox *MainMenuWindow::checkBox(Option option, const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QStringLiteral("Check%1").arg(static_cast<int>(option)));
    m_boxes.insert(option, box);
    connect(box, &QCheckBox::toggled, this, [this, option](bool on) { m_options.setOn(option, on); });
    return box;
}

QLineEdit *MainMenuWindow::field(Field f, const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    m_fields.insert(f, edit);
    connect(edit, &QLineEdit::textChanged, this, [this, f](const QString &text) { m_options.setText(f, text); });
    return edit;
}

QWidget *MainMenuWindow::buildFirstRunPanel()
{
    m_firstRunPanel = panel("Frame4", this);
    auto *text = new QLabel(FirstRunText, m_firstRunPanel);
    text->setWordWrap(true);
    QPushButton *setupNow = button("Command10", QStringLiteral("Setup Now"), m_firstRunPanel);
    auto *layout = new QVBoxLayout(m_firstRunPanel);
    layout->addWidget(text);
    layout->addWidget(setupNow, 0, Qt::AlignLeft);
    connect(setupNow, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->setupNow();
    });
    return m_firstRunPanel;
}

QWidget *MainMenuWindow::buildLoginPanel()
{
    m_loginPanel = panel("Frame2", this);
    m_user = new QLineEdit(m_loginPanel);
    m_user->setObjectName(QStringLiteral("Text1"));
    m_password = new QLineEdit(m_loginPanel);
    m_password->setObjectName(QStringLiteral("Text2"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(MaskedStyle);

    m_loginOk = button("Command5", QStringLiteral("OK"), m_loginPanel);
    QPushButton *cancel = button("Command8", QStringLiteral("Cancel"), m_loginPanel);
    m_showClock = button("Command9", m_menu->showClockCaption(), m_loginPanel);
    QPushButton *help = button("Command11", QStringLiteral("Help"), m_loginPanel);

    auto *fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("User Name"), m_loginPanel), 0, 0);
    fields->addWidget(m_user, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Password"), m_loginPanel), 1, 0);
    fields->addWidget(m_password, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_loginOk);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(m_loginPanel);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    // Its caption turns into the long lock message, so it has a row of its own.
    layout->addWidget(m_showClock);

    connect(m_loginOk, &QPushButton::clicked, this, [this] {
        runDisabled({m_loginOk}, [this] {
            if (m_menu)
                m_menu->login(m_user->text(), m_password->text());
        });
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->cancelLogin();
    });
    connect(m_showClock, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->showClockFromLogin();
    });
    connect(help, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->help();
    });
    return m_loginPanel;
}

QWidget *MainMenuWindow::buildMenuPanel()
{
    m_menuPanel = panel("Frame1", this);

    struct Entry {
        const char *name;
        const char *caption;
        void (MainMenu::*action)();
    };
    const Entry entries[] = {
        {"Command1", "Edit Users", &MainMenu::editUsers},
        {"Command2", "Run Reports", &MainMenu::runReports},
        {"Command3", "Show Clock", &MainMenu::showClockFromMenu},
        {"Command21", "Hide Menu", &MainMenu::hideMenu},
        {"Command20", "Edit Clocked In/Out", &MainMenu::editClockedInOut},
        {"Command15", "Show Clocked in Employees", &MainMenu::showClockedIn},
    };
    auto *buttons = new QVBoxLayout;
    for (const Entry &entry : entries) {
        QPushButton *b = button(entry.name, QString::fromLatin1(entry.caption), m_menuPanel);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, action = entry.action] {
            if (m_menu)
                (m_menu->*action)();
        });
    }
    m_menuShutDown = button("Command4", QStringLiteral("Shut Down"), m_menuPanel);
    buttons->addWidget(m_menuShutDown);
    m_offlineState = new QLabel(m_menuPanel);
    m_offlineState->setObjectName(QStringLiteral("LabelOfflineState"));
    m_offlineState->setTextFormat(Qt::PlainText);
    m_offlineState->setWordWrap(true);
    m_offlineState->hide();
    buttons->addWidget(m_offlineState);
    buttons->addStretch();

    auto *layout = new QHBoxLayout(m_menuPanel);
    layout->addLayout(buttons);
    layout->addWidget(buildOptions(), 1);
    return m_menuPanel;
}

QWidget *MainMenuWindow::buildOptions()
{
    auto *options = new QWidget(m_menuPanel);
    options->setObjectName(QStringLiteral("OptionsPanel"));

    auto *boxes = new QGridLayout;
    const std::pair<Option, const char *> entries[] = {
        {Option::KeepMaximized, "Keep Time Clock Maximized"},
        {Option::DisableCtrlAltDelete, "Disalbe Ctrl Alt Delete"},
        {Option::OneIcon, "Show One Icon for Clock in and Out"},
        {Option::StayOnTop, "Force Stampwell to Stay on Top"},
        {Option::AutoLaunch, "Automatically Launch Stampwell at Start Up"},
        {Option::BlockMoving, "Block users from moving Clock"},
        {Option::AllowExit, "Allow all users to exit application from main menu"},
        {Option::Spanish, "Spanish"},
        {Option::FontSettings, "Font Settings"},
        {Option::Camera, "Turn on Camera"},
        {Option::UseSqlDb, "Use SQL DB"},
        {Option::RunMultiple, "Run on Multiple computers"},
        {Option::SpecifyLocation, "Specify Location of Network Database MDB File"},
        {Option::DaylightSavingUnlocked, "Do not lock the clock at a daylight-saving change"},
    };
    int index = 0;
    for (const auto &[option, caption] : entries) {
        boxes->addWidget(checkBox(option, QString::fromLatin1(caption), options), index / 2, index % 2);
        ++index;
    }

    // The database folder, shown while "Specify Location..." is on.
    m_databaseNote = new QLabel(DatabaseNote, options);
    m_databaseNote->setObjectName(QStringLiteral("LabelDatabaseNote"));
    m_databaseNote->setWordWrap(true);
    QLineEdit *folder = field(Field::DatabaseFolder, "Text4", options);
    m_resetPath = button("Command12", QStringLiteral("Reset Path"), options);
    connect(m_resetPath, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->resetPath();
    });
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(folder, 1);
    folderRow->addWidget(m_resetPath);

    // The display text of the clock screen.
    QCheckBox *companyText = checkBox(Option::CompanyText, QStringLiteral("Company Name or other Text to display on Screen"), options);
    QLineEdit *displayText = field(Field::DisplayText, "Text8", options);

    auto *layout = new QVBoxLayout(options);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(boxes);
    layout->addWidget(m_databaseNote);
    layout->addLayout(folderRow);
    layout->addWidget(companyText);
    layout->addWidget(displayText);
    layout->addWidget(buildPayrollPanel(options));
    layout->addWidget(buildFontPanel());
    layout->addWidget(buildCameraPanel());
    layout->addWidget(buildSqlPanel());
    layout->addStretch();
    return options;
}

QWidget *MainMenuWindow::buildPayrollPanel(QWidget *parent)
{
    namespace rule = reports::rulenames;
    auto *payroll = new QGroupBox(QStringLiteral("Payroll"), parent);
    payroll->setObjectName(QStringLiteral("FramePayroll"));
    auto *layout = new QGridLayout(payroll);

    // A value counts when it is accepted: a field on Enter or when it is left (not at every
    // keystroke), a box when it is ticked, a list when a choice is made.
    const auto box = [this, payroll](const QString &name, const char *object, const char *caption) {
        auto *b = new QCheckBox(QString::fromLatin1(caption), payroll);
        b->setObjectName(QString::fromLatin1(object));
        m_ruleBoxes.insert(name, b);
        connect(b, &QCheckBox::toggled, this, [this, name](bool on) {
            if (m_menu)
                m_menu->acceptPayRule(name, on ? QStringLiteral("1") : QStringLiteral("0"));
        });
        return b;
    };
    const auto edit = [this, payroll](const QString &name, const char *object) {
        auto *e = new QLineEdit(payroll);
        e->setObjectName(QString::fromLatin1(object));
        m_ruleFields.insert(name, e);
        connect(e, &QLineEdit::editingFinished, this, [this, name, e] {
            if (m_menu)
                m_menu->acceptPayRule(name, e->text());
        });
        return e;
    };
    // Each item shows a caption and stands for the rule's stored text.
    const auto list = [this, payroll](const QString &name, const char *object,
                                      const QList<std::pair<QString, QString>> &items) {
        auto *c = new QComboBox(payroll);
        c->setObjectName(QString::fromLatin1(object));
        for (const auto &[caption, text] : items)
            c->addItem(caption, text);
        m_ruleLists.insert(name, c);
        connect(c, &QComboBox::activated, this, [this, name, c](int index) {
            if (m_menu)
                m_menu->acceptPayRule(name, c->itemData(index).toString());
        });
        return c;
    };
    // Each field is announced by the label on its left (not by the group's title).
    const auto add = [payroll, layout](const char *text, QWidget *field, int row, int column, int labelSpan = 1) {
        auto *label = new QLabel(QString::fromLatin1(text), payroll);
        label->setBuddy(field);
        field->setAccessibleName(label->text());
        layout->addWidget(label, row, column, 1, labelSpan);
        layout->addWidget(field, row, column + labelSpan);
    };

    QList<std::pair<QString, QString>> days;
    for (const Qt::DayOfWeek day : {Qt::Sunday, Qt::Monday, Qt::Tuesday, Qt::Wednesday, Qt::Thursday, Qt::Friday,
                                    Qt::Saturday}) {
        const QString name = QLocale::c().dayName(day, QLocale::LongFormat);
        days.append({name, name});
    }
    QList<std::pair<QString, QString>> rounding{{QStringLiteral("Off"), QStringLiteral("0")}};
    for (const int minutes : {5, 6, 10, 15})
        rounding.append({QStringLiteral("%1 minutes").arg(minutes), QString::number(minutes)});
    const QList<std::pair<QString, QString>> periods{
        {QStringLiteral("Weekly"), QStringLiteral("Weekly")},
        {QStringLiteral("Every two weeks"), QStringLiteral("Biweekly")},
        {QStringLiteral("Twice a month"), QStringLiteral("SemiMonthly")},
        {QStringLiteral("Monthly"), QStringLiteral("Monthly")},
    };

    layout->addWidget(box(rule::BreakRule, "Check30", "Deduct a break from long punches"), 0, 0, 1, 4);
    add("After hours in one punch:", edit(rule::BreakAfterHours, "TextBreakAfter"), 1, 0);
    add("Break minutes:", edit(rule::BreakMinutes, "TextBreakMinutes"), 1, 2);
    add("Flag a punch open longer than hours:", edit(rule::OverLongHours, "TextOverLong"), 2, 0, 3);
    layout->addWidget(box(rule::RepeatGuard, "Check31", "Refuse a repeat punch of the same ID"), 3, 0, 1, 2);
    add("Within seconds:", edit(rule::RepeatSeconds, "TextRepeatSeconds"), 3, 2);
    layout->addWidget(box(rule::WeeklyOvertime, "CheckWeeklyOvertime", "Pay overtime beyond weekly hours"), 4, 0, 1, 4);
    add("Hours in a workweek:", edit(rule::WeeklyLimitHours, "TextWeeklyLimit"), 5, 0);
    add("Workweek starts on:", list(rule::WorkweekStart, "ComboWorkweekStart", days), 5, 2);
    layout->addWidget(box(rule::DailyOvertime, "CheckDailyOvertime", "Pay overtime beyond daily hours"), 6, 0, 1, 2);
    add("Hours in a day:", edit(rule::DailyLimitHours, "TextDailyLimit"), 6, 2);
    add("Overtime multiplier:", edit(rule::OvertimeMultiplier, "TextOvertimeMultiplier"), 7, 0);
    add("Round punches to:", list(rule::RoundingMinutes, "ComboRounding", rounding), 7, 2);
    add("Pay period:", list(rule::PeriodKind, "ComboPeriodKind", periods), 8, 0);
    add("Periods counted from (YYYY-MM-DD):", edit(rule::PeriodAnchor, "TextPeriodAnchor"), 8, 2);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);

    connect(&m_menu->payroll(), &PayrollOptions::changed, this, [this] { payRulesChanged(); });
    return payroll;
}

QWidget *MainMenuWindow::buildFontPanel()
{
    m_fontPanel = new QGroupBox(QStringLiteral("Font Settings"), this);
    m_fontPanel->setObjectName(QStringLiteral("Frame8"));
    QLineEdit *name = field(Field::FontName, "TextFontName", m_fontPanel);
    QLineEdit *size = field(Field::FontSize, "TextFontSize", m_fontPanel);
    QPushButton *defaults = button("Command29", QStringLiteral("Defaults"), m_fontPanel);
    QPushButton *ok = button("Command28", QStringLiteral("OK"), m_fontPanel);

    auto *layout = new QGridLayout(m_fontPanel);
    layout->addWidget(new QLabel(QStringLiteral("Font Name"), m_fontPanel), 0, 0);
    layout->addWidget(name, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Font Size"), m_fontPanel), 1, 0);
    layout->addWidget(size, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(defaults);
    buttons->addWidget(ok);
    buttons->addStretch();
    layout->addLayout(buttons, 2, 0, 1, 2);

    connect(defaults, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->fontDefaults();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->fontOk();
    });
    return m_fontPanel;
}

QWidget *MainMenuWindow::buildCameraPanel()
{
    m_cameraPanel = new QGroupBox(QStringLiteral("Web Camera IP Address"), this);
    m_cameraPanel->setObjectName(QStringLiteral("FrameWebC"));
    QLineEdit *ip = field(Field::CameraIp, "Text9", m_cameraPanel);
    QLineEdit *location = field(Field::PluginLocation, "TextLocation", m_cameraPanel);
    QPushButton *ok = button("Command22", QStringLiteral("OK"), m_cameraPanel);
    QPushButton *cancel = button("Command25", QStringLiteral("Cancel It"), m_cameraPanel);
    QPushButton *information = linkButton("LabelCameraInformation", CameraInformationLink, m_cameraPanel);
    QPushButton *download = linkButton("LabelPluginDownload", PluginDownloadLink, m_cameraPanel);

    auto *layout = new QGridLayout(m_cameraPanel);
    layout->addWidget(new QLabel(QStringLiteral("Ip Address:"), m_cameraPanel), 0, 0);
    layout->addWidget(ip, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("KTLY Plug in Software Location"), m_cameraPanel), 1, 0);
    layout->addWidget(location, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons, 2, 0, 1, 2);
    layout->addWidget(information, 3, 0, 1, 2);
    layout->addWidget(download, 4, 0, 1, 2);

    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->cameraOk(m_options.text(Field::CameraIp), m_options.text(Field::PluginLocation));
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->cameraCancel();
    });
    connect(information, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->openCameraInformation();
    });
    connect(download, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->openPluginDownload();
    });
    return m_cameraPanel;
}

QWidget *MainMenuWindow::buildSqlPanel()
{
    m_sqlPanel = new QGroupBox(QStringLiteral("SQL DB Settings"), this);
    m_sqlPanel->setObjectName(QStringLiteral("Frame10"));
    auto *header = new QLabel(SqlHeader, m_sqlPanel);
    header->setObjectName(QStringLiteral("LabelSqlHeader"));
    header->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // The kind of server the four values reach.
    m_serverKind = new QComboBox(m_sqlPanel);
    m_serverKind->setObjectName(QStringLiteral("ComboServerKind"));
    m_serverKind->setAccessibleName(QStringLiteral("Server Kind"));
    for (data::ServerKind kind : {data::ServerKind::SqlServer, data::ServerKind::PostgreSql})
        m_serverKind->addItem(OptionsModel::serverKindText(kind), QVariant::fromValue(static_cast<int>(kind)));
    connect(m_serverKind, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_options.setServerKind(static_cast<data::ServerKind>(m_serverKind->itemData(index).toInt()));
    });
    connect(&m_options, &OptionsModel::serverKindChanged, this, [this] { serverKindChanged(); });

    QLineEdit *user = field(Field::SqlUser, "Textq10", m_sqlPanel);
    // The password field's visible text; every change of it becomes the password in use.
    m_sqlPassword = new QLineEdit(m_sqlPanel);
    m_sqlPassword->setObjectName(QStringLiteral("Textq11"));
    m_sqlPassword->setEchoMode(QLineEdit::Password);
    m_sqlPassword->setStyleSheet(MaskedStyle);
    connect(m_sqlPassword, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_options.setSqlPassword(text); });
    QLineEdit *database = field(Field::SqlDatabase, "Textq14", m_sqlPanel);
    QLineEdit *server = field(Field::SqlServer, "Textq15", m_sqlPanel);
    // The four fields share one header line, so each carries its column's name.
    user->setAccessibleName(QStringLiteral("User Name"));
    m_sqlPassword->setAccessibleName(QStringLiteral("Password"));
    database->setAccessibleName(QStringLiteral("DB Name"));
    server->setAccessibleName(QStringLiteral("IP Address"));

    QCheckBox *savePassword = checkBox(Option::SaveSqlPassword, QStringLiteral("Save SQL Password"), m_sqlPanel);
    m_sqlOk = button("Command31", QStringLiteral("OK"), m_sqlPanel);
    QPushButton *clear = button("Command32", QStringLiteral("Clear"), m_sqlPanel);

    auto *fields = new QHBoxLayout;
    fields->addWidget(user);
    fields->addWidget(m_sqlPassword);
    fields->addWidget(database);
    fields->addWidget(server);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_serverKind);
    buttons->addWidget(savePassword);
    buttons->addStretch();
    buttons->addWidget(m_sqlOk);
    buttons->addWidget(clear);
    auto *layout = new QVBoxLayout(m_sqlPanel);
    layout->addWidget(header);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(m_sqlOk, &QPushButton::clicked, this, [this] {
        runDisabled({m_sqlOk}, [this] {
            if (m_menu)
                m_menu->sqlOk();
        });
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        if (m_menu)
            m_menu->sqlClear();
    });
    return m_sqlPanel;
}

void MainMenuWindow::runDisabled(std::initializer_list<QPushButton *> buttons, const std::function<void()> &work)
{
    QList<QPointer<QPushButton>> disabled;
    for (QPushButton *b : buttons) {
        if (b && b->isEnabled()) {
            b->setEnabled(false);
            disabled << b;
        }
    }
    work();
    for (const QPointer<QPushButton> &b : disabled) {
        if (b)
            b->setEnabled(true);
    }
}

void MainMenuWindow::syncFromModel()
{
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        optionChanged(it.key());
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        fieldChanged(it.key());
    serverKindChanged();
    payRulesChanged();
    if (m_menu)
        m_showClock->setText(m_menu->showClockCaption());
}

void MainMenuWindow::payRulesChanged()
{
    if (!m_menu)
        return;
    const PayrollOptions &payroll = m_menu->payroll();
    for (auto it = m_ruleBoxes.cbegin(); it != m_ruleBoxes.cend(); ++it) {
        const QSignalBlocker block(it.value());
        it.value()->setChecked(payroll.text(it.key()) == QLatin1String("1"));
    }
    for (auto it = m_ruleFields.cbegin(); it != m_ruleFields.cend(); ++it) {
        if (it.value()->text() != payroll.text(it.key()))
            it.value()->setText(payroll.text(it.key()));
    }
    for (auto it = m_ruleLists.cbegin(); it != m_ruleLists.cend(); ++it) {
        const int index = it.value()->findData(payroll.text(it.key()));
        if (index >= 0)
            it.value()->setCurrentIndex(index);
    }
}

void MainMenuWindow::optionChanged(Option option)
{
    // The model's state now, not the signal's: an action may have changed it again meanwhile.
    QCheckBox *box = m_boxes.value(option);
    const bool on = m_options.isOn(option);
    if (box && box->isChecked() != on) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
}

void MainMenuWindow::fieldChanged(Field f)
{
    QLineEdit *edit = m_fields.value(f);
    const QString text = m_options.text(f);
    if (edit && edit->text() != text) {
        const QSignalBlocker block(edit);
        edit->setText(text);
    }
}

void MainMenuWindow::serverKindChanged()
{
    const int index = m_serverKind->findData(static_cast<int>(m_options.serverKind()));
    if (index >= 0 && index != m_serverKind->currentIndex()) {
        const QSignalBlocker block(m_serverKind);
        m_serverKind->setCurrentIndex(index);
    }
}

void MainMenuWindow::showWindow()
{
    show();
    raise();
    activateWindow();
}

void MainMenuWindow::hideWindow()
{
    hide();
}

bool MainMenuWindow::isWindowVisible() const
{
    return isVisible();
}

void MainMenuWindow::setStayOnTop(bool on)
{
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

void MainMenuWindow::setOfflineText(const QString &text)
{
    m_offlineState->setText(text);
    m_offlineState->setVisible(!text.isEmpty());
}

void MainMenuWindow::setMenuPanelVisible(bool visible)
{
    m_menuPanel->setVisible(visible);
}

void MainMenuWindow::setLoginPanelVisible(bool visible)
{
    m_loginPanel->setVisible(visible);
}

void MainMenuWindow::setFirstRunPanelVisible(bool visible)
{
    m_firstRunPanel->setVisible(visible);
}

void MainMenuWindow::clearLoginFields()
{
    m_user->clear();
    m_password->clear();
}

void MainMenuWindow::setPublicShutDownVisible(bool visible)
{
    m_publicShutDown->setVisible(visible);
}

void MainMenuWindow::setFontPanelVisible(bool visible)
{
    m_fontPanel->setVisible(visible);
}

void MainMenuWindow::setCameraPanelVisible(bool visible)
{
    m_cameraPanel->setVisible(visible);
}

void MainMenuWindow::setSqlPanelVisible(bool visible)
{
    m_sqlPanel->setVisible(visible);
}

void MainMenuWindow::setDatabaseLocationVisible(bool visible)
{
    m_databaseNote->setVisible(visible);
    m_fields.value(Field::DatabaseFolder)->setVisible(visible);
    m_resetPath->setVisible(visible);
}

void MainMenuWindow::setShownPasswordLength(int length)
{
    // Not blocked: like typing, the change copies the blanks into the password in use; the
    // caller sets the real password right after.
    m_sqlPassword->setText(QString(length, QLatin1Char(' ')));
}

void MainMenuWindow::showLoginDialog()
{
    SqlLoginDialog::ask(m_options, this);
}

void MainMenuWindow::openEmployees()
{
    if (m_openEmployees)
        m_openEmployees();
}

void MainMenuWindow::openReports()
{
    if (m_openReports)
        m_openReports();
}

void MainMenuWindow::openTimeEdit()
{
    if (m_openTimeEdit)
        m_openTimeEdit();
}

void MainMenuWindow::openClockedIn()
{
    if (m_openClockedIn)
        m_openClockedIn();
}

void MainMenuWindow::closeEvent(QCloseEvent *event)
{
    // The main menu lives for the whole run; only "Shut Down" ends it.
    event->ignore();
}

} // namespace admin
