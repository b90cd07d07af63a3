// Parameter files: the 24 controls saved to a real file and restored, system colours kept,
// partial and empty entries, checks before any change, names outside the 24, the mode rule
// for the old placements, and the file dialogs' cancel paths and proposals.
#include <QGuiApplication>
#include <QPalette>
#include <QRadioButton>
#include <QSignalBlocker>

#include <unistd.h>

#include <filesystem>

#include "host/persistence.h"
#include "tests/dialog/main_dialog_fixture.h"

namespace kartoplot::dialog::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Entries = std::vector<std::pair<std::string, host::Variant>>;

// A system colour: button face.
constexpr std::int32_t kButtonFace = static_cast<std::int32_t>(0x8000000Fu);

class ParameterFilesTest : public MainDialogTest {
protected:
    ParameterFilesTest() {
        dir = fs::temp_directory_path() /
              ("kp-params-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        load();
        ui->messages.clear();
    }
    ~ParameterFilesTest() override { fs::remove_all(dir); }

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
    fs::path dir;
};

// Every one of the 24 controls differs from its opening value.
const Entries kAllChanged{
    {"TxtMinValue", host::Variant("1,5")},
    {"TxtMaxValue", host::Variant("90")},
    {"ChkAutoMapping", host::Variant("True")},
    {"ChkSkipPropPage", host::Variant("True")},
    {"ChkSaveLyrFile", host::Variant("True")},
    {"OpChartPosition", host::Variant(std::int16_t{9})},
    {"TxtLabelDistance", host::Variant("3")},
    {"ChkLabelDiagramm", host::Variant("False")},
    {"TxtMinLabelValue", host::Variant("0.2")},
    {"TxtSignNumber", host::Variant("5")},
    {"TxtFontName", host::Variant("Arial")},
    {"TxtFontSize", host::Variant("9")},
    {"TxtChartWidth", host::Variant("12")},
    {"TxtOutlineWidth", host::Variant("2.5")},
    {"TxtChartMarkerSize", host::Variant("33")},
    {"ChkShowLeader", host::Variant("False")},
    {"TxtMinValueMM", host::Variant("2")},
    {"TglBtnLockMin", host::Variant("False")},
    {"TxtNullValue", host::Variant("-1")},
    {"TxtLeaderWidth", host::Variant("0")},
    {"Txt3DThickness", host::Variant("7")},
    {"Chk3D", host::Variant("True")},
    {"CmdLeaderColor", host::Variant(std::to_string(kButtonFace))},
    {"CmdOutlineColor", host::Variant("255")},
};

TEST_F(ParameterFilesTest, SavedFileRestoresAll24ControlsAfterAFreshStart) {
    const host::PropertySet wanted = setOf(kAllChanged);
    ASSERT_TRUE(dialog.PopulateControls(wanted));
    const std::string file = (dir / "Cities.par").string();
    ui->fileAnswers.push_back(file);
    dialog.CmdSaveParam_Click();
    const auto asked = [&](std::size_t i) {
        const host::FileDialogRequest& d = ui->fileDialogs.at(i);
        return d.title + "|" + d.filter + "|" + d.fileName + "|" + d.initialFolder;
    };
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
    struct Case {
        const char* what;
        Entries entries;
        bool applies;
        Strings changed;  // entries of PopulateParameters that differ afterwards
        Strings shown;
    };
    const std::string recreateOnly = "It is possible only Recreate charts on the old placement";
    const std::vector<Case> cases{
        {"empty placement is option 0",
         {{"OpChartPosition", host::Variant()}},
         true,
         {"OpChartPosition"},
         {}},
        {"a partial set, names in any case",
         {{"txtnullvalue", host::Variant("5")}, {"CHK3D", host::Variant(std::int16_t{1})}},
         true,
         {"TxtNullValue", "Chk3D"},
         {}},
        {"a name outside the 24 is never used",
         {{"CmbLayers", host::Variant("Towns")}, {"TxtNullValue", host::Variant("5")}},
         true,
         {"TxtNullValue"},
         {"Unsupported Control Type"}},
        {"old placement in create mode",
         {{"OpChartPosition", host::Variant("5")}},
         true,
         {},
         {recreateOnly}},
        {"colour that is no number",
         {{"TxtNullValue", host::Variant("5")}, {"CmdLeaderColor", host::Variant("red")}},
         false,
         {},
         {}},
        {"colour beyond 32 bits",
         {{"CmdOutlineColor", host::Variant("4294967296")}},
         false,
         {},
         {}},
        {"placement beyond the group",
         {{"OpChartPosition", host::Variant(std::int16_t{15})}},
         false,
         {},
         {}},
        {"placement that is no number", {{"OpChartPosition", host::Variant("x")}}, false, {}, {}},
        {"check box that is no truth value", {{"Chk3D", host::Variant("maybe")}}, false, {}, {}},
    };
    for (const Case& c : cases) {
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
        EXPECT_EQ(log->records().size(), c.applies ? 0u : 1u);
        if (!c.applies) {
            EXPECT_NE(log->records().at(0).find("PopulateControls frmKartoplot_ListView"),
                      std::string::npos);
        }
        dialog.PopulateControls(*before);
    }

    // In recreate mode the old placement is kept.
    dialog.OpChartMode_Click(1);
    ASSERT_TRUE(
        dialog.PopulateControls(setOf({{"OpChartPosition", host::Variant(std::int16_t{14})}})));
    EXPECT_EQ(current()->getProperty("OpChartPosition"), host::Variant(std::int16_t{14}));
}

TEST_F(ParameterFilesTest, CancelChangesNothingAndFoldersFollowEitherSeparator) {
    const auto before = current();
    dialog.CmdSaveParam_Click();
    dialog.CmdLoadParam_Click();
    EXPECT_EQ(ui->fileDialogs.size(), 2u);
    EXPECT_EQ(dialog.LastFolder(), "/maps/demo/");
    EXPECT_TRUE(host::equalObjects(current().get(), before.get()));
    EXPECT_TRUE(fs::is_empty(dir));

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
    EXPECT_EQ(ui->fileDialogs.back().fileName, ".par");
    EXPECT_EQ(ui->fileDialogs.back().initialFolder, "C:\\maps\\");
    EXPECT_TRUE(ui->messages.empty());
}

}  // namespace
}  // namespace kartoplot::dialog::testing
