// Layer files (*.lyr): a feature or group layer kept apart from the map, with its names,
// visibility, renderer and definition query, and for each feature layer its data source
// instead of its features. Reading a layer file re-reads the data through a DataSourceLoader
// that the front end brings (io/ reads files with GDAL), so this module stays free of it.
//
// Data source paths are stored relative to the layer file's folder when the source exists on
// disk and lies on the same root (drive) as the layer file, and absolute otherwise; sources
// that are no files (GDAL's "/vsi..." paths, connection texts) are stored as given.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/layers.h"
#include "host/persistence.h"

namespace kartoplot::host {

// ---- data sources ----------------------------------------------------------------------------

// What a loader gives: the feature class, or an error sentence naming the source.
struct LoadedSource {
    std::shared_ptr<FeatureClass> featureClass;
    std::string error;
    bool ok() const noexcept { return featureClass != nullptr && error.empty(); }
};

// Reads the features of a data source. Implementations never throw: every failure (missing
// file, no such layer, a definition query the source refuses) is an error sentence.
class DataSourceLoader {
public:
    virtual ~DataSourceLoader() = default;
    // The source's layer (source.layerName; empty: its first layer) with the features that
    // `definitionQuery` passes (empty: all), or an error naming source.path.
    virtual LoadedSource load(const DataSource& source, const std::string& definitionQuery) const = 0;
};

// ---- the stored form of layers ----------------------------------------------------------------

// A layer as a layer file holds it: no features, only what rebuilds the layer.
class LayerRecord : public HostObject {
public:
    std::string name;
    bool visible = true;
};

class FeatureLayerRecord final : public LayerRecord {
public:
    DataSource dataSource;  // path as stored: relative to the layer file, or absolute
    std::string definitionQuery;
    std::shared_ptr<FeatureRenderer> renderer;  // may be null

    std::string className() const override { return "FeatureLayer"; }
};

class GroupLayerRecord final : public LayerRecord {
public:
    std::vector<std::shared_ptr<LayerRecord>> layers;  // members in order

    std::string className() const override { return "GroupLayer"; }
};

// The fields of every layer record, and of a feature layer record (FeatureLayerRecord here,
// MapFeatureLayerRecord in projects), for any field visitor (host/persistence.h).
template <class V, class L>
void layerFields(V& v, L& l) {
    v.text("name", l.name, TextRule::NoNul);
    v.boolean("visible", l.visible);
}

template <class V, class L>
void featureLayerFields(V& v, L& l) {
    layerFields(v, l);
    v.text("sourcePath", l.dataSource.path, TextRule::NoNul);
    v.text("sourceLayer", l.dataSource.layerName, TextRule::NoNul);
    v.text("definitionQuery", l.definitionQuery, TextRule::NoNul);
    v.object("renderer", l.renderer);
}

// "" when `renderer` can draw `data`, else why not: a chart renderer's fields must be numeric
// fields of the data ("The chart field pop is missing in <path>.").
std::string rendererMismatch(const FeatureRenderer* renderer, const FeatureClass& data, const std::string& path);

// Refuses, through reader.fail(), a feature layer read without a source path.
void checkSourcePath(const DataSource& source, const FieldReader& reader);

// The host's classes plus SimpleRenderer, ChartRenderer, FeatureLayer and GroupLayer records.
// Built once.
const ClassRegistry& layerFileClasses();

// ---- paths ------------------------------------------------------------------------------------

// The path a layer file in `layerFileFolder` stores for a data source (see the file comment).
// A relative `sourcePath` is taken from the current folder first.
std::string storedSourcePath(const std::string& sourcePath, const std::string& layerFileFolder);
// The path a stored one stands for: relative ones from `layerFileFolder`, others as they are.
std::string resolvedSourcePath(const std::string& storedPath, const std::string& layerFileFolder);

// ---- writing and reading ----------------------------------------------------------------------

// The record of a layer as a layer file at `layerFilePath` stores it (copies of the renderers).
// Throws HostError naming the layer when a feature layer has no data source (it was made in
// memory) or a group holds another kind of layer.
std::shared_ptr<LayerRecord> layerRecord(const Layer& layer, const std::string& layerFilePath);

// The whole file (container and body) of a layer file at `layerFilePath`. Throws as
// layerRecord does, or when a renderer cannot be stored.
std::string encodeLayerFile(const Layer& layer, const std::string& layerFilePath);
// Writes the layer file through AtomicFile: the old file stays whole until the new one is
// complete. Throws HostError, nothing written, when the layer cannot be stored or written.
void writeLayerFile(const Layer& layer, const std::string& path);

// The record of a layer file's bytes; `what` names the data in messages. Nothing is returned
// unless everything was read and checked: throws HostError (format error) for a damaged file,
// one of a newer major version, or one that holds no layer.
std::shared_ptr<LayerRecord> decodeLayerFile(std::string_view bytes, const std::string& what);
// The record of the file at `path` (data source paths still as stored). Throws as
// decodeLayerFile does, or when the file cannot be read.
std::shared_ptr<LayerRecord> readLayerFileRecord(const std::string& path);

// The layer of a record with its data read through `loader`; relative paths are taken from
// `layerFileFolder`. All or nothing: throws HostError (kFileNotFound) with the loader's
// sentence when any source cannot be read, and nothing is returned.
std::shared_ptr<Layer> buildLayer(const LayerRecord& record, const std::string& layerFileFolder,
                                  const DataSourceLoader& loader);
// readLayerFileRecord and buildLayer in one.
std::shared_ptr<Layer> readLayerFile(const std::string& path, const DataSourceLoader& loader);

// The host's layer file service: open a file, take or set its layer, save it.
class LayerFile {
public:
    explicit LayerFile(std::shared_ptr<const DataSourceLoader> loader) : loader_(std::move(loader)) {}

    // Reads the file and its data; on any failure (HostError) the object is unchanged.
    void open(const std::string& path);
    // The layer opened or set; nullptr before.
    const std::shared_ptr<Layer>& layer() const noexcept { return layer_; }
    void setLayer(std::shared_ptr<Layer> layer) { layer_ = std::move(layer); }
    // Writes the layer to `path` (writeLayerFile); HostError when there is no layer.
    void save(const std::string& path);
    // The path last opened or saved.
    const std::string& path() const noexcept { return path_; }

private:
    std::shared_ptr<const DataSourceLoader> loader_;
    std::shared_ptr<Layer> layer_;
    std::string path_;
};

}  // namespace kartoplot::host
