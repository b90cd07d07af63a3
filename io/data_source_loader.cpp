#include "io/data_source_loader.h"

#include <filesystem>
#include <system_error>

#include "io/vector_import.h"

namespace kartoplot::io {

host::LoadedSource FileDataSourceLoader::load(const host::DataSource& source,
                                              const std::string& definitionQuery) const {
    host::LoadedSource loaded;
    std::error_code ec;
    if (source.path.rfind("/vsi", 0) != 0 && !std::filesystem::exists(source.path, ec)) {
        loaded.error = "The data source " + source.path + " of a layer file does not exist.";
        return loaded;
    }
    ImportOptions options;
    options.layerName = source.layerName;
    options.attributeFilter = definitionQuery;
    options.targetCrs = targetCrs_;
    ImportResult result = importVectorFile(source.path, options);
    if (!result.ok()) {
        loaded.error = result.error;
        return loaded;
    }
    loaded.featureClass = result.layers.front()->featureClass();
    return loaded;
}

}  // namespace kartoplot::io
