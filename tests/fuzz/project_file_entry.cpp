#include "tests/fuzz/stored_files.h"

namespace kartoplot::fuzz {

Outcome readProjectBytes(const std::uint8_t* data, std::size_t size) {
    Outcome outcome;
    const auto record = readOrRefuse([&] { return host::decodeProjectFile(asText(data, size), "the data"); }, outcome);
    if (!record) {
        return outcome;
    }
    const auto& classes = host::projectClasses();
    outcome = {true, writesStably(
                         *record, [&](const std::shared_ptr<host::ProjectRecord>& r) { return host::encodeObject(*r, classes); },
                         [](const std::string& bytes) { return host::decodeProjectFile(bytes, "its own bytes"); },
                         "a project")};
    if (!outcome.problem.empty()) {
        return outcome;
    }
    // A checked record always builds; the document draws and is stored as it was read.
    try {
        const host::OpenedProject opened = host::buildProject(**record, "/projects", SampleLoader());
        for (const auto& map : opened.document->maps()) {
            for (const auto& layer : map->layers()) {
                drawAll(*layer);
            }
        }
        host::encodeProjectFile(*opened.document, "/projects/again.kartoplot");
    } catch (const std::exception& e) {
        outcome.problem = std::string("a checked project did not build or store again: ") + e.what();
    }
    return outcome;
}

}  // namespace kartoplot::fuzz
