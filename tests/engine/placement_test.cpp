#include "engine/placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "errors/error_handling.h"
#include "engine/element_data.h"
#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

const language::DecimalSeparators kPoint = language::DecimalSeparators::fromLocaleDecimal(".");
const language::DecimalSeparators kComma = language::DecimalSeparators::fromLocaleDecimal(",");

TEST(CalcChartOffset, FourteenPlacementsAroundA10By10MarkerFor20By30Chart) {
    const host::Envelope a(0, 0, 10, 10);
    const host::Envelope b(0, 0, 20, 30);
    const double d = 5;
    const double c45 = std::sqrt(0.5);
    const double theta = std::atan(20.0 / 30.0);
    const double side = (c45 * 10 + 20) / 2 + c45 * 5;
    const double slantX = 15 + std::cos(theta) * 5;
    const double slantY = 5 + std::sin(theta) * 5;
    const double low = -30 - c45 * 10;
    // Indexed by code 0 … 14.
    const double dx[] = {0,   20,    slantX,  side, 0,    0,      -slantX, -side,
                         -20, -side, -slantX, 0,    side, slantX, 0};
    const double dy[] = {0,        0, slantY, c45 * 10,     10,  0,   slantY,
                         c45 * 10, 0, low,    -30 - slantY, -40, low, -30 - slantY,
                         0};
    for (int code = 0; code <= 14; ++code) {
        SCOPED_TRACE(code);
        const auto offset = CalcChartOffset(a, b, code, d);
        EXPECT_NEAR(offset[0], dx[code], 1e-9);
        EXPECT_NEAR(offset[1], dy[code], 1e-9);
    }
    EXPECT_EQ(CalcChartOffset(a, b, 99, d), (std::array<double, 2>{0, 0})) << "unknown code";
    EXPECT_EQ(CalcChartOffset(a, b, -1, d), (std::array<double, 2>{0, 0})) << "unknown code";
    const auto flat = CalcChartOffset(a, host::Envelope(0, 0, 20, 0), 2, 4);
    EXPECT_NEAR(flat[0], 15, 1e-9);  // a flat chart: θ = 90°, all of d goes up
    EXPECT_NEAR(flat[1], 5 + 4, 1e-9);
}

TEST(GetAnchorPoint, AreasUseTheirLabelPointOthersTheirEnvelopeCentre) {
    host::Polygon u;  // the centre of its envelope lies in the notch, outside the area
    u.rings.push_back({{0, 0}, {0, 10}, {3, 10}, {3, 3}, {7, 3}, {7, 10}, {10, 10}, {10, 0}});
    EXPECT_EQ(GetAnchorPoint(u), host::Geometry(u).labelPoint());
    EXPECT_EQ(GetAnchorPoint(host::Point{3, 4}), (host::Point{3, 4}));
    EXPECT_EQ(GetAnchorPoint(host::Polyline::fromPoints({{0, 0}, {2, 4}})), (host::Point{1, 2}));
}

using Placing = testing::EngineFixture;

TEST_F(Placing, GetX0Y0ZeroLineFollowsTheAttachedRangeOrTheLowerLeftCorner) {
    const host::Envelope env(10, 20, 30, 60);  // 40 high
    host::MarkerElement element;
    std::array<double, 2> xy{};
    EXPECT_TRUE(GetX0Y0(element, env, xy));
    EXPECT_EQ(xy, (std::array<double, 2>{10, 20})) << "no data: lower-left corner";

    // All positive, half way up, keys of another case, equal ends (the upper edge).
    const std::tuple<const char*, double, double, double> cases[] = {
        {"#Vmax#", 10, 0, 20}, {"#Vmax#", 10, -10, 40}, {"#VMAX#", 6, -2, 30},
        {"#Vmax#", 0, 0, 60}};
    for (const auto& [vmaxKey, vmax, vmin, y0] : cases) {
        SCOPED_TRACE(y0);
        auto names = std::make_shared<const std::vector<std::string>>(
            std::vector<std::string>{"LayerName", vmaxKey, "#vmin#"});
        SetElementData(element, names,
                       {host::Variant("L"), host::Variant(vmax), host::Variant(vmin)});
        GetX0Y0(element, env, xy);
        EXPECT_EQ(xy[0], 10);
        EXPECT_NEAR(xy[1], y0, 1e-12);
    }

    SetElementData(element,
                   std::make_shared<const std::vector<std::string>>(
                       std::vector<std::string>{"#Vmax#", "#Vmin#"}),
                   {host::Variant("ten"), host::Variant(0.0)});
    EXPECT_TRUE(GetX0Y0(element, env, xy)) << "an unreadable range gives the corner";
    EXPECT_EQ(xy, (std::array<double, 2>{10, 20}));
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_NE(log->records()[0].find("\tGetX0Y0 Kartoplot_v9_2 Line : 1\r\n"), std::string::npos);
}

TEST(CutNumberString, RoundsToTheCharactersThatFitInEitherLocale) {
    const std::tuple<double, int, const char*> cases[] = {
        {1234.5678, 6, "1234.6"}, {0.01234, 4, "0.01"}, {12, 4, "12.0"}, {12, 3, "12"},
        {2.25, 3, "2.2"},         {-3, 3, "-3"},        {-3, 4, "-3.0"}, {0, 3, "0.0"},
        {123456, 3, "123456"},    {0.5, 1, "0"}};
    for (const auto* sep : {&kPoint, &kComma}) {
        for (const auto& [value, chars, text] : cases) {
            SCOPED_TRACE(::testing::Message() << value << " in " << chars << " with " << *sep);
            EXPECT_EQ(CutNumberString(value, chars, *sep), text);
        }
    }
}

TEST_F(Placing, ZigZagHasSixPointsOrSevenOnTheLastBarOfA3DChartAndItsOwnMessageOnFailure) {
    const std::vector<host::Point> expected = {{100, 50}, {101, 50}, {102, 48},
                                               {106, 52}, {107, 50}, {108, 50}};
    EXPECT_EQ(zigZagPoints(4, 8, 100, 50, false, 3), expected);
    EXPECT_EQ(zigZagPoints(4, 8, 100, 50, true, 0), expected) << "no depth, no seventh point";
    const auto seven = zigZagPoints(4, 8, 100, 50, true, 2);
    ASSERT_EQ(seven.size(), 7u);
    EXPECT_NEAR(seven[6].x, 108 + std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(seven[6].y, 50 + std::sqrt(2.0), 1e-12);

    host::GroupElement group;
    auto symbol = std::make_shared<host::SimpleLineSymbol>();
    auto line = DrawZigZag(4, 8, 100, 50, group, false, 0, symbol, *ui);
    ASSERT_TRUE(line);
    EXPECT_EQ(group.element(0), line);
    EXPECT_EQ(line->symbol, symbol);
    EXPECT_EQ(line->geometry().asPolyline()->paths.at(0), expected);

    EXPECT_FALSE(DrawZigZag(std::nan(""), 8, 100, 50, group, false, 0, symbol, *ui));
    EXPECT_EQ(group.elementCount(), 1) << "a failure adds nothing";
    ASSERT_EQ(ui->messages.size(), 1u);
    EXPECT_EQ(std::tie(ui->messages[0].text, ui->messages[0].title, ui->messages[0].icon),
              std::tuple("ZigZag error", "DrawZigZag", host::MessageIcon::Exclamation));
    EXPECT_TRUE(log->records().empty()) << "reported by message box, not to the log";
}

TEST(CreateLeader, CalloutCarriesAnchorGapToleranceAndTheDialogsSymbol) {
    host::BarChartSymbol chart;
    auto dialogLeader = std::make_shared<host::SimpleLineSymbol>();
    CreateLeader(chart, {1, 2}, 0.5, host::Color{255, 0, 0}, kLeaderGap, 34, dialogLeader);
    ASSERT_TRUE(chart.background);
    const host::LineCallout& callout = *chart.background;
    EXPECT_EQ(std::tuple(callout.anchorPoint, callout.gap, callout.leaderTolerance),
              std::tuple(host::Point{1, 2}, 3.0, 34.0));
    EXPECT_EQ(callout.leaderLine, dialogLeader);

    host::BarChartSymbol plain;
    CreateLeader(plain, {0, 0}, 1.5, host::Color{0, 128, 0}, kLeaderGap, 10, nullptr);
    ASSERT_TRUE(plain.background && plain.background->leaderLine);
    EXPECT_EQ(plain.background->leaderLine->width, 1.5);
    EXPECT_EQ(plain.background->leaderLine->color, (host::Color{0, 128, 0}));
}

TEST(CreateTextLabel, SharesTheSymbolWhenAlignedAndCopiesItOtherwise) {
    host::GroupElement group;
    auto symbol = std::make_shared<host::TextSymbol>();
    symbol->horizontalAlignment = host::HorizontalAlignment::Center;
    symbol->verticalAlignment = host::VerticalAlignment::Bottom;
    auto same = CreateTextLabel("12.0", group, 1, 2, symbol, host::HorizontalAlignment::Center,
                                host::VerticalAlignment::Bottom);
    auto other = CreateTextLabel("-3.0", group, 1, 0, symbol, host::HorizontalAlignment::Center,
                                 host::VerticalAlignment::Top);
    EXPECT_EQ(same->symbol, symbol);
    EXPECT_NE(other->symbol, symbol);
    EXPECT_EQ(other->symbol->verticalAlignment, host::VerticalAlignment::Top);
    EXPECT_EQ(symbol->verticalAlignment, host::VerticalAlignment::Bottom) << "dialog symbol kept";
    EXPECT_TRUE(same->scaleText);
    EXPECT_EQ(*same->geometry().asPoint(), (host::Point{1, 2}));
    EXPECT_EQ(group.elementCount(), 2);
}

TEST(BarGeometry, LabelsAndMarksSitOnTheLayoutsBars) {
    host::BarChartSymbol chart;
    chart.values = {10, -5, 4};
    chart.maxValue = 10;
    chart.size = 20;
    chart.barWidth = 6;
    chart.barSpacing = 1;
    chart.display3D = true;
    chart.thickness = 3 / host::kCos45;  // a depth of 3 to the right and up
    const BarGeometry g = barGeometry(host::barChartLayout(chart), {10, 100}, 1);
    EXPECT_EQ(g.barWidth(0), 6);
    EXPECT_EQ(g.barLeft(0), 0);
    EXPECT_EQ(g.barLeft(2), 14);
    EXPECT_NEAR(g.zeroLine, 110, 1e-9);
    EXPECT_TRUE(testing::hasBox(g.envelope, 0, 100, 23, 33));
    const std::tuple<std::size_t, bool, double, double> labels[] = {
        {0, true, 0 + 3 + 3, 130 + 3},  // behind the lid of the top edge
        {1, false, 7 + 3, 100},         // below the negative bar's end
        {2, true, 14 + 3 + 3, 118 + 3},
    };
    for (const auto& [i, above, x, y] : labels) {
        SCOPED_TRACE(i);
        const host::Point p = barLabelPoint(g, i, above);
        EXPECT_NEAR(p.x, x, 1e-9);
        EXPECT_NEAR(p.y, y, 1e-9);
    }
    EXPECT_NEAR(zigZagStart(g, 0).y, 110 + 0.8 * 20, 1e-9);
    EXPECT_NEAR(zigZagStart(g, 1).y, 110 - 0.8 * 10, 1e-9) << "downwards on a negative bar";
    EXPECT_EQ(zigZagStart(g, 1).x, 7);
    EXPECT_EQ(std::tuple(rangeRatio(5, -5, 15), rangeRatio(5, 0, 0)), std::tuple(0.5, 1.0));
}

}  // namespace
}  // namespace kartoplot::engine
