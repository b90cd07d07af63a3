#include "engine/chart_symbols.h"

#include <cmath>

#include "errors/error_handling.h"

namespace kartoplot::engine {

namespace {
constexpr const char* kEngineModule = "Kartoplot_v9_2";
constexpr double kHalfHeightShare = 0.75;
}  // namespace

std::shared_ptr<host::BarChartSymbol> MakeBarChartSymbol(const std::vector<double>& values,
                                                         const host::SymbolArray& symbolArray,
                                                         double maxValue,
                                                         const ChartParams& params) {
    ErrorTrap trap("MakeBarChartSymbol", kEngineModule);
    std::shared_ptr<host::BarChartSymbol> chart;
    trap.run([&] {
        auto made = std::make_shared<host::BarChartSymbol>();
        made->verticalBars = params.VerticalBars;
        made->showAxes = params.ShowAxes;
        made->barSpacing = params.Spacing;
        made->barWidth = params.Width;
        trap.at(1);
        for (int k = 0; k < symbolArray.count(); ++k) {
            const auto& symbol = symbolArray.element(k);
            if (!symbol || !symbol->isFill()) {
                throw HostError(errnum::kTypeMismatch, "BarChartSymbol",
                                "Chart symbol " + std::to_string(k) + " is not a fill symbol");
            }
        }
        // The chart holds the array's own symbol objects; copies of the array share one list.
        made->symbols = symbolArray;
        made->maxValue = maxValue;
        trap.at(2);
        if (values.size() != static_cast<std::size_t>(symbolArray.count())) {
            throw HostError(errnum::kSubscriptRange, "BarChartSymbol",
                            "The chart has " + std::to_string(symbolArray.count()) +
                                " fill symbols for " + std::to_string(values.size()) + " values");
        }
        made->values = values;
        made->display3D = params.Display3D;
        made->thickness = params.Thickness;
        made->size = params.Size;
        chart = std::move(made);
    });
    return chart;
}

double rowWidth(int n, double width, double spacing) {
    return host::barRowWidth(n > 0 ? static_cast<std::size_t>(n) : 0, width, spacing);
}

double halfDiagonal(double size, int n, double width, double spacing) {
    const double halfHeight = kHalfHeightShare * size;
    const double halfRow = (n / 2.0) * (width + spacing);
    return std::sqrt(halfHeight * halfHeight + halfRow * halfRow);
}

double zeroLineFraction(double vmin, double vmax) {
    if (vmin == vmax) {
        return 1.0;
    }
    return -vmin / (vmax - vmin);
}

DepthOffsets depthOffsets(bool display3D, double thickness) {
    if (!display3D) {
        return {};
    }
    return {thickness * host::kCos45, thickness * host::kCos45};
}

}  // namespace kartoplot::engine
