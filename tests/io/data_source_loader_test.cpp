// The file reader behind layer files: a named layer read under its definition query, and
// failures as sentences that name the source.
#include "io/data_source_loader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "io/vector_import.h"

namespace kartoplot::io {
namespace {

namespace fs = std::filesystem;

class DataSourceLoaderTest : public ::testing::Test {
protected:
    DataSourceLoaderTest() {
        fs::create_directories(dir);
        std::ofstream(path) << R"({"type":"FeatureCollection","features":[)"
                            << R"({"type":"Feature","properties":{"n":"a","v":1},"geometry":{"type":"Point","coordinates":[1,2]}},)"
                            << R"({"type":"Feature","properties":{"n":"b","v":7},"geometry":{"type":"Point","coordinates":[3,4]}},)"
                            << R"({"type":"Feature","properties":{"n":"c","v":9},"geometry":{"type":"Point","coordinates":[5,6]}}]})";
    }
    ~DataSourceLoaderTest() override { fs::remove_all(dir); }

    fs::path dir = fs::temp_directory_path() / ("kp-loader-" + std::to_string(::getpid()));
    std::string path = (dir / "points.geojson").string();
    FileDataSourceLoader loader;
};

TEST_F(DataSourceLoaderTest, ReadsTheNamedLayerUnderItsDefinitionQuery) {
    const struct {
        std::string layer;
        std::string query;
        std::int64_t features;
    } cases[] = {{"", "", 3}, {"points", "", 3}, {"points", "v >= 7", 2}, {"", "n = 'b'", 1}, {"", "v > 100", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layer + " / " + c.query);
        const host::LoadedSource loaded = loader.load({path, c.layer}, c.query);
        ASSERT_TRUE(loaded.ok()) << loaded.error;
        EXPECT_EQ(loaded.featureClass->featureCount(), c.features);
    }
    // An import says where its layers came from, so that a layer file can refer to them.
    ImportOptions options;
    options.attributeFilter = "v = 9";
    const ImportResult imported = importVectorFile(path, options);
    ASSERT_TRUE(imported.ok()) << imported.error;
    EXPECT_EQ(imported.layers[0]->dataSource(), (host::DataSource{path, "points"}));
    EXPECT_EQ(imported.layers[0]->definitionQuery(), "v = 9");
}

TEST_F(DataSourceLoaderTest, FailuresAreSentencesNamingTheSource) {
    const struct {
        host::DataSource source;
        std::string query;
        std::string said;
    } cases[] = {
        {{(dir / "gone.geojson").string(), ""}, "", (dir / "gone.geojson").string() + " of a layer file does not exist"},
        {{path, "nothere"}, "", "no layer named \"nothere\""},
        {{path, ""}, "v >>> 1", "is not valid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        const host::LoadedSource loaded = loader.load(c.source, c.query);
        EXPECT_FALSE(loaded.ok());
        EXPECT_FALSE(loaded.featureClass);
        EXPECT_NE(loaded.error.find(c.said), std::string::npos) << loaded.error;
    }
}

}  // namespace
}  // namespace kartoplot::io
