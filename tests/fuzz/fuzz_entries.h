// The entry functions of the fuzz targets. Each libFuzzer program (import_geojson.cpp, ...) and
// the replay test run inputs through the same function, so every seed and every input that once
// broke a target is replayed by the ordinary test run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kartoplot::fuzz {

struct Outcome {
    bool accepted = false;  // imported with layers / read as a command other than a usage error
    std::string problem;    // empty, or the promise the code under test broke on this input
};

using Entry = Outcome (*)(const std::uint8_t* data, std::size_t size);

// The bytes as a file of that format in GDAL's in-memory file system, imported once as it is
// and once reprojected to EPSG:3857.
Outcome importGeoJson(const std::uint8_t* data, std::size_t size);
Outcome importCsv(const std::uint8_t* data, std::size_t size);
Outcome importTopoJson(const std::uint8_t* data, std::size_t size);

// The bytes as command-line arguments: every NUL or newline ends one ("a\nb" and "a\nb\n" are
// both a, b; "a\n\n" is a and an empty argument).
Outcome parseOptions(const std::uint8_t* data, std::size_t size);

// The bytes as a property-set file (legend, parameter or graphics file): read, then written and
// read again.
Outcome readPropertySetBytes(const std::uint8_t* data, std::size_t size);

// The bytes as a layer file: read, written and read again, then its layer built over sample
// data and every feature's symbol asked for.
Outcome readLayerFileBytes(const std::uint8_t* data, std::size_t size);

// The bytes as a project: read, written and read again, then built over sample data (a source
// whose path holds "missing" is not there), every feature's symbol asked for, and stored again.
Outcome readProjectBytes(const std::uint8_t* data, std::size_t size);

// The bytes as a graphics file: read and checked, and a complete one loaded onto a new layer of
// a map (every differing value restored), its elements' bounds asked for, and saved and read
// again.
Outcome readGraphicsFileBytes(const std::uint8_t* data, std::size_t size);

// For LLVMFuzzerTestOneInput: a broken promise becomes a crash that libFuzzer records.
inline int runForFuzzer(Entry entry, const std::uint8_t* data, std::size_t size) {
    const Outcome outcome = entry(data, size);
    if (!outcome.problem.empty()) {
        std::fprintf(stderr, "fuzz: %s\n", outcome.problem.c_str());
        std::abort();
    }
    return 0;
}

}  // namespace kartoplot::fuzz
