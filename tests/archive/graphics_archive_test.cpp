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

    ArchiveServices services;
    fs::path dir = fs::temp_directory_path() /
                   ("kp-archive-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(GraphicsArchiveTest, SavedChartsLoadBackEqualAndAppendKeepingRepeatedNames) {
    const auto own = charts().elements();
    ASSERT_EQ(own.size(), 3u);
    const std::string path = file("charts.obj");
    ASSERT_TRUE(SaveGraphics(map(), "Cities_charts", path).done());
    EXPECT_EQ(charts().elements(), own) << "the file holds copies; the layer keeps its own";
    EXPECT_EQ(host::readPropertySetFile(path)->names(),
              (std::vector<std::string>{"Graphics", "Scale", "SpatialReference", "ReferenceScale",
                                        "GraphicsLayerReferenceScale"}));

    // A layer made for the load has no reference scale: the saved one is offered (Yes).
    ASSERT_TRUE(LoadGraphics(services, map(), "Copy", path).done());
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"Saved data not equal of map parameters \n"
                                                     "Annotation layer ReferenceScale\n\nRestore saved parameters?"});
    const auto copy = map().basicGraphicsLayer().findLayer("Copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->referenceScale(), charts().referenceScale());
    EXPECT_NE(map().activeGraphicsLayer(), copy);
    EXPECT_EQ(map().lastRefreshPhase(), host::DrawPhase::Graphics);

    // Into the chart layer itself: appended after its own, equal by value (geometry, symbols,
    // names, attached data, group members), names repeated.
    ui->messages.clear();
    ASSERT_TRUE(LoadGraphics(services, map(), "Cities_charts", path).done());
    EXPECT_TRUE(ui->messages.empty());
    const auto both = charts().elements();
    ASSERT_EQ(both.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(own[i]->name());
        EXPECT_EQ(both[i], own[i]);
        EXPECT_NE(both[3 + i], own[i]);
        EXPECT_TRUE(host::equalObjects(both[3 + i].get(), own[i].get()));
        EXPECT_TRUE(host::equalObjects(copy->elements()[i].get(), own[i].get()));
    }
    // A recreate run replaces the first chart of a name (the one there before); the copy stays.
    const auto layer = std::dynamic_pointer_cast<host::FeatureLayer>(map().layer(0));
    ASSERT_TRUE(engine::CreateChartElements(state, *layer, -1, false, true, {"a", "b", "c"},
                                            engine::testing::threeFills(), engine::testing::runSettings())
                    .completed);
    const auto after = charts().elements();
    ASSERT_EQ(after.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::count(after.begin(), after.end(), own[i]), 0);
        EXPECT_EQ(std::count(after.begin(), after.end(), both[3 + i]), 1);
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(GraphicsArchiveTest, StoredValuesAreCheckedComparedAndRestoredOnYes) {
    charts().setReferenceScale(0.0);  // as a layer made for the load has it
    const double scale = map().mapScale();
    const auto srs = map().spatialReference();
    const auto asked = [](const std::string& list) {
        return "Saved data not equal of map parameters \n" + list + "\nRestore saved parameters?";
    };
    const auto put = [](const char* key, Variant value) {
        return [key, value](host::PropertySet& s) { s.setProperty(key, value); };
    };
    const auto drop = [](const char* key) { return [key](host::PropertySet& s) { s.removeProperty(key); }; };
    const auto system = [](const char* name, const char* definition) {
        return Variant(std::make_shared<host::SpatialReference>(name, definition, host::MapUnits::Metres));
    };
    struct Case {
        const char* what;
        std::function<void(host::PropertySet&)> alter;
        MessageResult answer;
        std::string shown;  // the one message, or "" for none
        bool loads;
        double scaleAfter;
    };
    const Case cases[] = {
        {"equal names, other definitions", put("SpatialReference", system(srs->name().c_str(), "PROJCS[]")),
         MessageResult::Yes, "", true, scale},
        {"the scale only, Yes", put("Scale", Variant(2 * scale)), MessageResult::Yes, asked("Map scale\n"), true, 2 * scale},
        {"the scale in its last digit, No", put("Scale", Variant(std::nextafter(scale, 0.0))), MessageResult::No,
         asked("Map scale\n"), true, scale},
        {"all four, in lookup order",
         [&](host::PropertySet& s) {
             s.setProperty("GraphicsLayerReferenceScale", Variant(1.0));
             s.setProperty("ReferenceScale", Variant(0.0));
             s.setProperty("Scale", Variant(3 * scale));
             s.setProperty("SpatialReference", system("ETRS89", ""));
         },
         MessageResult::Yes, asked("SpatialReference\nMap scale\nMap ReferenceScale\nAnnotation layer ReferenceScale\n"),
         true, 3 * scale},
        {"no Scale", drop("Scale"), MessageResult::Yes, "No data about Map scale", false, scale},
        {"an infinite Scale", put("Scale", Variant(HUGE_VAL)), MessageResult::Yes, "No data about Map scale", false, scale},
        {"a Scale of NaN", put("Scale", Variant(std::nan(""))), MessageResult::Yes, "No data about Map scale", false, scale},
        {"a negative layer reference scale", put("GraphicsLayerReferenceScale", Variant(-1.0)), MessageResult::Yes,
         "No data about Annotation layer ReferenceScale", false, scale},
        {"a coordinate system as text, before a Scale of NaN",
         [](host::PropertySet& s) {
             s.setProperty("SpatialReference", Variant("WGS 84"));
             s.setProperty("Scale", Variant(std::nan("")));
         },
         MessageResult::Yes, "No data about SpatialReference", false, scale},
        {"no Graphics", drop("Graphics"), MessageResult::Yes, "No data in the file", false, scale},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        map().setMapScale(scale);
        map().setReferenceScale(kMapReferenceScale);
        map().setSpatialReference(srs);
        const std::string path = file("case.obj");
        ASSERT_TRUE(SaveGraphics(map(), "Cities_charts", path).done());
        const auto set = host::readPropertySetFile(path);
        c.alter(*set);
        host::writePropertySetFile(*set, path);
        ui->messages.clear();
        ui->messageAnswers = {c.answer};

        const ArchiveOutcome outcome = LoadGraphics(services, map(), "Loaded", path);
        EXPECT_EQ(shownTexts(), c.shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.shown});
        for (const auto& m : ui->messages) {
            EXPECT_EQ(m.title, "graphics load");
            EXPECT_EQ(m.icon, host::MessageIcon::Exclamation);
        }
        EXPECT_EQ(map().mapScale(), c.scaleAfter);
        const bool all = c.shown.find("SpatialReference\n") != std::string::npos && c.answer == MessageResult::Yes;
        EXPECT_EQ(map().spatialReference()->name(), all ? "ETRS89" : srs->name());
        EXPECT_EQ(map().referenceScale(), all ? 0.0 : kMapReferenceScale);
        const auto loaded = map().basicGraphicsLayer().findLayer("Loaded");
        EXPECT_EQ(outcome.kind, c.loads ? ArchiveOutcome::Kind::Done : ArchiveOutcome::Kind::Stopped);
        // A load that stops leaves no empty layer behind.
        ASSERT_EQ(loaded != nullptr, c.loads);
        if (loaded) {
            EXPECT_EQ(loaded->elementCount(), 3);
            EXPECT_EQ(loaded->referenceScale(), all ? 1.0 : 0.0);
            map().basicGraphicsLayer().deleteLayer("Loaded");
        }
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(GraphicsArchiveTest, FailuresAreReportedSaidAndChangeNothing) {
    charts().setReferenceScale(0.0);  // nothing differs from a layer made for the load
    const std::string garbage = file("garbage.obj");
    std::ofstream(garbage) << "not a graphics file";
    const std::string good = file("good.obj");
    ASSERT_TRUE(SaveGraphics(map(), "Cities_charts", good).done());
    struct Case {
        const char* what;
        std::function<ArchiveOutcome()> run;
        ArchiveOutcome::Kind kind;
        std::string procedure;  // of the error record, "" for none
        std::string shown;      // text in the one message, "" for none
    };
    const Case cases[] = {
        {"an unreadable file, reported and said", [&] { return LoadGraphics(services, map(), "New", garbage); },
         ArchiveOutcome::Kind::Stopped, "LoadPropertySetFromFile Kartoplot_v9_2 ",
         "File " + garbage + " have no required parameters!"},
        {"a layer the map does not have", [&] { return SaveGraphics(map(), "Nowhere", file("n.obj")); },
         ArchiveOutcome::Kind::Failed, "SaveGraphics  frmOpenSaveGraphLayer Line : 1", ""},
        {"a missing folder", [&] { return SaveGraphics(map(), "Cities_charts", file("none/c.obj")); },
         ArchiveOutcome::Kind::Failed, "WriteGraphics2File  frmOpenSaveGraphLayer Line : 2", ""},
        {"a layer name the host refuses", [&] { return LoadGraphics(services, map(), "", good); },
         ArchiveOutcome::Kind::Stopped, "", "\n"},  // the host's reason first, then "not exist "
    };
    const int layers = map().basicGraphicsLayer().layerCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log->clear();
        ui->messages.clear();
        const ArchiveOutcome outcome = c.run();
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.failure.empty(), c.kind != ArchiveOutcome::Kind::Failed) << "a failure says what failed";
        ASSERT_EQ(log->records().size(), c.procedure.empty() ? 0u : 1u);
        if (!c.procedure.empty()) {
            EXPECT_EQ(engine::testing::reportedProcedure(log->records()[0]), c.procedure);
        }
        ASSERT_EQ(ui->messages.size(), c.shown.empty() ? 0u : 1u);
        if (!c.shown.empty()) {
            EXPECT_NE(ui->messages[0].text.find(c.shown), std::string::npos) << ui->messages[0].text;
        }
        EXPECT_EQ(map().basicGraphicsLayer().layerCount(), layers);
    }
    EXPECT_EQ(ui->messages[0].text.substr(ui->messages[0].text.find('\n')), "\nnot exist ");
    EXPECT_FALSE(fs::exists(file("n.obj")) || fs::exists(file("none")));
}

}  // namespace
}  // namespace kartoplot::archive
