// Host symbols: markers, lines, fills, text, bar charts and the line callout of a chart's
// leader. Symbols are shared objects: a fill symbol of the dialog's symbol array is the same
// object inside every chart symbol that uses it, so they are held by std::shared_ptr.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "host/geometry.h"
#include "host/variant.h"

namespace kartoplot::host {

// An RGB colour. A null colour draws nothing (transparent).
struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool isNull = false;

    // The host's packed RGB value: red + green × 256 + blue × 65536.
    static Color fromRgb(std::int32_t rgb);
    static Color nullColor() { return Color{0, 0, 0, true}; }
    std::int32_t rgb() const noexcept { return red + green * 256 + blue * 65536; }
    friend bool operator==(const Color&, const Color&) = default;
};

// A font description; size in points.
struct Font {
    std::string name = "Arial";
    double size = 8.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    friend bool operator==(const Font&, const Font&) = default;
};

enum class SymbolKind : std::uint8_t {
    SimpleMarker,
    BarChart,
    SimpleLine,
    CartographicLine,
    SimpleFill,
    MultiLayerFill,
    MarkerFill,
    PictureFill,
    LineFill,
    Text,
};

class Symbol : public HostObject {
public:
    virtual SymbolKind kind() const noexcept = 0;
    // An independent deep copy (owned sub-symbols are copied too).
    virtual std::shared_ptr<Symbol> clone() const = 0;
    bool isMarker() const noexcept;
    bool isLine() const noexcept;
    bool isFill() const noexcept;
};

// ---- markers ---------------------------------------------------------------------------

class MarkerSymbol : public Symbol {
public:
    double size = 8.0;  // points
    double angle = 0.0;    // degrees, counter-clockwise
    double xOffset = 0.0;  // points
    double yOffset = 0.0;  // points
    // Last, so that the flags of a derived symbol share the padding behind it.
    Color color{0, 0, 0};
};

enum class MarkerStyle : std::int32_t { Circle = 0, Square = 1, Cross = 2, X = 3, Diamond = 4 };

class SimpleMarkerSymbol final : public MarkerSymbol {
public:
    MarkerStyle style = MarkerStyle::Circle;
    bool outline = false;
    Color outlineColor{0, 0, 0};
    double outlineSize = 1.0;  // points

    SymbolKind kind() const noexcept override { return SymbolKind::SimpleMarker; }
    std::string className() const override { return "SimpleMarkerSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

// ---- lines -----------------------------------------------------------------------------

class LineSymbol : public Symbol {
public:
    Color color{0, 0, 0};
    double width = 1.0;  // points
};

enum class LineStyle : std::int32_t {
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    Null = 5,
    InsideFrame = 6,
};

class SimpleLineSymbol final : public LineSymbol {
public:
    LineStyle style = LineStyle::Solid;

    SymbolKind kind() const noexcept override { return SymbolKind::SimpleLine; }
    std::string className() const override { return "SimpleLineSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

enum class LineCap : std::int32_t { Butt = 0, Round = 1, Square = 2 };
enum class LineJoin : std::int32_t { Miter = 0, Round = 1, Bevel = 2 };

// A dash pattern: marks and gaps, each counted in units of `interval` points.
struct LineTemplate {
    struct PatternElement {
        double mark = 1.0;
        double gap = 0.0;
        friend bool operator==(const PatternElement&, const PatternElement&) = default;
    };
    double interval = 1.0;
    std::vector<PatternElement> pattern;  // empty = solid
    friend bool operator==(const LineTemplate&, const LineTemplate&) = default;
};

class CartographicLineSymbol final : public LineSymbol {
public:
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
    LineTemplate lineTemplate;

    SymbolKind kind() const noexcept override { return SymbolKind::CartographicLine; }
    std::string className() const override { return "CartographicLineSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

// ---- fills -----------------------------------------------------------------------------

class FillSymbol : public Symbol {
public:
    Color color{0, 0, 0};
    std::shared_ptr<LineSymbol> outline;  // nothing = no outline

protected:
    void copyFillInto(FillSymbol& target) const;
};

enum class FillStyle : std::int32_t {
    Solid = 0,
    Null = 1,  // also "hollow"
    Horizontal = 2,
    Vertical = 3,
    ForwardDiagonal = 4,
    BackwardDiagonal = 5,
    Cross = 6,
    DiagonalCross = 7,
};

class SimpleFillSymbol final : public FillSymbol {
public:
    FillStyle style = FillStyle::Solid;

    SymbolKind kind() const noexcept override { return SymbolKind::SimpleFill; }
    std::string className() const override { return "SimpleFillSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

// Fill layers drawn from the last (bottom) to the first (top).
class MultiLayerFillSymbol final : public FillSymbol {
public:
    std::vector<std::shared_ptr<FillSymbol>> layers;

    SymbolKind kind() const noexcept override { return SymbolKind::MultiLayerFill; }
    std::string className() const override { return "MultiLayerFillSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

class MarkerFillSymbol final : public FillSymbol {
public:
    std::shared_ptr<MarkerSymbol> marker;
    double xSeparation = 8.0;  // points
    double ySeparation = 8.0;  // points

    SymbolKind kind() const noexcept override { return SymbolKind::MarkerFill; }
    std::string className() const override { return "MarkerFillSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

class PictureFillSymbol final : public FillSymbol {
public:
    std::string picturePath;             // image file the picture came from
    std::vector<std::uint8_t> picture;   // encoded image bytes (PNG or BMP)
    double xScale = 1.0;
    double yScale = 1.0;

    SymbolKind kind() const noexcept override { return SymbolKind::PictureFill; }
    std::string className() const override { return "PictureFillSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

class LineFillSymbol final : public FillSymbol {
public:
    std::shared_ptr<LineSymbol> line;
    double angle = 45.0;      // degrees
    double separation = 4.0;  // points
    double offset = 0.0;      // points

    SymbolKind kind() const noexcept override { return SymbolKind::LineFill; }
    std::string className() const override { return "LineFillSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

// ---- text ------------------------------------------------------------------------------

enum class HorizontalAlignment : std::int32_t { Left = 0, Center = 1, Right = 2, Full = 3 };
enum class VerticalAlignment : std::int32_t { Top = 0, Center = 1, Baseline = 2, Bottom = 3 };

class TextSymbol final : public Symbol {
public:
    Font font;  // font.size is the symbol's size in points
    Color color{0, 0, 0};
    HorizontalAlignment horizontalAlignment = HorizontalAlignment::Center;
    VerticalAlignment verticalAlignment = VerticalAlignment::Center;
    double angle = 0.0;  // degrees
    std::string previewText;  // the sample a preview of the symbol shows

    double size() const noexcept { return font.size; }
    void setSize(double points) noexcept { font.size = points; }

    SymbolKind kind() const noexcept override { return SymbolKind::Text; }
    std::string className() const override { return "TextSymbol"; }
    std::shared_ptr<Symbol> clone() const override;
};

// ---- symbol arrays ---------------------------------------------------------------------

// An ordered list of symbols with value semantics. Copies share their storage until one of
// them changes (so a thousand charts made from one array hold one list), while the symbol
// objects themselves are always shared.
class SymbolArray {
public:
    SymbolArray() = default;
    SymbolArray(std::initializer_list<std::shared_ptr<Symbol>> symbols);

    int count() const noexcept { return items_ ? static_cast<int>(items_->size()) : 0; }
    // The symbol at 0-based index; throws HostError for an index outside the array.
    const std::shared_ptr<Symbol>& element(int index) const;
    void add(std::shared_ptr<Symbol> symbol);
    void insert(int index, std::shared_ptr<Symbol> symbol);
    void replace(int index, std::shared_ptr<Symbol> symbol);
    void remove(int index);
    void clear();
    // Two arrays share one list (no copy was made since one was taken from the other).
    bool sharesStorageWith(const SymbolArray& other) const noexcept {
        return items_ && items_ == other.items_;
    }

    friend bool operator==(const SymbolArray& a, const SymbolArray& b);

private:
    std::vector<std::shared_ptr<Symbol>>& mutableItems();
    void checkIndex(int index, int limit) const;

    std::shared_ptr<std::vector<std::shared_ptr<Symbol>>> items_;
};

// ---- chart leader ----------------------------------------------------------------------

// The background of a chart marker that draws a leader from the chart to an anchor point.
class LineCallout final : public HostObject {
public:
    Point anchorPoint;
    double leaderTolerance = 0.0;  // points: no leader when the chart is this close
    double gap = 0.0;              // points between the leader's end and the chart
    std::shared_ptr<LineSymbol> leaderLine;

    std::string className() const override { return "LineCallout"; }
    std::shared_ptr<LineCallout> clone() const;
};

// ---- bar charts ------------------------------------------------------------------------

// A vertical bar chart marker: one bar per value, bar k filled with symbol k.
class BarChartSymbol final : public MarkerSymbol {
public:
    // The flags first: they fill the padding behind the marker's colour.
    bool display3D = false;
    bool verticalBars = true;
    bool showAxes = false;
    SymbolArray symbols;        // fill symbols, one per value
    std::vector<double> values;
    double maxValue = 0.0;      // value drawn with the full marker size
    double thickness = 0.0;     // points, 3D depth at 45 degrees
    double barWidth = 6.0;      // points
    double barSpacing = 0.0;    // points
    std::shared_ptr<LineSymbol> axes;
    std::shared_ptr<LineCallout> background;  // leader callout, or nothing

    SymbolKind kind() const noexcept override { return SymbolKind::BarChart; }
    std::string className() const override { return "BarChartSymbol"; }
    // Copies the chart with its own copies of the fill symbols and the callout.
    std::shared_ptr<Symbol> clone() const override;
};

// cos 45° = sin 45°: a chart's 3D depth goes up and to the right at 45 degrees.
inline constexpr double kCos45 = std::numbers::sqrt2 / 2;

// Width of a row of n bars: n × width + (n − 1) × spacing; 0 for no bar. Units as given.
double barRowWidth(std::size_t n, double width, double spacing) noexcept;

// How a bar chart lies around its point, in points relative to that point (y up).
// The bar row is centred horizontally; the lower edge of the envelope is on the point;
// the 3D depth goes to the right and up. Bounds, placement, labels, zigzag marks and the
// painter all read this one layout.
struct BarChartLayout {
    struct Bar {
        double left = 0.0;
        double width = 0.0;
        double bottom = 0.0;
        double top = 0.0;
    };
    double rowWidth = 0.0;   // barRowWidth(n, barWidth, barSpacing)
    double depthX = 0.0;     // thickness × cos 45° when 3D is on
    double depthY = 0.0;     // thickness × sin 45° when 3D is on
    double height = 0.0;     // (max(0, values) − min(0, values)) / maxValue × size
    double zeroLine = 0.0;   // height of the zero line above the lower edge
    std::vector<Bar> bars;   // one per value, in order
    // Envelope of the whole chart (front face plus depth), relative to the point.
    Envelope envelope() const;
    // Every number of the layout is finite (a chart whose numbers overflow is not drawn).
    bool isFinite() const noexcept;
};

BarChartLayout barChartLayout(const BarChartSymbol& chart);
// barChartLayout(chart).envelope() without working out the bars (no allocation).
Envelope barChartEnvelope(const BarChartSymbol& chart);

std::ostream& operator<<(std::ostream& out, const Color& c);
std::ostream& operator<<(std::ostream& out, SymbolKind kind);

}  // namespace kartoplot::host
