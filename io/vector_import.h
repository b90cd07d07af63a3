// Imports vector data files (GeoJSON, GeoPackage, Shapefile, TopoJSON, CSV with coordinate
// columns and whatever else GDAL reads as vectors) into feature layers of the host.
#pragma once

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
};

struct ImportResult {
    std::vector<std::shared_ptr<host::FeatureLayer>> layers{};  // in the file's layer order
    std::string error{};  // empty on success; one sentence naming the file and the reason
    bool ok() const noexcept { return error.empty(); }
};

// One feature layer (with a default renderer) per vector layer of the file, or only the named
// one; layers without geometry are passed over unless named (then an error). Never throws; on
// any failure `layers` is empty and `error` says why.
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
