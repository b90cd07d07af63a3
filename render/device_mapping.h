// How map coordinates and symbol sizes become device pixels for one drawing.
#pragma once

#include <QPointF>
#include <QRectF>

#include "host/display.h"
#include "host/geometry.h"

namespace kartoplot::render {

class DeviceMapping {
public:
    // The view's transformation, already given its device frame and resolution.
    explicit DeviceMapping(const host::DisplayTransformation& transformation);
    // A plain mapping onto a width × height device: `unitsPerPixel` map units per pixel, the
    // map point `origin` at the device point (0, height) (y grows upwards on the map,
    // downwards on the device); `scale` is the map scale it stands for.
    DeviceMapping(host::Point origin, double unitsPerPixel, double width, double height,
                  double dpi, double scale = 1.0);

    // Device coordinates are kept within ±kDeviceLimit pixels (a coordinate that is not a
    // number goes to the limit), so QPainter never receives a non-finite or overflowing number.
    QPointF toDevice(const host::Point& p) const noexcept {
        return {guarded((p.x - originX_) / unitsPerPixel_),
                guarded(deviceHeight_ - (p.y - originY_) / unitsPerPixel_)};
    }
    QRectF toDevice(const host::Envelope& e) const noexcept;
    double unitsPerPixel() const noexcept { return unitsPerPixel_; }
    double dpi() const noexcept { return dpi_; }
    double scale() const noexcept { return scale_; }
    // Pixels of one symbol point: dpi / 72, times referenceScale / scale when a reference
    // scale is set (symbols then grow and shrink with the map).
    double pixelsPerPoint(double referenceScale) const noexcept;
    // Device rectangle that holds the drawing.
    QRectF deviceRect() const noexcept { return {0, 0, deviceWidth_, deviceHeight_}; }
    // The visible map area.
    host::Envelope visibleBounds() const noexcept;

    static constexpr double kDeviceLimit = 1e8;  // pixels, far beyond any picture

private:
    static double guarded(double v) noexcept {
        if (v >= -kDeviceLimit && v <= kDeviceLimit) {
            return v;
        }
        return v < 0 ? -kDeviceLimit : kDeviceLimit;
    }

    double originX_ = 0.0;
    double originY_ = 0.0;
    double unitsPerPixel_ = 1.0;
    double deviceWidth_ = 0.0;
    double deviceHeight_ = 0.0;
    double dpi_ = host::kDefaultDpi;
    double scale_ = 1.0;
};

}  // namespace kartoplot::render
