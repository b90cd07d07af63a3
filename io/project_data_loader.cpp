#include "io/project_data_loader.h"

#include "io/data_source_loader.h"

namespace kartoplot::io {

host::LoadedSource FileProjectDataLoader::loadInCrs(const host::DataSource& source, const std::string& definitionQuery,
                                                    const std::string& crs) const {
    return loadSourceLayer(source, definitionQuery, crs);
}

}  // namespace kartoplot::io
