#include <algorithm>
#include <string>
#include <vector>

#include <cpl_conv.h>
#include <cpl_vsi.h>

#include "io/vector_import.h"
#include "tests/fuzz/fuzz_entries.h"

namespace kartoplot::fuzz {
namespace {

void configureGdal() {
    static const bool configured = [] {
        // A file may name its coordinate system by URL, which GDAL would fetch: send every
        // request to a closed local port so no input waits on the network.
        CPLSetConfigOption("GDAL_HTTP_PROXY", "127.0.0.1:9");
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");  // no .aux.xml look-ups
        return true;
    }();
    (void)configured;
}

// What importVectorFile promises, checked on one result; empty when it holds.
std::string brokenPromise(const io::ImportResult& result, const std::string& path,
                          const io::ImportOptions& options) {
    const std::string pass = options.targetCrs.empty() ? "import: " : "reprojected import: ";
    if (!result.ok()) {
        if (!result.layers.empty()) {
            return pass + "a failed import returned layers (" + result.error + ")";
        }
        if (result.error.find(path) == std::string::npos) {
            return pass + "the error does not name the file: " + result.error;
        }
        return {};
    }
    if (result.layers.empty()) {
        return pass + "a successful import returned no layers";
    }
    for (const auto& layer : result.layers) {
        if (!layer || !layer->featureClass() || !layer->renderer()) {
            return pass + "a layer without feature class or renderer";
        }
        const host::FeatureClass& features = *layer->featureClass();
        if (!options.targetCrs.empty() && !features.spatialReference()) {
            return pass + "layer \"" + layer->name() + "\" was reprojected but has no coordinate system";
        }
        // The extent reads every imported shape, so the sanitizers see what the import built.
        (void)features.extent();
    }
    return {};
}

Outcome importBytes(const std::uint8_t* data, std::size_t size, const char* path) {
    configureGdal();
    // GDAL reads the in-memory file in place; one spare byte keeps the buffer non-empty.
    std::vector<GByte> bytes(size + 1);
    std::copy(data, data + size, bytes.begin());
    VSILFILE* file = VSIFileFromMemBuffer(path, bytes.data(), size, FALSE);
    if (file == nullptr) {
        return {false, std::string("cannot make the in-memory file ") + path};
    }
    VSIFCloseL(file);

    Outcome outcome;
    for (const char* targetCrs : {"", "EPSG:3857"}) {
        io::ImportOptions options;
        options.targetCrs = targetCrs;
        const io::ImportResult result = io::importVectorFile(path, options);
        outcome.problem = brokenPromise(result, path, options);
        if (!outcome.problem.empty()) {
            break;
        }
        outcome.accepted = outcome.accepted || result.ok();
    }
    VSIUnlink(path);
    return outcome;
}

}  // namespace

Outcome importGeoJson(const std::uint8_t* data, std::size_t size) {
    return importBytes(data, size, "/vsimem/fuzz.geojson");
}

Outcome importCsv(const std::uint8_t* data, std::size_t size) {
    return importBytes(data, size, "/vsimem/fuzz.csv");
}

// GDAL's TopoJSON driver knows a topology by its content; the ending is the usual one.
Outcome importTopoJson(const std::uint8_t* data, std::size_t size) {
    return importBytes(data, size, "/vsimem/fuzz.topojson");
}

}  // namespace kartoplot::fuzz
