#include "reports/daterange.h"

#include "platform/messagebox.h"
#include "platform/regional.h"
#include "settings/keys.h"

#include <QDate>

#include <cmath>

namespace reports {

namespace {
// The text as a finite number, or nullopt when it is not one.
std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = regional::locale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}
} // namespace

Fields DateRange::initialFields()
{
    return {QStringLiteral("MM"), QStringLiteral("DD"), QStringLiteral("YYYY")};
}

QString DateRange::fieldMessage(Part part, const QString &text)
{
    if (text.isEmpty())
        return QString();
    switch (part) {
    case Part::Month: {
        const auto value = number(text);
        return (!value || *value < 1 || *value > 12) ? MonthMessage : QString();
    }
    case Part::Day: {
        const auto value = number(text);
        return (!value || *value < 1 || *value >= 32) ? DayMessage : QString();
    }
    case Part::Year:
        return text.size() != 4 ? YearMessage : QString();
    }
    return QString();
}

bool DateRange::checkField(Part part, const QString &text, QWidget *parent)
{
    const QString message = fieldMessage(part, text);
    if (message.isEmpty())
        return true;
    platform::MessageBox::show(parent, message, platform::MessageBox::applicationTitle());
    return false;
}

std::optional<Fields> DateRange::splitStored(const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return std::nullopt;
    return Fields{parts.at(0), parts.at(1), parts.at(2)};
}

DateRange::Stored DateRange::readStored()
{
    Stored stored;
    const QString date1 = settings::read(settings::keys::ReportDate1);
    if (date1.isEmpty())
        return stored;
    stored.range1 = splitStored(date1);
    stored.range2 = splitStored(settings::read(settings::keys::ReportDate2));
    return stored;
}

QStringList DateRange::monthNames()
{
    // English names whatever the workstation's language.
    static const QStringList names = {
        QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
        QStringLiteral("April"),   QStringLiteral("May"),      QStringLiteral("June"),
        QStringLiteral("July"),    QStringLiteral("August"),   QStringLiteral("September"),
        QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")};
    return names;
}

QStringList DateRange::yearTexts()
{
    QStringList years;
    for (int year = FirstYear; year <= LastYear; ++year)
        years << QString::number(year);
    return years;
}

int DateRange::monthNumber(const QString &name)
{
    return monthNames().indexOf(name) + 1;
}

QString DateRange::monthName(int month)
{
    return month >= 1 && month <= 12 ? monthNames().at(month - 1) : QString();
}

int DateRange::firstWeekday(int month, int year)
{
    const QDate first(year, month, 1);
    if (!first.isValid())
        return 0;
    // dayOfWeek() counts Monday = 1 to Sunday = 7.
    return first.dayOfWeek() % 7 + 1;
}

QList<DateRange::DayButton> DateRange::dayButtons(int month, int year)
{
    QList<DayButton> buttons(DayButtonCount);
    const int w = firstWeekday(month, year);
    if (w == 0)
        return buttons;
    for (int i = 1; i < DayButtonCount; ++i) {
        const int day = i - w + 1;
        if (i >= w && QDate::isValid(year, month, day))
            buttons[i] = {true, QString::number(day)};
    }
    return buttons;
}

QString DateRange::caption(int which) const
{
    return which == m_openFor ? HideCaption : ShowCaption;
}

bool DateRange::toggle(int which)
{
    if (caption(which) != ShowCaption) {
        m_openFor = 0;
        return false;
    }
    m_openFor = which;
    m_target = which;
    return true;
}

Fields DateRange::pick(const QString &dayCaption, const QString &monthText, const QString &yearText)
{
    const int month = monthNumber(monthText);
    m_openFor = 0;
    return {month ? QString::number(month) : QString(), dayCaption, yearText};
}

} // namespace reports
