#pragma once

#include <QString>

namespace station {

// The popup that shows the employee's photo after a punch.
class ConfirmationPopup
{
public:
    virtual ~ConfirmationPopup() = default;
    // Request text: photo path + "::" + display seconds + "::" + station time text.
    // When the call returns the popup is on screen and its close timer runs.
    virtual void postRequest(const QString &text) = 0;
    virtual bool isShown() const = 0;
};

} // namespace station
