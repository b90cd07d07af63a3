// The data reader that layer files use to re-read their feature layers' data: a data file's
// layer read through GDAL (importVectorFile) with the layer's definition query applied.
#pragma once

#include <string>

#include "host/layer_file.h"

namespace kartoplot::io {

// The source's layer (by name; empty: the file's first layer with geometry), its features
// filtered by `definitionQuery` (an OGR SQL WHERE clause) and projected to `crs` (empty: the
// source's). Never throws. A missing file gives "The data source PATH" + `whose` + " does not
// exist."; a file without a layer with geometry and other failures give a sentence too.
host::LoadedSource loadSourceLayer(const host::DataSource& source, const std::string& definitionQuery,
                                   const std::string& crs, const std::string& whose = {});

class FileDataSourceLoader final : public host::DataSourceLoader {
public:
    // Features projected to `targetCrs` (as ImportOptions::targetCrs; empty: the source's).
    explicit FileDataSourceLoader(std::string targetCrs = {}) : targetCrs_(std::move(targetCrs)) {}

    // The source's layer (by name; empty: the file's first layer with geometry), its features
    // filtered by `definitionQuery` (an OGR SQL WHERE clause). A missing file gives "The data
    // source PATH of a layer file does not exist."; other failures the import's sentence.
    host::LoadedSource load(const host::DataSource& source, const std::string& definitionQuery) const override;

private:
    std::string targetCrs_;
};

}  // namespace kartoplot::io
