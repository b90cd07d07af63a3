#include "engine/chart_steps.h"

#include <limits>
#include <tuple>

#include "engine/chart_symbols.h"
#include "engine/element_data.h"
#include "engine/placement.h"
#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

class ChartSteps : public testing::EngineFixture {
protected:
    ChartSteps() {
        style.fields = {"a", "b", "c"};
        style.range = ValueRange{1, 10};
        style.nullValue = -2;
        style.size = 20;
        style.barWidth = 6;
        for (int i = 0; i < 3; ++i) {
            style.fillSymbols.add(std::make_shared<host::SimpleFillSymbol>());
        }
    }

    // The values of one feature with a, b, c in fields 1, 2, 3.
    ChartValues read(host::Variant a, host::Variant b, host::Variant c) {
        host::Feature feature;
        feature.values = {host::Variant("A"), a, b, c};
        ChartValues values;
        readChartValues(feature, {1, 2, 3}, style, "Cities", state.separators, values);
        return values;
    }

    // The placed chart marker of the values at `at`.
    std::shared_ptr<host::MarkerElement> chartAt(const ChartValues& values, host::Point at) {
        auto element = std::make_shared<host::MarkerElement>();
        element->symbol = makeChartSymbol(values, style);
        element->setGeometry(at);
        return element;
    }

    // The chart's layout on the map, one point being one map unit.
    static BarGeometry barsOf(const host::MarkerElement& chart) {
        return barGeometry(host::barChartLayout(static_cast<const host::BarChartSymbol&>(*chart.symbol)),
                           *chart.geometry().asPoint(), 1);
    }

    ChartStyle style;
};

// Values read into one reused record: each chart's data set names the layer it was read for
// and keeps its own values when the next chart is read.
TEST_F(ChartSteps, AReusedRecordGivesEveryChartItsOwnDataSet) {
    ChartValues values;
    std::vector<std::vector<host::Variant>> sets;
    const std::tuple<const char*, host::Variant> reads[] = {
        {"Cities", 5.0}, {"Cities", host::Variant::null()}, {"Towns", 7.0}, {"Cities", 2.0}};
    for (const auto& [layerName, b] : reads) {
        host::Feature feature;
        feature.values = {host::Variant("A"), 1.0, b, 3.0};
        readChartValues(feature, {1, 2, 3}, style, layerName, state.separators, values);
        sets.push_back(std::move(values.data));
    }
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const auto& [layerName, b] = reads[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(sets[i].size(), 6u);
        EXPECT_EQ(sets[i][0], host::Variant(layerName));
        EXPECT_EQ(sets[i][4], b.isNull() ? host::Variant(kNullText) : b);
    }
}

TEST_F(ChartSteps, ReadingClampsReplacesNullsAndNamesWhatIsWrong) {
    const ChartValues v = read(12.0, host::Variant::null(), 0.5);
    EXPECT_EQ(v.bars, (std::vector<double>{10, -2, 1}));
    EXPECT_EQ(v.raw, (std::vector<double>{12, -2, 0.5}));
    EXPECT_EQ(std::tuple(v.range.vmax, v.range.vmin), std::tuple(10.0, -2.0));
    EXPECT_EQ(v.data, (std::vector<host::Variant>{host::Variant("Cities"), host::Variant(10.0), host::Variant(-2.0),
                                                  host::Variant(12.0), host::Variant("<Null>"), host::Variant(0.5)}));

    const std::tuple<host::Variant, const char*> bad[] = {
        {host::Variant("x"), "field b holds 'x', which is not a number"},
        {host::Variant(std::numeric_limits<double>::quiet_NaN()), "field b holds 'NaN', which is not a number"},
    };
    for (const auto& [value, reason] : bad) {
        SCOPED_TRACE(reason);
        try {
            read(1.0, value, 1.0);
            ADD_FAILURE() << "no failure";
        } catch (const ChartStepError& e) {
            EXPECT_EQ(e.reason(), reason);
            EXPECT_EQ(e.number(), errnum::kTypeMismatch);
        }
    }
    host::Feature feature;
    feature.values = {host::Variant("A"), 1.0};
    try {
        ChartValues values;
        readChartValues(feature, {1, -1, 1}, style, "Cities", state.separators, values);
        ADD_FAILURE() << "no failure";
    } catch (const ChartStepError& e) {
        EXPECT_EQ(e.reason(), "the layer Cities has no field b");
    }
}

TEST_F(ChartSteps, PlacingOffsetsFromTheFeatureOrAlignsTheZeroLineOnTheOldChart) {
    const host::ScreenDisplay& display = state.map->screenDisplay();
    const ChartValues v = read(10.0, -5.0, 5.0);  // 30 points high, zero line 10 up
    const auto chart = chartAt(v, {0, 0});
    const host::Envelope feature(-5, -5, 5, 5);
    style.placement = Placement::North;
    style.distance = 2;
    const host::Point north = placeChart(*chart, {0, 0}, feature, style, v.range, nullptr, display);
    EXPECT_NEAR(north.y, 5 + 2, 1e-9);
    EXPECT_NEAR(north.x, 0, 1e-9);

    // An old chart of range 0..10 whose lower left corner stands at (100, 200): its zero line
    // is its lower edge, and the new chart's zero line goes there.
    const auto old = chartAt(read(10.0, 4.0, 4.0), {100 + 9, 200});
    SetElementData(*old, std::make_shared<std::vector<std::string>>(std::vector<std::string>{kVmaxKey, kVminKey}),
                   {host::Variant(10.0), host::Variant(0.0)});
    style.placement = Placement::KeepOldPlace;
    const host::Point aligned = placeChart(*chart, {0, 0}, feature, style, v.range, old.get(), display);
    EXPECT_NEAR(aligned.x, 100 + 9, 1e-9);
    EXPECT_NEAR(aligned.y + 10, 200, 1e-9);
}

TEST_F(ChartSteps, TheGroupRefusesAChartThatIsNotFiniteAndGetsOneLabelOrMarkPerBar) {
    style.labels = LabelStyle{std::make_shared<host::TextSymbol>(), 0.1};
    const ChartValues v = read(12.0, -14.0, 0.0);  // a and b run off the range, c has no label
    const auto chart = chartAt(v, {50, 50});
    const auto group = startChartGroup(chart, barsOf(*chart), v, style, state.separators);
    EXPECT_EQ(group->element(0), chart);
    addLabelsAndMarks(*group, barsOf(*chart), v, style, runSymbols(style), 0, *ui, state.separators);
    int texts = 0;
    int lines = 0;
    for (const auto& member : group->members()) {
        texts += member->kind() == host::ElementKind::Text ? 1 : 0;
        lines += member->kind() == host::ElementKind::Line ? 1 : 0;
    }
    EXPECT_EQ(std::tuple(texts, lines), std::tuple(2, 2));

    style.size = std::numeric_limits<double>::infinity();
    const auto huge = chartAt(v, {50, 50});
    try {
        startChartGroup(huge, barsOf(*huge), v, style, state.separators);
        ADD_FAILURE() << "no failure";
    } catch (const ChartStepError& e) {
        EXPECT_EQ(e.reason().rfind("the chart's size or place is not a finite number (range 1 to 10, size ", 0), 0u)
            << e.reason();
    }
}

}  // namespace
}  // namespace kartoplot::engine
