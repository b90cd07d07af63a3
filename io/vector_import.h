// Imports vector data files (GeoJSON, GeoPackage, Shapefile, TopoJSON, CSV with coordinate
// columns and whatever else GDAL reads as vectors) into feature layers of the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/layers.h"

namespace kartoplot::io {

struct ImportOptions {
    std::string layerName{};           // empty: every layer of the file
    std::string targetCrs{};           // empty: keep the source's; else "EPSG:3857", WKT, PROJ text
    std::string xColumn{};             // CSV: x column (empty: X, lon, longitude or easting)
    std::string yColumn{};             // CSV: y column (empty: Y, lat, latitude or northing)
    std::string csvCrs = "EPSG:4326";  // CSV points' coordinate system when the file names none
    std::string keyField{};  // names refused features by this field's value (empty: by feature id)
    std::string attributeFilter{};  // an OGR SQL WHERE clause; empty: every feature
};

// Largest coordinate magnitude, in map units of the source and of the target, that the import
// passes on; features with larger (or non-finite) coordinates are refused.
inline constexpr double kMaxCoordinate = 1e15;

// How many refused features ImportResult::refused names; the rest are only counted.
inline constexpr std::size_t kMaxNamedRefusals = 10;

// A feature the import left out, and why.
struct RefusedFeature {
    std::string layer{};    // layer name
    std::int64_t fid = -1;  // the source's feature id, or its 1-based position when it has none
    std::string key{};      // text of ImportOptions::keyField's value; empty when not named or null
    std::string reason{};   // e.g. "its coordinates are not finite numbers", "its coordinates lie
                            // beyond ±1e15", "field pop_max holds 'inf', which is not a number",
                            // "it cannot be projected to \"EPSG:3857\""
};

struct ImportResult {
    std::vector<std::shared_ptr<host::FeatureLayer>> layers{};  // in the file's layer order
    std::string error{};            // empty on success; one sentence naming the file and the reason
    std::int64_t refusedCount = 0;  // refused features over all layers
    std::vector<RefusedFeature> refused{};  // the first kMaxNamedRefusals of them, in read order
    bool ok() const noexcept { return error.empty(); }
};

// One feature layer (with a default renderer, its data source set to `path` and the layer's
// name, its definition query to the attribute filter) per vector layer of the file, or only
// the named one; layers without geometry are passed over unless named (then an error). Never throws; on
// any failure `layers` and `refused` are empty, `refusedCount` is 0 and `error` says why
// ("Cannot open PATH: permission denied." for a file that exists but cannot be read; a folder
// is read when GDAL reads it as one dataset, such as a folder of Shapefiles).
//
// Single features that cannot be drawn are refused (left out, counted and named) instead of
// failing the import: non-finite coordinates or coordinates beyond ±kMaxCoordinate (X and Y
// only; Z and M are ignored), before and after projection; a Real field holding a non-finite
// number; a geometry that cannot be projected to `targetCrs`. Features without geometry, or
// with an empty one, are kept with an empty shape (a point whose X and Y are both NaN counts as
// empty). When a geographic layer is projected, its lines and polygons are cut along the
// target's antimeridian (where the map wraps around) and clipped to where the target is valid
// (a world map's area of use, e.g. Web Mercator's latitudes within ±85.06°; a regional grid draws
// its neighbours too); a line or polygon with nothing left is refused. A `keyField` that a layer
// lacks names that layer's refusals by feature id only.
ImportResult importVectorFile(const std::string& path, const ImportOptions& options = {});

struct LayerListing {
    std::vector<std::string> names{};  // in the file's layer order
    std::string error{};               // empty on success
    bool ok() const noexcept { return error.empty(); }
};

// Names of all vector layers of the file (those without geometry included), or the error.
// Never throws.
LayerListing listVectorLayers(const std::string& path);

}  // namespace kartoplot::io
