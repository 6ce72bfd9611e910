#include "platform/messagebox.h"

#include "product.h"

#include <QApplication>
#include <QMessageBox>
#include <QQueue>

namespace platform {

namespace {
struct Script {
    bool scripted = false;
    QQueue<MessageBox::Answer> answers;
    std::function<std::optional<MessageBox::Answer>(const MessageBox::Shown &)> handler;
    QList<MessageBox::Shown> shown;
};
Script &script()
{
    static Script s;
    return s;
}
} // namespace

QString MessageBox::applicationTitle()
{
    return product::Name;
}

MessageBox::Answer MessageBox::show(QWidget *parent, const QString &text, const QString &title,
                                    Buttons buttons, Answer defaultAnswer)
{
    if (buttons == Buttons::Ok)
        defaultAnswer = Answer::Ok;
    else if (defaultAnswer != Answer::No)
        defaultAnswer = Answer::Yes;
    Script &s = script();
    if (s.scripted) {
        const Shown box{text, title, buttons, defaultAnswer};
        s.shown.append(box);
        if (s.handler) {
            if (auto answer = s.handler(box))
                return *answer;
        }
        if (!s.answers.isEmpty())
            return s.answers.dequeue();
        return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    }

    QMessageBox box(parent);
    box.setWindowTitle(title);
    // Texts come from the database, the settings and typing: shown as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const int result = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void MessageBox::setScripted(bool on)
{
    Script &s = script();
    s.scripted = on;
    s.answers.clear();
    s.handler = nullptr;
    s.shown.clear();
}

bool MessageBox::isScripted()
{
    return script().scripted;
}

void MessageBox::queueAnswer(Answer answer)
{
    script().answers.enqueue(answer);
}

void MessageBox::setHandler(std::function<std::optional<Answer>(const Shown &)> handler)
{
    script().handler = std::move(handler);
}

QList<MessageBox::Shown> MessageBox::shown()
{
    return script().shown;
}

QStringList MessageBox::shownTexts()
{
    QStringList texts;
    for (const Shown &box : script().shown)
        texts << box.text;
    return texts;
}

void MessageBox::clearShown()
{
    script().shown.clear();
}

} // namespace platform
