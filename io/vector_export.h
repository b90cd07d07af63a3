// Writes a feature layer of the host (geometry, attribute fields and values) to a GeoPackage,
// GeoJSON or ESRI Shapefile through GDAL/OGR.
#pragma once

#include <optional>
#include <string>

#include "host/layers.h"

namespace kartoplot::io {

enum class VectorFormat { GeoPackage = 1, GeoJson = 2, Shapefile = 3 };

// The format a file name's ending names: .gpkg, .geojson or .json, .shp (letter case ignored);
// nothing for any other ending.
std::optional<VectorFormat> formatOfPath(const std::string& path);

struct ExportResult {
    std::string error{};  // empty on success; one sentence naming the file and the reason
    bool ok() const noexcept { return error.empty(); }
};

// Writes the layer's features to `path` in `format` (nothing: the format of the path's ending),
// replacing the file (for a Shapefile: the files of its name). The object-id and shape fields
// become the file's own feature ids and geometry; every other field is written with its values
// (nulls stay null). Refuses to write over the layer's own data source. All or nothing: the
// data is written under a temporary name in the same folder and renamed into place only when
// complete; on any failure the partial output is removed and the old file is left as it was.
// Never throws.
ExportResult exportFeatureLayer(const host::FeatureLayer& layer, const std::string& path,
                                std::optional<VectorFormat> format = std::nullopt);

}  // namespace kartoplot::io
