#include "io/vector_import.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include "host/map.h"
#include "host/property_set.h"
#include "host/symbols.h"

namespace kartoplot::io {
namespace {

// ---- GDAL resources --------------------------------------------------------------------

// Datasets, features and geometries use GDAL's own owners (GDALDatasetUniquePtr,
// OGRFeatureUniquePtr, OGRGeometryUniquePtr).
struct TransformationDeleter {
    void operator()(OGRCoordinateTransformation* ct) const noexcept {
        OGRCoordinateTransformation::DestroyCT(ct);
    }
};
using TransformationPtr = std::unique_ptr<OGRCoordinateTransformation, TransformationDeleter>;

struct CplFree {
    void operator()(char* text) const noexcept { CPLFree(text); }
};

// Keeps GDAL's messages off stderr while an import runs; CPLGetLastErrorMsg still has them.
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

void registerDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// A failure that ends the import; its text is the message the caller gets.
struct ImportFailure {
    std::string message;
};

std::string gdalMessage() {
    const char* message = CPLGetLastErrorMsg();
    return message != nullptr && *message != '\0' ? std::string(" (") + message + ")" : "";
}

std::string inQuotes(const std::string& text) {
    return "\"" + text + "\"";
}

// "a,b,c" as "a, b, c".
std::string readableList(const std::string& commaSeparated) {
    std::string text;
    for (const char c : commaSeparated) {
        text += c;
        if (c == ',') {
            text += ' ';
        }
    }
    return text;
}

// ---- opening ---------------------------------------------------------------------------

constexpr std::string_view kVsiPrefix = "/vsi";  // GDAL's virtual file systems
constexpr const char* kDefaultXNames = "X,lon,longitude,easting";
constexpr const char* kDefaultYNames = "Y,lat,latitude,northing";
constexpr const char* kShapeFieldName = "Shape";

GDALDatasetUniquePtr openVector(const std::string& path, const char* const* drivers,
                                const char* const* openOptions) {
    return GDALDatasetUniquePtr(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                                  drivers, openOptions, nullptr));
}

bool isCsv(GDALDataset& dataset) {
    const GDALDriver* driver = dataset.GetDriver();
    return driver != nullptr && std::string_view(driver->GetDescription()) == "CSV";
}

// Opens the file as vectors; a CSV file is opened again with its coordinate columns named
// (only when `options` are given).
GDALDatasetUniquePtr openDataset(const std::string& path, const ImportOptions* options) {
    std::error_code ec;
    const bool virtualFile = path.compare(0, kVsiPrefix.size(), kVsiPrefix) == 0;
    if (!virtualFile && !std::filesystem::exists(path, ec) && !ec) {
        throw ImportFailure{"Cannot open " + path + ": the file does not exist."};
    }
    const ImportFailure unreadable{"Cannot open " + path +
                                   ": it is not a vector data file GDAL can read."};
    GDALDatasetUniquePtr dataset = openVector(path, nullptr, nullptr);
    if (!dataset) {
        throw unreadable;
    }
    if (options == nullptr || !isCsv(*dataset)) {
        return dataset;
    }
    dataset.reset();
    const std::string xNames =
        "X_POSSIBLE_NAMES=" + (options->xColumn.empty() ? kDefaultXNames : options->xColumn);
    const std::string yNames =
        "Y_POSSIBLE_NAMES=" + (options->yColumn.empty() ? kDefaultYNames : options->yColumn);
    const char* const csvOptions[] = {xNames.c_str(), yNames.c_str(), "KEEP_GEOM_COLUMNS=NO",
                                      "AUTODETECT_TYPE=YES", nullptr};
    const char* const csvDriver[] = {"CSV", nullptr};
    dataset = openVector(path, csvDriver, csvOptions);
    if (!dataset) {
        throw unreadable;
    }
    return dataset;
}

std::vector<std::string> layerNames(GDALDataset& dataset) {
    std::vector<std::string> names;
    for (int i = 0; i < dataset.GetLayerCount(); ++i) {
        names.emplace_back(dataset.GetLayer(i)->GetName());
    }
    return names;
}

// The layers to import, in file order: all of them or the one named.
std::vector<OGRLayer*> selectLayers(GDALDataset& dataset, const std::string& path,
                                    const std::string& layerName) {
    std::vector<OGRLayer*> layers;
    for (int i = 0; i < dataset.GetLayerCount(); ++i) {
        OGRLayer* layer = dataset.GetLayer(i);
        if (layerName.empty() || layerName == layer->GetName()) {
            layers.push_back(layer);
        }
    }
    if (!layers.empty()) {
        return layers;
    }
    if (layerName.empty()) {
        throw ImportFailure{"Cannot import " + path + ": it holds no vector layers."};
    }
    std::string list;
    for (const std::string& name : layerNames(dataset)) {
        list += (list.empty() ? "" : ", ") + name;
    }
    throw ImportFailure{path + " has no layer named " + inQuotes(layerName) + "; " +
                        (list.empty() ? "it has no layers." : "its layers are: " + list + ".")};
}

// ---- spatial references ----------------------------------------------------------------

using SrsPtr = std::unique_ptr<OGRSpatialReference>;

SrsPtr parseCrs(const std::string& definition, const std::string& path) {
    auto srs = std::make_unique<OGRSpatialReference>();
    const char* const noNetwork[] = {"ALLOW_NETWORK_ACCESS=NO", nullptr};
    if (definition.empty() || srs->SetFromUserInput(definition.c_str(), noNetwork) != OGRERR_NONE) {
        throw ImportFailure{"Cannot import " + path + ": the coordinate system " +
                            inQuotes(definition) + " is not understood."};
    }
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

host::MapUnits unitsOf(const OGRSpatialReference& srs) {
    if (srs.IsGeographic()) {
        return host::MapUnits::Degrees;
    }
    if (!srs.IsProjected() && !srs.IsLocal() && !srs.IsGeocentric()) {
        return host::MapUnits::Unknown;
    }
    constexpr double kMetre = 1.0;
    constexpr double kFoot = 0.3048;  // international foot; the US survey foot is within 1e-5
    constexpr double kKilometre = 1000.0;
    constexpr double kRelativeTolerance = 1e-5;
    const double metresPerUnit = srs.GetLinearUnits();
    const auto near = [&](double unit) {
        return std::abs(metresPerUnit - unit) <= unit * kRelativeTolerance;
    };
    if (near(kMetre)) {
        return host::MapUnits::Metres;
    }
    if (near(kFoot)) {
        return host::MapUnits::Feet;
    }
    if (near(kKilometre)) {
        return host::MapUnits::Kilometres;
    }
    return host::MapUnits::Unknown;
}

std::shared_ptr<const host::SpatialReference> hostReference(const OGRSpatialReference& srs) {
    char* raw = nullptr;
    if (srs.exportToWkt(&raw) != OGRERR_NONE) {
        CPLFree(raw);
        raw = nullptr;
        const char* const wkt2[] = {"FORMAT=WKT2_2019", nullptr};
        srs.exportToWkt(&raw, wkt2);
    }
    const std::unique_ptr<char, CplFree> wkt(raw);
    const char* name = srs.GetName();
    return std::make_shared<const host::SpatialReference>(
        name != nullptr ? name : "", wkt ? std::string(wkt.get()) : std::string(), unitsOf(srs));
}

// ---- geometry --------------------------------------------------------------------------

enum class ShapeKind { Unknown, Point, Line, Area };

// What a geometry type becomes in the host (curves count as their linear forms; Z/M ignored).
ShapeKind kindOf(OGRwkbGeometryType type) {
    switch (wkbFlatten(OGR_GT_GetLinear(type))) {
        case wkbPoint:
        case wkbMultiPoint:
            return ShapeKind::Point;
        case wkbLineString:
        case wkbMultiLineString:
            return ShapeKind::Line;
        case wkbPolygon:
        case wkbMultiPolygon:
            return ShapeKind::Area;
        default:
            return ShapeKind::Unknown;
    }
}

const char* pluralName(ShapeKind kind) {
    switch (kind) {
        case ShapeKind::Point:
            return "points";
        case ShapeKind::Line:
            return "lines";
        case ShapeKind::Area:
            return "polygons";
        case ShapeKind::Unknown:
            break;
    }
    return "shapes";
}

host::GeometryType hostType(ShapeKind kind) {
    switch (kind) {
        case ShapeKind::Point:
            return host::GeometryType::Point;
        case ShapeKind::Line:
            return host::GeometryType::Polyline;
        case ShapeKind::Area:
            return host::GeometryType::Polygon;
        case ShapeKind::Unknown:
            break;
    }
    return host::GeometryType::Null;
}

std::vector<host::Point> vertices(const OGRSimpleCurve& curve) {
    std::vector<host::Point> points;
    points.reserve(static_cast<std::size_t>(curve.getNumPoints()));
    for (int i = 0; i < curve.getNumPoints(); ++i) {
        points.push_back({curve.getX(i), curve.getY(i)});
    }
    return points;
}

void addRings(const OGRPolygon& polygon, std::vector<std::vector<host::Point>>& rings) {
    const OGRLinearRing* exterior = polygon.getExteriorRing();
    if (exterior == nullptr || exterior->IsEmpty()) {
        return;
    }
    rings.push_back(vertices(*exterior));
    for (int i = 0; i < polygon.getNumInteriorRings(); ++i) {
        const OGRLinearRing* ring = polygon.getInteriorRing(i);
        if (!ring->IsEmpty()) {
            rings.push_back(vertices(*ring));
        }
    }
}

// The host shape of a linear geometry of a known kind (a multipoint has at most one point).
host::Geometry hostShape(const OGRGeometry& geometry) {
    switch (wkbFlatten(geometry.getGeometryType())) {
        case wkbPoint: {
            const OGRPoint& p = *geometry.toPoint();
            return host::Point{p.getX(), p.getY()};
        }
        case wkbMultiPoint: {
            const OGRMultiPoint& points = *geometry.toMultiPoint();
            if (points.IsEmpty()) {
                return {};
            }
            const OGRPoint& p = *points.getGeometryRef(0);
            return host::Point{p.getX(), p.getY()};
        }
        case wkbLineString:
            return host::Polyline{{vertices(*geometry.toLineString())}};
        case wkbMultiLineString: {
            host::Polyline line;
            for (const OGRLineString* part : *geometry.toMultiLineString()) {
                if (!part->IsEmpty()) {
                    line.paths.push_back(vertices(*part));
                }
            }
            return line;
        }
        case wkbPolygon: {
            host::Polygon area;
            addRings(*geometry.toPolygon(), area.rings);
            return area;
        }
        case wkbMultiPolygon: {
            host::Polygon area;
            for (const OGRPolygon* part : *geometry.toMultiPolygon()) {
                addRings(*part, area.rings);
            }
            return area;
        }
        default:
            return {};
    }
}

// ---- fields ----------------------------------------------------------------------------

enum class ValueKind { Int32, Int16, Boolean, Int64, Real, Text, Date };

struct FieldPlan {
    int sourceIndex = 0;
    ValueKind kind = ValueKind::Text;
};

std::pair<host::Field, ValueKind> hostField(const OGRFieldDefn& definition) {
    host::Field field;
    field.name = definition.GetNameRef();
    switch (definition.GetType()) {
        case OFTInteger:
            if (definition.GetSubType() == OFSTBoolean) {
                field.type = host::FieldType::SmallInteger;
                return {field, ValueKind::Boolean};
            }
            if (definition.GetSubType() == OFSTInt16) {
                field.type = host::FieldType::SmallInteger;
                return {field, ValueKind::Int16};
            }
            field.type = host::FieldType::Integer;
            return {field, ValueKind::Int32};
        case OFTInteger64:
            // The host has no 64-bit integers; doubles hold them exactly up to 2^53.
            field.type = host::FieldType::Double;
            return {field, ValueKind::Int64};
        case OFTReal:
            field.type = definition.GetSubType() == OFSTFloat32 ? host::FieldType::Single
                                                                : host::FieldType::Double;
            return {field, ValueKind::Real};
        case OFTDate:
        case OFTDateTime:
            field.type = host::FieldType::Date;
            return {field, ValueKind::Date};
        case OFTString:
            field.type = host::FieldType::String;
            field.length = definition.GetWidth();
            return {field, ValueKind::Text};
        default:
            // Times, lists and binary values keep GDAL's text form.
            field.type = host::FieldType::String;
            return {field, ValueKind::Text};
    }
}

// Days since 1899-12-30 with the time of day as the fraction; nothing for an invalid date.
std::optional<double> hostDays(int year, int month, int day, int hour, int minute, float second) {
    namespace chr = std::chrono;
    if (month < 1 || day < 1) {
        return std::nullopt;
    }
    const chr::year_month_day date{chr::year{year}, chr::month{static_cast<unsigned>(month)},
                                   chr::day{static_cast<unsigned>(day)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    constexpr chr::sys_days kHostEpoch{chr::year{1899} / chr::December / 30};
    constexpr double kSecondsPerDay = 86400.0;
    const double days = static_cast<double>((chr::sys_days{date} - kHostEpoch).count());
    return days + (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
}

host::Variant hostValue(OGRFeature& feature, const FieldPlan& plan) {
    const int i = plan.sourceIndex;
    if (!feature.IsFieldSetAndNotNull(i)) {
        return host::Variant::null();
    }
    switch (plan.kind) {
        case ValueKind::Int32:
            return host::Variant(std::int32_t{feature.GetFieldAsInteger(i)});
        case ValueKind::Int16:
            return host::Variant(static_cast<std::int16_t>(feature.GetFieldAsInteger(i)));
        case ValueKind::Boolean:
            return host::Variant(static_cast<std::int16_t>(feature.GetFieldAsInteger(i) != 0));
        case ValueKind::Int64:
            return host::Variant(static_cast<double>(feature.GetFieldAsInteger64(i)));
        case ValueKind::Real:
            return host::Variant(feature.GetFieldAsDouble(i));
        case ValueKind::Text:
            return host::Variant(std::string(feature.GetFieldAsString(i)));
        case ValueKind::Date: {
            int year = 0, month = 0, day = 0, hour = 0, minute = 0, timeZone = 0;
            float second = 0.0F;
            if (!feature.GetFieldAsDateTime(i, &year, &month, &day, &hour, &minute, &second,
                                            &timeZone)) {
                return host::Variant::null();
            }
            const std::optional<double> days = hostDays(year, month, day, hour, minute, second);
            return days ? host::Variant(host::Date{*days}) : host::Variant::null();
        }
    }
    return host::Variant::null();
}

// ---- layers ----------------------------------------------------------------------------

std::shared_ptr<host::FeatureRenderer> defaultRenderer(ShapeKind kind) {
    auto renderer = std::make_shared<host::SimpleRenderer>();
    switch (kind) {
        case ShapeKind::Area: {
            auto outline = std::make_shared<host::SimpleLineSymbol>();
            outline->color = {150, 150, 150};
            outline->width = 0.5;
            auto fill = std::make_shared<host::SimpleFillSymbol>();
            fill->color = {236, 232, 220};
            fill->outline = std::move(outline);
            renderer->symbol = std::move(fill);
            break;
        }
        case ShapeKind::Line: {
            auto line = std::make_shared<host::SimpleLineSymbol>();
            line->color = {90, 90, 90};
            line->width = 1.0;
            renderer->symbol = std::move(line);
            break;
        }
        case ShapeKind::Point:
        case ShapeKind::Unknown: {
            auto marker = std::make_shared<host::SimpleMarkerSymbol>();
            marker->style = host::MarkerStyle::Circle;
            marker->size = 5.0;
            marker->color = {60, 60, 60};
            renderer->symbol = std::move(marker);
            break;
        }
    }
    return renderer;
}

struct Row {
    std::int64_t fid = OGRNullFID;
    host::Geometry shape;
    std::vector<host::Variant> values;
};

// What every layer of one import shares.
struct ImportContext {
    const std::string& path;
    const ImportOptions& options;
    bool csv = false;
    const OGRSpatialReference* target = nullptr;
    std::shared_ptr<const host::SpatialReference> targetReference;
};

class LayerReader {
public:
    LayerReader(const ImportContext& context, OGRLayer& layer)
        : context_(context), layer_(layer), name_(layer.GetName()) {}

    std::shared_ptr<host::FeatureLayer> read() {
        const OGRwkbGeometryType declared = layer_.GetGeomType();
        if (declared == wkbNone) {
            throw noGeometry();
        }
        if (declared != wkbUnknown) {
            kind_ = kindOf(declared);
            if (kind_ == ShapeKind::Unknown) {
                throw failure("layer " + inQuotes(name_) + " holds " +
                              OGRGeometryTypeToName(declared) +
                              " geometries, which are neither points, lines nor polygons.");
            }
        }
        prepareReference();
        planFields();
        readRows();
        return build();
    }

private:
    ImportFailure failure(const std::string& reason) const {
        return ImportFailure{"Cannot import " + context_.path + ": " + reason};
    }

    ImportFailure noGeometry() const {
        if (context_.csv) {
            const ImportOptions& o = context_.options;
            return failure("no coordinate columns found; looked for x in " +
                           readableList(o.xColumn.empty() ? kDefaultXNames : o.xColumn) +
                           " and for y in " +
                           readableList(o.yColumn.empty() ? kDefaultYNames : o.yColumn) + ".");
        }
        return failure("layer " + inQuotes(name_) +
                       " has no geometry, so it cannot be shown on a map.");
    }

    std::string featureText(std::int64_t fid, std::size_t position) const {
        return "feature " +
               std::to_string(fid != OGRNullFID ? fid : static_cast<std::int64_t>(position)) +
               " of layer " + inQuotes(name_);
    }

    // The layer's coordinate system (a CSV without one takes the options' one) and, when a
    // target is set, the transformation to it.
    void prepareReference() {
        SrsPtr source;
        if (const OGRSpatialReference* own = layer_.GetSpatialRef()) {
            source.reset(own->Clone());
            source->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        } else if (context_.csv && !context_.options.csvCrs.empty()) {
            source = parseCrs(context_.options.csvCrs, context_.path);
        }
        if (context_.target == nullptr) {
            reference_ = source ? hostReference(*source) : nullptr;
            return;
        }
        reference_ = context_.targetReference;
        const std::string& targetText = context_.options.targetCrs;
        if (!source) {
            throw failure("layer " + inQuotes(name_) +
                          " has no coordinate system, so it cannot be " + "projected to " +
                          inQuotes(targetText) + ".");
        }
        if (source->IsSame(context_.target)) {
            return;
        }
        CPLErrorReset();
        transformation_.reset(OGRCreateCoordinateTransformation(source.get(), context_.target));
        if (!transformation_) {
            throw failure("layer " + inQuotes(name_) + " cannot be projected to " +
                          inQuotes(targetText) + gdalMessage() + ".");
        }
    }

    // Host fields in source order. A name that clashes (letter case ignored) with the object-id
    // field, the shape field or an earlier field gets a numbered suffix that no other field
    // uses, so fields without a clash keep their names.
    void planFields() {
        const char* fidColumn = layer_.GetFIDColumn();
        oidFieldName_ = fidColumn != nullptr && *fidColumn != '\0' ? fidColumn : "OBJECTID";
        const OGRFeatureDefn& definition = *layer_.GetLayerDefn();
        std::vector<std::string> used{oidFieldName_, kShapeFieldName};
        std::vector<bool> clashes;
        for (int i = 0; i < definition.GetFieldCount(); ++i) {
            auto [field, kind] = hostField(*definition.GetFieldDefn(i));
            if (field.name.empty()) {
                field.name = "field_" + std::to_string(i + 1);
            }
            clashes.push_back(isTaken(used, field.name));
            if (!clashes.back()) {
                used.push_back(field.name);
            }
            fields_.push_back(std::move(field));
            plans_.push_back({i, kind});
        }
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (clashes[i]) {
                fields_[i].name = uniqueName(used, fields_[i].name);
                used.push_back(fields_[i].name);
            }
        }
    }

    static bool isTaken(const std::vector<std::string>& used, const std::string& name) {
        return std::any_of(used.begin(), used.end(),
                           [&](const std::string& u) { return host::equalsIgnoringCase(u, name); });
    }

    static std::string uniqueName(const std::vector<std::string>& used, const std::string& name) {
        std::string candidate;
        int n = 0;
        do {
            candidate = name + "_" + std::to_string(++n);
        } while (isTaken(used, candidate));
        return candidate;
    }

    void readRows() {
        const GIntBig reported = layer_.GetFeatureCount(FALSE);
        if (reported > 0) {
            rows_.reserve(static_cast<std::size_t>(reported));
        }
        layer_.ResetReading();
        CPLErrorReset();
        while (OGRFeatureUniquePtr feature{layer_.GetNextFeature()}) {
            Row row;
            row.fid = feature->GetFID();
            row.shape = shapeOf(*feature, rows_.size() + 1);
            row.values.reserve(plans_.size());
            for (const FieldPlan& plan : plans_) {
                row.values.push_back(hostValue(*feature, plan));
            }
            rows_.push_back(std::move(row));
        }
        if (CPLGetLastErrorType() == CE_Failure) {
            throw failure("reading layer " + inQuotes(name_) + " failed" + gdalMessage() + ".");
        }
    }

    host::Geometry shapeOf(OGRFeature& feature, std::size_t position) {
        OGRGeometry* geometry = feature.GetGeometryRef();
        if (geometry == nullptr || geometry->IsEmpty()) {
            return {};
        }
        const OGRwkbGeometryType type = geometry->getGeometryType();
        const ShapeKind kind = kindOf(type);
        const auto refuse = [&](const std::string& reason) {
            return failure(featureText(feature.GetFID(), position) + " is a " +
                           OGRGeometryTypeToName(type) + reason);
        };
        if (kind == ShapeKind::Unknown) {
            throw refuse(", which is neither a point, a line nor a polygon.");
        }
        if (kind_ == ShapeKind::Unknown) {
            kind_ = kind;  // a layer of mixed or unknown type takes its first shape's kind
        } else if (kind != kind_) {
            throw refuse(std::string(", but the layer holds ") + pluralName(kind_) + ".");
        }
        if (wkbFlatten(type) == wkbMultiPoint && geometry->toMultiPoint()->getNumGeometries() > 1) {
            throw refuse(" of " + std::to_string(geometry->toMultiPoint()->getNumGeometries()) +
                         " points; only single points can be imported.");
        }
        OGRGeometryUniquePtr linear;
        if (geometry->hasCurveGeometry()) {
            linear.reset(geometry->getLinearGeometry());
            geometry = linear.get();
        }
        if (transformation_) {
            CPLErrorReset();
            if (geometry->transform(transformation_.get()) != OGRERR_NONE) {
                throw failure(featureText(feature.GetFID(), position) + " cannot be projected to " +
                              inQuotes(context_.options.targetCrs) + gdalMessage() + ".");
            }
        }
        return hostShape(*geometry);
    }

    // Source ids when every feature has one and they ascend, else 1, 2, 3 ... in read order.
    bool keepSourceIds() const {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (rows_[i].fid == OGRNullFID || (i > 0 && rows_[i].fid <= rows_[i - 1].fid)) {
                return false;
            }
        }
        return true;
    }

    std::shared_ptr<host::FeatureLayer> build() {
        auto featureClass = std::make_shared<host::FeatureClass>(name_, hostType(kind_),
                                                                 oidFieldName_, kShapeFieldName);
        for (host::Field& field : fields_) {
            featureClass->addField(std::move(field));
        }
        featureClass->setSpatialReference(reference_);
        featureClass->reserve(rows_.size());
        const bool sourceIds = keepSourceIds();
        std::int64_t oid = 0;
        for (Row& row : rows_) {
            oid = sourceIds ? row.fid : oid + 1;
            featureClass->createFeatureWithId(oid, std::move(row.shape), std::move(row.values));
        }
        rows_.clear();
        auto layer = std::make_shared<host::FeatureLayer>(name_, std::move(featureClass));
        layer->setRenderer(defaultRenderer(kind_));
        return layer;
    }

    const ImportContext& context_;
    OGRLayer& layer_;
    std::string name_;
    ShapeKind kind_ = ShapeKind::Unknown;
    std::shared_ptr<const host::SpatialReference> reference_;
    TransformationPtr transformation_;
    std::string oidFieldName_;
    std::vector<host::Field> fields_;
    std::vector<FieldPlan> plans_;
    std::vector<Row> rows_;
};

std::vector<std::shared_ptr<host::FeatureLayer>> importLayers(const std::string& path,
                                                              const ImportOptions& options) {
    GDALDatasetUniquePtr dataset = openDataset(path, &options);
    SrsPtr target;
    ImportContext context{path, options, isCsv(*dataset), nullptr, nullptr};
    if (!options.targetCrs.empty()) {
        target = parseCrs(options.targetCrs, path);
        context.target = target.get();
        context.targetReference = hostReference(*target);
    }
    // Attribute tables cannot be drawn: importing every layer passes over them, naming one is
    // an error (as is a CSV file without coordinates).
    const bool skipTables = options.layerName.empty() && !context.csv;
    std::vector<std::shared_ptr<host::FeatureLayer>> layers;
    for (OGRLayer* layer : selectLayers(*dataset, path, options.layerName)) {
        if (!(skipTables && layer->GetGeomType() == wkbNone)) {
            layers.push_back(LayerReader(context, *layer).read());
        }
    }
    if (layers.empty()) {
        throw ImportFailure{"Cannot import " + path + ": none of its layers has geometry."};
    }
    return layers;
}

}  // namespace

ImportResult importVectorFile(const std::string& path, const ImportOptions& options) {
    registerDrivers();
    const QuietGdalErrors quiet;
    ImportResult result;
    try {
        result.layers = importLayers(path, options);
    } catch (const ImportFailure& failure) {
        result.error = failure.message;
    } catch (const std::exception& error) {
        result.error = "Cannot import " + path + ": " + error.what() + ".";
    }
    if (!result.ok()) {
        result.layers.clear();
    }
    return result;
}

LayerListing listVectorLayers(const std::string& path) {
    registerDrivers();
    const QuietGdalErrors quiet;
    LayerListing listing;
    try {
        GDALDatasetUniquePtr dataset = openDataset(path, nullptr);
        listing.names = layerNames(*dataset);
    } catch (const ImportFailure& failure) {
        listing.error = failure.message;
    } catch (const std::exception& error) {
        listing.error = "Cannot read the layers of " + path + ": " + error.what() + ".";
    }
    return listing;
}

}  // namespace kartoplot::io
