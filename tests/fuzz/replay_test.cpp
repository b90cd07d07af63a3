// Runs every seed of tests/fuzz/corpus/<target>/ and every saved crash case of
// tests/fuzz/regressions/<target>/ through the fuzz target's entry function.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fuzz/fuzz_entries.h"

namespace kartoplot::fuzz {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    Entry entry;
};

void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

const Target kTargets[] = {
    {"import_geojson", importGeoJson},
    {"import_csv", importCsv},
    {"import_topojson", importTopoJson},
    {"options", parseOptions},
    {"property_set_file", readPropertySetBytes},
    {"layer_file", readLayerFileBytes},
    {"project_file", readProjectBytes},
    {"graphics_file", readGraphicsFileBytes},
};

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzReplay : public testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, EverySeedAndCrashCaseRunsToItsEnd) {
    const Target& target = GetParam();
    const fs::path corpus = fs::path(KARTOPLOT_FUZZ_DIR) / "corpus" / target.name;
    const std::vector<fs::path> seeds = filesIn(corpus);
    ASSERT_FALSE(seeds.empty()) << "no seed inputs in " << corpus;

    std::size_t accepted = 0;
    for (const fs::path& file : seeds) {
        const std::vector<std::uint8_t> bytes = bytesOf(file);
        const Outcome outcome = target.entry(bytes.data(), bytes.size());
        EXPECT_EQ(outcome.problem, "") << file;
        accepted += outcome.accepted ? 1 : 0;
    }
    // Seeds of both kinds start the fuzzer inside the import or parser as well as on its
    // error paths; a corpus that GDAL or the parser refuses whole would fuzz little.
    EXPECT_GT(accepted, 0U) << "no seed in " << corpus << " is accepted";
    EXPECT_LT(accepted, seeds.size()) << "every seed in " << corpus << " is accepted";

    for (const fs::path& file :
         filesIn(fs::path(KARTOPLOT_FUZZ_DIR) / "regressions" / target.name)) {
        const std::vector<std::uint8_t> bytes = bytesOf(file);
        EXPECT_EQ(target.entry(bytes.data(), bytes.size()).problem, "") << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kartoplot::fuzz
