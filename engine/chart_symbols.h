// Chart symbols: the bar chart marker built for each feature, and the geometry the
// placement and label code derive from it. All sizes in points unless stated.
#pragma once

#include <memory>
#include <vector>

#include "host/symbols.h"

namespace kartoplot::engine {

// The chart parameters the run reads from the dialog before each symbol is made.
struct ChartParams {
    bool ShowAxes = false;
    double Spacing = 0.0;      // gap between neighbouring bars
    bool VerticalBars = true;
    double Width = 0.0;        // width of one bar
    bool Display3D = false;
    double Thickness = 0.0;    // 3D depth
    double Size = 0.0;         // marker size: drawn height of a bar of maxValue
};

// A new bar chart symbol: vertical bars and axes from params, bar spacing and width, the
// fill symbols of symbolArray (the same objects, in order), maxValue, the values in order,
// 3D display and thickness, and the marker size. Returns nullptr after reporting
// "MakeBarChartSymbol" when the values and the fill symbols differ in number or a fill
// symbol is missing.
std::shared_ptr<host::BarChartSymbol> MakeBarChartSymbol(const std::vector<double>& values,
                                                         const host::SymbolArray& symbolArray,
                                                         double maxValue,
                                                         const ChartParams& params);

// Width of a row of n bars: n × width + (n − 1) × spacing (0 for no bar).
double rowWidth(int n, double width, double spacing);

// Half-diagonal of a chart, the leader tolerance:
// √((0.75 × size)² + ((n / 2) × (width + spacing))²).
double halfDiagonal(double size, int n, double width, double spacing);

// Height of the zero line above a chart's lower edge, as a fraction of the chart's height:
// −vmin / (vmax − vmin), and 1.0 when vmin = vmax.
double zeroLineFraction(double vmin, double vmax);

// The 3D depth of a chart drawn at 45 degrees: (thickness × cos 45°, thickness × sin 45°)
// when display3D, else (0, 0). Units as thickness.
struct DepthOffsets {
    double dx = 0.0;
    double dy = 0.0;
};
DepthOffsets depthOffsets(bool display3D, double thickness);

}  // namespace kartoplot::engine
