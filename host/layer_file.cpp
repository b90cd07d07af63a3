#include "host/layer_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "errors/error_handling.h"
#include "host/atomic_file.h"
#include "host/file_container.h"

namespace kartoplot::host {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSource = "LayerFile";

// GDAL's virtual file systems ("/vsizip/...", "/vsicurl/...") are no paths on disk.
bool isVirtualPath(const std::string& path) { return path.rfind("/vsi", 0) == 0; }

// A ':' before the first separator marks a connection text ("PG:dbname=x") or a drive.
bool hasScheme(const std::string& path) {
    const auto colon = path.find(':');
    return colon != std::string::npos && colon < path.find_first_of("/\\");
}

void addRenderers(ClassRegistry& registry) {
    registry.addFields<SimpleRenderer>("SimpleRenderer", [](auto& v, auto& s) {
        v.object("symbol", s.symbol);
        v.text("label", s.label);
    });
    registry.addFields<ChartRenderer>("ChartRenderer", [](auto& v, auto& s) {
        v.object("chartSymbol", s.chartSymbol);
        v.texts("fieldNames", s.fieldNames);
        v.text("label", s.label);
    });
}

void addLayers(ClassRegistry& registry) {
    registry.addFields<FeatureLayerRecord>(
        "FeatureLayer", [](auto& v, auto& l) { featureLayerFields(v, l); },
        [](const FeatureLayerRecord& l, const FieldReader& r) { checkSourcePath(l.dataSource, r); });
    registry.addFields<GroupLayerRecord>("GroupLayer", [](auto& v, auto& l) {
        layerFields(v, l);
        v.objects("layers", l.layers, NullRule::Refused);
    });
}

std::string folderOf(const std::string& filePath) {
    return fs::path(filePath).parent_path().string();
}

std::shared_ptr<LayerRecord> recordOf(const Layer& layer, const std::string& folder, int depth) {
    if (depth > kMaxNesting) {
        throw HostError(errnum::kInvalidCall, kSource,
                        "The layer " + layer.name() + " nests groups too deeply to be stored.");
    }
    if (const auto* feature = dynamic_cast<const FeatureLayer*>(&layer)) {
        if (feature->dataSource().isEmpty()) {
            throw HostError(errnum::kInvalidCall, kSource,
                            "The layer " + layer.name() +
                                " was not read from a file, so a layer file cannot refer to its data.");
        }
        auto record = std::make_shared<FeatureLayerRecord>();
        record->dataSource = {storedSourcePath(feature->dataSource().path, folder),
                              feature->dataSource().layerName};
        record->definitionQuery = feature->definitionQuery();
        record->renderer = feature->renderer() ? feature->renderer()->clone() : nullptr;
        record->name = layer.name();
        record->visible = layer.visible();
        return record;
    }
    const auto* group = dynamic_cast<const GroupLayer*>(&layer);
    if (group == nullptr) {
        throw HostError(errnum::kInvalidCall, kSource, "The layer " + layer.name() + " is of a kind layer files do not hold.");
    }
    auto record = std::make_shared<GroupLayerRecord>();
    for (const auto& member : group->layers()) {
        record->layers.push_back(recordOf(*member, folder, depth + 1));
    }
    record->name = layer.name();
    record->visible = layer.visible();
    return record;
}

std::shared_ptr<Layer> build(const LayerRecord& record, const std::string& folder, const DataSourceLoader& loader,
                             int depth) {
    if (depth > kMaxNesting) {
        throw HostError(errnum::kBadFileFormat, kSource, "The layer " + record.name + " nests groups too deeply.");
    }
    if (const auto* feature = dynamic_cast<const FeatureLayerRecord*>(&record)) {
        const DataSource source{resolvedSourcePath(feature->dataSource.path, folder), feature->dataSource.layerName};
        LoadedSource loaded = loader.load(source, feature->definitionQuery);
        if (!loaded.ok()) {
            throw HostError(errnum::kFileNotFound, kSource,
                            loaded.error.empty() ? "The data source " + source.path + " of the layer " +
                                                       record.name + " cannot be read."
                                                 : loaded.error);
        }
        if (std::string mismatch = rendererMismatch(feature->renderer.get(), *loaded.featureClass, source.path);
            !mismatch.empty()) {
            throw HostError(errnum::kNotFound, kSource, mismatch);
        }
        auto layer = std::make_shared<FeatureLayer>(record.name, std::move(loaded.featureClass));
        layer->setDataSource(source);
        layer->setDefinitionQuery(feature->definitionQuery);
        layer->setRenderer(feature->renderer ? feature->renderer->clone() : nullptr);
        layer->setVisible(record.visible);
        return layer;
    }
    const auto* group = dynamic_cast<const GroupLayerRecord*>(&record);
    if (group == nullptr) {
        throw HostError(errnum::kBadFileFormat, kSource, "The layer " + record.name + " is of an unknown kind.");
    }
    auto layer = std::make_shared<GroupLayer>(record.name);
    for (const auto& member : group->layers) {
        layer->add(build(*member, folder, loader, depth + 1));
    }
    layer->setVisible(record.visible);
    return layer;
}

}  // namespace

const ClassRegistry& layerFileClasses() {
    static const ClassRegistry registry = [] {
        ClassRegistry r = hostClasses();
        addRenderers(r);
        addLayers(r);
        return r;
    }();
    return registry;
}

void checkSourcePath(const DataSource& source, const FieldReader& reader) {
    if (source.path.empty()) {
        reader.fail("sourcePath", "is missing or empty");
    }
}

std::string rendererMismatch(const FeatureRenderer* renderer, const FeatureClass& data, const std::string& path) {
    const auto* chart = dynamic_cast<const ChartRenderer*>(renderer);
    if (chart == nullptr) {
        return {};
    }
    for (const std::string& name : chart->fieldNames) {
        const int index = data.findField(name);
        if (index < 0 || !data.fields().field(index).isNumeric()) {
            return "The chart field " + name + (index < 0 ? " is missing in " : " is not numeric in ") + path + ".";
        }
    }
    return {};
}

std::string storedSourcePath(const std::string& sourcePath, const std::string& layerFileFolder) {
    if (sourcePath.empty() || isVirtualPath(sourcePath) || hasScheme(sourcePath)) {
        return sourcePath;
    }
    std::error_code ec;
    const fs::path source = fs::weakly_canonical(fs::absolute(sourcePath, ec), ec);
    if (ec || !fs::exists(source, ec)) {
        return sourcePath;
    }
    const fs::path folder = fs::weakly_canonical(fs::absolute(layerFileFolder.empty() ? "." : layerFileFolder, ec), ec);
    if (ec || source.root_name() != folder.root_name()) {
        return source.generic_string();
    }
    const fs::path relative = source.lexically_relative(folder);
    return relative.empty() ? source.generic_string() : relative.generic_string();
}

std::string resolvedSourcePath(const std::string& storedPath, const std::string& layerFileFolder) {
    const fs::path stored(storedPath);
    if (storedPath.empty() || stored.is_absolute() || isVirtualPath(storedPath) || hasScheme(storedPath)) {
        return storedPath;
    }
    return (fs::path(layerFileFolder.empty() ? "." : layerFileFolder) / stored).lexically_normal().string();
}

std::shared_ptr<LayerRecord> layerRecord(const Layer& layer, const std::string& layerFilePath) {
    return recordOf(layer, folderOf(layerFilePath), 0);
}

std::string encodeLayerFile(const Layer& layer, const std::string& layerFilePath) {
    return encodeObject(*layerRecord(layer, layerFilePath), layerFileClasses());
}

void writeLayerFile(const Layer& layer, const std::string& path) {
    writeFileAtomically(path, encodeLayerFile(layer, path));
}

std::shared_ptr<LayerRecord> decodeLayerFile(std::string_view bytes, const std::string& what) {
    auto record = std::dynamic_pointer_cast<LayerRecord>(decodeObject(bytes, layerFileClasses(), what));
    if (!record) {
        throw HostError(errnum::kBadFileFormat, kSource, what + " holds no layer.");
    }
    return record;
}

std::shared_ptr<LayerRecord> readLayerFileRecord(const std::string& path) {
    return decodeLayerFile(readContainerFile(path), path);
}

std::shared_ptr<Layer> buildLayer(const LayerRecord& record, const std::string& layerFileFolder,
                                  const DataSourceLoader& loader) {
    return build(record, layerFileFolder, loader, 0);
}

std::shared_ptr<Layer> readLayerFile(const std::string& path, const DataSourceLoader& loader) {
    const auto record = readLayerFileRecord(path);
    return buildLayer(*record, folderOf(path), loader);
}

void LayerFile::open(const std::string& path) {
    if (!loader_) {
        throw HostError(errnum::kObjectMissing, kSource, "No data reader is set to open " + path + ".");
    }
    auto layer = readLayerFile(path, *loader_);
    layer_ = std::move(layer);
    path_ = path;
}

void LayerFile::save(const std::string& path) {
    if (!layer_) {
        throw HostError(errnum::kObjectMissing, kSource, "There is no layer to save as " + path + ".");
    }
    writeLayerFile(*layer_, path);
    path_ = path;
}

}  // namespace kartoplot::host
