// Legend data sets through real files: the symbol set of a chart element, legends read back
// aligned, the file kind by extension, the symbol count checks, failures and path helpers.
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
using Entries = std::vector<std::pair<std::string, host::Variant>>;

std::shared_ptr<host::SimpleFillSymbol> fill(std::uint8_t red) {
    auto symbol = std::make_shared<host::SimpleFillSymbol>();
    symbol->color = host::Color{red, 10, 20};
    return symbol;
}

class LegendFilesTest : public EngineFixture {
protected:
    LegendFilesTest() { fs::create_directories(dir); }
    ~LegendFilesTest() override { fs::remove_all(dir); }

    // A chart marker element of these fills whose data set names `names` fields a, b, c ...
    static std::shared_ptr<host::MarkerElement> chart(
        std::vector<std::shared_ptr<host::Symbol>> fills, std::size_t names) {
        auto symbol = std::make_shared<host::BarChartSymbol>();
        for (auto& f : fills) {
            symbol->symbols.add(std::move(f));
        }
        auto element = std::make_shared<host::MarkerElement>();
        element->symbol = symbol;
        Strings keys{kLayerNameKey, kVmaxKey, kVminKey};
        for (std::size_t k = 0; k < names; ++k) {
            keys.push_back(std::string(1, static_cast<char>('a' + k)));
        }
        SetElementData(*element, std::make_shared<const Strings>(keys),
                       std::vector<host::Variant>(keys.size(), host::Variant(1.0)));
        return element;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string writeLegend(const Entries& entries) {
        auto symbols = std::make_shared<host::PropertySet>();
        for (const auto& [key, value] : entries) {
            symbols->setProperty(key, value);
        }
        host::PropertySet legend;
        legend.setProperty(kSymbolsKey, host::Variant(symbols));
        host::writePropertySetFile(legend, path("hand.leg"));
        return path("hand.leg");
    }

    fs::path dir = fs::temp_directory_path() /
                   ("kp-legend-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(LegendFilesTest, ChartSymbolsSaveAndReadBackAlignedInAnyCaseOfTheExtension) {
    const auto b = fill(2);
    const auto three = GetChartMarkerSymbols(state, *chart({fill(1), b, fill(3)}, 3));
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->names(),
              (Strings{"SymbolCount", "Field0", "Symbol0", "SymbolType0", "Field1", "Symbol1",
                       "SymbolType1", "Field2", "Symbol2", "SymbolType2"}));
    EXPECT_EQ(three->getProperty("SymbolCount"), host::Variant(std::int32_t{3}));
    EXPECT_EQ(three->getProperty("Field2"), host::Variant("c"));
    EXPECT_EQ(three->getProperty("SymbolType2"), host::Variant("SimpleFillSymbol"));
    EXPECT_EQ(three->getProperty("Symbol1").object(), b) << "the chart's own fill object";

    // A line fill is kept by name only; reading it back, a stand-in keeps the next field's fill.
    auto multi = std::make_shared<host::MultiLayerFillSymbol>();
    multi->layers.push_back(fill(7));
    const auto element = chart({fill(40), std::make_shared<host::LineFillSymbol>(), multi}, 3);
    auto values = std::make_shared<host::PropertySet>();
    values->setProperty("a", host::Variant("label"));
    const auto legend = SaveLegendFromMarkerElement(state, *element, path("chart.leg"), values);
    ASSERT_NE(legend, nullptr);
    EXPECT_EQ(legend->getProperty(kSymbolsKey).objectAs<host::PropertySet>()->names(),
              (Strings{"SymbolCount", "Field0", "Symbol0", "SymbolType0", "Field1", "Field2",
                       "Symbol2", "SymbolType2"}));
    EXPECT_TRUE(host::equalObjects(LoadPropertySetFromFile(path("chart.leg")).get(), legend.get()));
    fs::copy_file(path("chart.leg"), path("upper.LEG"));
    fs::copy_file(path("chart.leg"), path("mixed.Leg"));
    for (const char* name : {"chart.leg", "upper.LEG", "mixed.Leg"}) {
        SCOPED_TRACE(name);
        host::SymbolArray symbols{fill(99)};
        Strings fields{"kept"};
        ASSERT_TRUE(LoadLegend(state, path(name), symbols, fields));
        EXPECT_EQ(fields, (Strings{"kept", "a", "b", "c"}));
        ASSERT_EQ(symbols.count(), 4);
        const auto& original = static_cast<const host::BarChartSymbol&>(*element->symbol).symbols;
        EXPECT_TRUE(host::equalObjects(symbols.element(1).get(), original.element(0).get()));
        EXPECT_TRUE(host::equalObjects(symbols.element(2).get(), standInFillSymbol().get()));
        EXPECT_TRUE(host::equalObjects(symbols.element(3).get(), multi.get()));
    }
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_TRUE(log->records().empty());
}

TEST_F(LegendFilesTest, ElementsWithoutChartOrDataGetTheMessagesAndWriteNothing) {
    auto simpleMarker = std::make_shared<host::MarkerElement>();
    simpleMarker->symbol = std::make_shared<host::SimpleMarkerSymbol>();
    auto noData = chart({fill(1)}, 1);
    noData->setCustomProperty(host::Variant());
    const std::vector<std::shared_ptr<host::Element>> elements{
        std::make_shared<host::TextElement>(), simpleMarker, noData, chart({fill(1), fill(2)}, 1)};
    for (std::size_t i = 0; i < elements.size(); ++i) {
        SCOPED_TRACE(i);
        ui->messages.clear();
        EXPECT_EQ(SaveLegendFromMarkerElement(state, *elements[i], path("x.leg"), nullptr),
                  nullptr);
        // The texts are the message tables'; the titles say which procedure showed each.
        ASSERT_EQ(ui->messages.size(), 2u);
        EXPECT_EQ(ui->messages[0].title, "GetChartMarkerSymbols");
        EXPECT_EQ(ui->messages[1].title, "SaveLegendFromMarkerElement");
        EXPECT_EQ(ui->messages[1].icon, host::MessageIcon::Exclamation);
    }
    EXPECT_FALSE(fs::exists(path("x.leg")));
    EXPECT_TRUE(log->records().empty());
}

TEST_F(LegendFilesTest, OnlyLegEndingsAreReadAsLegends) {
    for (const char* name : {"a.leg", "/x/b.LeG", "C:\\m\\c.LEG", ".leg"}) {
        EXPECT_EQ(legendFileKind(name), LegendFileKind::Legend) << name;
    }
    for (const char* name :
         {"f.xleg", "gleg", "h.leg.bak", "dir.leg/file", "dir.lyr\\f", "", "i.le"}) {
        EXPECT_EQ(legendFileKind(name), LegendFileKind::Other) << name;
    }
    const std::string legend = writeLegend({{"SymbolCount", host::Variant(std::int32_t{0})}});
    for (const std::string name : {"real.xleg", "real.lyr", "real.LYR"}) {
        SCOPED_TRACE(name);
        fs::copy_file(legend, path(name));
        ui->messages.clear();
        host::SymbolArray symbols;
        Strings fields;
        EXPECT_FALSE(LoadLegend(state, path(name), symbols, fields));
        EXPECT_EQ(symbols.count() + fields.size(), 0u);
        EXPECT_TRUE(ui->messages.empty());
    }
    // A legend under a layer file's name holds no layer: reported, nothing read.
    EXPECT_EQ(reportedProcedures(), (Strings{"LoadLegend Kartoplot_v9_2 ", "LoadLegend Kartoplot_v9_2 "}));
}

TEST_F(LegendFilesTest, SymbolCountMustStandForFieldsPresentAndFailuresAreReported) {
    const Entries fields{{"Field0", host::Variant("a")}, {"Field1", host::Variant("b")}};
    const auto counted = [&](host::Variant count, Entries entries) {
        entries.insert(entries.begin(), {"SymbolCount", std::move(count)});
        return entries;
    };
    for (const Entries& entries :
         {counted(host::Variant(std::int32_t{3}), fields),
          counted(host::Variant(std::int32_t{-1}), fields),
          counted(host::Variant(std::int32_t{2147483647}), fields),
          counted(host::Variant(1.5), fields), counted(host::Variant("2"), fields), fields,
          counted(host::Variant(std::int16_t{2}), {fields[0], {"Field2", host::Variant("c")}}),
          counted(host::Variant(std::int16_t{2}), {fields[0], {"Field1", host::Variant(1.0)}})}) {
        log->clear();
        host::SymbolArray symbols{fill(1)};
        Strings kept{"kept"};
        EXPECT_FALSE(LoadLegend(state, writeLegend(entries), symbols, kept));
        EXPECT_EQ(kept.size() + static_cast<std::size_t>(symbols.count()), 2u);
        EXPECT_EQ(reportedProcedures(), Strings{"LoadLegend Kartoplot_v9_2 "});
    }

    // Fewer than present reads that many; a symbol that is no fill gets the stand-in.
    const host::Variant line(std::make_shared<host::SimpleLineSymbol>());
    host::SymbolArray symbols;
    Strings names;
    ASSERT_TRUE(LoadLegend(state,
                           writeLegend(counted(host::Variant(std::int16_t{1}),
                                               {fields[0], {"Symbol0", line}, fields[1]})),
                           symbols, names));
    EXPECT_EQ(names, Strings{"a"});
    EXPECT_TRUE(host::equalObjects(symbols.element(0).get(), standInFillSymbol().get()));

    log->clear();
    std::ofstream(path("junk.leg")) << "not a property set";
    EXPECT_FALSE(LoadLegend(state, path("junk.leg"), symbols, names));
    EXPECT_EQ(LoadPropertySetFromFile(path("missing.par")), nullptr);
    EXPECT_FALSE(SavePropertySetToFile(host::PropertySet{}, path("no/folder/x.par")));
    EXPECT_EQ(reportedProcedures(), (Strings{"LoadPropertySetFromFile Kartoplot_v9_2 ",
                                     "LoadPropertySetFromFile Kartoplot_v9_2 ",
                                     "SavePropertySetToFile Kartoplot_v9_2 "}));
    EXPECT_EQ(symbols.count(), 1);
}

TEST_F(LegendFilesTest, FolderOfAPathAndOfTheDocument) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"C:\\maps\\world.mxd", "C:\\maps\\"},
        {"  /maps/a b/x.par\"  ", "/maps/a b/"},
        {"'C:\\a/b\\c.leg'", "C:\\a/b\\"},
        {"world.mxd", ""}};
    for (const auto& [path, folder] : cases) {
        EXPECT_EQ(RemoveFileFromPath(path), folder) << path;
    }
    EXPECT_EQ(GetDocumentPath(EngineState{}, false), "") << "no application";
    document->setPath("/maps/demo/world.kartoplot");
    application->setDocument(document);  // the application's last template is its path
    EXPECT_EQ(GetDocumentPath(state, false) + " " + GetDocumentPath(state, true),
              "/maps/demo/world.kartoplot /maps/demo/");
}

}  // namespace
}  // namespace kartoplot::engine::testing
