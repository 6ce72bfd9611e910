#pragma once

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>

#include <exception>
#include <optional>

namespace tableprint {

class Surface;

// Error numbers of the table engine.
namespace errors {
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int DivisionByZero = 11;
inline constexpr int InvalidPropertyValue = 380;
// The engine's own: a body row taller than an empty page (object error base + 513).
inline constexpr int RowDoesNotFit = -2147221504 + 513;
} // namespace errors

// What the table engine throws when a property value or index is refused or a table cannot
// be drawn. A refused write changes nothing.
class TableError : public std::exception
{
public:
    TableError(int number, const QString &description);
    static TableError subscriptOutOfRange();
    static TableError invalidPropertyValue();
    static TableError divisionByZero();
    static TableError rowDoesNotFit();

    int number;
    QString description;

    const char *what() const noexcept override { return m_what.constData(); }

private:
    QByteArray m_what;
};

// A cell's font; no value means the cell has none and is drawn with the font last applied.
using CellFont = std::optional<QFont>;

// One ruled table for printing: body cells, one or more header rows above them and an
// optional footer row below, each cell with a text and a font (body cells also a picture),
// per-column widths, alignments and merge switches, per-row merge switches. DrawTable lays
// it out page by page on a Surface.
//
// Indexes are 0-based. Lengths (margins, offsets, minimum heights, column widths) are in the
// surface's unit at the time of drawing. Writing Rows, Cols or HeaderRows rebuilds every
// store empty (texts, fonts, pictures, alignments, merge switches) and sets every column
// width back to 15; the footer stores exist only when HasFooter was true at that moment.
// Body, header and footer cell writes and column writes take a negative index as "all";
// reads need exact indexes. Refused values and indexes throw TableError (380, 9).
class Class1
{
public:
    Class1();

    // Counts. Rows may be 0: an empty body, which has no cells to read or write (an "all"
    // write sets none) and is drawn as its header and footer. Cols and HeaderRows at least 1.
    int Rows() const { return m_rows; }
    void setRows(int value);
    int Cols() const { return m_cols; }
    void setCols(int value);
    int HeaderRows() const { return m_headerRows; }
    void setHeaderRows(int value);

    // Switches and scalars, used as they are.
    bool HasFooter = true;
    bool PrintHeaderOnEveryPage = false;
    bool CenterMergedHeader = false;     // horizontally merged header text centred
    bool ResizeCellsToPicHeight = false; // body rows also as tall as the cells' pictures
    double RowHeightMin = 0;
    double HeaderRowHeightMin = 0;
    double FooterRowHeightMin = 0;
    double MarginTop = 0;    // where drawing restarts on every later page
    double MarginBottom = 0; // no body row starts below it
    double MarginLeft = 0;
    double CellXOffset = 0;  // gap between a cell's border and its text, each side
    double CellYOffset = 0;  // added above and below the tallest text of a row
    qint16 LineThickness = 1;
    qint16 HeaderLineThickness = 1;
    qint16 FooterLineThickness = 1;

    // Body cells.
    QString TextMatrix(int Row, int Col) const;
    void setTextMatrix(int Row, int Col, const QString &text);
    CellFont FontMatrix(int Row, int Col) const;
    void setFontMatrix(int Row, int Col, const CellFont &font);
    // A null image is no picture. Its size comes from its own resolution (Surface::pictureSize).
    QImage PictureMatrix(int Row, int Col) const;
    void setPictureMatrix(int Row, int Col, const QImage &picture);

    // Header cells.
    QString HeaderText(int Row, int Col) const;
    void setHeaderText(int Row, int Col, const QString &text);
    CellFont HeaderFont(int Row, int Col) const;
    void setHeaderFont(int Row, int Col, const CellFont &font);

    // Columns.
    QString FooterText(int Col) const;
    void setFooterText(int Col, const QString &text);
    CellFont FooterFont(int Col) const;
    void setFooterFont(int Col, const CellFont &font);
    double ColWidth(int Col) const;
    void setColWidth(int Col, double width);
    // Text format of the column's cells: 0 left, 1 centred, 2 right; other Surface::drawText
    // flags may be added (for example TextFormat::EndEllipsis).
    int ColAlignment(int Col) const;
    void setColAlignment(int Col, int format);
    // Writing sets the font of every body row of the column; reading gives row 0's.
    CellFont ColFont(int Col) const;
    void setColFont(int Col, const CellFont &font);

    // Merge switches, exact indexes only. Equal neighbouring texts merge: down a column
    // (MergeCol, MergeHeaderCol) or along a row (MergeRow, MergeHeaderRow).
    bool MergeCol(int Col) const;
    void setMergeCol(int Col, bool merge);
    bool MergeHeaderCol(int Col) const;
    void setMergeHeaderCol(int Col, bool merge);
    bool MergeRow(int Row) const;
    void setMergeRow(int Row, bool merge);
    bool MergeHeaderRow(int Row) const;
    void setMergeHeaderRow(int Row, bool merge);

    // The number of body rows that fit on one empty page between the margins, setting aside
    // the header rows and the footer when asked (the footer by default when HasFooter).
    // The surface keeps its font.
    int CalcNumRowsPerPage(Surface &objOutput, bool bWithHeader, std::optional<bool> bWithFooter = std::nullopt);

    // Draws the table from body row lRowToStart to its end, starting at the surface's current
    // vertical position, on as many pages as it takes; lStartPage is the number of the first
    // page (1 for a fresh print: the header is drawn on page 1, and on every page when
    // PrintHeaderOnEveryPage). New pages are started on the application's current printer
    // (CurrentPrinter), or on objOutput when none is set; drawing goes on at MarginTop. The
    // footer follows the last body row. The surface ends below the table, with its own font.
    // Throws TableError rowDoesNotFit, before starting a page, when a body row (with the
    // header where it repeats) cannot fit on an empty page.
    void DrawTable(Surface &objOutput, int lRowToStart = 0, int lStartPage = 1);

private:
    struct Layout;
    class FontTracker;

    void rebuild();
    int footerRows() const { return m_footerStored ? 1 : 0; }
    Layout measure(Surface &surface, FontTracker &fonts, bool forDrawing) const;
    void drawHeader(Surface &surface, const Layout &layout, FontTracker &fonts, double y) const;
    int drawBody(Surface &surface, const Layout &layout, FontTracker &fonts, int first, int last, double y) const;
    void drawFooter(Surface &surface, const Layout &layout, FontTracker &fonts, double y, int pixelTop) const;
    void drawPicture(Surface &surface, int row, int col, double colLeft, int textLeft, int top, int bottom) const;

    int m_rows = 5;
    int m_cols = 2;
    int m_headerRows = 1;
    bool m_footerStored = false;

    // Cell stores, row by row.
    QList<QString> m_text;
    QList<CellFont> m_font;
    QList<QImage> m_picture;
    QList<QString> m_headerText;
    QList<CellFont> m_headerFont;
    QList<QString> m_footerText;
    QList<CellFont> m_footerFont;
    QList<double> m_colWidth;
    QList<int> m_colAlignment;
    QList<bool> m_mergeCol;
    QList<bool> m_mergeHeaderCol;
    QList<bool> m_mergeRow;
    QList<bool> m_mergeHeaderRow;
};

} // namespace tableprint
