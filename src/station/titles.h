#pragma once

#include <QString>

// Message box and window titles the station shares between its screens.
namespace station::titles {

inline const QString ProductName = QStringLiteral("Chronotally");
inline const QString ProductVersion = QStringLiteral("2.1");
inline const QString VendorWebAddress = QStringLiteral("www.chronotally.example");

// "Chronotally - www.chronotally.example"
inline QString plain()
{
    return ProductName + QStringLiteral(" - ") + VendorWebAddress;
}

// "Chronotally 2.1 - www.chronotally.example"
inline QString withVersion()
{
    return ProductName + QLatin1Char(' ') + ProductVersion + QStringLiteral(" - ") + VendorWebAddress;
}

} // namespace station::titles
