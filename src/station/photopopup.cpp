#include "station/photopopup.h"

#include "platform/system.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

#include <cmath>

namespace station {

namespace {
// The popup: 15360 x 11520 twips at the top-left corner of the screen.
constexpr int PopupWidthTwips = 15360;
constexpr int PopupHeightTwips = 11520;
} // namespace

int displayInterval(const QString &seconds)
{
    const QString text = seconds.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        value = QLocale::system().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return DefaultDisplayMs;
    const double ms = std::round(value * 1000.0);
    if (ms < 1)
        return DefaultDisplayMs;
    if (ms > LongestDisplayMs)
        return LongestDisplayMs;
    return static_cast<int>(ms);
}

PhotoRequest parsePhotoRequest(const QString &text)
{
    const QStringList pieces = text.split(QStringLiteral("::"));
    PhotoRequest request;
    request.photoPath = pieces.value(0);
    request.intervalMs = displayInterval(pieces.value(1));
    return request;
}

QPoint centredPicturePosition(const QSize &picture)
{
    const int left = (PopupWidthTwips - platform::pixelsToTwips(picture.width())) / 2;
    const int top = (PopupHeightTwips - platform::pixelsToTwips(picture.height())) / 2;
    return QPoint(platform::twipsToPixels(left), platform::twipsToPixels(top));
}

Form8::Form8(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_picture(new QLabel(this)), m_closeTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("Form8"));
    // The photo never takes the keyboard from the clock screen's ID field.
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_picture->setObjectName(QStringLiteral("Image1"));
    m_closeTimer->setObjectName(QStringLiteral("Timer1"));
    m_closeTimer->setSingleShot(true);
    connect(m_closeTimer, &QTimer::timeout, this, &Form8::closePopup);
}

void Form8::postRequest(const QString &text)
{
    setGeometry(0, 0, platform::twipsToPixels(PopupWidthTwips), platform::twipsToPixels(PopupHeightTwips));
    m_picture->move(0, 0);

    const PhotoRequest request = parsePhotoRequest(text);
    m_closeTimer->setInterval(request.intervalMs);
    m_closeTimer->start();

    QImageReader reader(request.photoPath);
    reader.setAutoTransform(true);
    const QImage image = request.photoPath.isEmpty() ? QImage() : reader.read();
    if (image.isNull()) {
        closePopup();
        return;
    }
    const QPixmap pixmap = QPixmap::fromImage(image);
    m_picture->setPixmap(pixmap);
    m_picture->resize(pixmap.size());
    m_picture->move(centredPicturePosition(pixmap.size()));

    QCoreApplication::processEvents();
    // The events may have closed or re-requested the popup; show only what is still running.
    if (m_closeTimer->isActive()) {
        show();
        raise();
    }
}

bool Form8::isShown() const
{
    return isVisible();
}

int Form8::closeInterval() const
{
    return m_closeTimer->interval();
}

void Form8::closePopup()
{
    m_closeTimer->stop();
    hide();
    m_picture->clear();
}

} // namespace station
