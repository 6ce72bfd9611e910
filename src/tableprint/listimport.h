#pragma once

#include <QFont>

#include <functional>

class QAbstractItemModel;

namespace tableprint {

class Class1;

// Fills a table engine from a list: one body row per item, one column per list column.
// `LV` gives the column titles (horizontal header, display role), the columns' alignments
// (header text-alignment role: left 0, right 2, centred 1) and the cells (display role; the
// item's text is column 0). `font` is the list's font, given to every header and body cell.
// `columnWidth` gives each column's width in the list's own unit. With sngDesiredWidth
// above 0 the widths are scaled to add up to it, keeping their proportions; otherwise they
// are taken as they are. With bWithIcons, column 0's decoration (icon, pixmap or image)
// becomes the row's picture. The table gets one header row, no footer, thin body lines,
// header lines twice as thick, cell offsets 60 and 30, pictures sizing the rows and the
// header on every page.
void ImportListView(Class1 &clsTP, const QAbstractItemModel &LV, const QFont &font,
                    const std::function<double(int column)> &columnWidth, double sngDesiredWidth,
                    bool bWithIcons);

} // namespace tableprint
