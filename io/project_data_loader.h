// The data reader of projects: a data file's layer read through GDAL (importVectorFile) with
// the layer's definition query applied, projected to the coordinate system the project's layer
// was shown in.
#pragma once

#include "host/project_file.h"

namespace kartoplot::io {

class FileProjectDataLoader final : public host::ProjectDataLoader {
public:
    // The source's layer (by name; empty: the file's first layer with geometry), its features
    // filtered by `definitionQuery` (an OGR SQL WHERE clause) and projected to `crs` (empty:
    // as stored). A missing file gives "The data source PATH does not exist."; other failures
    // the import's sentence.
    host::LoadedSource loadInCrs(const host::DataSource& source, const std::string& definitionQuery,
                                 const std::string& crs) const override;
};

}  // namespace kartoplot::io
