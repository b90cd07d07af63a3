#include "host/layer_file.h"
#include "tests/fuzz/stored_files.h"

namespace kartoplot::fuzz {

Outcome readLayerFileBytes(const std::uint8_t* data, std::size_t size) {
    Outcome outcome;
    const auto record = readOrRefuse([&] { return host::decodeLayerFile(asText(data, size), "the data"); }, outcome);
    if (!record) {
        return outcome;
    }
    const auto& classes = host::layerFileClasses();
    outcome = {true, writesStably(
                         *record, [&](const std::shared_ptr<host::LayerRecord>& r) { return host::encodeObject(*r, classes); },
                         [](const std::string& bytes) { return host::decodeLayerFile(bytes, "its own bytes"); },
                         "a layer file")};
    if (!outcome.problem.empty()) {
        return outcome;
    }
    // The layer it describes is built and drawn, or refused with HostError.
    try {
        drawAll(*host::buildLayer(**record, "/layers", SampleLoader()));
    } catch (const HostError&) {
    } catch (const std::exception& e) {
        outcome.problem = std::string("building or drawing the layer threw something else than HostError: ") + e.what();
    }
    return outcome;
}

}  // namespace kartoplot::fuzz
