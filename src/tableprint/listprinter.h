#pragma once

#include "tableprint/surface.h"

#include <QColor>
#include <QImage>
#include <QtGlobal>

#include <functional>
#include <vector>

class QAbstractItemModel;

namespace tableprint {

// The list a ClassData prints, read while drawing (nothing is copied):
// - the model's horizontal header gives the column titles (display role) and, with
//   pictures on, the header icons (decoration role);
// - each row's cells give the texts (display role), the bold flag (font role), the text
//   colour (foreground role; the list's colour when empty) and, with pictures on, the icons
//   (decoration role). Column 0 is the item's own text, the others its sub-items.
// - columnWidth gives each column's width in screen pixels (the list's header sections);
// - columnAlignment gives each column's alignment; when empty the header's text-alignment
//   role is read (left when it has none).
struct ListView {
    const QAbstractItemModel *model = nullptr;
    std::function<double(int column)> columnWidth;
    std::function<Qt::Alignment(int column)> columnAlignment;
    QColor foreColor = Qt::black;
};

// Prints a list as a ruled grid, one page's worth of rows per call: SRow picks the next
// page's items, TopData draws the column titles and MainData the items, the grid lines and
// the border. The caller starts a new page between pages until LastRowPrinted, then sets
// LastRowPrinted back to false.
//
// Positions are worked out in whole device pixels. Lengths that come from the screen (the
// column widths, BorderDistance, the icon sizes and the cell insets) are scaled on a printer
// by the ratio of a screen pixel to a printer pixel; on any other surface they are taken as
// device pixels.
class ClassData
{
public:
    bool HasPicture = false;
    qint32 PicHeight = 16; // screen pixels
    qint32 PicWidth = 16;
    qint32 RowFrom = 0; // 1-based items of the current page, set by SRow
    qint32 RowTo = 0;
    qint32 RowHeight = 250; // twips
    bool LastRowPrinted = false;
    qint16 NumOfRowsPerPage = 10;
    bool DrawHorizontalLines = true;
    bool DrawVerticalLines = true;
    qint32 BorderDistance = 1; // screen pixels between the grid and the border
    bool DrawBorder = true;
    qint32 PosX = 0; // twips; the grid starts 2500 twips below PosY
    qint32 PosY = 0;
    qint32 CurrentX = 0; // twips reached by the last call (nothing reads them)
    qint32 CurrentY = 0;

    // The list to print; held until replaced.
    void ViewData(const ListView &view);
    const ListView &viewData() const { return m_view; }

    // Selects the next page's items; after the list's last item the next page starts at 1.
    void SRow();
    // The column title row.
    void TopData(Surface &Obj);
    // Items RowFrom..RowTo (up to the list's last item), the grid lines and the border.
    void MainData(Surface &Obj);
    // Sets the width and colour of the horizontal lines (ID 1; other IDs change nothing).
    void MarkData(Surface &Obj, int ID, int Width, const QColor &color);

    // The item the next page starts with (1-based).
    int nextItem() const { return m_nextItem; }

    // A screen pixel in twips, from the primary screen (15 at 96 dpi, also without a screen).
    static double screenTwipsPerPixelX();
    static double screenTwipsPerPixelY();
    // Rounds to the nearest whole number, halves to the even neighbour.
    static int nearest(double value);

private:
    struct Frame {
        double rx = 1, ry = 1;
        int p = 0, h = 0, x0 = 0, y0 = 0;
        ScaleMode savedMode = ScaleMode::Twips;
        std::vector<double> widths; // per column, screen pixels
    };
    Frame begin(Surface &Obj, int inset) const;
    unsigned format(int column) const;
    QImage icon(const QVariant &decoration) const;

    ListView m_view;
    int m_nextItem = 1;
    bool m_headerDone = false;
    int m_hLineWidth = 1;
    QColor m_hLineColor = Qt::black;
    int m_vLineWidth = 1;
    QColor m_vLineColor = Qt::black;
    QColor m_borderColor = Qt::black;
};

} // namespace tableprint
