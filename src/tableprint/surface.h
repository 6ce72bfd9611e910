#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPaintDevice;
class QPainter;

namespace tableprint {

// Units of a surface's coordinates. The numbers are the customary scale-mode numbers.
enum class ScaleMode {
    Twips = 1,       // 1/1440 inch
    Points = 2,      // 1/72 inch
    Pixels = 3,      // the device's own pixels (its logical resolution)
    Inches = 5,
    Millimeters = 6,
    Centimeters = 7,
    HiMetric = 8,    // hundredths of a millimetre; picture sizes come in this unit
};

enum class FillStyle { Solid = 0, Transparent = 1 };

// Format flags of Surface::drawText, with the values of the platform's rectangle text call.
namespace TextFormat {
inline constexpr unsigned Left = 0x0;
inline constexpr unsigned Center = 0x1;
inline constexpr unsigned Right = 0x2;
inline constexpr unsigned Top = 0x0;
inline constexpr unsigned VCenter = 0x4;      // with SingleLine only
inline constexpr unsigned Bottom = 0x8;       // with SingleLine only
inline constexpr unsigned SingleLine = 0x20;  // line breaks are drawn as blanks
inline constexpr unsigned CalcRect = 0x400;   // measure only, draw nothing
inline constexpr unsigned NoPrefix = 0x800;   // accepted; '&' is never a mnemonic here anyway
inline constexpr unsigned EndEllipsis = 0x8000;
inline constexpr unsigned ModifyString = 0x10000; // accepted; the caller's text is never changed
inline constexpr unsigned HorizontalMask = 0x3;
} // namespace TextFormat

// A page to draw on: a QPainter over any paint device (QPrinter, QPdfWriter, QImage, ...)
// with the drawing model that the print code is written against: a unit mode for all
// coordinates, a current position, a current font, foreground colour, pen width and fill
// style, and a page counter.
//
// Coordinates and lengths are in the current unit (scaleMode()) unless a method says
// otherwise; drawText() works in device pixels. Conversions between units go by the
// device's logical resolution (logicalDpiX/Y), so one surface unit means the same physical
// length on a 96 dpi image and on a 1200 dpi printer. The origin is the top-left corner of
// the device's usable area (a printer's printable area). drawText and rectangle are virtual
// so that a surface can be observed (tests record what is drawn).
class Surface
{
public:
    // Starts painting on the device; on a QPrinter this starts the print job. isActive()
    // tells whether that worked. The surface ends the painting when destroyed.
    explicit Surface(QPaintDevice *device);
    // Draws through a painter that is already active; the painter stays the caller's.
    explicit Surface(QPainter *painter);
    virtual ~Surface();

    Surface(const Surface &) = delete;
    Surface &operator=(const Surface &) = delete;

    bool isActive() const;
    // Ends painting (on a printer: ends the job). Returns false when the device reported
    // an error. Nothing can be drawn afterwards.
    bool end();

    QPaintDevice *device() const;
    QPainter *painter() const;

    // True on a QPrinter; false on any other device unless set.
    bool isPrinter() const;
    void setPrinter(bool printer);

    // --- units ---
    ScaleMode scaleMode() const;
    void setScaleMode(ScaleMode mode);
    // The usable width and height in the current unit.
    double scaleWidth() const;
    double scaleHeight() const;
    // Converts a horizontal (X) or vertical (Y) length between two units.
    double scaleX(double value, ScaleMode from, ScaleMode to) const;
    double scaleY(double value, ScaleMode from, ScaleMode to) const;
    // A length in the current unit as (fractional) device pixels.
    double toPixelsX(double value) const;
    double toPixelsY(double value) const;
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    // --- current position (current unit; kept physically when the unit changes) ---
    double currentX() const;
    void setCurrentX(double x);
    double currentY() const;
    void setCurrentY(double y);

    // --- font and text ---
    QFont font() const;
    void setFont(const QFont &font);
    bool fontBold() const;
    void setFontBold(bool bold);
    // Height of the text's lines, and width of its widest line, with the current font
    // (current unit). An empty text is one line high.
    double textHeight(const QString &text) const;
    double textWidth(const QString &text) const;
    // Draws a text at the current position, then moves to the start of the next line
    // (x 0, y one text height lower). An empty text only moves down.
    void print(const QString &text = QString());

    // Draws text into a rectangle in device pixels with the current font and foreground
    // colour, clipped to the rectangle, never wrapped: '\n' (or "\r\n") starts a new line
    // unless SingleLine is given. Horizontal alignment by the low bits (Left, Center,
    // Right); lines start at the top, or with SingleLine are placed by VCenter or Bottom.
    // EndEllipsis shortens a line that does not fit to end in "…". With CalcRect nothing is
    // drawn. Returns the rectangle the text takes: the given left and top, the widest
    // line's width and the lines' height (the height is what callers centre with).
    virtual QRect drawText(const QString &text, const QRect &rect, unsigned format);

    // --- lines, rectangles, pictures ---
    QColor foreColor() const;
    void setForeColor(const QColor &color);
    // Pen width in device pixels (at least 1).
    int drawWidth() const;
    void setDrawWidth(int width);
    FillStyle fillStyle() const;
    void setFillStyle(FillStyle style);
    QColor fillColor() const;
    void setFillColor(const QColor &color);

    // A line in the pen width, in the given colour or the foreground colour. The current
    // position moves to its end.
    void line(QPointF from, QPointF to, std::optional<QColor> color = std::nullopt);
    // A line from the current position.
    void lineTo(QPointF to, std::optional<QColor> color = std::nullopt);
    // The outline of the rectangle between two corners (both corners' pixels included),
    // filled with the fill colour unless the fill style is transparent.
    virtual void rectangle(QPointF corner1, QPointF corner2, std::optional<QColor> color = std::nullopt);

    // Paints a picture at a point. `source` is a region of the picture measured in the
    // current unit at the picture's own physical size (see pictureSize); empty means the
    // whole picture. `size` is the size it takes on the surface; empty means the source's
    // own size (unscaled). A null picture paints nothing.
    void paintPicture(const QImage &picture, QPointF at, QSizeF size = QSizeF(), QRectF source = QRectF());
    // A picture's physical size in hundredths of a millimetre, from its own resolution
    // (96 dpi when it has none).
    static QSizeF pictureSize(const QImage &picture);

    // --- pages ---
    // The number of the page being drawn, 1 for the first.
    int page() const;
    // Starts a new page: on a QPrinter or QPdfWriter the device's own next page. The page
    // number goes up, the current position goes to (0, 0), and the new-page handler, if any,
    // runs (on an image, which has no pages, it may save and clear the picture). Returns
    // false when the device refused.
    bool newPage();
    void setNewPageHandler(std::function<void(Surface &)> handler);

private:
    struct State;
    std::unique_ptr<State> d;
};

// The application's current printer: the surface that print jobs draw on. The screen that
// prints sets it for the time of the job; the table engine starts its new pages here.
class CurrentPrinter
{
public:
    static Surface *get();
    static void set(Surface *surface);
    // Starts a new page on the current printer; false when there is none or it refused.
    static bool newPage();

    // Makes a surface the current printer for a scope and puts the previous one back.
    class Scope
    {
    public:
        explicit Scope(Surface *surface);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        Surface *m_previous;
    };
};

} // namespace tableprint
