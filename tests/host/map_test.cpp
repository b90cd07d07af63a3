#include "host/map.h"

#include <gtest/gtest.h>

#include "errors/error_handling.h"

namespace kartoplot::host {
namespace {

std::shared_ptr<FeatureLayer> pointLayer(const std::string& name) {
    auto fc = std::make_shared<FeatureClass>(name, GeometryType::Point);
    fc->createFeature(Point{1, 2}, {});
    fc->createFeature(Point{11, -2}, {});
    return std::make_shared<FeatureLayer>(name, fc);
}

TEST(Map, UnitsFollowTheSpatialReferenceNewLayersGoOnTopGroupsCountForTheExtent) {
    Map map;
    map.setSpatialReference(
        std::make_shared<SpatialReference>("WGS 84", "GEOGCS[...]", MapUnits::Degrees));
    EXPECT_EQ(map.mapUnits(), MapUnits::Degrees);
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

TEST(Map, ActiveGraphicsLayerFallsBackToTheBasicLayer) {
    Map map;
    EXPECT_EQ(map.activeGraphicsLayer(), map.basicGraphicsLayerPtr());
    map.setActiveGraphicsLayer(map.basicGraphicsLayer().addLayer("Cities_charts"));
    map.setActiveGraphicsLayer(nullptr);
    EXPECT_EQ(map.activeGraphicsLayer()->name(), "<Default>");
}

TEST(Document, ActiveViewIsTheFocusMapWhichTellsOfEachRefresh) {
    MapDocument doc;
    EXPECT_EQ(&doc.activeView(), doc.focusMap().get());
    const auto before = doc.activeView().refreshCount();
    int heard = 0;
    Connection c = doc.activeView().refreshed().connect([&] { ++heard; });
    doc.activeView().refresh();
    EXPECT_EQ(doc.activeView().refreshCount(), before + 1);
    EXPECT_EQ(heard, 1);
    EXPECT_THROW(doc.setFocusMap(std::make_shared<Map>()), HostError) << "not one of its maps";
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
    PageLayout page;  // millimetres until a page is set
    EXPECT_NEAR(page.screenDisplay().transformation().pointsToMapDistance(72), 25.4, 1e-12);
    page.setPage(8.5, 11, MapUnits::Inches);
    EXPECT_NEAR(page.screenDisplay().transformation().pointsToMapDistance(72), 1.0, 1e-12);
}

}  // namespace
}  // namespace kartoplot::host
