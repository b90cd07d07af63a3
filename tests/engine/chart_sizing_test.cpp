#include "engine/chart_sizing.h"

#include <gtest/gtest.h>

#include <tuple>

#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

using language::DecimalSeparators;

const DecimalSeparators kPoint = DecimalSeparators::fromLocaleDecimal(".");
const DecimalSeparators kComma = DecimalSeparators::fromLocaleDecimal(",");

using ChartSizingTest = testing::EngineFixture;

using Calc = double (*)(const SizeTexts&, const MapScales&, const DecimalSeparators&);

// All texts of the size controls as one comparable value.
auto allOf(const SizeTexts& t) {
    return std::tie(t.minValue, t.maxValue, t.chartMarkerSize, t.chartMarkerSizeMM, t.minValueMM,
                    t.spinValue);
}

TEST_F(ChartSizingTest, TheConversionsGiveTheDocumentedNumbers) {
    struct Case {
        const char* what;
        SizeTexts texts;
        MapScales scales;
        Calc calc;
        double expected;
    };
    const Case cases[] = {
        {"size mm, no reference", {"", "", "36", "", ""}, {0, 250000}, CalcSizeMM, 12.7},
        {"size mm, f = 0.5", {"", "", "30", "", ""}, {50000, 100000}, CalcSizeMM, 5.3},
        {"chart size", {"10", "100", "", "", "2"}, {0, 1}, CalcChartSize, 57},
        {"min mm", {"10", "100", "57", "", ""}, {0, 1}, CalcMinMM, 2.011},
        {"min value from mm", {"", "100", "57", "", "2"}, {0, 1}, CalcMinValueFromMM,
         9.9461251554},
        {"min value 0", {"0", "100", "", "", "2"}, {0, 1}, CalcChartSize, 0},
        {"max value 0 (min mm)", {"10", "0", "57", "", ""}, {0, 1}, CalcMinMM, 0},
        {"max value 0 (min value)", {"", "0", "57", "", "2"}, {0, 1}, CalcMinValueFromMM, 0},
        {"f = 2 halves the size", {"10", "100", "", "", "2"}, {200000, 100000}, CalcChartSize, 28},
        {"a negative reference is none", {"10", "100", "", "", "2"}, {-5, 100000}, CalcChartSize, 57},
        {"comma typed", {"", "", "30,0", "", ""}, {50000, 100000}, CalcSizeMM, 5.3},
        {"point typed", {"", "", "30.0", "", ""}, {50000, 100000}, CalcSizeMM, 5.3},
    };
    for (const auto* separators : {&kPoint, &kComma}) {  // either separator in either locale
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.what << " with " << *separators);
            EXPECT_EQ(c.calc(c.texts, c.scales, *separators), c.expected);
        }
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(ChartSizingTest, FailuresAreReportedUnderTheConversionsNameAndGiveZero) {
    struct Case {
        SizeTexts texts;
        MapScales scales;
        Calc calc;
        const char* procedure;
    };
    const Case cases[] = {
        {{"", "100", "0", "", "2"}, {0, 1}, CalcMinValueFromMM, "CalcMinValueFromMM"},
        {{"ten", "100", "", "", "2"}, {0, 1}, CalcChartSize, "CalcChartSize"},
        {{"10", "100", "", "", "2"}, {50000, 0}, CalcChartSize, "CalcChartSize"},
        {{"", "", "", "", ""}, {0, 1}, CalcSizeMM, "CalcSizeMM"},
        {{"1,234.5", "100", "57", "", ""}, {0, 1}, CalcMinMM, "CalcMinMM"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.procedure);
        EXPECT_EQ(c.calc(c.texts, c.scales, kPoint), 0.0);
        ASSERT_EQ(log->records().size(), i + 1);
        EXPECT_EQ(testing::reportedProcedure(log->records()[i]),
                  std::string(c.procedure) + " frmKartoplot_ListView ");
    }
}

TEST_F(ChartSizingTest, LockRuleUpdatesExactlyTheFollowingQuantities) {
    const SizeTexts start{"10", "100", "57", "", "2", 0};
    const MapScales scales{0, 1};
    struct Case {
        const char* what;
        SizeEvent event;
        bool locked;
        SizeTexts edit;
        SizeTexts expected;
    };
    const Case cases[] = {
        {"size typed, locked", SizeEvent::ChartMarkerSizeChanged, true, {"10", "100", "36,5", "", "2"},
         {"10", "100", "36,5", "12.9", "2", 36}},
        {"size typed on an odd half, locked", SizeEvent::ChartMarkerSizeChanged, true,
         {"10", "100", "37.5", "", "2"}, {"10", "100", "37.5", "13.2", "2", 38}},
        {"size typed, released", SizeEvent::ChartMarkerSizeChanged, false, start,
         {"10", "100", "57", "20.1", "2.011", 57}},
        {"range left, locked", SizeEvent::ValueRangeLeft, true, {"20", "100", "57", "", "2"},
         {"20", "100", "28", "9.9", "2", 28}},
        {"range left, released", SizeEvent::ValueRangeLeft, false, {"20", "100", "57", "", "2"},
         {"20", "100", "57", "", "4.022", 0}},
        {"mm left, locked", SizeEvent::MinValueMMLeft, true, start,
         {"10", "100", "57", "20.1", "2", 57}},
        {"mm left, released", SizeEvent::MinValueMMLeft, false, start,
         {"9.9461251554", "100", "57", "", "2", 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SizeTexts t = c.edit;
        applyLockRule(c.event, c.locked, t, scales, kPoint);
        EXPECT_EQ(allOf(t), allOf(c.expected));
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(ChartSizingTest, LockRuleWritesLocaleTextAndKeepsTargetsOnFailure) {
    SizeTexts t{"10", "100", "57", "", "2", 0};
    applyLockRule(SizeEvent::ValueRangeLeft, false, t, {0, 1}, kComma);
    EXPECT_EQ(t.minValueMM, "2,011");

    SizeTexts bad{"ten", "100", "57", "12", "2", 5};
    applyLockRule(SizeEvent::ValueRangeLeft, true, bad, {0, 1}, kPoint);
    EXPECT_EQ(allOf(bad), allOf({"ten", "100", "57", "12", "2", 5})) << "failure keeps targets";
    EXPECT_EQ(log->records().size(), 1u);
}

}  // namespace
}  // namespace kartoplot::engine
