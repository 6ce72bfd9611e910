#pragma once

#include "station/confirmationpopup.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

namespace station {

// A photo request as the popup reads it: "photo path::display seconds::station time".
struct PhotoRequest {
    QString photoPath;
    // How long the popup stays, always within 1..65535 ms (see displayInterval).
    int intervalMs = 0;
};

// The close timer's interval for a display time text: 1000 x the seconds, rounded to whole
// milliseconds. The timer takes 1 to 65535 ms, and the punch waits for the popup to close,
// so the time is kept within that range: a text that is not a number, or a time that gives
// less than 1 ms (0, negative), shows the photo for the default 5 seconds of a new employee
// record; a time above 65.535 s shows it for 65.535 s.
int displayInterval(const QString &seconds);
inline constexpr int DefaultDisplayMs = 5000;
inline constexpr int LongestDisplayMs = 65535;

// Splits the request at every "::"; missing pieces read as empty.
PhotoRequest parsePhotoRequest(const QString &text);

// Where a picture of the given pixel size sits on the 1024 x 768 popup: centred, with
// negative offsets (cut at the edges) when it is larger.
QPoint centredPicturePosition(const QSize &picture);

// The confirmation popup (Form8): the employee's photo at its natural size, centred on a
// 1024 x 768 window at the top-left of the screen, closed by its own timer. A new request
// while it shows restarts it with the new photo and time.
//
// A photo that cannot be loaded is not shown at all: the popup closes at once (isShown()
// is false when postRequest returns), so the punch that posted it goes straight on.
class Form8 : public QWidget, public ConfirmationPopup
{
    Q_OBJECT

public:
    explicit Form8(QWidget *parent = nullptr);

    void postRequest(const QString &text) override;
    bool isShown() const override;

    // The close timer's interval of the last request shown.
    int closeInterval() const;

private:
    void closePopup();

    QLabel *m_picture;
    QTimer *m_closeTimer;
};

} // namespace station
