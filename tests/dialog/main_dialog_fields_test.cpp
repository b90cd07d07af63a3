// The chart field rows and their views (LstViewFields, ChartSymbolArray, ImageList1,
// LstViewLegend): fixed scenarios, a long run of random user actions, ImageList1 and the
// model of the rows on their own.
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

using Symbols = std::vector<std::shared_ptr<host::Symbol>>;

Symbols members(const host::SymbolArray& array) {
    Symbols out;
    for (int k = 0; k < array.count(); ++k) {
        out.push_back(array.element(k));
    }
    return out;
}

class FieldListTest : public MainDialogTest {
protected:
    void SetUp() override { load(); }

    std::shared_ptr<host::Symbol> symbolAt(int k) { return dialog.ChartSymbolArray().element(k); }
    Symbols symbols() { return members(dialog.ChartSymbolArray()); }

    static QImage argb(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

    // Every invariant of the chart field list; offered = the fields the layer offers. With
    // drawn, the swatch of row k must also be the picture of ChartSymbolArray member k.
    void expectConsistent(bool drawn = true,
                          const std::set<std::string>& offered = {"OBJECTID", "a", "b", "c"}) {
        const int n = chart()->topLevelItemCount();
        ASSERT_EQ(dialog.chartFields().count(), n);
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
            ASSERT_TRUE(symbolAt(k) && symbolAt(k)->isFill()) << k;
            if (drawn) {
                EXPECT_EQ(argb(dialog.imageList().image(k + 1)),
                          argb(preview::SymbolToPicture(*symbolAt(k), 40, 20, 2)))
                    << k;
            }
            EXPECT_EQ(legend()->topLevelItem(k)->text(1), row->text(1)) << k;
            // The lists show the model's row k.
            const ChartField& field = dialog.chartFields().row(k);
            EXPECT_EQ(row->text(1).toStdString(), field.fieldName) << k;
            EXPECT_EQ(row->text(2).toInt(), field.fieldPosition) << k;
            EXPECT_EQ(key, field.swatchKey) << k;
            EXPECT_EQ(legend()->topLevelItem(k)->text(0).toStdString(), field.legendLabel) << k;
            EXPECT_EQ(symbolAt(k), field.symbol) << k;
            all.insert(row->text(1).toStdString());
        }
        std::vector<int> positions;
        for (int i = 0; i < available()->topLevelItemCount(); ++i) {
            all.insert(available()->topLevelItem(i)->text(0).toStdString());
            positions.push_back(available()->topLevelItem(i)->text(1).toInt());
        }
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
        EXPECT_EQ(all, std::multiset<std::string>(offered.begin(), offered.end()));  // none twice
    }
};

TEST_F(FieldListTest, MovingFieldsInAndOutAndRandomColours) {
    moveToChart({"a", "c"});
    EXPECT_EQ(column(chart(), 1), (Strings{"a", "c"}));
    EXPECT_EQ(column(chart(), 2), (Strings{"3", "5"}));
    EXPECT_EQ(column(available(), 0), (Strings{"OBJECTID", "b"}));
    expectConsistent();
    const auto cSymbol = symbolAt(1);
    selectRows(chart(), 1, {"a"});
    dialog.CmdFieldsBack_Click();
    EXPECT_EQ(column(available(), 0), (Strings{"OBJECTID", "a", "b"}));
    EXPECT_EQ(column(chart(), 1), Strings{"c"});
    EXPECT_EQ(symbolAt(0), cSymbol);  // the remaining field keeps its own symbol
    expectConsistent();
    chart()->clearSelection();
    dialog.CmdFieldsBack_Click();  // nothing selected: nothing happens
    EXPECT_EQ(chart()->topLevelItemCount(), 1);
    moveToChart({"OBJECTID", "b"});
    const Symbols before = symbols();
    dialog.CmdRandomStyles_Click();  // random colours replace every symbol
    for (const auto& symbol : symbols()) {
        EXPECT_EQ(std::count(before.begin(), before.end(), symbol), 0);
    }
    expectConsistent();
    dialog.CmdFieldsBackAll_Click();
    EXPECT_EQ(column(available(), 0), (Strings{"OBJECTID", "a", "b", "c"}));
    expectConsistent();
    EXPECT_TRUE(log->records().empty());
}

TEST_F(FieldListTest, UpAndDownExchangeRowsSymbolsSwatchesAndLegendRows) {
    moveToChart({"a", "b", "c"});
    legend()->topLevelItem(1)->setText(0, "Beta");  // the user's legend label of b
    const Symbols s = symbols();
    selectRows(chart(), 1, {"b"});
    dialog.CmdUpDown_Click(0);
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "a", "c"}));
    EXPECT_EQ(symbols(), (Symbols{s[1], s[0], s[2]}));
    EXPECT_TRUE(chart()->topLevelItem(0)->isSelected());
    expectConsistent();
    dialog.CmdUpDown_Click(0);  // already first
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "a", "c"}));
    selectRows(chart(), 1, {"c"});
    dialog.CmdUpDown_Click(1);  // already last
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "a", "c"}));
    selectRows(chart(), 1, {"a"});
    dialog.CmdUpDown_Click(1);
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "c", "a"}));
    EXPECT_EQ(symbols(), (Symbols{s[1], s[2], s[0]}));
    EXPECT_EQ(column(legend(), 0), (Strings{"Beta", "c", "a"}));
    expectConsistent();
    selectRows(chart(), 1, {"c"});
    dialog.CmdFieldsBack_Click();
    EXPECT_EQ(column(legend(), 0), (Strings{"Beta", "a"}));
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
    expectConsistent();
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
    EXPECT_EQ(symbols(), (Symbols{a, blue, blue}));
    expectConsistent();
    ui->symbolAnswers.push_back(red);
    dialog.mnuAllElements_Click();
    EXPECT_EQ(symbols(), (Symbols{red, red, red}));
    expectConsistent();
}

// Old chart layers offered leave out the chosen layer's own, whatever its case.
TEST_F(FieldListTest, RefreshingOrChoosingAnotherLayerEmptiesTheChart) {
    moveToChart({"a", "b"});
    engine::AddGraphicsLayer(dialog.engineState(), "CITIES_charts", *map, false);
    engine::AddGraphicsLayer(dialog.engineState(), "Cities_charts2", *map, false);
    auto fc = std::make_shared<host::FeatureClass>("Labels", host::GeometryType::Point);
    fc->addField({"TEXT", "", host::FieldType::String, 20});
    fc->addField({"WHEN", "", host::FieldType::Date, 0});
    map->addLayer(std::make_shared<host::FeatureLayer>("Labels", fc));
    dialog.CmdRefreshLayers_Click();
    EXPECT_EQ(ctl<QComboBox>("CmbLayers")->currentText(), "Cities");  // kept, but reloaded
    EXPECT_EQ(chart()->topLevelItemCount(), 0);
    EXPECT_EQ(items(ctl<QComboBox>("CmbOldChartLayer")), Strings{"Cities_charts2"});
    ctl<QComboBox>("CmbLayers")->setCurrentText("Labels");
    EXPECT_EQ(chart()->topLevelItemCount(), 0);
    EXPECT_EQ(available()->topLevelItemCount(), 1);  // only the object id is numeric
    EXPECT_EQ(items(ctl<QComboBox>("CmbKey")), (Strings{"OBJECTID", "TEXT", "WHEN"}));
    EXPECT_EQ(ctl<QComboBox>("CmbKey")->currentText(), "OBJECTID");
    expectConsistent(true, {"OBJECTID"});
    map->deleteLayer(*map->layer(0));  // Labels goes: the refresh falls back to the first layer
    dialog.CmdRefreshLayers_Click();
    EXPECT_EQ(items(ctl<QComboBox>("CmbLayers")), (Strings{"Cities", "Towns"}));
    EXPECT_EQ(ctl<QComboBox>("CmbLayers")->currentText(), "Cities");
}

TEST_F(FieldListTest, HeaderClicksHideBookkeepingColumns) {
    for (int header = 1; header <= 6; ++header) {
        dialog.LstViewFields_ColumnClick(header);
        const bool hidden = header == 3 || header >= 5;
        EXPECT_EQ(chart()->columnWidth(header - 1) == 0, hidden) << header;
    }
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
        ASSERT_NO_FATAL_FAILURE(expectConsistent(step % 100 == 0, offered));
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_TRUE(log->records().empty());
}

// ImageList1 on its own: keyed pictures with the "dummy" picture always first.
QImage filled(QColor colour, QSize size = QSize(40, 20)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

std::vector<QString> keys(const ImageList& list) {
    std::vector<QString> out;
    for (int i = 0; i < list.count(); ++i) {
        out.push_back(list.key(i));
    }
    return out;
}

TEST(ImageListTest, DummyStaysFirstWhateverHappensAndPicturesTakeTheListsSize) {
    ImageList list;
    EXPECT_EQ(keys(list), std::vector<QString>{"dummy"});
    list.add("key3", filled(Qt::red, QSize(80, 40)));
    list.add("key5", filled(Qt::green));
    list.insert(0, "key1", filled(Qt::blue));  // clamped behind the dummy
    EXPECT_EQ(keys(list), (std::vector<QString>{"dummy", "key1", "key3", "key5"}));
    EXPECT_EQ(list.image(2).size(), QSize(40, 20));
    EXPECT_EQ(list.image(2).pixelColor(20, 10), QColor(Qt::red));
    EXPECT_FALSE(list.remove(0));
    EXPECT_FALSE(list.removeKey("dummy"));
    EXPECT_FALSE(list.swap(0, 1));
    EXPECT_FALSE(list.remove(4));
    EXPECT_TRUE(list.swap(1, 3));
    EXPECT_EQ(keys(list), (std::vector<QString>{"dummy", "key5", "key3", "key1"}));
    EXPECT_EQ(list.image(1).pixelColor(0, 0), QColor(Qt::green));
    EXPECT_TRUE(list.removeKey("key3"));
    EXPECT_EQ(list.indexOfKey("key1"), 2);
    EXPECT_EQ(list.indexOfKey("key9"), -1);
    EXPECT_TRUE(list.icon("key9").isNull());
    EXPECT_FALSE(list.icon("key1").isNull());
    list.removeAllExceptDummy();
    EXPECT_EQ(keys(list), std::vector<QString>{"dummy"});
    EXPECT_TRUE(list.image(5).isNull());
    EXPECT_TRUE(list.key(-1).isEmpty());
}

// The chart field rows on their own: ChartSymbolArray and ImageList1 are views of them.
TEST(ChartFieldModelTest, ViewsFollowTheRowsAndEarlierCopiesKeepTheirSymbols) {
    ChartFieldModel model;
    Symbols s;
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    for (int k = 0; k < 3; ++k) {
        s.push_back(std::make_shared<host::SimpleFillSymbol>());
        ChartField field;
        field.fieldName = std::string(1, char('a' + k));
        field.fieldPosition = 3 + k;
        EXPECT_EQ(model.append(field), k);
        model.setSymbol(k, s.back(), filled(colours[k], QSize(80, 40)),
                        ChartFieldModel::swatchKeyFor(field.fieldPosition));
    }
    EXPECT_EQ(members(model.symbolArray()), s);
    EXPECT_EQ(keys(model.imageList()), (std::vector<QString>{"dummy", "key3", "key4", "key5"}));
    EXPECT_EQ(model.imageList().image(2).size(), QSize(40, 20));
    EXPECT_EQ(model.imageList().image(2).pixelColor(20, 10), QColor(Qt::green));

    const host::SymbolArray handedOut = model.symbolArray();
    EXPECT_TRUE(model.exchange(0, 2));
    EXPECT_FALSE(model.exchange(0, 3));
    EXPECT_EQ(model.fieldNames(), (Strings{"c", "b", "a"}));
    EXPECT_EQ(members(model.symbolArray()), (Symbols{s[2], s[1], s[0]}));
    EXPECT_EQ(keys(model.imageList()), (std::vector<QString>{"dummy", "key5", "key4", "key3"}));
    EXPECT_EQ(handedOut, (host::SymbolArray{s[0], s[1], s[2]})) << "a copy keeps its symbols";

    model.setSymbol(1, s[0], filled(Qt::yellow));  // b takes a's symbol object, keeps its key
    EXPECT_EQ(model.row(1).symbol, model.row(2).symbol);
    EXPECT_EQ(model.imageList().key(2), "key4");
    EXPECT_EQ(model.imageList().image(2).pixelColor(0, 0), QColor(Qt::yellow));

    const auto taken = model.take({2, 0, 2, 7});
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].fieldName + taken[1].fieldName, "ca");
    EXPECT_EQ(model.fieldNames(), Strings{"b"});
    EXPECT_EQ(keys(model.imageList()), (std::vector<QString>{"dummy", "key4"}));
    EXPECT_THROW(model.row(1), HostError);
    EXPECT_THROW(model.setLegendLabel(1, "x"), HostError);
    model.clear();
    EXPECT_EQ(model.symbolArray().count(), 0);
    EXPECT_EQ(keys(model.imageList()), std::vector<QString>{"dummy"});
}

}  // namespace
}  // namespace kartoplot::dialog::testing
