#include "reports/daterangepanel.h"

#include "platform/clock.h"
#include "platform/system.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace reports {

namespace {
// Design geometry in twips, converted to pixels here only.
QRect pixels(int left, int top, int width, int height)
{
    return QRect(platform::twipsToPixels(left), platform::twipsToPixels(top),
                 platform::twipsToPixels(width), platform::twipsToPixels(height));
}

constexpr int DayWidth = 757;
constexpr int DayHeight = 500;
constexpr int GridTop = 550;
constexpr int GridRows = 6;
constexpr int CalendarWidth = DayWidth * DateRange::GridColumns;
constexpr int CalendarHeight = GridTop + DayHeight * GridRows;
constexpr int ListTop = 90;
constexpr int ListHeight = 375;
constexpr int MonthListWidth = 2910;
constexpr int YearListLeft = 3090;
constexpr int ShortFieldWidth = 615;
constexpr int YearFieldWidth = 855;

const char *const FieldNames[2][3] = {{"Text1", "Text2", "Text4"}, {"Text5", "Text8", "Text9"}};
const char *const FieldDescriptions[3] = {"Month", "Day", "Year"};
const char *const ButtonNames[2] = {"Command5", "Command8"};

constexpr DateRange::Part Parts[3] = {DateRange::Part::Month, DateRange::Part::Day, DateRange::Part::Year};

QString text(const Fields &f, int part)
{
    return part == 0 ? f.month : part == 1 ? f.day : f.year;
}
} // namespace

DateRangePanel::DateRangePanel(QWidget *parent)
    : QWidget(parent)
{
    auto *grid = new QGridLayout(this);
    const Fields initial = DateRange::initialFields();
    for (int r = 0; r < 2; ++r) {
        auto *label = new QLabel(QStringLiteral("Enter Date Range %1").arg(r + 1), this);
        label->setTextFormat(Qt::PlainText);
        grid->addWidget(label, r, 0);
        for (int p = 0; p < 3; ++p) {
            auto *field = new QLineEdit(text(initial, p), this);
            field->setObjectName(QLatin1String(FieldNames[r][p]));
            field->setAccessibleName(QStringLiteral("Range %1 %2").arg(r + 1).arg(QLatin1String(FieldDescriptions[p])));
            field->setFixedWidth(platform::twipsToPixels(p == 2 ? YearFieldWidth : ShortFieldWidth));
            field->installEventFilter(this);
            grid->addWidget(field, r, p + 1);
            m_fields[r][p] = field;
        }
        auto *button = new QPushButton(m_logic.caption(r + 1), this);
        button->setObjectName(QLatin1String(ButtonNames[r]));
        connect(button, &QPushButton::clicked, this, [this, r] { toggleCalendar(r + 1); });
        grid->addWidget(button, r, 4);
        m_calendarButtons[r] = button;
    }
    grid->setColumnStretch(5, 1);
    buildCalendar();
}

DateRangePanel::~DateRangePanel()
{
    // The calendar may live in the window while it is open; it goes with the panel.
    if (m_calendar && m_calendar->parent() != this)
        delete m_calendar;
}

void DateRangePanel::buildCalendar()
{
    m_calendar = new QFrame(this);
    m_calendar->setObjectName(QStringLiteral("FrameDateCheck"));
    m_calendar->setAutoFillBackground(true);
    m_calendar->resize(pixels(0, 0, CalendarWidth, CalendarHeight).size());
    m_calendar->hide();

    m_month = new QComboBox(m_calendar);
    m_month->setObjectName(QStringLiteral("ComboMonth"));
    m_month->setAccessibleName(QStringLiteral("Month"));
    m_month->setGeometry(pixels(0, ListTop, MonthListWidth, ListHeight));
    m_month->addItems(DateRange::monthNames());
    m_year = new QComboBox(m_calendar);
    m_year->setObjectName(QStringLiteral("ComboYear"));
    m_year->setAccessibleName(QStringLiteral("Year"));
    m_year->setGeometry(pixels(YearListLeft, ListTop, CalendarWidth - YearListLeft, ListHeight));
    m_year->addItems(DateRange::yearTexts());
    // Filled once; from now on a change redraws the calendar.
    connect(m_month, &QComboBox::currentIndexChanged, this, &DateRangePanel::drawCalendar);
    connect(m_year, &QComboBox::currentIndexChanged, this, &DateRangePanel::drawCalendar);

    for (int i = 0; i < DateRange::DayButtonCount; ++i) {
        auto *day = new QPushButton(QString::number(i), m_calendar);
        day->setObjectName(QStringLiteral("CommandCalender%1").arg(i));
        day->setProperty("index", i);
        if (i >= DateRange::FirstGridButton && i <= DateRange::LastGridButton)
            day->setGeometry(pixels(DayWidth * DateRange::gridColumn(i),
                                    GridTop + DayHeight * DateRange::gridRow(i), DayWidth, DayHeight));
        day->hide();
        connect(day, &QPushButton::clicked, this, [this, i] { pickDay(i); });
        m_days << day;
    }
}

Fields DateRangePanel::range(int which) const
{
    if (which != 1 && which != 2)
        return {};
    QLineEdit *const *f = m_fields[which - 1];
    return {f[0]->text(), f[1]->text(), f[2]->text()};
}

void DateRangePanel::setRange(int which, const Fields &f)
{
    if (which != 1 && which != 2)
        return;
    for (int p = 0; p < 3; ++p)
        m_fields[which - 1][p]->setText(text(f, p));
}

void DateRangePanel::restore()
{
    const DateRange::Stored stored = DateRange::readStored();
    if (stored.range1)
        setRange(1, *stored.range1);
    if (stored.range2)
        setRange(2, *stored.range2);
}

bool DateRangePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Only a move to another control counts as leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            checkField(qobject_cast<QLineEdit *>(watched));
    }
    return QWidget::eventFilter(watched, event);
}

void DateRangePanel::checkField(QLineEdit *field)
{
    if (!field || m_checking)
        return;
    for (int r = 0; r < 2; ++r) {
        for (int p = 0; p < 3; ++p) {
            if (m_fields[r][p] != field)
                continue;
            m_checking = true;
            if (!DateRange::checkField(Parts[p], field->text(), this))
                field->clear();
            m_checking = false;
            return;
        }
    }
}

void DateRangePanel::toggleCalendar(int which)
{
    const bool open = m_logic.toggle(which);
    updateCaptions();
    if (open)
        showCalendar();
    else
        m_calendar->hide();
}

void DateRangePanel::updateCaptions()
{
    for (int r = 0; r < 2; ++r)
        m_calendarButtons[r]->setText(m_logic.caption(r + 1));
}

void DateRangePanel::showCalendar()
{
    const QDate today = platform::Clock::now().date();
    {
        const QSignalBlocker blockMonth(m_month);
        const QSignalBlocker blockYear(m_year);
        m_month->setCurrentIndex(today.month() - 1);
        const int year = m_year->findText(QString::number(today.year()));
        if (year >= 0)
            m_year->setCurrentIndex(year);
    }
    drawCalendar();

    // Over the window, just below the panel, inside the window where possible.
    QWidget *host = window();
    if (m_calendar->parentWidget() != host)
        m_calendar->setParent(host);
    QPoint at = mapTo(host, QPoint(0, height()));
    at.setX(qMax(0, qMin(at.x(), host->width() - m_calendar->width())));
    at.setY(qMax(0, qMin(at.y(), host->height() - m_calendar->height())));
    m_calendar->move(at);
    m_calendar->show();
    m_calendar->raise();
}

void DateRangePanel::drawCalendar()
{
    const QList<DateRange::DayButton> buttons =
        DateRange::dayButtons(DateRange::monthNumber(m_month->currentText()), m_year->currentText().toInt());
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons[i].visible)
            m_days[i]->setText(buttons[i].caption);
        m_days[i]->setVisible(buttons[i].visible);
    }
}

void DateRangePanel::pickDay(int index)
{
    const int target = m_logic.target();
    setRange(target, m_logic.pick(m_days[index]->text(), m_month->currentText(), m_year->currentText()));
    updateCaptions();
    m_calendar->hide();
}

} // namespace reports
