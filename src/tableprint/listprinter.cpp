#include "tableprint/listprinter.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace tableprint {

namespace {

constexpr double TwipsPerInch = 1440.0;
constexpr double HeaderGapTwips = 2500.0;
constexpr double HeaderIconGapTwips = 400.0;
constexpr int HeaderInset = 3;
constexpr int BodyInset = 1;
constexpr unsigned CellFlags = TextFormat::EndEllipsis | TextFormat::ModifyString;

double screenDpi(bool horizontal)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return dpi > 0 ? dpi : 96.0;
}

QColor colorOf(const QVariant &value, const QColor &fallback)
{
    if (value.canConvert<QBrush>() && value.userType() == QMetaType::QBrush)
        return value.value<QBrush>().color();
    if (value.userType() == QMetaType::QColor)
        return value.value<QColor>();
    return fallback;
}

// Cell rectangle from its left, top, right and bottom edges (right and bottom outside it).
QRect cellRect(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// The device's drawing area in device pixels: text wholly outside it would not show, so
// it is not drawn (a wide list runs far past a printer page's right edge).
QRect deviceArea(const Surface &surface)
{
    const QPaintDevice *device = surface.device();
    return device ? QRect(0, 0, device->width(), device->height()) : QRect();
}

} // namespace

int ClassData::nearest(double value)
{
    return int(std::nearbyint(value));
}

double ClassData::screenTwipsPerPixelX() { return TwipsPerInch / screenDpi(true); }
double ClassData::screenTwipsPerPixelY() { return TwipsPerInch / screenDpi(false); }

void ClassData::ViewData(const ListView &view)
{
    m_view = view;
}

void ClassData::SRow()
{
    const int items = m_view.model ? m_view.model->rowCount() : 0;
    RowFrom = m_nextItem;
    RowTo = m_nextItem + NumOfRowsPerPage - 1;
    m_nextItem = RowTo + 1;
    if (m_nextItem > items)
        m_nextItem = 1;
}

ClassData::Frame ClassData::begin(Surface &Obj, int inset) const
{
    Frame f;
    Obj.setForeColor(m_view.foreColor);
    f.h = nearest(Obj.scaleY(RowHeight, ScaleMode::Twips, ScaleMode::Pixels));
    if (Obj.isPrinter()) {
        Obj.print();
        f.rx = screenTwipsPerPixelX() / Obj.twipsPerPixelX();
        f.ry = screenTwipsPerPixelY() / Obj.twipsPerPixelY();
        f.p = nearest(3 * f.rx);
    } else {
        f.p = inset;
    }
    f.savedMode = Obj.scaleMode();
    Obj.setScaleMode(ScaleMode::Pixels);
    f.x0 = nearest(Obj.scaleX(PosX, ScaleMode::Twips, ScaleMode::Pixels));
    f.y0 = nearest(Obj.scaleY(PosY + HeaderGapTwips, ScaleMode::Twips, ScaleMode::Pixels));
    if (DrawBorder) {
        f.x0 += nearest(f.rx * BorderDistance);
        f.y0 += nearest(f.ry * BorderDistance);
    }
    const int columns = m_view.model ? m_view.model->columnCount() : 0;
    f.widths.reserve(columns);
    for (int k = 0; k < columns; ++k)
        f.widths.push_back(m_view.columnWidth ? m_view.columnWidth(k) : 0.0);
    return f;
}

unsigned ClassData::format(int column) const
{
    Qt::Alignment alignment = Qt::AlignLeft;
    if (m_view.columnAlignment) {
        alignment = m_view.columnAlignment(column);
    } else {
        const QVariant v = m_view.model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
        if (v.isValid())
            alignment = Qt::Alignment(v.toInt());
    }
    if (alignment & Qt::AlignRight)
        return TextFormat::Right;
    if (alignment & Qt::AlignHCenter)
        return TextFormat::Center;
    return TextFormat::Left;
}

QImage ClassData::icon(const QVariant &decoration) const
{
    switch (decoration.userType()) {
    case QMetaType::QImage: return decoration.value<QImage>();
    case QMetaType::QPixmap: return decoration.value<QPixmap>().toImage();
    case QMetaType::QIcon: {
        const QIcon icon = decoration.value<QIcon>();
        return icon.isNull() ? QImage() : icon.pixmap(PicWidth, PicHeight).toImage();
    }
    default: return QImage();
    }
}

void ClassData::TopData(Surface &Obj)
{
    const Frame f = begin(Obj, HeaderInset);
    const QAbstractItemModel *model = m_view.model;
    const QRect area = deviceArea(Obj);
    const int b = f.y0 + f.h;
    int x = f.x0;
    for (size_t k = 0; k < f.widths.size(); ++k) {
        int right = nearest(x + f.rx * f.widths[k]);
        const QString text = model->headerData(int(k), Qt::Horizontal, Qt::DisplayRole).toString();
        const unsigned fmt = format(int(k));
        x += f.p;
        right -= f.p;
        const int top = nearest(f.y0 + 2 * f.ry);
        if (HasPicture && fmt == TextFormat::Left && right >= x) {
            const QImage picture = icon(model->headerData(int(k), Qt::Horizontal, Qt::DecorationRole));
            if (!picture.isNull()) {
                const int w = std::min<int>(PicWidth, nearest(4 * f.rx + (right - x)));
                Obj.paintPicture(picture, QPointF(x, top), QSizeF(f.rx * (w - 1), f.ry * (PicHeight - 1)));
                x += nearest(Obj.scaleX(HeaderIconGapTwips, ScaleMode::Twips, ScaleMode::Pixels));
            }
        }
        const QRect cell = cellRect(x, top, right, b);
        if (cell.intersects(area))
            Obj.drawText(text, cell, fmt | CellFlags);
        right += f.p;
        x = right;
    }
    if (DrawHorizontalLines) {
        Obj.setDrawWidth(m_hLineWidth);
        Obj.line(QPointF(f.x0, f.y0), QPointF(x, f.y0), m_hLineColor);
        Obj.line(QPointF(f.x0, f.y0 + f.h), QPointF(x, b), m_hLineColor);
    }
    CurrentX = nearest(Obj.scaleX(x, ScaleMode::Pixels, ScaleMode::Twips));
    CurrentY = nearest(Obj.scaleY(b, ScaleMode::Pixels, ScaleMode::Twips));
    m_headerDone = true;
    Obj.setScaleMode(f.savedMode);
}

void ClassData::MainData(Surface &Obj)
{
    const Frame f = begin(Obj, BodyInset);
    const QAbstractItemModel *model = m_view.model;
    const int items = model ? model->rowCount() : 0;
    const QColor listColor = m_view.foreColor;
    const QRect area = deviceArea(Obj);
    Obj.setDrawWidth(m_hLineWidth);

    // The grid's right end: every row's columns end where the header's do.
    int gridRight = f.x0;
    for (double w : f.widths)
        gridRight = nearest(gridRight + f.rx * w);
    std::vector<unsigned> formats(f.widths.size());
    for (size_t k = 0; k < f.widths.size(); ++k)
        formats[k] = format(int(k));

    LastRowPrinted = false;
    int y = m_headerDone ? f.y0 + f.h : f.y0;
    // A page that starts past the last item has nothing left to print.
    if (RowFrom > items)
        LastRowPrinted = true;
    for (int i = RowFrom; i <= RowTo && i <= items; ++i) {
        const int bottom = y + f.h;
        const int top = nearest(y + 2 * f.ry);
        int x = f.x0;
        for (size_t k = 0; k < f.widths.size(); ++k) {
            int right = nearest(x + f.rx * f.widths[k]);
            x += f.p;
            right -= f.p;
            const QRect cell = cellRect(x, top, right, bottom);
            if (cell.intersects(area)) {
                const QModelIndex index = model->index(i - 1, int(k));
                const QVariant font = index.data(Qt::FontRole);
                const bool bold = font.isValid() && font.value<QFont>().bold();
                if (Obj.fontBold() != bold)
                    Obj.setFontBold(bold);
                Obj.setForeColor(colorOf(index.data(Qt::ForegroundRole), listColor));
                if (HasPicture) {
                    const QImage picture = icon(index.data(Qt::DecorationRole));
                    if (!picture.isNull()) {
                        const int w = std::min<int>(PicWidth, nearest(4 * f.ry + (right - x)));
                        Obj.paintPicture(picture, QPointF(x, top), QSizeF(f.rx * (w - 1), f.ry * (PicHeight - 1)));
                    }
                }
                Obj.drawText(index.data(Qt::DisplayRole).toString(), cell, formats[k] | CellFlags);
                if (bold)
                    Obj.setFontBold(false);
                Obj.setForeColor(listColor);
            }
            right += f.p;
            x = right;
        }
        if (DrawHorizontalLines)
            Obj.line(QPointF(f.x0, y + f.h), QPointF(x, y + f.h), m_hLineColor);
        y = bottom;
        if (i == items) {
            LastRowPrinted = true;
            break;
        }
    }
    if (DrawHorizontalLines && !m_headerDone)
        Obj.line(QPointF(f.x0, f.y0), QPointF(gridRight, f.y0), m_hLineColor);
    if (DrawVerticalLines) {
        Obj.setDrawWidth(m_vLineWidth);
        Obj.line(QPointF(f.x0, f.y0), QPointF(f.x0, y), m_vLineColor);
        int a = 0;
        for (double w : f.widths) {
            a = nearest(a + f.rx * w);
            Obj.line(QPointF(f.x0 + a, f.y0), QPointF(f.x0 + a, y), m_vLineColor);
        }
    }
    if (DrawBorder) {
        Obj.setDrawWidth(1);
        const double d = BorderDistance;
        const int left = nearest(f.x0 - f.rx * d);
        const int top = nearest(f.y0 - f.ry * d);
        const int right = nearest(gridRight + f.rx * d);
        const int bottom = nearest(y + f.ry * d);
        Obj.line(QPointF(right, bottom), QPointF(right, top), m_borderColor);
        Obj.lineTo(QPointF(left, top), m_borderColor);
        Obj.lineTo(QPointF(left, bottom), m_borderColor);
        Obj.lineTo(QPointF(right, bottom), m_borderColor);
    }
    m_headerDone = false;
    CurrentX = CurrentY = 1;
    Obj.setScaleMode(f.savedMode);
}

void ClassData::MarkData(Surface &Obj, int ID, int Width, const QColor &color)
{
    if (ID != 1)
        return;
    int width = 1;
    if (Width != 1) {
        if (Obj.isPrinter())
            width = nearest(std::abs(15.0 / Obj.twipsPerPixelX() * Width));
        else
            width = std::max(1, std::abs(Width));
    }
    m_hLineWidth = width;
    m_hLineColor = color;
}

} // namespace tableprint
