#pragma once

#include <QString>

// The reversible scrambling of the stored SQL Server password: the password padded with 1 to 10
// blanks on each side, each character's position-weighted code written as digits and "-", and
// each of those eleven symbols written as one of its two capital letters, chosen at random.
namespace admin {

QString scramblePassword(const QString &password);
// Unscrambles a stored text; the result still carries the padding blanks.
QString ReadData(const QString &stored);

} // namespace admin
