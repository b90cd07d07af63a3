#include "render/band_renderer.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "host/host.h"
#include "render/map_renderer.h"

namespace kartoplot::render {
namespace {

constexpr int kWidth = 640;  // pixels; one map unit is one pixel, one point one pixel
constexpr int kHeight = 520;
constexpr int kCharts = 300;
constexpr int kTowns = 1700;  // with the charts, enough for drawMap to draw in bands
// Antialiasing of a drawing cut at a band edge may differ this many rows away from the edge.
constexpr int kEdgeRows = 2;
constexpr double kMostDifferingShare = 0.001;

std::shared_ptr<host::SimpleLineSymbol> line(double width, host::LineStyle style = host::LineStyle::Solid) {
    auto l = std::make_shared<host::SimpleLineSymbol>();
    l->width = width;
    l->style = style;
    return l;
}

std::shared_ptr<host::SimpleFillSymbol> fill(host::Color colour, double outline) {
    auto f = std::make_shared<host::SimpleFillSymbol>();
    f->color = colour;
    f->outline = line(outline);
    return f;
}

// A map whose drawings cross band edges everywhere: outlined 2D and 3D charts grouped with
// labels (some turned), leaders, long dashed lines, outlined areas and point symbols.
class BandedMap : public ::testing::Test {
protected:
    BandedMap() {
        host::DisplayTransformation& t = map.screenDisplay().transformation();
        t.setUnits(host::MapUnits::Metres);
        t.setResolution(72);
        t.setDeviceFrame(kWidth, kHeight);
        t.setScale(72 / 0.0254);
        t.setCenter({kWidth / 2.0, kHeight / 2.0});
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> x(-20, kWidth + 20);
        std::uniform_real_distribution<double> y(-20, kHeight + 20);
        std::uniform_real_distribution<double> value(-30, 100);

        auto land = std::make_shared<host::FeatureClass>("land", host::GeometryType::Polygon);
        land->createFeature(host::Polygon{{{{30, 20}, {600, 60}, {560, 500}, {80, 470}}}}, {});
        auto landLayer = std::make_shared<host::FeatureLayer>("land", land);
        auto landRenderer = std::make_shared<host::SimpleRenderer>();
        landRenderer->symbol = fill({230, 220, 200}, 3);
        landLayer->setRenderer(landRenderer);
        map.addLayer(landLayer);
        auto towns = std::make_shared<host::FeatureClass>("towns", host::GeometryType::Point);
        for (int i = 0; i < kTowns; ++i) {
            towns->createFeature(host::Point{x(rng), y(rng)}, {});
        }
        auto townLayer = std::make_shared<host::FeatureLayer>("towns", towns);
        auto marker = std::make_shared<host::SimpleMarkerSymbol>();
        marker->size = 5;
        marker->style = host::MarkerStyle::Diamond;
        marker->angle = 20;
        marker->outline = true;
        marker->color = {20, 20, 20};
        auto townRenderer = std::make_shared<host::SimpleRenderer>();
        townRenderer->symbol = marker;
        townLayer->setRenderer(townRenderer);
        map.addLayer(townLayer);

        auto layer = map.basicGraphicsLayer().addLayer("towns_charts");
        const host::SymbolArray bars{fill({230, 80, 60}, 0.6), fill({70, 130, 200}, 0.6), fill({90, 180, 90}, 0.6)};
        auto callout = std::make_shared<host::LineCallout>();
        callout->leaderLine = line(1);
        auto label = std::make_shared<host::TextSymbol>();
        label->font.name = "Arial";
        label->setSize(14);
        auto turned = std::static_pointer_cast<host::TextSymbol>(label->clone());
        turned->angle = 30;
        for (int i = 0; i < kCharts; ++i) {
            const host::Point at{x(rng), y(rng)};
            auto chart = std::make_shared<host::BarChartSymbol>();
            chart->symbols = bars;
            chart->values = {value(rng), value(rng), value(rng)};
            chart->maxValue = 100;
            chart->size = 30;
            chart->barWidth = 5;
            chart->display3D = i % 3 == 0;
            chart->thickness = 4;
            if (i % 11 == 0) {
                auto leader = callout->clone();
                leader->anchorPoint = {at.x - 25, at.y - 60};
                chart->background = leader;
            }
            auto group = std::make_shared<host::GroupElement>();
            auto element = std::make_shared<host::MarkerElement>();
            element->symbol = chart;
            element->setGeometry(at);
            group->addElement(element);
            // Half the charts carry their label; the other labels stand alone, away from them.
            auto text = std::make_shared<host::TextElement>();
            text->text = "Quay " + std::to_string(i) + " \u00c5gj";  // descenders and an accent
            text->symbol = i % 7 == 0 ? turned : label;
            if (i % 2 == 0) {
                text->setGeometry(host::Point{at.x, at.y - 4});
                group->addElement(text);
                layer->addElement(group);
            } else {
                layer->addElement(group);
                text->setGeometry(host::Point{x(rng), y(rng)});
                layer->addElement(text);
            }
        }
        for (int i = 0; i < 20; ++i) {
            auto road = std::make_shared<host::LineElement>();
            road->symbol = line(1.5 + i % 3, i % 2 == 0 ? host::LineStyle::Dash : host::LineStyle::Solid);
            road->setGeometry(host::Polyline::fromPoints({{x(rng), -10}, {x(rng), 250}, {x(rng), kHeight + 10}}));
            layer->addElement(road);
            auto lake = std::make_shared<host::PolygonElement>();
            lake->symbol = fill({120, 170, 230}, 2);
            const host::Point c{x(rng), y(rng)};
            lake->setGeometry(host::Polygon{{{{c.x, c.y}, {c.x + 50, c.y + 90}, {c.x - 40, c.y + 140}}}});
            layer->addElement(lake);
        }
    }

    // The map drawn on a white image through a painter moved by `offset`, by `draw`.
    template <typename Draw>
    static QImage picture(QPointF offset, const Draw& draw) {
        QImage image(kWidth + 20, kHeight + 10, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(offset);
        draw(painter);
        return image;
    }

    host::Map map;
};

// Drawn in bands on several threads, the map gives the picture of one thread: pixels differ
// only where antialiasing meets a band edge, and hardly any. The bands cover the map's rows
// without a gap, none lower than kMinBandRows, and about evenly on this even map. Progress comes from the calling thread and ends
// with the full count. drawMap on several threads draws just what drawMapInBands draws.
TEST_F(BandedMap, BandsGiveThePictureOfOneThread) {
    struct Case {
        const char* name;
        QPointF offset;
        int bands;
        int threads;
        int areaTop;  // first row of the map's device area on the image
    };
    const Case cases[] = {
        {"seven bands on three threads, moved by a fraction", {13.5, 6.0}, 7, 3, 6},
        {"more threads than bands", {0, 0}, 2, 5, 0},
        {"as drawMap splits for two threads", {0, 0}, 2 * kBandsPerThread, 2, 0},
    };
    RenderOptions one;
    one.threads = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage reference = picture(c.offset, [&](QPainter& p) {
            ASSERT_TRUE(canDrawInBands(p));
            drawMap(p, map, map.screenDisplay().transformation(), one);
        });
        std::vector<std::pair<std::thread::id, std::int64_t>> calls;
        RenderOptions banded;
        banded.threads = c.threads;
        banded.progress = [&](std::int64_t done, std::int64_t total) {
            calls.emplace_back(std::this_thread::get_id(), done);
            EXPECT_EQ(total, drawingItemCount(map));
        };
        std::vector<QRect> bands;
        const QImage image = picture(c.offset, [&](QPainter& p) {
            bands = drawMapInBands(p, map, map.screenDisplay().transformation(), banded, c.bands, c.threads);
        });
        ASSERT_EQ(bands.size(), static_cast<std::size_t>(c.bands));
        std::vector<int> edges = {c.areaTop};  // the outer edges are the clip's edges too
        for (const QRect& band : bands) {
            EXPECT_EQ(band.top(), edges.back());
            EXPECT_GE(band.height(), kMinBandRows);
            EXPECT_LE(band.height(), kHeight * 3 / (2 * c.bands)) << "a map spread evenly is cut evenly";
            edges.push_back(band.bottom() + 1);
        }
        EXPECT_EQ(edges.back(), c.areaTop + kHeight);
        int differing = 0;
        int inked = 0;
        for (int y = 0; y < image.height(); ++y) {
            const bool nearEdge = std::any_of(edges.begin(), edges.end(), [&](int e) { return std::abs(y - e) <= kEdgeRows; });
            for (int x = 0; x < image.width(); ++x) {
                inked += reference.pixel(x, y) != qRgb(255, 255, 255);
                if (image.pixel(x, y) != reference.pixel(x, y)) {
                    ++differing;
                    EXPECT_TRUE(nearEdge) << "pixel " << x << ", " << y << " differs away from the band edges";
                    if (!nearEdge) {
                        return;
                    }
                }
            }
        }
        EXPECT_GT(inked, image.width() * image.height() / 2) << "the map covers the picture";
        EXPECT_LE(differing, image.width() * image.height() * kMostDifferingShare);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().second, drawingItemCount(map));
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].first, std::this_thread::get_id());
            EXPECT_TRUE(i == 0 || calls[i].second >= calls[i - 1].second);
        }
        if (c.threads == 2 && c.offset.isNull()) {
            const QImage byDrawMap = picture(c.offset, [&](QPainter& p) {
                drawMap(p, map, map.screenDisplay().transformation(), banded);
            });
            EXPECT_TRUE(byDrawMap == image);
        }
    }
}

// Only a plain raster image painter may be split: scaled, clipped, faded or vector painters and
// other pixel formats are drawn on one thread.
TEST(BandedDrawing, OnlyPlainImagePaintersAreSplit) {
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    QImage narrow(64, 64, QImage::Format_RGB16);
    const std::pair<const char*, std::function<bool(QPainter&)>> cases[] = {
        {"moved", [](QPainter& p) { p.translate(3.5, 2); return true; }},
        {"scaled", [](QPainter& p) { p.scale(2, 2); return false; }},
        {"clipped", [](QPainter& p) { p.setClipRect(0, 0, 10, 10); return false; }},
        {"faded", [](QPainter& p) { p.setOpacity(0.5); return false; }},
        {"multiplying", [](QPainter& p) { p.setCompositionMode(QPainter::CompositionMode_Multiply); return false; }},
    };
    for (const auto& [name, setUp] : cases) {
        SCOPED_TRACE(name);
        QPainter painter(&image);
        const bool expected = setUp(painter);
        EXPECT_EQ(canDrawInBands(painter), expected);
    }
    QPainter sixteenBits(&narrow);
    EXPECT_FALSE(canDrawInBands(sixteenBits));
    QSvgGenerator svg;
    svg.setSize(QSize(64, 64));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    svg.setOutputDevice(&buffer);
    QPainter vector(&svg);
    EXPECT_FALSE(canDrawInBands(vector));
}

}  // namespace
}  // namespace kartoplot::render
