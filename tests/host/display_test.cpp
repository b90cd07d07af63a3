#include "host/display.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kartoplot::host {
namespace {

TEST(DisplayTransformation, PointsToMapDistanceUsesTheReferenceScaleWhenThereIsOne) {
    // Units, scale, reference scale; the map distance of 72 points (one inch).
    const std::tuple<MapUnits, double, double, double> cases[] = {
        {MapUnits::Metres, 100000, 0, 2540},        // one inch at 1:100 000
        {MapUnits::Metres, 100000, 50000, 1270},    // the reference scale wins
        {MapUnits::Metres, 100000, -1, 2540},       // a negative reference is none
        {MapUnits::Degrees, 100000, 0, 2540 / 111319.49},
        {MapUnits::Millimetres, 1, 0, 25.4},        // a page in millimetres
    };
    for (const auto& [units, scale, reference, expected] : cases) {
        SCOPED_TRACE(expected);
        DisplayTransformation t;
        t.setUnits(units);
        t.setScale(scale);
        t.setReferenceScale(reference);
        EXPECT_NEAR(t.pointsToMapDistance(72), expected, 1e-9 * expected);
        EXPECT_NEAR(t.mapDistanceToPoints(t.pointsToMapDistance(72)), 72, 1e-9);
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
    EXPECT_EQ(std::tuple(utf8Length("Москва"), utf8Length("São"), utf8Length("")),
              std::tuple(6u, 3u, 0u));
}

}  // namespace
}  // namespace kartoplot::host
