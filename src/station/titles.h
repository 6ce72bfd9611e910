#pragma once

#include "product.h"

#include <QString>

// Message box and window titles the station shares between its screens.
namespace station::titles {

// The product's name and version under their older names here; product.h holds them.
inline const QString &ProductName = product::Name;
inline const QString &ProductVersion = product::Version;

inline const QString VendorWebAddress = QStringLiteral("www.chronotally.example");

// "Chronotally - www.chronotally.example"
inline QString plain()
{
    return product::Name + QStringLiteral(" - ") + VendorWebAddress;
}

// "Chronotally 2.1 - www.chronotally.example"
inline QString withVersion()
{
    return product::nameAndVersion() + QStringLiteral(" - ") + VendorWebAddress;
}

} // namespace station::titles
