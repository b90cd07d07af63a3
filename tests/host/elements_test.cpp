#include "host/elements.h"

#include <gtest/gtest.h>

#include "command/error_handling.h"
#include "host/display.h"

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

TEST(ElementBounds, ChartIsCentredHorizontallyWithItsLowerEdgeOnThePoint) {
    const ScreenDisplay d = unitDisplay();
    ASSERT_NEAR(d.transformation().pointsToMapDistance(1), 1.0, 1e-12);
    const auto e = chartAt({100, 200}, {10, 5}, 30);
    const Envelope b = e->queryBounds(d);
    EXPECT_NEAR(b.xMin(), 100 - 5.5, 1e-9);
    EXPECT_NEAR(b.xMax(), 100 + 5.5, 1e-9);
    EXPECT_NEAR(b.yMin(), 200, 1e-9);
    EXPECT_NEAR(b.yMax(), 230, 1e-9);

    const auto negative = chartAt({0, 0}, {10, -5}, 30);
    EXPECT_NEAR(negative->queryBounds(d).yMax(), 45, 1e-9) << "height spans -5 to 10";
    EXPECT_NEAR(negative->queryBounds(d).yMin(), 0, 1e-9);
}

TEST(ElementBounds, ChartBoundsFollowTheReferenceScale) {
    ScreenDisplay d = unitDisplay();
    const auto e = chartAt({0, 0}, {10}, 30);
    const double h1 = e->queryBounds(d).height();
    d.transformation().setReferenceScale(d.transformation().scale() * 2);
    EXPECT_NEAR(e->queryBounds(d).height(), 2 * h1, 1e-9);
}

TEST(ElementBounds, LeaderAnchorCountsOnlyWhenTheChartStandsBeyondTheTolerance) {
    const ScreenDisplay d = unitDisplay();
    auto e = chartAt({0, 0}, {10}, 20);  // centre at (0, 10)
    auto chart = std::static_pointer_cast<BarChartSymbol>(e->symbol);
    chart->background = std::make_shared<LineCallout>();
    chart->background->leaderTolerance = 15;
    chart->background->anchorPoint = {0, -4};  // 14 points from the centre
    EXPECT_FALSE(leaderVisible(*e, d));
    EXPECT_NEAR(e->queryBounds(d).yMin(), 0, 1e-9);
    chart->background->anchorPoint = {0, -6};  // 16 points away
    EXPECT_TRUE(leaderVisible(*e, d));
    EXPECT_NEAR(e->queryBounds(d).yMin(), -6, 1e-9);
}

TEST(ElementBounds, FeatureMarkerIsASquareOfItsSize) {
    const ScreenDisplay d = unitDisplay();
    MarkerElement m;
    auto symbol = std::make_shared<SimpleMarkerSymbol>();
    symbol->size = 10;
    m.symbol = symbol;
    m.setGeometry(Point{50, 50});
    EXPECT_EQ(m.queryBounds(d), Envelope(45, 45, 55, 55));
}

TEST(ElementBounds, TextBoxFollowsBothAlignments) {
    const ScreenDisplay d = unitDisplay();  // estimate: 0.6 em wide, 0.8 up, 0.2 down
    TextElement t;
    t.text = "12.5";  // 4 characters at 10 pt: 24 wide, 10 high
    t.symbol = std::make_shared<TextSymbol>();
    t.symbol->setSize(10);
    t.setGeometry(Point{0, 0});
    struct Case {
        HorizontalAlignment h;
        VerticalAlignment v;
        Envelope expected;
    };
    const Case cases[] = {
        {HorizontalAlignment::Center, VerticalAlignment::Bottom, Envelope(-12, 0, 12, 10)},
        {HorizontalAlignment::Center, VerticalAlignment::Top, Envelope(-12, -10, 12, 0)},
        {HorizontalAlignment::Left, VerticalAlignment::Center, Envelope(0, -5, 24, 5)},
        {HorizontalAlignment::Right, VerticalAlignment::Baseline, Envelope(-24, -2, 0, 8)},
    };
    for (const Case& c : cases) {
        t.symbol->horizontalAlignment = c.h;
        t.symbol->verticalAlignment = c.v;
        const Envelope b = t.queryBounds(d);
        SCOPED_TRACE(::testing::Message() << b);
        EXPECT_NEAR(b.xMin(), c.expected.xMin(), 1e-9);
        EXPECT_NEAR(b.yMin(), c.expected.yMin(), 1e-9);
        EXPECT_NEAR(b.xMax(), c.expected.xMax(), 1e-9);
        EXPECT_NEAR(b.yMax(), c.expected.yMax(), 1e-9);
    }
}

TEST(GroupElement, MovesItsMembersAndRefusesElementsThatBelongElsewhere) {
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

    group->deleteElement(*marker);
    EXPECT_EQ(marker->parent(), nullptr);
    EXPECT_EQ(group->elementCount(), 1);
    EXPECT_THROW(group->element(1), HostError);
}

TEST(GroupElement, CloneCopiesMembersAndNamesButBelongsNowhere) {
    auto group = std::make_shared<GroupElement>();
    auto m = chartAt({1, 1}, {3}, 10);
    m->setName("Moscow");
    group->addElement(m);
    auto copy = std::static_pointer_cast<GroupElement>(group->clone());
    ASSERT_EQ(copy->elementCount(), 1);
    EXPECT_NE(copy->element(0), m);
    EXPECT_EQ(copy->element(0)->name(), "Moscow");
    EXPECT_EQ(copy->element(0)->parent(), copy.get());
    EXPECT_EQ(copy->container(), nullptr);
}

}  // namespace
}  // namespace kartoplot::host
