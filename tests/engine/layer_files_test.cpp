// Chart layer files: the run's layer-file step (a renderer chart copied from the last chart,
// the file dialog, the dialog out of reach and back, no step without a chart) and the legend
// read back from a layer file.
#include "engine/layer_files.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/chart_run.h"
#include "engine/legend_files.h"
#include "engine_fixture.h"
#include "host/layer_file.h"

namespace kartoplot::engine {
namespace {

namespace fs = std::filesystem;

class LayerFiles : public testing::EngineFixture {
protected:
    LayerFiles() {
        fs::create_directories(dir);
        std::ofstream(data) << "{}";
        settings.ChkShowLeader = true;
        settings.ChkSaveLyrFile = true;
    }
    ~LayerFiles() override { fs::remove_all(dir); }

    // Runs over the cities (read from `data` unless `fromFile` is false) with code 4.
    ChartRunResult run(const std::vector<Row>& rows, bool fromFile = true) {
        auto layer = addCities(rows);
        if (fromFile) {
            layer->setDataSource({data.string(), "Cities"});
        }
        return CreateChartElements(state, *layer, 4, false, false, fields, symbols, settings,
                                   LayerFileStep{&lastFolder, [this](bool on) { reach.push_back(on); }});
    }

    const host::BarChartSymbol& chartOnMap() const {
        return testing::chartSymbolOf(*state.map->basicGraphicsLayer().findLayer("Cities_charts")->elements().back());
    }

    fs::path dir = fs::temp_directory_path() / ("kp-chartlyr-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path data = dir / "cities.geojson";
    std::string lyr = (dir / "out" / "Cities.lyr").string();
    ChartRunSettings settings = testing::runSettings();
    host::SymbolArray symbols = testing::threeFills();
    std::vector<std::string> fields{"a", "b", "c"};
    std::string lastFolder = "/start/";
    std::vector<bool> reach;
};

TEST_F(LayerFiles, RunSavesTheLayerWithACopyOfTheLastChartAndLeavesTheMapsChartWhole) {
    fs::create_directories(dir / "out");
    ui->fileAnswers.push_back(lyr);
    const ChartRunResult result = run({{"A", {0, 0}, 2.0, 5.0, 5.0}, {"B", {10, 20}, 4.0, 12.0, -3.0}});
    ASSERT_TRUE(result.completed) << result.failure;
    EXPECT_EQ(result.layerFile, lyr);

    ASSERT_EQ(ui->fileDialogs.size(), 1u);
    const host::FileDialogRequest& asked = ui->fileDialogs[0];
    using language::SharedMessage;
    EXPECT_EQ(std::tuple(asked.title, asked.filter, asked.filterIndex, asked.fileName, asked.initialFolder,
                         asked.overwritePrompt),
              std::tuple(state.messages.text(SharedMessage::SaveLegendAsTitle),
                         state.messages.text(SharedMessage::LayerFileFilter), 1, std::string("Cities.lyr"),
                         std::string("/start/"), true));
    EXPECT_EQ(lastFolder, (dir / "out").string() + "/");
    EXPECT_EQ(reach, (std::vector<bool>{false, true}));

    // The chart on the map keeps its leader; the renderer's chart has none.
    EXPECT_TRUE(chartOnMap().background) << "the leader was taken from the chart on the map";
    const auto record = host::readLayerFileRecord(lyr);
    const auto* layer = dynamic_cast<const host::FeatureLayerRecord*>(record.get());
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->name, "Cities");
    EXPECT_EQ(layer->dataSource.path, "../cities.geojson");
    const auto* renderer = dynamic_cast<const host::ChartRenderer*>(layer->renderer.get());
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(renderer->fieldNames, fields);
    EXPECT_EQ(renderer->label, "Label");
    const host::BarChartSymbol& chart = *renderer->chartSymbol;
    EXPECT_FALSE(chart.background);
    EXPECT_TRUE(chart.values.empty());
    EXPECT_EQ(chart.size, 20);
    EXPECT_EQ(chart.maxValue, chartOnMap().maxValue);
    ASSERT_EQ(chart.symbols.count(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(host::equalObjects(chart.symbols.element(k).get(), symbols.element(k).get()));
    }
}

TEST_F(LayerFiles, NoFileIsWrittenOnCancelWithoutChartsOrWithoutData) {
    const struct {
        const char* what;
        bool answer;
        bool withChart;
        bool fromFile;
        std::size_t dialogs;
        const char* report;
    } cases[] = {
        {"cancelled", false, true, true, 1, ""},
        {"no chart made", true, false, true, 0, ""},
        {"layer made in memory", true, true, false, 1, "SaveLayerFile Kartoplot_v9_2 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui->fileDialogs.clear();
        ui->fileAnswers.clear();
        ui->fileAnswers.push_back(c.answer ? std::optional<std::string>(lyr) : std::nullopt);
        reach.clear();
        log->clear();
        const ChartRunResult result =
            run(c.withChart ? std::vector<Row>{{"A", {0, 0}, 2.0, 5.0, 5.0}} : std::vector<Row>{}, c.fromFile);
        EXPECT_TRUE(result.completed) << result.failure;
        EXPECT_EQ(result.rendererChart != nullptr, c.withChart);
        EXPECT_EQ(ui->fileDialogs.size(), c.dialogs);
        const std::vector<bool> reachable{false, true};
        EXPECT_EQ(reach, c.dialogs > 0 ? reachable : std::vector<bool>());
        EXPECT_TRUE(result.layerFile.empty());
        if (!c.answer) {
            EXPECT_EQ(lastFolder, "/start/") << "a cancelled dialog keeps the folder";
        }
        EXPECT_FALSE(fs::exists(lyr));
        EXPECT_EQ(lastReport(), c.report);
        state.map->deleteLayer(*state.map->layer(0));
    }
}

TEST_F(LayerFiles, LegendComesFromAChartLayerFileAndOnlyFromOne) {
    // A chart layer file whose second bar is not a fill gets a stand-in for it.
    auto chart = std::make_shared<host::BarChartSymbol>();
    chart->symbols.add(symbols.element(0));
    chart->symbols.add(std::make_shared<host::SimpleMarkerSymbol>());
    auto layer = addCities({});
    layer->setDataSource({data.string(), ""});
    const std::string chartFile = (dir / "chart.LYR").string();
    host::writeLayerFile(*chartLayerCopy(*layer, chart, {"a", "b", "c"}), chartFile);

    host::SymbolArray loaded;
    loaded.add(symbols.element(2));
    std::vector<std::string> names{"x"};
    ASSERT_TRUE(LoadLegend(state, chartFile, loaded, names));
    EXPECT_EQ(names, (std::vector<std::string>{"x", "a", "b", "c"}));
    ASSERT_EQ(loaded.count(), 4);
    EXPECT_TRUE(host::equalObjects(loaded.element(1).get(), symbols.element(0).get()));
    for (int k : {2, 3}) {
        EXPECT_TRUE(host::equalObjects(loaded.element(k).get(), standInFillSymbol().get()));
    }

    // Layer files that are no chart layers, and damaged ones, add nothing.
    const std::string simple = (dir / "simple.lyr").string();
    host::writeLayerFile(*layer, simple);
    const std::string group = (dir / "group.lyr").string();
    auto both = std::make_shared<host::GroupLayer>("g");
    both->add(chartLayerCopy(*layer, chart, {"a"}));
    host::writeLayerFile(*both, group);
    const std::string damaged = (dir / "damaged.lyr").string();
    std::ofstream(damaged) << "not a layer file";
    const std::pair<std::string, std::size_t> refused[] = {{simple, 1}, {group, 2}, {damaged, 2}};
    for (const auto& [file, messages] : refused) {
        SCOPED_TRACE(file);
        host::SymbolArray none;
        std::vector<std::string> noNames;
        EXPECT_FALSE(LoadLegend(state, file, none, noNames));
        EXPECT_EQ(none.count(), 0);
        EXPECT_TRUE(noNames.empty());
        EXPECT_EQ(ui->messages.size(), messages);
        EXPECT_EQ(ui->messages.back().text, "This is not a file of chart layer");
    }
    EXPECT_EQ(lastReport(), "LoadLegend Kartoplot_v9_2 ");
}

}  // namespace
}  // namespace kartoplot::engine
