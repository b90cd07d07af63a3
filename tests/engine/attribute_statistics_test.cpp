#include "engine/attribute_statistics.h"

#include <array>
#include <utility>

#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

using Statistics = testing::EngineFixture;

TEST_F(Statistics, SixNamesWithoutRegardToCaseOverAllOrSelected) {
    auto cities = addCities({{"A", {0, 0}, 2.0, 1.0, 1.0},
                             {"B", {0, 0}, 4.0, 1.0, 1.0},
                             {"C", {0, 0}, host::Variant::null(), 1.0, 1.0},
                             {"D", {0, 0}, 9.0, 1.0, 1.0}});
    const std::pair<const char*, host::Variant> cases[] = {
        {"max", host::Variant(9.0)},   {"MIN", host::Variant(2.0)},
        {"Mean", host::Variant(5.0)},  {"COUNT", host::Variant(std::int32_t{3})},
        {"SUM", host::Variant(15.0)},  {"median", host::Variant()},
        {"", host::Variant()},
    };
    for (const auto& [name, all] : cases) {
        EXPECT_EQ(DataStatistic(*cities, "a", name, false), all) << name;
    }
    EXPECT_NEAR(DataStatistic(*cities, "a", "stdev", false).toDouble(), std::sqrt(26.0 / 3), 1e-12);
    cities->setSelection({1, 3});
    EXPECT_EQ(DataStatistic(*cities, "a", "COUNT", true), host::Variant(std::int32_t{1}));
    EXPECT_EQ(DataStatistic(*cities, "a", "MAX", true), host::Variant(2.0));
    EXPECT_TRUE(log->records().empty());
}

TEST_F(Statistics, TextOrMissingFieldsAreReportedAndGiveEmpty) {
    auto cities = addCities({{"A", {0, 0}, 2.0, 1.0, 1.0}});
    EXPECT_TRUE(DataStatistic(*cities, "NAME", "MAX", false).isEmpty());
    EXPECT_TRUE(DataStatistic(*cities, "nope", "MAX", false).isEmpty());
    ASSERT_EQ(log->records().size(), 2u);
    EXPECT_NE(log->records()[0].find("\tDataStatistic Kartoplot_v9_2 Line : 1"), std::string::npos);
}

TEST(ReplaceAll, LeftToRightWithoutOverlaps) {
    const std::array<const char*, 4> cases[] = {  // find, source, replacement, result
        {",", "1,5", ".", "1.5"},   {",", "15", ".", "15"},        {",", ",1,,", ".", ".1.."},
        {"aa", "aaa", "b", "ba"},   {"a", "banana", "aa", "baanaanaa"}, {"", "abc", "x", "abc"},
    };
    for (const auto& [find, source, replacement, result] : cases) {
        EXPECT_EQ(ReplaceAll(find, source, replacement), result) << source;
    }
}

}  // namespace
}  // namespace kartoplot::engine
