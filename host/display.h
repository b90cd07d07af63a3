// The display of a view: how map units, points and device pixels relate, and how text
// is measured. Sizes of symbols are in points (72 per inch).
#pragma once

#include <memory>
#include <string>

#include "host/geometry.h"

namespace kartoplot::host {

class TextSymbol;

inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kMillimetresPerInch = 25.4;
inline constexpr double kMetresPerInch = 0.0254;
inline constexpr double kMetresPerDegree = 111319.49;  // along the equator
inline constexpr double kDefaultDpi = 96.0;

// Linear units of a map or a page.
enum class MapUnits : int {
    Unknown = 0,
    Metres = 1,
    Degrees = 2,
    Feet = 3,
    Inches = 4,
    Points = 5,
    Millimetres = 6,
    Centimetres = 7,
    Kilometres = 8,
};

// Metres in one unit (degrees count 111 319.49 m; unknown units count as metres).
double metresPerMapUnit(MapUnits units) noexcept;
// A distance in one unit expressed in another.
double convertUnits(double value, MapUnits from, MapUnits to) noexcept;

// Maps a view's visible map area onto a device frame of pixels.
class DisplayTransformation {
public:
    MapUnits units() const noexcept { return units_; }
    void setUnits(MapUnits units) noexcept { units_ = units; }

    // Current map scale (1 : scale).
    double scale() const noexcept { return scale_; }
    // Sets the scale and keeps the centre of the visible area.
    void setScale(double scale) noexcept { scale_ = scale; }
    // Reference scale: symbols are drawn at their size at this scale; 0 = none.
    double referenceScale() const noexcept { return referenceScale_; }
    void setReferenceScale(double scale) noexcept { referenceScale_ = scale; }

    double resolution() const noexcept { return dpi_; }
    void setResolution(double dpi) noexcept { dpi_ = dpi; }

    // Device frame in pixels; 0 × 0 when the view has no device.
    int deviceWidth() const noexcept { return deviceWidth_; }
    int deviceHeight() const noexcept { return deviceHeight_; }
    void setDeviceFrame(int width, int height) noexcept;

    Point center() const noexcept { return center_; }
    void setCenter(Point c) noexcept { center_ = c; }

    // The map area the device frame shows at the current scale and centre.
    Envelope visibleBounds() const noexcept;
    // Centres on the envelope and picks the scale at which all of it fits the device frame.
    // Without a device frame only the centre changes.
    void setVisibleBounds(const Envelope& bounds) noexcept;

    // A symbol size in points as a map distance: points / 72 × 0.0254 m × S, S = the
    // reference scale when above 0, else the current scale; converted to map units.
    double pointsToMapDistance(double points) const noexcept;
    // The inverse of pointsToMapDistance (0 when the scale is 0).
    double mapDistanceToPoints(double distance) const noexcept;
    // Map units per device pixel at the current scale.
    double mapUnitsPerPixel() const noexcept;

    // Map point → device pixel (origin top left, y down) and back.
    Point toDevice(const Point& map) const noexcept;
    Point toMap(const Point& device) const noexcept;

private:
    MapUnits units_ = MapUnits::Metres;
    double scale_ = 1.0;
    double referenceScale_ = 0.0;
    double dpi_ = kDefaultDpi;
    int deviceWidth_ = 0;
    int deviceHeight_ = 0;
    Point center_;
};

// Size of a text as drawn, in points.
struct TextExtent {
    double width = 0.0;
    double ascent = 0.0;   // above the baseline
    double descent = 0.0;  // below the baseline
    double height() const noexcept { return ascent + descent; }
};

// Measures text; the renderer provides the exact implementation from real fonts.
class TextMetrics {
public:
    virtual ~TextMetrics() = default;
    virtual TextExtent measure(const std::string& text, const TextSymbol& symbol) const = 0;
};

// Font-independent estimate: 0.6 em per character, ascent 0.8 em, descent 0.2 em.
// Used until a renderer installs real metrics, and by tests that need stable numbers.
class ApproximateTextMetrics final : public TextMetrics {
public:
    TextExtent measure(const std::string& text, const TextSymbol& symbol) const override;
};

// Number of characters (not bytes) of a UTF-8 text.
std::size_t utf8Length(const std::string& text) noexcept;

// The display of one view: its transformation and its text measurement.
class ScreenDisplay {
public:
    ScreenDisplay();
    DisplayTransformation& transformation() noexcept { return transformation_; }
    const DisplayTransformation& transformation() const noexcept { return transformation_; }
    const TextMetrics& textMetrics() const noexcept { return *metrics_; }
    // Installs a text measurement (nullptr restores the estimate).
    void setTextMetrics(std::shared_ptr<const TextMetrics> metrics);

private:
    DisplayTransformation transformation_;
    std::shared_ptr<const TextMetrics> metrics_;
};

}  // namespace kartoplot::host
