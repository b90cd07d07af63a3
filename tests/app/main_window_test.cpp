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

#include "errors/error_handling.h"
#include "host/host.h"
#include "language/messages.h"

namespace kartoplot::app {
namespace {

const std::filesystem::path kData(KARTOPLOT_DATA_DIR);
const std::string kLand = (kData / "land.geojson").string();
const std::string kPlaces = (kData / "populated_places.geojson").string();

// The text with each '_' made a thin space, as scales are grouped.
QString thin(const char* text) {
    return QString(text).replace('_', QChar(0x2009));
}

class Window : public ::testing::Test {
protected:
    QAction& action(const char* name) {
        auto* found = window.findChild<QAction*>(name);
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
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

TEST_F(Window, OpenDataAddsPointsAboveAreasAndZoomsToTheFirstData) {
    EXPECT_EQ(window.map(), window.application()->document()->focusMap()) << "a document is made";
    interaction->fileAnswers = {kPlaces, kLand};
    action("actionOpenData").trigger();
    ASSERT_EQ(map().layerCount(), 1);
    const host::Envelope firstView = map().extent();
    const host::Envelope full = map().fullExtent();
    EXPECT_TRUE(firstView.contains(full.lowerLeft()) && firstView.contains(full.upperRight()));
    // One side is the data's plus 5 % on each end.
    const bool widthFits = std::abs(firstView.width() - full.width() * 1.1) < 1e-6 * full.width();
    const bool heightFits =
        std::abs(firstView.height() - full.height() * 1.1) < 1e-6 * full.height();
    EXPECT_TRUE(widthFits || heightFits) << firstView << " for " << full;

    action("actionOpenData").trigger();
    EXPECT_TRUE(interaction->messages.empty());
    ASSERT_EQ(map().layerCount(), 2);
    EXPECT_EQ(map().layer(0)->name(), "populated_places");
    EXPECT_EQ(map().layer(1)->name(), "land");
    EXPECT_EQ(map().mapUnits(), host::MapUnits::Degrees);
    EXPECT_EQ(map().extent(), firstView) << "only the first data are zoomed to";
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

// A file that cannot be imported or opens to nothing drawable says why in one message and adds
// nothing; the view stays. Features that cannot be drawn are skipped and the rest is added.
TEST_F(Window, FilesThatCannotBeDrawnSaySoAndAddNothing) {
    ASSERT_EQ(window.openFiles({kPlaces}), 1);
    map().setMapScale(map().mapScale() / 3);  // the user zoomed in
    const host::Envelope view = map().extent();
    const std::string start = R"({"type":"FeatureCollection","features":[)";
    const std::string point =
        R"({"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":)";
    const std::string nothingToDraw = "Nothing to draw: no feature has usable coordinates in ";
    const std::string missing = (dir / "missing.geojson").string();
    const struct {
        std::string path, message;  // the message names the path after its opening words
        int opened;
    } cases[] = {
        {missing, "", 0},
        {writeFile("garbage.geojson", "this is not GeoJSON"), "", 0},
        {writeFile("huge.geojson", start + point + "[1e308,0]}}]}"), nothingToDraw, 0},
        {writeFile("empty.geojson", start + "]}"), "The file has no features: ", 0},
        {writeFile("null.geojson",
                   start + R"({"type":"Feature","properties":{},"geometry":null}]})"),
         nothingToDraw, 0},
        {writeFile("nan.geojson", start + point + "[1,2]}}," + point + "[NaN,2]}}]}"),
         "Features that cannot be drawn were skipped in ", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        interaction->messages.clear();
        EXPECT_EQ(window.openFiles({c.path}), c.opened);
        ASSERT_EQ(interaction->messages.size(), 1u);
        const auto& shown = interaction->messages[0];
        EXPECT_NE(shown.text.find(c.message + c.path), std::string::npos) << shown.text;
        EXPECT_EQ(shown.title, "Kartoplot");
        EXPECT_EQ(shown.icon,
                  c.opened ? host::MessageIcon::Information : host::MessageIcon::Exclamation);
        EXPECT_EQ(map().layerCount(), 1 + c.opened);
        EXPECT_EQ(map().extent(), view);
    }
    interaction->messages.clear();
    EXPECT_EQ(window.openFiles({missing, kLand}), 1);
    EXPECT_EQ(interaction->messages.size(), 1u);
    EXPECT_EQ(map().layerCount(), 3);
}

TEST_F(Window, CommandActionAppearsOnceInstalledFollowsItsEnabledStateAndReportsFailures) {
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

    auto log = std::make_shared<CapturingErrorLog>();  // failures are reported, not thrown
    const ScopedErrorLog scoped(log);
    window.setCommand({QIcon(), "Charts", "", [] { return true; },
                       [] { throw HostError(errnum::kInvalidCall, "Kartoplot", "broken"); }});
    command->trigger();
    window.setCommand({QIcon(), "", "", []() -> bool { throw std::runtime_error("state"); }, {}});
    EXPECT_FALSE(command->isEnabled());
    ASSERT_EQ(log->records().size(), 2u);
    EXPECT_NE(log->records().front().find("\tbroken\r\n"), std::string::npos);
}

TEST(ScaleText, GroupsThousandsWithThinSpaces) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {999, "1 : 999"}, {1000, "1 : 1_000"}, {1234.5, "1 : 1_235"}, {12345678, "1 : 12_345_678"},
        {0.4, "1 : ?"},   {-5, "1 : ?"},       {nan, "1 : ?"},        {inf, "1 : ?"}};
    for (const auto& [scale, text] : cases) {
        EXPECT_EQ(scaleText(scale), thin(text)) << scale;
    }
}

// No two entries share the letter after their '&'.
void expectDistinctMnemonics(const QList<QAction*>& entries) {
    std::set<QString> seen;
    for (const QAction* entry : entries) {
        const qsizetype at = entry->text().indexOf(QLatin1Char('&'));
        if (at >= 0) {
            EXPECT_TRUE(seen.insert(entry->text().mid(at + 1, 1).toLower()).second)
                << entry->text().toStdString();
        }
    }
}

TEST(WindowLanguages, MenusStatusBarAndFileDialogsSpeakTheLanguage) {
    const struct {
        std::string language;
        QString menus, scale, reference, noReference;
        std::string openTitle, openFilter, exportTitle, exportFilter;  // filters: how they start
    } cases[] = {
        {"English", "&File &View &Layer", "Scale ", "Reference scale ", "No reference scale",
         "Open data", "Vector data (", "Export map", "PNG picture (*.png)|*.png|"},
        {std::string(language::kRussian), "&Файл &Вид &Слой", "Масштаб ", "Опорный масштаб ",
         "Нет опорного масштаба", "Открыть данные", "Векторные данные (", "Экспорт карты",
         "Рисунок PNG (*.png)|*.png|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        auto interaction = std::make_shared<host::ScriptedInteraction>();
        MainWindow window(std::make_shared<host::Application>(), interaction, c.language);
        const auto action = [&](const char* name) { return window.findChild<QAction*>(name); };
        const auto text = [&](const char* label) {
            return window.findChild<QLabel*>(label)->text();
        };
        QStringList menus;
        expectDistinctMnemonics(window.menuBar()->actions());
        for (const QAction* menu : window.menuBar()->actions()) {
            menus << menu->text();
            ASSERT_NE(menu->menu(), nullptr);
            expectDistinctMnemonics(menu->menu()->actions());
        }
        EXPECT_EQ(menus.join(' '), c.menus);

        window.map()->setMapScale(50000);
        window.map()->refresh();
        EXPECT_EQ(text("scaleLabel"), c.scale + thin("1 : 50_000"));
        EXPECT_EQ(text("referenceScaleLabel"), c.noReference);
        EXPECT_FALSE(action("actionClearReferenceScale")->isEnabled());
        action("actionSetReferenceScale")->trigger();
        EXPECT_EQ(text("referenceScaleLabel"), c.reference + thin("1 : 50_000"));
        EXPECT_TRUE(action("actionClearReferenceScale")->isEnabled());
        action("actionZoomIn")->trigger();
        EXPECT_EQ(text("scaleLabel"), c.scale + thin("1 : 25_000"));
        EXPECT_EQ(text("referenceScaleLabel"), c.reference + thin("1 : 50_000"));
        action("actionClearReferenceScale")->trigger();
        EXPECT_EQ(window.map()->referenceScale(), 0);
        EXPECT_EQ(text("referenceScaleLabel"), c.noReference);

        action("actionOpenData")->trigger();
        action("actionExportMap")->trigger();
        ASSERT_EQ(interaction->fileDialogs.size(), 2u);
        EXPECT_EQ(interaction->fileDialogs[0].title, c.openTitle);
        EXPECT_EQ(interaction->fileDialogs[0].filter.rfind(c.openFilter, 0), 0u);
        EXPECT_EQ(interaction->fileDialogs[1].title, c.exportTitle);
        EXPECT_EQ(interaction->fileDialogs[1].filter.rfind(c.exportFilter, 0), 0u);
    }
}

TEST_F(Window, ToolActionsAreExclusiveAndFollowTheCanvas) {
    QAction& pan = action("actionPanTool");
    QAction& select = action("actionSelectTool");
    EXPECT_TRUE(pan.isChecked());
    select.trigger();
    EXPECT_EQ(window.canvas().tool(), MapCanvas::Tool::Select);
    EXPECT_FALSE(pan.isChecked());
    pan.trigger();
    EXPECT_EQ(window.canvas().tool(), MapCanvas::Tool::Pan);
    window.canvas().setTool(MapCanvas::Tool::Select);
    EXPECT_TRUE(select.isChecked());
    EXPECT_FALSE(pan.isChecked());
}

TEST_F(Window, ExportsTheViewAtTheCanvasSizeAndReportsWhatCannotBeWritten) {
    window.resize(800, 500);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.openFiles({kLand, kPlaces});
    interaction->fileAnswers = {(dir / "view").string(), (dir / "view.txt").string()};
    action("actionExportMap").trigger();  // a name without an ending gets ".png"
    EXPECT_TRUE(interaction->messages.empty());
    const QImage written(QString::fromStdString((dir / "view.png").string()));
    ASSERT_EQ(written.size(), window.canvas().size());
    int land = 0;
    for (int i = 0; i < written.width() * written.height(); ++i) {
        const QRgb c = written.pixel(i % written.width(), i / written.width());
        land += std::abs(qRed(c) - 236) + std::abs(qGreen(c) - 232) + std::abs(qBlue(c) - 220) < 12;
    }
    EXPECT_GT(land, written.width() * written.height() / 10) << "land fills much of it";
    action("actionExportMap").trigger();
    EXPECT_EQ(interaction->messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "view.txt"));
}

}  // namespace
}  // namespace kartoplot::app
