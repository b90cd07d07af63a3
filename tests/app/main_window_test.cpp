#include "app/main_window.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "command/error_handling.h"
#include "host/host.h"
#include "language/messages.h"

namespace kartoplot::app {
namespace {

const std::filesystem::path kData(KARTOPLOT_DATA_DIR);
const std::string kLand = (kData / "land.geojson").string();
const std::string kPlaces = (kData / "populated_places.geojson").string();

std::string englishText(language::DesktopMessage id) {
    language::DesktopMessages table;
    table.load("English");
    return table.text(id);
}

// The text with each '_' made a thin space, as scales are grouped.
QString thin(const char* text) {
    return QString(text).replace('_', QChar(0x2009));
}

bool containsEnvelope(const host::Envelope& outer, const host::Envelope& inner) {
    return outer.contains(inner.lowerLeft()) && outer.contains(inner.upperRight());
}

class Window : public ::testing::Test {
protected:
    QAction& action(const char* name) {
        auto* found = window.findChild<QAction*>(name);
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    QString label(const char* name) { return window.findChild<QLabel*>(name)->text(); }
    host::Map& map() { return *window.map(); }
    std::string writeFile(const std::string& name, const std::string& content) {
        const auto path = (dir / name).string();
        std::ofstream(path) << content;
        return path;
    }

    QTemporaryDir temporary;
    std::filesystem::path dir{temporary.path().toStdString()};
    std::shared_ptr<host::ScriptedInteraction> interaction =
        std::make_shared<host::ScriptedInteraction>();
    MainWindow window{std::make_shared<host::Application>(), interaction};
};

TEST_F(Window, MakesADocumentForAnApplicationWithout) {
    ASSERT_NE(window.application()->document(), nullptr);
    EXPECT_EQ(window.map(), window.application()->document()->focusMap());
}

TEST_F(Window, OpenDataAddsPointsAboveAreasAndZoomsToTheFirstData) {
    interaction->fileAnswers = {kPlaces, kLand};
    action("actionOpenData").trigger();
    ASSERT_EQ(map().layerCount(), 1);
    const host::Envelope firstView = map().extent();
    EXPECT_TRUE(containsEnvelope(firstView, map().fullExtent()));

    action("actionOpenData").trigger();
    ASSERT_EQ(interaction->fileDialogs.size(), 2u);
    EXPECT_EQ(interaction->fileDialogs[0].filter,
              englishText(language::DesktopMessage::OpenDataFilter));
    EXPECT_TRUE(interaction->messages.empty());
    ASSERT_EQ(map().layerCount(), 2);
    EXPECT_EQ(map().layer(0)->name(), "populated_places");
    EXPECT_EQ(map().layer(1)->name(), "land");
    EXPECT_EQ(map().mapUnits(), host::MapUnits::Degrees);
    EXPECT_EQ(map().extent(), firstView) << "only the first data are zoomed to";
}

TEST_F(Window, OpenFilesFitsTheViewToAllLayers) {
    EXPECT_EQ(window.openFiles({kLand, kPlaces}), 2);
    ASSERT_EQ(map().layerCount(), 2);
    const host::Envelope full = map().fullExtent();
    const host::Envelope view = map().extent();
    EXPECT_TRUE(containsEnvelope(view, full));
    // One side is the data's plus 5 % on each end.
    const bool widthFits = std::abs(view.width() - full.width() * 1.1) < 1e-6 * full.width();
    const bool heightFits = std::abs(view.height() - full.height() * 1.1) < 1e-6 * full.height();
    EXPECT_TRUE(widthFits || heightFits) << view << " for " << full;
}

TEST_F(Window, ProjectsDataToTheMapsCoordinateSystem) {
    ASSERT_EQ(window.openFiles({kPlaces}), 1);
    const std::string mercator = writeFile(
        "mercator.geojson",
        R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"EPSG:3857"}},)"
        R"("features":[{"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[1113194.9,0]}}]})");
    ASSERT_EQ(window.openFiles({mercator}), 1) << interaction->messages.front().text;
    const auto& layer = static_cast<host::FeatureLayer&>(*map().layer(0));
    const host::Point* p = layer.featureClass()->search()->nextFeature()->shape.asPoint();
    ASSERT_NE(p, nullptr);
    EXPECT_NEAR(p->x, 10.0, 1e-6);
    EXPECT_NEAR(p->y, 0.0, 1e-6);
}

TEST_F(Window, AFileThatCannotBeImportedShowsOneMessageAndAddsNothing) {
    ASSERT_EQ(window.openFiles({kPlaces}), 1);
    map().setMapScale(map().mapScale() / 3);  // the user zoomed in
    const host::Envelope view = map().extent();
    const std::string garbage = writeFile("garbage.geojson", "this is not GeoJSON");
    for (const std::string& bad : {(dir / "missing.geojson").string(), garbage}) {
        SCOPED_TRACE(bad);
        interaction->messages.clear();
        EXPECT_EQ(window.openFiles({bad}), 0);
        ASSERT_EQ(interaction->messages.size(), 1u);
        const auto& shown = interaction->messages.front();
        EXPECT_NE(shown.text.find(bad), std::string::npos) << shown.text;
        EXPECT_EQ(shown.title, "Kartoplot");
        EXPECT_EQ(shown.icon, host::MessageIcon::Exclamation);
        EXPECT_EQ(map().layerCount(), 1);
        EXPECT_EQ(map().extent(), view);
    }
    interaction->messages.clear();
    EXPECT_EQ(window.openFiles({(dir / "missing.geojson").string(), kLand}), 1);
    EXPECT_EQ(interaction->messages.size(), 1u);
    EXPECT_EQ(map().layerCount(), 2);
}

// Files that open to nothing drawable say so and add nothing; skipped features are named.
TEST_F(Window, FilesWithNothingToDrawOrSkippedFeaturesSaySo) {
    using language::DesktopMessage;
    const auto collection = [](const std::string& features) {
        return R"({"type":"FeatureCollection","features":[)" + features + "]}";
    };
    const auto point = [](const char* xy) {
        return std::string(R"({"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":)") +
               xy + "}}";
    };
    struct Case {
        const char* what;
        std::string content;
        DesktopMessage message;
        host::MessageIcon icon;
        int layers;  // in the map afterwards
    };
    const Case cases[] = {
        {"only a huge point", collection(point("[1e308,0]")), DesktopMessage::NothingToDrawStart,
         host::MessageIcon::Exclamation, 0},
        {"no features", collection(""), DesktopMessage::NoFeaturesStart, host::MessageIcon::Exclamation, 0},
        {"only null geometries", collection(R"({"type":"Feature","properties":{},"geometry":null})"),
         DesktopMessage::NothingToDrawStart, host::MessageIcon::Exclamation, 0},
        {"one point skipped", collection(point("[1,2]") + "," + point("[NaN,2]")),
         DesktopMessage::SkippedFeaturesStart, host::MessageIcon::Information, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        interaction->messages.clear();
        const std::string path = writeFile("odd.geojson", c.content);
        EXPECT_EQ(window.openFiles({path}), c.layers);
        ASSERT_EQ(interaction->messages.size(), 1u);
        EXPECT_EQ(interaction->messages[0].text.rfind(englishText(c.message) + path, 0), 0u)
            << interaction->messages[0].text;
        EXPECT_EQ(interaction->messages[0].icon, c.icon);
        EXPECT_EQ(map().layerCount(), c.layers);
    }
}

TEST_F(Window, CommandActionAppearsOnlyOnceInstalledAndFollowsItsEnabledState) {
    auto* toolbar = window.findChild<QToolBar*>("commandsToolBar");
    EXPECT_TRUE(toolbar->actions().isEmpty());
    EXPECT_EQ(window.commandAction(), nullptr);

    bool ready = false;
    int clicks = 0;
    window.setCommand({QIcon(), "Charts", "Bar charts for the point layer", [&] { return ready; },
                       [&] { ++clicks; }});
    ASSERT_EQ(toolbar->actions().size(), 1);
    QAction* command = toolbar->actions().front();
    EXPECT_EQ(command, window.commandAction());
    EXPECT_EQ(command->toolTip(), "Bar charts for the point layer");
    EXPECT_FALSE(command->isEnabled());
    ready = true;
    window.openFiles({kPlaces});
    EXPECT_TRUE(command->isEnabled()) << "asked again when the map is refreshed";
    command->trigger();
    EXPECT_EQ(clicks, 1);
    ready = false;
    std::static_pointer_cast<host::FeatureLayer>(map().layer(0))->setSelection({1, 2});
    EXPECT_FALSE(command->isEnabled()) << "asked again when the selection changes";

    window.setCommand({QIcon(), "Charts 2", "", nullptr, nullptr});
    EXPECT_EQ(toolbar->actions().size(), 1);
    EXPECT_EQ(command->text(), "Charts 2");
    EXPECT_TRUE(command->isEnabled()) << "no enabled() means always";
    command->trigger();
    EXPECT_EQ(clicks, 1);
}

TEST_F(Window, CommandFailuresAreReportedNotThrown) {
    auto log = std::make_shared<CapturingErrorLog>();
    const ScopedErrorLog scoped(log);
    window.setCommand({QIcon(), "Charts", "", [] { return true; },
                       [] { throw HostError(errnum::kInvalidCall, "Kartoplot", "broken"); }});
    window.commandAction()->trigger();
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_NE(log->records().front().find("broken"), std::string::npos);

    window.setCommand(
        {QIcon(), "Charts", "",
         []() -> bool { throw HostError(errnum::kInvalidCall, "Kartoplot", "state"); }, [] {}});
    EXPECT_FALSE(window.commandAction()->isEnabled());
    EXPECT_EQ(log->records().size(), 2u);
}

TEST(ScaleText, GroupsThousandsWithThinSpaces) {
    const struct {
        double scale;
        const char* text;
    } cases[] = {
        {1, "1 : 1"},
        {999, "1 : 999"},
        {1000, "1 : 1_000"},
        {1234.5, "1 : 1_235"},
        {12345678, "1 : 12_345_678"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scaleText(c.scale), thin(c.text)) << c.scale;
    }
    for (const double bad : {0.4, -5.0, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(scaleText(bad), "1 : ?") << bad;
    }
}

TEST_F(Window, StatusBarShowsScaleAndReferenceScale) {
    map().setMapScale(50000);
    map().refresh();
    EXPECT_EQ(label("scaleLabel"), thin("Scale 1 : 50_000"));
    EXPECT_EQ(label("referenceScaleLabel"), "No reference scale");
    EXPECT_FALSE(action("actionClearReferenceScale").isEnabled());

    action("actionSetReferenceScale").trigger();
    EXPECT_EQ(label("referenceScaleLabel"), thin("Reference scale 1 : 50_000"));
    EXPECT_TRUE(action("actionClearReferenceScale").isEnabled());

    action("actionZoomIn").trigger();
    EXPECT_EQ(label("scaleLabel"), thin("Scale 1 : 25_000"));
    EXPECT_EQ(label("referenceScaleLabel"), thin("Reference scale 1 : 50_000"));

    action("actionClearReferenceScale").trigger();
    EXPECT_EQ(map().referenceScale(), 0);
    EXPECT_EQ(label("referenceScaleLabel"), "No reference scale");
}

TEST(RussianWindow, ShowsRussianMenusToolbarsStatusAndFileDialogs) {
    auto interaction = std::make_shared<host::ScriptedInteraction>();
    MainWindow window(std::make_shared<host::Application>(), interaction,
                      std::string(language::kRussian));
    const auto label = [&](const char* name) { return window.findChild<QLabel*>(name)->text(); };

    QStringList menus;
    for (const QAction* menu : window.menuBar()->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus, (QStringList{"&Файл", "&Вид"}));
    EXPECT_EQ(window.findChild<QAction*>("actionOpenData")->text(), "&Открыть данные…");
    EXPECT_EQ(window.findChild<QToolBar*>("commandsToolBar")->windowTitle(), "Команды");

    window.map()->setMapScale(50000);
    window.map()->refresh();
    EXPECT_EQ(label("scaleLabel"), thin("Масштаб 1 : 50_000"));
    EXPECT_EQ(label("referenceScaleLabel"), "Нет опорного масштаба");
    window.findChild<QAction*>("actionSetReferenceScale")->trigger();
    EXPECT_EQ(label("referenceScaleLabel"), thin("Опорный масштаб 1 : 50_000"));

    window.findChild<QAction*>("actionOpenData")->trigger();
    window.findChild<QAction*>("actionExportMap")->trigger();
    ASSERT_EQ(interaction->fileDialogs.size(), 2u);
    EXPECT_EQ(interaction->fileDialogs[0].title, "Открыть данные");
    EXPECT_EQ(interaction->fileDialogs[0].filter.rfind("Векторные данные (", 0), 0u);
    EXPECT_NE(interaction->fileDialogs[0].filter.find("|Все файлы (*.*)|*.*"), std::string::npos);
    EXPECT_EQ(interaction->fileDialogs[1].title, "Экспорт карты");
    EXPECT_EQ(interaction->fileDialogs[1].filter.rfind("Рисунок PNG (*.png)|*.png|", 0), 0u);
}

TEST(WindowLanguages, NoTwoEntriesOfAMenuShareAMnemonic) {
    for (const std::string_view shown : {std::string_view("English"), language::kRussian}) {
        SCOPED_TRACE(std::string(shown));
        MainWindow window(std::make_shared<host::Application>(),
                          std::make_shared<host::ScriptedInteraction>(), std::string(shown));
        std::vector<QList<QAction*>> menus{window.menuBar()->actions()};
        for (const QAction* menu : window.menuBar()->actions()) {
            ASSERT_NE(menu->menu(), nullptr);
            menus.push_back(menu->menu()->actions());
        }
        for (const auto& entries : menus) {
            std::set<QString> seen;
            for (const QAction* entry : entries) {
                const qsizetype at = entry->text().indexOf(QLatin1Char('&'));
                if (at >= 0) {
                    const QString letter = entry->text().mid(at + 1, 1).toLower();
                    EXPECT_TRUE(seen.insert(letter).second) << entry->text().toStdString();
                }
            }
        }
    }
}

TEST_F(Window, ToolActionsAreExclusive) {
    QAction& pan = action("actionPanTool");
    QAction& select = action("actionSelectTool");
    EXPECT_TRUE(pan.isChecked());
    select.trigger();
    EXPECT_EQ(window.canvas().tool(), MapCanvas::Tool::Select);
    EXPECT_FALSE(pan.isChecked());
    pan.trigger();
    EXPECT_EQ(window.canvas().tool(), MapCanvas::Tool::Pan);
    EXPECT_FALSE(select.isChecked());
    window.canvas().setTool(MapCanvas::Tool::Select);
    EXPECT_TRUE(select.isChecked());
    EXPECT_FALSE(pan.isChecked());
}

TEST_F(Window, ShowsTheBundledDataAndExportsTheView) {
    window.resize(800, 500);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.openFiles({kLand, kPlaces});
    const QImage image = window.canvas().grab().toImage();
    int land = 0;
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            land +=
                std::abs(qRed(c) - 236) + std::abs(qGreen(c) - 232) + std::abs(qBlue(c) - 220) < 12;
            dark += qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100;
        }
    }
    EXPECT_GT(land, image.width() * image.height() / 10) << "land fills a good part of the map";
    EXPECT_GT(dark, 243 * 4) << "every city is a dark dot";

    interaction->fileAnswers = {(dir / "view").string(), (dir / "view.txt").string()};
    action("actionExportMap").trigger();
    EXPECT_TRUE(interaction->messages.empty());
    const QImage written(QString::fromStdString((dir / "view.png").string()));
    EXPECT_EQ(written.size(), window.canvas().size());
    EXPECT_EQ(interaction->fileDialogs.back().filter,
              englishText(language::DesktopMessage::ExportMapFilter));
    action("actionExportMap").trigger();
    EXPECT_EQ(interaction->messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "view.txt"));
}

}  // namespace
}  // namespace kartoplot::app
