#include "host/persistence.h"
#include "tests/fuzz/stored_files.h"

namespace kartoplot::fuzz {

Outcome readPropertySetBytes(const std::uint8_t* data, std::size_t size) {
    Outcome outcome;
    const auto value = readOrRefuse([&] { return host::decodeValue(asText(data, size)); }, outcome);
    if (value) {
        outcome = {true, writesStably(
                             *value, [](const host::Variant& v) { return host::encodeValue(v); },
                             [](const std::string& bytes) { return host::decodeValue(bytes); }, "a value")};
    }
    return outcome;
}

}  // namespace kartoplot::fuzz
