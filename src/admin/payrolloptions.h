#pragma once

#include <QMap>
#include <QObject>
#include <QString>

namespace admin {

// The options panel's Payroll box: the station-wide pay rules of the PayRules table, as texts
// by rule name (reports::rulenames), read and written on the current connection through the
// pay rules store. A value counts once the administrator accepts it (leaves the field, presses
// Enter, ticks a box or picks from a list); then it is written with its audit row.
class PayrollOptions : public QObject
{
    Q_OBJECT

public:
    explicit PayrollOptions(QObject *parent = nullptr);

    // Reads the table's values (the defaults where it holds none) and with them the rules the
    // station applies. A database error is shown; the defaults are shown then.
    bool load();

    QString text(const QString &rule) const { return m_texts.value(rule); }
    const QMap<QString, QString> &texts() const { return m_texts; }

    // An accepted value. The shown value accepted again writes nothing. A value the store
    // refuses (not a number, out of range) or cannot write is shown in a message and nothing
    // is written; the shown value stays. Every outcome ends with changed(), so a field that
    // holds a refused text goes back to the shown value. Returns whether it stands now.
    bool accept(const QString &rule, const QString &text, const QString &administrator);

Q_SIGNALS:
    void changed();

private:
    QMap<QString, QString> m_texts;
    // Set while a value is written: the message box of a refusal takes the focus from the
    // field, which accepts it again; that second one is ignored.
    bool m_busy = false;
};

} // namespace admin
