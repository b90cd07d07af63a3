#include "preview/draw_symbol.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "command/error_handling.h"

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

TEST(SymbolToPicture, MakesAnArgbPictureAtScreenResolution) {
    const QImage picture = SymbolToPicture(*fill(kHostRed), 40, 20, 0);
    EXPECT_EQ(picture.size(), QSize(40, 20));
    EXPECT_EQ(picture.format(), QImage::Format_ARGB32);
    EXPECT_EQ(picture.logicalDpiY(), 96);
    for (QSize size : {QSize(0, 20), QSize(40, 0), QSize(-1, -1)}) {
        SCOPED_TRACE(std::to_string(size.width()) + " x " + std::to_string(size.height()));
        EXPECT_TRUE(SymbolToPicture(*fill(kHostRed), size.width(), size.height(), 0).isNull());
    }
}

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
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= gap && x < 40 - gap && y >= gap && y < 20 - gap;
                ASSERT_TRUE(pixelIs(picture, x, y, inside ? colour : kSilver, 0));
            }
        }
    }
}

TEST(SymbolToPicture, AnOutlineRunsOnThePicturesEdge) {
    auto outline = std::make_shared<host::SimpleLineSymbol>();
    outline->width = 1;
    const QImage picture =
        SymbolToPicture(*fill(kHostRed, host::FillStyle::Solid, outline), 40, 20, 0);
    for (int y = 1; y < 19; ++y) {
        for (int x = 1; x < 39; ++x) {
            ASSERT_TRUE(pixelIs(picture, x, y, kRed));
        }
    }
    // 1 point (1.33 pixels) of black covers two thirds of each edge pixel.
    for (QPoint edge : {QPoint(20, 0), QPoint(20, 19), QPoint(0, 10), QPoint(39, 10)}) {
        EXPECT_TRUE(pixelIs(picture, edge.x(), edge.y(), QColor(85, 0, 0), 20));
    }
}

TEST(SymbolToPicture, CircleMarkerIsCentred) {
    // 8 points at 96 dpi: a circle of 10.67 pixels around (20, 10).
    const QImage picture = SymbolToPicture(*marker(host::MarkerStyle::Circle, 8), 40, 20, 0);
    for (QPoint inside : {QPoint(19, 9), QPoint(20, 10), QPoint(15, 10), QPoint(24, 10),
                          QPoint(20, 5), QPoint(20, 14)}) {
        EXPECT_TRUE(pixelIs(picture, inside.x(), inside.y(), kRed));
    }
    for (QPoint outside : {QPoint(13, 10), QPoint(26, 10), QPoint(20, 3), QPoint(20, 16),
                           QPoint(0, 0), QPoint(39, 0), QPoint(0, 19), QPoint(39, 19)}) {
        EXPECT_TRUE(pixelIs(picture, outside.x(), outside.y(), kSilver));
    }
}

TEST(DrawToDC, SymbolSizesFollowTheDeviceResolution) {
    for (const auto& [dpi, pixels] : {std::pair(72, 12), std::pair(96, 16), std::pair(144, 24)}) {
        SCOPED_TRACE(dpi);  // a 12-point square
        QImage image = imageAtDpi(40, 40, dpi);
        {
            QPainter painter(&image);
            ASSERT_TRUE(DrawToDC(&painter, 40, 40, *marker(host::MarkerStyle::Square, 12), 0));
        }
        int red = 0;
        for (int x = 0; x < 40; ++x) {
            red += pixelIs(image, x, 20, kRed) ? 1 : 0;
        }
        EXPECT_EQ(red, pixels);
    }
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
        for (QPoint away : {QPoint(0, 0), QPoint(3, 2), QPoint(10, 5), QPoint(30, 15),
                            QPoint(36, 17), QPoint(39, 19)}) {
            EXPECT_TRUE(pixelIs(picture, away.x(), away.y(), kSilver));
        }
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
        QRect dark;
        int count = 0;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 40; ++x) {
                if (picture.pixelColor(x, y).lightness() < 128) {
                    dark |= QRect(x, y, 1, 1);
                    ++count;
                } else if (x < 6 || x >= 34 || y < 2 || y >= 18) {
                    EXPECT_TRUE(pixelIs(picture, x, y, kSilver));
                }
            }
        }
        if (sample.empty()) {
            EXPECT_EQ(count, 0);
            continue;
        }
        EXPECT_GE(count, 15);
        EXPECT_NEAR(dark.center().x() + 0.5, 20, 2.5) << dark.left() << ".." << dark.right();
        EXPECT_NEAR(dark.center().y() + 0.5, 10, 2.5) << dark.top() << ".." << dark.bottom();
        EXPECT_GE(dark.left(), 6);
        EXPECT_LT(dark.right(), 34);
    }
}

TEST(SymbolToPicture, BarChartShowsItsBarsLeftToRight) {
    // Bars of 8 points (10.67 pixels) rising from the centre (30, 20) of a 60 × 40 picture;
    // 30 is drawn 12 points (16 pixels) high.
    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 160, 0), QColor(0, 0, 255)};
    auto chart = std::make_shared<host::BarChartSymbol>();
    for (const QColor& c : colours) {
        chart->symbols.add(fill(host::Color{static_cast<std::uint8_t>(c.red()),
                                            static_cast<std::uint8_t>(c.green()),
                                            static_cast<std::uint8_t>(c.blue())}));
    }
    chart->values = {10, 20, 30};
    chart->maxValue = 30;
    chart->size = 12;
    chart->barWidth = 8;
    const QImage picture = SymbolToPicture(*chart, 60, 40, 0);
    const int columns[] = {19, 30, 40};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(pixelIs(picture, columns[k], 18, colours[k]));
        EXPECT_TRUE(pixelIs(picture, columns[k], 21, kSilver)) << "nothing below the zero line";
    }
    EXPECT_TRUE(pixelIs(picture, 19, 16, colours[0]));
    EXPECT_TRUE(pixelIs(picture, 19, 13, kSilver)) << "the first bar is 5.33 pixels high";
    EXPECT_TRUE(pixelIs(picture, 40, 5, colours[2]));
    EXPECT_TRUE(pixelIs(picture, 40, 2, kSilver));
    EXPECT_TRUE(pixelIs(picture, 12, 18, kSilver));
    EXPECT_TRUE(pixelIs(picture, 47, 18, kSilver));
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
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 60; ++x) {
            ASSERT_TRUE(pixelIs(image, x, y, x < 40 && y < 20 ? kRed : kWhite, 0));
        }
    }
}

TEST(Clear, ReplacesExactlyTheRectangle) {
    QImage image = imageAtDpi(10, 10, 96);
    QPainter painter(&image);
    const QColor halfRed(255, 0, 0, 128);
    EXPECT_TRUE(Clear(&painter, halfRed, 2, 3, 5, 7));
    EXPECT_TRUE(Clear(&painter, halfRed, 8, 8, 6, 9)) << "an empty rectangle is no failure";
    painter.end();
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 3 && y < 7;
            ASSERT_TRUE(pixelIs(image, x, y, inside ? halfRed : kWhite, 0));
        }
    }
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
    struct Case {
        const char* name;
        std::function<void()> call;
        std::int32_t number;
        std::string source;
        std::string description;
    };
    const Case cases[] = {
        {"invalid colour", [&] { Clear(&painter, QColor(), 0, 0, 40, 20); }, -2147214501,
         "basDrawSymbol.Clear", "Could not create GDI Brush."},
        {"no painter", [&] { Clear(nullptr, kSilver, 0, 0, 40, 20); }, -2147214501,
         "basDrawSymbol.Clear", "Could not create GDI Brush."},
        {"0 dpi", [&] { CreateTransFromDC(&noDpiPainter, 40, 20); }, -2147214498,
         "basDrawSymbol.CreateTransFromDC", "Could not retrieve Resolution from device context."},
        {"0 dpi preview", [&] { DrawToDC(&noDpiPainter, 40, 20, red, 0); }, -2147214498,
         "basDrawSymbol.CreateTransFromDC", "Could not retrieve Resolution from device context."},
        {"no area", [&] { DrawToDC(&painter, 0, 20, red, 0); }, -2147214496,
         "basDrawSymbol.DrawToDC",
         "Could not create required Transformation or Geometry for this draw operation."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.call();
            ADD_FAILURE() << "no HostError";
        } catch (const HostError& e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.source(), c.source);
            EXPECT_EQ(e.description(), c.description);
        }
    }
}

TEST(SymbolShape, FollowsTheKindOfSymbol) {
    const host::Envelope rectangle(2, 2, 38, 18);
    const host::Geometry centre = host::Point{20, 10};
    const host::Geometry diagonal = host::Polyline::fromPoints({{2, 2}, {38, 18}});
    const host::Geometry middleLine = host::Polyline::fromPoints({{2, 10}, {38, 10}});
    const host::Geometry area = host::Polygon::fromEnvelope(rectangle);
    struct Case {
        std::shared_ptr<host::Symbol> symbol;
        const host::Geometry& expected;
    };
    const Case cases[] = {{std::make_shared<host::SimpleMarkerSymbol>(), centre},
                          {std::make_shared<host::BarChartSymbol>(), centre},
                          {std::make_shared<host::SimpleLineSymbol>(), diagonal},
                          {std::make_shared<host::CartographicLineSymbol>(), diagonal},
                          {std::make_shared<host::TextSymbol>(), middleLine},
                          {std::make_shared<host::SimpleFillSymbol>(), area},
                          {std::make_shared<host::MultiLayerFillSymbol>(), area},
                          {std::make_shared<host::MarkerFillSymbol>(), area},
                          {std::make_shared<host::LineFillSymbol>(), area},
                          {std::make_shared<host::PictureFillSymbol>(), area}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol->className());
        EXPECT_EQ(SymbolShape(*c.symbol, rectangle), c.expected);
        EXPECT_TRUE(SymbolShape(*c.symbol, host::Envelope()).isEmpty());
    }
}

}  // namespace
}  // namespace kartoplot::preview
