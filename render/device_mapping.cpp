#include "render/device_mapping.h"

#include <cmath>

namespace kartoplot::render {

DeviceMapping::DeviceMapping(const host::DisplayTransformation& t)
    : unitsPerPixel_(t.mapUnitsPerPixel() > 0 ? t.mapUnitsPerPixel() : 1.0),
      deviceWidth_(t.deviceWidth()),
      deviceHeight_(t.deviceHeight()),
      dpi_(t.resolution()),
      scale_(t.scale()) {
    const host::Envelope visible = t.visibleBounds();
    originX_ = visible.isEmpty() ? t.center().x : visible.xMin();
    originY_ = visible.isEmpty() ? t.center().y : visible.yMin();
}

DeviceMapping::DeviceMapping(host::Point origin, double unitsPerPixel, double width,
                             double height, double dpi, double scale)
    : originX_(origin.x),
      originY_(origin.y),
      unitsPerPixel_(unitsPerPixel > 0 ? unitsPerPixel : 1.0),
      deviceWidth_(width),
      deviceHeight_(height),
      dpi_(dpi),
      scale_(scale) {}

QRectF DeviceMapping::toDevice(const host::Envelope& e) const noexcept {
    const QPointF a = toDevice(host::Point{e.xMin(), e.yMax()});
    const QPointF b = toDevice(host::Point{e.xMax(), e.yMin()});
    return QRectF(a, b).normalized();
}

double DeviceMapping::pixelsPerPoint(double referenceScale) const noexcept {
    const double base = dpi_ / host::kPointsPerInch;
    if (referenceScale > 0 && scale_ > 0) {
        const double scaled = base * referenceScale / scale_;
        return std::isfinite(scaled) ? scaled : base;
    }
    return base;
}

host::Envelope DeviceMapping::visibleBounds() const noexcept {
    return host::Envelope(originX_, originY_, originX_ + deviceWidth_ * unitsPerPixel_,
                          originY_ + deviceHeight_ * unitsPerPixel_);
}

}  // namespace kartoplot::render
