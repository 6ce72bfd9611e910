#include "station/clockscreen.h"

#include "admin/mainmenu.h"
#include "platform/messagebox.h"
#include "platform/regional.h"
#include "platform/system.h"
#include "settings/keys.h"
#include "station/clocklayout.h"
#include "station/keyboardhook.h"
#include "station/lockdown.h"
#include "station/offlinelink.h"
#include "station/punchservice.h"
#include "station/tamperlock.h"
#include "station/titles.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>

#include <exception>

namespace station {

namespace layout = clocklayout;
using admin::Field;
using admin::Option;
using platform::twipsToPixels;

namespace {
// The error a start-up step that throws leaves behind (E_UNEXPECTED).
constexpr int UnexpectedFailure = -2147418113;

// Runs one step of the start-up sequence: a step that fails is skipped and the sequence
// goes on; its error is remembered.
template <typename Step>
void resumeNext(data::DbError &remembered, Step &&step)
{
    try {
        step();
    } catch (const std::exception &e) {
        remembered = {UnexpectedFailure, QString::fromLocal8Bit(e.what())};
    } catch (...) {
        remembered = {UnexpectedFailure, QStringLiteral("Unexpected failure")};
    }
}

QFont designFont(const QString &family, int pointSize, bool bold)
{
    QFont font(family, pointSize);
    font.setBold(bold);
    return font;
}
} // namespace

Form1::Form1(admin::MainMenu &mainMenu, PunchService &punches, QWidget *parent)
    : QWidget(parent, Qt::Window), m_mainMenu(mainMenu), m_punches(punches)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(titles::withVersion());
    m_openConnection = [this] {
        m_connection = data::Database::open(m_mainMenu.options().connectionSettings());
        return m_connection->openError();
    };
    buildControls();

    // Opens centred on the screen with the design client area.
    const QRect client = layout::toPixels(layout::WindowClientArea);
    resize(client.size());
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(client.width() / 2, client.height() / 2));

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &Form1::tick);
    m_timer->start();
}

Form1::~Form1() = default;

QPushButton *Form1::makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setFont(designFont(QStringLiteral("Verdana"), 12, true));
    // The buttons never take the keyboard: typed and scanned IDs always reach the ID field.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    return button;
}

void Form1::buildControls()
{
    m_punchPanel = new QFrame(this);
    m_punchPanel->setObjectName(QStringLiteral("Frame2"));
    m_punchPanel->setGeometry(layout::toPixels(layout::PunchPanel));

    m_companyLabel = new QLabel(m_punchPanel);
    m_companyLabel->setTextFormat(Qt::PlainText); // the stored company text, never markup
    m_companyLabel->setObjectName(QStringLiteral("Label2"));
    m_companyLabel->setFont(designFont(QStringLiteral("Verdana"), 24, false));
    m_companyLabel->setGeometry(layout::toPixels(layout::CompanyLabel));

    m_clockIn = makeButton(m_punchPanel, QStringLiteral("Command1"), layout::ClockInCaption);
    m_clockIn->setGeometry(layout::toPixels(layout::ClockInButton));
    m_clockOut = makeButton(m_punchPanel, QStringLiteral("Command2"), layout::ClockOutCaption);
    m_clockOut->setGeometry(layout::toPixels(layout::ClockOutButton));

    m_timeLabel = new QLabel(m_punchPanel);
    m_timeLabel->setTextFormat(Qt::PlainText);
    m_timeLabel->setObjectName(QStringLiteral("Label1"));
    m_timeLabel->setFont(designFont(QStringLiteral("Verdana"), 12, false));
    m_timeLabel->setGeometry(layout::toPixels(layout::TimeLabel));

    m_offlineLabel = new QLabel(m_punchPanel);
    m_offlineLabel->setTextFormat(Qt::PlainText);
    m_offlineLabel->setObjectName(QStringLiteral("LabelOffline"));
    m_offlineLabel->setGeometry(layout::toPixels(layout::OfflineLabel));
    m_offlineLabel->hide();

    m_idField = new QLineEdit(m_punchPanel);
    m_idField->setObjectName(QStringLiteral("Text1"));
    m_idField->setFont(designFont(QStringLiteral("MS Sans Serif"), 12, true));
    m_idField->setGeometry(layout::toPixels(layout::IdField));
    connect(m_idField, &QLineEdit::returnPressed, this, &Form1::idEntered);

    for (int i = 0; i < layout::KeypadKeyCount; ++i) {
        QPushButton *key = makeButton(m_punchPanel, QStringLiteral("Command4_%1").arg(i), layout::keypadCaption(i));
        key->setProperty("index", i);
        key->setGeometry(layout::toPixels(layout::keypadKey(i)));
        connect(key, &QPushButton::clicked, this, [this, i] { numericKey(i); });
        m_keypad.append(key);
    }

    m_mainMenuButton = makeButton(m_punchPanel, QStringLiteral("Command5"), layout::MainMenuCaption);
    m_mainMenuButton->setGeometry(layout::toPixels(layout::MainMenuButton));
    m_keyboardButton = makeButton(m_punchPanel, QStringLiteral("Command8"), layout::ShowKeyboardCaption);
    m_keyboardButton->setGeometry(layout::toPixels(layout::KeyboardButton));
    m_aboutButton = makeButton(m_punchPanel, QStringLiteral("Command9"), layout::AboutCaption);
    m_aboutButton->setGeometry(layout::toPixels(layout::AboutButton));

    m_letterKeyboard = new QFrame(m_punchPanel);
    m_letterKeyboard->setObjectName(QStringLiteral("Frame1"));
    m_letterKeyboard->setGeometry(layout::toPixels(layout::LetterKeyboard));
    m_letterKeyboard->hide();
    for (int i = 0; i < layout::LetterKeyCount; ++i) {
        QPushButton *key = makeButton(m_letterKeyboard, QStringLiteral("Command12_%1").arg(i), QString());
        key->setProperty("index", i);
        key->resize(twipsToPixels(layout::LetterKeyWidth), twipsToPixels(layout::LetterKeyHeight));
        connect(key, &QPushButton::clicked, this, [this, i] { letterKey(i); });
        m_letterKeys.append(key);
    }

    // Outside the punch panel, covering the two punch buttons; hidden until asked for.
    m_combined = makeButton(this, QStringLiteral("Command10"), layout::ClockInOutCaption);
    m_combined->setGeometry(layout::toPixels(layout::CombinedButton));
    m_combined->hide();

    connect(m_clockIn, &QPushButton::clicked, this, [this] { punch(&PunchService::ClockIn); });
    connect(m_clockOut, &QPushButton::clicked, this, [this] { punch(&PunchService::ClockOut); });
    connect(m_combined, &QPushButton::clicked, this, [this] { punch(&PunchService::ClockInOut); });
    connect(m_mainMenuButton, &QPushButton::clicked, this, &Form1::openMainMenu);
    connect(m_keyboardButton, &QPushButton::clicked, this, &Form1::toggleKeyboard);
    connect(m_aboutButton, &QPushButton::clicked, this, &Form1::about);
}

bool Form1::load()
{
    const admin::OptionsModel &options = m_mainMenu.options();
    data::DbError remembered;
    m_loading = true;
    auto loaded = qScopeGuard([this] { m_loading = false; });

    // 1. The main menu's start-up routine: options, database check, automatic launch.
    resumeNext(remembered, [&] { m_mainMenu.startupRoutine(); });
    if (m_mainMenu.hasEnded()) {
        m_ended = true;
        return false;
    }
    // 2. The combined button in front of the two punch buttons.
    resumeNext(remembered, [&] {
        if (options.isOn(Option::OneIcon))
            setCombinedButtonVisible(true);
    });
    // 3. The font settings on every button.
    resumeNext(remembered, [&] { applyButtonFonts(); });
    // 4. No title bar or borders when users may not move the clock.
    resumeNext(remembered, [&] {
        if (options.isOn(Option::BlockMoving))
            clipToClientArea();
    });

    remembered = {};
    // 5. The clock display.
    resumeNext(remembered, [&] { m_timeLabel->setText(regional::stationTimeText()); });
    // 6. The letter keys.
    resumeNext(remembered, [&] { SetUpTheKeys(); });
    // 7. The connection every punch uses.
    resumeNext(remembered, [&] {
        if (const data::DbError error = m_openConnection()) {
            // A server that cannot be reached now: the station punches into its queue and
            // sends the punches once the server answers.
            if (error.unreachable && m_offline)
                m_offline->goAway();
            else
                remembered = error;
        }
    });
    // 8. Top-most.
    resumeNext(remembered, [&] {
        if (options.isOn(Option::StayOnTop))
            setStayOnTop(true);
    });
    // 9. Kiosk lock-down.
    resumeNext(remembered, [&] {
        if (options.isOn(Option::DisableCtrlAltDelete)) {
            SetLockdownPolicies();
            installKeyboardHook(this);
        }
    });
    // 10. On screen.
    m_loading = false;
    resumeNext(remembered, [&] { showClock(); });

    // 11. The one error check.
    if (remembered) {
        platform::MessageBox::ok(layout::startupErrorText(remembered), QString());
        if (layout::endsStartup(remembered)) {
            ClearLockdownPolicies();
            settings::remove(settings::keys::DatabaseFolder);
            hide();
            endProgram();
            return false;
        }
    }
    // 12. The company text.
    m_companyLabel->setText(options.text(Field::DisplayText));
    // 13. Two-language punch captions.
    if (options.isOn(Option::Spanish)) {
        m_clockIn->setText(layout::buttonText(layout::clockInCaption(true)));
        m_clockOut->setText(layout::buttonText(layout::clockOutCaption(true)));
    }
    return true;
}

void Form1::setOfflineLink(OfflineLink *link)
{
    m_offline = link;
    if (link)
        connect(link, &OfflineLink::changed, this, &Form1::showOfflineState);
}

void Form1::showOfflineState()
{
    const QString text = m_offline ? m_offline->stateText() : QString();
    m_offlineLabel->setText(text);
    m_offlineLabel->setVisible(!text.isEmpty());
}

void Form1::endProgram()
{
    m_ended = true;
    if (m_endProgram)
        m_endProgram();
}

void Form1::applyButtonFonts()
{
    const admin::OptionsModel &options = m_mainMenu.options();
    const QString name = options.text(Field::FontName);
    const QString size = options.text(Field::FontSize);
    for (QWidget *control : findChildren<QWidget *>()) {
        if (control->objectName().startsWith(QLatin1String("Comm")))
            control->setFont(layout::buttonFont(control->font(), name, size));
    }
}

void Form1::clipToClientArea()
{
    // The window shows only its client area: no title bar, no borders, nothing to drag.
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, true);
    if (wasVisible)
        show();
}

void Form1::SetUpTheKeys()
{
    const QList<layout::LetterKey> keys = layout::letterKeyLayout();
    for (int i = 0; i < m_letterKeys.size(); ++i) {
        QCoreApplication::processEvents();
        m_letterKeys[i]->move(twipsToPixels(keys[i].left), twipsToPixels(keys[i].top));
        m_letterKeys[i]->setVisible(keys[i].visible);
    }
    for (int i = 0; i < m_letterKeys.size(); ++i) {
        QCoreApplication::processEvents();
        if (!keys[i].caption.isEmpty())
            m_letterKeys[i]->setText(keys[i].caption);
    }
}

void Form1::tick()
{
    tamper::clockTick([this] { return m_timeLabel->text(); },
                      [this](const QString &text) { m_timeLabel->setText(text); },
                      [this] { m_mainMenu.lockStation(); },
                      m_mainMenu.options().isOn(Option::DaylightSavingUnlocked));
}

QString Form1::idText() const
{
    return m_idField->text();
}

void Form1::setIdText(const QString &text)
{
    m_idField->setText(text);
}

void Form1::numericKey(int index)
{
    if (index == layout::ClearKeyIndex)
        m_idField->clear();
    else
        m_idField->setText(m_idField->text() + layout::keypadCharacter(index));
}

void Form1::letterKey(int index)
{
    m_idField->setText(m_idField->text() + layout::letterKeyLetter(index));
    setWindowTitle(QString::number(index));
}

void Form1::openMainMenu()
{
    m_mainMenuButton->setEnabled(false);
    auto enableAgain = qScopeGuard([this] { m_mainMenuButton->setEnabled(true); });
    m_mainMenu.showAndRefresh();
    if (!m_mainMenu.options().isOn(Option::KeepMaximized)) {
        ClearLockdownPolicies();
        hideClock();
    }
}

void Form1::toggleKeyboard()
{
    const bool showing = m_keyboardButton->text() != layout::ShowKeyboardCaption;
    m_letterKeyboard->setVisible(!showing);
    m_keyboardButton->setText(showing ? layout::ShowKeyboardCaption : layout::HideKeyboardCaption);
    if (!m_mainMenu.options().isOn(Option::KeepMaximized))
        resize(width(), twipsToPixels(showing ? layout::KeyboardHiddenClientHeight : layout::KeyboardShownClientHeight));
}

void Form1::about()
{
    platform::MessageBox::ok(layout::AboutText, layout::AboutText);
}

void Form1::idEntered()
{
    // A badge or barcode reader types the ID and Enter: with the combined button shown,
    // that is one punch. With the two separate buttons the employee still chooses.
    if (m_combined->isVisibleTo(this) && m_combined->isEnabled())
        m_combined->click();
}

void Form1::punch(void (PunchService::*operation)())
{
    // A press while an earlier punch waits for its photo popup is a punch of its own, run
    // inside that wait with the ID the field holds now. The confirmation message before the
    // wait is modal, so a double click cannot reach here twice.
    (m_punches.*operation)();
}

void Form1::showClock()
{
    // While loading, the sequence itself shows the screen at its end.
    if (m_loading)
        return;
    show();
    raise();
    activateWindow();
    m_idField->setFocus();
}

void Form1::hideClock()
{
    // A hide asked for while loading (an option acting during the main menu's start-up)
    // is overtaken by the sequence showing the screen.
    if (m_loading)
        return;
    hide();
}

bool Form1::isClockVisible() const
{
    return isVisible();
}

void Form1::setPunchPanelVisible(bool visible)
{
    m_punchPanel->setVisible(visible);
}

void Form1::setCombinedButtonVisible(bool visible)
{
    m_combined->setVisible(visible);
    if (visible)
        m_combined->raise();
}

void Form1::setSizableBorder()
{
    // The window keeps the decorations it has (a clipped window stays clipped: its cut is
    // made once at start-up) and may be resized again.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void Form1::setWindowGeometryTwips(int left, int top, int width, int height)
{
    QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect wanted(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
    if (s && (wanted.width() >= s->geometry().width() || wanted.height() >= s->geometry().height())) {
        // Larger than the screen: the window covers the screen.
        setGeometry(s->geometry());
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    setWindowState(windowState() & ~Qt::WindowMaximized);
    resize(wanted.size());
    move(wanted.topLeft());
}

void Form1::centrePunchPanel()
{
    QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QSize screenSize = s->geometry().size();
    m_punchPanel->move(screenSize.width() / 2 - m_punchPanel->width() / 2 + twipsToPixels(1000),
                       screenSize.height() / 2 - m_punchPanel->height() / 2 + twipsToPixels(1000));
    placeCombinedButton();
}

void Form1::placeCombinedButton()
{
    // The combined button lies outside the panel but covers its two punch buttons, so it
    // moves with the panel.
    m_combined->move(m_punchPanel->pos() + m_clockIn->pos());
}

void Form1::setStayOnTop(bool on)
{
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (wasVisible)
        show();
}

void Form1::requestUnload()
{
    // Refused: the clock screen stays loaded and keeps its state.
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->ignore();
}

} // namespace station
