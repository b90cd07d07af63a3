// Layer > Save as…: the menu lists the map's feature layers; the chosen layer is written to the
// file the user names, and what cannot be written is reported.
#include "app/main_window.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

#include "host/host.h"
#include "io/vector_import.h"

namespace kartoplot::app {
namespace {

const std::filesystem::path kData(KARTOPLOT_DATA_DIR);

TEST(LayerMenu, SaveAsWritesTheChosenLayerOrSaysWhyNot) {
    QTemporaryDir temporary;
    const std::filesystem::path dir(temporary.path().toStdString());
    auto ui = std::make_shared<host::ScriptedInteraction>();
    MainWindow window(std::make_shared<host::Application>(), ui, "English");
    const std::string places = (kData / "populated_places.geojson").string();
    ASSERT_EQ(window.openFiles({(kData / "land.geojson").string(), places}), 2);

    auto* menu = window.findChild<QMenu*>("menuSaveLayerAs");
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    QStringList listed;
    for (const QAction* action : menu->actions()) {
        listed << action->text();
    }
    QStringList expected;
    for (const auto& layer : featureLayersOf(*window.map())) {
        expected << QString::fromStdString(layer->name());
    }
    EXPECT_EQ(listed, expected);
    ASSERT_EQ(listed.size(), 2);

    const auto& layer = *featureLayersOf(*window.map()).front();
    const std::string noEnding = (dir / "copy").string();
    const struct {
        const char* what;
        std::optional<std::string> answer;
        bool saved;
        std::string written;
        std::string message;
    } cases[] = {
        {"cancelled", std::nullopt, false, "", ""},
        {"a name without ending becomes a GeoPackage", noEnding, true, noEnding + ".gpkg", ""},
        {"its own source is refused", places, false, "",
         "The layer was not saved:\nCannot save layer " + layer.name() + " to " + places +
             ": it is the file the layer is read from."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui->messages.clear();
        ui->fileDialogs.clear();
        ui->fileAnswers.push_back(c.answer);
        EXPECT_EQ(window.saveLayerAs(layer), c.saved);
        ASSERT_EQ(ui->fileDialogs.size(), 1U);
        EXPECT_EQ(ui->fileDialogs[0].title, "Save layer as");
        EXPECT_EQ(ui->fileDialogs[0].fileName, layer.name() + ".gpkg");
        if (!c.written.empty()) {
            const io::ImportResult back = io::importVectorFile(c.written);
            ASSERT_TRUE(back.ok()) << back.error;
            EXPECT_EQ(back.layers[0]->featureClass()->featureCount(),
                      layer.featureClass()->featureCount());
        }
        ASSERT_EQ(ui->messages.size(), c.message.empty() ? 0U : 1U);
        if (!c.message.empty()) {
            EXPECT_EQ(ui->messages[0].text, c.message);
        }
    }
}

}  // namespace
}  // namespace kartoplot::app
