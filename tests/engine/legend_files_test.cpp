// Legend data sets and property-set files: the symbol set of a chart element, legend files
// written and read back through real files, the file kind by extension, the checks on a
// legend's symbol count, the stand-in for fills that are kept by name only, and the path
// helpers.
#include "engine/legend_files.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/element_data.h"
#include "host/persistence.h"
#include "tests/engine/engine_fixture.h"

namespace kartoplot::engine::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::shared_ptr<host::SimpleFillSymbol> simpleFill(std::uint8_t red) {
    auto fill = std::make_shared<host::SimpleFillSymbol>();
    fill->color = host::Color{red, 10, 20};
    return fill;
}

class LegendFilesTest : public EngineFixture {
protected:
    LegendFilesTest() {
        dir = fs::temp_directory_path() /
              ("kp-legend-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~LegendFilesTest() override { fs::remove_all(dir); }

    // A chart marker element with these fills and the data set of fields a, b, c ... (one
    // name per fill unless `fieldCount` says otherwise).
    static std::shared_ptr<host::MarkerElement> chartElement(
        const std::vector<std::shared_ptr<host::Symbol>>& fills, int fieldCount = -1) {
        auto chart = std::make_shared<host::BarChartSymbol>();
        for (const auto& fill : fills) {
            chart->symbols.add(fill);
        }
        auto element = std::make_shared<host::MarkerElement>();
        element->symbol = chart;
        Strings names{kLayerNameKey, kVmaxKey, kVminKey};
        std::vector<host::Variant> values{host::Variant("Cities"), host::Variant(8.0),
                                          host::Variant(0.5)};
        const int n = fieldCount < 0 ? static_cast<int>(fills.size()) : fieldCount;
        for (int k = 0; k < n; ++k) {
            names.push_back(std::string(1, static_cast<char>('a' + k)));
            values.push_back(host::Variant(1.0 * k));
        }
        SetElementData(*element, std::make_shared<const Strings>(names), values);
        return element;
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Writes a legend file whose symbol set holds the given entries.
    std::string writeLegend(const std::string& name,
                            const std::vector<std::pair<std::string, host::Variant>>& entries) {
        auto symbols = std::make_shared<host::PropertySet>();
        for (const auto& [key, value] : entries) {
            symbols->setProperty(key, value);
        }
        host::PropertySet legend;
        legend.setProperty(kSymbolsKey, host::Variant(symbols));
        legend.setProperty(kValuesKey, host::Variant(std::make_shared<host::PropertySet>()));
        const std::string file = path(name);
        host::writePropertySetFile(legend, file);
        return file;
    }

    std::vector<std::string> reportedProcedures() const {
        std::vector<std::string> out;
        for (const auto& record : log->records()) {
            out.push_back(reportedProcedure(record));
        }
        return out;
    }

    fs::path dir;
};

TEST_F(LegendFilesTest, SymbolSetKeepsFieldsForEveryBarAndStoresOnlySimpleAndMultiLayerFills) {
    const auto a = simpleFill(1);
    const auto b = simpleFill(2);
    const auto c = simpleFill(3);
    const auto set = GetChartMarkerSymbols(state, *chartElement({a, b, c}));
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->names(), (Strings{"SymbolCount", "Field0", "Symbol0", "SymbolType0", "Field1",
                                     "Symbol1", "SymbolType1", "Field2", "Symbol2", "SymbolType2"}));
    EXPECT_EQ(set->getProperty("SymbolCount"), host::Variant(std::int32_t{3}));
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const std::string i = std::to_string(k);
        EXPECT_EQ(set->getProperty("Field" + i), host::Variant(std::string(1, 'a' + k)));
        EXPECT_EQ(set->getProperty("SymbolType" + i), host::Variant("SimpleFillSymbol"));
    }
    EXPECT_EQ(set->getProperty("Symbol1").object(), b) << "the chart's own fill object";

    auto multi = std::make_shared<host::MultiLayerFillSymbol>();
    multi->layers.push_back(simpleFill(9));
    const auto mixed =
        GetChartMarkerSymbols(state, *chartElement({std::make_shared<host::LineFillSymbol>(), multi,
                                                    std::make_shared<host::MarkerFillSymbol>()}));
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(mixed->names(), (Strings{"SymbolCount", "Field0", "Field1", "Symbol1", "SymbolType1",
                                       "Field2"}));
    EXPECT_EQ(mixed->getProperty("SymbolType1"), host::Variant("MultiLayerFillSymbol"));
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_TRUE(log->records().empty());
}

TEST_F(LegendFilesTest, ElementsWithoutChartAndDataGetTheMessageAndNoLegendIsWritten) {
    auto text = std::make_shared<host::TextElement>();
    auto marker = std::make_shared<host::MarkerElement>();
    marker->symbol = std::make_shared<host::SimpleMarkerSymbol>();
    auto noData = chartElement({simpleFill(1)});
    noData->setCustomProperty(host::Variant());
    const std::vector<std::pair<const char*, std::shared_ptr<host::Element>>> cases{
        {"text element", text},
        {"simple marker", marker},
        {"chart without data", noData},
        {"fewer field names than bars", chartElement({simpleFill(1), simpleFill(2)}, 1)},
    };
    for (const auto& [what, element] : cases) {
        SCOPED_TRACE(what);
        ui->messages.clear();
        EXPECT_EQ(GetChartMarkerSymbols(state, *element), nullptr);
        ASSERT_EQ(ui->messages.size(), 1u);
        EXPECT_EQ(ui->messages[0].text, "No data was saved with this graphic element");
        EXPECT_EQ(ui->messages[0].title, "GetChartMarkerSymbols");
        EXPECT_EQ(ui->messages[0].icon, host::MessageIcon::Exclamation);

        ui->messages.clear();
        const std::string file = path("legend.leg");
        EXPECT_EQ(SaveLegendFromMarkerElement(state, *element, file, nullptr), nullptr);
        ASSERT_EQ(ui->messages.size(), 2u);
        EXPECT_EQ(ui->messages[1].text, "No data for legend");
        EXPECT_EQ(ui->messages[1].title, "SaveLegendFromMarkerElement");
        EXPECT_FALSE(fs::exists(file));
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(LegendFilesTest, SavedLegendReadsBackAlignedInAnyLetterCaseOfItsExtension) {
    auto multi = std::make_shared<host::MultiLayerFillSymbol>();
    multi->layers.push_back(simpleFill(7));
    const auto first = simpleFill(40);
    const auto element = chartElement({first, std::make_shared<host::LineFillSymbol>(), multi});
    auto values = std::make_shared<host::PropertySet>();
    values->setProperty("a", host::Variant("label of a"));

    const std::string file = path("chart.leg");
    const auto legend = SaveLegendFromMarkerElement(state, *element, file, values);
    ASSERT_NE(legend, nullptr);
    const auto reread = LoadPropertySetFromFile(file);
    ASSERT_NE(reread, nullptr);
    EXPECT_TRUE(host::equalObjects(reread.get(), legend.get()));

    fs::copy_file(file, path("upper.LEG"));
    fs::copy_file(file, path("mixed.Leg"));
    for (const char* name : {"chart.leg", "upper.LEG", "mixed.Leg"}) {
        SCOPED_TRACE(name);
        host::SymbolArray symbols{simpleFill(99)};
        Strings fields{"kept"};
        ASSERT_TRUE(LoadLegend(state, path(name), symbols, fields));
        EXPECT_EQ(fields, (Strings{"kept", "a", "b", "c"}));
        ASSERT_EQ(symbols.count(), 4) << "one symbol for every field";
        EXPECT_TRUE(host::equalObjects(symbols.element(1).get(), first.get()));
        EXPECT_TRUE(host::equalObjects(symbols.element(2).get(), standInFillSymbol().get()))
            << "the line fill was kept by name only";
        EXPECT_TRUE(host::equalObjects(symbols.element(3).get(), multi.get()))
            << "the field after it keeps its own fill";
    }
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_TRUE(log->records().empty());
}

TEST_F(LegendFilesTest, FileKindComesFromTheLastComponentsExtension) {
    const std::vector<std::pair<const char*, LegendFileKind>> cases{
        {"a.leg", LegendFileKind::Legend},        {"/x/b.LeG", LegendFileKind::Legend},
        {"C:\\maps\\c.LEG", LegendFileKind::Legend}, {".leg", LegendFileKind::Legend},
        {"d.lyr", LegendFileKind::Layer},         {"e.LYR", LegendFileKind::Layer},
        {"f.xleg", LegendFileKind::Other},        {"gleg", LegendFileKind::Other},
        {"h.leg.bak", LegendFileKind::Other},     {"dir.leg/file", LegendFileKind::Other},
        {"dir.lyr\\file", LegendFileKind::Other}, {"", LegendFileKind::Other},
        {"i.le", LegendFileKind::Other},
    };
    for (const auto& [name, kind] : cases) {
        EXPECT_EQ(legendFileKind(name), kind) << name;
    }

    // Other names read nothing and say nothing; missing layer files are reported.
    const std::string legend = writeLegend("real.leg", {{"SymbolCount", host::Variant(std::int32_t{0})}});
    fs::copy_file(legend, path("real.xleg"));
    for (const std::string name : {"real.xleg", "real.lyr", "real.LYR"}) {
        SCOPED_TRACE(name);
        ui->messages.clear();
        host::SymbolArray symbols;
        Strings fields;
        EXPECT_FALSE(LoadLegend(state, path(name), symbols, fields));
        EXPECT_EQ(symbols.count() + fields.size(), 0u);
        EXPECT_TRUE(ui->messages.empty());
    }
    EXPECT_EQ(log->records().size(), 2u);
}

TEST_F(LegendFilesTest, SymbolCountMustStandForFieldEntriesPresentOrNothingIsLoaded) {
    const std::vector<std::pair<std::string, host::Variant>> fields{
        {"Field0", host::Variant("a")}, {"Field1", host::Variant("b")}, {"Field2", host::Variant("c")}};
    const auto withCount = [&](host::Variant count) {
        auto entries = fields;
        entries.insert(entries.begin(), {"SymbolCount", std::move(count)});
        return entries;
    };
    const std::vector<std::pair<const char*, std::vector<std::pair<std::string, host::Variant>>>> bad{
        {"larger than the entries", withCount(host::Variant(std::int32_t{5}))},
        {"negative", withCount(host::Variant(std::int32_t{-1}))},
        {"huge", withCount(host::Variant(std::int32_t{2147483647}))},
        {"not whole", withCount(host::Variant(2.5))},
        {"a text", withCount(host::Variant("3"))},
        {"missing", fields},
        {"a gap in the fields",
         {{"SymbolCount", host::Variant(std::int16_t{3})}, fields[0], fields[2], {"X", host::Variant(1.0)}}},
        {"a field that is no text",
         {{"SymbolCount", host::Variant(std::int32_t{2})}, fields[0], {"Field1", host::Variant(1.0)}}},
    };
    for (const auto& [what, entries] : bad) {
        SCOPED_TRACE(what);
        log->clear();
        const std::string file = writeLegend("bad.leg", entries);
        host::SymbolArray symbols{simpleFill(1)};
        Strings kept{"kept"};
        EXPECT_FALSE(LoadLegend(state, file, symbols, kept));
        EXPECT_EQ(kept, Strings{"kept"});
        EXPECT_EQ(symbols.count(), 1);
        EXPECT_EQ(reportedProcedures(), Strings{"LoadLegend Kartoplot_v9_2 "});
        fs::remove(file);
    }

    // A count below the entries present reads that many; a type naming an unstored fill, or a
    // symbol that is no fill, gets the stand-in and the fields after it keep their own fills.
    const auto third = simpleFill(3);
    const std::string file = writeLegend(
        "good.leg", {{"SymbolCount", host::Variant(std::int16_t{3})},
                     fields[0], {"Symbol0", host::Variant(std::make_shared<host::SimpleLineSymbol>())},
                     fields[1], {"SymbolType1", host::Variant("LineFillSymbol")},
                     fields[2], {"Symbol2", host::Variant(third)},
                     {"Field3", host::Variant("not counted")}});
    host::SymbolArray symbols;
    Strings names;
    ASSERT_TRUE(LoadLegend(state, file, symbols, names));
    EXPECT_EQ(names, (Strings{"a", "b", "c"}));
    ASSERT_EQ(symbols.count(), 3);
    EXPECT_TRUE(host::equalObjects(symbols.element(0).get(), standInFillSymbol().get()));
    EXPECT_TRUE(host::equalObjects(symbols.element(1).get(), standInFillSymbol().get()));
    EXPECT_TRUE(host::equalObjects(symbols.element(2).get(), third.get()));
}

TEST_F(LegendFilesTest, FileFailuresAreReportedUnderTheirProceduresAndGiveNothing) {
    std::ofstream(path("junk.leg")) << "not a property set";
    EXPECT_EQ(LoadPropertySetFromFile(path("missing.par")), nullptr);
    EXPECT_EQ(LoadPropertySetFromFile(path("junk.leg")), nullptr);
    host::SymbolArray symbols;
    Strings fields;
    EXPECT_FALSE(LoadLegend(state, path("junk.leg"), symbols, fields));
    EXPECT_FALSE(SavePropertySetToFile(host::PropertySet{}, path("no/such/folder/x.par")));
    EXPECT_EQ(reportedProcedures(),
              (Strings{"LoadPropertySetFromFile Kartoplot_v9_2 ", "LoadPropertySetFromFile Kartoplot_v9_2 ",
                       "LoadPropertySetFromFile Kartoplot_v9_2 ", "SavePropertySetToFile Kartoplot_v9_2 "}));
    EXPECT_FALSE(fs::exists(path("no")));
}

TEST(LegendPaths, FolderOfAPathAndOfTheDocument) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"C:\\maps\\world.mxd", "C:\\maps\\"},
        {"/maps/demo/world.mxd", "/maps/demo/"},
        {"  /maps/a b/x.par\"  ", "/maps/a b/"},
        {"'C:\\a/b\\c.leg'", "C:\\a/b\\"},
        {"world.mxd", ""},
        {"", ""},
        {"/", "/"},
    };
    for (const auto& [path, folder] : cases) {
        EXPECT_EQ(RemoveFileFromPath(path), folder) << path;
    }

    EngineState state;
    EXPECT_EQ(GetDocumentPath(state, false), "");
    auto application = std::make_shared<host::Application>();
    auto document = std::make_shared<host::MapDocument>();
    document->setPath("/maps/demo/world.kartoplot");
    application->setDocument(document);
    state.application = application;
    EXPECT_EQ(GetDocumentPath(state, false), "/maps/demo/world.kartoplot");
    EXPECT_EQ(GetDocumentPath(state, true), "/maps/demo/");
}

}  // namespace
}  // namespace kartoplot::engine::testing
