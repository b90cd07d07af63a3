// Layer files: every layer and renderer kind written and read back through a file, data
// sources found again relative to the layer file after both were moved, all-or-nothing
// opening when a source is missing, and refusals of what a layer file cannot hold.
#include "host/layer_file.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "errors/error_handling.h"
#include "host/map.h"

namespace kartoplot::host {
namespace {

namespace fs = std::filesystem;

// Hands out feature classes by path, as a file reader would read them; counts its calls.
class MemoryLoader final : public DataSourceLoader {
public:
    LoadedSource load(const DataSource& source, const std::string& definitionQuery) const override {
        ++calls;
        queries.push_back(definitionQuery);
        const auto found = classes.find(fs::path(source.path).lexically_normal().string());
        if (found == classes.end()) {
            return {nullptr, "The data source " + source.path + " does not exist."};
        }
        return {found->second, ""};
    }
    std::map<std::string, std::shared_ptr<FeatureClass>> classes;
    mutable int calls = 0;
    mutable std::vector<std::string> queries;
};

std::shared_ptr<FeatureClass> cities() {
    auto fc = std::make_shared<FeatureClass>("cities", GeometryType::Point);
    fc->addField({"pop", "", FieldType::Double, 0});
    fc->addField({"area", "", FieldType::Integer, 0});
    fc->addField({"name", "", FieldType::String, 20});
    fc->createFeature(Point{1, 2}, {Variant(5.0), Variant(std::int32_t{3}), Variant("a")});
    return fc;
}

std::shared_ptr<ChartRenderer> chartRenderer(std::vector<std::string> fields) {
    auto chart = std::make_shared<BarChartSymbol>();
    for (std::uint8_t i = 0; i < fields.size(); ++i) {
        auto fill = std::make_shared<SimpleFillSymbol>();
        fill->color = Color{static_cast<std::uint8_t>(60 * i), 10, 20};
        chart->symbols.add(fill);
    }
    chart->maxValue = 12.5;
    chart->size = 30;
    chart->display3D = true;
    chart->thickness = 4;
    auto renderer = std::make_shared<ChartRenderer>();
    renderer->chartSymbol = chart;
    renderer->fieldNames = std::move(fields);
    renderer->label = "Label";
    return renderer;
}

class LayerFileTest : public ::testing::Test {
protected:
    LayerFileTest() {
        fs::remove_all(root);
        fs::create_directories(root / "maps" / "data");
        for (const char* name : {"maps/data/cities.geojson", "maps/towns.gpkg"}) {
            std::ofstream(root / name) << "{}";
            loader->classes[(root / name).lexically_normal().string()] = cities();
        }
    }
    ~LayerFileTest() override { fs::remove_all(root); }

    std::shared_ptr<FeatureLayer> layerOn(const std::string& file, std::shared_ptr<FeatureRenderer> renderer) {
        const std::string path = (root / file).string();
        auto layer = std::make_shared<FeatureLayer>("Cities", loader->classes.at(path));
        layer->setDataSource({path, "cities"});
        layer->setRenderer(std::move(renderer));
        return layer;
    }

    // Records are compared by value: what was written is what was read.
    static bool sameRecord(const Layer& a, const Layer& b, const std::string& path) {
        return equalObjects(layerRecord(a, path).get(), layerRecord(b, path).get(), layerFileClasses());
    }

    fs::path root = fs::temp_directory_path() / ("kp-lyr-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::shared_ptr<MemoryLoader> loader = std::make_shared<MemoryLoader>();
};

TEST_F(LayerFileTest, EveryLayerAndRendererKindComesBackAsItWasWritten) {
    auto simple = std::make_shared<SimpleRenderer>();
    auto marker = std::make_shared<SimpleMarkerSymbol>();
    marker->size = 7;
    simple->symbol = marker;
    simple->label = "Towns";

    auto hidden = layerOn("maps/towns.gpkg", chartRenderer({"pop", "area"}));
    hidden->setVisible(false);
    hidden->setDefinitionQuery("\"pop\" >= 5");
    auto inner = std::make_shared<GroupLayer>("Inner");
    inner->add(layerOn("maps/data/cities.geojson", simple));
    auto outer = std::make_shared<GroupLayer>("Outer");
    outer->add(inner);
    outer->add(hidden);
    outer->setVisible(false);

    const std::pair<const char*, std::shared_ptr<Layer>> cases[] = {
        {"simple renderer", layerOn("maps/data/cities.geojson", simple)},
        {"chart renderer", layerOn("maps/data/cities.geojson", chartRenderer({"pop", "area"}))},
        {"no renderer", layerOn("maps/towns.gpkg", nullptr)},
        {"hidden, with a definition query", hidden},
        {"nested groups", outer},
    };
    for (const auto& [what, layer] : cases) {
        SCOPED_TRACE(what);
        const std::string path = (root / "maps" / "saved.lyr").string();
        writeLayerFile(*layer, path);
        const auto read = readLayerFile(path, *loader);
        ASSERT_TRUE(read);
        EXPECT_TRUE(sameRecord(*layer, *read, path));
        EXPECT_EQ(read->visible(), layer->visible());
        if (const auto* feature = dynamic_cast<const FeatureLayer*>(read.get())) {
            const auto& original = dynamic_cast<const FeatureLayer&>(*layer);
            EXPECT_EQ(fs::path(feature->dataSource().path), fs::path(original.dataSource().path));
            EXPECT_EQ(feature->featureClass()->featureCount(), 1);
            if (original.renderer()) {
                EXPECT_NE(feature->renderer(), original.renderer()) << "the layer has its own renderer";
            }
        }
    }
    EXPECT_EQ(loader->queries.back(), "\"pop\" >= 5") << "the definition query reaches the reader";
}

TEST_F(LayerFileTest, SourcesAreStoredRelativeAndFoundAgainAfterTheFolderMoved) {
    const std::string folder = (root / "maps").string();
    const std::string data = (root / "maps" / "data" / "cities.geojson").string();
    const std::pair<std::string, std::string> stored[] = {
        {data, "data/cities.geojson"},
        {(root / "maps" / "towns.gpkg").string(), "towns.gpkg"},
        {data, "../maps/data/cities.geojson"},  // from the sibling folder below
        {"/vsizip/a.zip/b.shp", "/vsizip/a.zip/b.shp"},
        {"PG:dbname=gis", "PG:dbname=gis"},
        {(root / "absent.shp").string(), (root / "absent.shp").string()},
    };
    fs::create_directories(root / "other");
    for (std::size_t i = 0; i < std::size(stored); ++i) {
        const auto& [source, expected] = stored[i];
        SCOPED_TRACE(source);
        const std::string from = i == 2 ? (root / "other").string() : folder;
        EXPECT_EQ(storedSourcePath(source, from), expected);
        if (fs::path(expected).is_relative() && expected.find(':') == std::string::npos) {
            EXPECT_EQ(fs::path(resolvedSourcePath(expected, from)).lexically_normal(),
                      fs::path(source).lexically_normal());
        }
    }
    EXPECT_EQ(resolvedSourcePath("/data/x.shp", folder), "/data/x.shp");

    // The layer file and its data move together: the relative path still leads to the data.
    writeLayerFile(*layerOn("maps/data/cities.geojson", nullptr), (root / "maps" / "c.lyr").string());
    fs::rename(root / "maps", root / "moved");
    const std::string moved = (root / "moved" / "data" / "cities.geojson").string();
    loader->classes[moved] = cities();
    const auto layer = std::dynamic_pointer_cast<FeatureLayer>(readLayerFile((root / "moved" / "c.lyr").string(), *loader));
    ASSERT_TRUE(layer);
    EXPECT_EQ(fs::path(layer->dataSource().path), fs::path(moved));
}

TEST_F(LayerFileTest, OpeningWithAMissingSourceNamesItAndChangesNothing) {
    const std::string path = (root / "maps" / "group.lyr").string();
    auto group = std::make_shared<GroupLayer>("Both");
    group->add(layerOn("maps/towns.gpkg", nullptr));
    group->add(layerOn("maps/data/cities.geojson", nullptr));
    writeLayerFile(*group, path);

    LayerFile file(loader);
    file.open(path);
    const auto before = file.layer();
    loader->classes.erase((root / "maps" / "data" / "cities.geojson").string());
    try {
        file.open(path);
        FAIL() << "a layer file whose data is missing opened";
    } catch (const HostError& e) {
        EXPECT_NE(e.description().find((root / "maps" / "data" / "cities.geojson").string()), std::string::npos)
            << e.description();
    }
    EXPECT_EQ(file.layer(), before);
    EXPECT_EQ(file.path(), path);
}

TEST_F(LayerFileTest, RefusesWhatALayerFileCannotHoldOrDoesNotHold) {
    const std::string path = (root / "maps" / "bad.lyr").string();
    // A layer made in memory has no file to refer to: nothing is written.
    const FeatureLayer memory("Memory", cities());
    EXPECT_THROW(writeLayerFile(memory, path), HostError);
    EXPECT_FALSE(fs::exists(path));

    // A chart field the data lacks is found at opening, not at drawing.
    writeLayerFile(*layerOn("maps/towns.gpkg", chartRenderer({"pop", "name"})), path);
    try {
        readLayerFile(path, *loader);
        FAIL() << "a chart renderer over a text field opened";
    } catch (const HostError& e) {
        EXPECT_NE(e.description().find("name is not numeric"), std::string::npos) << e.description();
    }

    // Another file kind of the same container, and every cut of a good file, hold no layer.
    const std::string set = (root / "maps" / "set.par").string();
    writePropertySetFile(PropertySet(), set);
    EXPECT_THROW(readLayerFileRecord(set), HostError);
    const std::string bytes = encodeLayerFile(*layerOn("maps/towns.gpkg", chartRenderer({"pop"})), path);
    for (std::size_t cut = 0; cut < bytes.size(); cut += 7) {
        SCOPED_TRACE(cut);
        EXPECT_THROW(decodeLayerFile(std::string_view(bytes).substr(0, cut), "cut"), HostError);
    }
    EXPECT_TRUE(decodeLayerFile(bytes, "whole"));
}

}  // namespace
}  // namespace kartoplot::host
