#include "host/elements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "errors/error_handling.h"
#include "host/display.h"
#include "host/graphics.h"

namespace kartoplot::host {
namespace {

// A display where one point is one map unit: 1 : 2834.6457 in metres.
ScreenDisplay unitDisplay() {
    ScreenDisplay d;
    d.transformation().setUnits(MapUnits::Metres);
    d.transformation().setScale(72 / 0.0254);
    return d;
}

std::shared_ptr<MarkerElement> chartAt(Point p, std::vector<double> values, double size) {
    auto chart = std::make_shared<BarChartSymbol>();
    chart->values = std::move(values);
    chart->maxValue = 10;
    chart->size = size;
    chart->barWidth = 5;
    chart->barSpacing = 1;
    auto e = std::make_shared<MarkerElement>();
    e->symbol = chart;
    e->setGeometry(p);
    return e;
}

// Whether the envelopes agree to 1e-9.
::testing::AssertionResult near(const Envelope& actual, const Envelope& expected) {
    const double d = std::max({std::abs(actual.xMin() - expected.xMin()),
                               std::abs(actual.yMin() - expected.yMin()),
                               std::abs(actual.xMax() - expected.xMax()),
                               std::abs(actual.yMax() - expected.yMax())});
    if (d <= 1e-9) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << actual << ", expected " << expected;
}

TEST(ElementBounds, ChartIsCentredHorizontallyWithItsLowerEdgeOnThePoint) {
    ScreenDisplay d = unitDisplay();
    ASSERT_NEAR(d.transformation().pointsToMapDistance(1), 1.0, 1e-12);
    EXPECT_TRUE(near(chartAt({100, 200}, {10, 5}, 30)->queryBounds(d), {94.5, 200, 105.5, 230}));
    // The height spans -5 to 10; a reference scale of twice the scale doubles every size.
    EXPECT_TRUE(near(chartAt({0, 0}, {10, -5}, 30)->queryBounds(d), {-5.5, 0, 5.5, 45}));
    d.transformation().setReferenceScale(d.transformation().scale() * 2);
    EXPECT_TRUE(near(chartAt({0, 0}, {10, -5}, 30)->queryBounds(d), {-11, 0, 11, 90}));
}

TEST(ElementBounds, LeaderAnchorCountsOnlyWhenTheChartStandsBeyondTheTolerance) {
    const ScreenDisplay d = unitDisplay();
    auto e = chartAt({0, 0}, {10}, 20);  // centre at (0, 10)
    auto chart = std::static_pointer_cast<BarChartSymbol>(e->symbol);
    chart->background = std::make_shared<LineCallout>();
    chart->background->leaderTolerance = 15;
    chart->background->anchorPoint = {0, -4};  // 14 points from the centre
    EXPECT_FALSE(leaderVisible(*e, d));
    EXPECT_TRUE(near(e->queryBounds(d), {-2.5, 0, 2.5, 20}));
    chart->background->anchorPoint = {0, -6};  // 16 points away
    EXPECT_TRUE(leaderVisible(*e, d));
    EXPECT_TRUE(near(e->queryBounds(d), {-2.5, -6, 2.5, 20}));
}

TEST(ElementBounds, MarkerIsASquareOfItsSizeAndTextFollowsBothAlignments) {
    const ScreenDisplay d = unitDisplay();
    MarkerElement m;
    auto symbol = std::make_shared<SimpleMarkerSymbol>();
    symbol->size = 10;
    m.symbol = symbol;
    m.setGeometry(Point{50, 50});
    EXPECT_EQ(m.queryBounds(d), Envelope(45, 45, 55, 55));
    // Text estimate: 0.6 em wide, 0.8 up, 0.2 down.
    TextElement t;
    t.text = "12.5";  // 4 characters at 10 pt: 24 wide, 10 high
    t.symbol = std::make_shared<TextSymbol>();
    t.symbol->setSize(10);
    t.setGeometry(Point{0, 0});
    using H = HorizontalAlignment;
    using V = VerticalAlignment;
    const std::tuple<H, V, Envelope> cases[] = {
        {H::Center, V::Bottom, Envelope(-12, 0, 12, 10)},
        {H::Center, V::Top, Envelope(-12, -10, 12, 0)},
        {H::Left, V::Center, Envelope(0, -5, 24, 5)},
        {H::Right, V::Baseline, Envelope(-24, -2, 0, 8)},
    };
    for (const auto& [h, v, expected] : cases) {
        t.symbol->horizontalAlignment = h;
        t.symbol->verticalAlignment = v;
        EXPECT_TRUE(near(t.queryBounds(d), expected));
    }
}

TEST(GroupElement, MovesItsMembersRefusesElementsThatBelongElsewhereAndClonesWhole) {
    const ScreenDisplay d = unitDisplay();
    auto group = std::make_shared<GroupElement>();
    auto marker = chartAt({0, 0}, {10}, 10);
    auto line = std::make_shared<LineElement>();
    line->setGeometry(Polyline::fromPoints({{0, 0}, {10, 10}}));
    group->addElement(marker);
    group->addElement(line);
    EXPECT_EQ(marker->parent(), group.get());
    EXPECT_THROW(group->addElement(marker), HostError);
    EXPECT_THROW(group->addElement(group), HostError);
    EXPECT_EQ(group->elementCount(), 2);

    moveElement(*group, 5, 7);
    EXPECT_EQ(*marker->geometry().asPoint(), (Point{5, 7}));
    EXPECT_EQ(line->geometry().envelope(), Envelope(5, 7, 15, 17));
    EXPECT_EQ(group->geometry().envelope(), Envelope(5, 7, 15, 17));
    Envelope expected = marker->queryBounds(d);
    expected.expand(line->queryBounds(d));
    EXPECT_EQ(group->queryBounds(d), expected);

    // A clone copies the members and their names, and belongs nowhere.
    GraphicsLayer layer("L");
    layer.addElement(group);
    marker->setName("Moscow");
    const auto copy = std::static_pointer_cast<GroupElement>(group->clone());
    ASSERT_EQ(copy->elementCount(), 2);
    EXPECT_NE(copy->element(0), marker);
    EXPECT_EQ(copy->element(0)->name(), "Moscow");
    EXPECT_EQ(copy->element(0)->parent(), copy.get());
    EXPECT_EQ(copy->container(), nullptr);

    group->deleteElement(*marker);
    EXPECT_EQ(marker->parent(), nullptr);
    EXPECT_EQ(group->elementCount(), 1);
    EXPECT_THROW(group->element(1), HostError);
}

// Name and custom property share one block that exists only while one of them is set, and the
// one tagged back-pointer says which group or container holds an element.
TEST(Element, NameAndPropertyAreSetApartAndTheHolderFollowsEveryMove) {
    struct Step {
        const char* name;
        Variant property;
    };
    const Step steps[] = {{"Moscow", Variant()}, {"", Variant(3.0)}, {"Kazan", Variant(3.0)},
                          {"", Variant()},       {"", Variant("x")}, {"Tver", Variant()}};
    MarkerElement e;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        e.setName(step.name);
        e.setCustomProperty(step.property);
        EXPECT_EQ(e.name(), step.name);
        EXPECT_EQ(e.customProperty(), step.property);
        const auto copy = e.clone();
        EXPECT_EQ(copy->name(), step.name);
        EXPECT_EQ(copy->customProperty(), step.property);
    }
    // A text's flag sits right behind its geometry: no change of geometry may touch it.
    TextElement text;
    text.scaleText = false;
    for (const Geometry& g : {Geometry(Polyline::fromPoints({{0, 0}, {1, 1}})), Geometry(Point{1, 2}),
                              Geometry(Envelope(0, 0, 1, 1)), Geometry()}) {
        text.setGeometry(g);
        moveElement(text, 1, 1);
        EXPECT_FALSE(text.scaleText) << g;
        EXPECT_FALSE(std::static_pointer_cast<TextElement>(text.clone())->scaleText) << g;
    }

    std::string roomy = "12";
    roomy.reserve(40);
    e.setName(std::move(roomy));
    EXPECT_EQ(e.name(), "12");

    GraphicsLayer layer("L");
    auto group = std::make_shared<GroupElement>();
    auto member = chartAt({0, 0}, {1}, 10);
    group->addElement(member);
    layer.addElement(group);
    EXPECT_EQ(std::tuple(member->parent(), member->container()), std::tuple(group.get(), nullptr));
    EXPECT_EQ(std::tuple(group->parent(), group->container()),
              std::tuple(nullptr, static_cast<const GraphicsContainer*>(&layer)));
    member->setName("Omsk");
    EXPECT_EQ(layer.findElementByName("Omsk"), group) << "a member's rename reaches the layer";
    EXPECT_THROW(layer.addElement(member), HostError);
    layer.deleteElement(*group);
    EXPECT_EQ(group->container(), nullptr);
    EXPECT_EQ(layer.findElementByName("Omsk"), nullptr);
    group.reset();
    EXPECT_EQ(member->parent(), nullptr) << "a destroyed group lets go of its members";
    layer.addElement(member);
    EXPECT_EQ(member->container(), &layer);
}

}  // namespace
}  // namespace kartoplot::host
