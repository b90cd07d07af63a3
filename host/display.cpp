#include "host/display.h"

#include <algorithm>

#include "host/symbols.h"

namespace kartoplot::host {

double metresPerMapUnit(MapUnits units) noexcept {
    switch (units) {
        case MapUnits::Degrees: return kMetresPerDegree;
        case MapUnits::Feet: return 0.3048;
        case MapUnits::Inches: return kMetresPerInch;
        case MapUnits::Points: return kMetresPerInch / kPointsPerInch;
        case MapUnits::Millimetres: return 0.001;
        case MapUnits::Centimetres: return 0.01;
        case MapUnits::Kilometres: return 1000.0;
        default: return 1.0;
    }
}

double convertUnits(double value, MapUnits from, MapUnits to) noexcept {
    return value * metresPerMapUnit(from) / metresPerMapUnit(to);
}

void DisplayTransformation::setDeviceFrame(int width, int height) noexcept {
    deviceWidth_ = std::max(0, width);
    deviceHeight_ = std::max(0, height);
}

double DisplayTransformation::mapUnitsPerPixel() const noexcept {
    // One pixel is 1/dpi inch on paper, scale × that on the ground.
    return scale_ * kMetresPerInch / dpi_ / metresPerMapUnit(units_);
}

Envelope DisplayTransformation::visibleBounds() const noexcept {
    const double upp = mapUnitsPerPixel();
    const double halfW = deviceWidth_ * upp / 2;
    const double halfH = deviceHeight_ * upp / 2;
    return Envelope(center_.x - halfW, center_.y - halfH, center_.x + halfW, center_.y + halfH);
}

void DisplayTransformation::setVisibleBounds(const Envelope& bounds) noexcept {
    if (bounds.isEmpty()) {
        return;
    }
    center_ = bounds.center();
    if (deviceWidth_ <= 0 || deviceHeight_ <= 0) {
        return;
    }
    const double unitsPerPixel =
        std::max(bounds.width() / deviceWidth_, bounds.height() / deviceHeight_);
    if (unitsPerPixel > 0) {
        scale_ = unitsPerPixel * metresPerMapUnit(units_) * dpi_ / kMetresPerInch;
    }
}

double DisplayTransformation::pointsToMapDistance(double points) const noexcept {
    const double s = referenceScale_ > 0 ? referenceScale_ : scale_;
    return points / kPointsPerInch * kMetresPerInch * s / metresPerMapUnit(units_);
}

double DisplayTransformation::mapDistanceToPoints(double distance) const noexcept {
    const double onePoint = pointsToMapDistance(1.0);
    return onePoint != 0 ? distance / onePoint : 0.0;
}

Point DisplayTransformation::toDevice(const Point& map) const noexcept {
    const double upp = mapUnitsPerPixel();
    if (upp == 0) {
        return {};
    }
    return {(map.x - center_.x) / upp + deviceWidth_ / 2.0,
            (center_.y - map.y) / upp + deviceHeight_ / 2.0};
}

Point DisplayTransformation::toMap(const Point& device) const noexcept {
    const double upp = mapUnitsPerPixel();
    return {center_.x + (device.x - deviceWidth_ / 2.0) * upp,
            center_.y - (device.y - deviceHeight_ / 2.0) * upp};
}

std::size_t utf8Length(const std::string& text) noexcept {
    std::size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

TextExtent ApproximateTextMetrics::measure(const std::string& text, const TextSymbol& symbol) const {
    const double em = symbol.size();
    return TextExtent{0.6 * em * static_cast<double>(utf8Length(text)), 0.8 * em, 0.2 * em};
}

ScreenDisplay::ScreenDisplay() : metrics_(std::make_shared<ApproximateTextMetrics>()) {}

void ScreenDisplay::setTextMetrics(std::shared_ptr<const TextMetrics> metrics) {
    metrics_ = metrics ? std::move(metrics) : std::make_shared<ApproximateTextMetrics>();
}

}  // namespace kartoplot::host
