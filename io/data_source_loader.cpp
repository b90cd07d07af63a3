#include "io/data_source_loader.h"

#include <filesystem>
#include <system_error>

#include "io/vector_import.h"

namespace kartoplot::io {

host::LoadedSource loadSourceLayer(const host::DataSource& source, const std::string& definitionQuery,
                                   const std::string& crs, const std::string& whose) {
    host::LoadedSource loaded;
    std::error_code ec;
    if (source.path.rfind("/vsi", 0) != 0 && !std::filesystem::exists(source.path, ec)) {
        loaded.error = "The data source " + source.path + whose + " does not exist.";
        return loaded;
    }
    ImportOptions options;
    options.layerName = source.layerName;
    options.attributeFilter = definitionQuery;
    options.targetCrs = crs;
    ImportResult result = importVectorFile(source.path, options);
    if (!result.ok()) {
        loaded.error = result.error;
        return loaded;
    }
    if (result.layers.empty()) {
        loaded.error = "The data source " + source.path + " holds no layer with geometry.";
        return loaded;
    }
    loaded.featureClass = result.layers.front()->featureClass();
    return loaded;
}

host::LoadedSource FileDataSourceLoader::load(const host::DataSource& source,
                                              const std::string& definitionQuery) const {
    return loadSourceLayer(source, definitionQuery, targetCrs_, " of a layer file");
}

}  // namespace kartoplot::io
