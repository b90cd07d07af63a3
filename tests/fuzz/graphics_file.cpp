// libFuzzer program: see fuzz_entries.h for what one input is.
#include "tests/fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return kartoplot::fuzz::runForFuzzer(kartoplot::fuzz::readGraphicsFileBytes, data, size);
}
