// Projects: a document with every layer kind, graphics layers and a page layout written and
// read back equal by value; sources found relative to the project after the folder moved;
// unreadable sources kept as stand-ins; damaged and newer files refused with nothing changed;
// and a writer killed at random moments never leaves a broken file behind.
#include "host/project_file.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "errors/error_handling.h"
#include "host/file_container.h"

namespace kartoplot::host {
namespace {

namespace fs = std::filesystem;

// Hands out feature classes by path and records what it was asked for.
class MemoryLoader final : public ProjectDataLoader {
public:
    LoadedSource loadInCrs(const DataSource& source, const std::string& query, const std::string& crs) const override {
        asked.push_back(source.path + "|" + query + "|" + crs);
        const auto found = classes.find(fs::path(source.path).lexically_normal().string());
        if (found == classes.end()) {
            return {nullptr, "The data source " + source.path + " does not exist."};
        }
        return {found->second, ""};
    }
    std::map<std::string, std::shared_ptr<FeatureClass>> classes;
    mutable std::vector<std::string> asked;
};

const auto kWgs84 = std::make_shared<SpatialReference>("WGS 84", "GEOGCS[\"WGS 84\"]", MapUnits::Degrees);

std::shared_ptr<FeatureClass> cities() {
    auto fc = std::make_shared<FeatureClass>("cities", GeometryType::Point);
    fc->addField({"pop", "", FieldType::Double, 0});
    fc->addField({"name", "", FieldType::String, 20});
    fc->createFeature(Point{1, 2}, {Variant(5.0), Variant("a")});
    fc->createFeature(Point{3, 4}, {Variant(7.0), Variant("b")});
    fc->setSpatialReference(kWgs84);
    return fc;
}

std::shared_ptr<BarChartSymbol> barChart(const std::shared_ptr<FillSymbol>& fill) {
    auto chart = std::make_shared<BarChartSymbol>();
    chart->symbols.add(fill);
    chart->symbols.add(fill);  // shared, as the dialog's fill symbols are
    chart->values = {3, 4};
    chart->maxValue = 10;
    chart->size = 30;
    return chart;
}

// A chart on the map as a run leaves it: a group of a named marker with its data and a label.
std::shared_ptr<GroupElement> chartGroup(const std::string& name, Point at, const std::shared_ptr<FillSymbol>& fill) {
    auto marker = std::make_shared<MarkerElement>();
    marker->symbol = barChart(fill);
    marker->setGeometry(at);
    marker->setName(name);
    auto data = std::make_shared<PropertySet>();
    data->setProperty("LayerName", Variant("Cities"));
    data->setProperty("pop", Variant(3.5));
    marker->setCustomProperty(Variant(data));
    auto label = std::make_shared<TextElement>();
    label->text = name;
    label->symbol = std::make_shared<TextSymbol>();
    label->setGeometry(Point{at.x, at.y + 1});
    auto group = std::make_shared<GroupElement>();
    group->addElement(marker);
    group->addElement(label);
    return group;
}

class ProjectFileTest : public ::testing::Test {
protected:
    ProjectFileTest() {
        fs::remove_all(root);
        fs::create_directories(root / "maps" / "data");
        for (const char* name : {"maps/data/cities.geojson", "maps/towns.gpkg"}) {
            std::ofstream(root / name) << "{}";
            loader.classes[(root / name).lexically_normal().string()] = cities();
        }
    }
    ~ProjectFileTest() override { fs::remove_all(root); }

    std::shared_ptr<FeatureLayer> layerOn(const std::string& file, const std::string& name) {
        const std::string path = (root / file).string();
        auto layer = std::make_shared<FeatureLayer>(name, loader.classes.at(path));
        layer->setDataSource({path, "cities"});
        return layer;
    }

    // A document with every layer kind, renderers, graphics layers, a page layout and two maps.
    std::shared_ptr<MapDocument> richDocument() {
        auto document = std::make_shared<MapDocument>();
        Map& map = *document->focusMap();
        map.setSpatialReference(kWgs84);
        auto simple = std::make_shared<SimpleRenderer>();
        auto marker = std::make_shared<SimpleMarkerSymbol>();
        marker->size = 7;
        simple->symbol = marker;
        auto chart = std::make_shared<ChartRenderer>();
        chart->chartSymbol = barChart(std::make_shared<SimpleFillSymbol>());
        chart->fieldNames = {"pop"};
        auto hidden = layerOn("maps/towns.gpkg", "Towns");
        hidden->setVisible(false);
        hidden->setDefinitionQuery("\"pop\" >= 5");
        hidden->setRenderer(chart);
        auto inner = std::make_shared<GroupLayer>("Inner");
        inner->add(layerOn("maps/data/cities.geojson", "Plain"));
        auto group = std::make_shared<GroupLayer>("Outer");
        group->add(inner);
        group->add(hidden);
        group->setVisible(false);
        auto top = layerOn("maps/data/cities.geojson", "Cities");
        top->setRenderer(simple);
        map.addLayer(group);
        map.addLayer(top);

        DisplayTransformation& t = map.screenDisplay().transformation();
        t.setDeviceFrame(640, 480);
        t.setResolution(120);
        t.setCenter({12.5, -3.25});
        t.setScale(2.5e6);
        t.setReferenceScale(1e6);

        auto fill = std::make_shared<SimpleFillSymbol>();
        fill->color = Color{200, 10, 10};
        auto title = std::make_shared<TextElement>();
        title->text = "Заголовок";
        title->symbol = std::make_shared<TextSymbol>();
        title->setGeometry(Point{0, 0});
        map.basicGraphicsLayer().addElement(title);
        map.basicGraphicsLayer().setReferenceScale(5e5);
        auto charts = map.basicGraphicsLayer().addLayer("Cities_charts");
        charts->addElement(chartGroup("Moscow", {37, 55}, fill));
        charts->addElement(chartGroup("Kazan", {49, 55}, fill));
        charts->setReferenceScale(1e6);
        auto other = map.basicGraphicsLayer().addLayer("Notes");
        auto line = std::make_shared<LineElement>();
        line->symbol = std::make_shared<SimpleLineSymbol>();
        line->setGeometry(Polyline::fromPoints({{0, 0}, {1, 1}}));
        other->addElement(line);
        other->setVisible(false);
        map.setActiveGraphicsLayer(charts);

        auto second = std::make_shared<Map>("Inset");
        second->addLayer(layerOn("maps/towns.gpkg", "Towns"));
        document->addMap(second);
        document->setFocusMap(second);

        PageLayout& page = *document->pageLayout();
        page.setPage(297, 210, MapUnits::Millimetres);
        page.setMapFrame(Envelope(5, 5, 200, 150));
        auto legend = std::make_shared<PolygonElement>();
        legend->symbol = fill;
        legend->setGeometry(Polygon::fromEnvelope(Envelope(210, 20, 230, 30)));
        legend->setName("Legend");
        page.graphicsContainer().addElement(legend);
        document->showPageLayout(true);
        return document;
    }

    static bool sameDocument(const MapDocument& a, const MapDocument& b, const std::string& path) {
        return equalObjects(projectRecord(a, path).get(), projectRecord(b, path).get(), projectClasses());
    }

    std::string path(const std::string& name) const { return (root / name).string(); }

    fs::path root = fs::temp_directory_path() / ("kp-proj-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    MemoryLoader loader;
};

TEST_F(ProjectFileTest, DocumentComesBackEqualWithItsDataAndViewAndBecomesTheDocumentPath) {
    const auto original = richDocument();
    Application application;
    application.setDocument(original);
    const std::string file = path("maps/world.kartoplot");
    saveProject(application, file);
    EXPECT_EQ(application.templates().back(), file);
    EXPECT_EQ(original->path(), file);

    Application reopened;
    const OpenedProject opened = openProject(reopened, file, loader);
    ASSERT_TRUE(opened.unavailable.empty());
    EXPECT_EQ(reopened.templates().back(), file);
    const MapDocument& doc = *opened.document;
    EXPECT_TRUE(sameDocument(*original, doc, file));

    // The live objects behind the equal records.
    ASSERT_EQ(doc.maps().size(), 2u);
    EXPECT_EQ(doc.focusMap(), doc.maps()[1]);
    EXPECT_TRUE(doc.pageLayoutShown());
    const Map& map = *doc.maps()[0];
    EXPECT_EQ(map.extent(), original->maps()[0]->extent());
    EXPECT_EQ(map.referenceScale(), 1e6);
    EXPECT_EQ(map.activeGraphicsLayer()->name(), "Cities_charts");
    EXPECT_EQ(map.layer(0)->name(), "Cities");
    const auto& top = std::static_pointer_cast<FeatureLayer>(map.layer(0));
    EXPECT_EQ(top->featureClass()->featureCount(), 2);
    const auto charts = map.basicGraphicsLayer().findLayer("Cities_charts");
    ASSERT_NE(charts, nullptr);
    const auto kazan = charts->findElementByName("Kazan");
    ASSERT_NE(kazan, nullptr);
    const auto& members = std::static_pointer_cast<GroupElement>(kazan)->members();
    const auto& bars = std::static_pointer_cast<MarkerElement>(members[0])->symbol;
    const auto& chart = std::static_pointer_cast<BarChartSymbol>(bars);
    EXPECT_EQ(chart->symbols.element(0), chart->symbols.element(1)) << "a shared fill symbol stays shared";
    EXPECT_EQ(members[0]->customProperty().objectAs<PropertySet>()->getProperty("pop").toDouble(), 3.5);

    // Every source was asked for in the coordinate system its layer was shown in, with its query.
    const std::string crs = kWgs84->definition();
    EXPECT_NE(std::find(loader.asked.begin(), loader.asked.end(),
                        (root / "maps/towns.gpkg").string() + "|\"pop\" >= 5|" + crs),
              loader.asked.end());
    EXPECT_EQ(loader.asked.size(), 4u);
}

TEST_F(ProjectFileTest, SourcesAreFoundRelativeToTheProjectAfterTheFolderMoved) {
    const auto original = richDocument();
    const std::string file = path("maps/world.kartoplot");
    writeProjectFile(*original, file);
    const auto stored = decodeProjectFile(readContainerFile(file), file);
    const auto& first = std::static_pointer_cast<MapFeatureLayerRecord>(stored->maps[0]->layers[0]);
    EXPECT_EQ(first->dataSource.path, "data/cities.geojson");

    fs::rename(root / "maps", root / "moved");
    MemoryLoader moved;
    for (const char* name : {"moved/data/cities.geojson", "moved/towns.gpkg"}) {
        moved.classes[(root / name).lexically_normal().string()] = cities();
    }
    const OpenedProject opened = readProjectFile(path("moved/world.kartoplot"), moved);
    EXPECT_TRUE(opened.unavailable.empty());
    const auto& layer = std::static_pointer_cast<FeatureLayer>(opened.document->maps()[0]->layer(0));
    EXPECT_EQ(fs::path(layer->dataSource().path), root / "moved/data/cities.geojson");
    EXPECT_EQ(layer->featureClass()->featureCount(), 2);
}

TEST_F(ProjectFileTest, UnreadableSourcesBecomeStandInsThatSaveAsTheyWere) {
    const auto original = richDocument();
    const std::string file = path("maps/world.kartoplot");
    writeProjectFile(*original, file);

    struct Case {
        const char* what;
        std::function<void(MemoryLoader&)> spoil;
        std::string reasonHas;
        std::size_t standIns;
    };
    const std::string towns = (root / "maps/towns.gpkg").string();
    const Case cases[] = {
        // Both maps show the towns: both layers stand in.
        {"source missing", [&](MemoryLoader& l) { l.classes.erase(towns); }, "does not exist", 2},
        // Only the first map draws them by a chart of "pop".
        {"chart field gone", [&](MemoryLoader& l) {
             auto bare = std::make_shared<FeatureClass>("towns", GeometryType::Point);
             bare->setSpatialReference(kWgs84);
             l.classes[towns] = bare;
         }, "The chart field pop is missing", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryLoader spoilt = loader;
        c.spoil(spoilt);
        const OpenedProject opened = readProjectFile(file, spoilt);
        ASSERT_EQ(opened.unavailable.size(), c.standIns);
        EXPECT_EQ(opened.unavailable[0].layer, "Towns");
        EXPECT_EQ(opened.unavailable[0].path, towns);
        EXPECT_NE(opened.unavailable[0].reason.find(c.reasonHas), std::string::npos) << opened.unavailable[0].reason;
        const auto& outer = std::static_pointer_cast<GroupLayer>(opened.document->maps()[0]->layer(1));
        const auto& standIn = std::static_pointer_cast<FeatureLayer>(outer->layer(1));
        EXPECT_EQ(standIn->featureClass()->featureCount(), 0);
        EXPECT_EQ(standIn->featureClass()->shapeType(), GeometryType::Point);
        // Saved again, the stand-in writes the layer as it was read.
        EXPECT_TRUE(sameDocument(*original, *opened.document, file));
    }
}

TEST_F(ProjectFileTest, DamagedNewerAndUnstorableProjectsChangeNothing) {
    const auto original = richDocument();
    Application application;
    application.setDocument(original);
    const std::string file = path("maps/world.kartoplot");
    saveProject(application, file);
    std::string bytes = readContainerFile(file);

    // A newer major version is refused by name.
    std::string newer = bytes;
    newer[8] = 0;
    newer[9] = 2;
    try {
        decodeProjectFile(newer, "newer.kartoplot");
        ADD_FAILURE() << "a newer major version was read";
    } catch (const HostError& e) {
        EXPECT_NE(e.description().find("2.0"), std::string::npos) << e.description();
    }

    // Records that a writer never makes are refused when read.
    struct Case {
        const char* what;
        std::function<void(ProjectRecord&)> spoil;
    };
    const Case cases[] = {
        {"no map", [](ProjectRecord& p) { p.maps.clear(); }},
        {"focus beyond the maps", [](ProjectRecord& p) { p.focusMap = 2; }},
        {"active layer beyond the list", [](ProjectRecord& p) { p.maps[0]->activeGraphicsLayer = 2; }},
        {"two graphics layers of one name", [](ProjectRecord& p) { p.maps[0]->graphicsLayers[1]->name = "Cities_charts"; }},
        {"one element in two layers", [](ProjectRecord& p) {
             p.maps[0]->graphicsLayers[1]->elements.push_back(p.maps[0]->graphicsLayers[0]->elements[0]);
         }},
        {"an element also in the layout", [](ProjectRecord& p) {
             p.pageLayout->elements.push_back(p.maps[0]->basicGraphics->elements[0]);
         }},
        {"a scale of 0", [](ProjectRecord& p) { p.maps[0]->view.scale = 0; }},
        {"a page without width", [](ProjectRecord& p) { p.pageLayout->width = -1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto record = projectRecord(*original, file);
        c.spoil(*record);
        EXPECT_THROW(decodeProjectFile(encodeObject(*record, projectClasses()), "spoilt"), HostError);
    }

    // A failed open keeps the application's document; a cut file is refused.
    fs::resize_file(file, bytes.size() - 3);
    Application other;
    EXPECT_THROW(openProject(other, file, loader), HostError);
    EXPECT_EQ(other.document(), nullptr);
    EXPECT_EQ(other.templates().size(), 1u);

    // A layer made in memory cannot be referred to: nothing is written, the old file stays.
    original->focusMap()->addLayer(std::make_shared<FeatureLayer>("Scratch", cities()));
    const auto before = readContainerFile(file);
    EXPECT_THROW(saveProject(application, path("maps/other.kartoplot")), HostError);
    EXPECT_FALSE(fs::exists(path("maps/other.kartoplot")));
    EXPECT_EQ(application.templates().back(), file);
    EXPECT_THROW(saveProject(application, file), HostError);
    EXPECT_EQ(readContainerFile(file), before);
}

// The map's name carries the generation a writer stored, so a reader tells old from new.
int generationOf(const std::string& file) {
    return std::stoi(decodeProjectFile(readContainerFile(file), file)->maps[0]->name);
}

TEST_F(ProjectFileTest, WriterKilledAtRandomMomentsLeavesTheOldOrTheNewFileWhole) {
    constexpr int kKills = 50;
    constexpr int kCharts = 100;
    constexpr std::size_t kPictureBytes = std::size_t{1} << 19;  // a large file, cheap to encode
    auto document = std::make_shared<MapDocument>();
    auto charts = document->focusMap()->basicGraphicsLayer().addLayer("Cities_charts");
    auto fill = std::make_shared<SimpleFillSymbol>();
    for (int i = 0; i < kCharts; ++i) {
        charts->addElement(chartGroup("city " + std::to_string(i), {i * 0.01, i * 0.02}, fill));
    }
    auto picture = std::make_shared<PictureFillSymbol>();
    picture->picture.resize(kPictureBytes);
    std::mt19937 bytes(7);
    std::generate(picture->picture.begin(), picture->picture.end(), [&] { return static_cast<std::uint8_t>(bytes()); });
    auto backdrop = std::make_shared<PolygonElement>();
    backdrop->symbol = picture;
    backdrop->setGeometry(Polygon::fromEnvelope(Envelope(0, 0, 100, 100)));
    document->pageLayout()->graphicsContainer().addElement(backdrop);
    const std::string file = path("maps/big.kartoplot");
    document->focusMap()->setName("0");
    writeProjectFile(*document, file);

    // How long one save takes, so that the kills fall before, during and after renames.
    const auto start = std::chrono::steady_clock::now();
    writeProjectFile(*document, file);
    const auto once = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    const std::int64_t window = 2 * once.count();
    SCOPED_TRACE("one save takes " + std::to_string(once.count()) + " µs");
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::int64_t> delay(0, window);

    int last = 0;
    int advanced = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The writer never outlives the test, even when the test itself is killed.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() == 1) {
                ::_exit(3);
            }
            for (int generation = last + 1;; ++generation) {
                document->focusMap()->setName(std::to_string(generation));
                try {
                    writeProjectFile(*document, file);
                } catch (...) {
                    ::_exit(2);
                }
            }
        }
        if (kill % 5 == 0) {
            // Now and then the kill waits for a finished save, so that a loaded machine, where
            // the forked writer runs slower than the measured save, still sees saves complete.
            const auto before = fs::last_write_time(file);
            for (int wait = 0; wait < 10'000 && fs::last_write_time(file) == before; ++wait) {
                ::usleep(1000);
            }
        }
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself";
        int now = -1;
        ASSERT_NO_THROW(now = generationOf(file));
        EXPECT_GE(now, last) << "an older file than the last one read";
        advanced += now > last ? 1 : 0;
        last = now;
    }
    EXPECT_GT(advanced, 0) << "no save was ever completed, the test proves nothing";
    // Killed writers leave their temporaries; they never take the project's name.
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator(root / "maps")) {
        temporaries += entry.path().extension() == ".tmp" ? 1 : 0;
    }
    EXPECT_LE(temporaries, kKills);
}

}  // namespace
}  // namespace kartoplot::host
