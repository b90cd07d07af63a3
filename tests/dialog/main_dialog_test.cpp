// The main dialog driven as a user would: start-up values, language, feature scope, the size
// controls under the lock, the create command with its messages and placement codes, a real
// run, the dialog's own symbols, the mail link, commands still to come, and unloading.
#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <map>
#include <tuple>

#include "engine/chart_sizing.h"
#include "engine/graphics_layers.h"
#include "language/translation.h"
#include "tests/dialog/main_dialog_fixture.h"

namespace kartoplot::dialog::testing {
namespace {

using Strings = std::vector<std::string>;

// Every load starts from the same values, whatever the last one left; hiding keeps them.
TEST_F(MainDialogTest, EveryLoadStartsAfreshAndHidingKeepsTheSettings) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        load();
        EXPECT_EQ(text("TxtChartMarkerSize"), "45");
        EXPECT_EQ(text("TxtChartMarkerSizeMM"), "15.9");
        EXPECT_EQ(text("TxtNullValue"), "0");
        EXPECT_EQ(text("txtLegendSuffixMin") + text("txtLegendSuffixMax"), "min.max.");
        EXPECT_TRUE(ctl<QToolButton>("TglBtnLockMin")->isChecked());
        EXPECT_FALSE(ctl<QLineEdit>("TxtChartMarkerSize")->isEnabled());
        EXPECT_FALSE(ctl<QSpinBox>("SpinBtnChartSize")->isEnabled());
        EXPECT_EQ(ctl<QSpinBox>("SpinBtnChartSize")->value(), 45);
        EXPECT_EQ(items(ctl<QComboBox>("CmbLayers")), (Strings{"Cities", "Towns"}));  // no areas
        EXPECT_EQ(ctl<QComboBox>("CmbLayers")->currentText(), "Cities");
        EXPECT_EQ(items(ctl<QComboBox>("CmbKey")), (Strings{"OBJECTID", "NAME", "a", "b", "c"}));
        EXPECT_EQ(ctl<QComboBox>("CmbKey")->currentText(), "OBJECTID");
        EXPECT_EQ(column(available(), 0), (Strings{"OBJECTID", "a", "b", "c"}));
        EXPECT_EQ(column(available(), 1), (Strings{"0", "3", "4", "5"}));
        EXPECT_TRUE(available()->topLevelItem(0)->isSelected());
        EXPECT_EQ(chart()->topLevelItemCount(), 0);
        EXPECT_EQ(dialog.LastFolder(), "/maps/demo/");
        EXPECT_EQ(dialog.LocaleDecimal() + dialog.OtherDecimal(), ".,");
        EXPECT_FALSE(
            dialog.engineState().messages.text(language::SharedMessage::NoSelectedObjects).empty());
        ASSERT_NE(dialog.legendTextSymbol(), nullptr);
        EXPECT_EQ(dialog.legendTextSymbol()->previewText, "field");
        EXPECT_DOUBLE_EQ(dialog.outlineLineSymbol()->width, 0.5);  // "0,5" read with separators

        moveToChart({"a", "b"});
        ctl<QLineEdit>("TxtNullValue")->setText("7");
        QTest::mouseClick(ctl<QPushButton>("CmdCancel"), Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
        dialog.setMap(map);
        dialog.showModeless();
        EXPECT_EQ(chart()->topLevelItemCount(), 2);
        EXPECT_EQ(text("TxtNullValue"), "7");
        dialog.close();
        EXPECT_EQ(dialog.engineState().map, nullptr);
        EXPECT_EQ(dialog.ChartSymbolArray().count(), 0);
        EXPECT_EQ(cities->selectionChanged().handlerCount(), 0u);
        dialog.setApplication(application);
        dialog.setDocument(document);
        dialog.setMap(map);
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(MainDialogTest, EveryNamedControlExists) {
    for (const std::string& name : language::controlNamesOf(language::mainFormTable())) {
        const QString n = QString::fromStdString(name);
        EXPECT_TRUE(dialog.control(n) != nullptr || dialog.control(n, 0) != nullptr) << name;
    }
    const std::pair<const char*, int> arrays[] = {
        {"OpChartPosition", 15}, {"OpAllObjects", 2}, {"OpChartMode", 2}, {"CmdOK", 2},
        {"CmdUpDown", 2},
    };
    for (const auto& [name, count] : arrays) {
        const QString n = QString::fromLatin1(name);
        for (int i = 0; i < count; ++i) {
            QWidget* w = dialog.control(n, i);
            ASSERT_NE(w, nullptr) << name << i;
            EXPECT_EQ(w->objectName(), n);
            EXPECT_EQ(w->property("index").toInt(), i);
        }
        EXPECT_EQ(dialog.control(n, count), nullptr) << name;
        EXPECT_EQ(dialog.control(n), nullptr) << name;  // an array is addressed with an index
    }
}

// Loaded in Russian with a decimal comma, then switched both ways; the shown tab stays.
TEST_F(MainDialogTest, RussianWithADecimalCommaThenLanguagesSwitchBothWays) {
    dialog.setDecimalSeparatorForTests(",");
    dialog.setLanguage("Русский");
    load();
    EXPECT_EQ(dialog.LocaleDecimal() + dialog.OtherDecimal(), ",.");
    EXPECT_EQ(text("TxtChartMarkerSizeMM"), "15,9");
    EXPECT_EQ(text("txtLegendSuffixMin"), "мин.");
    EXPECT_EQ(dialog.legendTextSymbol()->previewText, "поле");
    EXPECT_EQ(ctl<QComboBox>("CmbLanguage")->currentText(), "Русский");
    moveToChart({"a"});
    selectRows(chart(), 1, {"a"});
    dialog.CmdCalcMax_Click();
    EXPECT_EQ(text("TxtMaxValue"), "12.5");  // written with a point, read back as other separator
    EXPECT_EQ(text("TxtChartMarkerSize"),
              language::formatNumber(engine::chartSizeFor(0.5, 1, 12.5, 1), ","));

    cities->setSelection({1, 2});
    auto* tabs = ctl<QTabWidget>("SSTab");
    const struct {
        const char *language, *tab0, *tab3, *hide, *header1, *selected, *title, *message;
    } cases[] = {{"English", "Main", "Tools", "Hide", "Fields", "selected (2)",
                  "Create charts v 4.0", "No selected fields for chart"},
                 {"Русский", "Общее", "Утилиты", "Скрыть", "Поля", "выбранные (2)",
                  "Построение диаграмм v 4.0", "Не выбраны поля для диаграммы"}};
    int shownTab = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        tabs->setCurrentIndex(++shownTab);
        ctl<QComboBox>("CmbLanguage")->setCurrentText(QString::fromUtf8(c.language));
        EXPECT_EQ(dialog.language(), c.language);
        EXPECT_EQ(tabs->currentIndex(), shownTab);
        EXPECT_EQ(tabs->tabText(0), QString::fromUtf8(c.tab0));
        EXPECT_EQ(tabs->tabText(3), QString::fromUtf8(c.tab3));
        EXPECT_EQ(ctl<QPushButton>("CmdCancel")->text(), QString::fromUtf8(c.hide));
        EXPECT_EQ(chart()->headerItem()->text(1), QString::fromUtf8(c.header1));
        EXPECT_EQ(ctl<QRadioButton>("OpAllObjects", 1)->text(), QString::fromUtf8(c.selected));
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(dialog.messages().text(language::MainFormMessage::NoSelectedFields), c.message);
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(MainDialogTest, TheLockDecidesWhatARangeChangeMoves) {
    load();
    enter("TxtMinValue", "1");
    // 1 mm for 1 of 8 at scale factor 1: 8 × 72 / 25.4 = 22.68 → 23 points.
    EXPECT_EQ(text("TxtChartMarkerSize"), "23");
    EXPECT_EQ(text("TxtChartMarkerSizeMM"), "8.1");
    EXPECT_EQ(ctl<QSpinBox>("SpinBtnChartSize")->value(), 23);
    EXPECT_EQ(text("TxtMinValueMM"), "1");
    enter("TxtMinValueMM", "2");
    EXPECT_EQ(text("TxtChartMarkerSize"), "45");
    EXPECT_EQ(text("TxtMinValue"), "1");
    enter("TxtMaxValue", "16");
    EXPECT_EQ(text("TxtChartMarkerSize"), "91");
    EXPECT_TRUE(log->records().empty());
    enter("TxtMaxValue", "8");
    QTest::mouseClick(ctl<QToolButton>("TglBtnLockMin"), Qt::LeftButton);
    EXPECT_FALSE(ctl<QToolButton>("TglBtnLockMin")->isChecked());
    EXPECT_TRUE(ctl<QLineEdit>("TxtChartMarkerSize")->isEnabled());
    EXPECT_TRUE(ctl<QSpinBox>("SpinBtnChartSize")->isEnabled());
    enter("TxtMinValue", "1");
    EXPECT_EQ(text("TxtMinValueMM"), "1.984");  // 1 / 8 × 45 pt × 25.4 / 72; the size stays
    EXPECT_EQ(text("TxtChartMarkerSize"), "45");
    ctl<QSpinBox>("SpinBtnChartSize")->setValue(50);
    EXPECT_EQ(text("TxtChartMarkerSize"), "50");
    EXPECT_EQ(text("TxtChartMarkerSizeMM"), "17.6");
    EXPECT_EQ(text("TxtMinValueMM"), "2.205");
    ctl<QLineEdit>("TxtChartMarkerSize")->setText("40.5");  // the spin does not overwrite it
    EXPECT_EQ(text("TxtChartMarkerSize"), "40.5");
    EXPECT_EQ(ctl<QSpinBox>("SpinBtnChartSize")->value(), 40);  // half to even
    enter("TxtMinValueMM", "1,5");
    EXPECT_EQ(text("TxtChartMarkerSize"), "40.5");
    EXPECT_EQ(text("TxtMinValue"),
              language::formatNumber(engine::minValueFromMM(1.5, 8, 40.5, 1.0), "."));
    enter("TxtMinValue", "abc");  // not a number: the handler stops
    EXPECT_EQ(text("TxtMinValueMM"), "1,5");
    EXPECT_FALSE(log->records().empty());
}

TEST_F(MainDialogTest, RangeFromTheChartFieldsData) {
    load();
    moveToChart({"a", "b", "c"});
    selectRows(chart(), 1, {});
    dialog.CmdCalcMax_Click();
    EXPECT_EQ(text("TxtMaxValue"), "0");  // no chart field selected: nothing computed
    selectRows(chart(), 1, {"a", "c"});   // maxima 12.5 and 40, minima 1 and 2
    dialog.CmdCalcMax_Click();
    EXPECT_EQ(text("TxtMaxValue"), "40");
    selectRows(chart(), 1, {"a", "b"});  // minima 1 and -2
    dialog.CmdCalcMin_Click();
    EXPECT_EQ(text("TxtMinValue"), "-2");
    cities->setSelection({1});
    ctl<QRadioButton>("OpAllObjects", 1)->setChecked(true);
    selectRows(chart(), 1, {"a"});
    dialog.CmdCalcMax_Click();
    EXPECT_EQ(text("TxtMaxValue"), "12.5");
}

class CmdOKTest : public MainDialogTest {
protected:
    void SetUp() override {
        dialog.setRunHook([this](const RunRequest& r) { runs.push_back(r); });
        load();
    }
    std::vector<RunRequest> runs;
};

// "selected" is offered with its count while the chosen layer has a selection; the command
// refreshes the option before counting, so an emptied selection runs over all features.
TEST_F(CmdOKTest, FeatureScopeFollowsTheSelectionOfTheChosenLayer) {
    auto* all = ctl<QRadioButton>("OpAllObjects", 0);
    auto* selected = ctl<QRadioButton>("OpAllObjects", 1);
    EXPECT_TRUE(all->isChecked());
    EXPECT_FALSE(selected->isEnabled());
    dialog.CmdOK_Click();  // no chart fields yet
    EXPECT_EQ(shownTexts(), Strings{"No selected fields for chart"});
    EXPECT_EQ(ui->messages.front().buttons, host::MessageButtons::Ok);
    EXPECT_EQ(ui->messages.front().icon, host::MessageIcon::None);
    EXPECT_TRUE(runs.empty());
    moveToChart({"a", "b"});
    cities->setSelection({1, 3});
    EXPECT_TRUE(selected->isEnabled());
    EXPECT_EQ(selected->text(), "selected (2)");
    selected->setChecked(true);
    towns->setSelection({1});  // not the chosen layer: nothing changes
    EXPECT_EQ(selected->text(), "selected (2)");
    dialog.CmdOK_Click();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs.back().selectedOnly);
    cities->clearSelection();
    EXPECT_FALSE(selected->isEnabled());
    EXPECT_EQ(selected->text(), "selected");
    EXPECT_TRUE(all->isChecked());
    selected->setChecked(true);
    dialog.CmdOK_Click();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_FALSE(runs.back().selectedOnly);
    EXPECT_TRUE(all->isChecked());
    ctl<QComboBox>("CmbLayers")->setCurrentIndex(1);  // Towns is now watched
    EXPECT_EQ(selected->text(), "selected (1)");
    cities->setSelection({2});
    EXPECT_EQ(selected->text(), "selected (1)");
    EXPECT_EQ(ui->messages.size(), 1u);
}

TEST_F(CmdOKTest, NewChartsCannotKeepTheOldPlacement) {
    ctl<QRadioButton>("OpChartMode", 1)->setChecked(true);
    EXPECT_TRUE(ctl<QRadioButton>("OpChartPosition", 5)->isEnabled());
    EXPECT_TRUE(ctl<QComboBox>("CmbOldChartLayer")->isEnabled());
    for (int placement : {5, 14}) {
        ui->messages.clear();
        dialog.OpChartMode_Click(1);
        dialog.OpChartPosition_Click(placement);
        dialog.OpChartMode_Click(0);
        EXPECT_EQ(shownTexts(), Strings{"It is possible only Recreate charts on the old placement"})
            << placement;
        EXPECT_EQ(ui->messages[0].icon, host::MessageIcon::Exclamation);
        EXPECT_TRUE(ctl<QRadioButton>("OpChartPosition", 1)->isChecked());
        EXPECT_TRUE(ctl<QRadioButton>("OpChartMode", 0)->isChecked());
        EXPECT_FALSE(ctl<QRadioButton>("OpChartPosition", 5)->isEnabled());
        EXPECT_FALSE(ctl<QRadioButton>("OpChartPosition", 14)->isEnabled());
        EXPECT_FALSE(ctl<QComboBox>("CmbOldChartLayer")->isEnabled());
    }
    ui->messages.clear();
    dialog.OpChartPosition_Click(3);
    dialog.OpChartMode_Click(0);
    EXPECT_TRUE(ui->messages.empty());
}

TEST_F(CmdOKTest, PlacementCodesAndCaptionsInBothModes) {
    moveToChart({"c", "a"});
    const std::map<int, std::string> captions{
        {0, "Center"}, {9, "SW cirkle"}, {5, "Old placement"}, {14, ""}};
    for (const bool recreate : {false, true}) {
        dialog.OpChartPosition_Click(0);
        dialog.OpChartMode_Click(recreate ? 1 : 0);
        for (int index = 0; index < 15; ++index) {
            SCOPED_TRACE(::testing::Message() << "recreate " << recreate << " index " << index);
            dialog.OpChartPosition_Click(index);
            if (captions.count(index) != 0) {
                EXPECT_EQ(ctl<QGroupBox>("FrameChartPosition")->title().toStdString(),
                          "Placement near marker - " + captions.at(index));
            }
            runs.clear();
            dialog.CmdOK_Click();
            ASSERT_EQ(runs.size(), 1u);
            const int code = index == 5                ? (recreate ? -1 : 0)
                             : index == 14 && recreate ? -2
                                                       : index;
            EXPECT_EQ(runs.back().placementCode, code);
            EXPECT_EQ(runs.back().recreate, recreate);
        }
    }
    EXPECT_EQ(runs.back().layer, cities);
    EXPECT_FALSE(runs.back().selectedOnly);
    EXPECT_EQ(runs.back().fieldNames, (Strings{"a", "c"}));
    EXPECT_TRUE(runs.back().chartSymbols == dialog.ChartSymbolArray());
    EXPECT_TRUE(ui->messages.empty());
}

TEST_F(CmdOKTest, RunSettingsComeFromTheControls) {
    moveToChart({"b"});
    ctl<QLineEdit>("TxtNullValue")->setText("-1");
    ctl<QCheckBox>("Chk3D")->setChecked(true);
    ctl<QComboBox>("CmbKey")->setCurrentText("NAME");
    ctl<QCheckBox>("ChkShowLeader")->setChecked(false);
    ui->colorAnswers.push_back(host::Color{200, 10, 20});
    dialog.CmdLeaderColor_Click();
    QTest::mouseClick(ctl<QPushButton>("CmdOK", 0), Qt::LeftButton);
    QTest::mouseClick(ctl<QPushButton>("CmdOK", 0), Qt::LeftButton);
    ASSERT_EQ(runs.size(), 2u);  // the dialog stays open and runs again
    const engine::ChartRunSettings& s = runs.back().settings;
    EXPECT_EQ(s.TxtNullValue, "-1");
    EXPECT_TRUE(s.Chk3D);
    EXPECT_EQ(s.CmbKey, "NAME");
    EXPECT_FALSE(s.ChkShowLeader);
    EXPECT_EQ(s.TxtChartMarkerSize, "45");
    EXPECT_EQ(s.TxtMinLabelValue, "0,1");
    EXPECT_EQ(s.CmdLeaderColor, (host::Color{200, 10, 20}));
    EXPECT_EQ(s.labelTextSymbol, dialog.labelTextSymbol());
    EXPECT_EQ(s.leaderLineSymbol, dialog.leaderLineSymbol());
    EXPECT_EQ(s.leaderLineSymbol->color, (host::Color{200, 10, 20}));
    EXPECT_EQ(runs[0].fieldNames, runs[1].fieldNames);
    QTest::mouseClick(ctl<QPushButton>("CmdOK", 1), Qt::LeftButton);  // "Recreate"
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_TRUE(runs.back().recreate);
}

TEST_F(MainDialogTest, EmptyLayerListStartsNoRun) {
    map->deleteLayer(*cities);
    map->deleteLayer(*towns);
    bool ran = false;
    dialog.setRunHook([&](const RunRequest&) { ran = true; });
    load();
    EXPECT_EQ(ctl<QComboBox>("CmbLayers")->count(), 0);
    EXPECT_EQ(available()->topLevelItemCount(), 0);
    dialog.CmdOK_Click();
    EXPECT_FALSE(ran);
    EXPECT_EQ(shownTexts(), Strings{"No point layer to chart"});
}

TEST_F(MainDialogTest, ARealRunPutsChartsOnTheChartLayer) {
    load();
    moveToChart({"a", "b", "c"});
    dialog.CmdOK_Click();
    std::shared_ptr<host::GraphicsLayer> charts;
    for (const auto& layer : engine::GetGraphicsLayers(dialog.engineState())) {
        charts = layer->name() == "Cities_charts" ? layer : charts;
    }
    ASSERT_NE(charts, nullptr);
    EXPECT_EQ(charts->elementCount(), 3);
    EXPECT_TRUE(log->records().empty());
}

// A leader is never thinner than a tenth of a point.
TEST_F(MainDialogTest, LeaderWidthAndOutlineSymbolChoice) {
    dialog.setDecimalSeparatorForTests(",");
    load();
    const std::tuple<const char*, const char*, double> leaders[] = {
        {"0", "0,1", 0.1}, {"-1", "0,1", 0.1}, {"1.5", "1,5", 1.5}};
    for (const auto& [typed, shown, width] : leaders) {
        enter("TxtLeaderWidth", typed);
        EXPECT_EQ(text("TxtLeaderWidth"), shown) << typed;
        EXPECT_DOUBLE_EQ(dialog.leaderLineSymbol()->width, width) << typed;
    }
    const auto oldOutline = dialog.outlineLineSymbol();
    dialog.CmdDiagrOutLine_Click();  // cancelled: nothing changes
    EXPECT_EQ(dialog.outlineLineSymbol(), oldOutline);
    EXPECT_EQ(text("TxtOutlineWidth"), "0,5");
    auto line = std::make_shared<host::SimpleLineSymbol>();
    line->width = 0.4;
    line->color = host::Color{0, 0, 255};
    ui->symbolAnswers.push_back(line);
    dialog.CmdDiagrOutLine_Click();
    EXPECT_EQ(dialog.outlineLineSymbol(), line);
    EXPECT_EQ(text("TxtOutlineWidth"), "0,4");
    ui->symbolAnswers.push_back(std::make_shared<host::TextSymbol>());  // not a line
    dialog.CmdDiagrOutLine_Click();
    EXPECT_EQ(dialog.outlineLineSymbol(), line);
    const auto outline = [&](int k) {
        return std::dynamic_pointer_cast<host::FillSymbol>(dialog.ChartSymbolArray().element(k))
            ->outline;
    };
    moveToChart({"a"});  // new fills take the outline's colour and width
    EXPECT_EQ(outline(0)->color, (host::Color{0, 0, 255}));
    EXPECT_DOUBLE_EQ(outline(0)->width, 0.4);
    enter("TxtOutlineWidth", "0");
    EXPECT_EQ(text("TxtOutlineWidth"), "0");
    moveToChart({"b"});
    EXPECT_DOUBLE_EQ(outline(1)->width, 0.0);
}

TEST_F(MainDialogTest, LabelSymbolRewritesTheFontBoxesEvenWhenCancelled) {
    load();
    ctl<QLineEdit>("TxtFontName")->setText("Courier");
    dialog.CmdLabelTextSymbol_Click();
    EXPECT_EQ(text("TxtFontName"), "Arial Narrow");
    EXPECT_EQ(text("TxtFontSize"), "6");
    auto label = std::make_shared<host::TextSymbol>();
    label->font.name = "Liberation Serif";
    label->setSize(7.123456);
    ui->symbolAnswers.push_back(label);
    dialog.CmdLabelTextSymbol_Click();
    EXPECT_EQ(dialog.labelTextSymbol(), label);
    EXPECT_EQ(text("TxtFontName"), "Liberation Serif");
    EXPECT_EQ(text("TxtFontSize"), "7.1235");
    ui->fontAnswers.push_back(host::Font{"DejaVu Sans", 9});
    dialog.CmdFont_Click();
    EXPECT_EQ(text("TxtFontName"), "DejaVu Sans");
    EXPECT_EQ(text("TxtFontSize"), "9");
    dialog.CmdFont_Click();  // cancelled
    EXPECT_EQ(text("TxtFontName"), "DejaVu Sans");
}

// A host whose symbol, colour and font choosers fail.
class FailingChoosers final : public host::UserInteraction {
public:
    host::MessageResult messageBox(const std::string&, const std::string&, host::MessageButtons,
                                   host::MessageIcon) override {
        return host::MessageResult::Ok;
    }
    std::optional<std::string> openFile(const host::FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const host::FileDialogRequest&) override { return {}; }
    std::shared_ptr<host::Symbol> chooseSymbol(const std::shared_ptr<host::Symbol>&) override {
        throw HostError(errnum::kObjectMissing, "SymbolSelector", "The selector failed");
    }
    std::optional<host::Color> chooseColor(const host::Color&) override {
        throw HostError(errnum::kObjectMissing, "ColorSelector", "The selector failed");
    }
    std::optional<host::Font> chooseFont(const host::Font&) override {
        throw HostError(errnum::kObjectMissing, "FontDialog", "The dialog failed");
    }
    bool openUrl(const std::string&) override { return false; }
};

// The symbol and style commands and the chart tools name the statement that failed, and the
// failure changes nothing.
TEST_F(MainDialogTest, FailingSymbolCommandsReportTheirStatement) {
    load();
    moveToChart({"a", "b"});
    selectRows(chart(), 1, {"b"});
    const host::SymbolArray before = dialog.ChartSymbolArray();
    const auto outline = dialog.outlineLineSymbol();
    dialog.setInteraction(std::make_shared<FailingChoosers>());
    const std::tuple<const char*, std::function<void()>, int> cases[] = {
        {"CmdLabelTextSymbol_Click", [&] { dialog.CmdLabelTextSymbol_Click(); }, 2},
        {"CmdLegendTextSymbol_Click", [&] { dialog.CmdLegendTextSymbol_Click(); }, 2},
        {"CmdZigZagLine_Click", [&] { dialog.CmdZigZagLine_Click(); }, 2},
        {"CmdDiagrOutLine_Click", [&] { dialog.CmdDiagrOutLine_Click(); }, 2},
        {"CmdLeaderLine_Click", [&] { dialog.CmdLeaderLine_Click(); }, 2},
        {"CmdLeaderColor_Click", [&] { dialog.CmdLeaderColor_Click(); }, 1},
        {"CmdOutlineColor_Click", [&] { dialog.CmdOutlineColor_Click(); }, 1},
        {"CmdFont_Click", [&] { dialog.CmdFont_Click(); }, 3},
        {"mnuAllElements_Click", [&] { dialog.mnuAllElements_Click(); }, 2},
        {"mnuSelectedElements_Click", [&] { dialog.mnuSelectedElements_Click(); }, 2},
        {"SetRandomColor", [&] { EXPECT_FALSE(dialog.SetRandomColor(2)); }, 1},  // no row 2
    };
    for (const auto& [procedure, run, line] : cases) {
        SCOPED_TRACE(procedure);
        log->clear();
        run();
        ASSERT_EQ(log->records().size(), 1u);
        EXPECT_NE(log->records()[0].find("\t" + std::string(procedure) +
                                         " frmKartoplot_ListView Line : " + std::to_string(line) +
                                         "\r\n"),
                  std::string::npos)
            << log->records()[0];
    }
    EXPECT_EQ(dialog.ChartSymbolArray(), before);
    EXPECT_EQ(dialog.outlineLineSymbol(), outline);
    EXPECT_EQ(dialog.imageList().count(), 3);
}

TEST_F(MainDialogTest, MailLinkEncodesTheBody) {
    load();
    ctl<QPlainTextEdit>("TxtMailBody")->setPlainText("Hi & bye\n&cc=x@y.z");
    dialog.CmdMailTo_Click();
    EXPECT_EQ(ui->openedUrls, Strings{"mailto:support@kartoplot.invalid?subject=Kartoplot&body="
                                      "Hi%20%26%20bye%0A%26cc%3Dx%40y.z"});
    EXPECT_TRUE(ui->messages.empty());
    ui->openUrlResult = false;
    dialog.CmdMailTo_Click();
    EXPECT_EQ(shownTexts(), Strings{"Auto method failed."});
}

TEST_F(MainDialogTest, TheLayoutLegendStillToComeSaysSo) {
    load();
    QTest::mouseClick(ctl<QPushButton>("CmdCreateLegend"), Qt::LeftButton);
    EXPECT_EQ(shownTexts(), Strings{"This function is not available yet."});
    EXPECT_EQ(ui->messages.at(0).title, "Kartoplot");
}

}  // namespace
}  // namespace kartoplot::dialog::testing
