#include "render/map_renderer.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "host/host.h"
#include "render/symbol_painter.h"
#include "render/text_metrics.h"
#include "tests/render/pixels.h"

namespace kartoplot::render {
namespace {

// A pixel of a drawing and the colour it should have, within `tolerance` (summed channels).
struct Probe {
    int x, y;
    QRgb colour;
    int tolerance = 40;
};

constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kGreen = qRgb(0, 160, 0);

bool near(QRgb a, QRgb b, int tolerance = 40) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

void expectProbes(const QImage& image, const std::vector<Probe>& probes) {
    for (const Probe& p : probes) {
        SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
        EXPECT_TRUE(near(image.pixel(p.x, p.y), p.colour, p.tolerance)) << std::hex << image.pixel(p.x, p.y);
    }
}

// A 200 × 200 pixel view at 72 dpi where one map unit is one pixel and one point is one
// pixel: the map point (x, y) is the pixel (x, 200 − y).
class MapPicture : public ::testing::Test {
public:
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
        c->symbols = host::SymbolArray{fill(kRed), fill(kBlue), fill(kGreen)};
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

    // A layer of the shapes drawn with one symbol, added on top of the others.
    void addLayer(host::GeometryType type, const std::vector<host::Geometry>& shapes,
                  std::shared_ptr<host::Symbol> symbol) {
        auto fc = std::make_shared<host::FeatureClass>("shapes", type);
        for (const host::Geometry& shape : shapes) {
            fc->createFeature(shape, {});
        }
        auto layer = std::make_shared<host::FeatureLayer>("shapes", fc);
        auto renderer = std::make_shared<host::SimpleRenderer>();
        renderer->symbol = std::move(symbol);
        layer->setRenderer(renderer);
        map.addLayer(layer);
    }

    // A chart of three bars of 10 at (100, 100) whose leader runs to (100, 30), 70 px below the
    // chart's lower edge and 90 px from its centre; drawn only beyond `tolerance`.
    void placeLedChart(double tolerance) {
        auto c = chart({10, 10, 10});
        c->background = std::make_shared<host::LineCallout>();
        auto leader = std::make_shared<host::SimpleLineSymbol>();
        leader->color = host::Color{0, 0, 0};
        leader->width = 2;
        c->background->leaderLine = leader;
        c->background->leaderTolerance = tolerance;
        c->background->gap = 3;
        c->background->anchorPoint = {100, 30};
        place(c, {100, 100});
    }

    host::Map map;
    std::shared_ptr<host::GraphicsLayer> charts;
};

// Numbers that overflow or are not numbers never reach QPainter: the drawing goes on and what
// is sound is still drawn.
TEST_F(MapPicture, NonFiniteAndHugeNumbersAreDrawnSafely) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double kNaN = std::nan("");
    addLayer(host::GeometryType::Point, {host::Point{kNaN, 10}, host::Point{kInf, -kInf}, host::Point{9e307, 1e308}},
             std::make_shared<host::SimpleMarkerSymbol>());
    addLayer(host::GeometryType::Polyline, {host::Polyline{{{{0, 0}, {kNaN, 5}, {1e308, -1e308}}}}},
             std::make_shared<host::SimpleLineSymbol>());
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
    EXPECT_TRUE(near(image.pixel(90, 80), kRed)) << "the sound chart is drawn";
}

// One scene on the map and the pixels it must show.
struct Scene {
    const char* name;
    std::function<void(MapPicture&)> build;
    std::vector<Probe> probes;
};

class MapScene : public MapPicture, public ::testing::WithParamInterface<Scene> {};

TEST_P(MapScene, ShowsItsPixels) {
    GetParam().build(*this);
    expectProbes(draw(), GetParam().probes);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, MapScene,
    ::testing::Values(
        // A row 30 px wide centred on x = 100; bars of 40, 20 and 10 px.
        Scene{"BarsSideBySide", [](MapPicture& m) { m.place(m.chart({10, 5, 2.5}), {100, 100}); },
              {{90, 99, kRed}, {90, 62, kRed}, {90, 57, kWhite}, {100, 99, kBlue}, {100, 82, kBlue},
               {100, 77, kWhite}, {110, 99, kGreen}, {110, 91, kGreen}, {110, 87, kWhite},
               {80, 101, kWhite} /* nothing below the point */, {83, 80, kWhite} /* nor left of the row */}},
        // Values 10 and -5: the chart spans 60 px, its zero line (row 120) 20 px above its lower edge.
        Scene{"NegativeBarHangsBelowTheZeroLine", [](MapPicture& m) { m.place(m.chart({10, -5}), {100, 60}); },
              {{95, 115, kRed}, {95, 125, kWhite}, {105, 125, kBlue}, {105, 138, kBlue}, {105, 115, kWhite}}},
        // Symbols drawn twice their size: the bar is 80 px tall.
        Scene{"ReferenceScaleSizesTheLayersSymbols",
              [](MapPicture& m) {
                  m.place(m.chart({10}), {100, 50});
                  m.charts->setReferenceScale(m.map.mapScale() * 2);
              },
              {{100, 75, kRed}, {100, 65, kWhite}}},
        Scene{"FeatureLayersBottomFirst",
              [](MapPicture& m) {
                  m.addLayer(host::GeometryType::Polygon, {host::Polygon::fromEnvelope({20, 20, 180, 180})},
                             MapPicture::fill(qRgb(230, 220, 200)));
                  auto marker = std::make_shared<host::SimpleMarkerSymbol>();
                  marker->size = 10;
                  marker->color = host::Color{0, 0, 0};
                  m.addLayer(host::GeometryType::Point, {host::Point{100, 100}}, marker);
              },
              {{100, 100, kBlack}, {50, 50, qRgb(230, 220, 200)}, {10, 10, kWhite}}},
        // The leader runs down and stops a gap short of the chart.
        Scene{"LeaderBeyondTheTolerance", [](MapPicture& m) { m.placeLedChart(60); },
              {{100, 150, kBlack, 120}, {100, 101, kWhite}, {100, 105, kBlack, 120}}},
        Scene{"NoLeaderWithinTheTolerance", [](MapPicture& m) { m.placeLedChart(95); }, {{100, 150, kWhite}}}),
    [](const ::testing::TestParamInfo<Scene>& scene) { return std::string(scene.param.name); });

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
    EXPECT_LE(testing::countDiffering(byRenderer, byMarkers, 13), 10) << "pixels where the layer and the markers differ";
    // Where a marker's bars go is the BarsSideBySide scene's; here they need only be there.
    expectProbes(byRenderer, {{37, 138, kRed}, {50, 122, kBlue}, {62, 132, kGreen}});
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
    const QRect ink = testing::boundsOf(image, [](QRgb p) { return qGray(p) < 128; });
    ASSERT_FALSE(ink.isNull()) << "the text was drawn";
    // Ink lies inside the measured box (which also holds the side bearings and the descent).
    EXPECT_GE(ink.left(), bounds.xMin() - 1);
    EXPECT_LE(ink.right(), bounds.xMax() + 1);
    EXPECT_GE(200 - ink.bottom(), bounds.yMin() - 1);
    EXPECT_LE(200 - ink.top(), bounds.yMax() + 1);
    EXPECT_GT(ink.width() - 1, bounds.width() * 0.7) << "and fills most of its width";
    EXPECT_LE(ink.bottom(), 100) << "bottom alignment: the text stands above its point";
}

}  // namespace
}  // namespace kartoplot::render
