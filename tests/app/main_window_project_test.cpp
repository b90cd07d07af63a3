// The desktop window's projects: save and open again through the menu with a scripted user,
// the modified mark, the unsaved-changes question with each answer, the recent list.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_window.h"
#include "host/host.h"

namespace kartoplot::app {
namespace {

namespace fs = std::filesystem;
using host::MessageResult;

class ProjectWindow : public ::testing::Test {
protected:
    ProjectWindow() {
        window.setSettingsFile(QString::fromStdString((dir / "settings.ini").string()));
        fs::copy_file(fs::path(KARTOPLOT_DATA_DIR) / "populated_places.geojson", dir / "places.geojson");
    }
    void trigger(const char* name) {
        auto* found = window.findChild<QAction*>(name);
        ASSERT_NE(found, nullptr) << name;
        found->trigger();
    }
    // A chart as a run leaves one: an element on the chart graphics layer.
    void addChart() {
        auto marker = std::make_shared<host::MarkerElement>();
        marker->symbol = std::make_shared<host::SimpleMarkerSymbol>();
        marker->setGeometry(host::Point{10, 20});
        marker->setName("Moscow");
        auto charts = window.map()->basicGraphicsLayer().findLayer("places_charts");
        if (!charts) {
            charts = window.map()->basicGraphicsLayer().addLayer("places_charts");
        }
        charts->addElement(marker);
        window.map()->refresh();
    }
    std::string path(const char* name) const { return (dir / name).string(); }

    QTemporaryDir temporary;
    fs::path dir{temporary.path().toStdString()};
    std::shared_ptr<host::ScriptedInteraction> interaction = std::make_shared<host::ScriptedInteraction>();
    std::shared_ptr<host::Application> application = std::make_shared<host::Application>();
    MainWindow window{application, interaction};
};

TEST_F(ProjectWindow, SaveAsThenOpenBringsTheMapBackAndTheTitleFollows) {
    EXPECT_EQ(window.windowTitle(), "Untitled[*] — Kartoplot");
    EXPECT_FALSE(window.isWindowModified());
    ASSERT_EQ(window.openFiles({path("places.geojson")}), 1);
    addChart();
    EXPECT_TRUE(window.isWindowModified()) << "layers and charts were added";

    // Save without a name asks for one; the ending is added.
    interaction->fileAnswers.push_back(path("world"));
    trigger("actionSaveProject");
    ASSERT_EQ(interaction->fileDialogs.size(), 1u);
    EXPECT_EQ(interaction->fileDialogs[0].fileName, "Untitled.kartoplot");
    const std::string file = path("world.kartoplot");
    ASSERT_TRUE(fs::exists(file)) << (interaction->messages.empty() ? "" : interaction->messages[0].text);
    EXPECT_EQ(window.windowTitle(), "world[*] — Kartoplot");
    EXPECT_FALSE(window.isWindowModified());
    EXPECT_EQ(application->templates().back(), file) << "the document path is the project";
    const auto saved = application->document();

    // New: nothing changed since saving, so no question; an empty untitled map.
    QSignalSpy replaced(&window, &MainWindow::documentReplaced);
    trigger("actionNewProject");
    EXPECT_TRUE(interaction->messages.empty());
    EXPECT_NE(application->document(), saved);
    EXPECT_EQ(window.map()->layerCount(), 0);
    EXPECT_EQ(window.windowTitle(), "Untitled[*] — Kartoplot");

    // Open recent: the project comes back whole, unmodified, under its name.
    trigger("actionRecentProject1");
    EXPECT_EQ(replaced.count(), 2);
    ASSERT_EQ(window.map()->layerCount(), 1);
    EXPECT_GT(std::static_pointer_cast<host::FeatureLayer>(window.map()->layer(0))->featureClass()->featureCount(), 0);
    const auto charts = window.map()->basicGraphicsLayer().findLayer("places_charts");
    ASSERT_NE(charts, nullptr);
    EXPECT_NE(charts->findElementByName("Moscow"), nullptr);
    EXPECT_EQ(window.windowTitle(), "world[*] — Kartoplot");
    EXPECT_FALSE(window.isWindowModified());
    EXPECT_EQ(application->templates().back(), file);
}

TEST_F(ProjectWindow, UnsavedChangesAskAndEachAnswerDoesWhatItSays) {
    ASSERT_EQ(window.openFiles({path("places.geojson")}), 1);
    interaction->fileAnswers.push_back(path("world.kartoplot"));
    trigger("actionSaveProjectAs");
    addChart();
    const auto before = application->document();

    // Cancel: nothing happens, the changes stay.
    interaction->messageAnswers.push_back(MessageResult::Cancel);
    trigger("actionNewProject");
    ASSERT_EQ(interaction->messages.size(), 1u);
    EXPECT_EQ(interaction->messages[0].text, "Save the changes to the project world?");
    EXPECT_EQ(interaction->messages[0].buttons, host::MessageButtons::YesNoCancel);
    EXPECT_EQ(application->document(), before);
    EXPECT_TRUE(window.isWindowModified());
    window.show();
    interaction->messageAnswers.push_back(MessageResult::Cancel);
    EXPECT_FALSE(window.close()) << "Cancel keeps the window open";
    EXPECT_TRUE(window.isVisible());

    // Yes: saved first, then the project opened again holds the chart.
    interaction->messageAnswers.push_back(MessageResult::Yes);
    EXPECT_TRUE(window.openProjectFile(path("world.kartoplot")));
    EXPECT_NE(application->document(), before);
    EXPECT_NE(window.map()->basicGraphicsLayer().findLayer("places_charts"), nullptr);

    // No: the changes are dropped.
    window.map()->deleteLayer(*window.map()->layer(0));
    window.map()->refresh();
    interaction->messageAnswers.push_back(MessageResult::No);
    EXPECT_TRUE(window.openProjectFile(path("world.kartoplot")));
    EXPECT_EQ(window.map()->layerCount(), 1) << "the saved layer, the deletion discarded";

    // A damaged project is reported and the shown document stays.
    fs::resize_file(path("world.kartoplot"), 40);
    const auto shown = application->document();
    EXPECT_FALSE(window.openProjectFile(path("world.kartoplot")));
    EXPECT_EQ(application->document(), shown);
    EXPECT_NE(interaction->messages.back().text.find("The project could not be opened: "), std::string::npos);
}

TEST_F(ProjectWindow, RecentProjectsKeepTheNewestEightOnce) {
    ASSERT_EQ(window.openFiles({path("places.geojson")}), 1);
    for (int i = 0; i < 10; ++i) {
        interaction->fileAnswers.push_back(path(("p" + std::to_string(i % 9) + ".kartoplot").c_str()));
        trigger("actionSaveProjectAs");
    }
    const QStringList recent = window.recentProjects();
    ASSERT_EQ(recent.size(), MainWindow::kMaxRecentProjects);
    EXPECT_TRUE(recent[0].endsWith("p0.kartoplot")) << "saved again, it moved to the top";
    EXPECT_TRUE(recent[1].endsWith("p8.kartoplot"));
    EXPECT_EQ(recent.filter("p0.kartoplot").size(), 1);
    EXPECT_EQ(window.findChild<QAction*>("actionRecentProject9"), nullptr);
    trigger("actionClearRecentProjects");
    EXPECT_TRUE(window.recentProjects().isEmpty());
}

}  // namespace
}  // namespace kartoplot::app
