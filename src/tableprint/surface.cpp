#include "tableprint/surface.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QStringList>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace tableprint {

namespace {

constexpr double TwipsPerInch = 1440.0;
constexpr double HiMetricPerMeter = 100000.0;
constexpr double DefaultPictureDpi = 96.0;

Surface *g_currentPrinter = nullptr;

double unitsPerInch(ScaleMode mode, double dpi)
{
    switch (mode) {
    case ScaleMode::Twips: return TwipsPerInch;
    case ScaleMode::Points: return 72.0;
    case ScaleMode::Pixels: return dpi;
    case ScaleMode::Inches: return 1.0;
    case ScaleMode::Millimeters: return 25.4;
    case ScaleMode::Centimeters: return 2.54;
    case ScaleMode::HiMetric: return 2540.0;
    }
    return TwipsPerInch;
}

QStringList textLines(const QString &text, bool singleLine)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return {text};
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (singleLine)
        return {plain.replace(QLatin1Char('\n'), QLatin1Char(' '))};
    return plain.split(QLatin1Char('\n'));
}

} // namespace

struct Surface::State {
    std::unique_ptr<QPainter> ownPainter;
    QPainter *painter = nullptr;
    QPaintDevice *device = nullptr;
    bool printer = false;
    ScaleMode mode = ScaleMode::Twips;
    QPointF position; // device pixels
    QColor foreColor = Qt::black;
    int drawWidth = 1;
    FillStyle fillStyle = FillStyle::Transparent;
    QColor fillColor = Qt::black;
    int page = 1;
    std::function<void(Surface &)> newPageHandler;

    double dpiX() const { return device ? device->logicalDpiX() : DefaultPictureDpi; }
    double dpiY() const { return device ? device->logicalDpiY() : DefaultPictureDpi; }
    // Metrics of the painter's current font, kept while the font stays.
    const QFontMetricsF &metrics()
    {
        const QFont &font = painter->font();
        if (!cachedMetrics || !(font == cachedFont)) {
            cachedFont = font;
            cachedMetrics.emplace(font, device);
        }
        return *cachedMetrics;
    }
    QFont cachedFont;
    std::optional<QFontMetricsF> cachedMetrics;
    // Lines are whole pixels high, as the platform's text metrics are.
    static double lineHeight(const QFontMetricsF &fm) { return std::ceil(fm.height()); }
    void usePen(const std::optional<QColor> &color)
    {
        QPen pen(color.value_or(foreColor));
        pen.setWidth(std::max(1, drawWidth));
        painter->setPen(pen);
    }
};

Surface::Surface(QPaintDevice *device)
    : d(std::make_unique<State>())
{
    d->device = device;
    d->ownPainter = std::make_unique<QPainter>();
    d->painter = d->ownPainter.get();
    if (device)
        d->ownPainter->begin(device);
    d->printer = dynamic_cast<QPrinter *>(device) != nullptr;
}

Surface::Surface(QPainter *painter)
    : d(std::make_unique<State>())
{
    d->painter = painter;
    d->device = painter->device();
    d->printer = dynamic_cast<QPrinter *>(d->device) != nullptr;
}

Surface::~Surface()
{
    if (g_currentPrinter == this)
        g_currentPrinter = nullptr;
    if (d->ownPainter && d->ownPainter->isActive())
        d->ownPainter->end();
}

bool Surface::isActive() const { return d->painter->isActive(); }

bool Surface::end()
{
    if (!d->ownPainter || !d->ownPainter->isActive())
        return true;
    bool ok = d->ownPainter->end();
    if (auto *printer = dynamic_cast<QPrinter *>(d->device))
        ok = ok && printer->printerState() != QPrinter::Error;
    return ok;
}

QPaintDevice *Surface::device() const { return d->device; }
QPainter *Surface::painter() const { return d->painter; }

bool Surface::isPrinter() const { return d->printer; }
void Surface::setPrinter(bool printer) { d->printer = printer; }

ScaleMode Surface::scaleMode() const { return d->mode; }
void Surface::setScaleMode(ScaleMode mode) { d->mode = mode; }

double Surface::scaleWidth() const
{
    return scaleX(d->device ? d->device->width() : 0, ScaleMode::Pixels, d->mode);
}

double Surface::scaleHeight() const
{
    return scaleY(d->device ? d->device->height() : 0, ScaleMode::Pixels, d->mode);
}

double Surface::scaleX(double value, ScaleMode from, ScaleMode to) const
{
    return value / unitsPerInch(from, d->dpiX()) * unitsPerInch(to, d->dpiX());
}

double Surface::scaleY(double value, ScaleMode from, ScaleMode to) const
{
    return value / unitsPerInch(from, d->dpiY()) * unitsPerInch(to, d->dpiY());
}

double Surface::toPixelsX(double value) const { return scaleX(value, d->mode, ScaleMode::Pixels); }
double Surface::toPixelsY(double value) const { return scaleY(value, d->mode, ScaleMode::Pixels); }
double Surface::twipsPerPixelX() const { return TwipsPerInch / d->dpiX(); }
double Surface::twipsPerPixelY() const { return TwipsPerInch / d->dpiY(); }

double Surface::currentX() const { return scaleX(d->position.x(), ScaleMode::Pixels, d->mode); }
void Surface::setCurrentX(double x) { d->position.setX(toPixelsX(x)); }
double Surface::currentY() const { return scaleY(d->position.y(), ScaleMode::Pixels, d->mode); }
void Surface::setCurrentY(double y) { d->position.setY(toPixelsY(y)); }

QFont Surface::font() const { return d->painter->font(); }
void Surface::setFont(const QFont &font) { d->painter->setFont(font); }
bool Surface::fontBold() const { return d->painter->font().bold(); }

void Surface::setFontBold(bool bold)
{
    QFont font = d->painter->font();
    font.setBold(bold);
    d->painter->setFont(font);
}

double Surface::textHeight(const QString &text) const
{
    const double lines = textLines(text, false).size();
    return scaleY(lines * State::lineHeight(d->metrics()), ScaleMode::Pixels, d->mode);
}

double Surface::textWidth(const QString &text) const
{
    const QFontMetricsF &fm = d->metrics();
    double widest = 0;
    for (const QString &line : textLines(text, false))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return scaleX(widest, ScaleMode::Pixels, d->mode);
}

void Surface::print(const QString &text)
{
    if (!text.isEmpty()) {
        const QFontMetricsF &fm = d->metrics();
        d->painter->setPen(d->foreColor);
        double y = d->position.y();
        for (const QString &line : textLines(text, false)) {
            d->painter->drawText(QPointF(d->position.x(), y + fm.ascent()), line);
            y += State::lineHeight(fm);
        }
    }
    d->position = QPointF(0, d->position.y() + toPixelsY(textHeight(text)));
}

QRect Surface::drawText(const QString &text, const QRect &rect, unsigned format)
{
    const bool singleLine = format & TextFormat::SingleLine;
    const QFontMetricsF &fm = d->metrics();
    QStringList lines = textLines(text, singleLine);
    QVarLengthArray<double, 4> advances;
    double widest = 0;
    for (QString &line : lines) {
        double advance = fm.horizontalAdvance(line);
        if ((format & TextFormat::EndEllipsis) && advance > rect.width()) {
            line = fm.elidedText(line, Qt::ElideRight, std::max(0, rect.width()));
            advance = fm.horizontalAdvance(line);
        }
        advances.append(advance);
        widest = std::max(widest, advance);
    }
    const double lineHeight = State::lineHeight(fm);
    const double height = lines.size() * lineHeight;
    const QRect taken(rect.left(), rect.top(), int(std::ceil(widest)), int(std::ceil(height)));
    if ((format & TextFormat::CalcRect) || text.isEmpty())
        return taken;

    double y = rect.top();
    if (singleLine && (format & TextFormat::VCenter))
        y += (rect.height() - height) / 2;
    else if (singleLine && (format & TextFormat::Bottom))
        y = rect.top() + rect.height() - height;

    QPainter *p = d->painter;
    // Clip only what would overflow: most texts fit, and a clip costs on every device.
    const bool clip = widest > rect.width() || y < rect.top() || y + height > rect.top() + rect.height();
    if (clip) {
        p->save();
        p->setClipRect(rect, p->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    p->setPen(d->foreColor);
    const unsigned horizontal = format & TextFormat::HorizontalMask;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        double x = rect.left();
        if (horizontal == TextFormat::Center)
            x += (rect.width() - advances[i]) / 2;
        else if (horizontal == TextFormat::Right)
            x += rect.width() - advances[i];
        p->drawText(QPointF(x, y + fm.ascent()), lines[i]);
        y += lineHeight;
    }
    if (clip)
        p->restore();
    return taken;
}

QColor Surface::foreColor() const { return d->foreColor; }
void Surface::setForeColor(const QColor &color) { d->foreColor = color; }
int Surface::drawWidth() const { return d->drawWidth; }
void Surface::setDrawWidth(int width) { d->drawWidth = std::max(1, width); }
FillStyle Surface::fillStyle() const { return d->fillStyle; }
void Surface::setFillStyle(FillStyle style) { d->fillStyle = style; }
QColor Surface::fillColor() const { return d->fillColor; }
void Surface::setFillColor(const QColor &color) { d->fillColor = color; }

void Surface::line(QPointF from, QPointF to, std::optional<QColor> color)
{
    d->usePen(color);
    const QPointF a(std::round(toPixelsX(from.x())), std::round(toPixelsY(from.y())));
    const QPointF b(std::round(toPixelsX(to.x())), std::round(toPixelsY(to.y())));
    d->painter->drawLine(a, b);
    d->position = QPointF(toPixelsX(to.x()), toPixelsY(to.y()));
}

void Surface::lineTo(QPointF to, std::optional<QColor> color)
{
    line(QPointF(currentX(), currentY()), to, color);
}

void Surface::rectangle(QPointF corner1, QPointF corner2, std::optional<QColor> color)
{
    d->usePen(color);
    const double x1 = std::round(toPixelsX(corner1.x())), y1 = std::round(toPixelsY(corner1.y()));
    const double x2 = std::round(toPixelsX(corner2.x())), y2 = std::round(toPixelsY(corner2.y()));
    d->painter->setBrush(d->fillStyle == FillStyle::Solid ? QBrush(d->fillColor) : QBrush(Qt::NoBrush));
    d->painter->drawRect(QRectF(QPointF(std::min(x1, x2), std::min(y1, y2)),
                                QPointF(std::max(x1, x2), std::max(y1, y2))));
    d->painter->setBrush(Qt::NoBrush);
    d->position = QPointF(toPixelsX(corner2.x()), toPixelsY(corner2.y()));
}

QSizeF Surface::pictureSize(const QImage &picture)
{
    auto perMeter = [](int dotsPerMeter) {
        return dotsPerMeter > 0 ? double(dotsPerMeter) : DefaultPictureDpi / 0.0254;
    };
    return QSizeF(picture.width() / perMeter(picture.dotsPerMeterX()) * HiMetricPerMeter,
                  picture.height() / perMeter(picture.dotsPerMeterY()) * HiMetricPerMeter);
}

void Surface::paintPicture(const QImage &picture, QPointF at, QSizeF size, QRectF source)
{
    if (picture.isNull())
        return;
    const QSizeF natural = pictureSize(picture);
    const double naturalW = scaleX(natural.width(), ScaleMode::HiMetric, d->mode);
    const double naturalH = scaleY(natural.height(), ScaleMode::HiMetric, d->mode);
    if (naturalW <= 0 || naturalH <= 0)
        return;
    if (source.isEmpty())
        source = QRectF(0, 0, naturalW, naturalH);
    if (size.isEmpty())
        size = source.size();
    if (size.width() <= 0 || size.height() <= 0)
        return;
    const double fx = picture.width() / naturalW, fy = picture.height() / naturalH;
    const QRectF target(toPixelsX(at.x()), toPixelsY(at.y()), toPixelsX(size.width()), toPixelsY(size.height()));
    const QRectF from(source.x() * fx, source.y() * fy, source.width() * fx, source.height() * fy);
    d->painter->drawImage(target, picture, from);
}

int Surface::page() const { return d->page; }

bool Surface::newPage()
{
    bool ok = true;
    if (auto *paged = dynamic_cast<QPagedPaintDevice *>(d->device))
        ok = paged->newPage();
    if (ok) {
        ++d->page;
        d->position = QPointF();
        if (d->newPageHandler)
            d->newPageHandler(*this);
    }
    return ok;
}

void Surface::setNewPageHandler(std::function<void(Surface &)> handler)
{
    d->newPageHandler = std::move(handler);
}

Surface *CurrentPrinter::get() { return g_currentPrinter; }
void CurrentPrinter::set(Surface *surface) { g_currentPrinter = surface; }
bool CurrentPrinter::newPage() { return g_currentPrinter && g_currentPrinter->newPage(); }

CurrentPrinter::Scope::Scope(Surface *surface)
    : m_previous(g_currentPrinter)
{
    g_currentPrinter = surface;
}

CurrentPrinter::Scope::~Scope() { g_currentPrinter = m_previous; }

} // namespace tableprint
