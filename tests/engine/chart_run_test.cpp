#include "engine/chart_run.h"

#include <array>
#include <tuple>

#include "engine/chart_symbols.h"
#include "engine/element_data.h"
#include "engine/placement.h"
#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

constexpr double kTol = 1e-9;

class ChartRun : public testing::EngineFixture {
protected:
    ChartRun() {
        settings.TxtChartWidth = "6";
        settings.txtChartSpacing = "0";
        settings.ChkShowLeader = false;
    }

    ChartRunResult run(host::FeatureLayer& layer, int code, bool recreate = false,
                       bool selectedOnly = false) {
        return CreateChartElements(state, layer, code, selectedOnly, recreate, fields, symbols,
                                   settings);
    }

    std::shared_ptr<host::GraphicsLayer> chartLayer(const std::string& name = "Cities_charts") {
        return state.map->basicGraphicsLayer().findLayer(name);
    }

    static std::shared_ptr<host::MarkerElement> markerOf(const std::shared_ptr<host::Element>& group) {
        const auto& g = static_cast<const host::GroupElement&>(*group);
        return std::static_pointer_cast<host::MarkerElement>(g.element(0));
    }

    template <class T>
    static std::vector<std::shared_ptr<T>> membersOf(const std::shared_ptr<host::Element>& group,
                                                     host::ElementKind kind) {
        std::vector<std::shared_ptr<T>> out;
        for (const auto& m : static_cast<const host::GroupElement&>(*group).members()) {
            if (m->kind() == kind) {
                out.push_back(std::static_pointer_cast<T>(m));
            }
        }
        return out;
    }

    host::Envelope chartEnvelope(const std::shared_ptr<host::Element>& group) {
        auto marker = markerOf(group);
        auto bare = std::make_shared<host::BarChartSymbol>(
            static_cast<const host::BarChartSymbol&>(*marker->symbol));
        bare->background.reset();
        host::MarkerElement probe;
        probe.symbol = bare;
        probe.setGeometry(marker->geometry());
        return probe.queryBounds(state.map->screenDisplay());
    }

    // Charts one feature "A" at `at` with the values a, b, c; its group.
    std::shared_ptr<host::Element> chartOne(host::Variant a, host::Variant b, host::Variant c,
                                            int code = 0, host::Point at = {0, 0}) {
        auto cities = addCities({{"A", at, a, b, c}});
        EXPECT_TRUE(run(*cities, code).completed);
        return chartLayer()->elements().at(0);
    }

    ChartRunSettings settings = testing::runSettings();
    host::SymbolArray symbols = testing::threeFills();
    std::vector<std::string> fields{"a", "b", "c"};
};

TEST_F(ChartRun, WorkedExampleClampsLabelsAndMarksTheBarBeyondTheRange) {
    auto cities = addCities({{"Oslo", {100, 100}, 12.0, host::Variant::null(), -3.0}});
    const auto before = state.document->activeView().refreshCount();
    const ChartRunResult result = run(*cities, 1);
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.charted, 1);
    EXPECT_EQ(state.document->activeView().refreshCount(), before + 1) << "one refresh at the end";
    EXPECT_TRUE(log->records().empty());

    auto layer = chartLayer();
    ASSERT_TRUE(layer);
    ASSERT_EQ(layer->elementCount(), 1);
    const auto group = layer->elements()[0];
    ASSERT_EQ(group->kind(), host::ElementKind::Group);
    const auto marker = markerOf(group);
    EXPECT_EQ(marker->name(), "Oslo");
    const auto& chart = testing::chartSymbolOf(*group);
    EXPECT_EQ(chart.values, (std::vector<double>{10, 0, -3}));
    EXPECT_EQ(chart.maxValue, 10);
    EXPECT_EQ(chart.symbols.element(2), symbols.element(2));

    std::vector<std::string> names;
    std::vector<host::Variant> values;
    ASSERT_TRUE(GetElementData(*marker, names, values));  // values: chart_steps_test
    EXPECT_EQ(names, (std::vector<std::string>{"LayerName", "#Vmax#", "#Vmin#", "a", "b", "c"}));

    // Placement E: the chart (18 × 26) stands beside the 10-point marker at (100, 100).
    EXPECT_TRUE(testing::hasBox(chartEnvelope(group), 105, 100, 18, 26));
    // Where labels and marks sit on the bars is the layout's business (BarGeometry, ZigZag).
    const auto labels = membersOf<host::TextElement>(group, host::ElementKind::Text);
    ASSERT_EQ(labels.size(), 2u) << "the null bar of 0 gets no label";
    EXPECT_EQ(labels[0]->text, "12") << "the value read, not the clamped bar";
    EXPECT_EQ(labels[1]->symbol->verticalAlignment, host::VerticalAlignment::Top);
    EXPECT_EQ(membersOf<host::LineElement>(group, host::ElementKind::Line).size(), 1u)
        << "only bar a runs off the range";
}

TEST_F(ChartRun, EveryPlacementCodeOffsetsTheChartFromItsAnchorAndRebuildsTheLayer) {
    auto cities = addCities({{"A", {1000, 2000}, 5.0, 10.0, 2.0}});
    settings.TxtLabelDistance = "4";
    const host::Envelope atAnchor(1000 - 9, 2000, 1000 + 9, 2000 + 20);
    for (const int code : {0, 4, 13}) {  // centre, above, a corner: CalcChartOffset has them all
        SCOPED_TRACE(code);
        ASSERT_TRUE(run(*cities, code).completed);
        ASSERT_EQ(chartLayer()->elementCount(), 1) << "create mode rebuilds the layer";
        const auto offset =
            CalcChartOffset(host::Envelope(995, 1995, 1005, 2005), atAnchor, code, 4);
        EXPECT_TRUE(testing::hasBox(chartEnvelope(chartLayer()->elements()[0]),
                                    atAnchor.xMin() + offset[0], atAnchor.yMin() + offset[1], 18,
                                    20));
    }
}

TEST_F(ChartRun, SelectedOnlyChartsTheSelectionAndSaysSoWhenThereIsNone) {
    auto cities = addCities({{"A", {0, 0}, 5.0, 5.0, 5.0}, {"B", {50, 0}, 2.0, 3.0, 4.0}});
    const ChartRunResult none = run(*cities, 1, false, true);
    EXPECT_EQ(none.charted, 0);
    ASSERT_EQ(ui->messages.size(), 1u);
    EXPECT_EQ(ui->messages[0].text, state.messages.text(language::SharedMessage::NoSelectedObjects));
    EXPECT_EQ(ui->messages[0].buttons, host::MessageButtons::Ok);
    cities->setSelection({2});
    run(*cities, 1, false, true);
    ASSERT_EQ(chartLayer()->elementCount(), 1);
    EXPECT_EQ(markerOf(chartLayer()->elements()[0])->name(), "B");
}

TEST_F(ChartRun, RecreateKeepsEachOldPlaceOnTheZeroLineAndAnchorsNewOnes) {
    auto cities = addCities({{"A", {0, 0}, 5.0, -5.0, 5.0}, {"B", {500, 0}, 2.0, 3.0, 4.0}});
    run(*cities, 1);
    auto layer = chartLayer();
    const auto oldA = layer->findElementByName("A");
    host::moveElement(*oldA, 37, -11);  // the user moved chart A
    const host::Envelope movedA = chartEnvelope(oldA);
    layer->deleteElement(*layer->findElementByName("B"));  // and deleted chart B

    // New values change A's height and zero line; the zero line must start where it did.
    cities->featureClass()->deleteField(5);
    cities->featureClass()->addField({"c", "", host::FieldType::Double, 0});
    ASSERT_TRUE(run(*cities, kPlacementKeepOld, true).completed);
    EXPECT_EQ(layer->elementCount(), 2);
    const auto newA = layer->findElementByName("A");
    EXPECT_NE(newA, oldA);
    const host::Envelope a = chartEnvelope(newA);
    EXPECT_NEAR(a.xMin(), movedA.xMin(), kTol);
    const double oldZero = movedA.yMin() + movedA.height() * 0.5;   // -5 .. 5
    EXPECT_NEAR(a.yMin() + a.height() * zeroLineFraction(-5, 5), oldZero, kTol);
    EXPECT_NEAR(a.height(), 20, kTol) << "c is null now: values 5, -5, 0";

    const host::Envelope b = chartEnvelope(layer->findElementByName("B"));
    EXPECT_NEAR(b.xMin(), 500 - 9, kTol) << "no old chart: placed on its anchor";
    EXPECT_NEAR(b.yMin(), 0, kTol);
}

TEST_F(ChartRun, RecreateOverAnotherLayerReplacesSameNamesAndLeavesTheOtherLayer) {
    auto cities = addCities({{"A", {0, 0}, 5.0, 5.0, 5.0}});
    run(*cities, 1);
    // Copy today's charts to "Old_charts", moved away, with a leader on the old chart.
    auto oldLayer = state.map->basicGraphicsLayer().addLayer("Old_charts");
    auto copy = chartLayer()->elements()[0]->clone();
    host::moveElement(*copy, 300, 40);
    auto oldChart = std::static_pointer_cast<host::BarChartSymbol>(markerOf(copy)->symbol);
    oldChart->background = std::make_shared<host::LineCallout>();
    oldChart->background->anchorPoint = {-5000, -5000};
    oldLayer->addElement(copy);
    const host::Envelope oldPlace = chartEnvelope(copy);

    settings.CmbOldChartLayer = "Old_charts";
    ASSERT_TRUE(run(*cities, kPlacementOverLayer, true).completed);
    EXPECT_EQ(chartLayer()->elementCount(), 1) << "the same-named chart was replaced";
    const host::Envelope now = chartEnvelope(chartLayer()->elements()[0]);
    EXPECT_NEAR(now.xMin(), oldPlace.xMin(), kTol);
    EXPECT_NEAR(now.yMin(), oldPlace.yMin(), kTol);
    EXPECT_EQ(oldLayer->elementCount(), 1);
    EXPECT_TRUE(oldChart->background) << "the old chart keeps its leader";
}

TEST_F(ChartRun, LeaderGoesBackToTheFeatureWithTheHalfDiagonalAsTolerance) {
    settings.ChkShowLeader = true;
    settings.TxtLeaderWidth = "1,5";
    const host::LineCallout& leader = *testing::chartSymbolOf(*chartOne(5.0, 5.0, 5.0, 4, {10, 20})).background;
    EXPECT_EQ(std::tuple(leader.anchorPoint, leader.gap), std::tuple(host::Point{10, 20}, 3.0));
    EXPECT_DOUBLE_EQ(leader.leaderTolerance, halfDiagonal(20, 3, 6, 0));
    EXPECT_NE(leader.leaderLine, settings.leaderLineSymbol) << "a copy per run";
    EXPECT_EQ(leader.leaderLine->color, settings.leaderLineSymbol->color);
}

TEST_F(ChartRun, KeyNamesFallBackToJoinedFieldsAndNullsToTheNullMarker) {
    settings.CmbKey = "code";
    EXPECT_EQ(markerOf(chartOne(1.0, 2.0, 3.0))->name(), "<Null>");

    auto fc = std::make_shared<host::FeatureClass>("Joined", host::GeometryType::Point);
    fc->setAliasName("Joined");
    fc->addField({"Joined.code", "", host::FieldType::Integer, 0});
    for (const char* f : {"a", "b", "c"}) {
        fc->addField({f, "", host::FieldType::Double, 0});
    }
    fc->createFeature(host::Point{0, 0}, {host::Variant(std::int32_t{77}), 1.0, 1.0, 1.0});
    fc->createFeature(host::Point{9, 9}, {host::Variant::null(), 1.0, 1.0, 1.0});
    auto joined = std::make_shared<host::FeatureLayer>("Joined", fc);
    state.map->addLayer(joined);
    run(*joined, 1);
    auto layer = chartLayer("Joined_charts");
    ASSERT_EQ(layer->elementCount(), 2);
    EXPECT_TRUE(layer->findElementByName("77"));
    EXPECT_TRUE(layer->findElementByName("<Null>"));
}

TEST_F(ChartRun, ZeroIsNeverLabelledEvenWithALabelMinimumOfZero) {
    settings.TxtMinLabelValue = "0";
    const auto zero = chartOne(0.0, 4.0, 4.0);
    EXPECT_EQ(testing::chartSymbolOf(*zero).values[0], 1.0);
    const auto zeroLabels = membersOf<host::TextElement>(zero, host::ElementKind::Text);
    ASSERT_EQ(zeroLabels.size(), 2u) << "a label needs a value above the label minimum";
    EXPECT_EQ(zeroLabels[0]->text, "4.0");
}

class BadInput : public ChartRun {};

// A renderer that draws feature 2 with an area symbol, which cannot be measured as a marker.
class MixedRenderer final : public host::FeatureRenderer {
public:
    std::string className() const override { return "MixedRenderer"; }
    std::shared_ptr<host::Symbol> symbolForFeature(const host::Feature& f,
                                                   const host::Fields&) const override {
        if (f.oid == 2) {
            return std::make_shared<host::SimpleFillSymbol>();
        }
        return std::make_shared<host::SimpleMarkerSymbol>();
    }
    std::shared_ptr<host::FeatureRenderer> clone() const override {
        return std::make_shared<MixedRenderer>();
    }
};

TEST_F(BadInput, AFailureEndsTheRunThroughItsTrapAndKeepsWholeChartsOnly) {
    auto cities = addCities({{"A", {0, 0}, 20.0, 5.0, 5.0},
                             {"B", {50, 0}, 20.0, 5.0, 5.0},
                             {"C", {99, 0}, 20.0, 5.0, 5.0}});
    cities->setRenderer(std::make_shared<MixedRenderer>());
    const auto before = state.document->activeView().refreshCount();
    const ChartRunResult result = run(*cities, 1);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.charted, 1);
    EXPECT_EQ(lastReport(), "CreateChartElements Kartoplot_v9_2 Line : 130");
    auto layer = chartLayer();
    ASSERT_EQ(layer->elementCount(), 1);
    const auto group = std::static_pointer_cast<host::GroupElement>(layer->elements()[0]);
    EXPECT_EQ(group->element(0)->name(), "A");
    EXPECT_EQ(group->elementCount(), 1 + 3 + 1) << "marker, three labels, one zigzag";
    EXPECT_EQ(state.document->activeView().refreshCount(), before + 1) << "refreshed after all";
}

TEST_F(BadInput, EachBadInputIsReportedWithItsLine) {
    struct Case {
        const char* what;
        std::vector<std::string> fields;
        std::string minValue;
        std::string size;
        int line;
        const char* failure;  // the reason in words
    };
    const Case cases[] = {
        {"missing field", {"a", "nope", "c"}, "1", "20", 110, "feature 'A': the layer Cities has no field nope"},
        {"more fields than symbols", {"a", "b", "c", "a"}, "1", "20", 120, "feature 'A': "},
        {"range not a number", {"a", "b", "c"}, "one", "20", 100, "the value range (one to "},
        {"size not a number", {"a", "b", "c"}, "1", "20 pt", 40, "the chart size '20 pt' is not a number"},
        {"point not finite", {"a", "b", "c"}, "1", "20", 130, "feature 'far': its point has no finite coordinates"},
    };
    auto cities = addCities({{"A", {0, 0}, 2.0, 5.0, 5.0}});
    auto far = addCities({{"far", {std::numeric_limits<double>::infinity(), 0}, 2.0, 5.0, 5.0}}, "Far");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fields = c.fields;
        settings.TxtMinValue = c.minValue;
        settings.TxtChartMarkerSize = c.size;
        auto& layer = std::string(c.what) == "point not finite" ? *far : *cities;
        const ChartRunResult result = run(layer, 1);
        EXPECT_FALSE(result.completed);
        EXPECT_EQ(lastReport(),
                  "CreateChartElements Kartoplot_v9_2 Line : " + std::to_string(c.line));
        EXPECT_EQ(result.failure.rfind(c.failure, 0), 0u) << result.failure;
        EXPECT_EQ(chartLayer(layer.name() + "_charts")->elementCount(), 0);
    }
}

TEST_F(BadInput, RecreateFailureLeavesTheOldChartInPlace) {
    auto cities = addCities({{"A", {0, 0}, 2.0, 5.0, 5.0}});
    run(*cities, 1);
    const auto old = chartLayer()->elements()[0];
    fields = {"a", "b", "NAME"};
    EXPECT_FALSE(run(*cities, kPlacementKeepOld, true).completed);
    ASSERT_EQ(chartLayer()->elementCount(), 1);
    EXPECT_EQ(chartLayer()->elements()[0], old);
}

TEST(ChartRange, ExtremesFollowTheRangeOnBothSides) {
    const std::array<double, 4> cases[] = {  // raw max and min, chart max and min
        {12, -3, 10, -3}, {5, 2, 5, 0}, {-2, -20, 0, -10}, {0.5, 0.5, 1, 0},
        {4, -0.5, 4, -1}, {0, 0, 0, 0}, {10, -10, 10, -10},
    };
    for (const auto& [rmax, rmin, vmax, vmin] : cases) {
        SCOPED_TRACE(::testing::Message() << rmax << " " << rmin);
        const ChartRange r = chartRange(rmax, rmin, 1, 10);
        EXPECT_EQ(std::tuple(r.vmax, r.vmin), std::tuple(vmax, vmin));
    }
    EXPECT_EQ(clampedBarValue(0, 1, 10), 1);
    EXPECT_EQ(clampedBarValue(0, -1, 10), 0) << "a negative minimum clamps nothing up";
    EXPECT_EQ(clampedBarValue(-0.5, 1, 10), -1);
    EXPECT_EQ(clampedBarValue(-12, 1, 10), -10);
}

}  // namespace
}  // namespace kartoplot::engine
