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

// The default symbols take the shared width, one point until the dialog sets it.
class DefaultSymbols : public ::testing::Test {
protected:
    static constexpr double kWidth = 2.5;
    void SetUp() override {
        EXPECT_EQ(defaultLineWidth(), 1.0);
        setDefaultLineWidth(kWidth);
    }
    void TearDown() override { setDefaultLineWidth(1.0); }
};

TEST_F(DefaultSymbols, LinesTakeTheGivenColourAndTheSharedWidth) {
    const auto line = MakeLineSymbol(0x0000FF);
    EXPECT_EQ(line->color, (host::Color{255, 0, 0}));
    EXPECT_EQ(line->width, kWidth);
    EXPECT_EQ(line->style, host::LineStyle::Solid);
    EXPECT_TRUE(isRandomRange(MakeLineSymbol(-1)->color));
    EXPECT_NE(MakeLineSymbol(0x0000FF), line) << "a new object on every call";

    setDefaultLineWidth(4);
    EXPECT_EQ(line->width, kWidth) << "made symbols keep their width";
    EXPECT_EQ(MakeLineSymbol(0)->width, 4);
    setDefaultLineWidth(kWidth);

    const auto dashed = MakeDashedLineSymbol();  // round caps, mitre joins, one dash of the width
    EXPECT_TRUE(isRandomRange(dashed->color));
    EXPECT_EQ(dashed->width, kWidth);
    EXPECT_EQ(static_cast<int>(dashed->cap), 1);
    EXPECT_EQ(static_cast<int>(dashed->join), 0);
    host::LineTemplate expected;
    expected.interval = 1;
    expected.pattern = {{kWidth, 2 * kWidth}};
    EXPECT_EQ(dashed->lineTemplate, expected);
}

TEST_F(DefaultSymbols, FillIsSolidWithASolidOutline) {
    const auto fill = MakeFillSymbol(0x00FF00, 0);
    EXPECT_EQ(fill->color, (host::Color{0, 255, 0}));
    EXPECT_EQ(fill->style, host::FillStyle::Solid);
    ASSERT_TRUE(fill->outline);
    ASSERT_EQ(fill->outline->kind(), host::SymbolKind::SimpleLine);
    EXPECT_EQ(fill->outline->color, (host::Color{0, 0, 0}));
    EXPECT_EQ(fill->outline->width, kWidth);
    EXPECT_EQ(static_cast<const host::SimpleLineSymbol&>(*fill->outline).style,
              host::LineStyle::Solid);

    const auto random = MakeFillSymbol(-1, -1);
    EXPECT_TRUE(isRandomRange(random->color));
    EXPECT_TRUE(isRandomRange(random->outline->color));
}

TEST(MakeFont, NamesTheFontAndKeepsTheOtherDefaults) {
    host::Font expected;
    expected.name = "Arial Narrow";
    EXPECT_EQ(MakeFont("Arial Narrow"), expected);
}

}  // namespace
}  // namespace kartoplot::preview
