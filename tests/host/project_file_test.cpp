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
#include <random>

#include <gtest/gtest.h>

#include "errors/error_handling.h"
#include "host/file_container.h"
#include "tests/host/persistence_samples.h"

namespace kartoplot::host {
namespace {

using namespace samples;

class ProjectFileTest : public DataFolderTest {
protected:
    // A document with every layer kind, renderers, graphics layers, a page layout and two maps,
    // read from its sources in the maps folder.
    std::shared_ptr<MapDocument> richDocument() const {
        const auto record = std::static_pointer_cast<ProjectRecord>(sampleOf("MapDocument"));
        return buildProject(*record, path("maps"), *loader).document;
    }

    static bool sameDocument(const MapDocument& a, const MapDocument& b, const std::string& path) {
        return equalObjects(projectRecord(a, path).get(), projectRecord(b, path).get(), projectClasses());
    }
};

TEST_F(ProjectFileTest, DocumentComesBackEqualWithItsDataAndViewAndBecomesTheDocumentPath) {
    const auto original = richDocument();
    Application application;
    application.setDocument(original);
    const std::string file = path("maps/world.kartoplot");
    saveProject(application, file);
    EXPECT_EQ(application.templates().back(), file);
    EXPECT_EQ(original->path(), file);

    loader->asked.clear();
    Application reopened;
    const OpenedProject opened = openProject(reopened, file, *loader);
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
    EXPECT_EQ(map.activeGraphicsLayer()->name(), "Notes");
    EXPECT_EQ(std::static_pointer_cast<FeatureLayer>(map.layer(0))->featureClass()->featureCount(), 2);
    const auto charts = map.basicGraphicsLayer().findLayer("Cities_charts");
    ASSERT_NE(charts, nullptr);
    const auto barsOf = [&](const char* name) {
        const auto group = std::static_pointer_cast<GroupElement>(charts->findElementByName(name));
        return std::static_pointer_cast<MarkerElement>(group->element(0));
    };
    ASSERT_TRUE(barsOf("Kazan") && barsOf("Ufa"));
    EXPECT_EQ(std::static_pointer_cast<BarChartSymbol>(barsOf("Kazan")->symbol)->symbols.element(0),
              std::static_pointer_cast<BarChartSymbol>(barsOf("Ufa")->symbol)->symbols.element(0))
        << "a shared fill symbol stays shared";
    EXPECT_EQ(barsOf("Kazan")->customProperty().objectAs<PropertySet>()->getProperty("LayerName").text(), "Города");

    // Every source was asked for in the coordinate system its layer was shown in, with its query.
    const std::string crs = wgs84()->definition();
    EXPECT_EQ(loader->asked, (std::vector<std::string>{path("maps/data/cities.geojson") + "|\"pop\" >= 5|" + crs,
                                                       path("maps/towns.gpkg") + "|1 = 1|" + crs}));
}

TEST_F(ProjectFileTest, SourcesAreFoundRelativeToTheProjectAfterTheFolderMoved) {
    const std::string file = path("maps/world.kartoplot");
    writeProjectFile(*richDocument(), file);
    const auto stored = decodeProjectFile(readContainerFile(file), file);
    const auto& group = std::static_pointer_cast<GroupLayerRecord>(stored->maps[0]->layers[1]);
    EXPECT_EQ(std::static_pointer_cast<MapFeatureLayerRecord>(group->layers[0])->dataSource.path, "data/cities.geojson");

    fs::rename(root / "maps", root / "moved");
    MemoryLoader moved;
    for (const char* name : {"moved/data/cities.geojson", "moved/towns.gpkg"}) {
        moved.classes[path(name)] = cities();
    }
    const OpenedProject opened = readProjectFile(path("moved/world.kartoplot"), moved);
    EXPECT_TRUE(opened.unavailable.empty());
    const auto& layer = std::static_pointer_cast<FeatureLayer>(opened.document->maps()[0]->layer(0));
    EXPECT_EQ(fs::path(layer->dataSource().path), root / "moved/towns.gpkg");
    EXPECT_EQ(layer->featureClass()->featureCount(), 2);
}

TEST_F(ProjectFileTest, UnreadableSourcesBecomeStandInsThatSaveAsTheyWere) {
    const auto original = richDocument();
    const std::string file = path("maps/world.kartoplot");
    writeProjectFile(*original, file);
    const std::string towns = path("maps/towns.gpkg");
    const std::tuple<const char*, std::function<void(MemoryLoader&)>, const char*> cases[] = {
        {"source missing", [&](MemoryLoader& l) { l.classes.erase(towns); }, "does not exist"},
        {"chart field gone", [&](MemoryLoader& l) { l.classes[towns] = std::make_shared<FeatureClass>("towns", GeometryType::Point); },
         "The chart field pop is missing"},
    };
    for (const auto& [what, spoil, reason] : cases) {
        SCOPED_TRACE(what);
        MemoryLoader spoilt = *loader;
        spoil(spoilt);
        const OpenedProject opened = readProjectFile(file, spoilt);
        ASSERT_EQ(opened.unavailable.size(), 1u);
        EXPECT_EQ(opened.unavailable[0].layer, "Towns");
        EXPECT_EQ(opened.unavailable[0].path, towns);
        EXPECT_NE(opened.unavailable[0].reason.find(reason), std::string::npos) << opened.unavailable[0].reason;
        const auto& standIn = std::static_pointer_cast<FeatureLayer>(opened.document->maps()[0]->layer(0));
        EXPECT_EQ(standIn->featureClass()->featureCount(), 0);
        EXPECT_EQ(standIn->featureClass()->shapeType(), GeometryType::Point);
        EXPECT_EQ(*standIn->featureClass()->spatialReference(), *wgs84()) << "shown where it was";
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
    const std::string bytes = readContainerFile(file);

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

    // Records whose fields are each in order but do not fit together: written, refused when read.
    const std::pair<const char*, std::function<void(ProjectRecord&)>> cases[] = {
        {"holds no map", [](ProjectRecord& p) { p.maps.clear(); }},
        {"names no map of the document", [](ProjectRecord& p) { p.focusMap = 2; }},
        {"holds one map twice", [](ProjectRecord& p) { p.maps[1] = p.maps[0]; }},
        {"names no graphics layer", [](ProjectRecord& p) { p.maps[0]->activeGraphicsLayer = 2; }},
        {"two of one name", [](ProjectRecord& p) { p.maps[0]->graphicsLayers[1]->name = "Cities_charts"; }},
        {"one graphic element in two places", [](ProjectRecord& p) {
             p.maps[0]->graphicsLayers[1]->elements.push_back(p.maps[0]->graphicsLayers[0]->elements[0]);
         }},
        {"one graphic element in two places", [](ProjectRecord& p) {
             p.pageLayout->elements.push_back(p.maps[0]->basicGraphics->elements[0]);
         }},
    };
    for (const auto& [problem, spoil] : cases) {
        SCOPED_TRACE(problem);
        const auto record = projectRecord(*original, file);
        spoil(*record);
        std::string spoilt;
        ASSERT_NO_THROW(spoilt = encodeObject(*record, projectClasses()));
        try {
            decodeProjectFile(spoilt, "spoilt");
            ADD_FAILURE() << "read";
        } catch (const HostError& e) {
            EXPECT_NE(e.description().find(problem), std::string::npos) << e.description();
        }
    }

    // A failed open keeps the application's document; a cut file is refused.
    fs::resize_file(file, bytes.size() - 3);
    Application other;
    EXPECT_THROW(openProject(other, file, *loader), HostError);
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
    const auto shared = fill(1);
    for (int i = 0; i < kCharts; ++i) {
        charts->addElement(chartGroup("city " + std::to_string(i), {i * 0.01, i * 0.02}, shared));
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
