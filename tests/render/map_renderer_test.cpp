#include "render/map_renderer.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/host.h"
#include "render/symbol_painter.h"
#include "render/text_metrics.h"

namespace kartoplot::render {
namespace {

// A 200 × 200 pixel view at 72 dpi where one map unit is one pixel and one point is one
// pixel: the map point (x, y) is the pixel (x, 200 − y).
class MapPicture : public ::testing::Test {
protected:
    MapPicture() {
        host::DisplayTransformation& t = map.screenDisplay().transformation();
        t.setUnits(host::MapUnits::Metres);
        t.setResolution(72);
        t.setDeviceFrame(200, 200);
        t.setScale(72 / 0.0254);  // one pixel = one metre at 72 dpi
        t.setCenter({100, 100});
        charts = map.basicGraphicsLayer().addLayer("Cities_charts");
    }

    QImage draw() {
        QImage image(200, 200, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        RenderOptions options;
        options.antialiasing = false;
        drawMap(painter, map, map.screenDisplay().transformation(), options);
        return image;
    }

    static std::shared_ptr<host::SimpleFillSymbol> fill(QRgb rgb) {
        auto f = std::make_shared<host::SimpleFillSymbol>();
        f->color = host::Color{static_cast<std::uint8_t>(qRed(rgb)), static_cast<std::uint8_t>(qGreen(rgb)),
                               static_cast<std::uint8_t>(qBlue(rgb)), false};
        return f;
    }

    std::shared_ptr<host::BarChartSymbol> chart(std::vector<double> values) {
        auto c = std::make_shared<host::BarChartSymbol>();
        c->symbols = host::SymbolArray{fill(qRgb(255, 0, 0)), fill(qRgb(0, 0, 255)), fill(qRgb(0, 160, 0))};
        c->values = std::move(values);
        c->maxValue = 10;
        c->size = 40;       // 40 px for a value of 10
        c->barWidth = 10;
        c->barSpacing = 0;
        return c;
    }

    std::shared_ptr<host::MarkerElement> place(std::shared_ptr<host::BarChartSymbol> symbol, host::Point at) {
        auto e = std::make_shared<host::MarkerElement>();
        e->symbol = std::move(symbol);
        e->setGeometry(at);
        charts->addElement(e);
        return e;
    }

    static bool near(QRgb a, QRgb b, int tolerance = 40) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) <= tolerance;
    }

    host::Map map;
    std::shared_ptr<host::GraphicsLayer> charts;
};

// Numbers that overflow or are not numbers never reach QPainter: the drawing goes on and what
// is sound is still drawn.
TEST_F(MapPicture, NonFiniteAndHugeNumbersAreDrawnSafely) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double kNaN = std::nan("");
    auto fc = std::make_shared<host::FeatureClass>("odd", host::GeometryType::Point);
    for (const host::Point p : {host::Point{kNaN, 10}, host::Point{kInf, -kInf}, host::Point{9e307, 1e308}}) {
        fc->createFeature(p, {});
    }
    auto points = std::make_shared<host::FeatureLayer>("odd", fc);
    auto renderer = std::make_shared<host::SimpleRenderer>();
    renderer->symbol = std::make_shared<host::SimpleMarkerSymbol>();
    points->setRenderer(renderer);
    map.addLayer(points);
    auto lines = std::make_shared<host::FeatureClass>("lines", host::GeometryType::Polyline);
    lines->createFeature(host::Polyline{{{{0, 0}, {kNaN, 5}, {1e308, -1e308}}}}, {});
    auto lineLayer = std::make_shared<host::FeatureLayer>("lines", lines);
    auto lineRenderer = std::make_shared<host::SimpleRenderer>();
    lineRenderer->symbol = std::make_shared<host::SimpleLineSymbol>();
    lineLayer->setRenderer(lineRenderer);
    map.addLayer(lineLayer);

    place(chart({kNaN, 5, 1}), {20, 20});
    place(chart({1e308, -1e308, 1}), {40, 40});
    auto wide = chart({1, 2, 3});
    wide->maxValue = 1e-308;  // a value per pixel that overflows
    place(wide, {60, 60});
    auto led = chart({10, 5, 2.5});
    led->background = std::make_shared<host::LineCallout>();
    led->background->anchorPoint = host::Point{kNaN, kInf};
    led->background->leaderLine = std::make_shared<host::SimpleLineSymbol>();
    place(led, {150, 150});
    place(chart({10, 5, 2.5}), {100, 100});

    const QImage image = draw();
    EXPECT_TRUE(near(image.pixel(90, 80), qRgb(255, 0, 0))) << "the sound chart is drawn";
}

TEST_F(MapPicture, BarsStandSideBySideInTheirOwnColours) {
    place(chart({10, 5, 2.5}), {100, 100});  // row 30 px wide centred on x = 100
    const QImage image = draw();
    struct Probe {
        int x, y;
        QRgb colour;
    };
    const Probe probes[] = {
        {90, 99, qRgb(255, 0, 0)},   {90, 62, qRgb(255, 0, 0)},    // bar 0: 40 px tall
        {90, 57, qRgb(255, 255, 255)},                              // above bar 0
        {100, 99, qRgb(0, 0, 255)},  {100, 82, qRgb(0, 0, 255)},   // bar 1: 20 px
        {100, 77, qRgb(255, 255, 255)},
        {110, 99, qRgb(0, 160, 0)},  {110, 91, qRgb(0, 160, 0)},   // bar 2: 10 px
        {110, 87, qRgb(255, 255, 255)},
        {80, 101, qRgb(255, 255, 255)},                             // nothing below the point
        {83, 80, qRgb(255, 255, 255)},                              // nothing left of the row
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
        EXPECT_TRUE(near(image.pixel(p.x, p.y), p.colour)) << std::hex << image.pixel(p.x, p.y);
    }
}

// A layer drawn by a chart renderer gives each feature the chart a marker element of the same
// symbol would give at its point: centred on it, standing on it, sized by its own values.
TEST_F(MapPicture, ChartRendererDrawsEachFeatureLikeAChartMarkerOnItsPoint) {
    auto fc = std::make_shared<host::FeatureClass>("Cities", host::GeometryType::Point);
    for (const char* name : {"a", "b", "c"}) {
        fc->addField({name, "", host::FieldType::Double, 0});
    }
    const std::pair<host::Point, std::vector<double>> features[] = {{{50, 60}, {10, 5, 2.5}},
                                                                    {{150, 120}, {2.5, 10, 5}}};
    for (const auto& [at, values] : features) {
        fc->createFeature(at, {host::Variant(values[0]), host::Variant(values[1]), host::Variant(values[2])});
    }
    auto renderer = std::make_shared<host::ChartRenderer>();
    renderer->chartSymbol = chart({});
    renderer->fieldNames = {"a", "b", "c"};
    auto layer = std::make_shared<host::FeatureLayer>("Cities", fc);
    layer->setRenderer(renderer);
    map.addLayer(layer);
    const QImage byRenderer = draw();

    map.deleteLayer(*layer);
    for (const auto& [at, values] : features) {
        place(chart(values), at);
    }
    const QImage byMarkers = draw();
    int differing = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            differing += near(byRenderer.pixel(x, y), byMarkers.pixel(x, y)) ? 0 : 1;
        }
    }
    EXPECT_LE(differing, 10) << "pixels where the layer and the markers differ";
    // The first chart: a 30 px row from x = 35 to 65 on the row y = 140, bars 40, 20, 10 px.
    const struct {
        int x, y;
        QRgb colour;
    } probes[] = {{37, 138, qRgb(255, 0, 0)}, {37, 102, qRgb(255, 0, 0)}, {37, 97, qRgb(255, 255, 255)},
                  {50, 122, qRgb(0, 0, 255)}, {50, 117, qRgb(255, 255, 255)}, {62, 132, qRgb(0, 160, 0)},
                  {62, 127, qRgb(255, 255, 255)}, {32, 138, qRgb(255, 255, 255)}, {67, 138, qRgb(255, 255, 255)},
                  {50, 142, qRgb(255, 255, 255)}};
    for (const auto& p : probes) {
        SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
        EXPECT_TRUE(near(byRenderer.pixel(p.x, p.y), p.colour)) << std::hex << byRenderer.pixel(p.x, p.y);
    }
}

TEST_F(MapPicture, NegativeBarHangsBelowTheZeroLine) {
    // Values 10 and -5: the chart spans 60 px, its zero line 20 px above its lower edge.
    place(chart({10, -5}), {100, 60});
    const QImage image = draw();
    const int zeroRow = 200 - 80;
    EXPECT_TRUE(near(image.pixel(95, zeroRow - 5), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(image.pixel(95, zeroRow + 5), qRgb(255, 255, 255))) << "positive bar ends at zero";
    EXPECT_TRUE(near(image.pixel(105, zeroRow + 5), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(image.pixel(105, zeroRow + 18), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(image.pixel(105, zeroRow - 5), qRgb(255, 255, 255))) << "negative bar starts at zero";
}

TEST_F(MapPicture, ThreeDimensionalBarsShowDarkerSideAndTop) {
    auto c = chart({10});
    c->symbols = host::SymbolArray{fill(qRgb(200, 40, 40))};
    c->display3D = true;
    c->thickness = 8 * std::sqrt(2.0);  // 8 px to the right and up
    place(c, {100, 100});
    const QImage image = draw();
    const QRgb front = image.pixel(100, 80);
    const QRgb side = image.pixel(109, 80);
    const QRgb top = image.pixel(100, 57);
    EXPECT_TRUE(near(front, qRgb(200, 40, 40)));
    EXPECT_LT(qRed(side), qRed(front));
    EXPECT_LT(qRed(top), qRed(front));
    EXPECT_NE(side, top) << "two different shades";
}

TEST_F(MapPicture, LeaderIsDrawnOnlyBeyondTheTolerance) {
    auto c = chart({10, 10, 10});
    c->background = std::make_shared<host::LineCallout>();
    auto leader = std::make_shared<host::SimpleLineSymbol>();
    leader->color = host::Color{0, 0, 0};
    leader->width = 2;
    c->background->leaderLine = leader;
    c->background->leaderTolerance = 60;
    c->background->gap = 3;
    c->background->anchorPoint = {100, 30};  // 70 px below the chart's lower edge
    place(c, {100, 100});
    // The chart's centre is 90 px from the anchor: beyond 60, so the leader runs down.
    QImage image = draw();
    EXPECT_TRUE(near(image.pixel(100, 150), qRgb(0, 0, 0), 120));
    EXPECT_TRUE(near(image.pixel(100, 101), qRgb(255, 255, 255))) << "stops a gap short of the chart";
    EXPECT_TRUE(near(image.pixel(100, 105), qRgb(0, 0, 0), 120));
    c->background->leaderTolerance = 95;
    image = draw();
    EXPECT_TRUE(near(image.pixel(100, 150), qRgb(255, 255, 255)));
}

TEST_F(MapPicture, GraphicsLayerReferenceScaleSizesItsSymbols) {
    place(chart({10}), {100, 50});
    charts->setReferenceScale(map.mapScale() * 2);  // symbols drawn twice their size
    const QImage image = draw();
    EXPECT_TRUE(near(image.pixel(100, 150 - 75), qRgb(255, 0, 0))) << "80 px tall now";
    EXPECT_TRUE(near(image.pixel(100, 150 - 85), qRgb(255, 255, 255)));
}

TEST_F(MapPicture, FeatureLayersAreDrawnBottomFirstWithTheirSymbols) {
    auto areas = std::make_shared<host::FeatureClass>("land", host::GeometryType::Polygon);
    areas->createFeature(host::Polygon::fromEnvelope({20, 20, 180, 180}), {});
    auto land = std::make_shared<host::FeatureLayer>("land", areas);
    auto landRenderer = std::make_shared<host::SimpleRenderer>();
    landRenderer->symbol = fill(qRgb(230, 220, 200));
    land->setRenderer(landRenderer);
    auto points = std::make_shared<host::FeatureClass>("towns", host::GeometryType::Point);
    points->createFeature(host::Point{100, 100}, {});
    auto towns = std::make_shared<host::FeatureLayer>("towns", points);
    auto marker = std::make_shared<host::SimpleMarkerSymbol>();
    marker->size = 10;
    marker->color = host::Color{0, 0, 0};
    auto townRenderer = std::make_shared<host::SimpleRenderer>();
    townRenderer->symbol = marker;
    towns->setRenderer(townRenderer);
    map.addLayer(land);
    map.addLayer(towns);  // on top
    const QImage image = draw();
    EXPECT_TRUE(near(image.pixel(100, 100), qRgb(0, 0, 0)));
    EXPECT_TRUE(near(image.pixel(50, 50), qRgb(230, 220, 200)));
    EXPECT_TRUE(near(image.pixel(10, 10), qRgb(255, 255, 255)));
}

TEST_F(MapPicture, TextIsDrawnWhereItsMeasuredBoundsSay) {
    installTextMetrics(map);
    auto text = std::make_shared<host::TextElement>();
    text->text = "12.5";
    text->symbol = std::make_shared<host::TextSymbol>();
    text->symbol->font.name = "Arial";
    text->symbol->setSize(24);
    text->symbol->horizontalAlignment = host::HorizontalAlignment::Center;
    text->symbol->verticalAlignment = host::VerticalAlignment::Bottom;
    text->setGeometry(host::Point{100, 100});
    charts->addElement(text);
    const host::Envelope bounds = text->queryBounds(map.screenDisplay());
    const QImage image = draw();
    int minX = 200, maxX = -1, minY = 200, maxY = -1;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    ASSERT_GE(maxX, 0) << "the text was drawn";
    // Ink lies inside the measured box (which also holds the side bearings and the descent).
    EXPECT_GE(minX, bounds.xMin() - 1);
    EXPECT_LE(maxX, bounds.xMax() + 1);
    EXPECT_GE(200 - maxY, bounds.yMin() - 1);
    EXPECT_LE(200 - minY, bounds.yMax() + 1);
    EXPECT_GT(maxX - minX, bounds.width() * 0.7) << "and fills most of its width";
    EXPECT_LE(maxY, 100) << "bottom alignment: the text stands above its point";
}

}  // namespace
}  // namespace kartoplot::render
