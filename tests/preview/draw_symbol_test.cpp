#include "preview/draw_symbol.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "errors/error_handling.h"
#include "tests/render/pixels.h"

namespace kartoplot::preview {
namespace {

// Colours are compared channel by channel with room for antialiasing and rounding.
constexpr int kTolerance = 8;
const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
constexpr host::Color kHostRed{255, 0, 0};

::testing::AssertionResult pixelIs(const QImage& image, int x, int y, const QColor& expected,
                                   int tolerance = kTolerance) {
    const QColor actual = image.pixelColor(x, y);
    const int difference = std::max(
        {std::abs(actual.red() - expected.red()), std::abs(actual.green() - expected.green()),
         std::abs(actual.blue() - expected.blue()), std::abs(actual.alpha() - expected.alpha())});
    if (difference <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is " << actual.name(QColor::HexArgb).toStdString()
           << ", expected " << expected.name(QColor::HexArgb).toStdString();
}

// Every listed pixel has the colour.
::testing::AssertionResult pixelsAre(const QImage& image, std::initializer_list<QPoint> points,
                                     const QColor& expected, int tolerance = kTolerance) {
    for (const QPoint& p : points) {
        if (auto result = pixelIs(image, p.x(), p.y(), expected, tolerance); !result) {
            return result;
        }
    }
    return ::testing::AssertionSuccess();
}

// Every pixel inside the rectangle has the colour `in`, every other one `out` (each when given).
::testing::AssertionResult regionIs(const QImage& image, const QRect& inside,
                                    std::optional<QColor> in, std::optional<QColor> out,
                                    int tolerance = 0) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const std::optional<QColor>& expected = inside.contains(x, y) ? in : out;
            if (!expected) {
                continue;
            }
            if (auto result = pixelIs(image, x, y, *expected, tolerance); !result) {
                return result;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

QImage imageAtDpi(int width, int height, double dpi, const QColor& fill = kWhite) {
    QImage image(width, height, QImage::Format_ARGB32);
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / host::kMetresPerInch));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(fill);
    return image;
}

std::shared_ptr<host::SimpleFillSymbol> fill(host::Color colour,
                                             host::FillStyle style = host::FillStyle::Solid,
                                             std::shared_ptr<host::LineSymbol> outline = nullptr) {
    auto symbol = std::make_shared<host::SimpleFillSymbol>();
    symbol->color = colour;
    symbol->style = style;
    symbol->outline = std::move(outline);
    return symbol;
}

std::shared_ptr<host::SimpleMarkerSymbol> marker(host::MarkerStyle style, double size) {
    auto symbol = std::make_shared<host::SimpleMarkerSymbol>();
    symbol->style = style;
    symbol->size = size;
    symbol->color = kHostRed;
    return symbol;
}

// Pictures are ARGB at screen resolution; fills cover them inside the gap, silver elsewhere.
TEST(SymbolToPicture, FillsCoverThePictureInsideTheGapAndLeaveSilverElsewhere) {
    const std::tuple<const char*, std::shared_ptr<host::Symbol>, int, QColor> cases[] = {
        {"gap 0", fill(kHostRed), 0, kRed},
        {"gap 5", fill(kHostRed), 5, kRed},
        {"gap 8", fill(kHostRed), 8, kRed},
        {"null style", fill(kHostRed, host::FillStyle::Null), 0, kSilver},
        {"null colour", fill(host::Color::nullColor()), 0, kSilver}};
    for (const auto& [name, symbol, gap, colour] : cases) {
        SCOPED_TRACE(name);
        const QImage picture = SymbolToPicture(*symbol, 40, 20, gap);
        ASSERT_EQ(std::tuple(picture.size(), picture.format(), picture.logicalDpiY()),
                  std::tuple(QSize(40, 20), QImage::Format_ARGB32, 96));
        EXPECT_TRUE(
            regionIs(picture, QRect(gap, gap, 40 - 2 * gap, 20 - 2 * gap), colour, kSilver));
    }
    for (QSize size : {QSize(0, 20), QSize(40, 0), QSize(-1, -1)}) {
        EXPECT_TRUE(SymbolToPicture(*fill(kHostRed), size.width(), size.height(), 0).isNull())
            << size.width() << " x " << size.height();
    }
}

TEST(SymbolToPicture, AnOutlineRunsOnThePicturesEdge) {
    auto outline = std::make_shared<host::SimpleLineSymbol>();
    outline->width = 1;
    const QImage picture =
        SymbolToPicture(*fill(kHostRed, host::FillStyle::Solid, outline), 40, 20, 0);
    EXPECT_TRUE(regionIs(picture, QRect(1, 1, 38, 18), kRed, std::nullopt, kTolerance));
    // 1 point (1.33 pixels) of black covers two thirds of each edge pixel.
    EXPECT_TRUE(pixelsAre(picture, {{20, 0}, {20, 19}, {0, 10}, {39, 10}}, QColor(85, 0, 0), 20));
}

TEST(SymbolToPicture, CircleMarkerIsCentred) {
    // 8 points at 96 dpi: a circle of 10.67 pixels around (20, 10).
    const QImage picture = SymbolToPicture(*marker(host::MarkerStyle::Circle, 8), 40, 20, 0);
    EXPECT_TRUE(
        pixelsAre(picture, {{19, 9}, {20, 10}, {15, 10}, {24, 10}, {20, 5}, {20, 14}}, kRed));
    EXPECT_TRUE(pixelsAre(picture, {{13, 10}, {26, 10}, {20, 3}, {20, 16}, {0, 0}, {39, 19}},
                          kSilver));
}

TEST(SymbolToPicture, LinesRunFromLowerLeftToUpperRight) {
    auto solid = std::make_shared<host::SimpleLineSymbol>();
    solid->width = 3;
    solid->color = kHostRed;
    // Dashes of 3 points and gaps of 6 points; round caps make them 8 and 4 pixels long.
    auto dashed = std::make_shared<host::CartographicLineSymbol>();
    dashed->width = 3;
    dashed->color = kHostRed;
    dashed->cap = host::LineCap::Round;
    dashed->lineTemplate.pattern = {{3, 6}};
    const std::shared_ptr<host::LineSymbol> lines[] = {solid, dashed};
    for (const auto& line : lines) {
        SCOPED_TRACE(line == solid ? "solid" : "dashed");
        const QImage picture = SymbolToPicture(*line, 40, 20, 0);
        int onLine = 0;
        int gaps = 0;
        for (int x = 2; x < 38; ++x) {
            const int y = static_cast<int>(20 - (x + 0.5) / 2);  // the diagonal, device y down
            onLine += pixelIs(picture, x, y, kRed, 40) ? 1 : 0;
            gaps += pixelIs(picture, x, y, kSilver, 40) ? 1 : 0;
        }
        if (line == solid) {
            EXPECT_EQ(onLine, 36);
        } else {
            EXPECT_GE(onLine, 12);
            EXPECT_GE(gaps, 6);
        }
        // The other diagonal and the corners it joins stay silver.
        EXPECT_TRUE(pixelsAre(picture, {{0, 0}, {3, 2}, {10, 5}, {30, 15}, {36, 17}, {39, 19}},
                              kSilver));
    }
}

TEST(SymbolToPicture, TextShowsItsSampleInTheMiddle) {
    using H = host::HorizontalAlignment;
    using V = host::VerticalAlignment;
    const std::tuple<std::string, H, V> cases[] = {
        {"2.8", H::Center, V::Center}, {"2.8", H::Left, V::Top}, {"", H::Center, V::Center}};
    for (const auto& [sample, horizontal, vertical] : cases) {
        SCOPED_TRACE("\"" + sample + "\" aligned " + std::to_string(static_cast<int>(horizontal)));
        host::TextSymbol text;
        text.previewText = sample;
        text.horizontalAlignment = horizontal;
        text.verticalAlignment = vertical;
        const QImage picture = SymbolToPicture(text, 40, 20, 0);
        EXPECT_TRUE(regionIs(picture, QRect(6, 2, 28, 16), std::nullopt, kSilver, kTolerance));
        const auto isDark = [](QRgb p) { return QColor(p).lightness() < 128; };
        const int count = testing::countPixels(picture, isDark);
        const QRect dark = testing::boundsOf(picture, isDark);
        if (sample.empty()) {
            EXPECT_EQ(count, 0);
            continue;
        }
        EXPECT_GE(count, 15);
        EXPECT_NEAR(dark.center().x() + 0.5, 20, 2.5) << dark.left() << ".." << dark.right();
        EXPECT_NEAR(dark.center().y() + 0.5, 10, 2.5) << dark.top() << ".." << dark.bottom();
    }
}

TEST(DrawToDC, DrawsOnlyInsideItsAreaAndKeepsThePainterState) {
    EXPECT_FALSE(DrawToDC(nullptr, 40, 20, *fill(kHostRed), 0));
    QPainter idle;
    EXPECT_FALSE(DrawToDC(&idle, 40, 20, *fill(kHostRed), 0));
    QImage image = imageAtDpi(60, 30, 96);
    QPainter painter(&image);
    painter.setPen(QColor(0, 0, 255));
    ASSERT_TRUE(DrawToDC(&painter, 40, 20, *marker(host::MarkerStyle::Circle, 60), 0));
    EXPECT_EQ(painter.pen().color(), QColor(0, 0, 255));
    EXPECT_FALSE(painter.hasClipping());
    EXPECT_FALSE(painter.testRenderHint(QPainter::Antialiasing));
    EXPECT_EQ(painter.compositionMode(), QPainter::CompositionMode_SourceOver);
    painter.end();
    EXPECT_TRUE(regionIs(image, QRect(0, 0, 40, 20), kRed, kWhite));
}

TEST(Clear, ReplacesExactlyTheRectangle) {
    QImage image = imageAtDpi(10, 10, 96);
    QPainter painter(&image);
    const QColor halfRed(255, 0, 0, 128);
    EXPECT_TRUE(Clear(&painter, halfRed, 2, 3, 5, 7));
    EXPECT_TRUE(Clear(&painter, halfRed, 8, 8, 6, 9)) << "an empty rectangle is no failure";
    painter.end();
    EXPECT_TRUE(regionIs(image, QRect(2, 3, 3, 4), halfRed, kWhite));
    QPainter idle;
    EXPECT_FALSE(Clear(&idle, kSilver, 0, 0, 10, 10));
}

TEST(CreateTransFromDC, MapsOnePixelPerUnitWithYUpAtTheDeviceResolution) {
    QImage image = imageAtDpi(40, 20, 120);
    QPainter painter(&image);
    const auto mapping = CreateTransFromDC(&painter, 40, 20);
    ASSERT_TRUE(mapping);
    EXPECT_EQ(mapping->dpi(), 120);
    EXPECT_DOUBLE_EQ(mapping->pixelsPerPoint(0), 120.0 / 72);
    EXPECT_EQ(mapping->toDevice(host::Point{0, 0}), QPointF(0, 20));
    EXPECT_EQ(mapping->toDevice(host::Point{40, 20}), QPointF(40, 0));
    EXPECT_EQ(mapping->toDevice(host::Point{10, 5}), QPointF(10, 15));
    EXPECT_FALSE(CreateTransFromDC(nullptr, 40, 20));
    EXPECT_FALSE(CreateTransFromDC(&painter, 0, 20));
    EXPECT_FALSE(CreateTransFromDC(&painter, 40, -1));
}

TEST(DrawSymbolErrors, CarryTheHostsNumbersSourcesAndTexts) {
    // One dot per metre is a device of 0 dpi.
    QImage noDpi(40, 20, QImage::Format_ARGB32);
    noDpi.setDotsPerMeterY(1);
    QPainter noDpiPainter(&noDpi);
    QImage image = imageAtDpi(40, 20, 96);
    QPainter painter(&image);
    const host::SimpleFillSymbol red = *fill(kHostRed);
    using Error = std::tuple<std::int32_t, std::string, std::string>;
    const Error brush{-2147214501, "basDrawSymbol.Clear", "Could not create GDI Brush."};
    const Error resolution{-2147214498, "basDrawSymbol.CreateTransFromDC",
                           "Could not retrieve Resolution from device context."};
    const Error shape{
        -2147214496, "basDrawSymbol.DrawToDC",
        "Could not create required Transformation or Geometry for this draw operation."};
    const std::tuple<const char*, std::function<void()>, const Error&> cases[] = {
        {"invalid colour", [&] { Clear(&painter, QColor(), 0, 0, 40, 20); }, brush},
        {"no painter", [&] { Clear(nullptr, kSilver, 0, 0, 40, 20); }, brush},
        {"0 dpi", [&] { CreateTransFromDC(&noDpiPainter, 40, 20); }, resolution},
        {"0 dpi preview", [&] { DrawToDC(&noDpiPainter, 40, 20, red, 0); }, resolution},
        {"no area", [&] { DrawToDC(&painter, 0, 20, red, 0); }, shape},
    };
    for (const auto& [name, call, expected] : cases) {
        SCOPED_TRACE(name);
        try {
            call();
            ADD_FAILURE() << "no HostError";
        } catch (const HostError& e) {
            EXPECT_EQ(Error(e.number(), e.source(), e.description()), expected);
        }
    }
}

TEST(SymbolShape, FollowsTheKindOfSymbol) {
    const host::Envelope rectangle(2, 2, 38, 18);
    const host::Geometry centre = host::Point{20, 10};
    const host::Geometry diagonal = host::Polyline::fromPoints({{2, 2}, {38, 18}});
    const host::Geometry middleLine = host::Polyline::fromPoints({{2, 10}, {38, 10}});
    const host::Geometry area = host::Polygon::fromEnvelope(rectangle);
    const std::pair<std::shared_ptr<host::Symbol>, const host::Geometry&> cases[] = {
        {std::make_shared<host::SimpleMarkerSymbol>(), centre},
        {std::make_shared<host::BarChartSymbol>(), centre},
        {std::make_shared<host::SimpleLineSymbol>(), diagonal},
        {std::make_shared<host::CartographicLineSymbol>(), diagonal},
        {std::make_shared<host::TextSymbol>(), middleLine},
        {std::make_shared<host::SimpleFillSymbol>(), area},
        {std::make_shared<host::MultiLayerFillSymbol>(), area},
        {std::make_shared<host::MarkerFillSymbol>(), area},
        {std::make_shared<host::LineFillSymbol>(), area},
        {std::make_shared<host::PictureFillSymbol>(), area}};
    for (const auto& [symbol, expected] : cases) {
        SCOPED_TRACE(symbol->className());
        EXPECT_EQ(SymbolShape(*symbol, rectangle), expected);
        EXPECT_TRUE(SymbolShape(*symbol, host::Envelope()).isEmpty());
    }
}

}  // namespace
}  // namespace kartoplot::preview
