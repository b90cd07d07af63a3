#include "engine/chart_symbols.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "errors/error_handling.h"
#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

ChartParams params() {
    ChartParams p;
    p.Spacing = 1;
    p.Width = 6;
    p.Thickness = 4;
    p.Size = 36;
    return p;
}

TEST(MakeBarChartSymbol, CarriesValuesTheDialogsOwnSymbolsAndTheParameters) {
    const host::SymbolArray fills = testing::threeFills();
    const auto chart = MakeBarChartSymbol({10, 0, -5}, fills, 10, params());
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->values, (std::vector<double>{10, 0, -5}));
    ASSERT_EQ(chart->symbols.count(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(chart->symbols.element(k), fills.element(k)) << "the same object, not a copy";
    }
    // Max value, vertical bars, axes, width, spacing, size, 3D, thickness (copied with 3D off).
    EXPECT_EQ(std::tuple(chart->maxValue, chart->verticalBars, chart->showAxes, chart->barWidth,
                         chart->barSpacing, chart->size, chart->display3D, chart->thickness),
              std::tuple(10.0, true, false, 6.0, 1.0, 36.0, false, 4.0));
    EXPECT_FALSE(chart->background);
}

using MakeBarChartSymbolFailure = testing::EngineFixture;

TEST_F(MakeBarChartSymbolFailure, MismatchedOrWrongSymbolsAreReportedAndGiveNothing) {
    EXPECT_FALSE(MakeBarChartSymbol({1, 2, 3, 4}, testing::threeFills(), 10, params()));
    host::SymbolArray withLine = testing::threeFills();
    withLine.add(std::make_shared<host::SimpleLineSymbol>());
    EXPECT_FALSE(MakeBarChartSymbol({1, 2, 3, 4}, withLine, 10, params()));
    ASSERT_EQ(log->records().size(), 2u);
    for (const auto& r : log->records()) {
        EXPECT_NE(r.find("\tMakeBarChartSymbol Kartoplot_v9_2 Line : "), std::string::npos) << r;
    }
}

TEST(ChartGeometry, RowHalfDiagonalZeroLineAndDepth) {
    EXPECT_EQ(std::tuple(rowWidth(3, 6, 1), rowWidth(1, 6, 1), rowWidth(0, 6, 1)),
              std::tuple(20.0, 6.0, 0.0));
    // √((0.75 × 40)² + (2 × (7 + 1))²) = √(900 + 256) = 34
    EXPECT_DOUBLE_EQ(halfDiagonal(40, 4, 7, 1), 34);
    EXPECT_DOUBLE_EQ(halfDiagonal(40, 3, 7, 1), std::sqrt(900.0 + 144.0));
    EXPECT_EQ(std::tuple(zeroLineFraction(0, 10), zeroLineFraction(-3, 10), zeroLineFraction(0, 0),
                         zeroLineFraction(-5, -5)),
              std::tuple(0.0, 3.0 / 13.0, 1.0, 1.0));
    EXPECT_EQ(depthOffsets(false, 4).dx, 0);
    const DepthOffsets on = depthOffsets(true, 4);
    EXPECT_NEAR(on.dx, 2.8284271247, 1e-9);
    EXPECT_EQ(on.dx, on.dy);
}

}  // namespace
}  // namespace kartoplot::engine
