#include "host/geometry.h"

#include <gtest/gtest.h>

namespace kartoplot::host {
namespace {

bool insideRing(const std::vector<Point>& ring, const Point& p) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Point& a = ring[i];
        const Point& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

TEST(Envelope, EmptyUntilExpandedAndHasNoSize) {
    Envelope e;
    EXPECT_TRUE(e.isEmpty());
    EXPECT_EQ(e.width(), 0.0);
    EXPECT_FALSE(e.intersects(Envelope(0, 0, 1, 1)));
    e.expand(Point{2, 3});
    EXPECT_FALSE(e.isEmpty());
    e.expand(Point{-1, 5});
    EXPECT_EQ(e, Envelope(-1, 3, 2, 5));
    EXPECT_EQ(Envelope(4, 4, 0, 0), Envelope(0, 0, 4, 4)) << "corners are normalised";
}

TEST(Geometry, LabelPointOfAnAreaLiesInsideEvenForConcaveShapesAndHoles) {
    // A "U": the centre of its envelope lies in the notch, outside the area.
    Polygon u;
    u.rings.push_back({{0, 0}, {0, 10}, {3, 10}, {3, 3}, {7, 3}, {7, 10}, {10, 10}, {10, 0}});
    // A square with a square hole around the centre.
    Polygon holed;
    holed.rings.push_back({{0, 0}, {0, 10}, {10, 10}, {10, 0}});
    holed.rings.push_back({{2, 2}, {2, 8}, {8, 8}, {8, 2}});
    for (const Polygon& area : {u, holed}) {
        const Point p = Geometry(area).labelPoint();
        EXPECT_TRUE(insideRing(area.rings[0], p)) << p;
        if (area.rings.size() > 1) {
            EXPECT_FALSE(insideRing(area.rings[1], p)) << p;
        }
    }
}

TEST(Geometry, LabelPointOfPointsAndLinesAndMoveOfEveryKind) {
    EXPECT_EQ(Geometry(Point{3, 4}).labelPoint(), (Point{3, 4}));
    const Geometry line(Polyline::fromPoints({{0, 0}, {4, 2}}));
    EXPECT_EQ(line.labelPoint(), (Point{2, 1}));
    EXPECT_EQ(Geometry().labelPoint(), (Point{0, 0}));

    for (Geometry g : {Geometry(Point{1, 1}), line, Geometry(Polygon::fromEnvelope({0, 0, 2, 2})),
                       Geometry(Envelope(0, 0, 2, 2))}) {
        const Envelope before = g.envelope();
        g.move(10, -5);
        const Envelope after = g.envelope();
        EXPECT_DOUBLE_EQ(after.xMin(), before.xMin() + 10) << g;
        EXPECT_DOUBLE_EQ(after.yMax(), before.yMax() - 5) << g;
        EXPECT_DOUBLE_EQ(after.width(), before.width()) << g;
    }
}

// Lines, areas and envelopes are kept apart from the Geometry itself: copies must not share
// them, assignment must work between every two kinds, and a moved-from geometry stays usable.
TEST(Geometry, CopiesOfEveryKindAreDeepAndAssignableAcrossKinds) {
    const std::vector<Geometry> kinds = {Geometry(), Geometry(Point{1, 2}),
                                         Geometry(Polyline::fromPoints({{0, 0}, {4, 2}})),
                                         Geometry(Polygon::fromEnvelope({0, 0, 2, 3})),
                                         Geometry(Envelope(1, 1, 5, 6))};
    for (const Geometry& from : kinds) {
        for (const Geometry& to : kinds) {
            SCOPED_TRACE(::testing::Message() << from << " -> " << to);
            Geometry target = to;
            target = from;
            EXPECT_EQ(target, from);
            EXPECT_EQ(target.type(), from.type());
            target.move(1, 1);
            EXPECT_EQ(target == from, from.isEmpty()) << "moving the copy left the original alone";
        }
        Geometry source = from;
        const Geometry moved = std::move(source);
        EXPECT_EQ(moved, from);
        // The moved-from geometry is queried on purpose: it is either unchanged or empty.
        EXPECT_TRUE(source == from || (source.isEmpty() && source.envelope().isEmpty()));  // NOLINT
        source.move(1, 1);
        EXPECT_EQ(source.labelPoint() == Point{}, source.isEmpty());
        source = Geometry(Point{7, 8});
        EXPECT_EQ(*source.asPoint(), (Point{7, 8})) << "a moved-from geometry takes a new value";
        Geometry self = from;
        const Geometry& alias = self;
        self = alias;
        EXPECT_EQ(self, from);
    }
    EXPECT_NE(Geometry(Envelope(0, 0, 1, 1)), Geometry(Polygon::fromEnvelope({0, 0, 1, 1})));
}

}  // namespace
}  // namespace kartoplot::host
