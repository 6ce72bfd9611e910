#pragma once

#include "reports/daterange.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;

namespace reports {

// The report screen's date range entry: "Enter Date Range 1" with Text1, Text2, Text4
// (month, day, year) and "Show Calender" (Command5); "Enter Date Range 2" with Text5, Text8,
// Text9 and Command8; and the calendar FrameDateCheck with ComboMonth, ComboYear and the day
// buttons CommandCalender0..45 (each also carrying its number in the property "index").
//
// A field is checked when it loses the focus to another control (not when the window loses
// the activation or a context menu opens); a refused field is emptied. Days picked on the
// calendar go into the fields unchecked.
//
// The calendar is hidden while not in use. The month and year lists are filled once, when
// the panel is built; every opening selects the current month and year. When it opens it is
// moved into the panel's top-level window (window()), placed just below the panel (pulled
// back inside the window where it would stick out) and raised, so it lies over whatever is
// below the panel, such as the report list, instead of being clipped to the panel. The
// panel keeps owning it: it is deleted with the panel, wherever it lives at that time.
class DateRangePanel : public QWidget
{
    Q_OBJECT

public:
    explicit DateRangePanel(QWidget *parent = nullptr);
    ~DateRangePanel() override;

    // Range 1 or 2: the texts as typed.
    Fields range(int which) const;
    void setRange(int which, const Fields &f);
    // Restores both ranges from the settings; called when the report window opens.
    void restore();

    DateRange &logic() { return m_logic; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildCalendar();
    void toggleCalendar(int which);
    void updateCaptions();
    void showCalendar();
    void drawCalendar();
    void pickDay(int index);
    void checkField(QLineEdit *field);

    DateRange m_logic;
    // Month, day, year of each range.
    QLineEdit *m_fields[2][3] = {};
    QPushButton *m_calendarButtons[2] = {};
    QPointer<QFrame> m_calendar;
    QComboBox *m_month = nullptr;
    QComboBox *m_year = nullptr;
    QList<QPushButton *> m_days;
    bool m_checking = false;
};

} // namespace reports
