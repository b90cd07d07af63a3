#include "engine/graphics_layers.h"

#include "engine_fixture.h"

namespace kartoplot::engine {
namespace {

using GraphicsLayers = testing::EngineFixture;

std::vector<std::string> names(const std::vector<std::shared_ptr<host::FeatureLayer>>& layers) {
    std::vector<std::string> out;
    for (const auto& l : layers) {
        out.push_back(l->name());
    }
    return out;
}

TEST_F(GraphicsLayers, CreateModeReplacesAnExistingChartLayerWithAnEmptyOne) {
    auto cities = addCities({{"Oslo", {0, 0}, 1.0, 2.0, 3.0}});
    state.map->setReferenceScale(50000);
    auto old = state.map->basicGraphicsLayer().addLayer("Cities_charts");
    old->addElement(std::make_shared<host::MarkerElement>());

    const auto made = CreateChartGraphicsLayer(state, *cities, false, "_charts", 1, "");
    ASSERT_TRUE(made.ok);
    EXPECT_NE(made.target, old);
    EXPECT_EQ(made.target->name(), "Cities_charts");
    EXPECT_EQ(made.target->elementCount(), 0);
    EXPECT_EQ(made.target->referenceScale(), 50000);
    EXPECT_EQ(state.map->activeGraphicsLayer(), made.target);
    EXPECT_EQ(state.map->basicGraphicsLayer().layerCount(), 1);
    EXPECT_TRUE(ui->messages.empty());
}

TEST_F(GraphicsLayers, RecreateModeKeepsTheLayerOrMakesOneAtTheCurrentScale) {
    auto cities = addCities({});
    const auto first = CreateChartGraphicsLayer(state, *cities, true, "_charts", -1, "");
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.target->referenceScale(), state.map->mapScale()) << "no reference scale";
    first.target->addElement(std::make_shared<host::MarkerElement>());
    state.map->setActiveGraphicsLayer(nullptr);
    const auto again = CreateChartGraphicsLayer(state, *cities, true, "_charts", -1, "");
    EXPECT_EQ(again.target, first.target);
    EXPECT_EQ(again.target->elementCount(), 1);
    EXPECT_EQ(state.map->activeGraphicsLayer(), first.target);
}

TEST_F(GraphicsLayers, OverLayerPlacementNeedsTheNamedLayer) {
    auto cities = addCities({});
    const auto missing = CreateChartGraphicsLayer(state, *cities, true, "_charts", -2, "Old_charts");
    EXPECT_FALSE(missing.ok);
    ASSERT_EQ(ui->messages.size(), 1u);
    using language::SharedMessage;
    EXPECT_EQ(ui->messages[0].text, state.messages.text(SharedMessage::AnnotationLayerNotExist) + "Old_charts");
    EXPECT_EQ(ui->messages[0].title, state.messages.text(SharedMessage::RefreshChartsTitle));
    EXPECT_EQ(ui->messages[0].icon, host::MessageIcon::Exclamation);

    auto oldLayer = state.map->basicGraphicsLayer().addLayer("Old_charts");
    const auto found = CreateChartGraphicsLayer(state, *cities, true, "_charts", -2, "Old_charts");
    EXPECT_TRUE(found.ok);
    EXPECT_EQ(found.oldCharts, oldLayer);
}

TEST_F(GraphicsLayers, ExistsAndDeleteCompareNamesExactly) {
    state.map->basicGraphicsLayer().addLayer("Cities_charts");
    EXPECT_TRUE(GraphicsLayerExists(state, "Cities_charts"));
    EXPECT_FALSE(GraphicsLayerExists(state, "cities_charts"));
    EXPECT_FALSE(DeleteGraphicLayer(state, "cities_charts"));
    EXPECT_TRUE(DeleteGraphicLayer(state, "Cities_charts"));
    EXPECT_FALSE(GraphicsLayerExists(state, "Cities_charts"));
    EXPECT_TRUE(GetGraphicsLayers(state).empty());
}

TEST_F(GraphicsLayers, AddGraphicsLayerReportsAFailureWithTheLayerName) {
    EXPECT_TRUE(AddGraphicsLayer(state, "A_charts", *state.map, false));
    EXPECT_EQ(state.map->activeGraphicsLayer()->name(), "<Default>");
    EXPECT_FALSE(AddGraphicsLayer(state, "A_charts", *state.map, true));
    ASSERT_EQ(ui->messages.size(), 1u);
    EXPECT_NE(ui->messages[0].text.find("\nAnnotation layer not created A_charts"), std::string::npos);
    state.messages.load("Русский");
    EXPECT_FALSE(AddGraphicsLayer(state, "", *state.map, true));
    EXPECT_NE(ui->messages[1].text.find("\nНе создан графический слой "), std::string::npos);
}

TEST_F(GraphicsLayers, MapLayersDescendIntoGroupsAndFilterPoints) {
    addCities({}, "Towns");
    auto group = std::make_shared<host::GroupLayer>("Group");
    auto areas = std::make_shared<host::FeatureClass>("Lakes", host::GeometryType::Polygon);
    group->add(std::make_shared<host::FeatureLayer>("Lakes", areas));
    auto inner = std::make_shared<host::FeatureClass>("Wells", host::GeometryType::Point);
    group->add(std::make_shared<host::FeatureLayer>("Wells", inner));
    state.map->addLayer(group);
    EXPECT_EQ(names(GetMapLayers(state, true)), (std::vector<std::string>{"Wells", "Towns"}));
    EXPECT_EQ(names(GetMapLayers(state, false)),
              (std::vector<std::string>{"Lakes", "Wells", "Towns"}));
}

}  // namespace
}  // namespace kartoplot::engine
