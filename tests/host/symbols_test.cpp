#include "host/symbols.h"

#include <gtest/gtest.h>

#include "errors/error_handling.h"

namespace kartoplot::host {
namespace {

std::shared_ptr<SimpleFillSymbol> fill(std::uint8_t red) {
    auto s = std::make_shared<SimpleFillSymbol>();
    s->color = Color{red, 0, 0};
    return s;
}

TEST(Color, PacksRgbAsTheHostDoes) {
    EXPECT_EQ(Color::fromRgb(0x00FF8040), (Color{0x40, 0x80, 0xFF}));
    EXPECT_EQ((Color{0x40, 0x80, 0xFF}).rgb(), 0x40 + 0x80 * 256 + 0xFF * 65536);
}

TEST(SymbolArray, CopiesShareTheListUntilOneChangesButAlwaysShareTheSymbols) {
    SymbolArray dialog{fill(1), fill(2)};
    SymbolArray chart = dialog;
    EXPECT_TRUE(chart.sharesStorageWith(dialog));

    dialog.replace(0, fill(9));  // the dialog changes its array after the chart was made
    EXPECT_FALSE(chart.sharesStorageWith(dialog));
    EXPECT_EQ(std::static_pointer_cast<FillSymbol>(chart.element(0))->color.red, 1);
    EXPECT_EQ(chart.element(1), dialog.element(1)) << "untouched members stay the same object";

    // Changing a symbol object is seen by every array that holds it.
    std::static_pointer_cast<FillSymbol>(dialog.element(1))->color.red = 77;
    EXPECT_EQ(std::static_pointer_cast<FillSymbol>(chart.element(1))->color.red, 77);
}

TEST(SymbolArray, IndexOutsideTheArrayIsAHostErrorAndChangesNothing) {
    SymbolArray a{fill(1)};
    EXPECT_THROW(a.element(1), HostError);
    EXPECT_THROW(a.element(-1), HostError);
    EXPECT_THROW(a.insert(3, fill(2)), HostError);
    EXPECT_THROW(a.remove(1), HostError);
    EXPECT_EQ(a.count(), 1);
    a.insert(1, fill(2));  // at the end is allowed
    a.remove(0);
    EXPECT_EQ(std::static_pointer_cast<FillSymbol>(a.element(0))->color.red, 2);
}

TEST(Symbols, CloneIsIndependentDownToOutlinesAndChartMembers) {
    auto outline = std::make_shared<SimpleLineSymbol>();
    auto f = fill(5);
    f->outline = outline;
    auto chart = std::make_shared<BarChartSymbol>();
    chart->symbols.add(f);
    chart->background = std::make_shared<LineCallout>();
    chart->background->leaderLine = std::make_shared<SimpleLineSymbol>();

    auto copy = std::static_pointer_cast<BarChartSymbol>(chart->clone());
    auto copiedFill = std::static_pointer_cast<SimpleFillSymbol>(copy->symbols.element(0));
    EXPECT_NE(copiedFill, f);
    EXPECT_NE(copiedFill->outline, outline);
    EXPECT_NE(copy->background, chart->background);
    EXPECT_NE(copy->background->leaderLine, chart->background->leaderLine);
    copiedFill->color.red = 200;
    EXPECT_EQ(f->color.red, 5);
}

TEST(BarChartLayout, BarsStandOnTheZeroLineAndNegativeBarsHangBelowIt) {
    BarChartSymbol chart;
    chart.values = {10, 0, -5};
    chart.maxValue = 10;
    chart.size = 20;  // points for a value of 10
    chart.barWidth = 4;
    chart.barSpacing = 1;
    const BarChartLayout layout = barChartLayout(chart);
    EXPECT_DOUBLE_EQ(layout.rowWidth, 3 * 4 + 2 * 1);
    EXPECT_DOUBLE_EQ(layout.height, 30);  // from -5 to 10
    EXPECT_DOUBLE_EQ(layout.zeroLine, 10);
    ASSERT_EQ(layout.bars.size(), 3u);
    EXPECT_DOUBLE_EQ(layout.bars[0].left, -7);
    EXPECT_DOUBLE_EQ(layout.bars[0].top, 30);
    EXPECT_DOUBLE_EQ(layout.bars[1].top - layout.bars[1].bottom, 0) << "value 0 has no height";
    EXPECT_DOUBLE_EQ(layout.bars[2].left, 3);
    EXPECT_DOUBLE_EQ(layout.bars[2].bottom, 0);
    EXPECT_DOUBLE_EQ(layout.bars[2].top, 10);
    EXPECT_EQ(layout.envelope(), Envelope(-7, 0, 7, 30));

    chart.display3D = true;
    chart.thickness = 2;
    const Envelope deep = barChartLayout(chart).envelope();
    EXPECT_DOUBLE_EQ(deep.xMin(), -7) << "the depth goes to the right only";
    EXPECT_NEAR(deep.xMax(), 7 + 2 * 0.70710678, 1e-7);
    EXPECT_NEAR(deep.yMax(), 30 + 2 * 0.70710678, 1e-7);
}

TEST(BarChartLayout, TheEnvelopeAloneAgreesWithTheWholeLayout) {
    const std::vector<std::vector<double>> valueSets = {{}, {10}, {10, 0, -5}, {-3, -8}, {0, 0}};
    for (const auto& values : valueSets) {
        for (const double maxValue : {10.0, -4.0, 0.0}) {
            for (const bool deep : {false, true}) {
                BarChartSymbol chart;
                chart.values = values;
                chart.maxValue = maxValue;
                chart.size = 20;
                chart.barSpacing = 1;
                chart.display3D = deep;
                chart.thickness = 3;
                SCOPED_TRACE(::testing::Message() << values.size() << " values, max " << maxValue
                                                  << (deep ? ", 3D" : ""));
                EXPECT_EQ(barChartEnvelope(chart), barChartLayout(chart).envelope());
            }
        }
    }
}

}  // namespace
}  // namespace kartoplot::host
