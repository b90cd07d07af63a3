#include "io/vector_import.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <numeric>
#include <optional>
#include <random>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "host/map.h"
#include "host/symbols.h"

namespace kartoplot::io {
namespace {

namespace fs = std::filesystem;
using host::FieldType;
constexpr host::MapUnits kDegrees = host::MapUnits::Degrees;
constexpr host::MapUnits kMetres = host::MapUnits::Metres;

const std::string kData = KARTOPLOT_DATA_DIR;
constexpr double kEarthRadius = 6378137.0;  // metres, of the web Mercator sphere
constexpr double kMetresPerDegree = kEarthRadius * std::numbers::pi / 180;

// Web Mercator metres of a longitude and latitude in degrees.
host::Point webMercator(double lon, double lat) {
    return {lon * kMetresPerDegree,
            kEarthRadius * std::log(std::tan(std::numbers::pi / 4 + lat * std::numbers::pi / 360))};
}

std::vector<std::int64_t> oids(const host::FeatureClass& fc) {
    std::vector<std::int64_t> out;
    auto cursor = fc.search();
    while (const host::Feature* f = cursor->nextFeature()) {
        out.push_back(f->oid);
    }
    return out;
}

// A GeoJSON feature collection of features without properties.
std::string geojson(const std::vector<std::string>& geometries) {
    std::string text = R"({"type":"FeatureCollection","features":[)";
    for (const std::string& geometry : geometries) {
        text += (text.back() == '[' ? "" : ",");
        text += R"({"type":"Feature","properties":{},"geometry":)" + geometry + "}";
    }
    return text + "]}";
}

// A GeoJSON geometry.
std::string shape(const char* type, const std::string& coordinates) {
    return std::string(R"({"type":")") + type + R"(","coordinates":)" + coordinates + "}";
}

class VectorImport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GDALAllRegister();
        // ctest runs each test in its own process, possibly at the same time.
        dir_ = fs::temp_directory_path() /
               ("kartoplot_io_" + std::to_string(std::random_device{}()) + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::string write(const std::string& name, const std::string& text) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    static fs::path dir_;
};
fs::path VectorImport::dir_;

TEST_F(VectorImport, PopulatedPlacesArePointsWithTheirFieldsValuesAndIds) {
    const ImportResult r = importVectorFile(kData + "/populated_places.geojson");
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.layers.size(), 1u);
    const host::FeatureClass& fc = *r.layers[0]->featureClass();
    EXPECT_EQ(r.layers[0]->name(), "populated_places");
    EXPECT_EQ(fc.name(), "populated_places");
    EXPECT_EQ(fc.shapeType(), host::GeometryType::Point);
    const std::pair<const char*, FieldType> fields[] = {
        {"OBJECTID", FieldType::OID},      {"Shape", FieldType::Geometry},
        {"name", FieldType::String},       {"nameascii", FieldType::String},
        {"adm0name", FieldType::String},   {"featurecla", FieldType::String},
        {"pop_max", FieldType::Integer},   {"pop_min", FieldType::Integer},
        {"pop_other", FieldType::Integer}, {"rank_max", FieldType::Integer}};
    ASSERT_EQ(fc.fields().fieldCount(), static_cast<int>(std::size(fields)));
    for (int i = 0; i < fc.fields().fieldCount(); ++i) {
        EXPECT_EQ(fc.fields().field(i).name, fields[i].first);
        EXPECT_EQ(fc.fields().field(i).type, fields[i].second) << fields[i].first;
    }
    // GeoJSON features without ids are numbered from 0 by GDAL; São Paulo is the 240th.
    std::vector<std::int64_t> expectedIds(243);
    std::iota(expectedIds.begin(), expectedIds.end(), 0);
    EXPECT_EQ(oids(fc), expectedIds);
    const host::Feature* saoPaulo = fc.feature(239);
    ASSERT_NE(saoPaulo, nullptr);
    EXPECT_EQ(saoPaulo->value(fc.findField("name")), host::Variant("S\xC3\xA3o Paulo"));
    EXPECT_EQ(saoPaulo->value(fc.findField("pop_max")), host::Variant(std::int32_t{18845000}));
    EXPECT_EQ(saoPaulo->shape, host::Geometry(host::Point{-46.626966, -23.556734}));
    EXPECT_EQ(fc.spatialReference()->units(), kDegrees);
    EXPECT_EQ(fc.spatialReference()->name(), "WGS 84");
    EXPECT_NE(fc.spatialReference()->definition().find("GEOGCS"), std::string::npos);
}

TEST_F(VectorImport, CsvPointsComeFromTheirCoordinateColumns) {
    struct Case {
        const char* file;
        const char* text;
        ImportOptions options;
        host::Point first;
        host::MapUnits units;
    };
    const host::Point oslo{10.75, 59.91};
    const char* lonLat = "name,LON,Lat,pop\nOslo,10.75,59.91,7\nNowhere,,,1";
    const Case cases[] = {
        {"lonlat.csv", lonLat, {}, oslo, kDegrees},
        {"projected.csv", lonLat, {.targetCrs = "EPSG:3857"}, webMercator(oslo.x, oslo.y), kMetres},
        {"custom.csv",
         "name,px,py,pop\nOslo,10.75,59.91,7\nNowhere,,,1",
         {.xColumn = "px", .yColumn = "py"},
         oslo,
         kDegrees},
        {"utm.csv",
         "easting,northing,name,pop\n597000,6643000,Oslo,7\n,,Nowhere,1",
         {.csvCrs = "EPSG:32632"},
         {597000, 6643000},
         kMetres}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ImportResult r = importVectorFile(write(c.file, c.text), c.options);
        ASSERT_TRUE(r.ok()) << r.error;
        const host::FeatureClass& fc = *r.layers[0]->featureClass();
        ASSERT_EQ(fc.fields().fieldCount(), 4) << "the coordinate columns are not kept";
        EXPECT_EQ(fc.fields().field(2).name, "name");
        EXPECT_EQ(fc.fields().field(3).type, FieldType::Integer);
        EXPECT_EQ(fc.spatialReference()->units(), c.units);
        const std::vector<std::int64_t> ids = oids(fc);
        ASSERT_EQ(ids.size(), 2u);
        const host::Feature& first = *fc.feature(ids[0]);
        ASSERT_NE(first.shape.asPoint(), nullptr);
        EXPECT_NEAR(first.shape.asPoint()->x, c.first.x, 1e-3);
        EXPECT_NEAR(first.shape.asPoint()->y, c.first.y, 1e-3);
        EXPECT_EQ(first.value(3), host::Variant(std::int32_t{7}));
        EXPECT_TRUE(fc.feature(ids[1])->shape.isEmpty()) << "a row without coordinates stays";
    }
}

TEST_F(VectorImport, GeometryKindsBecomeHostShapes) {
    struct Case {
        const char* file;
        std::string text;
        host::GeometryType type;
        std::vector<std::size_t> parts;  // points: 1, empty: 0, else paths or rings
        host::SymbolKind symbol;         // of the default renderer
    };
    const std::string square = "[[0,0],[4,0],[4,4],[0,4],[0,0]]";
    const std::string hole = "[[1,1],[2,1],[2,2],[1,1]]";
    using G = host::GeometryType;
    using S = host::SymbolKind;
    const Case cases[] = {
        {"lines.geojson",
         geojson({shape("LineString", "[[0,0],[1,1]]"),
                  shape("MultiLineString", "[[[0,0],[1,1]],[[2,2],[3,3]]]")}),
         G::Polyline,
         {1, 2},
         S::SimpleLine},
        {"areas.geojson",
         geojson({shape("MultiPolygon", "[[" + square + "," + hole + "],[" + square + "]]"),
                  shape("Polygon", "[" + square + "]")}),
         G::Polygon,
         {3, 1},
         S::SimpleFill},
        {"points.geojson",
         geojson({"null", shape("MultiPoint", "[[5,6]]"), shape("Point", "[5,6,100]")}),
         G::Point,
         {0, 1, 1},
         S::SimpleMarker}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ImportResult r = importVectorFile(write(c.file, c.text));
        ASSERT_TRUE(r.ok()) << r.error;
        ASSERT_EQ(r.layers.size(), 1u);
        const host::FeatureClass& fc = *r.layers[0]->featureClass();
        EXPECT_EQ(fc.shapeType(), c.type);
        std::vector<std::size_t> parts;
        auto cursor = fc.search();
        while (const host::Feature* f = cursor->nextFeature()) {
            const host::Geometry& g = f->shape;
            parts.push_back(g.asPolyline()  ? g.asPolyline()->paths.size()
                            : g.asPolygon() ? g.asPolygon()->rings.size()
                                            : (g.asPoint() ? 1 : 0));
            if (g.asPoint() != nullptr) {
                EXPECT_EQ(*g.asPoint(), (host::Point{5, 6})) << "Z is dropped";
            }
        }
        EXPECT_EQ(parts, c.parts);
        const auto renderer =
            std::dynamic_pointer_cast<host::SimpleRenderer>(r.layers[0]->renderer());
        ASSERT_NE(renderer, nullptr);
        EXPECT_EQ(renderer->symbol->kind(), c.symbol);
    }
}

TEST_F(VectorImport, ObjectIdsAndClashingFieldNames) {
    struct Case {
        const char* file;
        std::vector<int> sourceIds;
        std::vector<std::int64_t> oids;
    };
    const Case cases[] = {{"ascending.geojson", {5, 9, 40}, {5, 9, 40}},
                          {"descending.geojson", {9, 5, 40}, {1, 2, 3}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string text = R"({"type":"FeatureCollection","features":[)";
        for (const int id : c.sourceIds) {
            text +=
                (text.back() == '[' ? "" : ",") + std::string(R"({"type":"Feature","id":)") +
                std::to_string(id) +
                R"(,"properties":{"objectid":1,"SHAPE":"x","shape_1":2,"tags":[3,4]},"geometry":)" +
                R"({"type":"Point","coordinates":[0,0]}})";
        }
        const ImportResult r = importVectorFile(write(c.file, text + "]}"));
        ASSERT_TRUE(r.ok()) << r.error;
        const host::FeatureClass& fc = *r.layers[0]->featureClass();
        EXPECT_EQ(oids(fc), c.oids);
        std::vector<std::string> names;
        for (const host::Field& f : fc.fields().all()) {
            names.push_back(f.name);
        }
        EXPECT_EQ(names, (std::vector<std::string>{"OBJECTID", "Shape", "objectid_1", "SHAPE_2",
                                                   "shape_1", "tags"}));
        EXPECT_EQ(fc.feature(c.oids[0])->value(fc.findField("tags")), host::Variant("(2:3,4)"))
            << "a list as text";
    }
}

TEST_F(VectorImport, MapUnitsFollowTheCoordinateSystem) {
    // EPSG:2229 is in US survey feet; 1852 m is a nautical mile.
    using U = host::MapUnits;
    const std::pair<const char*, U> cases[] = {{"EPSG:4326", U::Degrees},
                                               {"EPSG:32632", U::Metres},
                                               {"EPSG:2229", U::Feet},
                                               {"+proj=merc +units=km", U::Kilometres},
                                               {"+proj=merc +to_meter=1852", U::Unknown}};
    const std::string path = write("units.csv", "x,y\n1,2\n");
    for (const auto& [crs, units] : cases) {
        SCOPED_TRACE(crs);
        const ImportResult r = importVectorFile(path, {.csvCrs = crs});
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.layers[0]->featureClass()->spatialReference()->units(), units);
    }
}

// One column per field type: written through GDAL, read back by the import.
struct Column {
    const char* name;
    OGRFieldType type;
    OGRFieldSubType subType;
    const char* written;
    FieldType gpkgType;
    std::optional<FieldType> shpType;  // nothing: the Shapefile cannot hold the column
    double number;                     // the value read back (numbers and dates)
};

const Column kColumns[] = {
    {"count", OFTInteger, OFSTNone, "123456", FieldType::Integer, FieldType::Integer, 123456},
    {"big", OFTInteger64, OFSTNone, "9007199254740991", FieldType::Double, FieldType::Double,
     9007199254740991.0},
    {"ratio", OFTReal, OFSTNone, "2.5", FieldType::Double, FieldType::Double, 2.5},
    {"share", OFTReal, OFSTFloat32, "0.25", FieldType::Single, FieldType::Double, 0.25},
    {"label", OFTString, OFSTNone, "S\xC3\xA3o Paulo", FieldType::String, FieldType::String, 0},
    {"day", OFTDate, OFSTNone, "2024-02-29", FieldType::Date, FieldType::Date, 45351},
    {"small", OFTInteger, OFSTInt16, "-7", FieldType::SmallInteger, FieldType::Integer, -7},
    {"flag", OFTInteger, OFSTBoolean, "1", FieldType::SmallInteger, std::nullopt, 1},
    {"stamp", OFTDateTime, OFSTNone, "2024-02-29 18:00:00", FieldType::Date, std::nullopt,
     45351.75},
};

// The kind of value each field type reads back as, by FieldType from SmallInteger to Date.
using K = host::Variant::Kind;
constexpr K kKindOf[] = {K::Short, K::Long, K::Double, K::Double, K::Text, K::Date};

// A point layer "typed" (one feature with every value, one with none) and, in a GeoPackage,
// a line layer "roads" and an attribute table "notes".
void writeTyped(const std::string& extension, const std::string& path) {
    GDALDriver* driver =
        GetGDALDriverManager()->GetDriverByName(extension == "shp" ? "ESRI Shapefile" : "GPKG");
    ASSERT_NE(driver, nullptr);
    GDALDatasetUniquePtr ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_NE(ds, nullptr);
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    OGRLayer* layer = ds->CreateLayer("typed", &wgs84, wkbPoint, nullptr);
    const bool shp = extension == "shp";
    for (const Column& c : kColumns) {
        if (!shp || c.shpType) {
            OGRFieldDefn field(c.name, c.type);
            field.SetSubType(c.subType);
            field.SetWidth(c.type == OFTString ? 20 : 0);
            ASSERT_EQ(layer->CreateField(&field), OGRERR_NONE);
        }
    }
    OGRFeatureUniquePtr full(OGRFeature::CreateFeature(layer->GetLayerDefn()));
    for (const Column& c : kColumns) {
        if (full->GetFieldIndex(c.name) >= 0) {
            full->SetField(c.name, c.written);
        }
    }
    OGRPoint point(1, 2);
    full->SetGeometry(&point);
    ASSERT_EQ(layer->CreateFeature(full.get()), OGRERR_NONE);
    OGRFeatureUniquePtr empty(OGRFeature::CreateFeature(layer->GetLayerDefn()));
    ASSERT_EQ(layer->CreateFeature(empty.get()), OGRERR_NONE);
    if (!shp) {
        OGRLayer* roads = ds->CreateLayer("roads", &wgs84, wkbLineString, nullptr);
        OGRFeatureUniquePtr road(OGRFeature::CreateFeature(roads->GetLayerDefn()));
        OGRLineString line;
        line.addPoint(0, 0);
        line.addPoint(3, 4);
        road->SetGeometry(&line);
        ASSERT_EQ(roads->CreateFeature(road.get()), OGRERR_NONE);
        ASSERT_NE(ds->CreateLayer("notes", nullptr, wkbNone, nullptr), nullptr);
    }
}

TEST_F(VectorImport, GeoPackageAndShapefileRoundTripTheFieldTypes) {
    struct Format {
        const char* extension;
        const char* file;
        const char* oidField;
        std::vector<std::int64_t> oids;
    };
    const Format formats[] = {{"gpkg", "typed.gpkg", "fid", {1, 2}},
                              {"shp", "typed.shp", "OBJECTID", {0, 1}}};
    for (const Format& format : formats) {
        SCOPED_TRACE(format.extension);
        const bool shp = std::string(format.extension) == "shp";
        const std::string path = (dir_ / format.file).string();
        writeTyped(format.extension, path);
        const ImportResult r = importVectorFile(path, {.layerName = "typed"});
        ASSERT_TRUE(r.ok()) << r.error;
        ASSERT_EQ(r.layers.size(), 1u);
        const host::FeatureClass& fc = *r.layers[0]->featureClass();
        EXPECT_EQ(fc.oidFieldName(), format.oidField);
        ASSERT_EQ(oids(fc), format.oids);
        const host::Feature& full = *fc.feature(format.oids[0]);
        const host::Feature& empty = *fc.feature(format.oids[1]);
        EXPECT_EQ(full.shape, host::Geometry(host::Point{1, 2}));
        EXPECT_TRUE(empty.shape.isEmpty());
        int expectedFields = 2;
        for (const Column& c : kColumns) {
            const std::optional<FieldType> written = shp ? c.shpType : c.gpkgType;
            if (!written) {
                continue;
            }
            ++expectedFields;
            SCOPED_TRACE(c.name);
            const int index = fc.findField(c.name);
            ASSERT_GE(index, 2);
            EXPECT_EQ(fc.fields().field(index).type, *written);
            const host::Variant& value = full.value(index);
            EXPECT_EQ(value.kind(), kKindOf[static_cast<int>(*written)]);
            if (*written == FieldType::String) {
                EXPECT_EQ(value.text(), c.written);
                EXPECT_EQ(fc.fields().field(index).length, 20);
            } else {
                EXPECT_EQ(value.toDouble(), c.number);
            }
            EXPECT_TRUE(empty.value(index).isNull());
        }
        EXPECT_EQ(fc.fields().fieldCount(), expectedFields);
    }
}

TEST_F(VectorImport, LayersAreListedAndImportedInFileOrderOrByName) {
    const std::string path = (dir_ / "layers.gpkg").string();
    writeTyped("gpkg", path);
    const LayerListing listing = listVectorLayers(path);
    ASSERT_TRUE(listing.ok()) << listing.error;
    EXPECT_EQ(listing.names, (std::vector<std::string>{"typed", "roads", "notes"}));
    const ImportResult all = importVectorFile(path);
    ASSERT_TRUE(all.ok()) << all.error;
    ASSERT_EQ(all.layers.size(), 2u);
    EXPECT_EQ(all.layers[0]->name(), "typed");
    EXPECT_EQ(all.layers[1]->name(), "roads") << "the attribute table is passed over";
    const ImportResult roads = importVectorFile(path, {.layerName = "roads"});
    ASSERT_TRUE(roads.ok()) << roads.error;
    ASSERT_EQ(roads.layers.size(), 1u);
    const host::FeatureClass& fc = *roads.layers[0]->featureClass();
    EXPECT_EQ(fc.shapeType(), host::GeometryType::Polyline);
    EXPECT_EQ(fc.feature(1)->shape, host::Geometry(host::Polyline{{{{0, 0}, {3, 4}}}}));
    const ImportResult notes = importVectorFile(path, {.layerName = "notes"});
    EXPECT_EQ(notes.error,
              "Cannot import " + path +
                  ": layer \"notes\" has no geometry, so it cannot be shown on a map.");
    EXPECT_TRUE(notes.layers.empty());
    const std::string missing = (dir_ / "missing.gpkg").string();
    EXPECT_EQ(listVectorLayers(missing).error,
              "Cannot open " + missing + ": the file does not exist.");
    EXPECT_TRUE(listVectorLayers(missing).names.empty());
}

TEST_F(VectorImport, RefusalsNameTheFileAndTheReasonAndImportNothing) {
    const std::string point = shape("Point", "[0,0]");
    const std::string lonLat = "lon,lat\n1,2\n";
    // The error of importing text written to the file (not written when empty), "@" for its path.
    const auto error = [](const char* name, const std::string& text, ImportOptions options = {}) {
        const fs::path file = dir_ / name;
        if (!text.empty()) {
            std::ofstream(file, std::ios::binary) << text;
        }
        ImportResult r = importVectorFile(file.string(), options);
        EXPECT_TRUE(r.layers.empty());
        const auto at = r.error.find(file.string());
        return at == std::string::npos ? r.error : r.error.replace(at, file.string().size(), "@");
    };
    EXPECT_EQ(error("absent.geojson", ""), "Cannot open @: the file does not exist.");
    EXPECT_EQ(error("notes.txt", "just some words"),
              "Cannot open @: it is not a vector data file GDAL can read.");
    EXPECT_EQ(error("one.geojson", geojson({point}), {.layerName = "rivers"}),
              "@ has no layer named \"rivers\"; its layers are: one.");
    EXPECT_EQ(error("collection.geojson",
                    geojson({R"({"type":"GeometryCollection","geometries":[)" + point + "]}"})),
              "Cannot import @: layer \"collection\" holds Geometry Collection geometries, which "
              "are neither points, lines nor polygons.");
    EXPECT_EQ(error("mixed.geojson", geojson({point, shape("LineString", "[[0,0],[1,1]]")})),
              "Cannot import @: feature 1 of layer \"mixed\" is a Line String, but the layer "
              "holds points.");
    EXPECT_EQ(error("pair.geojson", geojson({shape("MultiPoint", "[[0,0],[1,1]]")})),
              "Cannot import @: feature 0 of layer \"pair\" is a Multi Point of 2 points; only "
              "single points can be imported.");
    EXPECT_EQ(error("crs.geojson", geojson({point}), {.targetCrs = "EPSG:999999"}),
              "Cannot import @: the coordinate system \"EPSG:999999\" is not understood.");
    fs::create_directories(dir_ / "folder");
    EXPECT_EQ(error("folder", ""),
              "Cannot open @: it is a folder without vector data GDAL can read.");
    EXPECT_EQ(error("nocrs.csv", lonLat, {.targetCrs = "EPSG:3857", .csvCrs = ""}),
              "Cannot import @: layer \"nocrs\" has no coordinate system, so it cannot be "
              "projected to \"EPSG:3857\".");
    EXPECT_EQ(error("badcrs.csv", lonLat, {.csvCrs = "nonsense"}),
              "Cannot import @: the coordinate system \"nonsense\" is not understood.");
    EXPECT_EQ(error("table.csv", "name,pop\nOslo,1\n"),
              "Cannot import @: no coordinate columns found; looked for x in X, lon, longitude, "
              "easting and for y in Y, lat, latitude, northing.");
    EXPECT_EQ(error("named.csv", lonLat, {.xColumn = "e", .yColumn = "n"}),
              "Cannot import @: no coordinate columns found; looked for x in e and for y in n.");
    // Data paths never fetch from a network or read another file through a virtual dataset.
    const std::string localOnly =
        ": only local files are read (and /vsizip/, /vsigzip/, /vsitar/ within them).";
    for (const std::string remote : {"/vsicurl/http://127.0.0.1:9/x.geojson", "/vsistdin/",
                                     "/vsizip//vsicurl/http://127.0.0.1:9/x.zip/a.shp"}) {
        EXPECT_EQ(importVectorFile(remote).error, "Cannot open " + remote + localOnly);
    }
    const std::string inner = write("inner.geojson", geojson({point}));
    EXPECT_EQ(error("link.vrt",
                    "<OGRVRTDataSource><OGRVRTLayer name=\"x\"><SrcDataSource>" + inner +
                        "</SrcDataSource></OGRVRTLayer></OGRVRTDataSource>"),
              "Cannot open @: it is not a vector data file GDAL can read.");
}

// "layer fid key: reason" of each refused feature.
std::vector<std::string> described(const std::vector<RefusedFeature>& refused) {
    std::vector<std::string> lines;
    for (const RefusedFeature& f : refused) {
        lines.push_back(f.layer + " " + std::to_string(f.fid) + " " + f.key + ": " + f.reason);
    }
    return lines;
}

TEST_F(VectorImport, FeaturesWithNumbersThatCannotBeDrawnAreRefusedOneByOne) {
    const std::string tooLarge = "its coordinates lie beyond \u00B11e15";
    const std::string notFinite = "its coordinates are not finite numbers";
    const auto holds = [](const char* value) {
        return std::string("field pop holds '") + value + "', which is not a number";
    };
    struct Place {
        const char* name;
        const char* coordinates;  // nullptr: no geometry
        const char* pop;
        std::string reason;  // empty: imported
    };
    // GeoJSON features without ids are numbered from 0 by GDAL.
    const Place places[] = {
        {"Oslo", "[10.75,59.91]", "7", ""},
        {"wide", "[1e308,0]", "1", tooLarge},
        {"tall", "[0,9e307]", "1", tooLarge},
        {"just past", "[-1e16,0]", "1", tooLarge},
        {"at the bound", "[1e15,-1e15]", "1", ""},
        {"overflow", "[1e400,0]", "1", notFinite},  // beyond double: read as infinity
        {"infinite", "[Infinity,0]", "1", notFinite},
        {"below", "[0,-Infinity]", "1", notFinite},
        {"half", "[NaN,0]", "1", notFinite},
        {"unplaced", "[NaN,NaN]", "1", ""},  // GDAL's empty point: kept with no shape
        {"nowhere", nullptr, "1", ""},
        {"boom", "[0,0]", "Infinity", holds("Infinity")},
        {"bust", "[0,0]", "-Infinity", holds("-Infinity")},
        {"unknown", "[0,0]", "NaN", holds("NaN")},
        {"Lima", "[-77.05,-12.05,150]", "9", ""},
    };
    std::string text = R"({"type":"FeatureCollection","features":[)";
    std::vector<std::string> kept;
    std::vector<std::string> refusedByName;
    std::vector<std::string> refusedById;
    for (std::size_t i = 0; i < std::size(places); ++i) {
        const Place& p = places[i];
        text += std::string(i == 0 ? "" : ",") + R"({"type":"Feature","properties":{"name":")" +
                p.name + R"(","pop":)" + p.pop +
                "},\"geometry\":" + (p.coordinates ? shape("Point", p.coordinates) : "null") + "}";
        if (p.reason.empty()) {
            kept.push_back(p.name);
        } else {
            refusedByName.push_back("places " + std::to_string(i) + " " + p.name + ": " + p.reason);
            refusedById.push_back("places " + std::to_string(i) + " : " + p.reason);
        }
    }
    const std::string placesPath = write("places.geojson", text + "]}");
    // A real column holding a number beyond double; "inf" makes its column text; GDAL reads no
    // point from an "inf" coordinate.
    const std::string csv = write("hostile.csv",
                                  "name,lon,lat,share,note\nOslo,10.75,59.91,0.5,inf\n"
                                  "Far,1,1e400,0.5,x\nBig,1,2,1e400,nan\nBlank,inf,2,0.5,y\n");
    struct Case {
        std::string path;
        ImportOptions options;
        std::vector<std::string> kept;
        std::vector<std::string> refused;  // all of them, as described()
    };
    const Case cases[] = {
        {placesPath, {.keyField = "name"}, kept, refusedByName},
        {placesPath, {.keyField = "no such field"}, kept, refusedById},
        {placesPath, {}, kept, refusedById},
        {csv,
         {.keyField = "name"},
         {"Oslo", "Blank"},
         {"hostile 2 Far: " + notFinite,
          "hostile 3 Big: field share holds 'Infinity', which is not a number"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " keyed by \"" + c.options.keyField + "\"");
        const ImportResult r = importVectorFile(c.path, c.options);
        ASSERT_TRUE(r.ok()) << r.error;
        const host::FeatureClass& fc = *r.layers[0]->featureClass();
        std::vector<std::string> names;
        auto cursor = fc.search();
        while (const host::Feature* f = cursor->nextFeature()) {
            names.push_back(f->value(fc.findField("name")).text());
            if (const host::Point* point = f->shape.asPoint()) {
                EXPECT_TRUE(std::isfinite(point->x) && std::isfinite(point->y)) << names.back();
            }
        }
        EXPECT_EQ(names, c.kept);
        EXPECT_EQ(r.refusedCount, static_cast<std::int64_t>(c.refused.size()));
        const std::size_t named = std::min(c.refused.size(), kMaxNamedRefusals);
        EXPECT_EQ(described(r.refused),
                  std::vector<std::string>(c.refused.begin(), c.refused.begin() + named));
    }
}

// What the vertices of all features span: a line drawn across the whole map (where a shape
// wraps round its edge) shows as a step across x as wide as the map.
struct Spread {
    double widestStep = 0;  // in x, between neighbouring vertices
    double largestAbsY = 0;
    std::size_t parts = 0;  // points, rings or paths
};

Spread spreadOf(const host::FeatureClass& fc) {
    Spread spread;
    auto cursor = fc.search();
    while (const host::Feature* f = cursor->nextFeature()) {
        const host::Geometry& g = f->shape;
        std::vector<std::vector<host::Point>> lists;
        if (g.asPoint() != nullptr) {
            lists = {{*g.asPoint()}};
        } else {
            lists = g.asPolygon() ? g.asPolygon()->rings : g.asPolyline()->paths;
        }
        spread.parts += lists.size();
        for (const std::vector<host::Point>& list : lists) {
            for (std::size_t i = 0; i < list.size(); ++i) {
                EXPECT_TRUE(std::isfinite(list[i].x) && std::isfinite(list[i].y)) << f->oid;
                spread.largestAbsY = std::max(spread.largestAbsY, std::abs(list[i].y));
                if (i > 0) {
                    spread.widestStep =
                        std::max(spread.widestStep, std::abs(list[i].x - list[i - 1].x));
                }
            }
        }
    }
    return spread;
}

TEST_F(VectorImport, ProjectedLinesAndPolygonsStayOnTheMap) {
    constexpr double kRobinsonHalfWidth = 1.7e7;  // metres from the centre to the map's edge
    constexpr double kWebMercatorReach = 2.1e7;   // metres; 85.06° is at 2.005e7
    const std::string land = kData + "/land.geojson";
    const std::string robin150 = "+proj=robin +lon_0=150";          // its map wraps at 30°W
    const std::string arctic = "+proj=stere +lat_0=90 +lon_0=-45";  // no wrap at 135°E
    const std::string across = write(
        "across.geojson", geojson({shape("Polygon", "[[[-40,10],[-20,10],[-20,20],[-40,20]]]"),
                                   shape("Polygon", "[[[-40,0],[-30,0],[-30,5],[-40,0]]]"),
                                   shape("Polygon", "[[[100,70],[170,70],[170,80],[100,80]]]")}));
    const std::string roads =
        write("roads.geojson", geojson({shape("LineString", "[[-40,0],[-20,0]]"),
                                        shape("LineString", "[[0,-90],[0,89]]")}));
    const std::string south =
        write("south.geojson", geojson({shape("Polygon", "[[[-60,-90],[60,-90],[60,-86]]]"),
                                        shape("Polygon", "[[[-60,-90],[60,-90],[60,-60]]]")}));
    const std::string neighbour =
        write("neighbour.geojson", geojson({shape("Polygon", "[[[20,40],[30,40],[30,50],[20,50]]]")}));
    const std::string globe0 = "+proj=ortho +lat_0=0 +lon_0=0";
    const std::string globe =
        write("globe.geojson", geojson({shape("Point", "[10,10]"), shape("Point", "[120,0]")}));
    const std::string europe = "+proj=ortho +lat_0=40 +lon_0=10";
    const auto unprojectable = [](const std::string& crs) {
        return "it cannot be projected to \"" + crs + "\"";
    };
    struct Case {
        std::string path;
        std::string crs;
        std::int64_t kept;
        std::size_t parts;  // points, rings or paths over all kept features; 0: not checked
        std::int64_t refused;
        std::string reason;  // of the first refused feature
    };
    const Case cases[] = {
        {land, "EPSG:3857", 127, 0, 0, ""},
        {land, robin150, 127, 0, 0, ""},
        // The first shape is cut in two at 30°W; the second only touches it from the west.
        {across, robin150, 3, 4, 0, ""},
        {across, arctic, 3, 3, 0, ""},
        {roads, robin150, 2, 3, 0, ""},
        {roads, "EPSG:3857", 2, 2, 0, ""},
        {south, "+proj=merc", 1, 1, 1, "it lies outside the area where \"+proj=merc\" is valid"},
        // A zone's grid draws its neighbours: UTM 32N (6°E to 12°E) keeps a square at 20°E.
        {neighbour, "EPSG:32632", 1, 1, 0, ""},
        // Points are not clipped: one behind the globe is refused.
        {globe, globe0, 1, 1, 1, unprojectable(globe0)},
        // Every polygon with a vertex on the near side of the globe is kept (Eurasia and the
        // Americas clipped at the rim); those wholly behind it are refused.
        {land, europe, 74, 0, 53, unprojectable(europe)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " in " + c.crs);
        const ImportResult r = importVectorFile(c.path, {.targetCrs = c.crs});
        ASSERT_TRUE(r.ok()) << r.error;
        const host::FeatureClass& fc = *r.layers[0]->featureClass();
        EXPECT_EQ(fc.featureCount(), c.kept);
        EXPECT_EQ(r.refusedCount, c.refused);
        if (c.refused > 0 && !r.refused.empty()) {
            EXPECT_EQ(r.refused[0].reason, c.reason);
        }
        const Spread spread = spreadOf(fc);
        EXPECT_LT(spread.widestStep, kRobinsonHalfWidth);
        EXPECT_LT(spread.largestAbsY, kWebMercatorReach);
        if (c.parts != 0) {
            EXPECT_EQ(spread.parts, c.parts);
        }
    }
}

TEST_F(VectorImport, AFileThatCannotBeReadSaysPermissionDenied) {
    constexpr int kCannotDropRoot = 77;
    constexpr uid_t kNobody = 65534;
    const std::string path = write("locked.geojson", geojson({shape("Point", "[0,0]")}));
    fs::permissions(path, fs::perms::none);
    // Root reads every file, so the import runs in a child process as nobody.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(kNobody) != 0) {
            _exit(kCannotDropRoot);
        }
        const std::string error = importVectorFile(path).error;
        const bool denied = error == "Cannot open " + path + ": permission denied.";
        if (!denied) {
            std::fprintf(stderr, "the error was: %s\n", error.c_str());
        }
        _exit(denied ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotDropRoot) {
        GTEST_SKIP() << "running as root without the right to become another user";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace kartoplot::io
