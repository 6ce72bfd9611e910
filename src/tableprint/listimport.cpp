#include "tableprint/listimport.h"

#include "tableprint/surface.h"
#include "tableprint/tableengine.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QPixmap>

#include <vector>

namespace tableprint {

namespace {

int formatOf(const QVariant &alignment)
{
    const Qt::Alignment flags = alignment.metaType() == QMetaType::fromType<Qt::Alignment>()
        ? alignment.value<Qt::Alignment>()
        : Qt::Alignment(alignment.toInt());
    if (flags & Qt::AlignRight)
        return int(TextFormat::Right);
    if (flags & Qt::AlignHCenter)
        return int(TextFormat::Center);
    return int(TextFormat::Left);
}

QImage pictureOf(const QVariant &decoration)
{
    if (decoration.metaType() == QMetaType::fromType<QImage>())
        return decoration.value<QImage>();
    if (decoration.metaType() == QMetaType::fromType<QPixmap>())
        return decoration.value<QPixmap>().toImage();
    if (decoration.metaType() == QMetaType::fromType<QIcon>()) {
        const QIcon icon = decoration.value<QIcon>();
        const QList<QSize> sizes = icon.availableSizes();
        return icon.pixmap(sizes.isEmpty() ? QSize(16, 16) : sizes.first()).toImage();
    }
    return QImage();
}

} // namespace

void ImportListView(Class1 &clsTP, const QAbstractItemModel &LV, const QFont &font,
                    const std::function<double(int column)> &columnWidth, double sngDesiredWidth,
                    bool bWithIcons)
{
    clsTP.setRows(LV.rowCount());
    clsTP.setCols(LV.columnCount());
    clsTP.setHeaderRows(1);
    clsTP.HasFooter = false;
    clsTP.LineThickness = 1;
    clsTP.HeaderLineThickness = 2 * clsTP.LineThickness;
    clsTP.CellXOffset = 60;
    clsTP.CellYOffset = 30;
    clsTP.CenterMergedHeader = false;
    clsTP.ResizeCellsToPicHeight = true;
    clsTP.PrintHeaderOnEveryPage = true;

    clsTP.setHeaderFont(-1, -1, font);
    clsTP.setFontMatrix(-1, -1, font);

    const int cols = clsTP.Cols();
    std::vector<double> widths(cols);
    double total = 0;
    for (int i = 0; i < cols; ++i) {
        clsTP.setColAlignment(i, formatOf(LV.headerData(i, Qt::Horizontal, Qt::TextAlignmentRole)));
        widths[i] = columnWidth(i);
        total += widths[i];
        clsTP.setHeaderText(0, i, LV.headerData(i, Qt::Horizontal, Qt::DisplayRole).toString());
    }

    for (int i = 0; i < clsTP.Rows(); ++i) {
        clsTP.setTextMatrix(i, 0, LV.data(LV.index(i, 0)).toString());
        if (bWithIcons) {
            const QImage picture = pictureOf(LV.data(LV.index(i, 0), Qt::DecorationRole));
            if (!picture.isNull())
                clsTP.setPictureMatrix(i, 0, picture);
        }
        for (int k = 1; k < cols; ++k)
            clsTP.setTextMatrix(i, k, LV.data(LV.index(i, k)).toString());
    }

    // Without a total width there are no proportions to keep; the widths stay as they are.
    for (int j = 0; j < cols; ++j)
        clsTP.setColWidth(j, sngDesiredWidth > 0 && total > 0 ? sngDesiredWidth * (widths[j] / total) : widths[j]);
}

} // namespace tableprint
