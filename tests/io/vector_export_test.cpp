#include "io/vector_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/map.h"
#include "io/vector_import.h"

namespace kartoplot::io {
namespace {

namespace fs = std::filesystem;
using host::Variant;

class VectorExport : public ::testing::Test {
protected:
    VectorExport() {
        dir = fs::temp_directory_path() /
              ("kartoplot-export-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
    }
    ~VectorExport() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::set<std::string> files() const {
        std::set<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir)) {
            out.insert(entry.path().filename().string());
        }
        return out;
    }
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Towns: NAME (text), pop (integer), share (double, one null), code (short); three points
    // in WGS 84 (the import reads that system's definition back from every format).
    static std::shared_ptr<host::FeatureLayer> towns() {
        auto fc = std::make_shared<host::FeatureClass>("towns", host::GeometryType::Point);
        fc->setSpatialReference(std::make_shared<host::SpatialReference>(
            "WGS 84", "EPSG:4326", host::MapUnits::Degrees));
        fc->addField({"NAME", "", host::FieldType::String, 30});
        fc->addField({"pop", "", host::FieldType::Integer, 0});
        fc->addField({"share", "", host::FieldType::Double, 0});
        fc->addField({"code", "", host::FieldType::SmallInteger, 0});
        fc->createFeature(host::Point{37.62, 55.75}, {"Москва", std::int32_t{12600000}, 0.125,
                                                     std::int16_t{1}});
        fc->createFeature(host::Point{30.31, 59.94}, {"Saint Petersburg", std::int32_t{5400000},
                                                     Variant::null(), std::int16_t{2}});
        fc->createFeature(host::Point{-0.5, -1.25}, {"Nowhere", std::int32_t{0}, -3.5,
                                                    std::int16_t{-7}});
        return std::make_shared<host::FeatureLayer>("towns", fc);
    }

    fs::path dir;
};

// The same values come back from each of the three formats (numbers compared as numbers:
// each format keeps its own integer widths).
TEST_F(VectorExport, FieldsValuesAndPointsRoundTripThroughEveryFormat) {
    const auto layer = towns();
    const host::FeatureClass& source = *layer->featureClass();
    for (const char* name : {"towns.gpkg", "towns.geojson", "towns.shp"}) {
        SCOPED_TRACE(name);
        const ExportResult written = exportFeatureLayer(*layer, path(name));
        ASSERT_TRUE(written.ok()) << written.error;
        const ImportResult read = importVectorFile(path(name));
        ASSERT_TRUE(read.ok()) << read.error;
        ASSERT_EQ(read.layers.size(), 1U);
        const host::FeatureClass& back = *read.layers[0]->featureClass();
        ASSERT_NE(back.spatialReference(), nullptr);
        EXPECT_TRUE(back.spatialReference()->isGeographic());
        ASSERT_EQ(back.featureCount(), source.featureCount());
        const auto expected = source.search();
        const auto actual = back.search();
        while (const host::Feature* want = expected->nextFeature()) {
            const host::Feature* got = actual->nextFeature();
            ASSERT_NE(got, nullptr);
            SCOPED_TRACE(want->oid);
            EXPECT_EQ(got->shape, want->shape);
            for (const char* field : {"NAME", "pop", "share", "code"}) {
                SCOPED_TRACE(field);
                const int from = source.findField(field);
                const int to = back.findField(field);
                ASSERT_NE(to, -1);
                const Variant& a = want->value(from);
                const Variant& b = got->value(to);
                if (a.isNull() || a.isText()) {
                    EXPECT_EQ(b, a);
                } else {
                    ASSERT_TRUE(b.isNumber()) << b;
                    EXPECT_EQ(b.toDouble(), a.toDouble());
                }
            }
        }
    }
    // No temporary is left beside the files.
    EXPECT_EQ(files(), (std::set<std::string>{"towns.gpkg", "towns.geojson", "towns.shp",
                                              "towns.shx", "towns.dbf", "towns.prj", "towns.cpg"}));
}

// The vertices of a shape as a sorted list, ring or path order and direction aside (a Shapefile
// turns outer rings clockwise).
std::vector<std::pair<double, double>> vertices(const host::Geometry& shape) {
    std::vector<std::pair<double, double>> out;
    const auto take = [&](const std::vector<std::vector<host::Point>>& parts) {
        for (const auto& part : parts) {
            for (const host::Point& p : part) {
                out.emplace_back(p.x, p.y);
            }
        }
    };
    if (const host::Polygon* area = shape.asPolygon()) {
        take(area->rings);
    } else if (const host::Polyline* line = shape.asPolyline()) {
        take(line->paths);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::size_t partCount(const host::Geometry& shape) {
    if (const host::Polygon* area = shape.asPolygon()) {
        return area->rings.size();
    }
    return shape.asPolyline() != nullptr ? shape.asPolyline()->paths.size() : 0;
}

// Areas with holes and several parts (the sample land) and lines of two paths keep every ring
// and path with its vertices in every format.
TEST_F(VectorExport, AreasAndLinesKeepEveryRingAndPath) {
    const ImportResult land = importVectorFile(std::string(KARTOPLOT_DATA_DIR) + "/land.geojson");
    ASSERT_TRUE(land.ok()) << land.error;
    auto roads = std::make_shared<host::FeatureClass>("roads", host::GeometryType::Polyline);
    roads->createFeature(host::Polyline{{{{0, 0}, {1, 1}, {2, 0}}, {{5, 5}, {6, 7}}}}, {});
    roads->createFeature(host::Polyline{{{{-1, -1}, {-2, -3}}}}, {});
    const std::shared_ptr<host::FeatureLayer> layers[] = {
        land.layers.at(0), std::make_shared<host::FeatureLayer>("roads", roads)};
    for (const auto& layer : layers) {
        for (const char* ending : {".gpkg", ".geojson", ".shp"}) {
            SCOPED_TRACE(layer->name() + ending);
            const std::string file = path(layer->name() + "-copy" + ending);
            const ExportResult written = exportFeatureLayer(*layer, file);
            ASSERT_TRUE(written.ok()) << written.error;
            const ImportResult read = importVectorFile(file);
            ASSERT_TRUE(read.ok()) << read.error;
            const host::FeatureClass& back = *read.layers.at(0)->featureClass();
            EXPECT_EQ(back.shapeType(), layer->featureClass()->shapeType());
            ASSERT_EQ(back.featureCount(), layer->featureClass()->featureCount());
            const auto expected = layer->featureClass()->search();
            const auto actual = back.search();
            while (const host::Feature* want = expected->nextFeature()) {
                const host::Feature* got = actual->nextFeature();
                EXPECT_EQ(partCount(got->shape), partCount(want->shape)) << want->oid;
                EXPECT_EQ(vertices(got->shape), vertices(want->shape)) << want->oid;
            }
        }
    }
}

// A refused or failed export names the file, leaves what was there untouched and leaves no
// partial output behind.
TEST_F(VectorExport, RefusalsNameTheFileAndLeaveTheOldOneAsItWas) {
    auto layer = towns();
    const std::string sourceFile = path("source.geojson");
    std::ofstream(sourceFile) << "the layer's own data";
    layer->setDataSource({sourceFile, "towns"});
    const std::string oldTarget = path("old.txt");
    std::ofstream(oldTarget) << "kept";
    const struct {
        const char* what;
        std::string target;
        std::string reason;
    } cases[] = {
        {"the layer's own source", sourceFile, "it is the file the layer is read from"},
        {"its source spelled otherwise", (dir / "." / "source.geojson").string(),
         "it is the file the layer is read from"},
        {"an ending without a format", oldTarget, "the ending names no format"},
        {"a folder", dir.string() + "/sub.gpkg", "it is a folder"},
        {"a missing folder", path("missing/towns.gpkg"), "the folder does not exist"},
    };
    fs::create_directories(dir / "sub.gpkg");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ExportResult result = exportFeatureLayer(*layer, c.target);
        EXPECT_FALSE(result.ok());
        EXPECT_NE(result.error.find("Cannot save layer towns to " + c.target + ": " + c.reason),
                  std::string::npos)
            << result.error;
        EXPECT_EQ(read(sourceFile), "the layer's own data");
        EXPECT_EQ(read(oldTarget), "kept");
        EXPECT_EQ(files(), (std::set<std::string>{"source.geojson", "old.txt", "sub.gpkg"}));
    }
    // An existing file of another name is replaced whole.
    const std::string replaced = path("old.geojson");
    std::ofstream(replaced) << "not yet a layer";
    ASSERT_TRUE(exportFeatureLayer(*layer, replaced).ok());
    const ImportResult read = importVectorFile(replaced);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.layers[0]->featureClass()->featureCount(), 3);
}

}  // namespace
}  // namespace kartoplot::io
