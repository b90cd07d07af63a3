// Where a chart goes and what is drawn with it: the anchor point on the feature, the offset
// for each of the fourteen placements, the alignment of a recreated chart on its old chart,
// the leader, the value labels, the zigzag marks on bars beyond the range, and label texts.
// Geometry is in map units unless stated.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "host/elements.h"
#include "host/geometry.h"
#include "host/graphics.h"
#include "host/interaction.h"
#include "host/symbols.h"
#include "language/locale_numbers.h"

namespace kartoplot::engine {

inline constexpr int kPlacementCount = 14;
inline constexpr int kPlacementKeepOld = -1;     // recreate at the old chart's place
inline constexpr int kPlacementOverLayer = -2;   // recreate over another layer's charts
inline constexpr double kLeaderGap = 3.0;        // points between a leader and its chart

// The feature's label point for areas; otherwise the label point of the shape's envelope
// (a point feature's own point).
host::Point GetAnchorPoint(const host::Geometry& shape);

// Offset (dx, dy) of a chart with extent B from a feature marker with extent A for placement
// code 0..13 at distance d. Negative codes count as 0; 14 and above give (0, 0).
std::array<double, 2> CalcChartOffset(const host::Envelope& featureExtent,
                                      const host::Envelope& chartExtent, int code, double d);

// The zero-line start of a chart element: the lower-left X of the envelope, and its lower
// Y raised by the zero-line fraction of the element's attached "#Vmax#"/"#Vmin#" (read with
// letter case ignored; without attached data the lower-left corner). Always true.
bool GetX0Y0(const host::Element& element, const host::Envelope& envelope,
             std::array<double, 2>& xy);

// Gives the chart a line callout as background: anchor point, leader tolerance (points),
// gap (points) and a leader line of the given width (points) and colour, or the given leader
// symbol itself when one is passed. Reports "CreateLeader" on failure.
void CreateLeader(host::BarChartSymbol& chartSymbol, const host::Point& anchor, double width,
                  const host::Color& colour, double gap, double tolerance,
                  const std::shared_ptr<host::LineSymbol>& leaderSymbol);

// A new text element at (x, y) with the text symbol (a copy when its alignments differ from
// the requested ones), scaling with the map, added to the chart's group.
std::shared_ptr<host::TextElement> CreateTextLabel(const std::string& text,
                                                   host::GroupElement& group, double x, double y,
                                                   const std::shared_ptr<host::TextSymbol>& textSymbol,
                                                   host::HorizontalAlignment horizontal,
                                                   host::VerticalAlignment vertical);

// The points of a zigzag mark of height h and width w starting at (x, y); seven points when
// the mark is on the last bar of a 3D chart with depth ≠ 0 (map units).
std::vector<host::Point> zigZagPoints(double h, double w, double x, double y, bool lastBar3D,
                                      double depth);

// A new line element through zigZagPoints with the given line symbol, added to the chart's
// group. On failure shows "ZigZag error" (title "DrawZigZag") and returns nullptr.
std::shared_ptr<host::LineElement> DrawZigZag(double h, double w, double x, double y,
                                              host::GroupElement& group, bool lastBar3D,
                                              double depth,
                                              const std::shared_ptr<host::LineSymbol>& symbol,
                                              host::UserInteraction& interaction);

// Label text of a value with at most about maxChars characters: rounded to the decimals that
// fit, ".0" added to short whole numbers, and always "." as decimal separator.
std::string CutNumberString(double value, int maxChars,
                            const language::DecimalSeparators& separators);

// The ratio of a value within a chart's range: (v − vmin) / (vmax − vmin), 1.0 when equal.
double rangeRatio(double v, double vmin, double vmax);

// A chart's layout placed on the map (map units): the layout's points scaled by the map units
// of one point and moved to the chart's point. The labels and zigzag marks of the run read it.
struct BarGeometry {
    std::vector<host::BarChartLayout::Bar> bars;  // absolute left, width, bottom and top
    double depthX = 0.0;
    double depthY = 0.0;
    double zeroLine = 0.0;    // y of the zero line
    host::Envelope envelope;  // front face plus depth, as the chart's bounds
    // Left edge and width of bar i (0-based, below the number of bars).
    double barLeft(int i) const { return bars.at(static_cast<std::size_t>(i)).left; }
    double barWidth(int i) const { return bars.at(static_cast<std::size_t>(i)).width; }
};
BarGeometry barGeometry(host::BarChartLayout layout, const host::Point& at, double mapUnitsPerPoint);

// Where the value label of bar i goes: above, the middle of the bar's top edge moved back by
// the 3D depth (behind the lid); otherwise the middle of its lower end.
host::Point barLabelPoint(const BarGeometry& bars, std::size_t i, bool above);

// The start of bar i's zigzag mark: its left edge, 0.8 of the bar's length from the zero line.
host::Point zigZagStart(const BarGeometry& bars, std::size_t i);

}  // namespace kartoplot::engine
