#include "preview/make_symbols.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace kartoplot::preview {
namespace {

bool isRandomRange(const host::Color& c) {
    return !c.isNull && c.rgb() >= 1 && c.rgb() <= kMaxRgb;
}

TEST(RandomColor, IsNeverBlackStaysInTheRgbRangeAndVaries) {
    std::set<std::int32_t> values;
    for (int i = 0; i < 1000; ++i) {
        const host::Color c = RandomColor();
        ASSERT_TRUE(isRandomRange(c)) << "call " << i << ": " << c;
        values.insert(c.rgb());
    }
    EXPECT_GE(values.size(), 2u) << "seeded anew on every call, not from a constant";
    // Random numbers spread over 1 … 0xFFFFFF; halves go to the even neighbour.
    EXPECT_EQ(rgbFromRandom(0.0), 1);
    EXPECT_EQ(rgbFromRandom(1.5 / 16777214), 2);
    EXPECT_EQ(rgbFromRandom(3.5 / 16777214), 4);
    EXPECT_EQ(rgbFromRandom(std::nextafter(1.0, 0.0)), 16777215);
}

TEST(ColorFromValue, UsesTheValueAsRgbClampedAndNegativeValuesAsRandom) {
    EXPECT_EQ(ColorFromValue(0), (host::Color{0, 0, 0}));
    EXPECT_EQ(ColorFromValue(0x123456), (host::Color{0x56, 0x34, 0x12}));
    EXPECT_EQ(ColorFromValue(kMaxRgb + 1), (host::Color{255, 255, 255}));
    EXPECT_EQ(ColorFromValue(std::numeric_limits<std::int64_t>::max()),
              (host::Color{255, 255, 255}));
    EXPECT_TRUE(isRandomRange(ColorFromValue(-1)));
    EXPECT_TRUE(isRandomRange(ColorFromValue(std::numeric_limits<std::int64_t>::min())));
}

// The made symbols take their colours and the width they are given.
TEST(DefaultSymbols, TakeTheirColoursAndTheWidthGiven) {
    constexpr double kWidth = 2.5;
    const auto line = MakeLineSymbol(0x0000FF, kWidth);
    const auto fill = MakeFillSymbol(0x00FF00, 0, kWidth);
    const auto dashed = MakeDashedLineSymbol(kWidth);  // round caps, mitre joins, one dash of the width

    EXPECT_EQ(line->color, (host::Color{255, 0, 0}));
    EXPECT_EQ(line->width, kWidth);
    EXPECT_NE(MakeLineSymbol(0x0000FF, kWidth), line) << "a new object on every call";
    EXPECT_EQ(fill->color, (host::Color{0, 255, 0}));
    EXPECT_EQ(fill->style, host::FillStyle::Solid);
    ASSERT_TRUE(fill->outline);
    ASSERT_EQ(fill->outline->kind(), host::SymbolKind::SimpleLine);
    EXPECT_EQ(fill->outline->color, (host::Color{0, 0, 0}));
    EXPECT_EQ(fill->outline->width, kWidth);
    EXPECT_EQ(dashed->width, kWidth);
    EXPECT_EQ(dashed->cap, host::LineCap::Round);
    EXPECT_EQ(dashed->join, host::LineJoin::Miter);
    host::LineTemplate expected;
    expected.interval = 1;
    expected.pattern = {{kWidth, 2 * kWidth}};
    EXPECT_EQ(dashed->lineTemplate, expected);

    const auto random = MakeFillSymbol(-1, -1, 1);
    for (const host::Color& c : {MakeLineSymbol(-1, 1)->color, dashed->color, random->color,
                                 random->outline->color}) {
        EXPECT_TRUE(isRandomRange(c)) << c;
    }
}

}  // namespace
}  // namespace kartoplot::preview
