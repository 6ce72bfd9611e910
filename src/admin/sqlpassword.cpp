#include "admin/sqlpassword.h"

#include <QList>
#include <QRandomGenerator>
#include <QStringList>

namespace admin {

namespace {
// Symbol "0".."9" and "-" (index 10), each with its pair of letters. 22 distinct capitals.
constexpr const char *LetterPairs[11] = {"QX", "WB", "EN", "RM", "TZ", "YJ", "UH", "IG", "OF", "PD", "AK"};

int symbolIndex(QChar symbol)
{
    if (symbol == QLatin1Char('-'))
        return 10;
    if (symbol >= QLatin1Char('0') && symbol <= QLatin1Char('9'))
        return symbol.unicode() - '0';
    return -1;
}

QChar symbolOf(QChar letter)
{
    for (int i = 0; i < 11; ++i) {
        if (letter == QLatin1Char(LetterPairs[i][0]) || letter == QLatin1Char(LetterPairs[i][1]))
            return i == 10 ? QLatin1Char('-') : QChar(QLatin1Char('0' + i));
    }
    return QChar();
}
} // namespace

QString scramblePassword(const QString &password)
{
    QRandomGenerator *random = QRandomGenerator::system();
    const int leading = random->bounded(1, 11);
    const int trailing = random->bounded(1, 11);
    const QString padded = QString(leading, QLatin1Char(' ')) + password + QString(trailing, QLatin1Char(' '));

    // Characters are taken as Unicode code points, so any character comes back unchanged.
    QString symbols;
    const QList<uint> codes = padded.toUcs4();
    for (qsizetype i = 0; i < codes.size(); ++i)
        symbols += QString::number(static_cast<quint64>(i + 1) * 7 * codes[i]) + QLatin1Char('-');

    QString out;
    out.reserve(symbols.size());
    for (QChar symbol : symbols) {
        const int index = symbolIndex(symbol);
        if (index >= 0)
            out += QLatin1Char(LetterPairs[index][random->bounded(2)]);
    }
    return out;
}

QString ReadData(const QString &stored)
{
    QString symbols;
    for (QChar letter : stored) {
        const QChar symbol = symbolOf(letter);
        if (!symbol.isNull())
            symbols += symbol;
    }
    QList<uint> codes;
    const QStringList numbers = symbols.split(QLatin1Char('-'));
    for (qsizetype k = 0; k < numbers.size(); ++k) {
        if (k == numbers.size() - 1 && numbers[k].isEmpty())
            break;
        bool ok = false;
        const quint64 value = numbers[k].toULongLong(&ok);
        const quint64 weight = static_cast<quint64>(k + 1) * 7;
        if (!ok || value % weight != 0)
            continue;
        codes << static_cast<uint>(value / weight);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(codes.constData()), codes.size());
}

} // namespace admin
