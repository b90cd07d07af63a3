// Parameter files: the 24 controls saved to a real file and restored, system colours kept,
// partial and empty entries, checks before any change, names outside the 24, the mode rule
// for the old placements, and the file dialogs' cancel paths and proposals.
#include <QGuiApplication>
#include <QPalette>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTemporaryDir>

#include <filesystem>

#include "host/persistence.h"
#include "tests/dialog/main_dialog_fixture.h"

namespace kartoplot::dialog::testing {
namespace {

using V = host::Variant;
using Entries = std::vector<std::pair<std::string, V>>;

// A system colour: button face.
constexpr std::int32_t kButtonFace = static_cast<std::int32_t>(0x8000000Fu);

class ParameterFilesTest : public MainDialogTest {
protected:
    ParameterFilesTest() {
        load();
        ui->messages.clear();
    }
    static host::PropertySet setOf(const Entries& entries) {
        host::PropertySet set;
        for (const auto& [name, value] : entries) {
            set.setProperty(name, value);
        }
        return set;
    }
    std::shared_ptr<host::PropertySet> current() {
        auto set = dialog.PopulateParameters();
        EXPECT_NE(set, nullptr);
        return set;
    }
    std::string asked(std::size_t i) const {
        const host::FileDialogRequest& d = ui->fileDialogs.at(i);
        return d.title + "|" + d.filter + "|" + d.fileName + "|" + d.initialFolder;
    }
    QTemporaryDir temporary;
    std::filesystem::path dir{temporary.path().toStdString()};
};

// Every one of the 24 controls differs from its opening value.
const Entries kAllChanged{
    {"TxtMinValue", V("1,5")},       {"TxtMaxValue", V("90")},        {"ChkAutoMapping", V("True")},
    {"ChkSkipPropPage", V("True")},  {"ChkSaveLyrFile", V("True")},
    {"OpChartPosition", V(std::int16_t{9})},                          {"TxtLabelDistance", V("3")},
    {"ChkLabelDiagramm", V("False")}, {"TxtMinLabelValue", V("0.2")}, {"TxtSignNumber", V("5")},
    {"TxtFontName", V("Arial")},     {"TxtFontSize", V("9")},         {"TxtChartWidth", V("12")},
    {"TxtOutlineWidth", V("2.5")},   {"TxtChartMarkerSize", V("33")}, {"ChkShowLeader", V("False")},
    {"TxtMinValueMM", V("2")},       {"TglBtnLockMin", V("False")},   {"TxtNullValue", V("-1")},
    {"TxtLeaderWidth", V("0")},      {"Txt3DThickness", V("7")},      {"Chk3D", V("True")},
    {"CmdLeaderColor", V(std::to_string(kButtonFace))},               {"CmdOutlineColor", V("255")},
};

TEST_F(ParameterFilesTest, SavedFileRestoresAll24ControlsAfterAFreshStart) {
    const host::PropertySet wanted = setOf(kAllChanged);
    ASSERT_TRUE(dialog.PopulateControls(wanted));
    const std::string file = (dir / "Cities.par").string();
    ui->fileAnswers.push_back(file);
    dialog.CmdSaveParam_Click();
    EXPECT_EQ(asked(0), "Save parameters|Parameters (*.par)|*.par|Cities.par|/maps/demo/");
    EXPECT_EQ(dialog.LastFolder(), dir.string() + "/");
    const auto written = host::readPropertySetFile(file);
    EXPECT_TRUE(host::equalObjects(written.get(), &wanted)) << "names, order and values as typed";

    dialog.unload();
    dialog.setApplication(application);
    dialog.setDocument(document);
    dialog.setMap(map);
    load();
    const auto opening = current();
    ui->fileAnswers.push_back(file);
    dialog.CmdLoadParam_Click();
    EXPECT_EQ(asked(1), "Load Parameters|Parameters (*.par)|*.par|Cities.par|/maps/demo/");
    EXPECT_TRUE(host::equalObjects(current().get(), &wanted));
    EXPECT_FALSE(host::equalObjects(opening.get(), &wanted));
    // The lines follow their boxes and buttons; a system colour shows the palette's colour.
    EXPECT_EQ(dialog.outlineLineSymbol()->color, (host::Color{255, 0, 0}));
    EXPECT_DOUBLE_EQ(dialog.outlineLineSymbol()->width, 2.5);
    EXPECT_DOUBLE_EQ(dialog.leaderLineSymbol()->width, 0.1);
    const QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
    EXPECT_EQ(
        dialog.runSettings().CmdLeaderColor,
        (host::Color{static_cast<std::uint8_t>(face.red()), static_cast<std::uint8_t>(face.green()),
                     static_cast<std::uint8_t>(face.blue())}));
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_TRUE(log->records().empty());
}

TEST_F(ParameterFilesTest, EntriesChangeOnlyTheirControlsAndABadEntryChangesNothing) {
    const std::string recreateOnly = "It is possible only Recreate charts on the old placement";
    const struct {
        const char* what;
        Entries entries;
        bool applies;
        Strings changed;  // entries of PopulateParameters that differ afterwards
        Strings shown;
    } cases[] = {
        {"empty placement is option 0", {{"OpChartPosition", V()}}, true, {"OpChartPosition"}, {}},
        {"a partial set, names in any case",
         {{"txtnullvalue", V("5")}, {"CHK3D", V(std::int16_t{1})}}, true, {"TxtNullValue", "Chk3D"},
         {}},
        {"a name outside the 24 is never used",
         {{"CmbLayers", V("Towns")}, {"TxtNullValue", V("5")}}, true, {"TxtNullValue"},
         {"Unsupported Control Type"}},
        {"old placement in create mode", {{"OpChartPosition", V("5")}}, true, {}, {recreateOnly}},
        {"colour that is no number", {{"TxtNullValue", V("5")}, {"CmdLeaderColor", V("red")}},
         false, {}, {}},
        {"colour beyond 32 bits", {{"CmdOutlineColor", V("4294967296")}}, false, {}, {}},
        {"placement beyond the group", {{"OpChartPosition", V(std::int16_t{15})}}, false, {}, {}},
        {"placement that is no number", {{"OpChartPosition", V("x")}}, false, {}, {}},
        {"check box that is no truth value", {{"Chk3D", V("maybe")}}, false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui->messages.clear();
        log->clear();
        ctl<QRadioButton>("OpChartPosition", 1)->setChecked(true);
        const auto before = current();
        EXPECT_EQ(dialog.PopulateControls(setOf(c.entries)), c.applies);
        const auto after = current();
        Strings changed;
        for (const std::string& name : before->names()) {
            if (!host::equalValues(before->getProperty(name), after->getProperty(name))) {
                changed.push_back(name);
            }
        }
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(shownTexts(), c.shown);
        ASSERT_EQ(log->records().size(), c.applies ? 0u : 1u);
        EXPECT_TRUE(c.applies ||
                    log->records()[0].find("PopulateControls frmKartoplot_ListView") !=
                        std::string::npos);
        dialog.PopulateControls(*before);
    }
    // In recreate mode the old placement is kept.
    dialog.OpChartMode_Click(1);
    ASSERT_TRUE(dialog.PopulateControls(setOf({{"OpChartPosition", V(std::int16_t{14})}})));
    EXPECT_EQ(current()->getProperty("OpChartPosition"), V(std::int16_t{14}));
}

TEST_F(ParameterFilesTest, CancelChangesNothingAndFoldersFollowEitherSeparator) {
    const auto before = current();
    dialog.CmdSaveParam_Click();
    dialog.CmdLoadParam_Click();
    EXPECT_EQ(ui->fileDialogs.size(), 2u);
    EXPECT_EQ(dialog.LastFolder(), "/maps/demo/");
    EXPECT_TRUE(host::equalObjects(current().get(), before.get()));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    // A file that cannot be read is reported by the reader and changes no control.
    ui->fileAnswers.push_back("C:\\maps\\missing.par");
    dialog.CmdLoadParam_Click();
    EXPECT_EQ(dialog.LastFolder(), "C:\\maps\\");
    EXPECT_TRUE(host::equalObjects(current().get(), before.get()));
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_NE(log->records()[0].find("LoadPropertySetFromFile Kartoplot_v9_2"), std::string::npos);
    {
        const QSignalBlocker block(ctl<QComboBox>("CmbLayers"));
        ctl<QComboBox>("CmbLayers")->setCurrentIndex(-1);
    }
    dialog.CmdSaveParam_Click();
    EXPECT_EQ(asked(3), "Save parameters|Parameters (*.par)|*.par|.par|C:\\maps\\");
    EXPECT_TRUE(ui->messages.empty());
}

}  // namespace
}  // namespace kartoplot::dialog::testing
