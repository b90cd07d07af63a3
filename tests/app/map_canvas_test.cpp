#include "app/map_canvas.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "host/host.h"

namespace kartoplot::app {
namespace {

constexpr double kDpi = 96.0;

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

void expectNear(const host::Envelope& actual, const host::Envelope& expected) {
    EXPECT_NEAR(actual.xMin(), expected.xMin(), 1e-9) << actual;
    EXPECT_NEAR(actual.yMin(), expected.yMin(), 1e-9) << actual;
    EXPECT_NEAR(actual.xMax(), expected.xMax(), 1e-9) << actual;
    EXPECT_NEAR(actual.yMax(), expected.yMax(), 1e-9) << actual;
}

TEST(ZoomAbout, KeepsTheMapPointUnderTheDevicePointWithinTheScaleLimits) {
    const double s = scaleFor(3, host::MapUnits::Metres);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto check = [&](double x, double y, double factor, double expectedScale) {
        SCOPED_TRACE(factor);
        auto view = makeView(host::MapUnits::Metres, 3, {-2000, 7000}, 400, 300);
        const host::Point anchor = view.toMap({x, y});
        zoomAbout(view, QPointF(x, y), factor);
        EXPECT_NEAR(view.scale(), expectedScale, s * 1e-12);
        EXPECT_NEAR(view.toDevice(anchor).x, x, 1e-6);
        EXPECT_NEAR(view.toDevice(anchor).y, y, 1e-6);
    };
    check(37.5, 260.25, 0.512, s / 0.512);
    check(120, 40, 1e12, kMinimumScale);
    check(100, 50, 1e-12, kMaximumScale);
    for (const double ignored : {0.0, -2.0, nan, inf}) {
        check(5, 5, ignored, s);
    }
}

// A shown 400 × 300 canvas at one metre a pixel: map (x, y) is device (x, 300 − y). The area
// layer lies on top, so the point layer below it takes the selection.
class Canvas : public ::testing::Test {
protected:
    Canvas() {
        auto pointClass = std::make_shared<host::FeatureClass>("cities", host::GeometryType::Point);
        for (const host::Point p : {host::Point{50, 250}, host::Point{100, 200},
                                    host::Point{300, 100}, host::Point{350, 50}}) {
            pointClass->createFeature(p, {});
        }
        points = std::make_shared<host::FeatureLayer>("cities", pointClass);
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

    QImage picture() { return canvas.grab().toImage(); }

    std::shared_ptr<host::MapDocument> document = std::make_shared<host::MapDocument>();
    std::shared_ptr<host::FeatureLayer> points;
    std::shared_ptr<host::FeatureLayer> areas;
    MapCanvas canvas{document};
};

TEST_F(Canvas, GivesTheMapItsSizeAndResolutionAndKeepsScaleAndCentreOnResize) {
    EXPECT_EQ(view().deviceWidth(), 400);
    EXPECT_DOUBLE_EQ(view().resolution(), kDpi);
    const double scale = view().scale();
    canvas.resize(600, 200);
    EXPECT_EQ(view().deviceWidth(), 600);
    EXPECT_EQ(view().deviceHeight(), 200);
    EXPECT_EQ(view().scale(), scale);
    EXPECT_EQ(view().center(), (host::Point{200, 150}));
}

TEST_F(Canvas, RectangleSelectsExactlyThePointsInsideAndAClickClears) {
    const struct {
        QPoint from, to;
        std::vector<std::int64_t> expected;
    } cases[] = {{{40, 40}, {150, 150}, {1, 2}}, {{150, 150}, {40, 40}, {1, 2}},
                 {{150, 20}, {250, 120}, {}},    {{1, 1}, {399, 299}, {1, 2, 3, 4}},
                 {{200, 10}, {200, 10}, {}},     {{200, 10}, {202, 12}, {}}};  // clicks clear
    canvas.setTool(MapCanvas::Tool::Select);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
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

TEST_F(Canvas, SelectsInTheChosenLayerWhileItIsInTheMap) {
    canvas.setTool(MapCanvas::Tool::Select);
    canvas.setSelectionLayer(areas);
    drag(Qt::LeftButton, {130, 130}, {180, 180});  // overlaps the area's corner at (140, 160)
    EXPECT_EQ(areas->selectionSet().ids(), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(points->selectionSet().count(), 0);
    map().deleteLayer(*areas);
    EXPECT_EQ(canvas.selectionLayer(), points);
}

// Graphic elements on the canvas of one metre a pixel: a square on the map's own layer, a chart
// group and a square over the first one on a chart layer, and one on a hidden layer.
class CanvasElements : public Canvas {
protected:
    CanvasElements() {
        host::CompositeGraphicsLayer& basic = map().basicGraphicsLayer();
        basic.addElement(square(40, 40, 90, 90));
        const auto charts = basic.addLayer("cities_charts");
        group = std::make_shared<host::GroupElement>();
        group->addElement(square(200, 200, 240, 240));
        group->addElement(square(250, 200, 260, 210));
        charts->addElement(group);
        charts->addElement(square(60, 60, 80, 80));
        const auto hidden = basic.addLayer("hidden");
        hidden->addElement(square(300, 20, 340, 40));
        hidden->setVisible(false);
        under = basic.elements().at(0);
        over = charts->elements().at(1);
    }

    static std::shared_ptr<host::Element> square(double x0, double y0, double x1, double y1) {
        auto element = std::make_shared<host::PolygonElement>();
        element->setGeometry(host::Polygon::fromEnvelope({x0, y0, x1, y1}));
        return element;
    }

    std::vector<std::shared_ptr<host::Element>> selected() {
        std::vector<std::shared_ptr<host::Element>> out;
        for (int i = 0; i < map().elementSelectionCount(); ++i) {
            out.push_back(map().selectedElement(i));
        }
        return out;
    }

    std::shared_ptr<host::GroupElement> group;
    std::shared_ptr<host::Element> under;
    std::shared_ptr<host::Element> over;
};

TEST_F(CanvasElements, PicksVisibleTopLevelElementsInDrawingOrderAndTheTopmostOnAClick) {
    using Elements = std::vector<std::shared_ptr<host::Element>>;
    const Elements all{under, group, over};
    const struct {
        host::Envelope area;
        bool topmostOnly;
        Elements expected;
    } cases[] = {{{0, 0, 400, 300}, false, all},
                 {{0, 0, 400, 300}, true, {over}},
                 {{70, 70, 71, 71}, false, {under, over}},
                 {{85, 85, 86, 86}, true, {under}},
                 {{255, 205, 256, 206}, false, {group}},  // a member picks its whole group
                 {{310, 25, 320, 35}, false, {}},         // hidden layer
                 {host::Envelope(), false, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(elementsMeeting(map(), c.area, c.topmostOnly), c.expected);
    }
}

TEST_F(CanvasElements, ElementToolSelectsTogglesWithShiftAndClearsOnEmptyClicks) {
    canvas.setTool(MapCanvas::Tool::SelectElements);
    QSignalSpy changed(&canvas, &MapCanvas::selectionChanged);
    drag(Qt::LeftButton, {190, 110}, {270, 50});  // map y 190..250: the chart group only
    EXPECT_EQ(selected(), (std::vector<std::shared_ptr<host::Element>>{group}));
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(points->selectionSet().count(), 0);  // features are left alone
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::ShiftModifier, {70, 230});  // the upper square
    EXPECT_EQ(selected(), (std::vector<std::shared_ptr<host::Element>>{group, over}));
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::ShiftModifier, {70, 230});
    EXPECT_EQ(selected(), (std::vector<std::shared_ptr<host::Element>>{group}));
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, {85, 215});  // only the lower one
    EXPECT_EQ(selected(), (std::vector<std::shared_ptr<host::Element>>{under}));
    QTest::mouseClick(&canvas, Qt::LeftButton, Qt::NoModifier, {150, 20});
    EXPECT_TRUE(selected().empty());
}

// Panning keeps the scale and moves the grabbed point to where the mouse lets go; the wheel
// zooms about the cursor (1.25 a notch), the buttons about the centre. None selects.
TEST_F(Canvas, PanAndZoomKeepTheGrabbedMapPointUnderTheCursor) {
    using Tool = MapCanvas::Tool;
    const auto pan = [&](Tool tool, Qt::MouseButton button) {
        return [&, tool, button] {
            canvas.setTool(tool);
            drag(button, {100, 100}, {150, 60});
        };
    };
    const auto wheel = [&](int angle) {
        return [&, angle] {
            const QPoint at(80, 220);
            QWheelEvent event(QPointF(at), QPointF(canvas.mapToGlobal(at)), QPoint(),
                              QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(&canvas, &event);
        };
    };
    const struct {
        QPoint grab, lands;
        double factor;
        std::function<void()> act;
    } cases[] = {{{100, 100}, {150, 60}, 1, pan(Tool::Pan, Qt::LeftButton)},
                 {{100, 100}, {150, 60}, 1, pan(Tool::Select, Qt::MiddleButton)},
                 {{80, 220}, {80, 220}, 1.5625, wheel(240)},
                 {{80, 220}, {80, 220}, 0.8, wheel(-120)},
                 {{200, 150}, {200, 150}, kZoomStepFactor, [&] { canvas.zoomIn(); }},
                 {{200, 150}, {200, 150}, 1 / kZoomStepFactor, [&] { canvas.zoomOut(); }}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        setOneMetrePerPixel();
        points->setSelection({2});
        int fired = 0;
        const host::Connection counting = points->selectionChanged().connect([&] { ++fired; });
        QSignalSpy scaleSpy(&canvas, &MapCanvas::scaleChanged);
        const host::Point grabbed = view().toMap({double(c.grab.x()), double(c.grab.y())});
        const double before = view().scale();
        c.act();
        EXPECT_NEAR(view().scale(), before / c.factor, before * 1e-12);
        EXPECT_NEAR(view().toDevice(grabbed).x, c.lands.x(), 1e-6);
        EXPECT_NEAR(view().toDevice(grabbed).y, c.lands.y(), 1e-6);
        ASSERT_EQ(scaleSpy.count(), c.factor == 1 ? 0 : 1);
        if (!scaleSpy.isEmpty()) {
            EXPECT_DOUBLE_EQ(scaleSpy.at(0).at(0).toDouble(), view().scale());
        }
        EXPECT_EQ(fired, 0);
        EXPECT_EQ(points->selectionSet().ids(), (std::vector<std::int64_t>{2}));
    }
}

// The canvas shows its last picture until the map asks for a new one.
TEST_F(Canvas, RepaintsWhenTheMapIsRefreshed) {
    QCoreApplication::processEvents();
    picture();
    auto red = std::make_shared<host::SimpleFillSymbol>();
    red->color = host::Color{255, 0, 0};
    auto square = std::make_shared<host::PolygonElement>();
    square->symbol = red;
    square->setGeometry(host::Polygon::fromEnvelope({150, 100, 250, 200}));
    map().basicGraphicsLayer().addElement(square);
    EXPECT_NE(picture().pixel(200, 150), qRgb(255, 0, 0)) << "drawn before the map asked for it";
    map().refresh();
    EXPECT_TRUE(QTest::qWaitFor([&] { return picture().pixel(200, 150) == qRgb(255, 0, 0); }, 2000));
}

TEST_F(Canvas, HighlightsTheSelectedPoints) {
    points->setSelection({2});
    const QImage image = picture();
    const auto isCyan = [](QRgb c) { return qRed(c) < 110 && qGreen(c) > 180 && qBlue(c) > 180; };
    // Point 2 is the pixel (100, 100) with a ring of 7 pixels round it; point 3 has none.
    EXPECT_TRUE(isCyan(image.pixel(107, 100))) << std::hex << image.pixel(107, 100);
    EXPECT_TRUE(isCyan(image.pixel(100, 93)));
    EXPECT_FALSE(isCyan(image.pixel(307, 200)));
    EXPECT_FALSE(isCyan(image.pixel(100, 100)));
}

// Data (50, 50)–(350, 250) plus 5 %: 330 × 220 in 400 × 300 pixels, so the width decides.
TEST_F(Canvas, FullExtentFitsTheDataWithAMarginAlsoForASecondCanvasShownLater) {
    QSignalSpy scaleSpy(&canvas, &MapCanvas::scaleChanged);
    canvas.zoomToFullExtent();
    expectNear(view().visibleBounds(), {35, 26.25, 365, 273.75});
    EXPECT_EQ(scaleSpy.count(), 1);
    const std::size_t refreshHandlers = map().refreshed().handlerCount();
    const std::size_t selectionHandlers = points->selectionChanged().handlerCount();
    {
        MapCanvas hidden(document);
        EXPECT_EQ(map().refreshed().handlerCount(), refreshHandlers + 1);
        EXPECT_EQ(points->selectionChanged().handlerCount(), selectionHandlers + 1);
        hidden.zoomToFullExtent();  // for its size while hidden, and again when shown
        hidden.resize(400, 300);
        hidden.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&hidden));
        expectNear(map().extent(), {35, 26.25, 365, 273.75});
    }
    EXPECT_EQ(map().refreshed().handlerCount(), refreshHandlers);
    EXPECT_EQ(points->selectionChanged().handlerCount(), selectionHandlers);
}

}  // namespace
}  // namespace kartoplot::app
