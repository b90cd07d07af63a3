// The chart field list and what stays parallel to it (ChartSymbolArray, ImageList1,
// LstViewLegend): fixed scenarios, then a long run of random user actions.
#include <QComboBox>
#include <QHeaderView>
#include <QPixmap>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "engine/graphics_layers.h"
#include "preview/draw_symbol.h"
#include "tests/dialog/main_dialog_fixture.h"

namespace kartoplot::dialog::testing {
namespace {

using Strings = std::vector<std::string>;

class FieldListTest : public MainDialogTest {
protected:
    void SetUp() override { load(); }

    std::shared_ptr<host::Symbol> symbolAt(int k) { return dialog.ChartSymbolArray().element(k); }

    static QImage argb(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

    // Every invariant of the chart field list; offered = the fields the layer offers.
    void expectConsistent(const std::set<std::string>& offered) {
        const int n = chart()->topLevelItemCount();
        ASSERT_EQ(dialog.ChartSymbolArray().count(), n);
        ASSERT_EQ(dialog.imageList().count(), n + 1);
        EXPECT_EQ(dialog.imageList().key(0), "dummy");
        ASSERT_EQ(legend()->topLevelItemCount(), n);
        std::multiset<std::string> all;
        for (int k = 0; k < n; ++k) {
            QTreeWidgetItem* row = chart()->topLevelItem(k);
            const QString key = row->text(5);
            EXPECT_EQ(key, "key" + row->text(2)) << k;
            EXPECT_EQ(dialog.imageList().key(k + 1), key) << k;
            EXPECT_EQ(argb(row->icon(0).pixmap(40, 20).toImage()),
                      argb(dialog.imageList().image(k + 1)))
                << k;
            ASSERT_NE(symbolAt(k), nullptr);
            EXPECT_TRUE(symbolAt(k)->isFill());
            EXPECT_EQ(legend()->topLevelItem(k)->text(1), row->text(1)) << k;
            all.insert(row->text(1).toStdString());
        }
        std::vector<int> positions;
        for (int i = 0; i < available()->topLevelItemCount(); ++i) {
            all.insert(available()->topLevelItem(i)->text(0).toStdString());
            positions.push_back(available()->topLevelItem(i)->text(1).toInt());
        }
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
        EXPECT_EQ(std::set<std::string>(all.begin(), all.end()), offered);
        EXPECT_EQ(all.size(), offered.size());  // no field twice
    }
    // The swatch of row k is the picture of ChartSymbolArray member k.
    void expectSwatchesDrawn() {
        for (int k = 0; k < chart()->topLevelItemCount(); ++k) {
            EXPECT_EQ(argb(dialog.imageList().image(k + 1)),
                      argb(preview::SymbolToPicture(*symbolAt(k), 40, 20, 2)))
                << k;
        }
    }
    const std::set<std::string> citiesFields{"OBJECTID", "a", "b", "c"};
};

TEST_F(FieldListTest, MovingFieldsInAndOut) {
    moveToChart({"a", "c"});
    EXPECT_EQ(column(chart(), 1), (Strings{"a", "c"}));
    EXPECT_EQ(column(chart(), 2), (Strings{"3", "5"}));
    EXPECT_EQ(column(available(), 0), (Strings{"OBJECTID", "b"}));
    expectConsistent(citiesFields);
    expectSwatchesDrawn();
    const auto cSymbol = symbolAt(1);
    selectRows(chart(), 1, {"a"});
    dialog.CmdFieldsBack_Click();
    EXPECT_EQ(column(available(), 0), (Strings{"OBJECTID", "a", "b"}));
    EXPECT_EQ(column(chart(), 1), Strings{"c"});
    EXPECT_EQ(symbolAt(0), cSymbol);  // the remaining field keeps its own symbol
    expectConsistent(citiesFields);
    expectSwatchesDrawn();
    chart()->clearSelection();
    dialog.CmdFieldsBack_Click();  // nothing selected: nothing happens
    EXPECT_EQ(chart()->topLevelItemCount(), 1);
    moveToChart({"OBJECTID", "b"});
    dialog.CmdFieldsBackAll_Click();
    EXPECT_EQ(column(available(), 0), (Strings{"OBJECTID", "a", "b", "c"}));
    expectConsistent(citiesFields);
    EXPECT_TRUE(log->records().empty());
}

TEST_F(FieldListTest, UpAndDownExchangeRowsSymbolsSwatchesAndLegendRows) {
    moveToChart({"a", "b", "c"});
    const auto a = symbolAt(0);
    const auto b = symbolAt(1);
    selectRows(chart(), 1, {"b"});
    dialog.CmdUpDown_Click(0);
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "a", "c"}));
    EXPECT_EQ(symbolAt(0), b);
    EXPECT_EQ(symbolAt(1), a);
    EXPECT_TRUE(chart()->topLevelItem(0)->isSelected());
    expectConsistent(citiesFields);
    expectSwatchesDrawn();
    dialog.CmdUpDown_Click(0);  // already first
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "a", "c"}));
    selectRows(chart(), 1, {"c"});
    dialog.CmdUpDown_Click(1);  // already last
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "a", "c"}));
    selectRows(chart(), 1, {"a"});
    dialog.CmdUpDown_Click(1);
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "c", "a"}));
    expectConsistent(citiesFields);
}

TEST_F(FieldListTest, RandomColoursReplaceEverySymbol) {
    dialog.CmdRandomStyles_Click();  // empty list
    expectConsistent(citiesFields);
    moveToChart({"OBJECTID", "a", "b", "c"});
    std::vector<std::shared_ptr<host::Symbol>> before;
    for (int k = 0; k < 4; ++k) {
        before.push_back(symbolAt(k));
    }
    dialog.CmdRandomStyles_Click();
    for (int k = 0; k < 4; ++k) {
        EXPECT_NE(symbolAt(k), before[static_cast<std::size_t>(k)]);
    }
    expectConsistent(citiesFields);
    expectSwatchesDrawn();
}

TEST_F(FieldListTest, ChangingTheSymbolsOfOneSeveralOrAllFields) {
    moveToChart({"a", "b"});
    const auto a = symbolAt(0);
    const auto old = symbolAt(1);
    selectRows(chart(), 1, {"b"});
    dialog.LstViewFields_DblClick();  // chooser cancelled
    EXPECT_EQ(symbolAt(1), old);
    auto red = std::make_shared<host::SimpleFillSymbol>();
    red->color = host::Color{255, 0, 0};
    ui->symbolAnswers.push_back(red);
    dialog.LstViewFields_DblClick();
    EXPECT_EQ(symbolAt(1), red);
    expectConsistent(citiesFields);
    expectSwatchesDrawn();
    ui->symbolAnswers.push_back(std::make_shared<host::SimpleLineSymbol>());  // not a fill
    dialog.LstViewFields_DblClick();
    EXPECT_EQ(symbolAt(1), red);
    chart()->clearSelection();
    dialog.LstViewFields_DblClick();  // nothing selected: no chooser
    EXPECT_EQ(ui->chooserCalls, 3);
    moveToChart({"c"});  // the context menu: one symbol for the selected rows, then for all
    auto blue = std::make_shared<host::SimpleFillSymbol>();
    ui->symbolAnswers.push_back(blue);
    selectRows(chart(), 1, {"b", "c"});
    dialog.mnuSelectedElements_Click();
    EXPECT_EQ(ui->chooserCalls, 4);
    EXPECT_EQ(symbolAt(0), a);
    EXPECT_EQ(symbolAt(1), blue);
    EXPECT_EQ(symbolAt(2), blue);
    expectConsistent(citiesFields);
    ui->symbolAnswers.push_back(red);
    dialog.mnuAllElements_Click();
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(symbolAt(k), red);
    }
    expectSwatchesDrawn();
}

TEST_F(FieldListTest, ChoosingAnotherLayerEmptiesTheChart) {
    moveToChart({"a", "b"});
    auto fc = std::make_shared<host::FeatureClass>("Labels", host::GeometryType::Point);
    fc->addField({"TEXT", "", host::FieldType::String, 20});
    fc->addField({"WHEN", "", host::FieldType::Date, 0});
    map->addLayer(std::make_shared<host::FeatureLayer>("Labels", fc));
    dialog.CmdRefreshLayers_Click();
    EXPECT_EQ(ctl<QComboBox>("CmbLayers")->currentText(), "Cities");  // kept, but reloaded
    EXPECT_EQ(chart()->topLevelItemCount(), 0);
    ctl<QComboBox>("CmbLayers")->setCurrentText("Labels");
    EXPECT_EQ(chart()->topLevelItemCount(), 0);
    EXPECT_EQ(available()->topLevelItemCount(), 1);  // only the object id is numeric
    auto* key = ctl<QComboBox>("CmbKey");
    ASSERT_EQ(key->count(), 3);
    EXPECT_EQ(key->itemText(1), "TEXT");
    EXPECT_EQ(key->itemText(2), "WHEN");
    EXPECT_EQ(key->currentText(), "OBJECTID");
    expectConsistent({"OBJECTID"});
    map->deleteLayer(*map->layer(0));  // Labels goes: the refresh falls back to the first layer
    dialog.CmdRefreshLayers_Click();
    EXPECT_EQ(ctl<QComboBox>("CmbLayers")->currentText(), "Cities");
    EXPECT_EQ(ctl<QComboBox>("CmbLayers")->count(), 2);
}

TEST_F(FieldListTest, HeaderClicksHideBookkeepingColumns) {
    for (int header = 1; header <= 6; ++header) {
        dialog.LstViewFields_ColumnClick(header);
        const bool hidden = header == 3 || header >= 5;
        EXPECT_EQ(chart()->columnWidth(header - 1) == 0, hidden) << header;
    }
}

TEST_F(FieldListTest, OldChartLayersLeaveOutTheLayersOwnChartLayer) {
    engine::AddGraphicsLayer(dialog.engineState(), "CITIES_charts", *map, false);
    engine::AddGraphicsLayer(dialog.engineState(), "Cities_charts2", *map, false);
    dialog.PopulateGraphLayers("Cities");
    auto* old = ctl<QComboBox>("CmbOldChartLayer");
    EXPECT_EQ(old->findText("CITIES_charts"), -1);
    EXPECT_NE(old->findText("Cities_charts2"), -1);
    EXPECT_EQ(old->count(), 1);
}

// A few thousand random user actions on a layer with many numeric fields; after each the
// chart list, its symbols, swatches and legend rows must still agree.
TEST_F(FieldListTest, RandomActionsKeepTheListsParallel) {
    auto fc = std::make_shared<host::FeatureClass>("Wide", host::GeometryType::Point);
    std::set<std::string> offered{"OBJECTID"};
    for (int i = 0; i < 8; ++i) {
        offered.insert("f" + std::to_string(i));
        fc->addField({"f" + std::to_string(i), "",
                      i % 2 == 0 ? host::FieldType::Double : host::FieldType::Integer, 0});
    }
    fc->addField({"NOTE", "", host::FieldType::String, 10});
    map->addLayer(std::make_shared<host::FeatureLayer>("Wide", fc));
    dialog.CmdRefreshLayers_Click();
    auto* layers = ctl<QComboBox>("CmbLayers");
    layers->setCurrentText("Wide");
    ASSERT_EQ(available()->topLevelItemCount(), 9);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    const auto chance = [&](int n) { return static_cast<int>(random() % unsigned(n)); };
    const std::function<void()> actions[] = {
        [&] { dialog.CmdFieldsTo_Click(); },
        [&] { dialog.CmdFieldsBack_Click(); },
        [&] { dialog.CmdUpDown_Click(chance(2)); },
        [&] { dialog.LstViewFields_DblClick(); },
        [&] { dialog.mnuSelectedElements_Click(); },
        [&] { dialog.mnuAllElements_Click(); },
        [&] { dialog.CmdRandomStyles_Click(); },
        [&] { dialog.CmdFieldsBackAll_Click(); },
        [&] {
            layers->setCurrentText("Cities");
            layers->setCurrentText("Wide");
        },
    };
    std::discrete_distribution<int> pick({6, 3, 3, 3, 1.5, 1.5, 0.8, 0.5, 0.1});
    for (int step = 0; step < 3000; ++step) {
        const int action = pick(random);
        QTreeWidget* list = action == 0 ? available() : chart();
        list->clearSelection();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            list->topLevelItem(i)->setSelected(chance(3) == 0);
        }
        if (chance(2) == 0) {  // otherwise a chooser is cancelled
            auto fill = std::make_shared<host::SimpleFillSymbol>();
            fill->color = host::Color::fromRgb(static_cast<std::int32_t>(random() % 0xFFFFFF));
            ui->symbolAnswers.push_back(fill);
        }
        actions[action]();
        ui->symbolAnswers.clear();
        SCOPED_TRACE(::testing::Message() << "step " << step << " action " << action);
        ASSERT_NO_FATAL_FAILURE(expectConsistent(offered));
        if (step % 100 == 0) {
            expectSwatchesDrawn();
        }
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_TRUE(log->records().empty());
}

}  // namespace
}  // namespace kartoplot::dialog::testing
