// Legend files in the main dialog: what a selection saves and says, legends and chart layer files
// loaded onto another layer's fields, loads that must change no row, the file choice, and a
// failed statement reported with its line when the load ends.
#include <QCheckBox>
#include <QPushButton>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "engine/element_data.h"
#include "engine/graphics_layers.h"
#include "relation/frm_rela_fields.h"
#include "tests/dialog/main_dialog_fixture.h"

namespace kartoplot::dialog::testing {
namespace {

namespace fs = std::filesystem;
using Colors = std::vector<host::Color>;
using Elements = std::vector<std::shared_ptr<host::Element>>;

// An element with a data set on `fields` (none: no data); a marker draws `fills` as its bars.
template <class E = host::MarkerElement>
std::shared_ptr<E> element(const Strings& fields, const Colors& fills = {}) {
    auto e = std::make_shared<E>();
    if constexpr (std::is_same_v<E, host::MarkerElement>) {
        auto chart = std::make_shared<host::BarChartSymbol>();
        for (const host::Color& color : fills) {
            auto fill = std::make_shared<host::SimpleFillSymbol>();
            fill->color = color;
            chart->symbols.add(fill);
        }
        e->symbol = chart;
    }
    if (!fields.empty()) {
        Strings keys{engine::kLayerNameKey, engine::kVmaxKey, engine::kVminKey};
        keys.insert(keys.end(), fields.begin(), fields.end());
        engine::SetElementData(*e, std::make_shared<const Strings>(keys),
                               std::vector<host::Variant>(keys.size(), host::Variant(1.0)));
    }
    return e;
}

std::shared_ptr<host::GroupElement> group(const Elements& members) {
    auto g = std::make_shared<host::GroupElement>();
    for (const auto& m : members) {
        g->addElement(m);
    }
    return g;
}

class LegendFilesTest : public MainDialogTest {
protected:
    LegendFilesTest() {
        dialog.setRelationShow([this](relation::FrmRelaFields& form) {
            ++relationShows;
            if (relate) {
                relate(form);
            }
        });
        load();
        ui->messages.clear();
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    void save(const Elements& selection, const std::optional<std::string>& file) {
        map->unselectAllElements();
        for (const auto& e : selection) {
            map->selectElement(e);
        }
        if (file) {
            ui->fileAnswers.push_back(*file);
        }
        ctl<QPushButton>("CmdSaveLegend")->click();
    }
    void loadLegend(const std::optional<std::string>& file) {
        if (file) {
            ui->fileAnswers.push_back(*file);
        }
        ctl<QPushButton>("CmdLoadLegend")->click();
    }
    Strings shown() const {
        Strings out;
        for (const auto& m : ui->messages) {
            out.push_back(m.text + "|" + m.title);
        }
        return out;
    }
    // The rows' colours; on the way, each row's symbol and swatch key agree in every view.
    Colors rowColors() {
        Colors out;
        const auto& rows = dialog.chartFields().rows();
        EXPECT_EQ(dialog.imageList().count(), static_cast<int>(rows.size()) + 1);
        for (int k = 0; k < static_cast<int>(rows.size()); ++k) {
            const ChartField& row = rows[static_cast<std::size_t>(k)];
            EXPECT_EQ(row.swatchKey, ChartFieldModel::swatchKeyFor(row.fieldPosition));
            EXPECT_EQ(dialog.imageList().key(k + 1), row.swatchKey);
            EXPECT_EQ(chart()->topLevelItem(k)->text(5), row.swatchKey);
            EXPECT_EQ(dialog.ChartSymbolArray().element(k), row.symbol);
            out.push_back(std::dynamic_pointer_cast<host::FillSymbol>(row.symbol)->color);
        }
        return out;
    }

    QTemporaryDir temporary;
    fs::path dir{temporary.path().toStdString()};
    int relationShows = 0;
    std::function<void(relation::FrmRelaFields&)> relate;
};

TEST_F(LegendFilesTest, WhatIsSelectedDecidesWhatIsSavedAndSaid) {
    const std::string file = path("Cities_Legend.leg");
    const std::string one = "Select ONLY ONE chart on the map|Save legend ";
    const std::string saved = "was saved to file " + file + "|Save legend ";
    const auto chart = [] { return element({"a", "b"}, {{1, 0, 0}, {2, 0, 0}}); };
    const auto plain = [] { return std::make_shared<host::TextElement>(); };
    struct Case {
        std::string what;
        Elements selection;
        std::optional<std::string> answer;  // nothing: no save dialog may open
        Strings messages;
        std::size_t records;
    };
    const std::string noData = "no attached data|info# ";
    const std::vector<Case> cases = {
        {"two charts", {chart(), chart()}, std::nullopt, {one}, 0},
        {"nothing selected", {}, std::nullopt, {one}, 0},
        {"group led by a text with data",
         {group({element<host::TextElement>({"a"}), chart()})}, file, {}, 0},
        {"plain element without data", {plain()}, file, {noData + "1"}, 0},
        {"marker without data", {element({}, {{1, 0, 0}})}, file, {noData + "1"}, 0},
        {"group without data", {group({plain(), element({})})}, file, {noData + "2"}, 0},
        {"file not written", {chart()}, path("gone/x.leg"), {}, 1},
        {"chart marker", {chart()}, file, {saved}, 0},
        {"chart group", {group({std::make_shared<host::LineElement>(), chart()})}, file, {saved}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file);
        ui->messages.clear();
        ui->fileDialogs.clear();
        log->clear();
        ctl<QLineEdit>("TxtLegendFile")->clear();
        save(c.selection, c.answer);
        EXPECT_EQ(ui->fileDialogs.size(), c.answer ? 1U : 0U);
        EXPECT_EQ(shown(), c.messages);
        const bool written = c.messages == Strings{saved};
        EXPECT_EQ(fs::exists(file), written);
        EXPECT_EQ(text("TxtLegendFile"), written ? file : "");
        EXPECT_EQ(log->records().size(), c.records);
        EXPECT_TRUE(dialog.isVisible()) << "shown again";
    }
    const host::FileDialogRequest& asked = ui->fileDialogs.back();
    EXPECT_EQ(asked.title + "|" + asked.filter + "|" + asked.fileName + "|" + asked.initialFolder,
              "Save legend |Legend *.leg|*.leg|Cities_Legend.leg|" + dir.string() + "/");
}

// Fields a, b, c saved from Cities relate by name to the Towns chart fields c, a: the rows take
// the saved colours in the legend's order, keeping their legend labels, swatches and selection.
TEST_F(LegendFilesTest, LegendAndChartLayerFilesGiveTheSavedColoursToAnotherLayer) {
    cities->setDataSource({path("cities.csv"), ""});  // a layer file refers to its data
    for (const std::string kind : {"leg", "lyr"}) {
        SCOPED_TRACE(kind);
        ctl<QComboBox>("CmbLayers")->setCurrentIndex(0);  // Cities
        moveToChart({"a", "b", "c"});
        const Colors cityColors = rowColors();
        const std::string file = path("Cities." + kind);
        ctl<QCheckBox>("ChkSaveLyrFile")->setChecked(kind == "lyr");
        ui->fileAnswers.push_back(file);  // the run's layer file, or else no dialog asks for it
        dialog.CmdOK_Click();
        if (kind == "leg") {
            for (const auto& layer : engine::GetGraphicsLayers(dialog.engineState())) {
                if (layer->name() == "Cities_charts") {
                    save({layer->elements().front()}, std::nullopt);
                }
            }
        }
        ASSERT_TRUE(fs::exists(file));

        ctl<QComboBox>("CmbLayers")->setCurrentIndex(1);  // Towns
        ctl<QCheckBox>("ChkAutoMapping")->setChecked(true);
        moveToChart({"a", "c"});
        chart()->topLevelItem(1)->setSelected(true);
        dialog.CmdUpDown_Click(0);  // c, a
        legend()->topLevelItem(0)->setText(0, "Cees");
        ui->messages.clear();
        relationShows = 0;
        loadLegend(file);

        EXPECT_EQ(relationShows, 0) << "every field found its partner";
        EXPECT_EQ(column(chart(), 1), (Strings{"a", "c"}));
        EXPECT_EQ(column(chart(), 3), (Strings{"a", "c"}));
        EXPECT_EQ(column(chart(), 4), (Strings{"0", "2"}));
        EXPECT_EQ(column(legend(), 0), (Strings{"a", "Cees"}));
        EXPECT_EQ(rowColors(), (Colors{cityColors[0], cityColors[2]}));
        EXPECT_TRUE(chart()->topLevelItem(1)->isSelected());
        EXPECT_EQ(dialog.savedLegendFields(), (relation::FieldTable{{"a", 0}, {"b", 1}, {"c", 2}}));
        EXPECT_EQ(text("TxtLegendFile"), file);
        const host::FileDialogRequest& asked = ui->fileDialogs.back();
        EXPECT_EQ(asked.title + "|" + asked.filter + "|" + asked.fileName + "|" +
                      std::to_string(asked.filterIndex),
                  "Open legend file|Legend (*.leg)|*.leg| Layer (*.lyr)|*.lyr|Towns.lyr|2");
        EXPECT_TRUE(ui->messages.empty());
        EXPECT_TRUE(log->records().empty());
    }
}

// Without partners every row takes the legend's first symbol; a pair made by hand leads. A chart
// list changed while the relation dialog is open stops the load, reported with its line at the end.
TEST_F(LegendFilesTest, UnrelatedRowsHandPairsAndAFailedStatement) {
    const Colors pq{{200, 0, 0}, {0, 200, 0}};
    save({element({"p", "q"}, pq)}, path("pq.leg"));
    moveToChart({"a", "b"});
    const auto pairBWithQ = [](relation::FrmRelaFields& form) {
        qobject_cast<QTreeWidget*>(form.control("LstFields"))->topLevelItem(1)->setSelected(true);
        qobject_cast<QTreeWidget*>(form.control("LstFieldsOld"))
            ->topLevelItem(1)
            ->setSelected(true);
        form.CmdFieldRelationON_Click();
    };
    relate = nullptr;
    loadLegend(path("pq.leg"));
    EXPECT_EQ(column(chart(), 3), (Strings{"", ""}));
    EXPECT_EQ(rowColors(), (Colors{pq[0], pq[0]}));
    relate = pairBWithQ;
    loadLegend(path("pq.leg"));
    EXPECT_EQ(column(chart(), 1), (Strings{"b", "a"}));
    EXPECT_EQ(column(chart(), 3), (Strings{"q", ""}));
    EXPECT_EQ(column(legend(), 1), (Strings{"b", "a"}));
    EXPECT_EQ(rowColors(), (Colors{pq[1], pq[0]}));
    EXPECT_EQ(relationShows, 2);
    EXPECT_TRUE(log->records().empty());

    relate = [&](relation::FrmRelaFields&) { dialog.CmdFieldsBackAll_Click(); };
    loadLegend(path("pq.leg"));
    EXPECT_EQ(dialog.chartFields().count(), 0);
    ASSERT_EQ(log->records().size(), 1U);
    EXPECT_NE(log->records()[0].find("CmdLoadLegend_Click frmKartoplot_ListView Line : 7"),
              std::string::npos);
}

// Cancels, missing or unreadable files, other endings and an empty chart list change no row;
// what the reader did read is kept as the loaded legend.
TEST_F(LegendFilesTest, LoadsThatMustChangeNoRow) {
    const std::string file = path("ab.leg");
    save({element({"a", "b"}, {{9, 9, 9}, {8, 8, 8}})}, file);
    fs::copy_file(file, path("ab.txt"));
    std::ofstream(path("broken.leg")) << "not a property set";
    const std::string missing = "File " + path("none.leg") + " not exist!|Kartoplot";
    struct Case {
        std::string what;
        bool emptyList;
        std::optional<std::string> answer;  // nothing: cancelled
        Strings messages;
        int loadedSymbols;
        std::size_t records;
    };
    const std::vector<Case> cases = {
        {"cancelled", false, std::nullopt, {}, 0, 0},
        {"missing file", false, path("none.leg"), {missing}, 0, 0},
        {"ending neither leg nor lyr", false, path("ab.txt"), {}, 0, 0},
        {"not a property set", false, path("broken.leg"), {}, 0, 1},
        {"empty chart field list", true, file, {}, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialog.CmbLayers_Change();  // an empty chart list
        if (!c.emptyList) {
            moveToChart({"a", "b", "c"});
        }
        const std::vector<ChartField> before = dialog.chartFields().rows();
        ctl<QLineEdit>("TxtLegendFile")->setText("/kept.leg");
        const std::string folder = dialog.LastFolder();
        ui->messages.clear();
        log->clear();
        loadLegend(c.answer);
        EXPECT_EQ(dialog.chartFields().rows(), before);
        EXPECT_EQ(relationShows, 0);
        EXPECT_EQ(shown(), c.messages);
        EXPECT_EQ(dialog.loadedLegendSymbols().count(), c.loadedSymbols);
        EXPECT_EQ(log->records().size(), c.records);
        EXPECT_EQ(text("TxtLegendFile"), c.answer.value_or("/kept.leg"));
        EXPECT_EQ(dialog.LastFolder(), c.answer ? dir.string() + "/" : folder);
    }
}

TEST_F(LegendFilesTest, TickingLoadLegendChoosesAFileOnlyWhenNoneIsNamed) {
    auto* box = ctl<QCheckBox>("ChkLoadLegend");
    box->setChecked(true);  // cancelled
    box->setChecked(false);
    ui->fileAnswers.push_back("/data/legends/roads.lyr");
    box->setChecked(true);
    box->setChecked(false);
    box->setChecked(true);  // a file is named: no dialog
    ASSERT_EQ(ui->fileDialogs.size(), 2U);
    EXPECT_EQ(ui->fileDialogs[1].initialFolder, "/maps/demo/") << "a cancel keeps LastFolder";
    EXPECT_EQ(text("TxtLegendFile"), "/data/legends/roads.lyr");
    EXPECT_EQ(dialog.LastFolder(), "/data/legends/");
}

}  // namespace
}  // namespace kartoplot::dialog::testing
