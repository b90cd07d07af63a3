// Graphics files: a chart layer saved and loaded back whole, the checks of every stored value
// with the messages and the question they lead to, and what a stopped or failed load or save
// leaves behind (nothing).
#include "archive/graphics_archive.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

#include "host/persistence.h"
#include "tests/engine/engine_fixture.h"

namespace kartoplot::archive {
namespace {

namespace fs = std::filesystem;
using host::MessageResult;
using host::Variant;

constexpr double kMapReferenceScale = 25000;

class GraphicsArchiveTest : public engine::testing::EngineFixture {
protected:
    GraphicsArchiveTest() {
        fs::create_directories(dir);
        map().setSpatialReference(std::make_shared<host::SpatialReference>(
            "WGS 84 / Pseudo-Mercator", "PROJCS[\"WGS 84 / Pseudo-Mercator\"]", host::MapUnits::Metres));
        map().setReferenceScale(kMapReferenceScale);
        const auto cities = addCities({{"Oslo", {0, 0}, Variant(1.0), Variant(5.0), Variant(9.0)},
                                       {"Bergen", {300, 0}, Variant(2.0), Variant::null(), Variant(4.0)},
                                       {"Tromsø", {0, 400}, Variant(7.0), Variant(3.0), Variant(10.0)}});
        const auto run = engine::CreateChartElements(state, *cities, 4, false, false, {"a", "b", "c"},
                                                     engine::testing::threeFills(),
                                                     engine::testing::runSettings());
        EXPECT_TRUE(run.completed) << run.failure;
        services.messages.load("English");
        services.interaction = ui;
        ui->messages.clear();
    }
    ~GraphicsArchiveTest() override { fs::remove_all(dir); }

    host::Map& map() { return *document->focusMap(); }
    host::GraphicsLayer& charts() { return *map().basicGraphicsLayer().findLayer("Cities_charts"); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    std::vector<std::string> shownTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : ui->messages) {
            texts.push_back(m.text);
        }
        return texts;
    }
    // Saves the chart layer to `name`, changes its stored set and writes it back.
    std::string savedWith(const std::string& name, const std::function<void(host::PropertySet&)>& alter) {
        const std::string path = file(name);
        EXPECT_TRUE(SaveGraphics(map(), "Cities_charts", path).done());
        const auto set = host::readPropertySetFile(path);
        alter(*set);
        host::writePropertySetFile(*set, path);
        return path;
    }

    ArchiveServices services;
    fs::path dir = fs::temp_directory_path() /
                   ("kp-archive-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(GraphicsArchiveTest, SavedChartsLoadIntoANewLayerEqualAndLeaveTheLayerUntouched) {
    const auto before = charts().elements();
    ASSERT_EQ(before.size(), 3u);
    const std::string path = file("charts.obj");
    ASSERT_TRUE(SaveGraphics(map(), "Cities_charts", path).done());

    // The layer keeps its own elements; the file holds copies.
    EXPECT_EQ(charts().elements(), before);
    for (const auto& element : before) {
        EXPECT_EQ(element->container(), &charts());
    }
    const auto set = host::readPropertySetFile(path);
    EXPECT_EQ(set->names(), (std::vector<std::string>{"Graphics", "Scale", "SpatialReference",
                                                      "ReferenceScale", "GraphicsLayerReferenceScale"}));
    EXPECT_EQ(set->getProperty("Scale"), Variant(map().mapScale()));
    EXPECT_EQ(set->getProperty("GraphicsLayerReferenceScale"), Variant(charts().referenceScale()));

    // A layer made for the load starts without a reference scale: the saved one is offered.
    ASSERT_TRUE(LoadGraphics(services, map(), "Copy", path).done());
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"Saved data not equal of map parameters \n"
                                                     "Annotation layer ReferenceScale\n\n"
                                                     "Restore saved parameters?"});
    ui->messages.clear();
    const auto copy = map().basicGraphicsLayer().findLayer("Copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(map().activeGraphicsLayer(), copy) << "a layer made for a load is not made active";
    const auto loaded = copy->elements();
    ASSERT_EQ(loaded.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(before[i]->name());
        // Geometry, symbols, names, attached data and group members, compared by value.
        EXPECT_TRUE(host::equalObjects(loaded[i].get(), before[i].get()));
        EXPECT_NE(loaded[i], before[i]);
        EXPECT_EQ(loaded[i]->parent(), nullptr);
    }
    EXPECT_EQ(map().lastRefreshPhase(), host::DrawPhase::Graphics);

    // Loading into an existing layer appends after what is there; repeated names are kept.
    ASSERT_TRUE(LoadGraphics(services, map(), "Copy", path).done());
    EXPECT_TRUE(ui->messages.empty()) << "restored before: nothing differs, nothing is asked";
    EXPECT_EQ(copy->referenceScale(), charts().referenceScale());
    const auto twice = copy->elements();
    ASSERT_EQ(twice.size(), 2 * before.size());
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), twice.begin()));
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(host::equalObjects(twice[before.size() + i].get(), before[i].get()));
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(GraphicsArchiveTest, StoredValuesAreCheckedComparedAndRestoredOnYes) {
    charts().setReferenceScale(0.0);  // as a layer made for the load has it
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double scale = map().mapScale();
    const std::string question = "Saved data not equal of map parameters \n";
    const std::string restore = "\nRestore saved parameters?";
    struct Case {
        const char* what;
        std::function<void(host::PropertySet&)> alter;
        MessageResult answer;
        std::vector<std::string> shown;  // texts of the messages, in order
        bool loads;
        double mapScaleAfter;
        bool restoresEverything = false;  // coordinate system and layer reference scale too
    };
    const auto other = [](const char* name, const char* definition) {
        return Variant(std::make_shared<host::SpatialReference>(name, definition, host::MapUnits::Metres));
    };
    const std::vector<Case> cases = {
        {"all equal", [](host::PropertySet&) {}, MessageResult::Yes, {}, true, scale},
        {"same coordinate system name, other definition",
         [&](host::PropertySet& s) { s.setProperty("SpatialReference", other("WGS 84 / Pseudo-Mercator", "PROJCS[]")); },
         MessageResult::Yes, {}, true, scale},
        {"only the scale, answered Yes", [&](host::PropertySet& s) { s.setProperty("Scale", Variant(2 * scale)); },
         MessageResult::Yes, {question + "Map scale\n" + restore}, true, 2 * scale},
        {"only the scale, answered No", [&](host::PropertySet& s) { s.setProperty("Scale", Variant(2 * scale)); },
         MessageResult::No, {question + "Map scale\n" + restore}, true, scale},
        {"the scale in its last digit",
         [&](host::PropertySet& s) { s.setProperty("Scale", Variant(std::nextafter(scale, 0.0))); },
         MessageResult::No, {question + "Map scale\n" + restore}, true, scale},
        {"four values, listed in lookup order",
         [&](host::PropertySet& s) {
             s.setProperty("GraphicsLayerReferenceScale", Variant(1.0));
             s.setProperty("ReferenceScale", Variant(0.0));
             s.setProperty("Scale", Variant(3 * scale));
             s.setProperty("SpatialReference", other("ETRS89", ""));
         },
         MessageResult::Yes,
         {question + "SpatialReference\nMap scale\nMap ReferenceScale\nAnnotation layer ReferenceScale\n" + restore},
         true, 3 * scale, true},
        {"no Scale", [](host::PropertySet& s) { s.removeProperty("Scale"); }, MessageResult::Yes,
         {"No data about Map scale"}, false, scale},
        {"a Scale that is no number", [](host::PropertySet& s) { s.setProperty("Scale", Variant("1000")); },
         MessageResult::Yes, {"No data about Map scale"}, false, scale},
        {"a Scale of NaN", [&](host::PropertySet& s) { s.setProperty("Scale", Variant(nan)); }, MessageResult::Yes,
         {"No data about Map scale"}, false, scale},
        {"a Scale of 0", [](host::PropertySet& s) { s.setProperty("Scale", Variant(0.0)); }, MessageResult::Yes,
         {"No data about Map scale"}, false, scale},
        {"a negative layer reference scale",
         [](host::PropertySet& s) { s.setProperty("GraphicsLayerReferenceScale", Variant(-1.0)); },
         MessageResult::Yes, {"No data about Annotation layer ReferenceScale"}, false, scale},
        {"an infinite map reference scale",
         [](host::PropertySet& s) {
             s.setProperty("ReferenceScale", Variant(std::numeric_limits<double>::infinity()));
         },
         MessageResult::Yes, {"No data about Map ReferenceScale"}, false, scale},
        {"a spatial reference that is a text and no Scale",
         [](host::PropertySet& s) {
             s.setProperty("SpatialReference", Variant("WGS 84"));
             s.removeProperty("Scale");
         },
         MessageResult::Yes, {"No data about SpatialReference"}, false, scale},
        {"no Graphics", [](host::PropertySet& s) { s.removeProperty("Graphics"); }, MessageResult::Yes,
         {"No data in the file"}, false, scale},
        {"Graphics that are no group",
         [](host::PropertySet& s) { s.setProperty("Graphics", Variant(std::make_shared<host::PropertySet>())); },
         MessageResult::Yes, {"No data in the file"}, false, scale},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        map().setMapScale(scale);
        map().setReferenceScale(kMapReferenceScale);
        const auto srs = map().spatialReference();
        const std::string path = savedWith("case.obj", c.alter);
        ui->messages.clear();
        ui->messageAnswers = {c.answer};

        const ArchiveOutcome outcome = LoadGraphics(services, map(), "Loaded", path);
        EXPECT_EQ(shownTexts(), c.shown);
        for (const auto& m : ui->messages) {
            EXPECT_EQ(m.title, "graphics load");
            EXPECT_EQ(m.icon, host::MessageIcon::Exclamation);
        }
        EXPECT_EQ(map().mapScale(), c.mapScaleAfter);
        const auto loaded = map().basicGraphicsLayer().findLayer("Loaded");
        if (c.loads) {
            EXPECT_TRUE(outcome.done());
            ASSERT_NE(loaded, nullptr);
            EXPECT_EQ(loaded->elementCount(), 3);
            EXPECT_EQ(map().spatialReference()->name(),
                      c.restoresEverything ? "ETRS89" : "WGS 84 / Pseudo-Mercator");
            EXPECT_EQ(map().referenceScale(), c.restoresEverything ? 0.0 : kMapReferenceScale);
            EXPECT_EQ(loaded->referenceScale(), c.restoresEverything ? 1.0 : 0.0)
                << "a new layer starts without one";
            map().basicGraphicsLayer().deleteLayer("Loaded");
        } else {
            // Stopped before the map changed: no empty layer is left behind.
            EXPECT_EQ(outcome.kind, ArchiveOutcome::Kind::Stopped);
            EXPECT_EQ(loaded, nullptr);
            EXPECT_EQ(map().spatialReference(), srs);
            EXPECT_EQ(map().referenceScale(), kMapReferenceScale);
        }
        map().setSpatialReference(srs);
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(GraphicsArchiveTest, FailuresAreReportedAndChangeNothing) {
    charts().setReferenceScale(0.0);  // nothing differs from a layer made for the load
    const std::string garbage = file("garbage.obj");
    std::ofstream(garbage) << "not a graphics file";
    const std::string kept = file("kept.obj");
    std::ofstream(kept) << "old";
    const int layers = map().basicGraphicsLayer().layerCount();

    struct Case {
        const char* what;
        std::function<ArchiveOutcome()> run;
        ArchiveOutcome::Kind kind;
        std::string procedure;  // of the error record
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"an unreadable file, reported twice", [&] { return LoadGraphics(services, map(), "New", garbage); },
         ArchiveOutcome::Kind::Stopped, "LoadPropertySetFromFile Kartoplot_v9_2 ",
         {"File " + garbage + " have no required parameters!"}},
        {"saving a layer the map does not have", [&] { return SaveGraphics(map(), "Nowhere", file("n.obj")); },
         ArchiveOutcome::Kind::Failed, "SaveGraphics  frmOpenSaveGraphLayer Line : 1", {}},
        {"writing into a missing folder",
         [&] { return SaveGraphics(map(), "Cities_charts", file("none/charts.obj")); },
         ArchiveOutcome::Kind::Failed, "WriteGraphics2File  frmOpenSaveGraphLayer Line : 2", {}},
        {"a new layer whose name the host refuses",
         [&] {
             EXPECT_TRUE(SaveGraphics(map(), "Cities_charts", kept).done());
             return LoadGraphics(services, map(), "", kept);
         },
         ArchiveOutcome::Kind::Stopped, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log->clear();
        ui->messages.clear();
        const ArchiveOutcome outcome = c.run();
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.failure.empty(), c.kind != ArchiveOutcome::Kind::Failed) << outcome.failure;
        if (c.procedure.empty()) {
            EXPECT_TRUE(log->records().empty());
        } else {
            ASSERT_EQ(log->records().size(), 1u);
            EXPECT_EQ(engine::testing::reportedProcedure(log->records()[0]), c.procedure);
        }
        if (!c.shown.empty()) {
            EXPECT_EQ(shownTexts(), c.shown);
        }
        EXPECT_EQ(map().basicGraphicsLayer().layerCount(), layers);
    }
    // The refused name is said: the host's reason, "not exist" and the name.
    ASSERT_EQ(ui->messages.size(), 1u);
    EXPECT_EQ(ui->messages[0].text.substr(ui->messages[0].text.find('\n')), "\nnot exist ");
    EXPECT_FALSE(fs::exists(file("n.obj")));
    EXPECT_FALSE(fs::exists(file("none")));
}

TEST_F(GraphicsArchiveTest, AnEmptyLayerSavesAnEmptyGroupWhoseLoadStillRestores) {
    map().basicGraphicsLayer().addLayer("Empty");
    const std::string path = file("empty.obj");
    ASSERT_TRUE(SaveGraphics(map(), "Empty", path).done());
    const auto group = host::readPropertySetFile(path)->getProperty("Graphics").objectAs<host::GroupElement>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->elementCount(), 0);

    const double saved = map().mapScale();
    map().setMapScale(saved / 2);
    ASSERT_TRUE(LoadGraphics(services, map(), "Charts", path).done());
    EXPECT_EQ(map().mapScale(), saved);
    EXPECT_EQ(map().basicGraphicsLayer().findLayer("Charts")->elementCount(), 0);
}

TEST_F(GraphicsArchiveTest, RecreateReplacesTheFirstOfRepeatedNamesAndKeepsTheLoadedCopies) {
    const std::string path = file("charts.obj");
    ASSERT_TRUE(SaveGraphics(map(), "Cities_charts", path).done());
    const auto own = charts().elements();
    ASSERT_TRUE(LoadGraphics(services, map(), "Cities_charts", path).done());
    const auto all = charts().elements();
    const std::vector<std::shared_ptr<host::Element>> copies(all.begin() + 3, all.end());

    const auto layer = std::dynamic_pointer_cast<host::FeatureLayer>(map().layer(0));
    const auto run = engine::CreateChartElements(state, *layer, -1, false, true, {"a", "b", "c"},
                                                 engine::testing::threeFills(), engine::testing::runSettings());
    ASSERT_TRUE(run.completed) << run.failure;
    const auto after = charts().elements();
    ASSERT_EQ(after.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::count(after.begin(), after.end(), own[i]), 0) << "the chart found first is replaced";
        EXPECT_EQ(std::count(after.begin(), after.end(), copies[i]), 1) << "the loaded copy stays";
    }
}

}  // namespace
}  // namespace kartoplot::archive
