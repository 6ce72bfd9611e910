#include "station/clocklayout.h"

#include "platform/system.h"

namespace station::clocklayout {

namespace {
const QString CRLF = QStringLiteral("\r\n");

// The letters of the keys 0-25, in key order.
const QString Letters = QStringLiteral("QWERTYUIOPASDFGHJKLZXCVBNM");

// Left and top of the keypad keys 0-11 within the punch panel.
constexpr QPoint KeypadPositions[] = {
    {4200, 3840}, // 0
    {4200, 3120}, // 1
    {5280, 3120}, // 2
    {6360, 3120}, // 3
    {4200, 2400}, // 4
    {5280, 2400}, // 5
    {6360, 2400}, // 6
    {4200, 1680}, // 7
    {5280, 1680}, // 8
    {6360, 1680}, // 9
    {5280, 3840}, // .
    {6360, 3840}, // -
};
} // namespace

QString buttonText(const QString &caption)
{
    return QString(caption).replace(CRLF, QStringLiteral("\n"));
}

QString clockInCaption(bool spanish)
{
    return spanish ? SpanishClockInCaption : ClockInCaption;
}

QString clockOutCaption(bool spanish)
{
    return spanish ? SpanishClockOutCaption : ClockOutCaption;
}

QRect toPixels(const Twips &twips)
{
    return QRect(platform::twipsToPixels(twips.left), platform::twipsToPixels(twips.top),
                 platform::twipsToPixels(twips.width), platform::twipsToPixels(twips.height));
}

QString keypadCharacter(int index)
{
    if (index >= 0 && index <= 9)
        return QString::number(index);
    if (index == 10)
        return QStringLiteral(".");
    if (index == 11)
        return QStringLiteral("-");
    return QString();
}

QString keypadCaption(int index)
{
    return index == ClearKeyIndex ? ClearCaption : keypadCharacter(index);
}

Twips keypadKey(int index)
{
    if (index == ClearKeyIndex)
        return ClearKey;
    if (index < 0 || index > 11)
        return {};
    const QPoint p = KeypadPositions[index];
    return {p.x(), p.y(), KeypadKeyWidth, KeypadKeyHeight};
}

QString letterKeyLetter(int index)
{
    if (index < 0 || index >= Letters.size())
        return QString();
    return Letters.at(index);
}

QList<LetterKey> letterKeyLayout()
{
    QList<LetterKey> keys;
    keys.reserve(LetterKeyCount);
    int column = 0;
    for (int i = 0; i < LetterKeyCount; ++i) {
        LetterKey key;
        key.left = 650 * column;
        if (i < 10) {
            key.top = 0;
        } else if (i <= 18) {
            if (column > 8)
                column = 0;
            key.top = 550;
            if (i == 18)
                column = 0;
        } else if (i <= 25) {
            key.top = 1100;
        } else {
            key.top = 1900;
            key.visible = false;
        }
        ++column;
        if (column > 9)
            column = 0;
        key.caption = letterKeyLetter(i);
        keys.append(key);
    }
    return keys;
}

QFont buttonFont(QFont font, const QString &name, const QString &sizeText)
{
    bool ok = false;
    const double size = sizeText.trimmed().toDouble(&ok);
    // A size that is not a usable number leaves the size as it was.
    if (ok && size > 0 && size <= 1638)
        font.setPointSizeF(size);
    if (!name.trimmed().isEmpty())
        font.setFamily(name);
    return font;
}

bool endsStartup(const data::DbError &error)
{
    return error.number == data::errors::GeneralFailure;
}

QString startupErrorText(const data::DbError &error)
{
    return endsStartup(error) ? error.description : error.numberAndDescription();
}

} // namespace station::clocklayout
