// FrmOpenSaveGraphLayer driven as a user drives it: its captions and layout in both modes and
// languages, the file dialog, every refusal before a save or a load, the overwrite question,
// the new layer's name check that never keeps the user from Cancel, and the main dialog's two
// buttons that open the one shared dialog.
#include "archive/frm_open_save_graph_layer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "errors/error_handling.h"
#include "host/persistence.h"
#include "tests/dialog/main_dialog_fixture.h"

namespace kartoplot::archive {
namespace {

namespace fs = std::filesystem;
using host::MessageResult;

class FrmOpenSaveGraphLayerTest : public ::testing::Test {
protected:
    FrmOpenSaveGraphLayerTest() {
        fs::create_directories(dir);
        auto& basic = document->focusMap()->basicGraphicsLayer();
        for (const char* name : {"Alpha", "Beta"}) {
            auto marker = std::make_shared<host::MarkerElement>();
            marker->symbol = std::make_shared<host::SimpleMarkerSymbol>();
            marker->setGeometry(host::Point{1, 2});
            marker->setName(std::string(name) + " mark");
            basic.addLayer(name)->addElement(marker);
        }
        form.setDocument(document);
        form.setLanguage("English");
        form.setInteraction(ui);
    }
    ~FrmOpenSaveGraphLayerTest() override { fs::remove_all(dir); }

    template <class W>
    W* ctl(const char* name) {
        auto* widget = qobject_cast<W*>(form.control(QString::fromLatin1(name)));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void open(ArchiveMode mode) {
        form.setMode(mode);
        form.showModeless();
    }
    void select(const std::vector<int>& rows) {
        auto* list = ctl<QListWidget>("LstGLayers");
        list->clearSelection();
        for (int row : rows) {
            list->item(row)->setSelected(true);
        }
    }
    void setFile(const std::string& path) { ctl<QLineEdit>("TxtFileName")->setText(QString::fromStdString(path)); }
    std::vector<std::string> shown() const {
        std::vector<std::string> texts;
        for (const auto& m : ui->messages) {
            texts.push_back(m.text);
        }
        return texts;
    }
    std::string file(const char* name) const { return (dir / name).string(); }
    host::CompositeGraphicsLayer& basic() { return document->focusMap()->basicGraphicsLayer(); }

    std::shared_ptr<host::MapDocument> document = std::make_shared<host::MapDocument>();
    std::shared_ptr<host::ScriptedInteraction> ui = std::make_shared<host::ScriptedInteraction>();
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scopedLog{log};
    FrmOpenSaveGraphLayer form;
    fs::path dir = fs::temp_directory_path() /
                   ("kp-archive-dlg-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(FrmOpenSaveGraphLayerTest, LoadsTranslatedAndLaidOutForItsMode) {
    struct Case {
        ArchiveMode mode;
        const char* language;
        std::vector<std::string> texts;  // title, LblLayers, ChkNewGLayer, LblFileName, CmdOK, CmdCancel
    };
    const Case cases[] = {
        {ArchiveMode::Save, "English", {"Annotation layers (load-save)", "Annotation layer", "new layer", "File", "Save", "Cancel"}},
        {ArchiveMode::Load, "Русский",
         {"Графические слои (сохранение-загрузка)", "Слой графики (аннотации)", "на новом слое", "Файл", "Загрузить", "Отмена"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        form.setLanguage(c.language);
        open(c.mode);
        std::vector<std::string> texts{form.windowTitle().toStdString()};
        for (const char* name : {"LblLayers", "ChkNewGLayer", "LblFileName", "CmdOK", "CmdCancel"}) {
            QWidget* w = form.control(name);
            texts.push_back((qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text()
                                                      : qobject_cast<QAbstractButton*>(w)->text()).toStdString());
        }
        EXPECT_EQ(texts, c.texts);
        const bool loading = c.mode == ArchiveMode::Load;
        EXPECT_EQ(form.control("ChkNewGLayer")->isVisible(), loading);
        EXPECT_EQ(form.control("TxtNewGLayerName")->isVisible(), loading);
        EXPECT_FALSE(form.control("TxtFileName")->isEnabled());
        EXPECT_EQ(ctl<QListWidget>("LstGLayers")->count(), 2);
        form.CmdCancel_Click();
        EXPECT_FALSE(form.isLoaded() || form.isVisible());
        EXPECT_EQ(form.document(), nullptr) << "unloading lets the document go";
        form.setDocument(document);
    }
    // The new-layer box and the list take turns.
    form.setLanguage("English");
    open(ArchiveMode::Load);
    for (bool ticked : {true, false}) {
        ctl<QCheckBox>("ChkNewGLayer")->setChecked(ticked);
        EXPECT_EQ(ctl<QLineEdit>("TxtNewGLayerName")->isEnabled(), ticked);
        EXPECT_EQ(ctl<QListWidget>("LstGLayers")->isEnabled(), !ticked);
    }
    // The file dialog proposes the current layer; a cancel keeps the name.
    ctl<QListWidget>("LstGLayers")->setCurrentRow(1);
    ui->fileAnswers = {std::string("/maps/beta.obj"), std::nullopt};
    form.CmdFileName_Click();
    form.CmdFileName_Click();
    EXPECT_EQ(ctl<QLineEdit>("TxtFileName")->text(), "/maps/beta.obj");
    ASSERT_EQ(ui->fileDialogs.size(), 2u);
    EXPECT_EQ(ui->fileDialogs[0].fileName, "Beta");
    EXPECT_EQ(ui->fileDialogs[0].filter, "Saved annotation *.obj|*.obj");
    EXPECT_TRUE(log->records().empty());
}

TEST_F(FrmOpenSaveGraphLayerTest, SavingAsksForWhatIsMissingAndBeforeReplacingAFile) {
    const std::string existing = file("old.obj");
    const std::string replace = "File " + existing + " exist, replace?";
    struct Case {
        const char* what;
        std::vector<int> selected;
        std::string path;
        MessageResult answer;
        std::vector<std::string> shown;
        bool written;  // the graphics of Alpha now at `existing`
    };
    const Case cases[] = {
        {"no layer selected", {}, existing, MessageResult::Yes, {"Layer for save not selected"}, false},
        {"no file name", {1}, "", MessageResult::Yes, {"No file Name"}, false},
        {"an existing file kept on No", {1}, existing, MessageResult::No, {replace}, false},
        {"replaced on Yes, the first of two selected", {1, 0}, existing, MessageResult::Yes, {replace, "OK!"}, true},
        {"a folder that is not there: no OK!", {0}, file("none/x.obj"), MessageResult::Yes,
         {"The graphics were not saved\n"}, false},
    };
    open(ArchiveMode::Save);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(existing) << "old";
        select(c.selected);
        setFile(c.path);
        ui->messages.clear();
        ui->messageAnswers = {c.answer};
        QTest::mouseClick(ctl<QPushButton>("CmdOK"), Qt::LeftButton);
        std::vector<std::string> texts = shown();
        if (!texts.empty() && texts.back().rfind(c.shown.back(), 0) == 0 && texts.back() != c.shown.back()) {
            texts.back().resize(c.shown.back().size());  // the reason follows the notice
        }
        EXPECT_EQ(texts, c.shown);
        EXPECT_EQ(ui->messages.front().title, c.shown.front() == replace ? "Save" : "");
        std::ifstream in(existing, std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(bytes != "old", c.written);
        if (c.written) {
            const auto group = host::readPropertySetFile(existing)->getProperty("Graphics").objectAs<host::GroupElement>();
            ASSERT_NE(group, nullptr);
            EXPECT_EQ(group->element(0)->name(), "Alpha mark");
        }
        EXPECT_TRUE(form.isVisible()) << "CmdOK leaves the dialog open";
    }
}

TEST_F(FrmOpenSaveGraphLayerTest, LoadingRefusesBeforeAnyLayerIsMade) {
    const std::string saved = file("alpha.obj");
    ASSERT_TRUE(SaveGraphics(*document->focusMap(), "Alpha", saved).done());
    const std::string garbage = file("garbage.obj");
    std::ofstream(garbage) << "no graphics";
    struct Case {
        const char* what;
        const char* newLayer;  // nullptr: into the listed layer selected
        std::vector<int> selected;
        std::string path;
        std::string shown;
        int layersAfter;
    };
    const Case cases[] = {
        {"no layer selected", nullptr, {}, saved, "No layer for load", 2},
        {"no new layer name", "", {}, saved, "No new layer name", 2},
        {"a taken new layer name", "Beta", {}, saved, "Layer exist, change name or select from list", 2},
        {"no file name", "Gamma", {}, "", "No file Name", 2},
        {"a file that is not there", "Gamma", {}, file("gone.obj"), "File " + file("gone.obj") + " not exist", 2},
        {"no graphics file: said, no OK!", "Gamma", {}, garbage, "File " + garbage + " have no required parameters!", 2},
        {"a new layer", "Gamma", {}, saved, "OK!", 3},
        {"the first of two selected", nullptr, {1, 2}, saved, "OK!", 3},
    };
    open(ArchiveMode::Load);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui->messages.clear();
        ctl<QCheckBox>("ChkNewGLayer")->setChecked(c.newLayer != nullptr);
        ctl<QLineEdit>("TxtNewGLayerName")->setText(QString::fromUtf8(c.newLayer ? c.newLayer : ""));
        select(c.selected);
        setFile(c.path);
        form.CmdOK_Click();
        EXPECT_EQ(shown(), std::vector<std::string>{c.shown});
        EXPECT_EQ(basic().layerCount(), c.layersAfter);
    }
    EXPECT_EQ(ctl<QListWidget>("LstGLayers")->count(), 3) << "the new layer is listed";
    EXPECT_EQ(basic().findLayer("Gamma")->elementCount(), 1);
    EXPECT_EQ(basic().findLayer("Beta")->elementCount(), 2);
    EXPECT_EQ(log->records().size(), 1u) << "the unreadable file is reported as well";
}

TEST_F(FrmOpenSaveGraphLayerTest, ATakenNewLayerNameIsSaidButCancelStaysReachable) {
    open(ArchiveMode::Load);
    auto* tick = ctl<QCheckBox>("ChkNewGLayer");
    auto* box = ctl<QLineEdit>("TxtNewGLayerName");
    tick->setChecked(true);
    box->setText("Alpha");
    const std::pair<QWidget*, bool> moves[] = {
        {ctl<QPushButton>("CmdFileName"), true}, {ctl<QPushButton>("CmdOK"), true},
        {ctl<QPushButton>("CmdCancel"), false}, {tick, false}};  // Cancel and unticking stay reachable
    for (const auto& [next, said] : moves) {
        SCOPED_TRACE(next->objectName().toStdString());
        ui->messages.clear();
        form.TxtNewGLayerName_LostFocus(next);
        EXPECT_EQ(shown(), said ? std::vector<std::string>{"Layer exist, change name or select from list"}
                                : std::vector<std::string>{});
    }
    // Really clicking Cancel while the taken name is in the box closes the dialog.
    QApplication::setActiveWindow(&form);
    box->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    ui->messages.clear();
    QTest::mouseClick(ctl<QPushButton>("CmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_FALSE(form.isVisible() || form.isLoaded());
}

class MainDialogArchiveButtons : public dialog::testing::MainDialogTest {};

TEST_F(MainDialogArchiveButtons, OpenTheOneSharedArchiveDialogInTheirMode) {
    load();
    document->focusMap()->basicGraphicsLayer().addLayer("Notes");
    QTest::mouseClick(ctl<QPushButton>("CmdSaveGraphicsLayerToFile"), Qt::LeftButton);
    FrmOpenSaveGraphLayer* archive = dialog.archiveDialog();
    ASSERT_NE(archive, nullptr);
    EXPECT_TRUE(archive->isVisible());
    EXPECT_EQ(archive->mode(), ArchiveMode::Save);
    EXPECT_EQ(archive->document(), document);
    EXPECT_EQ(archive->windowTitle(), "Annotation layers (load-save)");
    const auto* ok = qobject_cast<QPushButton*>(archive->control("CmdOK"));
    EXPECT_EQ(ok->text(), "Save");

    QTest::mouseClick(ctl<QPushButton>("CmdLoadGraphicsLayerFromFile"), Qt::LeftButton);
    EXPECT_EQ(dialog.archiveDialog(), archive) << "one shared instance";
    EXPECT_EQ(archive->mode(), ArchiveMode::Load);
    EXPECT_EQ(ok->text(), "Load") << "the layout follows the mode";
    EXPECT_TRUE(archive->control("ChkNewGLayer")->isVisible());
    EXPECT_TRUE(ui->messages.empty());

    dialog.unload();
    EXPECT_FALSE(archive->isVisible());
    EXPECT_EQ(archive->document(), nullptr);
    EXPECT_TRUE(log->records().empty());
}

}  // namespace
}  // namespace kartoplot::archive
