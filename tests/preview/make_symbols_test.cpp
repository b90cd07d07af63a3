#include "preview/make_symbols.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace kartoplot::preview {
namespace {

bool isRandomRange(const host::Color& c) { return !c.isNull && c.rgb() >= 1 && c.rgb() <= kMaxRgb; }

TEST(RandomColor, IsNeverBlackAndStaysInTheRgbRange) {
    for (int i = 0; i < 1000; ++i) {
        const host::Color c = RandomColor();
        ASSERT_TRUE(isRandomRange(c)) << "call " << i << ": " << c;
    }
}

TEST(RandomColor, CallsInQuickSuccessionDiffer) {
    std::set<std::int32_t> values;
    for (int i = 0; i < 50; ++i) {
        values.insert(RandomColor().rgb());
    }
    EXPECT_GE(values.size(), 2u) << "the generator is seeded anew on every call, not from a constant";
}

TEST(RandomColor, RandomNumbersSpreadOverTheRgbValuesWithoutBlack) {
    struct Case {
        double r;
        std::int32_t rgb;
    };
    const Case cases[] = {
        {0.0, 1},
        {0.5, 8388608},
        {1.5 / 16777214, 2},  // 2.5: halves go to the even neighbour
        {3.5 / 16777214, 4},  // 4.5
        {std::nextafter(1.0, 0.0), 16777215},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.r);
        EXPECT_EQ(rgbFromRandom(c.r), c.rgb);
    }
}

TEST(ColorFromValue, UsesTheValueAsRgbAndNegativeValuesAsRandom) {
    struct Case {
        std::int64_t value;
        host::Color expected;
    };
    const Case cases[] = {
        {0, {0, 0, 0}},
        {0x123456, {0x56, 0x34, 0x12}},
        {0xFF, {255, 0, 0}},
        {kMaxRgb, {255, 255, 255}},
        {kMaxRgb + 1, {255, 255, 255}},  // clamped, not wrapped round to black
        {std::numeric_limits<std::int64_t>::max(), {255, 255, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ColorFromValue(c.value), c.expected);
    }
    for (std::int64_t negative : {std::int64_t{-1}, std::numeric_limits<std::int64_t>::min()}) {
        SCOPED_TRACE(negative);
        EXPECT_TRUE(isRandomRange(ColorFromValue(negative)));
    }
}

// The default symbols take the shared width; each test leaves it as it found it.
class DefaultSymbols : public ::testing::Test {
protected:
    static constexpr double kWidth = 2.5;
    void SetUp() override {
        saved_ = defaultLineWidth();
        setDefaultLineWidth(kWidth);
    }
    void TearDown() override { setDefaultLineWidth(saved_); }

private:
    double saved_ = 0.0;
};

TEST(DefaultLineWidth, IsOnePointUntilTheDialogSetsIt) { EXPECT_EQ(defaultLineWidth(), 1.0); }

TEST_F(DefaultSymbols, LineIsSolidInTheGivenColourAndTheSharedWidth) {
    const auto line = MakeLineSymbol(0x0000FF);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->color, (host::Color{255, 0, 0}));
    EXPECT_EQ(line->width, kWidth);
    EXPECT_EQ(line->style, host::LineStyle::Solid);
    EXPECT_TRUE(isRandomRange(MakeLineSymbol(-1)->color));
    EXPECT_NE(MakeLineSymbol(0x0000FF), line) << "a new object on every call";

    setDefaultLineWidth(4);
    EXPECT_EQ(line->width, kWidth) << "made symbols keep their width";
    EXPECT_EQ(MakeLineSymbol(0)->width, 4);
}

TEST_F(DefaultSymbols, FillIsSolidWithASolidOutline) {
    const auto fill = MakeFillSymbol(0x00FF00, 0);
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->color, (host::Color{0, 255, 0}));
    EXPECT_EQ(fill->style, host::FillStyle::Solid);
    ASSERT_TRUE(fill->outline);
    ASSERT_EQ(fill->outline->kind(), host::SymbolKind::SimpleLine);
    EXPECT_EQ(fill->outline->color, (host::Color{0, 0, 0}));
    EXPECT_EQ(fill->outline->width, kWidth);
    EXPECT_EQ(static_cast<const host::SimpleLineSymbol&>(*fill->outline).style, host::LineStyle::Solid);

    const auto random = MakeFillSymbol(-1, -1);
    EXPECT_TRUE(isRandomRange(random->color));
    EXPECT_TRUE(isRandomRange(random->outline->color));
}

TEST_F(DefaultSymbols, DashedLineHasRoundCapsMitreJoinsAndOneDashOfTheWidth) {
    const auto line = MakeDashedLineSymbol();
    ASSERT_TRUE(line);
    EXPECT_TRUE(isRandomRange(line->color));
    EXPECT_EQ(line->width, kWidth);
    EXPECT_EQ(static_cast<int>(line->cap), 1);
    EXPECT_EQ(static_cast<int>(line->join), 0);
    host::LineTemplate expected;
    expected.interval = 1;
    expected.pattern = {{kWidth, 2 * kWidth}};
    EXPECT_EQ(line->lineTemplate, expected);
}

TEST(MakeFont, NamesTheFontAndKeepsTheOtherDefaults) {
    host::Font expected;
    expected.name = "Arial Narrow";
    EXPECT_EQ(MakeFont("Arial Narrow"), expected);
}

}  // namespace
}  // namespace kartoplot::preview
