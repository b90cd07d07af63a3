#include "host/file_container.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "errors/error_handling.h"
#include "host/elements.h"
#include "host/persistence.h"
#include "host/project_file.h"
#include "host/symbols.h"

namespace kartoplot::host {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// A small graphics-file-like set: a chart group with a shared fill symbol and attached data.
std::string realFile() {
    auto fill = std::make_shared<SimpleFillSymbol>();
    fill->outline = std::make_shared<SimpleLineSymbol>();
    auto chart = std::make_shared<BarChartSymbol>();
    chart->symbols = SymbolArray{fill, fill};
    chart->values = {1, 2};
    auto marker = std::make_shared<MarkerElement>();
    marker->symbol = chart;
    marker->setName("Kazan");
    marker->setGeometry(Point{49.1, 55.8});
    auto data = std::make_shared<PropertySet>();
    data->setProperty("LayerName", Variant("Cities"));
    data->setProperty("pop", Variant(std::int16_t{12}));
    marker->setCustomProperty(Variant(data));
    auto group = std::make_shared<GroupElement>();
    group->addElement(marker);
    PropertySet set;
    set.setProperty("Graphics", Variant(group));
    set.setProperty("Scale", Variant(1e5));
    return encodeObject(set);
}

// The description of the HostError that reading `bytes` throws, or "" when it reads.
std::string refusal(std::string_view bytes) {
    try {
        (void)decodeValue(bytes, projectClasses());
        return "";
    } catch (const HostError& e) {
        EXPECT_EQ(e.number(), errnum::kBadFileFormat) << e.description();
        return e.description();
    }
}

std::string containerOf(const json& body) { return wrapContainer(serializeBody(body)); }

// An object table entry [class, fields] (spelt out: a braced pair would become a map).
json def(const std::string& name, json fields = json::object()) { return json::array({name, std::move(fields)}); }
// A property set's fields with one entry.
json entry(const std::string& name, json value) { return {{"entries", json::array({name, std::move(value)})}}; }

TEST(FileContainer, EveryTruncationIsRefusedAndEveryFlippedByteIsSafe) {
    const std::string file = realFile();
    ASSERT_EQ(refusal(file), "") << "the whole file reads";
    for (std::size_t size = 0; size < file.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_NE(refusal(file.substr(0, size)), "");
    }
    // A damaged byte anywhere is refused or reads as some value; it never crashes.
    for (std::size_t at = 0; at < file.size(); ++at) {
        for (const int mask : {0x01, 0x80, 0xFF}) {
            std::string damaged = file;
            damaged[at] = static_cast<char>(damaged[at] ^ mask);
            (void)refusal(damaged);
        }
    }
}

TEST(FileContainer, HeaderVersionsAndFramingAreChecked) {
    const std::string file = realFile();
    const auto withVersion = [&](std::uint16_t major, std::uint16_t minor) {
        std::string copy = file;
        copy[8] = static_cast<char>(major >> 8);
        copy[9] = static_cast<char>(major & 0xFF);
        copy[10] = static_cast<char>(minor >> 8);
        copy[11] = static_cast<char>(minor & 0xFF);
        return copy;
    };
    EXPECT_EQ(refusal(withVersion(1, 7)), "") << "a newer minor version is read";
    const std::vector<std::pair<std::string, const char*>> cases = {
        {withVersion(3, 0), "version 3.0, newer than this program"},
        {withVersion(0, 9), "version 0.9, which is not supported"},
        {"TxtMinValue=0", "is not a Kartoplot data file"},
        {"", "is not a Kartoplot data file"},
        {file + "x", "1 stray bytes"},
        {std::string(kFileMagic) + std::string("\0\1", 2), "header is cut short"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(expected);
        EXPECT_NE(refusal(bytes).find(expected), std::string::npos) << refusal(bytes);
    }
}

TEST(FileContainer, HostileCborIsRefusedWithoutDeepRecursionOrLargeAllocation) {
    const auto framed = [](std::string body) { return wrapContainer(body); };
    std::string deep(100000, '\x81');  // arrays of one item, nested
    deep += '\xF6';
    const std::vector<std::pair<std::string, const char*>> cases = {
        {framed(deep), "deeper than 64 levels"},
        {framed(std::string(65, '\x81') + "\xF6"), "deeper than 64 levels"},
        {framed("\x9B\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00"), "truncated"},   // array of 2^63 - 1 items
        {framed("\xBB\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF"), "truncated"},       // map of 2^63 - 1 pairs
        {framed("\x7B\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFFxy"), "truncated"},     // text of 2^64 - 1 bytes
        {framed("\x5A\xFF\xFF\xFF\xFF\x00"), "truncated"},                   // bytes of 2^32 - 1
        {framed(std::string("\xC1\x00", 2)), "damaged"},                     // a tag
        {framed(std::string("\xA2\x61k\x01\x61k\x02", 7)), "repeats the key \"k\""},
        {framed(std::string("\x82\x80\x80\x00", 4)), "stray bytes"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(expected);
        const std::string problem = refusal(bytes);
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
    }
}

TEST(FileContainer, WellFormedBodiesWithHostileContentAreRefused) {
    const auto chain = [](int length) {
        json table = json::array({def("PropertySet")});
        for (int i = 1; i < length; ++i) {
            table.push_back(def("PropertySet", entry("in", {9, i - 1})));
        }
        return json::array({{9, length - 1}, table});
    };
    const auto group = [](json members) {
        return json::array({{9, 1}, json::array({def("MarkerElement"), def("GroupElement", {{"members", members}})})});
    };
    const std::vector<std::pair<json, const char*>> cases = {
        {{{9, 0}, json::array({def("Spreadsheet")})}, "unknown class \"Spreadsheet\""},
        {{{9, 0}, json::array({def("Bad\x01name")})}, "unknown class \"Bad?name\""},
        {{{9, 1}, json::array({def("PropertySet")})}, "names no object stored before it"},
        {{{9, 0}, json::array({def("PropertySet", entry("me", {9, 0}))})}, "names no object stored before it"},
        {chain(64), nullptr},
        {chain(65), "nested deeper than 64"},
        {group({0, 0}), "places an element in two groups"},
        {group({nullptr}), "holds a missing element"},
        {{{2, 40000}, json::array()}, "out of its range"},
        {{{3, -2147483649LL}, json::array()}, "out of its range"},
        {{{5, 1}, json::array()}, "holds no floating-point number"},
        {{{8}, json::array()}, "has no content"},
        {{{4, 1}, json::array()}, "unknown kind 4"},
        {{{0}}, "not a [value, objects] pair"},
        {{{9, 0}, json::array({def("PropertySet", {{"entries", {"a", {0}, "A", {0}}}})})}, "names \"A\" twice"},
        {{{9, 0}, json::array({def("SimpleFillSymbol", {{"style", 99}})})}, "field \"style\" of a SimpleFillSymbol holds the unknown code 99"},
        {{{9, 0}, json::array({def("SimpleFillSymbol", {{"color", {1, 2, 300, false}}})})}, "colour part outside 0 to 255"},
        {{{9, 1}, json::array({def("SimpleMarkerSymbol"), def("SimpleFillSymbol", {{"outline", 0}})})},
         "unsuitable class SimpleMarkerSymbol"},
        {{{9, 0}, json::array({def("MarkerElement", {{"geometry", {{"type", 1}, {"xy", {1.0, NAN}}}}})})}, "no finite number"},
        {{{9, 0}, json::array({def("LineElement", {{"geometry", {{"type", 3}, {"paths", {{1.0, 2.0, 3.0}}}}}})})}, "x, y coordinates"},
        // Layer-file and project classes: limits, texts, missing and misplaced objects.
        {{{9, 0}, json::array({def("FeatureLayer", {{"name", "Cities"}})})}, "\"sourcePath\" of a FeatureLayer is missing"},
        {{{9, 0}, json::array({def("GroupLayer", {{"name", std::string("a\0b", 3)}})})}, "holds a NUL character"},
        {{{9, 0}, json::array({def("GroupLayer", {{"layers", {nullptr}}})})}, "\"layers\" of a GroupLayer holds a missing object"},
        {{{9, 0}, json::array({def("GraphicsLayer", {{"referenceScale", -1.0}})})}, "outside the range it may have"},
        {{{9, 0}, json::array({def("PageLayout", {{"height", 0}})})}, "\"height\" of a PageLayout holds a number outside"},
        {{{9, 0}, json::array({def("PageLayout", {{"mapFrame", {2.0, 0.0, 1.0, 1.0}}})})}, "is no envelope"},
        {{{9, 0}, json::array({def("Map", {{"view", {{"deviceWidth", -1}}}})})}, "outside 0 to 1048576"},
        {{{9, 0}, json::array({def("Map", {{"view", {{"center", {1.0}}}}})})}, "x, y coordinates"},
        {{{9, 0}, json::array({def("Map", {{"view", {{"dpi", 0.5}}}})})}, "\"dpi\" of a Map holds a number outside"},
        {{{9, 0}, json::array({def("Map")})}, "\"basicGraphics\" of a Map is missing"},
        {{{9, 1}, json::array({def("GraphicsLayer"), def("Map", {{"basicGraphics", 0}, {"activeGraphicsLayer", 0}})})},
         "names no graphics layer"},
        {{{9, 2}, json::array({def("GraphicsLayer", {{"name", "a"}}), def("GraphicsLayer", {{"name", "a"}}),
                               def("Map", {{"basicGraphics", 0}, {"graphicsLayers", {0, 1}}})})},
         "two of one name"},
        {{{9, 1}, json::array({def("SimpleFillSymbol"), def("MapDocument", {{"maps", {0}}})})},
         "unsuitable class SimpleFillSymbol"},
    };
    for (const auto& [body, expected] : cases) {
        SCOPED_TRACE(body.dump());
        const std::string problem = refusal(containerOf(body));
        if (expected == nullptr) {
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_NE(problem.find(expected), std::string::npos) << problem;
        }
    }
}

TEST(FileContainer, OnlyRegularFilesUpTo256MiBAreRead) {
    const fs::path folder = fs::temp_directory_path() / ("kartoplot-container-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string big = (folder / "big.obj").string();
    std::ofstream(big).close();
    fs::resize_file(big, kMaxFileBytes + 1);  // sparse: nothing is written
    const std::string pipe = (folder / "pipe.par").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::pair<std::string, const char*>> cases = {
        {big, "larger than 256 MiB"},
        {pipe, "not a regular file"},  // and does not wait for a writer
        {"/dev/zero", "not a regular file"},
    };
    for (const auto& [path, expected] : cases) {
        SCOPED_TRACE(path);
        try {
            (void)readContainerFile(path);
            ADD_FAILURE() << "read";
        } catch (const HostError& e) {
            EXPECT_NE(e.description().find(expected), std::string::npos) << e.description();
        }
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace kartoplot::host
