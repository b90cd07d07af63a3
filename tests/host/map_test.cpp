#include "host/map.h"

#include <gtest/gtest.h>

#include "command/error_handling.h"

namespace kartoplot::host {
namespace {

std::shared_ptr<FeatureLayer> pointLayer(const std::string& name) {
    auto fc = std::make_shared<FeatureClass>(name, GeometryType::Point);
    fc->createFeature(Point{1, 2}, {});
    fc->createFeature(Point{11, -2}, {});
    return std::make_shared<FeatureLayer>(name, fc);
}

TEST(Map, NewLayersGoOnTopAndGroupsCountForTheExtent) {
    Map map;
    map.addLayer(pointLayer("Land"));
    auto group = std::make_shared<GroupLayer>("Group");
    group->add(pointLayer("Far"));
    std::static_pointer_cast<FeatureLayer>(group->layer(0))->featureClass()->createFeature(
        Point{100, 100}, {});
    map.addLayer(group);
    EXPECT_EQ(map.layer(0)->name(), "Group");
    EXPECT_EQ(map.layer(1)->name(), "Land");
    EXPECT_THROW(map.layer(2), HostError);
    EXPECT_EQ(map.fullExtent(), Envelope(1, -2, 100, 100));
    group->setVisible(false);
    EXPECT_EQ(map.fullExtent(), Envelope(1, -2, 11, 2));
}

TEST(Map, ScalesAndUnitsLiveOnItsDisplay) {
    Map map;
    map.setMapScale(250000);
    map.setReferenceScale(100000);
    EXPECT_EQ(map.screenDisplay().transformation().scale(), 250000);
    EXPECT_EQ(map.screenDisplay().transformation().referenceScale(), 100000);
    map.setSpatialReference(std::make_shared<SpatialReference>("WGS 84", "GEOGCS[...]",
                                                                MapUnits::Degrees));
    EXPECT_EQ(map.mapUnits(), MapUnits::Degrees);
    EXPECT_TRUE(map.spatialReference()->isGeographic());
}

TEST(Map, ActiveGraphicsLayerDefaultsToTheBasicLayer) {
    Map map;
    EXPECT_EQ(map.activeGraphicsLayer(), map.basicGraphicsLayerPtr());
    auto charts = map.basicGraphicsLayer().addLayer("Cities_charts");
    map.setActiveGraphicsLayer(charts);
    EXPECT_EQ(map.activeGraphicsLayer(), charts);
    map.setActiveGraphicsLayer(nullptr);
    EXPECT_EQ(map.activeGraphicsLayer()->name(), "<Default>");
}

TEST(Map, GraphicsSelectionKeepsOrderWithoutDuplicates) {
    Map map;
    auto a = std::make_shared<TextElement>();
    auto b = std::make_shared<TextElement>();
    map.selectElement(a);
    map.selectElement(b);
    map.selectElement(a);
    EXPECT_EQ(map.elementSelectionCount(), 2);
    map.setCurrentElement(*b);
    EXPECT_EQ(map.selectedElement(0), b);
    map.unselectElement(*b);
    EXPECT_EQ(map.selectedElement(0), a);
    EXPECT_THROW(map.selectedElement(1), HostError);
}

TEST(Document, ActiveViewSwitchesBetweenFocusMapAndPageLayout) {
    MapDocument doc;
    EXPECT_FALSE(doc.activeView().isPageLayout());
    EXPECT_EQ(&doc.activeView(), doc.focusMap().get());
    doc.showPageLayout(true);
    EXPECT_TRUE(doc.activeView().isPageLayout());
    const auto before = doc.activeView().refreshCount();
    int heard = 0;
    Connection c = doc.activeView().refreshed().connect([&] { ++heard; });
    doc.activeView().partialRefresh(DrawPhase::GraphicSelection, Envelope(0, 0, 1, 1));
    EXPECT_EQ(doc.activeView().refreshCount(), before + 1);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(doc.activeView().lastRefreshPhase(), DrawPhase::GraphicSelection);
    EXPECT_THROW(doc.setFocusMap(std::make_shared<Map>()), HostError);
}

TEST(Application, TheLastTemplateIsTheDocumentsPath) {
    Application app;
    auto doc = std::make_shared<MapDocument>();
    doc->setPath("/maps/world.kpm");
    app.setDocument(doc);
    EXPECT_EQ(app.templates().back(), "/maps/world.kpm");
    app.setDocument(std::make_shared<MapDocument>());
    EXPECT_EQ(app.templates().size(), 1u) << "an unsaved document adds no path";
}

TEST(PageLayout, PointsBecomePageUnits) {
    PageLayout page;
    EXPECT_NEAR(page.screenDisplay().transformation().pointsToMapDistance(72), 25.4, 1e-12);
    page.setPage(8.5, 11, MapUnits::Inches);
    EXPECT_NEAR(page.screenDisplay().transformation().pointsToMapDistance(72), 1.0, 1e-12);
}

}  // namespace
}  // namespace kartoplot::host
