#include "tableprint/tableengine.h"

#include "tableprint/surface.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tableprint {

namespace {

constexpr double DefaultColWidth = 15;

// Writes one cell, or with a negative index every row and/or every column.
template <typename T>
void writeCells(QList<T> &store, int rows, int cols, int row, int col, const T &value)
{
    if (row >= rows || col >= cols)
        throw TableError::subscriptOutOfRange();
    const int rowFrom = row < 0 ? 0 : row, rowTo = row < 0 ? rows : row + 1;
    const int colFrom = col < 0 ? 0 : col, colTo = col < 0 ? cols : col + 1;
    for (int r = rowFrom; r < rowTo; ++r)
        for (int c = colFrom; c < colTo; ++c)
            store[qsizetype(r) * cols + c] = value;
}

template <typename T>
const T &readCell(const QList<T> &store, int rows, int cols, int row, int col)
{
    if (row < 0 || row >= rows || col < 0 || col >= cols)
        throw TableError::subscriptOutOfRange();
    return store[qsizetype(row) * cols + col];
}

template <typename T>
T &exact(QList<T> &store, int index)
{
    if (index < 0 || index >= store.size())
        throw TableError::subscriptOutOfRange();
    return store[index];
}

template <typename T>
const T &exact(const QList<T> &store, int index)
{
    if (index < 0 || index >= store.size())
        throw TableError::subscriptOutOfRange();
    return store[index];
}

// Rounds a length in device pixels to a whole pixel, halves to the even neighbour.
int whole(double pixels) { return int(std::nearbyint(pixels)); }

// The rectangle between a left/top and a right/bottom edge (right and bottom outside it).
QRect edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

// Draws a text centred vertically in its rectangle: the top moves down by half the room the
// text's lines leave, truncated toward zero.
void drawCentred(Surface &surface, const QString &text, int left, int top, int right, int bottom, unsigned format)
{
    const int height = surface.drawText(text, QRect(), TextFormat::CalcRect | TextFormat::NoPrefix).height();
    top += ((bottom - top) - height) / 2;
    surface.drawText(text, edges(left, top, right, bottom), format | TextFormat::NoPrefix);
}

// Draws a rectangle between two corners given in device pixels.
void pixelRectangle(Surface &surface, int left, int top, int right, int bottom)
{
    const ScaleMode mode = surface.scaleMode();
    surface.setScaleMode(ScaleMode::Pixels);
    surface.rectangle(QPointF(left, top), QPointF(right, bottom));
    surface.setScaleMode(mode);
}

} // namespace

TableError::TableError(int number, const QString &description)
    : number(number)
    , description(description)
    , m_what(QByteArray::number(number) + ' ' + description.toUtf8())
{
}

TableError TableError::subscriptOutOfRange() { return {errors::SubscriptOutOfRange, QStringLiteral("Subscript out of range")}; }
TableError TableError::invalidPropertyValue() { return {errors::InvalidPropertyValue, QStringLiteral("Invalid property value")}; }
TableError TableError::divisionByZero() { return {errors::DivisionByZero, QStringLiteral("Division by zero")}; }
TableError TableError::rowDoesNotFit() { return {errors::RowDoesNotFit, QStringLiteral("The row does not fit on a page")}; }

// Row heights in surface units, column widths in whole pixels.
struct Class1::Layout {
    double body = 0;
    double header = 0;
    double footer = 0;
    double rightEdge = 0;  // surface units
    std::vector<int> width; // pixels, per column
    int left = 0;           // pixels
    int offset = 0;         // pixels
};

// Applies cell fonts to the surface. A cell without a font leaves the current one; a font
// equal to the one applied last is not applied again.
class Class1::FontTracker
{
public:
    explicit FontTracker(Surface &surface)
        : m_surface(surface), m_last(surface.font()) {}

    void apply(const CellFont &font)
    {
        if (!font || *font == m_last)
            return;
        m_surface.setFont(*font);
        m_last = *font;
    }

private:
    Surface &m_surface;
    QFont m_last;
};

namespace {

// Puts the surface's font back when it goes out of scope.
struct FontKeeper {
    Surface &surface;
    QFont font;
    ~FontKeeper() { surface.setFont(font); }
};

} // namespace

Class1::Class1()
{
    rebuild();
}

void Class1::rebuild()
{
    const qsizetype cells = qsizetype(m_rows) * m_cols;
    m_text = QList<QString>(cells);
    m_font = QList<CellFont>(cells);
    m_picture = QList<QImage>(cells);
    m_colAlignment = QList<int>(m_cols, 0);
    m_headerText = QList<QString>(qsizetype(m_headerRows) * m_cols);
    m_headerFont = QList<CellFont>(qsizetype(m_headerRows) * m_cols);
    m_colWidth = QList<double>(m_cols, DefaultColWidth);
    m_mergeCol = QList<bool>(m_cols, false);
    m_mergeHeaderCol = QList<bool>(m_cols, false);
    m_mergeRow = QList<bool>(m_rows, false);
    m_mergeHeaderRow = QList<bool>(m_headerRows, false);
    m_footerStored = HasFooter;
    m_footerText = HasFooter ? QList<QString>(m_cols) : QList<QString>();
    m_footerFont = HasFooter ? QList<CellFont>(m_cols) : QList<CellFont>();
}

void Class1::setRows(int value)
{
    if (value < 0)
        throw TableError::invalidPropertyValue();
    m_rows = value;
    rebuild();
}

void Class1::setCols(int value)
{
    if (value < 1)
        throw TableError::invalidPropertyValue();
    m_cols = value;
    rebuild();
}

void Class1::setHeaderRows(int value)
{
    if (value < 1)
        throw TableError::invalidPropertyValue();
    m_headerRows = value;
    rebuild();
}

QString Class1::TextMatrix(int Row, int Col) const { return readCell(m_text, m_rows, m_cols, Row, Col); }
void Class1::setTextMatrix(int Row, int Col, const QString &text) { writeCells(m_text, m_rows, m_cols, Row, Col, text); }
CellFont Class1::FontMatrix(int Row, int Col) const { return readCell(m_font, m_rows, m_cols, Row, Col); }
void Class1::setFontMatrix(int Row, int Col, const CellFont &font) { writeCells(m_font, m_rows, m_cols, Row, Col, font); }
QImage Class1::PictureMatrix(int Row, int Col) const { return readCell(m_picture, m_rows, m_cols, Row, Col); }
void Class1::setPictureMatrix(int Row, int Col, const QImage &picture) { writeCells(m_picture, m_rows, m_cols, Row, Col, picture); }

QString Class1::HeaderText(int Row, int Col) const { return readCell(m_headerText, m_headerRows, m_cols, Row, Col); }
void Class1::setHeaderText(int Row, int Col, const QString &text) { writeCells(m_headerText, m_headerRows, m_cols, Row, Col, text); }
CellFont Class1::HeaderFont(int Row, int Col) const { return readCell(m_headerFont, m_headerRows, m_cols, Row, Col); }
void Class1::setHeaderFont(int Row, int Col, const CellFont &font) { writeCells(m_headerFont, m_headerRows, m_cols, Row, Col, font); }

QString Class1::FooterText(int Col) const { return readCell(m_footerText, footerRows(), m_cols, 0, Col); }
void Class1::setFooterText(int Col, const QString &text) { writeCells(m_footerText, footerRows(), m_cols, 0, Col, text); }
CellFont Class1::FooterFont(int Col) const { return readCell(m_footerFont, footerRows(), m_cols, 0, Col); }
void Class1::setFooterFont(int Col, const CellFont &font) { writeCells(m_footerFont, footerRows(), m_cols, 0, Col, font); }

double Class1::ColWidth(int Col) const { return readCell(m_colWidth, 1, m_cols, 0, Col); }
void Class1::setColWidth(int Col, double width) { writeCells(m_colWidth, 1, m_cols, 0, Col, width); }
int Class1::ColAlignment(int Col) const { return readCell(m_colAlignment, 1, m_cols, 0, Col); }
void Class1::setColAlignment(int Col, int format) { writeCells(m_colAlignment, 1, m_cols, 0, Col, format); }
CellFont Class1::ColFont(int Col) const { return FontMatrix(0, Col); }
void Class1::setColFont(int Col, const CellFont &font) { setFontMatrix(-1, Col, font); }

bool Class1::MergeCol(int Col) const { return exact(m_mergeCol, Col); }
void Class1::setMergeCol(int Col, bool merge) { exact(m_mergeCol, Col) = merge; }
bool Class1::MergeHeaderCol(int Col) const { return exact(m_mergeHeaderCol, Col); }
void Class1::setMergeHeaderCol(int Col, bool merge) { exact(m_mergeHeaderCol, Col) = merge; }
bool Class1::MergeRow(int Row) const { return exact(m_mergeRow, Row); }
void Class1::setMergeRow(int Row, bool merge) { exact(m_mergeRow, Row) = merge; }
bool Class1::MergeHeaderRow(int Row) const { return exact(m_mergeHeaderRow, Row); }
void Class1::setMergeHeaderRow(int Row, bool merge) { exact(m_mergeHeaderRow, Row) = merge; }

Class1::Layout Class1::measure(Surface &surface, FontTracker &fonts, bool forDrawing) const
{
    Layout layout;
    layout.body = RowHeightMin - 2 * CellYOffset;
    layout.header = HeaderRowHeightMin - 2 * CellYOffset;
    layout.footer = FooterRowHeightMin - 2 * CellYOffset;
    layout.rightEdge = MarginLeft;
    for (int c = 0; c < m_cols; ++c) {
        for (int r = 0; r < m_rows; ++r) {
            fonts.apply(FontMatrix(r, c));
            layout.body = std::max(layout.body, surface.textHeight(TextMatrix(r, c)));
            const QImage picture = PictureMatrix(r, c);
            if (ResizeCellsToPicHeight && !picture.isNull()) {
                const double height = surface.scaleY(Surface::pictureSize(picture).height(),
                                                     ScaleMode::HiMetric, surface.scaleMode());
                layout.body = std::max(layout.body, height);
            }
        }
        for (int h = 0; h < m_headerRows; ++h) {
            fonts.apply(HeaderFont(h, c));
            layout.header = std::max(layout.header, surface.textHeight(HeaderText(h, c)));
        }
        if (HasFooter) {
            fonts.apply(FooterFont(c));
            layout.footer = std::max(layout.footer, surface.textHeight(FooterText(c)));
        }
        if (forDrawing) {
            layout.rightEdge += ColWidth(c);
            layout.width.push_back(whole(surface.toPixelsX(ColWidth(c))));
        }
    }
    layout.body += 2 * CellYOffset;
    layout.header += 2 * CellYOffset;
    if (layout.footer > 0)
        layout.footer += 2 * CellYOffset;
    layout.left = whole(surface.toPixelsX(MarginLeft));
    layout.offset = whole(surface.toPixelsX(CellXOffset));
    return layout;
}

int Class1::CalcNumRowsPerPage(Surface &objOutput, bool bWithHeader, std::optional<bool> bWithFooter)
{
    const FontKeeper keeper{objOutput, objOutput.font()};
    FontTracker fonts(objOutput);
    const Layout layout = measure(objOutput, fonts, false);

    double space = objOutput.scaleHeight() - MarginBottom - MarginTop;
    if (bWithHeader)
        space -= m_headerRows * layout.header;
    if (bWithFooter.value_or(HasFooter))
        space -= layout.footer;
    if (layout.body == 0)
        throw TableError::divisionByZero();
    return int(std::clamp(std::floor(space / layout.body), double(std::numeric_limits<int>::min()),
                          double(std::numeric_limits<int>::max())));
}

void Class1::DrawTable(Surface &objOutput, int lRowToStart, int lStartPage)
{
    const FontKeeper keeper{objOutput, objOutput.font()};
    FontTracker measuring(objOutput);
    const Layout layout = measure(objOutput, measuring, true);
    // Drawing starts again from the surface's own font: a cell without a font is drawn
    // with the font applied last before it in drawing order, not with a measuring leftover.
    objOutput.setFont(keeper.font);
    FontTracker fonts(objOutput);
    objOutput.setFillStyle(FillStyle::Transparent);

    // Whether a page started at the top margin holds at least one body row.
    auto rowFitsOnEmptyPage = [&](int page) {
        double space = objOutput.scaleHeight() - MarginTop - MarginBottom;
        if (PrintHeaderOnEveryPage || page == 1)
            space -= m_headerRows * layout.header;
        return std::floor(space / layout.body) >= 1;
    };

    const int lastRow = m_rows - 1;
    int page = lStartPage;
    int lastDrawn = lRowToStart - 1;
    for (;;) {
        // Rows still to come need room for one; an empty body still gets its bands.
        const bool rowsToCome = lastDrawn < lastRow;
        if (rowsToCome && layout.body == 0)
            throw TableError::divisionByZero();
        double space = objOutput.scaleHeight() - objOutput.currentY() - MarginBottom;
        if (!(rowsToCome && space < layout.body)) {
            const bool withHeader = PrintHeaderOnEveryPage || page == 1;
            if (withHeader)
                space -= m_headerRows * layout.header;
            const int first = lastDrawn + 1;
            if (rowsToCome) {
                const double fitting = std::clamp(std::floor(space / layout.body), 0.0, double(m_rows));
                lastDrawn = std::min(lastDrawn + int(fitting), lastRow);
            }

            double y = objOutput.currentY();
            if (withHeader) {
                drawHeader(objOutput, layout, fonts, y);
                y += m_headerRows * layout.header;
            }
            const int bodyBottom = drawBody(objOutput, layout, fonts, first, lastDrawn, y);
            y += std::max(0, lastDrawn - first + 1) * layout.body;
            if (lastDrawn >= lastRow && HasFooter) {
                drawFooter(objOutput, layout, fonts, y, bodyBottom);
                y += layout.footer;
            }
            objOutput.setCurrentY(y);
        }
        if (lastDrawn >= lastRow)
            break;
        if (!rowFitsOnEmptyPage(page + 1))
            throw TableError::rowDoesNotFit();
        if (!CurrentPrinter::get())
            objOutput.newPage();
        else
            CurrentPrinter::newPage();
        objOutput.setCurrentY(MarginTop);
        ++page;
    }
}

void Class1::drawHeader(Surface &surface, const Layout &layout, FontTracker &fonts, double y) const
{
    surface.setDrawWidth(HeaderLineThickness);
    const int offset = layout.offset;
    // Per column, the header row where an open vertical run began.
    std::vector<int> runBegin(m_cols, -1);
    for (int h = 0; h < m_headerRows; ++h) {
        int textLeft = layout.left + offset;
        int textRight = layout.left - offset;
        bool drawNow = false;
        bool inRun = false;
        for (int c = 0; c < m_cols; ++c) {
            const QString text = HeaderText(h, c);
            bool finished = true;
            if (MergeHeaderCol(c) && h < m_headerRows - 1 && HeaderText(h + 1, c) == text) {
                finished = false;
                if (runBegin[c] == -1)
                    runBegin[c] = h;
            } else if (!MergeHeaderCol(c)) {
                runBegin[c] = -1;
            }
            textRight += layout.width[c];
            if (finished) {
                int top, bottom;
                if (runBegin[c] == -1) {
                    top = whole(surface.toPixelsY(y + layout.header * h));
                    bottom = top + whole(surface.toPixelsY(layout.header));
                } else {
                    const int s = runBegin[c];
                    top = whole(surface.toPixelsY(y + layout.header * s));
                    bottom = top + whole(surface.toPixelsY(layout.header * (h - s + 1)));
                    runBegin[c] = -1;
                }
                fonts.apply(HeaderFont(h, c));
                if (MergeHeaderRow(h) && c < m_cols - 1) {
                    if (HeaderText(h, c + 1) != text) {
                        if (drawNow && inRun)
                            inRun = false;
                        drawNow = true;
                    } else {
                        drawNow = false;
                        inRun = true;
                    }
                } else {
                    drawNow = true;
                }
                if (drawNow) {
                    pixelRectangle(surface, textLeft - offset, top, textRight + offset, bottom);
                    const unsigned format = inRun && CenterMergedHeader ? TextFormat::Center : unsigned(ColAlignment(c));
                    drawCentred(surface, text, textLeft, top, textRight, bottom, format);
                }
            }
            if (drawNow)
                textLeft = textRight + 2 * offset;
        }
    }
}

int Class1::drawBody(Surface &surface, const Layout &layout, FontTracker &fonts, int first, int last, double y) const
{
    surface.setDrawWidth(LineThickness);
    const int offset = layout.offset;
    const int bodyTop = whole(surface.toPixelsY(y));
    const int rowHeight = whole(surface.toPixelsY(layout.body));
    // Per row of the page, the pixel left edge where an open horizontal run began.
    std::vector<int> runStart(std::max(0, last - first + 1), -1);
    bool drawNow = false;
    int textLeft = layout.left + offset;
    double colLeft = MarginLeft;
    int bottom = bodyTop;
    for (int c = 0; c < m_cols; ++c) {
        int top = bodyTop;
        bottom = bodyTop;
        const int textRight = textLeft + layout.width[c] - 2 * offset;
        for (int r = first; r <= last; ++r) {
            const QString text = TextMatrix(r, c);
            fonts.apply(FontMatrix(r, c));
            bottom += rowHeight;
            // Runs end with the page.
            if (MergeCol(c) && r < last && TextMatrix(r + 1, c) == text)
                continue;
            int &run = runStart[r - first];
            if (MergeRow(r) && c < m_cols - 1) {
                if (TextMatrix(r, c + 1) != text) {
                    drawNow = true;
                } else {
                    if (run == -1)
                        run = textLeft;
                    drawNow = false;
                }
            } else {
                drawNow = true;
                if (!MergeRow(r))
                    run = -1;
            }
            if (drawNow) {
                const int cellLeft = run != -1 ? run : textLeft;
                drawPicture(surface, r, c, colLeft, cellLeft, top, bottom);
                pixelRectangle(surface, cellLeft - offset, top, textRight + offset, bottom);
                drawCentred(surface, text, cellLeft, top, textRight, bottom, unsigned(ColAlignment(c)));
                run = -1;
            }
            top = bottom;
        }
        textLeft = textRight + 2 * offset;
        colLeft += ColWidth(c);
    }
    return bottom;
}

void Class1::drawPicture(Surface &surface, int row, int col, double colLeft, int textLeft, int top, int bottom) const
{
    const QImage picture = PictureMatrix(row, col);
    if (picture.isNull())
        return;
    const ScaleMode mode = surface.scaleMode();
    const QSizeF size = Surface::pictureSize(picture);
    double width = surface.scaleX(size.width(), ScaleMode::HiMetric, mode);
    double height = surface.scaleY(size.height(), ScaleMode::HiMetric, mode);
    const double room = ColWidth(col) - 2 * CellXOffset;
    if (width > room)
        width = room;
    double v = (surface.scaleY(bottom - top, ScaleMode::Pixels, mode) - height) / 2;
    if (v < 0) {
        height += 2 * v;
        v = 0;
    }
    const double pictureTop = surface.scaleY(top, ScaleMode::Pixels, mode) + v;
    double left;
    switch (ColAlignment(col) & int(TextFormat::HorizontalMask)) {
    case TextFormat::Right: left = colLeft + ColWidth(col) - CellXOffset - width; break;
    case TextFormat::Center: left = colLeft + (ColWidth(col) - width) / 2; break;
    default: left = surface.scaleX(textLeft, ScaleMode::Pixels, mode); break;
    }
    surface.paintPicture(picture, QPointF(left, pictureTop), QSizeF(width, height), QRectF(0, 0, width, height));
}

void Class1::drawFooter(Surface &surface, const Layout &layout, FontTracker &fonts, double y, int pixelTop) const
{
    surface.setDrawWidth(FooterLineThickness);
    surface.rectangle(QPointF(MarginLeft, y), QPointF(layout.rightEdge, y + layout.footer));
    const int pixelBottom = pixelTop + whole(surface.toPixelsY(layout.footer));
    int textLeft = layout.left + layout.offset;
    double colLeft = MarginLeft;
    for (int c = 0; c < m_cols; ++c) {
        fonts.apply(FooterFont(c));
        const int textRight = textLeft + layout.width[c] - 2 * layout.offset;
        drawCentred(surface, FooterText(c), textLeft, pixelTop, textRight, pixelBottom, unsigned(ColAlignment(c)));
        textLeft = textRight + 2 * layout.offset;
        if (c > 0)
            surface.line(QPointF(colLeft, y), QPointF(colLeft, y + layout.footer));
        colLeft += ColWidth(c);
    }
}

} // namespace tableprint
