#include <exception>
#include <string>
#include <string_view>

#include "errors/error_handling.h"
#include "host/persistence.h"
#include "tests/fuzz/fuzz_entries.h"

namespace kartoplot::fuzz {

Outcome readPropertySetBytes(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    host::Variant value;
    try {
        value = host::decodeValue(bytes);
    } catch (const HostError&) {
        return {};  // refused, as a bad file should be
    } catch (const std::exception& e) {
        return {false, std::string("the reader threw something else than HostError: ") + e.what()};
    }
    // What was read is whole and checked: it writes again, and writing is then stable.
    try {
        const std::string once = host::encodeValue(value);
        const std::string twice = host::encodeValue(host::decodeValue(once));
        if (once != twice) {
            return {true, "a value read back from its own bytes writes different bytes"};
        }
    } catch (const std::exception& e) {
        return {true, std::string("a value that was read cannot be written and read again: ") + e.what()};
    }
    return {true, ""};
}

}  // namespace kartoplot::fuzz
