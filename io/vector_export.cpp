#include "io/vector_export.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include "errors/error_handling.h"
#include "host/map.h"

namespace kartoplot::io {
namespace {

namespace fs = std::filesystem;

// A failure that ends the export; its text is the reason after "Cannot save ... to PATH: ".
struct ExportFailure {
    std::string reason;
};

// Keeps GDAL's messages off stderr while the export runs; CPLGetLastErrorMsg still has them.
class QuietGdalErrors {
public:
    QuietGdalErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdalErrors() { CPLPopErrorHandler(); }
    QuietGdalErrors(const QuietGdalErrors&) = delete;
    QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

[[noreturn]] void fail(const std::string& reason) {
    const char* gdal = CPLGetLastErrorMsg();
    throw ExportFailure{gdal != nullptr && *gdal != '\0' ? reason + " (" + gdal + ")" : reason};
}

fs::path pathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const char* driverName(VectorFormat format) {
    switch (format) {
        case VectorFormat::GeoPackage:
            return "GPKG";
        case VectorFormat::GeoJson:
            return "GeoJSON";
        case VectorFormat::Shapefile:
            return "ESRI Shapefile";
    }
    return "";
}

// The files a Shapefile of this name may consist of, besides the .shp itself.
constexpr const char* kShapefileParts[] = {".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx"};

// Whether two paths name the same file (also through links or another spelling).
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// The files written under a temporary name, removed unless they were moved into place.
class TemporaryOutput {
public:
    TemporaryOutput(const fs::path& target, VectorFormat format) : format_(format) {
        std::random_device random;
        std::uniform_int_distribution<unsigned long long> digits;
        // An unpredictable name that does not exist yet, beside the target.
        do {
            const std::string stem = "." + target.stem().string() + ".kartoplot-" +
                                     std::to_string(digits(random)) + ".tmp";
            main_ = target.parent_path() / (stem + target.extension().string());
        } while (fs::exists(main_));
    }
    ~TemporaryOutput() {
        for (const fs::path& file : files()) {
            std::error_code ignored;
            fs::remove(file, ignored);
        }
        std::error_code ignored;
        fs::remove(main_.string() + "-journal", ignored);
        fs::remove(main_.string() + "-wal", ignored);
        fs::remove(main_.string() + "-shm", ignored);
    }
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    const fs::path& main() const noexcept { return main_; }

    // The main file and, for a Shapefile, each of its parts that exists.
    std::vector<fs::path> files() const {
        std::vector<fs::path> out{main_};
        if (format_ == VectorFormat::Shapefile) {
            for (const char* part : kShapefileParts) {
                fs::path file = main_;
                file.replace_extension(part);
                std::error_code ignored;
                if (fs::exists(file, ignored)) {
                    out.push_back(file);
                }
            }
        }
        return out;
    }

    // Syncs every file and renames it over the target's file of the same ending; a Shapefile
    // part the new data has not got is removed from the target, so no stale index stays.
    void moveInto(const fs::path& target) {
        const std::vector<fs::path> written = files();
        for (const fs::path& file : written) {
            const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || ::fsync(fd) != 0) {
                if (fd >= 0) {
                    ::close(fd);
                }
                fail("the written data cannot be synced to disk");
            }
            ::close(fd);
        }
        if (format_ == VectorFormat::Shapefile) {
            for (const char* part : kShapefileParts) {
                fs::path old = target;
                old.replace_extension(part);
                fs::path fresh = main_;
                fresh.replace_extension(part);
                std::error_code ignored;
                if (!fs::exists(fresh, ignored)) {
                    fs::remove(old, ignored);
                }
            }
        }
        // Parts first, the main file last: a reader that finds the new .shp finds its parts.
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            fs::path destination = target;
            destination.replace_extension(it->extension());
            std::error_code error;
            fs::rename(*it, destination, error);
            if (error) {
                fail("the file cannot be put in place: " + error.message());
            }
        }
    }

private:
    VectorFormat format_ = VectorFormat::GeoPackage;
    fs::path main_;
};

// ---- values and shapes ---------------------------------------------------------------------

void setDate(OGRFeature& feature, int index, double days) {
    namespace chr = std::chrono;
    constexpr chr::sys_days kHostEpoch{chr::year{1899} / chr::December / 30};
    constexpr double kSecondsPerDay = 86400.0;
    const double whole = std::floor(days);
    const chr::year_month_day date{kHostEpoch + chr::days{static_cast<long>(whole)}};
    double seconds = std::round((days - whole) * kSecondsPerDay * 1000.0) / 1000.0;
    const int hour = static_cast<int>(seconds / 3600);
    seconds -= hour * 3600;
    const int minute = static_cast<int>(seconds / 60);
    seconds -= minute * 60;
    feature.SetField(index, static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
                     static_cast<int>(unsigned(date.day())), hour, minute,
                     static_cast<float>(seconds), 0);
}

void setValue(OGRFeature& feature, int index, const host::Variant& value) {
    using Kind = host::Variant::Kind;
    switch (value.kind()) {
        case Kind::Empty:
        case Kind::Null:
        case Kind::Object:
            feature.SetFieldNull(index);
            return;
        case Kind::Text:
            feature.SetField(index, value.text().c_str());
            return;
        case Kind::Boolean:
            // The host counts true as -1; files keep booleans as 1 and 0.
            feature.SetField(index, value.toDouble() != 0.0 ? 1 : 0);
            return;
        case Kind::Short:
        case Kind::Long:
            feature.SetField(index, static_cast<int>(value.toDouble()));
            return;
        case Kind::Double:
            feature.SetField(index, value.toDouble());
            return;
        case Kind::Date:
            setDate(feature, index, value.toDouble());
            return;
    }
}

// The file field a host field becomes.
void defineField(const host::Field& field, OGRFieldDefn& definition) {
    switch (field.type) {
        case host::FieldType::SmallInteger:
            definition.SetType(OFTInteger);
            definition.SetSubType(OFSTInt16);
            break;
        case host::FieldType::Integer:
            definition.SetType(OFTInteger);
            break;
        case host::FieldType::Single:
            definition.SetType(OFTReal);
            definition.SetSubType(OFSTFloat32);
            break;
        case host::FieldType::Double:
            definition.SetType(OFTReal);
            break;
        case host::FieldType::Date:
            definition.SetType(OFTDateTime);
            break;
        case host::FieldType::String:
        case host::FieldType::OID:
        case host::FieldType::Geometry:
            definition.SetWidth(field.length);
            break;
    }
}

OGRwkbGeometryType layerType(host::GeometryType type) {
    switch (type) {
        case host::GeometryType::Point:
            return wkbPoint;
        case host::GeometryType::Multipoint:
            return wkbMultiPoint;
        case host::GeometryType::Polyline:
            return wkbMultiLineString;
        case host::GeometryType::Polygon:
        case host::GeometryType::Envelope:
            return wkbMultiPolygon;
        case host::GeometryType::Null:
            break;
    }
    return wkbUnknown;
}

OGRLinearRing ringOf(const std::vector<host::Point>& points) {
    OGRLinearRing ring;
    for (const host::Point& p : points) {
        ring.addPoint(p.x, p.y);
    }
    ring.closeRings();
    return ring;
}

// The OGR shape of a host geometry: lines become a multi-line, areas a multi-polygon whose
// rings are sorted into outer rings and their holes. nullptr for an empty geometry.
OGRGeometryUniquePtr ogrShape(const host::Geometry& shape) {
    if (shape.isEmpty()) {
        return nullptr;
    }
    if (const host::Point* p = shape.asPoint()) {
        return OGRGeometryUniquePtr(new OGRPoint(p->x, p->y));
    }
    if (const host::Polyline* line = shape.asPolyline()) {
        auto multi = std::make_unique<OGRMultiLineString>();
        for (const auto& path : line->paths) {
            OGRLineString part;
            for (const host::Point& p : path) {
                part.addPoint(p.x, p.y);
            }
            multi->addGeometry(&part);
        }
        return OGRGeometryUniquePtr(multi.release());
    }
    host::Polygon area;
    if (const host::Polygon* polygon = shape.asPolygon()) {
        area = *polygon;
    } else if (const host::Envelope* box = shape.asEnvelope()) {
        area = host::Polygon::fromEnvelope(*box);
    }
    // organizePolygons takes over the pieces and gives one geometry back.
    std::vector<OGRGeometry*> pieces;
    for (const auto& points : area.rings) {
        auto piece = std::make_unique<OGRPolygon>();
        OGRLinearRing ring = ringOf(points);
        piece->addRing(&ring);
        pieces.push_back(piece.release());
    }
    if (pieces.empty()) {
        return nullptr;
    }
    int valid = 0;
    OGRGeometryUniquePtr organized(OGRGeometryFactory::organizePolygons(
        pieces.data(), static_cast<int>(pieces.size()), &valid, nullptr));
    return OGRGeometryUniquePtr(OGRGeometryFactory::forceToMultiPolygon(organized.release()));
}

void writeLayer(const host::FeatureLayer& layer, const fs::path& file, VectorFormat format) {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName(format));
    if (driver == nullptr) {
        fail(std::string("GDAL has no ") + driverName(format) + " driver");
    }
    GDALDatasetUniquePtr dataset(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) {
        fail("the file cannot be created");
    }
    const host::FeatureClass& featureClass = *layer.featureClass();
    OGRSpatialReference reference;
    OGRSpatialReference* srs = nullptr;
    if (const auto& own = featureClass.spatialReference(); own && !own->definition().empty()) {
        if (reference.SetFromUserInput(own->definition().c_str()) == OGRERR_NONE) {
            reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
            srs = &reference;
        }
    }
    // Shapefiles write their texts in the code page the .cpg names; the host's texts are UTF-8.
    const char* const utf8[] = {"ENCODING=UTF-8", nullptr};
    OGRLayer* out = dataset->CreateLayer(
        layer.name().c_str(), srs, layerType(featureClass.shapeType()),
        format == VectorFormat::Shapefile ? const_cast<char**>(utf8) : nullptr);
    if (out == nullptr) {
        fail("the layer cannot be created in the file");
    }
    // Which host field goes to which file field.
    std::vector<std::pair<int, int>> written;
    const host::Fields& fields = featureClass.fields();
    for (int i = 0; i < fields.fieldCount(); ++i) {
        const host::Field& field = fields.field(i);
        if (field.type == host::FieldType::OID || field.type == host::FieldType::Geometry) {
            continue;
        }
        OGRFieldDefn definition(field.name.c_str(), OFTString);
        defineField(field, definition);
        if (out->CreateField(&definition) != OGRERR_NONE) {
            fail("the field " + field.name + " cannot be created");
        }
        written.emplace_back(i, out->GetLayerDefn()->GetFieldCount() - 1);
    }
    if (dataset->TestCapability(ODsCTransactions)) {
        dataset->StartTransaction();
    }
    const auto cursor = featureClass.search();
    while (const host::Feature* source = cursor->nextFeature()) {
        OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(out->GetLayerDefn()));
        for (const auto& [hostIndex, fileIndex] : written) {
            setValue(*feature, fileIndex, source->value(hostIndex));
        }
        if (OGRGeometryUniquePtr shape = ogrShape(source->shape)) {
            feature->SetGeometryDirectly(shape.release());
        }
        if (out->CreateFeature(feature.get()) != OGRERR_NONE) {
            fail("feature " + std::to_string(source->oid) + " cannot be written");
        }
    }
    if (dataset->TestCapability(ODsCTransactions) && dataset->CommitTransaction() != OGRERR_NONE) {
        fail("the features cannot be committed");
    }
    // Closing writes what the driver still holds; a failure then is reported like any other.
    CPLErrorReset();
    dataset.reset();
    if (CPLGetLastErrorType() >= CE_Failure) {
        fail("the file cannot be completed");
    }
}

}  // namespace

std::optional<VectorFormat> formatOfPath(const std::string& path) {
    const std::string ending = lower(pathOf(path).extension().string());
    if (ending == ".gpkg") {
        return VectorFormat::GeoPackage;
    }
    if (ending == ".geojson" || ending == ".json") {
        return VectorFormat::GeoJson;
    }
    if (ending == ".shp") {
        return VectorFormat::Shapefile;
    }
    return std::nullopt;
}

ExportResult exportFeatureLayer(const host::FeatureLayer& layer, const std::string& path,
                                std::optional<VectorFormat> format) {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    const QuietGdalErrors quiet;
    ExportResult result;
    try {
        const fs::path target = pathOf(path);
        if (!format) {
            format = formatOfPath(path);
        }
        if (!format) {
            fail("the ending names no format (.gpkg, .geojson or .shp)");
        }
        if (!layer.featureClass()) {
            fail("the layer has no features");
        }
        if (!layer.dataSource().isEmpty() && sameFile(pathOf(layer.dataSource().path), target)) {
            fail("it is the file the layer is read from");
        }
        std::error_code error;
        if (fs::is_directory(target, error)) {
            fail("it is a folder");
        }
        const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
        if (!fs::is_directory(folder, error)) {
            fail("the folder does not exist");
        }
        TemporaryOutput temporary(target, *format);
        writeLayer(layer, temporary.main(), *format);
        temporary.moveInto(target);
    } catch (const ExportFailure& failure) {
        result.error = "Cannot save layer " + layer.name() + " to " + path + ": " + failure.reason + ".";
    } catch (const std::exception& e) {
        result.error = "Cannot save layer " + layer.name() + " to " + path + ": " + e.what() + ".";
    }
    return result;
}

}  // namespace kartoplot::io
