#pragma once

#include <QString>

namespace station {

// The clock screen's ID field, as the punch operations read and empty it.
class IdField
{
public:
    virtual ~IdField() = default;
    virtual QString idText() const = 0;
    virtual void setIdText(const QString &text) = 0;
};

} // namespace station
