#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The report screen's date range entry apart from any widget: the checks of the six date
// fields, the ranges restored from the settings, the month calendar's arithmetic and which
// range the calendar is open for.
//
// Composing the two dates, checking them as dates and saving them is the report run's work,
// not this class's.
namespace reports {

// One range as typed: month, day and year texts.
struct Fields {
    QString month;
    QString day;
    QString year;

    bool operator==(const Fields &) const = default;
};

class DateRange
{
public:
    enum class Part { Month, Day, Year };

    // Messages of the field checks (OK only, the application's title).
    static inline const QString MonthMessage = QStringLiteral("The Month value must be between 1 and 12.");
    static inline const QString DayMessage = QStringLiteral("The Day value must be between 1 and 31.");
    static inline const QString YearMessage = QStringLiteral("The Year value entered must be 4 digits.");

    // Captions of the two calendar buttons.
    static inline const QString ShowCaption = QStringLiteral("Show Calender");
    static inline const QString HideCaption = QStringLiteral("Hide Calender");

    // The texts a range's fields start with: "MM", "DD", "YYYY".
    static Fields initialFields();

    // --- field checks ---
    // The message a field's text earns, or an empty text when it passes. An empty field
    // passes. Month: a number from 1 to 12. Day: a number from 1 to below 32 (1.5 passes).
    // Year: exactly four characters, of any kind.
    static QString fieldMessage(Part part, const QString &text);
    // Runs the check for a field that lost the focus: shows the message over parent and
    // returns false when the field is to be emptied.
    static bool checkField(Part part, const QString &text, QWidget *parent = nullptr);

    // --- restore ---
    // A stored range, month/day/year; nullopt unless it splits into exactly three parts at "/".
    static std::optional<Fields> splitStored(const QString &stored);
    struct Stored {
        std::optional<Fields> range1;
        std::optional<Fields> range2;
    };
    // Reads "date1" and "date2" of section Reports. Nothing is taken when "date1" is empty;
    // a range whose value does not split into three parts is left out (its fields keep what
    // they show).
    static Stored readStored();

    // --- calendar arithmetic ---
    // Day buttons 0..45; 1..41 lie on a grid of 6 rows of 7 cells, Sunday first.
    static constexpr int DayButtonCount = 46;
    static constexpr int FirstGridButton = 1;
    static constexpr int LastGridButton = 41;
    static constexpr int GridColumns = 7;
    static int gridRow(int button) { return (button - 1) / GridColumns; }
    static int gridColumn(int button) { return (button - 1) % GridColumns; }

    static constexpr int FirstYear = 1900;
    static constexpr int LastYear = 2998;
    static QStringList monthNames();
    static QStringList yearTexts();
    // 1..12 for "January".."December", 0 for any other text.
    static int monthNumber(const QString &name);
    static QString monthName(int month);

    // Weekday of the first of the month, Sunday = 1 to Saturday = 7; 0 for an invalid month.
    static int firstWeekday(int month, int year);

    struct DayButton {
        bool visible = false;
        QString caption;
    };
    // The 46 day buttons for a month: button i shows day i - w + 1 (w the first's weekday)
    // while that is a day of the month; every other button is hidden.
    static QList<DayButton> dayButtons(int month, int year);

    // --- calendar state ---
    // The range (1 or 2) the calendar is open for, 0 while it is closed.
    int openFor() const { return m_openFor; }
    bool isOpen() const { return m_openFor != 0; }
    // The range a picked day goes to; stays as last set.
    int target() const { return m_target; }
    // The caption of range which's calendar button: "Hide Calender" only on the button that
    // opened the calendar, so the two never disagree.
    QString caption(int which) const;
    // The calendar button of range which: closes the calendar when that button reads
    // "Hide Calender", otherwise opens it for that range (also when it was open for the
    // other one). Returns whether the calendar is now open.
    bool toggle(int which);
    // A day picked on the calendar: the target range's new texts (day as captioned, month
    // number without leading zero or empty for a text that is no month name, year as
    // listed). Closes the calendar.
    Fields pick(const QString &dayCaption, const QString &monthText, const QString &yearText);

private:
    int m_openFor = 0;
    int m_target = 1;
};

} // namespace reports
