#include "admin/payrolloptions.h"

#include "platform/busyscope.h"
#include "platform/messagebox.h"
#include "reports/payrulesstore.h"

namespace admin {

using platform::MessageBox;
using reports::PayRulesStore;

PayrollOptions::PayrollOptions(QObject *parent)
    : QObject(parent), m_texts(PayRulesStore::textsOf(reports::PayRules()))
{
}

bool PayrollOptions::load()
{
    PayRulesStore store;
    data::DbError error;
    m_texts = store.texts(&error);
    // The rules the clock and the reports of this station apply, as the table holds them now.
    if (!error)
        store.read(&error);
    Q_EMIT changed();
    if (error) {
        MessageBox::ok(error.description, MessageBox::applicationTitle());
        return false;
    }
    return true;
}

bool PayrollOptions::accept(const QString &rule, const QString &text, const QString &administrator)
{
    const platform::BusyScope busy(m_busy);
    if (!busy)
        return false;
    if (m_texts.contains(rule) && text == m_texts.value(rule))
        return true;

    PayRulesStore store;
    const reports::PayChange change = store.writeRule(rule, text, administrator);
    data::DbError error = change.error;
    if (change.ok()) {
        // The stored form ("07.50" is kept as "7.5"), and what other stations changed meanwhile.
        const QMap<QString, QString> texts = store.texts(&error);
        if (!error)
            m_texts = texts;
        else
            m_texts.insert(rule, text.trimmed());
    }
    // Shown only after the fields went back, so the message box's taking the focus finds no
    // refused text to accept.
    Q_EMIT changed();
    if (!change.refusal.isEmpty())
        MessageBox::ok(change.refusal, MessageBox::applicationTitle());
    else if (error)
        MessageBox::ok(error.description, MessageBox::applicationTitle());
    return change.ok();
}

} // namespace admin
