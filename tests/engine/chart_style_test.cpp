#include "engine/chart_style.h"

#include <tuple>

#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

class ChartStyleFromSettings : public testing::EngineFixture {
protected:
    ChartStyleResult convert(const ChartRunSettings& s, int code = 1) {
        return chartStyleFromSettings(s, code, {"a", "b"}, fills, state.separators);
    }
    host::SymbolArray fills{std::make_shared<host::SimpleFillSymbol>(),
                            std::make_shared<host::SimpleFillSymbol>()};
};

TEST_F(ChartStyleFromSettings, TextsBecomeNumbersAndOptionalPartsFollowTheirCheckBoxes) {
    ChartRunSettings s = ChartRunSettings::openingValues();
    s.TxtMinValue = "1,5";  // the range takes either separator
    s.TxtMaxValue = "20";
    s.TxtSignNumber = "4,6";
    s.Chk3D = true;
    s.CmbKey = "NAME";
    const ChartStyleResult made = convert(s, placementCode(Placement::OverOldCharts));
    ASSERT_TRUE(made.style) << made.failure;
    const ChartStyle& style = *made.style;
    EXPECT_EQ(style.range, (ValueRange{1.5, 20}));
    EXPECT_EQ(std::tuple(style.labelLength, style.size, style.barWidth, style.thickness, style.display3D),
              std::tuple(5, 45.0, 10.0, 5.0, true));
    EXPECT_EQ(style.placement, Placement::OverOldCharts);
    EXPECT_TRUE(style.fillSymbols.sharesStorageWith(fills));
    ASSERT_TRUE(style.leader && style.labels);
    EXPECT_EQ(style.leader->width, 0.5);
    EXPECT_EQ(style.labels->text, s.labelTextSymbol) << "copied by the run, not here";
    EXPECT_NEAR(style.labels->minValue, 0.1, 1e-12);
    EXPECT_FALSE(style.unreadValues);

    s.ChkShowLeader = false;
    s.ChkLabelDiagramm = false;
    s.TxtLeaderWidth = s.TxtMinLabelValue = "not read";
    const ChartStyleResult bare = convert(s);
    ASSERT_TRUE(bare.style);
    EXPECT_FALSE(bare.style->leader || bare.style->labels);
    EXPECT_TRUE(log->records().empty());

    for (const auto& [code, placement] : {std::pair(-7, Placement::Centre), std::pair(-1, Placement::KeepOldPlace),
                                          std::pair(13, Placement::SouthEast), std::pair(99, Placement::OverOldOption)}) {
        EXPECT_EQ(placementFromCode(code), placement) << code;
    }
}

TEST_F(ChartStyleFromSettings, BadTextsFailAtLineFortyOrAreLeftForTheFirstFeature) {
    struct Case {
        std::string ChartRunSettings::*member;
        std::string text;
        const char* failure;      // now, with the record at line 40
        const char* description;  // or later, for the run to raise
    };
    const Case cases[] = {
        {&ChartRunSettings::TxtChartWidth, "wide", "the bar width 'wide' is not a number", nullptr},
        {&ChartRunSettings::TxtLeaderWidth, "", "the leader width '' is not a number", nullptr},
        {&ChartRunSettings::TxtMinLabelValue, "x", "the smallest labelled value 'x' is not a number", nullptr},
        {&ChartRunSettings::TxtNullValue, "none", "the value range (0.5 to 8) or the null value (none) is not a number",
         "Type mismatch"},
        {&ChartRunSettings::TxtSignNumber, "99999", "", "Overflow: 99999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        log->clear();
        ChartRunSettings s = ChartRunSettings::openingValues();
        s.*c.member = c.text;
        const ChartStyleResult made = convert(s);
        if (c.description == nullptr) {
            EXPECT_FALSE(made.style);
            EXPECT_EQ(made.failure, c.failure);
            EXPECT_EQ(reportedProcedures(), std::vector<std::string>{"CreateChartElements Kartoplot_v9_2 Line : 40"});
        } else {
            ASSERT_TRUE(made.style && made.style->unreadValues);
            EXPECT_EQ(made.style->unreadValues->reason, c.failure);
            EXPECT_EQ(made.style->unreadValues->description, c.description);
            EXPECT_TRUE(log->records().empty());
        }
    }
}

}  // namespace
}  // namespace kartoplot::engine
