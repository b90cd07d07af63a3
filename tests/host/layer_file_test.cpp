// Layer files: every layer and renderer kind written and read back through a file, data
// sources found again relative to the layer file after both were moved, all-or-nothing
// opening when a source is missing, and refusals of what a layer file cannot hold.
#include "host/layer_file.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "errors/error_handling.h"
#include "tests/host/persistence_samples.h"

namespace kartoplot::host {
namespace {

using namespace samples;

std::shared_ptr<ChartRenderer> chartRenderer(std::vector<std::string> fields) {
    auto renderer = std::static_pointer_cast<ChartRenderer>(sampleOf("ChartRenderer"));
    renderer->fieldNames = std::move(fields);
    return renderer;
}

using LayerFileTest = DataFolderTest;

TEST_F(LayerFileTest, EveryLayerAndRendererKindComesBackAsItWasWritten) {
    const auto simple = std::static_pointer_cast<SimpleRenderer>(sampleOf("SimpleRenderer"));
    auto hidden = layerOn("maps/towns.gpkg", "Towns", chartRenderer({"pop", "area"}));
    hidden->setVisible(false);
    hidden->setDefinitionQuery("\"pop\" >= 5");
    auto inner = std::make_shared<GroupLayer>("Inner");
    inner->add(layerOn("maps/data/cities.geojson", "Cities", simple));
    auto outer = std::make_shared<GroupLayer>("Outer");
    outer->add(inner);
    outer->add(hidden);
    outer->setVisible(false);

    const std::pair<const char*, std::shared_ptr<Layer>> cases[] = {
        {"simple renderer", layerOn("maps/data/cities.geojson", "Cities", simple)},
        {"no renderer", layerOn("maps/towns.gpkg", "Towns")},
        {"hidden, chart renderer, definition query", hidden},
        {"nested groups", outer},
    };
    const std::string file = path("maps/saved.lyr");
    for (const auto& [what, layer] : cases) {
        SCOPED_TRACE(what);
        writeLayerFile(*layer, file);
        const auto read = readLayerFile(file, *loader);
        ASSERT_TRUE(read);
        // Records are compared by value: what was written is what was read.
        EXPECT_TRUE(equalObjects(layerRecord(*layer, file).get(), layerRecord(*read, file).get(), layerFileClasses()));
        EXPECT_EQ(read->visible(), layer->visible());
        if (const auto* feature = dynamic_cast<const FeatureLayer*>(read.get())) {
            const auto& original = dynamic_cast<const FeatureLayer&>(*layer);
            EXPECT_EQ(fs::path(feature->dataSource().path), fs::path(original.dataSource().path));
            EXPECT_EQ(feature->featureClass()->featureCount(), 2);
            if (original.renderer()) {
                EXPECT_NE(feature->renderer(), original.renderer()) << "the layer has its own renderer";
            }
        }
    }
    EXPECT_EQ(loader->asked.back(), path("maps/towns.gpkg") + "|\"pop\" >= 5|") << "the query reaches the reader";
}

TEST_F(LayerFileTest, SourcesAreStoredRelativeAndFoundAgainAfterTheFolderMoved) {
    const std::string folder = path("maps");
    const std::string data = path("maps/data/cities.geojson");
    fs::create_directories(root / "other");
    const std::tuple<std::string, std::string, std::string> stored[] = {
        {data, folder, "data/cities.geojson"},
        {path("maps/towns.gpkg"), folder, "towns.gpkg"},
        {data, path("other"), "../maps/data/cities.geojson"},
        {"/vsizip/a.zip/b.shp", folder, "/vsizip/a.zip/b.shp"},
        {"PG:dbname=gis", folder, "PG:dbname=gis"},
        {path("absent.shp"), folder, path("absent.shp")},
    };
    for (const auto& [source, from, expected] : stored) {
        SCOPED_TRACE(source);
        EXPECT_EQ(storedSourcePath(source, from), expected);
        if (fs::path(expected).is_relative() && expected.find(':') == std::string::npos) {
            EXPECT_EQ(fs::path(resolvedSourcePath(expected, from)).lexically_normal(), fs::path(source).lexically_normal());
        }
    }
    EXPECT_EQ(resolvedSourcePath("/data/x.shp", folder), "/data/x.shp");

    // The layer file and its data move together: the relative path still leads to the data.
    writeLayerFile(*layerOn("maps/data/cities.geojson", "Cities"), path("maps/c.lyr"));
    fs::rename(root / "maps", root / "moved");
    loader->classes[path("moved/data/cities.geojson")] = cities();
    const auto layer = std::dynamic_pointer_cast<FeatureLayer>(readLayerFile(path("moved/c.lyr"), *loader));
    ASSERT_TRUE(layer);
    EXPECT_EQ(fs::path(layer->dataSource().path), fs::path(path("moved/data/cities.geojson")));
}

TEST_F(LayerFileTest, OpeningWithAMissingSourceNamesItAndChangesNothing) {
    const std::string file = path("maps/group.lyr");
    auto group = std::make_shared<GroupLayer>("Both");
    group->add(layerOn("maps/towns.gpkg", "Towns"));
    group->add(layerOn("maps/data/cities.geojson", "Cities"));
    writeLayerFile(*group, file);

    LayerFile layerFile(loader);
    layerFile.open(file);
    const auto before = layerFile.layer();
    loader->classes.erase(path("maps/data/cities.geojson"));
    try {
        layerFile.open(file);
        FAIL() << "a layer file whose data is missing opened";
    } catch (const HostError& e) {
        EXPECT_NE(e.description().find(path("maps/data/cities.geojson")), std::string::npos) << e.description();
    }
    EXPECT_EQ(layerFile.layer(), before);
    EXPECT_EQ(layerFile.path(), file);
}

TEST_F(LayerFileTest, RefusesWhatALayerFileCannotHoldOrDoesNotHold) {
    const std::string file = path("maps/bad.lyr");
    // A layer made in memory has no file to refer to: nothing is written.
    EXPECT_THROW(writeLayerFile(FeatureLayer("Memory", cities()), file), HostError);
    EXPECT_FALSE(fs::exists(file));

    // A chart field the data lacks is found at opening, not at drawing.
    writeLayerFile(*layerOn("maps/towns.gpkg", "Towns", chartRenderer({"pop", "name"})), file);
    try {
        readLayerFile(file, *loader);
        FAIL() << "a chart renderer over a text field opened";
    } catch (const HostError& e) {
        EXPECT_NE(e.description().find("name is not numeric"), std::string::npos) << e.description();
    }

    // Another file kind of the same container, and every cut of a good file, hold no layer.
    writePropertySetFile(PropertySet(), path("maps/set.par"));
    EXPECT_THROW(readLayerFileRecord(path("maps/set.par")), HostError);
    const std::string bytes = encodeLayerFile(*layerOn("maps/towns.gpkg", "Towns", chartRenderer({"pop"})), file);
    for (std::size_t cut = 0; cut < bytes.size(); cut += 7) {
        SCOPED_TRACE(cut);
        EXPECT_THROW(decodeLayerFile(std::string_view(bytes).substr(0, cut), "cut"), HostError);
    }
    EXPECT_TRUE(decodeLayerFile(bytes, "whole"));
}

}  // namespace
}  // namespace kartoplot::host
