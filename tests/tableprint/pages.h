#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRegularExpression>

#include <cmath>

// A white page of the given size in pixels at the given resolution.
inline QImage blankPage(int width, int height, int dpi = 96)
{
    QImage page(width, height, QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    page.setDotsPerMeterX(dotsPerMeter);
    page.setDotsPerMeterY(dotsPerMeter);
    page.fill(Qt::white);
    return page;
}

// The bounding box of the dark pixels in an area of an image; null when there are none.
inline QRect inkBounds(const QImage &image, QRect area = QRect())
{
    area = area.isNull() ? image.rect() : (area & image.rect());
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 160)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// The number of pages of a PDF document.
inline int pdfPageCount(const QByteArray &pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(pdf).count(page));
}
