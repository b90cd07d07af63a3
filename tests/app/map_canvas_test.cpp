#include "app/map_canvas.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/host.h"

namespace kartoplot::app {
namespace {

constexpr double kDpi = 96.0;

// The scale at which one pixel is `unitsPerPixel` map units.
double scaleFor(double unitsPerPixel, host::MapUnits units) {
    return unitsPerPixel * host::metresPerMapUnit(units) * kDpi / host::kMetresPerInch;
}

host::DisplayTransformation makeView(host::MapUnits units, double unitsPerPixel, host::Point center,
                                     int width, int height) {
    host::DisplayTransformation view;
    view.setUnits(units);
    view.setResolution(kDpi);
    view.setDeviceFrame(width, height);
    view.setScale(scaleFor(unitsPerPixel, units));
    view.setCenter(center);
    return view;
}

void expectNear(const host::Envelope& actual, const host::Envelope& expected, double tolerance) {
    EXPECT_NEAR(actual.xMin(), expected.xMin(), tolerance) << actual;
    EXPECT_NEAR(actual.yMin(), expected.yMin(), tolerance) << actual;
    EXPECT_NEAR(actual.xMax(), expected.xMax(), tolerance) << actual;
    EXPECT_NEAR(actual.yMax(), expected.yMax(), tolerance) << actual;
}

TEST(RubberBandToMap, GivesTheMapAreaBetweenAnyTwoCorners) {
    struct Case {
        const char* name;
        host::MapUnits units;
        double unitsPerPixel;
        QPoint a;
        QPoint b;
        host::Envelope expected;
    };
    // Centre (1000, 500) on a 200 × 100 pixel frame.
    const double deg = 0.01;
    const Case cases[] = {
        {"whole frame", host::MapUnits::Metres, 1, {0, 0}, {200, 100}, {900, 450, 1100, 550}},
        {"corners reversed", host::MapUnits::Metres, 1, {200, 100}, {0, 0}, {900, 450, 1100, 550}},
        {"other diagonal", host::MapUnits::Metres, 1, {150, 10}, {50, 60}, {950, 490, 1050, 540}},
        {"two metres a pixel", host::MapUnits::Metres, 2, {100, 50}, {120, 70}, {1000, 460, 1040, 500}},
        {"degrees", host::MapUnits::Degrees, deg, {0, 0}, {100, 100}, {999, 499.5, 1000, 500.5}},
        {"one pixel", host::MapUnits::Metres, 1, {50, 20}, {50, 20}, {950, 530, 950, 530}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto view = makeView(c.units, c.unitsPerPixel, {1000, 500}, 200, 100);
        expectNear(rubberBandToMap(view, c.a, c.b), c.expected, 1e-9);
    }
}

TEST(ZoomAbout, KeepsTheMapPointUnderTheDevicePoint) {
    struct Case {
        QPointF at;
        double factor;
    };
    const Case cases[] = {
        {{200, 150}, 2.0}, {{0, 0}, 1.25}, {{399, 299}, 0.5}, {{37.5, 260.25}, std::pow(1.25, -3)},
        {{120, 40}, 1000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.at.x() << "," << c.at.y() << " ×" << c.factor);
        auto view = makeView(host::MapUnits::Metres, 3, {-2000, 7000}, 400, 300);
        const double before = view.scale();
        const host::Point anchor = view.toMap({c.at.x(), c.at.y()});
        zoomAbout(view, c.at, c.factor);
        EXPECT_NEAR(view.scale(), before / c.factor, before * 1e-12);
        const host::Point now = view.toDevice(anchor);
        EXPECT_NEAR(now.x, c.at.x(), 1e-6);
        EXPECT_NEAR(now.y, c.at.y(), 1e-6);
    }
}

TEST(ZoomAbout, StopsAtTheScaleLimitsWithTheAnchorKept) {
    struct Case {
        double factor;
        double expectedScale;
    };
    const Case cases[] = {{1e12, kMinimumScale}, {1e-12, kMaximumScale}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factor);
        auto view = makeView(host::MapUnits::Metres, 1, {0, 0}, 400, 300);
        const host::Point anchor = view.toMap({100, 50});
        zoomAbout(view, QPointF(100, 50), c.factor);
        EXPECT_DOUBLE_EQ(view.scale(), c.expectedScale);
        EXPECT_NEAR(view.toDevice(anchor).x, 100, 1e-6);
        EXPECT_NEAR(view.toDevice(anchor).y, 50, 1e-6);
    }
}

TEST(ZoomAbout, IgnoresFactorsThatAreNotPositiveNumbers) {
    for (const double factor : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(factor);
        auto view = makeView(host::MapUnits::Metres, 1, {10, 20}, 400, 300);
        const double scale = view.scale();
        zoomAbout(view, QPointF(5, 5), factor);
        EXPECT_EQ(view.scale(), scale);
        EXPECT_EQ(view.center(), (host::Point{10, 20}));
    }
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }
};

bool isCyan(QRgb c) { return qRed(c) < 110 && qGreen(c) > 180 && qBlue(c) > 180; }

// A shown 400 × 300 pixel canvas at one metre a pixel, centred on (200, 150): the map point
// (x, y) is the device point (x, 300 − y). Four points lie under a square area layer that is
// on top of them, so the selection layer is the point layer below it.
class Canvas : public ::testing::Test {
protected:
    Canvas() {
        auto pointClass = std::make_shared<host::FeatureClass>("cities", host::GeometryType::Point);
        for (const host::Point p : {host::Point{50, 250}, host::Point{100, 200}, host::Point{300, 100},
                                    host::Point{350, 50}}) {
            pointClass->createFeature(p, {});
        }
        points = std::make_shared<host::FeatureLayer>("cities", pointClass);
        auto renderer = std::make_shared<host::SimpleRenderer>();
        auto marker = std::make_shared<host::SimpleMarkerSymbol>();
        marker->size = 4;
        renderer->symbol = marker;
        points->setRenderer(renderer);

        auto areaClass = std::make_shared<host::FeatureClass>("zones", host::GeometryType::Polygon);
        areaClass->createFeature(host::Polygon::fromEnvelope({60, 60, 140, 140}), {});
        areas = std::make_shared<host::FeatureLayer>("zones", areaClass);

        map().addLayer(points);
        map().addLayer(areas);
        canvas.resize(400, 300);
        canvas.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&canvas));
        setOneMetrePerPixel();
    }

    host::Map& map() { return *document->focusMap(); }
    host::DisplayTransformation& view() { return map().screenDisplay().transformation(); }

    void setOneMetrePerPixel() {
        view().setScale(scaleFor(1, host::MapUnits::Metres));
        view().setCenter({200, 150});
        map().refresh();
    }

    void drag(Qt::MouseButton button, QPoint from, QPoint to) {
        QTest::mousePress(&canvas, button, Qt::NoModifier, from);
        QTest::mouseMove(&canvas, (from + to) / 2);
        QTest::mouseMove(&canvas, to);
        QTest::mouseRelease(&canvas, button, Qt::NoModifier, to);
    }

    void wheel(QPoint at, int angle) {
        QWheelEvent event(QPointF(at), QPointF(canvas.mapToGlobal(at)), QPoint(), QPoint(0, angle),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&canvas, &event);
    }

    QImage picture() { return canvas.grab().toImage(); }

    std::shared_ptr<host::MapDocument> document = std::make_shared<host::MapDocument>();
    std::shared_ptr<host::FeatureLayer> points;
    std::shared_ptr<host::FeatureLayer> areas;
    MapCanvas canvas{document};
};

TEST_F(Canvas, GivesTheMapItsSizeAndTheScreenResolution) {
    EXPECT_EQ(view().deviceWidth(), 400);
    EXPECT_EQ(view().deviceHeight(), 300);
    EXPECT_DOUBLE_EQ(view().resolution(), kDpi);
    EXPECT_EQ(canvas.selectionLayer(), points);
}

TEST_F(Canvas, ResizingKeepsScaleAndCentre) {
    const double scale = view().scale();
    canvas.resize(600, 200);
    EXPECT_EQ(view().deviceWidth(), 600);
    EXPECT_EQ(view().deviceHeight(), 200);
    EXPECT_EQ(view().scale(), scale);
    EXPECT_EQ(view().center(), (host::Point{200, 150}));
}

TEST_F(Canvas, RectangleSelectsExactlyThePointsInside) {
    struct Case {
        const char* name;
        QPoint from;
        QPoint to;
        std::vector<std::int64_t> expected;
    };
    const Case cases[] = {
        {"top left two", {40, 40}, {150, 150}, {1, 2}},
        {"dragged backwards", {150, 150}, {40, 40}, {1, 2}},
        {"bottom right two", {290, 260}, {360, 190}, {3, 4}},
        {"no point inside", {150, 20}, {250, 120}, {}},
        {"everything", {1, 1}, {399, 299}, {1, 2, 3, 4}},  // QTest takes (0, 0) for the centre
    };
    canvas.setTool(MapCanvas::Tool::Select);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        points->setSelection({2, 3});
        int fired = 0;
        const host::Connection counting = points->selectionChanged().connect([&] { ++fired; });
        QSignalSpy canvasSignal(&canvas, &MapCanvas::selectionChanged);
        drag(Qt::LeftButton, c.from, c.to);
        EXPECT_EQ(points->selectionSet().ids(), c.expected);
        EXPECT_EQ(fired, 1);
        EXPECT_EQ(canvasSignal.count(), 1);
        EXPECT_EQ(areas->selectionSet().count(), 0);
    }
}

TEST_F(Canvas, SelectsInTheChosenLayer) {
    canvas.setTool(MapCanvas::Tool::Select);
    canvas.setSelectionLayer(areas);
    drag(Qt::LeftButton, {130, 130}, {180, 180});  // overlaps the area's corner at (140, 160)
    EXPECT_EQ(areas->selectionSet().ids(), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(points->selectionSet().count(), 0);
    // A layer taken out of the map no longer takes the selection.
    map().deleteLayer(*areas);
    EXPECT_EQ(canvas.selectionLayer(), points);
}

TEST_F(Canvas, ClickClearsTheSelection) {
    canvas.setTool(MapCanvas::Tool::Select);
    for (const QPoint release : {QPoint(200, 10), QPoint(202, 12)}) {  // still, and within tolerance
        SCOPED_TRACE(release.x());
        points->setSelection({1, 4});
        int fired = 0;
        const host::Connection counting = points->selectionChanged().connect([&] { ++fired; });
        QTest::mousePress(&canvas, Qt::LeftButton, Qt::NoModifier, {200, 10});
        QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, release);
        EXPECT_EQ(points->selectionSet().count(), 0);
        EXPECT_EQ(fired, 1);
    }
}

TEST_F(Canvas, DraggingPansWithoutSelecting) {
    struct Case {
        MapCanvas::Tool tool;
        Qt::MouseButton button;
    };
    for (const Case c : {Case{MapCanvas::Tool::Pan, Qt::LeftButton},
                         Case{MapCanvas::Tool::Select, Qt::MiddleButton}}) {
        SCOPED_TRACE(static_cast<int>(c.button));
        setOneMetrePerPixel();
        canvas.setTool(c.tool);
        points->setSelection({2});
        int fired = 0;
        const host::Connection counting = points->selectionChanged().connect([&] { ++fired; });
        const double scale = view().scale();
        const host::Point grabbed = view().toMap({100, 100});
        drag(c.button, {100, 100}, {150, 60});
        EXPECT_EQ(view().scale(), scale);
        EXPECT_NEAR(view().toDevice(grabbed).x, 150, 1e-9);
        EXPECT_NEAR(view().toDevice(grabbed).y, 60, 1e-9);
        EXPECT_EQ(fired, 0);
        EXPECT_EQ(points->selectionSet().ids(), (std::vector<std::int64_t>{2}));
    }
}

TEST_F(Canvas, WheelZoomsAboutTheCursor) {
    struct Case {
        int angle;
        double factor;
    };
    for (const Case c : {Case{120, 1.25}, Case{240, 1.5625}, Case{-120, 0.8}}) {
        SCOPED_TRACE(c.angle);
        setOneMetrePerPixel();
        QSignalSpy scaleSpy(&canvas, &MapCanvas::scaleChanged);
        const QPoint cursor(80, 220);
        const host::Point under = view().toMap({80, 220});
        const double before = view().scale();
        wheel(cursor, c.angle);
        EXPECT_NEAR(view().scale(), before / c.factor, before * 1e-12);
        EXPECT_NEAR(view().toDevice(under).x, 80, 1e-6);
        EXPECT_NEAR(view().toDevice(under).y, 220, 1e-6);
        ASSERT_EQ(scaleSpy.count(), 1);
        EXPECT_DOUBLE_EQ(scaleSpy.at(0).at(0).toDouble(), view().scale());
    }
}

TEST_F(Canvas, ZoomButtonsStepAboutTheCentre) {
    const double scale = view().scale();
    canvas.zoomIn();
    EXPECT_DOUBLE_EQ(view().scale(), scale / kZoomStepFactor);
    canvas.zoomOut();
    canvas.zoomOut();
    EXPECT_DOUBLE_EQ(view().scale(), scale * kZoomStepFactor);
    EXPECT_NEAR(view().center().x, 200, 1e-9);
    EXPECT_NEAR(view().center().y, 150, 1e-9);
}

TEST_F(Canvas, FullExtentShowsAllFeaturesWithAMargin) {
    QSignalSpy scaleSpy(&canvas, &MapCanvas::scaleChanged);
    canvas.zoomToFullExtent();
    // Data (50, 50)–(350, 250) plus 5 %: 330 × 220, so the width decides: 0.825 m a pixel.
    expectNear(view().visibleBounds(), {35, 26.25, 365, 273.75}, 1e-9);
    EXPECT_EQ(scaleSpy.count(), 1);
}

TEST(CanvasBeforeShow, ZoomsToTheFullExtentAgainForItsShownSize) {
    auto document = std::make_shared<host::MapDocument>();
    auto fc = std::make_shared<host::FeatureClass>("p", host::GeometryType::Point);
    fc->createFeature(host::Point{50, 50}, {});
    fc->createFeature(host::Point{350, 250}, {});
    document->focusMap()->addLayer(std::make_shared<host::FeatureLayer>("p", fc));
    MapCanvas canvas(document);
    canvas.zoomToFullExtent();  // at whatever size a hidden widget has
    canvas.resize(400, 300);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    expectNear(document->focusMap()->extent(), {35, 26.25, 365, 273.75}, 1e-9);
}

TEST_F(Canvas, RepaintsWhenTheMapIsRefreshed) {
    PaintCounter paints;
    canvas.installEventFilter(&paints);
    QCoreApplication::processEvents();
    picture();  // the map as it stands is drawn

    auto red = std::make_shared<host::SimpleFillSymbol>();
    red->color = host::Color{255, 0, 0};
    auto square = std::make_shared<host::PolygonElement>();
    square->symbol = red;
    square->setGeometry(host::Polygon::fromEnvelope({150, 100, 250, 200}));
    map().basicGraphicsLayer().addElement(square);
    EXPECT_NE(picture().pixel(200, 150), qRgb(255, 0, 0)) << "drawn before the map asked for it";

    paints.count = 0;
    map().refresh();
    EXPECT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }, 2000));
    EXPECT_EQ(picture().pixel(200, 150), qRgb(255, 0, 0));
}

TEST_F(Canvas, HighlightsTheSelectedPoints) {
    points->setSelection({2});
    const QImage image = picture();
    // Point 2 is the pixel (100, 100); a ring of 7 pixels goes round it. Point 3 has none.
    EXPECT_TRUE(isCyan(image.pixel(107, 100))) << std::hex << image.pixel(107, 100);
    EXPECT_TRUE(isCyan(image.pixel(100, 93)));
    EXPECT_FALSE(isCyan(image.pixel(307, 200)));
    EXPECT_FALSE(isCyan(image.pixel(100, 100)));
}

TEST_F(Canvas, DisconnectsFromTheMapWhenDestroyed) {
    const std::size_t refreshHandlers = map().refreshed().handlerCount();
    const std::size_t selectionHandlers = points->selectionChanged().handlerCount();
    {
        MapCanvas second(document);
        EXPECT_EQ(map().refreshed().handlerCount(), refreshHandlers + 1);
        EXPECT_EQ(points->selectionChanged().handlerCount(), selectionHandlers + 1);
    }
    EXPECT_EQ(map().refreshed().handlerCount(), refreshHandlers);
    EXPECT_EQ(points->selectionChanged().handlerCount(), selectionHandlers);
    map().refresh();
    points->clearSelection();
}

}  // namespace
}  // namespace kartoplot::app
