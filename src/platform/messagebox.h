#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace platform {

// Every message box of the program goes through here. In scripted mode (tests) nothing is
// shown: the box is recorded and answered from a queue or a handler the test sets.
class MessageBox
{
public:
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    struct Shown {
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        // The button that Enter answers with (Yes or No; Ok for an OK-only box).
        Answer defaultAnswer = Answer::Ok;
    };

    // The title used where a message carries "the application's title".
    static QString applicationTitle();

    // A Yes/No box has Yes as its default button unless defaultAnswer says No.
    static Answer show(QWidget *parent, const QString &text, const QString &title,
                       Buttons buttons = Buttons::Ok, Answer defaultAnswer = Answer::Yes);
    static Answer ok(const QString &text, const QString &title) { return show(nullptr, text, title); }
    static Answer yesNo(const QString &text, const QString &title)
    {
        return show(nullptr, text, title, Buttons::YesNo);
    }

    // --- scripting for tests ---
    static void setScripted(bool on);
    static bool isScripted();
    // Answers given in order to the next boxes; an empty queue answers Ok or No.
    static void queueAnswer(Answer answer);
    // Called for every box in scripted mode before the queue is consulted; return an answer to use it.
    static void setHandler(std::function<std::optional<Answer>(const Shown &)> handler);
    static QList<Shown> shown();
    static QStringList shownTexts();
    static void clearShown();
};

} // namespace platform
