#include "io/vector_import.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <optional>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

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
constexpr std::int64_t kLargestExactId = std::int64_t{1} << 53;  // whole numbers exact in a double

// GDAL's virtual file systems that read local or in-memory data. The others (network, standard
// input) are refused: a data path never makes the program fetch or wait.
constexpr std::array<std::string_view, 4> kLocalVirtualSystems = {"/vsimem/", "/vsizip/",
                                                                  "/vsigzip/", "/vsitar/"};

// Whether every virtual file system that `path` names is a local one.
bool namesOnlyLocalVirtualSystems(std::string_view path) {
    for (std::size_t at = path.find(kVsiPrefix); at != std::string_view::npos;
         at = path.find(kVsiPrefix, at + 1)) {
        const std::string_view rest = path.substr(at);
        if (std::none_of(kLocalVirtualSystems.begin(), kLocalVirtualSystems.end(),
                         [&](std::string_view local) { return rest.substr(0, local.size()) == local; })) {
            return false;
        }
    }
    return true;
}

// Every vector driver but the virtual one, whose files point at other files and services.
const char* const* readableDrivers() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        GDALDriverManager* manager = GetGDALDriverManager();
        for (int i = 0; i < manager->GetDriverCount(); ++i) {
            GDALDriver* driver = manager->GetDriver(i);
            const std::string_view name = driver->GetDescription();
            if (driver->GetMetadataItem(GDAL_DCAP_VECTOR) != nullptr && name != "OGR_VRT") {
                list.emplace_back(name);
            }
        }
        return list;
    }();
    static const std::vector<const char*> pointers = [] {
        std::vector<const char*> list;
        for (const std::string& name : names) {
            list.push_back(name.c_str());
        }
        list.push_back(nullptr);
        return list;
    }();
    return pointers.data();
}

GDALDatasetUniquePtr openVector(const std::string& path, const char* const* drivers,
                                const char* const* openOptions) {
    return GDALDatasetUniquePtr(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                                  drivers != nullptr ? drivers : readableDrivers(),
                                                  openOptions, nullptr));
}

bool isCsv(GDALDataset& dataset) {
    const GDALDriver* driver = dataset.GetDriver();
    return driver != nullptr && std::string_view(driver->GetDescription()) == "CSV";
}

// The errno of opening `path` for reading, 0 when it opens. Non-blocking, so that a named pipe
// cannot hang the import.
int openError(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return errno;
    }
    ::close(descriptor);
    return 0;
}

// Refuses a local path that does not exist, that this process may not read, or that is
// neither a file nor a folder (GDAL would wait forever on a named pipe).
void checkLocalPath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        throw ImportFailure{"Cannot open " + path + ": the file does not exist."};
    }
    const int error = openError(path);
    if (error == EACCES || error == EPERM) {
        throw ImportFailure{"Cannot open " + path + ": permission denied."};
    }
    if (!ec && !fs::is_regular_file(status) && !fs::is_directory(status)) {
        throw ImportFailure{"Cannot open " + path +
                            ": it is not a vector data file GDAL can read."};
    }
}

// The names of a comma-separated list ("X,lon,longitude").
std::vector<std::string> listedNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        names.push_back(list.substr(at, comma - at));
        at = comma + 1;
    }
    return names;
}

// Whether GDAL's CSV reader can safely drop the coordinate columns of the dataset's first
// layer: exactly one column matches the x names and one the y names, and no column name stands
// twice (letter case ignored). Otherwise the reader crashes dropping them, so they are kept.
bool coordinateColumnsCanBeDropped(GDALDataset& dataset, const std::string& xNames,
                                   const std::string& yNames) {
    if (dataset.GetLayerCount() == 0 || xNames.find('*') != std::string::npos ||
        yNames.find('*') != std::string::npos) {
        return false;
    }
    const OGRFeatureDefn& definition = *dataset.GetLayer(0)->GetLayerDefn();
    std::vector<std::string> columns;
    for (int i = 0; i < definition.GetFieldCount(); ++i) {
        columns.emplace_back(definition.GetFieldDefn(i)->GetNameRef());
    }
    const auto matching = [&](const std::string& list) {
        const std::vector<std::string> names = listedNames(list);
        return std::count_if(columns.begin(), columns.end(), [&](const std::string& column) {
            return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
                return host::equalsIgnoringCase(name, column);
            });
        });
    };
    for (std::size_t i = 0; i < columns.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (host::equalsIgnoringCase(columns[i], columns[j])) {
                return false;
            }
        }
    }
    return matching(xNames) == 1 && matching(yNames) == 1;
}

// Opens the file as vectors; a CSV file is opened again with its coordinate columns named
// (only when `options` are given).
GDALDatasetUniquePtr openDataset(const std::string& path, const ImportOptions* options) {
    const bool virtualFile = path.compare(0, kVsiPrefix.size(), kVsiPrefix) == 0;
    if (!namesOnlyLocalVirtualSystems(path)) {
        throw ImportFailure{"Cannot open " + path +
                            ": only local files are read (and /vsizip/, /vsigzip/, /vsitar/ within them)."};
    }
    if (!virtualFile) {
        checkLocalPath(path);
    }
    std::error_code ec;
    const ImportFailure unreadable{"Cannot open " + path +
                                   (std::filesystem::is_directory(path, ec)
                                        ? ": it is a folder without vector data GDAL can read."
                                        : ": it is not a vector data file GDAL can read.")};
    GDALDatasetUniquePtr dataset = openVector(path, nullptr, nullptr);
    if (!dataset) {
        throw unreadable;
    }
    if (options == nullptr || !isCsv(*dataset)) {
        return dataset;
    }
    const std::string xList = options->xColumn.empty() ? kDefaultXNames : options->xColumn;
    const std::string yList = options->yColumn.empty() ? kDefaultYNames : options->yColumn;
    const bool dropColumns = coordinateColumnsCanBeDropped(*dataset, xList, yList);
    dataset.reset();
    const std::string xNames = "X_POSSIBLE_NAMES=" + xList;
    const std::string yNames = "Y_POSSIBLE_NAMES=" + yList;
    const char* const csvOptions[] = {xNames.c_str(), yNames.c_str(),
                                      dropColumns ? "KEEP_GEOM_COLUMNS=NO" : "KEEP_GEOM_COLUMNS=YES",
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

// ---- hostile coordinates ---------------------------------------------------------------

// Kept in step with kMaxCoordinate.
constexpr const char* kTooLargeReason = "its coordinates lie beyond \u00B11e15";
constexpr const char* kNotFiniteReason = "its coordinates are not finite numbers";

// Empty as GDAL means it; a point with X and Y both NaN is how GDAL stores an empty point, but
// a point with only one of them NaN is damaged, not empty.
bool isEmptyShape(const OGRGeometry& geometry) {
    if (!geometry.IsEmpty()) {
        return false;
    }
    if (wkbFlatten(geometry.getGeometryType()) != wkbPoint) {
        return true;
    }
    const OGRPoint& point = *geometry.toPoint();
    return std::isnan(point.getX()) == std::isnan(point.getY());
}

// Visits every vertex and notes the worst fault of the X and Y values.
class CoordinateCheck final : public OGRDefaultConstGeometryVisitor {
public:
    using OGRDefaultConstGeometryVisitor::visit;

    void visit(const OGRPoint* point) override {
        for (const double value : {point->getX(), point->getY()}) {
            if (!std::isfinite(value)) {
                reason = kNotFiniteReason;
            } else if (std::abs(value) > kMaxCoordinate && reason == nullptr) {
                reason = kTooLargeReason;
            }
        }
    }

    const char* reason = nullptr;  // nothing while every value is finite and within bounds
};

// Why the geometry's coordinates cannot be drawn, or nullptr when they can.
const char* coordinateFault(const OGRGeometry& geometry) {
    CoordinateCheck check;
    geometry.accept(&check);
    return check.reason;
}

// ---- projecting lines and polygons -----------------------------------------------------

constexpr double kFullTurn = 360.0;  // degrees
constexpr double kHalfTurn = 180.0;
constexpr double kWorldTolerance = 1.0;  // degrees: an area of use this close to 360° is the world
constexpr double kPole = 90.0;
// Mercator runs off to infinity at the poles; web maps end here.
constexpr double kMercatorLatitudeLimit = 85.06;
// Longitudes farther out than one and a half turns are not drawn (and bound the cutting work).
constexpr double kLongitudeReach = 540.0;
// Degrees (about a centimetre) kept clear of the antimeridian, so no vertex lies on it, where
// PROJ could put it on the far side of the map.
constexpr double kEdgeMargin = 1e-7;
// Degrees either side of a meridian when probing whether the map jumps across it, and how many
// times larger than across the central meridian the jump must be to count as the map's edge.
constexpr double kEdgeProbeStep = 0.01;
constexpr double kEdgeJumpRatio = 100.0;
// Degrees; the longest segment of a cut or clipped shape, so that its new edges follow the
// map's curved outline instead of cutting across it.
constexpr double kDensifyStep = 1.0;
// Degrees of arc kept inside the rim of an orthographic globe: safe from rounding and from the
// ellipsoid's slightly different rim, yet invisible (about 250 m on the rim of the globe).
constexpr double kRimMargin = 0.5;
constexpr int kRimVertices = 720;  // per turn of the rim
constexpr double kRadiansPerDegree = std::numbers::pi / kHalfTurn;

struct Interval {
    double low = 0.0;
    double high = 0.0;
};

bool overlaps(const Interval& interval, double low, double high) {
    return interval.low <= high && interval.high >= low;
}

bool contains(const Interval& interval, double low, double high) {
    return interval.low <= low && high <= interval.high;
}

enum class ClipOutcome { Inside, Clipped, Outside, Failed };

struct ClipResult {
    ClipOutcome outcome = ClipOutcome::Inside;
    OGRGeometryUniquePtr geometry{};  // the remaining parts when Clipped
};

// The central meridian of a projected CRS in its own longitudes (0 when it names none).
double centralMeridian(const OGRSpatialReference& target) {
    for (const char* name :
         {SRS_PP_CENTRAL_MERIDIAN, SRS_PP_LONGITUDE_OF_CENTER, SRS_PP_LONGITUDE_OF_ORIGIN}) {
        OGRErr error = OGRERR_NONE;
        const double degrees = target.GetNormProjParm(name, 0.0, &error);
        if (error == OGRERR_NONE) {
            return degrees;
        }
    }
    return 0.0;
}

bool isMercator(const OGRSpatialReference& target) {
    const char* projection = target.GetAttrValue("PROJECTION");
    if (projection == nullptr) {
        return false;
    }
    const std::string_view name(projection);
    return name.starts_with("Mercator") || name == "Popular_Visualisation_Pseudo_Mercator";
}

// Whether the map jumps from one side to the other across the meridian `edge` (degrees of the
// source), judged against a step of the same size across `centre` on the equator. Azimuthal
// and transverse projections do not, and cutting them there would draw a seam.
bool mapWrapsAt(double edge, double centre, OGRCoordinateTransformation& toTarget) {
    constexpr int kProbes = 4;
    double x[kProbes] = {edge - kEdgeProbeStep, edge + kEdgeProbeStep, centre - kEdgeProbeStep,
                         centre + kEdgeProbeStep};
    double y[kProbes] = {};
    int success[kProbes] = {};
    if (!toTarget.Transform(kProbes, x, y, nullptr, success) ||
        !std::all_of(std::begin(success), std::end(success), [](int ok) { return ok != 0; })) {
        return false;  // the edge is not even drawn (the far side of a globe)
    }
    const double jump = std::hypot(x[1] - x[0], y[1] - y[0]);
    const double step = std::hypot(x[3] - x[2], y[3] - y[2]);
    return jump > kEdgeJumpRatio * step;
}

// An axis-aligned rectangle in source degrees.
OGRPolygon rectangle(const Interval& longitudes, const Interval& latitudes) {
    OGRLinearRing ring;
    ring.addPoint(longitudes.low, latitudes.low);
    ring.addPoint(longitudes.high, latitudes.low);
    ring.addPoint(longitudes.high, latitudes.high);
    ring.addPoint(longitudes.low, latitudes.high);
    ring.closeRings();
    OGRPolygon polygon;
    polygon.addRing(&ring);
    return polygon;
}

// Adds the polygons (for areas) or lines (for lines) of a clipping result to `parts`; the
// points and lines that clipping leaves where a shape touches an edge are dropped.
void addParts(const OGRGeometry& piece, ShapeKind kind, OGRGeometryCollection& parts) {
    switch (wkbFlatten(piece.getGeometryType())) {
        case wkbPolygon:
        case wkbLineString:
            if (kindOf(piece.getGeometryType()) == kind && !piece.IsEmpty()) {
                parts.addGeometry(&piece);
            }
            break;
        case wkbMultiPolygon:
        case wkbMultiLineString:
        case wkbGeometryCollection:
            for (const OGRGeometry* part : *piece.toGeometryCollection()) {
                addParts(*part, kind, parts);
            }
            break;
        default:
            break;
    }
}

// The parts of `geometry` (a line or polygon of `kind`) inside `windows`, which do not overlap:
// Clipped with them, Outside when none are left, Failed when GEOS cannot clip the geometry
// even after making it valid.
ClipResult clipTo(const OGRGeometry& geometry, ShapeKind kind,
                  const std::vector<OGRPolygon>& windows) {
    OGRGeometryUniquePtr parts(kind == ShapeKind::Area
                                   ? static_cast<OGRGeometry*>(new OGRMultiPolygon)
                                   : static_cast<OGRGeometry*>(new OGRMultiLineString));
    OGREnvelope envelope;
    geometry.getEnvelope(&envelope);
    OGRGeometryUniquePtr repaired;
    const OGRGeometry* source = &geometry;
    for (const OGRPolygon& window : windows) {
        OGREnvelope bounds;
        window.getEnvelope(&bounds);
        if (!bounds.Intersects(envelope)) {
            continue;
        }
        OGRGeometryUniquePtr piece(source->Intersection(&window));
        if (!piece && !repaired) {
            repaired.reset(geometry.MakeValid());
            source = repaired ? repaired.get() : source;
            piece.reset(repaired ? source->Intersection(&window) : nullptr);
        }
        if (!piece) {
            return {ClipOutcome::Failed};
        }
        addParts(*piece, kind, *parts->toGeometryCollection());
    }
    if (parts->IsEmpty()) {
        return {ClipOutcome::Outside};
    }
    parts->segmentize(kDensifyStep);
    return {ClipOutcome::Clipped, std::move(parts)};
}

// The latitude (degrees) where the meridian `lon` meets the rim of a globe centred on
// (`centreLon`, `centreLat`) drawn kRimMargin inside; the centre must lie farther than that
// from the equator, so that the visible side holds a pole and every meridian meets the rim once.
double rimLatitude(double lon, double centreLon, double centreLat) {
    // Points at arc c from the centre satisfy a·sin(lat) + b·cos(lat) = cos(c).
    const double a = std::sin(centreLat * kRadiansPerDegree);
    const double b =
        std::cos(centreLat * kRadiansPerDegree) * std::cos((lon - centreLon) * kRadiansPerDegree);
    const double base = std::asin(std::sin(kRimMargin * kRadiansPerDegree) / std::hypot(a, b));
    const double phase = std::atan2(b, a);
    for (const double candidate : {base - phase, std::numbers::pi - base - phase}) {
        const double lat = std::remainder(candidate, 2 * std::numbers::pi) / kRadiansPerDegree;
        if (std::abs(lat) <= kPole) {
            return lat;
        }
    }
    return 0.0;
}

// The side of the globe an orthographic map centred on (`centreLon`, `centreLat`) shows, kept
// kRimMargin inside the rim, as polygons in source degrees: one over the longitudes -180° to
// 180° and copies a turn to either side.
std::vector<OGRPolygon> visibleHemisphere(double centreLon, double centreLat) {
    std::vector<OGRPolygon> copies;
    for (const double shift : {-kFullTurn, 0.0, kFullTurn}) {
        OGRLinearRing ring;
        if (std::abs(centreLat) > kRimMargin) {
            // The rim as one latitude per longitude, closed along the pole inside it.
            for (int i = 0; i <= kRimVertices; ++i) {
                const double lon = -kHalfTurn + kFullTurn * i / kRimVertices;
                ring.addPoint(lon + shift, rimLatitude(lon, centreLon, centreLat));
            }
            const double pole = centreLat > 0 ? kPole : -kPole;
            ring.addPoint(kHalfTurn + shift, pole);
            ring.addPoint(-kHalfTurn + shift, pole);
        } else {
            // A view of the equator: the rim is a loop around the centre's meridian.
            const double arc = (kPole - kRimMargin) * kRadiansPerDegree;
            for (int i = 0; i < kRimVertices; ++i) {
                const double azimuth = 2 * std::numbers::pi * i / kRimVertices;
                ring.addPoint(centreLon + shift +
                                  std::atan2(std::sin(azimuth) * std::sin(arc), std::cos(arc)) /
                                      kRadiansPerDegree,
                              std::asin(std::sin(arc) * std::cos(azimuth)) / kRadiansPerDegree);
            }
        }
        ring.closeRings();
        copies.emplace_back();
        copies.back().addRing(&ring);
    }
    return copies;
}

// Where a projected map can draw lines and polygons of a geographic layer, in the layer's
// degrees: between the map's antimeridian (lon_0 ± 180°, where the map wraps from one side to
// the other) and inside the target's valid area (a world map's area of use; Mercator within ±85.06°).
class DrawableArea {
public:
    DrawableArea(const OGRSpatialReference& source, const OGRSpatialReference& target,
                 OGRCoordinateTransformation& toTarget) {
        const double sourcePrimeMeridian = source.GetPrimeMeridian();
        const double centre =
            centralMeridian(target) + target.GetPrimeMeridian() - sourcePrimeMeridian;
        if (mapWrapsAt(centre - kHalfTurn, centre, toTarget)) {
            westEdge_ = centre - kHalfTurn;
        }
        double west = 0.0, south = 0.0, east = 0.0, north = 0.0;
        if (target.GetAreaOfUse(&west, &south, &east, &north, nullptr) && south < north &&
            south >= -kPole && north <= kPole && std::abs(west) <= kHalfTurn &&
            std::abs(east) <= kHalfTurn) {
            // Only a world map's area of use bounds what is drawn (Web Mercator's ±85.06°):
            // a national grid or UTM zone still draws its neighbours, as cartographers expect.
            if (east < west) {
                east += kFullTurn;  // the area spans the ±180° meridian
            }
            if (east - west >= kFullTurn - kWorldTolerance) {
                latitudes_ = {south, north};
            }
        }
        if (isMercator(target)) {
            latitudes_ = {std::max(latitudes_.low, -kMercatorLatitudeLimit),
                          std::min(latitudes_.high, kMercatorLatitudeLimit)};
        }
        const char* projection = target.GetAttrValue("PROJECTION");
        if (projection != nullptr && std::string_view(projection) == "Orthographic") {
            hemisphere_ =
                visibleHemisphere(centre, target.GetNormProjParm(SRS_PP_LATITUDE_OF_ORIGIN, 0.0));
        }
    }

    // The parts of `geometry` (a line or polygon of `kind`, in source degrees with finite
    // coordinates) that can be drawn: Inside when that is all of it (no geometry returned),
    // Clipped with the parts, Outside when nothing is left, Failed when GEOS cannot clip it
    // even after making it valid.
    ClipResult clip(const OGRGeometry& geometry, ShapeKind kind) const {
        OGREnvelope envelope;
        geometry.getEnvelope(&envelope);
        if (!overlaps(latitudes_, envelope.MinY, envelope.MaxY)) {
            return {ClipOutcome::Outside};
        }
        const std::vector<Interval> windows = longitudeWindows(envelope.MinX, envelope.MaxX);
        if (windows.empty()) {
            return {ClipOutcome::Outside};
        }
        if (windows.size() == 1 && contains(windows[0], envelope.MinX, envelope.MaxX) &&
            contains(latitudes_, envelope.MinY, envelope.MaxY)) {
            return {ClipOutcome::Inside};
        }
        std::vector<OGRPolygon> rectangles;
        for (const Interval& longitudes : windows) {
            rectangles.push_back(rectangle(longitudes, latitudes_));
        }
        return clipTo(geometry, kind, rectangles);
    }

    // Whether the map shows one hemisphere only (an orthographic globe).
    bool hasRim() const noexcept { return !hemisphere_.empty(); }

    // The parts of `geometry` (as for clip) on the visible side of the globe's rim.
    ClipResult clipToRim(const OGRGeometry& geometry, ShapeKind kind) const {
        return clipTo(geometry, kind, hemisphere_);
    }

private:
    // The longitude windows that meet [low, high]: the map's bands between antimeridians.
    std::vector<Interval> longitudeWindows(double low, double high) const {
        std::vector<Interval> bands;
        if (westEdge_) {
            const double first =
                std::floor((std::max(low, -kLongitudeReach) - *westEdge_) / kFullTurn);
            const double last =
                std::floor((std::min(high, kLongitudeReach) - *westEdge_) / kFullTurn);
            for (double turn = first; turn <= last; ++turn) {
                const double west = *westEdge_ + turn * kFullTurn;
                // PROJ puts lon_0 - 180° on the left edge and lon_0 + 180° on the right one,
                // so the band between them keeps its edges; the others keep clear of theirs.
                const double margin = turn == 0.0 ? 0.0 : kEdgeMargin;
                bands.push_back({west + margin, west + kFullTurn - margin});
            }
        } else {
            bands.push_back({-kLongitudeReach, kLongitudeReach});
        }
        std::vector<Interval> windows;
        for (const Interval& band : bands) {
            if (overlaps(band, low, high)) {
                windows.push_back(band);
            }
        }
        return windows;
    }

    std::optional<double> westEdge_{};     // lon_0 - 180°, when the map wraps there
    Interval latitudes_{-kPole, kPole};
    std::vector<OGRPolygon> hemisphere_{};  // the globe's visible side; empty for other maps
};

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

// A feature's host shape, or why the feature is left out.
struct Shaped {
    host::Geometry shape{};
    std::string refusal{};  // empty when the feature is kept
};

// The features left out so far, over all layers of one import.
struct Refusals {
    std::int64_t count = 0;
    std::vector<RefusedFeature> named{};  // the first kMaxNamedRefusals
};

// What every layer of one import shares.
struct ImportContext {
    const std::string& path;
    const ImportOptions& options;
    Refusals& refusals;
    bool csv = false;
    const OGRSpatialReference* target = nullptr;
    std::shared_ptr<const host::SpatialReference> targetReference{};
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

    // The source's feature id, or the 1-based read position when it has none.
    static std::int64_t featureId(const OGRFeature& feature, std::size_t position) {
        const GIntBig fid = feature.GetFID();
        return fid != OGRNullFID ? fid : static_cast<std::int64_t>(position);
    }

    std::string featureText(const OGRFeature& feature, std::size_t position) const {
        return "feature " + std::to_string(featureId(feature, position)) + " of layer " +
               inQuotes(name_);
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
        if (source->IsGeographic() && context_.target->IsProjected()) {
            drawable_.emplace(*source, *context_.target, *transformation_);
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
        const std::string& keyField = context_.options.keyField;
        keyIndex_ = keyField.empty() ? -1 : definition.GetFieldIndex(keyField.c_str());
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
        applyAttributeFilter();
        layer_.ResetReading();
        CPLErrorReset();
        std::size_t position = 0;
        while (true) {
            OGRFeatureUniquePtr feature{layer_.GetNextFeature()};
            if (CPLGetLastErrorType() == CE_Failure) {
                throw failure("reading layer " + inQuotes(name_) + " failed" + gdalMessage() + ".");
            }
            if (!feature) {
                break;
            }
            readRow(*feature, ++position);
            CPLErrorReset();  // a refused feature's projection errors are no read errors
        }
    }

    // Reads only the features that ImportOptions::attributeFilter passes.
    void applyAttributeFilter() {
        const std::string& filter = context_.options.attributeFilter;
        if (filter.empty()) {
            return;
        }
        CPLErrorReset();
        if (layer_.SetAttributeFilter(filter.c_str()) != OGRERR_NONE) {
            throw failure("the condition " + inQuotes(filter) + " is not valid for layer " + inQuotes(name_) +
                          gdalMessage() + ".");
        }
    }

    // Adds the feature's row, or notes why it is refused.
    void readRow(OGRFeature& feature, std::size_t position) {
        Shaped shaped = shapeOf(feature, position);
        if (shaped.refusal.empty()) {
            shaped.refusal = valueRefusal(feature);
        }
        if (!shaped.refusal.empty()) {
            noteRefusal(feature, position, std::move(shaped.refusal));
            return;
        }
        Row row;
        row.fid = feature.GetFID();
        row.shape = std::move(shaped.shape);
        row.values.reserve(plans_.size());
        for (const FieldPlan& plan : plans_) {
            row.values.push_back(hostValue(feature, plan));
        }
        rows_.push_back(std::move(row));
    }

    void noteRefusal(const OGRFeature& feature, std::size_t position, std::string reason) {
        Refusals& refusals = context_.refusals;
        ++refusals.count;
        if (refusals.named.size() < kMaxNamedRefusals) {
            const bool keyed = keyIndex_ >= 0 && feature.IsFieldSetAndNotNull(keyIndex_);
            refusals.named.push_back({name_, featureId(feature, position),
                                      keyed ? feature.GetFieldAsString(keyIndex_) : "",
                                      std::move(reason)});
        }
    }

    // Why a value of the feature cannot be kept (a Real field holding a non-finite number, as
    // GDAL writes it: inf, -inf, nan), or empty when all can.
    std::string valueRefusal(const OGRFeature& feature) const {
        for (const FieldPlan& plan : plans_) {
            const int i = plan.sourceIndex;
            if (plan.kind == ValueKind::Real && feature.IsFieldSetAndNotNull(i) &&
                !std::isfinite(feature.GetFieldAsDouble(i))) {
                const double v = feature.GetFieldAsDouble(i);
                const char* shown = std::isnan(v) ? "NaN" : (v > 0 ? "Infinity" : "-Infinity");
                return std::string("field ") + feature.GetFieldDefnRef(i)->GetNameRef() +
                       " holds '" + shown + "', which is not a number";
            }
        }
        return {};
    }

    // The feature's host shape in the target's coordinates, or a refusal for coordinates that
    // cannot be drawn. Throws ImportFailure for shapes the layer cannot hold at all.
    Shaped shapeOf(OGRFeature& feature, std::size_t position) {
        OGRGeometry* geometry = feature.GetGeometryRef();
        if (geometry == nullptr || isEmptyShape(*geometry)) {
            return {};
        }
        const ShapeKind kind = checkKind(*geometry, feature, position);
        OGRGeometryUniquePtr linear;
        if (geometry->hasCurveGeometry()) {
            linear.reset(geometry->getLinearGeometry());
            geometry = linear.get();
        }
        if (const char* fault = coordinateFault(*geometry)) {
            return {{}, fault};
        }
        return transformation_ ? projectedShape(*geometry, kind) : Shaped{hostShape(*geometry)};
    }

    // The geometry's kind; throws ImportFailure when the layer cannot hold it.
    ShapeKind checkKind(const OGRGeometry& geometry, const OGRFeature& feature,
                        std::size_t position) {
        const OGRwkbGeometryType type = geometry.getGeometryType();
        const ShapeKind kind = kindOf(type);
        const auto refuse = [&](const std::string& reason) {
            return failure(featureText(feature, position) + " is a " + OGRGeometryTypeToName(type) +
                           reason);
        };
        if (kind == ShapeKind::Unknown) {
            throw refuse(", which is neither a point, a line nor a polygon.");
        }
        if (kind_ == ShapeKind::Unknown) {
            kind_ = kind;  // a layer of mixed or unknown type takes its first shape's kind
        } else if (kind != kind_) {
            throw refuse(std::string(", but the layer holds ") + pluralName(kind_) + ".");
        }
        if (wkbFlatten(type) == wkbMultiPoint && geometry.toMultiPoint()->getNumGeometries() > 1) {
            throw refuse(" of " + std::to_string(geometry.toMultiPoint()->getNumGeometries()) +
                         " points; only single points can be imported.");
        }
        return kind;
    }

    // The host shape of a linear geometry of `kind` with finite coordinates, projected to the
    // target (lines and polygons of a geographic layer cut and clipped to the drawable area
    // first), or a refusal. Changes `geometry`.
    Shaped projectedShape(OGRGeometry& geometry, ShapeKind kind) const {
        const std::string target = inQuotes(context_.options.targetCrs);
        const bool clips = drawable_ && kind != ShapeKind::Point;
        OGRGeometry* drawn = &geometry;
        ClipResult clipped;
        if (clips) {
            geometry.closeRings();  // GEOS cannot clip open rings; the host draws them closed
            clipped = drawable_->clip(geometry, kind);
            if (clipped.outcome == ClipOutcome::Outside) {
                return {{}, "it lies outside the area where " + target + " is valid"};
            }
            if (clipped.outcome == ClipOutcome::Failed) {
                return {{}, "it cannot be clipped to the area where " + target + " is valid"};
            }
            drawn = clipped.geometry ? clipped.geometry.get() : drawn;
        }
        // On a globe, a shape reaching round the back is projected again clipped to the rim.
        const OGRGeometryUniquePtr unprojected(clips && drawable_->hasRim() ? drawn->clone()
                                                                            : nullptr);
        if (projects(*drawn)) {
            return {hostShape(*drawn)};
        }
        if (unprojected) {
            const ClipResult visible = drawable_->clipToRim(*unprojected, kind);
            if (visible.outcome == ClipOutcome::Clipped && projects(*visible.geometry)) {
                return {hostShape(*visible.geometry)};
            }
        }
        return {{}, "it cannot be projected to " + target};
    }

    // Projects the geometry to the target; false when that fails or leaves coordinates that
    // cannot be drawn.
    bool projects(OGRGeometry& geometry) const {
        return geometry.transform(transformation_.get()) == OGRERR_NONE &&
               coordinateFault(geometry) == nullptr;
    }

    // Source ids when every feature has one, they ascend and stay within 2^53; else 1, 2, 3 ... in read order.
    bool keepSourceIds() const {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            // Ids beyond 2^53 would not survive as numbers (object-id values beyond 32 bits are
            // doubles), so such a source is numbered anew.
            if (rows_[i].fid == OGRNullFID || rows_[i].fid > kLargestExactId ||
                (i > 0 && rows_[i].fid <= rows_[i - 1].fid)) {
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
        layer->setDataSource(host::DataSource{context_.path, name_});
        layer->setDefinitionQuery(context_.options.attributeFilter);
        return layer;
    }

    const ImportContext& context_;
    OGRLayer& layer_;
    std::string name_;
    ShapeKind kind_ = ShapeKind::Unknown;
    std::shared_ptr<const host::SpatialReference> reference_;
    TransformationPtr transformation_;
    std::optional<DrawableArea> drawable_{};  // for a geographic layer on a projected map
    int keyIndex_ = -1;                       // of ImportOptions::keyField; -1 when none
    std::string oidFieldName_;
    std::vector<host::Field> fields_;
    std::vector<FieldPlan> plans_;
    std::vector<Row> rows_;
};

std::vector<std::shared_ptr<host::FeatureLayer>> importLayers(const std::string& path,
                                                              const ImportOptions& options,
                                                              Refusals& refusals) {
    GDALDatasetUniquePtr dataset = openDataset(path, &options);
    SrsPtr target;
    ImportContext context{path, options, refusals, isCsv(*dataset)};
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
        Refusals refusals;
        result.layers = importLayers(path, options, refusals);
        result.refusedCount = refusals.count;
        result.refused = std::move(refusals.named);
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
