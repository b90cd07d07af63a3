#include "host/display.h"

#include <gtest/gtest.h>

namespace kartoplot::host {
namespace {

TEST(DisplayTransformation, PointsToMapDistanceUsesTheReferenceScaleWhenThereIsOne) {
    struct Case {
        MapUnits units;
        double scale;
        double reference;
        double points;
        double expected;
    };
    const Case cases[] = {
        {MapUnits::Metres, 100000, 0, 72, 2540},        // one inch at 1:100 000
        {MapUnits::Metres, 100000, 50000, 72, 1270},    // the reference scale wins
        {MapUnits::Metres, 100000, -1, 72, 2540},       // a negative reference is none
        {MapUnits::Degrees, 100000, 0, 72, 2540 / 111319.49},
        {MapUnits::Millimetres, 1, 0, 72, 25.4},        // a page in millimetres
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        DisplayTransformation t;
        t.setUnits(c.units);
        t.setScale(c.scale);
        t.setReferenceScale(c.reference);
        EXPECT_NEAR(t.pointsToMapDistance(c.points), c.expected, 1e-9 * c.expected);
        EXPECT_NEAR(t.mapDistanceToPoints(t.pointsToMapDistance(c.points)), c.points, 1e-9);
    }
}

TEST(DisplayTransformation, VisibleBoundsFitTheDeviceAndDevicePointsRoundTrip) {
    DisplayTransformation t;
    t.setDeviceFrame(960, 480);
    t.setVisibleBounds(Envelope(0, 0, 1000, 1000));  // taller than the frame's shape
    const Envelope shown = t.visibleBounds();
    EXPECT_NEAR(shown.height(), 1000, 1e-6);
    EXPECT_NEAR(shown.width(), 2000, 1e-6);
    EXPECT_NEAR(shown.center().x, 500, 1e-9);
    EXPECT_NEAR(shown.center().y, 500, 1e-9);
    // 1000 m over 480 px at 96 dpi (5 inches): 1 : 7874.0157...
    EXPECT_NEAR(t.scale(), 1000 / (5 * 0.0254), 1e-6);

    const Point corner = t.toDevice(Point{shown.xMin(), shown.yMax()});
    EXPECT_NEAR(corner.x, 0, 1e-9);
    EXPECT_NEAR(corner.y, 0, 1e-9);
    const Point back = t.toMap(t.toDevice(Point{123, 456}));
    EXPECT_NEAR(back.x, 123, 1e-9);
    EXPECT_NEAR(back.y, 456, 1e-9);
}

TEST(TextMetrics, EstimateCountsCharactersNotBytes) {
    EXPECT_EQ(utf8Length("Москва"), 6u);
    EXPECT_EQ(utf8Length("São"), 3u);
    EXPECT_EQ(utf8Length(""), 0u);
}

}  // namespace
}  // namespace kartoplot::host
