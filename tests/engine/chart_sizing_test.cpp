#include "engine/chart_sizing.h"

#include <gtest/gtest.h>

#include "command/error_handling.h"

namespace kartoplot::engine {
namespace {

using language::DecimalSeparators;

const DecimalSeparators kPoint = DecimalSeparators::fromLocaleDecimal(".");
const DecimalSeparators kComma = DecimalSeparators::fromLocaleDecimal(",");

class ChartSizingTest : public ::testing::Test {
protected:
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};

    std::string reportedProcedure(std::size_t i = 0) const {
        const std::string& r = log->records().at(i);
        const std::size_t start = r.find("\r\n\r\n\t") + 5;
        return r.substr(start, r.find("\r\n", start) - start);
    }
};

TEST_F(ChartSizingTest, ScaleFactorIsOneWithoutAReferenceScale) {
    EXPECT_EQ(scaleFactor({0, 100000}), 1.0);
    EXPECT_EQ(scaleFactor({-5, 100000}), 1.0);
    EXPECT_EQ(scaleFactor({50000, 100000}), 0.5);
    EXPECT_THROW(scaleFactor({50000, 0}), HostError);
}

TEST_F(ChartSizingTest, TheConversionsGiveTheDocumentedNumbers) {
    struct Case {
        const char* what;
        SizeTexts texts;
        MapScales scales;
        double (*calc)(const SizeTexts&, const MapScales&, const DecimalSeparators&);
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.calc(c.texts, c.scales, kPoint), c.expected);
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(ChartSizingTest, EitherSeparatorIsReadInEitherLocale) {
    const SizeTexts comma{"", "", "30,0", "", ""};
    const SizeTexts point{"", "", "30.0", "", ""};
    for (const auto* sep : {&kPoint, &kComma}) {
        EXPECT_EQ(CalcSizeMM(comma, {50000, 100000}, *sep), 5.3);
        EXPECT_EQ(CalcSizeMM(point, {50000, 100000}, *sep), 5.3);
    }
}

TEST_F(ChartSizingTest, FailuresAreReportedUnderTheConversionsNameAndGiveZero) {
    struct Case {
        SizeTexts texts;
        MapScales scales;
        double (*calc)(const SizeTexts&, const MapScales&, const DecimalSeparators&);
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
        EXPECT_EQ(reportedProcedure(i), std::string(c.procedure) + " frmKartoplot_ListView ");
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
        EXPECT_EQ(t.minValue, c.expected.minValue);
        EXPECT_EQ(t.maxValue, c.expected.maxValue);
        EXPECT_EQ(t.chartMarkerSize, c.expected.chartMarkerSize);
        EXPECT_EQ(t.chartMarkerSizeMM, c.expected.chartMarkerSizeMM);
        EXPECT_EQ(t.minValueMM, c.expected.minValueMM);
        EXPECT_EQ(t.spinValue, c.expected.spinValue);
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(ChartSizingTest, LockRuleWritesLocaleTextAndKeepsTargetsOnFailure) {
    SizeTexts t{"10", "100", "57", "", "2", 0};
    applyLockRule(SizeEvent::ValueRangeLeft, false, t, {0, 1}, kComma);
    EXPECT_EQ(t.minValueMM, "2,011");

    SizeTexts bad{"ten", "100", "57", "12", "2", 5};
    applyLockRule(SizeEvent::ValueRangeLeft, true, bad, {0, 1}, kPoint);
    EXPECT_EQ(bad.chartMarkerSize, "57") << "a failed conversion leaves its target";
    EXPECT_EQ(bad.chartMarkerSizeMM, "12");
    EXPECT_EQ(bad.spinValue, 5);
    EXPECT_EQ(log->records().size(), 1u);
}

}  // namespace
}  // namespace kartoplot::engine
