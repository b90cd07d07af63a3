#include "app/main_window.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "command/error_handling.h"
#include "host/host.h"
#include "language/messages.h"

namespace kartoplot::app {
namespace {

const std::filesystem::path kData(KARTOPLOT_DATA_DIR);
const std::string kLand = (kData / "land.geojson").string();
const std::string kPlaces = (kData / "populated_places.geojson").string();

// The desktop table's text in English, the language a window shows by default.
std::string englishText(language::DesktopMessage id) {
    language::DesktopMessages table;
    table.load("English");
    return table.text(id);
}

bool containsEnvelope(const host::Envelope& outer, const host::Envelope& inner) {
    return outer.contains(inner.lowerLeft()) && outer.contains(inner.upperRight());
}

class Window : public ::testing::Test {
protected:
    Window() {
        dir = std::filesystem::temp_directory_path() /
              ("kp-app-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    ~Window() override { std::filesystem::remove_all(dir); }

    QAction& action(const char* name) {
        auto* found = window.findChild<QAction*>(name);
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    QString label(const char* name) { return window.findChild<QLabel*>(name)->text(); }
    host::Map& map() { return *window.map(); }
    void showWindow() {
        window.resize(800, 500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    std::string writeFile(const std::string& name, const std::string& content) {
        const auto path = (dir / name).string();
        std::ofstream(path) << content;
        return path;
    }

    static std::shared_ptr<host::Application> withDocument() {
        auto application = std::make_shared<host::Application>();
        application->setDocument(std::make_shared<host::MapDocument>());
        return application;
    }

    std::filesystem::path dir;
    std::shared_ptr<host::Application> application = withDocument();
    std::shared_ptr<host::ScriptedInteraction> interaction = std::make_shared<host::ScriptedInteraction>();
    MainWindow window{application, interaction};
};

TEST_F(Window, MakesADocumentForAnApplicationWithout) {
    MainWindow withoutDocument(std::make_shared<host::Application>(), interaction);
    ASSERT_NE(withoutDocument.application()->document(), nullptr);
    EXPECT_EQ(withoutDocument.map(), withoutDocument.application()->document()->focusMap());
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
    ASSERT_NE(map().spatialReference(), nullptr);
    EXPECT_EQ(map().mapUnits(), host::MapUnits::Degrees);
    EXPECT_EQ(map().extent(), firstView) << "only the first data are zoomed to";
}

TEST_F(Window, OpenFilesFitsTheViewToAllLayers) {
    EXPECT_EQ(window.openFiles({kLand, kPlaces}), 2);
    ASSERT_EQ(map().layerCount(), 2);
    EXPECT_EQ(map().layer(0)->name(), "populated_places");
    const host::Envelope full = map().fullExtent();
    const host::Envelope view = map().extent();
    EXPECT_TRUE(containsEnvelope(view, full));
    // Fitted with the margin: one side is the data's plus 5 % on each end.
    const bool widthFits = std::abs(view.width() - full.width() * 1.1) < 1e-6 * full.width();
    const bool heightFits = std::abs(view.height() - full.height() * 1.1) < 1e-6 * full.height();
    EXPECT_TRUE(widthFits || heightFits) << view << " for " << full;
}

TEST_F(Window, ProjectsDataToTheMapsCoordinateSystem) {
    ASSERT_EQ(window.openFiles({kPlaces}), 1);
    // 10° E on the equator in web Mercator metres.
    const std::string mercator = writeFile(
        "mercator.geojson",
        R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"EPSG:3857"}},)"
        R"("features":[{"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[1113194.9,0]}}]})");
    ASSERT_EQ(window.openFiles({mercator}), 1) << interaction->messages.front().text;
    const auto& layer = static_cast<host::FeatureLayer&>(*map().layer(0));
    auto cursor = layer.featureClass()->search();
    const host::Feature* feature = cursor->nextFeature();
    ASSERT_NE(feature, nullptr);
    const host::Point* p = feature->shape.asPoint();
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
        EXPECT_EQ(shown.buttons, host::MessageButtons::Ok);
        EXPECT_EQ(shown.icon, host::MessageIcon::Exclamation);
        EXPECT_EQ(map().layerCount(), 1);
        EXPECT_EQ(map().extent(), view);
    }
    // One bad file among good ones costs only itself.
    interaction->messages.clear();
    EXPECT_EQ(window.openFiles({(dir / "missing.geojson").string(), kLand}), 1);
    EXPECT_EQ(interaction->messages.size(), 1u);
    EXPECT_EQ(map().layerCount(), 2);
}

TEST_F(Window, CommandActionAppearsOnlyOnceInstalled) {
    auto* toolbar = window.findChild<QToolBar*>("commandsToolBar");
    ASSERT_NE(toolbar, nullptr);
    EXPECT_TRUE(toolbar->actions().isEmpty());
    EXPECT_EQ(window.commandAction(), nullptr);

    int clicks = 0;
    window.setCommand({QIcon(), "Charts", "Bar charts for the point layer",
                       [this] { return map().layerCount() > 0; }, [&] { ++clicks; }});
    ASSERT_EQ(toolbar->actions().size(), 1);
    QAction* command = toolbar->actions().front();
    EXPECT_EQ(command, window.commandAction());
    EXPECT_EQ(command->text(), "Charts");
    EXPECT_EQ(command->toolTip(), "Bar charts for the point layer");
    EXPECT_FALSE(command->isEnabled());

    window.openFiles({kPlaces});
    EXPECT_TRUE(command->isEnabled()) << "re-evaluated after the layers changed";
    command->trigger();
    EXPECT_EQ(clicks, 1);

    window.setCommand({QIcon(), "Charts 2", "", nullptr, nullptr});
    EXPECT_EQ(toolbar->actions().size(), 1);
    EXPECT_EQ(command->text(), "Charts 2");
    EXPECT_TRUE(command->isEnabled()) << "no enabled() means always";
    command->trigger();
    EXPECT_EQ(clicks, 1);
}

TEST_F(Window, CommandStateFollowsMapRefreshesAndSelections) {
    window.openFiles({kPlaces});
    auto layer = std::static_pointer_cast<host::FeatureLayer>(map().layer(0));
    bool ready = false;
    int asked = 0;
    window.setCommand({QIcon(), "Charts", "", [&] {
                           ++asked;
                           return ready;
                       },
                       [] {}});
    QAction* command = window.commandAction();
    EXPECT_FALSE(command->isEnabled());
    ready = true;
    map().refresh();
    EXPECT_TRUE(command->isEnabled());
    ready = false;
    const int before = asked;
    layer->setSelection({1, 2});
    EXPECT_GT(asked, before);
    EXPECT_FALSE(command->isEnabled());
}

TEST_F(Window, CommandFailuresAreReportedNotThrown) {
    auto log = std::make_shared<CapturingErrorLog>();
    const ScopedErrorLog scoped(log);
    window.setCommand({QIcon(), "Charts", "", [] { return true; },
                       [] { throw HostError(errnum::kInvalidCall, "Kartoplot", "broken"); }});
    window.commandAction()->trigger();
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_NE(log->records().front().find("broken"), std::string::npos);

    window.setCommand({QIcon(), "Charts", "",
                       [] () -> bool { throw HostError(errnum::kInvalidCall, "Kartoplot", "state"); },
                       [] {}});
    EXPECT_FALSE(window.commandAction()->isEnabled());
    EXPECT_EQ(log->records().size(), 2u);
}

TEST(ScaleText, GroupsThousandsWithThinSpaces) {
    const QString thin(QChar(0x2009));
    const struct {
        double scale;
        QString text;
    } cases[] = {
        {1, "1 : 1"},
        {999, "1 : 999"},
        {1000, "1 : 1" + thin + "000"},
        {1234.5, "1 : 1" + thin + "235"},
        {50000, "1 : 50" + thin + "000"},
        {12345678, "1 : 12" + thin + "345" + thin + "678"},
        {0.4, "1 : ?"},
        {-5, "1 : ?"},
        {std::numeric_limits<double>::quiet_NaN(), "1 : ?"},
        {std::numeric_limits<double>::infinity(), "1 : ?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        EXPECT_EQ(scaleText(c.scale), c.text);
    }
}

TEST_F(Window, StatusBarShowsScaleAndReferenceScale) {
    const QString thin(QChar(0x2009));
    map().setMapScale(50000);
    map().refresh();
    EXPECT_EQ(label("scaleLabel"), "Scale 1 : 50" + thin + "000");
    EXPECT_EQ(label("referenceScaleLabel"), "No reference scale");
    EXPECT_FALSE(action("actionClearReferenceScale").isEnabled());

    action("actionSetReferenceScale").trigger();
    EXPECT_EQ(map().referenceScale(), 50000);
    EXPECT_EQ(label("referenceScaleLabel"), "Reference scale 1 : 50" + thin + "000");
    EXPECT_TRUE(action("actionClearReferenceScale").isEnabled());

    action("actionZoomIn").trigger();
    EXPECT_EQ(label("scaleLabel"), "Scale 1 : 25" + thin + "000");
    EXPECT_EQ(label("referenceScaleLabel"), "Reference scale 1 : 50" + thin + "000");

    action("actionClearReferenceScale").trigger();
    EXPECT_EQ(map().referenceScale(), 0);
    EXPECT_EQ(label("referenceScaleLabel"), "No reference scale");
}

TEST(RussianWindow, ShowsRussianMenusToolbarsStatusAndFileDialogs) {
    const QString thin(QChar(0x2009));
    auto interaction = std::make_shared<host::ScriptedInteraction>();
    MainWindow window(std::make_shared<host::Application>(), interaction,
                      std::string(language::kRussian));
    const auto actionText = [&](const char* name) {
        auto* found = window.findChild<QAction*>(name);
        return found == nullptr ? QString() : found->text();
    };
    const auto label = [&](const char* name) { return window.findChild<QLabel*>(name)->text(); };

    QStringList menus;
    for (const QAction* menu : window.menuBar()->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus, (QStringList{"&Файл", "&Вид"}));
    EXPECT_EQ(actionText("actionOpenData"), "&Открыть данные…");
    EXPECT_EQ(actionText("actionExportMap"), "&Экспорт карты…");
    EXPECT_EQ(actionText("actionQuit"), "В&ыход");
    EXPECT_EQ(actionText("actionZoomIn"), "&Увеличить");
    EXPECT_EQ(actionText("actionZoomOut"), "У&меньшить");
    EXPECT_EQ(actionText("actionFullExtent"), "&Полный экстент");
    EXPECT_EQ(actionText("actionPanTool"), "Па&норама");
    EXPECT_EQ(actionText("actionSelectTool"), "&Выбор");
    EXPECT_EQ(actionText("actionSetReferenceScale"), "Опорный масштаб = текущий");
    EXPECT_EQ(actionText("actionClearReferenceScale"), "Убрать опорный масштаб");
    EXPECT_EQ(window.findChild<QToolBar*>("navigationToolBar")->windowTitle(), "Навигация");
    EXPECT_EQ(window.findChild<QToolBar*>("commandsToolBar")->windowTitle(), "Команды");

    // The words change; the scale keeps its thin-space grouping.
    window.map()->setMapScale(50000);
    window.map()->refresh();
    EXPECT_EQ(label("scaleLabel"), "Масштаб 1 : 50" + thin + "000");
    EXPECT_EQ(label("referenceScaleLabel"), "Нет опорного масштаба");
    window.findChild<QAction*>("actionSetReferenceScale")->trigger();
    EXPECT_EQ(label("referenceScaleLabel"), "Опорный масштаб 1 : 50" + thin + "000");

    // Both file dialogs are asked in Russian (no file is chosen, so nothing else happens).
    window.findChild<QAction*>("actionOpenData")->trigger();
    window.findChild<QAction*>("actionExportMap")->trigger();
    ASSERT_EQ(interaction->fileDialogs.size(), 2u);
    EXPECT_EQ(interaction->fileDialogs[0].title, "Открыть данные");
    EXPECT_EQ(interaction->fileDialogs[0].filter.rfind("Векторные данные (", 0), 0u);
    EXPECT_NE(interaction->fileDialogs[0].filter.find("|Все файлы (*.*)|*.*"), std::string::npos);
    EXPECT_EQ(interaction->fileDialogs[1].title, "Экспорт карты");
    EXPECT_EQ(interaction->fileDialogs[1].filter.rfind("Рисунок PNG (*.png)|*.png|", 0), 0u);
    EXPECT_TRUE(interaction->messages.empty());
}

// The letter after '&', lower case; empty for a text without a mnemonic.
QString mnemonic(const QString& text) {
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at < 0 || at + 1 >= text.size() ? QString() : text.mid(at + 1, 1).toLower();
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
                const QString letter = mnemonic(entry->text());
                if (!letter.isEmpty()) {
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
    // A tool chosen on the canvas itself shows in the menu too.
    window.canvas().setTool(MapCanvas::Tool::Select);
    EXPECT_TRUE(select.isChecked());
    EXPECT_FALSE(pan.isChecked());
}

TEST_F(Window, ExportsTheCurrentView) {
    showWindow();
    window.openFiles({kLand, kPlaces});
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

TEST_F(Window, ShowsTheBundledDataOnTheCanvas) {
    showWindow();
    window.openFiles({kLand, kPlaces});
    const QImage image = window.canvas().grab().toImage();
    ASSERT_FALSE(image.isNull());
    int land = 0;
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            land += std::abs(qRed(c) - 236) + std::abs(qGreen(c) - 232) + std::abs(qBlue(c) - 220) < 12;
            dark += qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100;
        }
    }
    const int pixels = image.width() * image.height();
    EXPECT_GT(land, pixels / 10) << "the land polygons fill a good part of the world map";
    EXPECT_GT(dark, 243 * 4) << "every city is a dark dot";
}

}  // namespace
}  // namespace kartoplot::app
