#include "preview/draw_symbol.h"

#include <QPaintDevice>
#include <QPainter>
#include <QRect>

#include <cmath>

#include "errors/error_handling.h"
#include "render/symbol_painter.h"

namespace kartoplot::preview {

namespace {

constexpr const char* kDrawToDcSource = "basDrawSymbol.DrawToDC";
constexpr const char* kClearSource = "basDrawSymbol.Clear";
constexpr const char* kCreateTransSource = "basDrawSymbol.CreateTransFromDC";

constexpr int kSilver = 192;  // each of red, green and blue

// Saves the painter's state and restores it when the drawing ends, also by an exception.
class SavedPainterState {
public:
    explicit SavedPainterState(QPainter& painter) : painter_(painter) { painter_.save(); }
    ~SavedPainterState() { painter_.restore(); }
    SavedPainterState(const SavedPainterState&) = delete;
    SavedPainterState& operator=(const SavedPainterState&) = delete;

private:
    QPainter& painter_;
};

}  // namespace

QColor previewBackground() { return QColor(kSilver, kSilver, kSilver); }

QImage SymbolToPicture(const host::Symbol& symbol, int width, int height, int gap) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    QImage picture(width, height, QImage::Format_ARGB32);
    const int dotsPerMetre = static_cast<int>(std::lround(kPictureDpi / host::kMetresPerInch));
    picture.setDotsPerMeterX(dotsPerMetre);
    picture.setDotsPerMeterY(dotsPerMetre);
    {
        // DrawToDC clears every pixel first, so the picture's initial content never shows.
        QPainter dc(&picture);
        DrawToDC(&dc, width, height, symbol, gap);
    }
    return picture;
}

bool DrawToDC(QPainter* dc, int width, int height, const host::Symbol& symbol, int gap) {
    if (dc == nullptr || !dc->isActive()) {
        return false;
    }
    if (!Clear(dc, previewBackground(), 0, 0, width, height)) {
        throw HostError(kErrClearFailed, kDrawToDcSource, "Could not clear the Device Context.");
    }
    const host::Envelope rectangle(gap, gap, width - gap, height - gap);
    const std::optional<render::DeviceMapping> mapping = CreateTransFromDC(dc, width, height);
    const host::Geometry shape = SymbolShape(symbol, rectangle);
    if (!mapping || shape.isEmpty()) {
        throw HostError(kErrNoTransOrShape, kDrawToDcSource,
                        "Could not create required Transformation or Geometry for this draw operation.");
    }

    const SavedPainterState saved(*dc);
    dc->setClipRect(QRect(0, 0, width, height), Qt::IntersectClip);
    // Previews look like the map view, which is drawn antialiased.
    dc->setRenderHint(QPainter::Antialiasing);
    dc->setRenderHint(QPainter::TextAntialiasing);
    dc->setRenderHint(QPainter::SmoothPixmapTransform);
    render::SymbolPainter painter(*dc, *mapping);
    if (symbol.kind() == host::SymbolKind::Text) {
        // The sample stands in the middle of the picture whatever the symbol's alignment.
        host::TextSymbol centred = static_cast<const host::TextSymbol&>(symbol);
        centred.horizontalAlignment = host::HorizontalAlignment::Center;
        centred.verticalAlignment = host::VerticalAlignment::Center;
        painter.drawText(centred.previewText, centred, shape.labelPoint(), painter.pixelsPerPoint());
    } else {
        painter.drawSymbol(symbol, shape);
    }
    return true;
}

bool Clear(QPainter* dc, const QColor& colour, int left, int top, int right, int bottom) {
    if (dc == nullptr || !colour.isValid()) {
        throw HostError(kErrNoBrush, kClearSource, "Could not create GDI Brush.");
    }
    if (!dc->isActive()) {
        return false;
    }
    const QRect area(left, top, right - left, bottom - top);
    if (area.isEmpty()) {
        return true;
    }
    const SavedPainterState saved(*dc);
    dc->setCompositionMode(QPainter::CompositionMode_Source);
    dc->fillRect(area, colour);
    return true;
}

std::optional<render::DeviceMapping> CreateTransFromDC(QPainter* dc, int width, int height) {
    if (dc == nullptr || dc->device() == nullptr) {
        return std::nullopt;
    }
    const int dpi = dc->device()->logicalDpiY();
    if (dpi <= 0) {
        throw HostError(kErrNoResolution, kCreateTransSource,
                        "Could not retrieve Resolution from device context.");
    }
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    // Map point (0, 0) at the device's lower left corner, one map unit per pixel.
    return render::DeviceMapping(host::Point{0, 0}, 1.0, width, height, dpi);
}

host::Geometry SymbolShape(const host::Symbol& symbol, const host::Envelope& rectangle) {
    if (rectangle.isEmpty()) {
        return {};
    }
    if (symbol.isMarker()) {
        return rectangle.center();
    }
    if (symbol.isLine()) {
        return host::Polyline::fromPoints({rectangle.lowerLeft(), rectangle.upperRight()});
    }
    if (symbol.kind() == host::SymbolKind::Text) {
        const double middle = rectangle.yMin() + rectangle.height() / 2;
        return host::Polyline::fromPoints({{rectangle.xMin(), middle}, {rectangle.xMax(), middle}});
    }
    return host::Polygon::fromEnvelope(rectangle);
}

}  // namespace kartoplot::preview
