// The steps of the chart run for one feature: read and clamp its values, make its chart
// symbol, place the chart, and assemble the group with leader, labels and zigzag marks. Each
// step throws ChartStepError (a HostError with the reason in words) when it fails; geometry is
// in map units unless stated.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/chart_style.h"
#include "engine/placement.h"
#include "errors/error_handling.h"
#include "host/elements.h"
#include "host/features.h"
#include "host/graphics.h"
#include "host/interaction.h"
#include "language/locale_numbers.h"

namespace kartoplot::engine {

// A failed step: the host's error, and what was wrong in words (empty: the description says it).
class ChartStepError : public HostError {
public:
    ChartStepError(std::int32_t number, std::string source, std::string description, std::string reason)
        : HostError(number, std::move(source), std::move(description)), reason_(std::move(reason)) {}
    const std::string& reason() const noexcept { return reason_; }

private:
    std::string reason_;
};

// The extreme values of one chart from its raw values (nulls replaced): vmax and vmin of the
// chart's range. Both lie on the range [MinValue, MaxValue] by magnitude, or are 0.
struct ChartRange {
    double vmax = 0.0;
    double vmin = 0.0;
};
ChartRange chartRange(double rmax, double rmin, double minValue, double maxValue);

// The bar value of a raw value r: |r| clamped to [minValue, maxValue] with the sign of r
// (of minValue when r is 0).
double clampedBarValue(double r, double minValue, double maxValue);

// What one chart shows, read from its feature.
struct ChartValues {
    std::vector<double> bars;          // clamped bar values; a null is the style's null value
    std::vector<double> raw;           // the values as read (nulls replaced): labels and marks
    std::vector<host::Variant> data;   // the chart's data set: layer name, #Vmax#, #Vmin#, fields
    ChartRange range;
    // The layer name and the null text as values whose text every chart's data set shares.
    host::Variant layerText;
    host::Variant nullText;
};

// Reads field fieldIndex[k] (the position of style.fields[k], −1 when the layer has none) of
// the feature into `values`, whose bar and raw lists are reused from chart to chart. A missing
// field or a value that is not a finite number throws ChartStepError.
void readChartValues(const host::Feature& feature, const std::vector<int>& fieldIndex,
                     const ChartStyle& style, const std::string& layerName,
                     const language::DecimalSeparators& separators, ChartValues& values);

// The chart symbol of the values with the style's fill symbols and sizes; throws
// ChartStepError when it cannot be made (MakeBarChartSymbol has reported why).
std::shared_ptr<host::BarChartSymbol> makeChartSymbol(const ChartValues& values, const ChartStyle& style);

// Where a chart marker standing on `anchor` goes: aligned with its zero line on the zero line
// of oldChart when one is given, else offset from the feature marker's bounds by the style's
// placement and distance.
host::Point placeChart(const host::MarkerElement& chart, const host::Point& anchor,
                       const host::Envelope& featureBounds, const ChartStyle& style,
                       const ChartRange& range, const host::Element* oldChart,
                       const host::ScreenDisplay& display);

// The symbols a run's charts share, copied once per run (later changes in the dialog do not
// reach charts already on the map).
struct RunSymbols {
    std::shared_ptr<host::LineSymbol> leader;     // nothing: a plain line of the leader style
    std::shared_ptr<host::LineSymbol> zigZag;
    std::shared_ptr<host::TextSymbol> labelAbove;  // centred, bottom-aligned; nothing: no labels
    std::shared_ptr<host::TextSymbol> labelBelow;  // centred, top-aligned
};
RunSymbols runSymbols(const ChartStyle& style);

// A new group holding the placed chart marker first, room kept for its labels and marks;
// `bars` is the chart's layout on the map (barGeometry). Throws ChartStepError when the
// chart's place or bounds are not finite numbers.
std::shared_ptr<host::GroupElement> startChartGroup(const std::shared_ptr<host::MarkerElement>& chart,
                                                    const BarGeometry& bars, const ChartValues& values,
                                                    const ChartStyle& style,
                                                    const language::DecimalSeparators& separators);

// Adds the value labels and the zigzag marks to the group, on the bars of the chart's layout;
// thickness is the 3D depth in map units.
void addLabelsAndMarks(host::GroupElement& group, const BarGeometry& bars, const ChartValues& values,
                       const ChartStyle& style, const RunSymbols& symbols, double thickness,
                       host::UserInteraction& interaction, const language::DecimalSeparators& separators);

}  // namespace kartoplot::engine
