// FrmOpenSaveGraphLayer driven as a user drives it: its captions and layout in both modes and
// languages, the file dialog, every refusal before a save or a load, the overwrite question,
// the new layer's name check that never keeps the user from Cancel, and the main dialog's two
// buttons that open the one shared dialog.
#include "archive/frm_open_save_graph_layer.h"

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
using host::MessageButtons;
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
    void select(std::initializer_list<int> rows) {
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
        const char* title;
        const char* layers;
        const char* newLayer;
        const char* fileLabel;
        const char* ok;
        const char* cancel;
    };
    const Case cases[] = {
        {ArchiveMode::Save, "English", "Annotation layers (load-save)", "Annotation layer", "new layer", "File",
         "Save", "Cancel"},
        {ArchiveMode::Load, "English", "Annotation layers (load-save)", "Annotation layer", "new layer", "File",
         "Load", "Cancel"},
        {ArchiveMode::Load, "Русский", "Графические слои (сохранение-загрузка)", "Слой графики (аннотации)",
         "на новом слое", "Файл", "Загрузить", "Отмена"},
        {ArchiveMode::Save, "русский", "Annotation layers (load-save)", "Annotation layer", "new layer", "File",
         "Save", "Cancel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language) + (c.mode == ArchiveMode::Save ? " save" : " load"));
        form.CmdCancel_Click();
        form.setDocument(document);
        form.setLanguage(c.language);
        open(c.mode);
        ASSERT_TRUE(form.isLoaded());
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.isModal());
        EXPECT_EQ(form.windowTitle().toStdString(), c.title);
        EXPECT_EQ(ctl<QLabel>("LblLayers")->text().toStdString(), c.layers);
        EXPECT_EQ(ctl<QCheckBox>("ChkNewGLayer")->text().toStdString(), c.newLayer);
        EXPECT_EQ(ctl<QLabel>("LblFileName")->text().toStdString(), c.fileLabel);
        EXPECT_EQ(ctl<QPushButton>("CmdOK")->text().toStdString(), c.ok);
        EXPECT_EQ(ctl<QPushButton>("CmdCancel")->text().toStdString(), c.cancel);
        const bool loading = c.mode == ArchiveMode::Load;
        EXPECT_EQ(ctl<QCheckBox>("ChkNewGLayer")->isVisible(), loading);
        EXPECT_EQ(ctl<QLineEdit>("TxtNewGLayerName")->isVisible(), loading);
        EXPECT_TRUE(ctl<QLineEdit>("TxtFileName")->isVisible());
        EXPECT_FALSE(ctl<QLineEdit>("TxtFileName")->isEnabled());
        auto* list = ctl<QListWidget>("LstGLayers");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text(), "Alpha");
        EXPECT_EQ(list->item(1)->text(), "Beta");
    }
    EXPECT_TRUE(log->records().empty());

    // The new-layer box and the list take turns.
    auto* tick = ctl<QCheckBox>("ChkNewGLayer");
    for (bool ticked : {true, false}) {
        tick->setChecked(ticked);
        EXPECT_EQ(ctl<QLineEdit>("TxtNewGLayerName")->isEnabled(), ticked);
        EXPECT_EQ(ctl<QListWidget>("LstGLayers")->isEnabled(), !ticked);
    }
}

TEST_F(FrmOpenSaveGraphLayerTest, SavingAsksForWhatIsMissingAndBeforeReplacingAFile) {
    const std::string existing = file("old.obj");
    struct Case {
        const char* what;
        std::function<void()> set;
        std::vector<MessageResult> answers;
        std::vector<std::string> shown;
        bool written;  // a graphics file of Beta now at `existing`
    };
    const std::vector<Case> cases = {
        {"no layer selected", [&] { setFile(existing); }, {}, {"Layer for save not selected"}, false},
        {"no file name", [&] { select({1}); }, {}, {"No file Name"}, false},
        {"an existing file kept on No",
         [&] {
             select({1});
             setFile(existing);
         },
         {MessageResult::No}, {"File " + existing + " exist, replace?"}, false},
        {"an existing file replaced on Yes, the first of two selected saved",
         [&] {
             select({1, 0});
             setFile(existing);
         },
         {MessageResult::Yes}, {"File " + existing + " exist, replace?", "OK!"}, true},
        {"a folder that is not there",
         [&] {
             select({0});
             setFile(file("none/x.obj"));
         },
         {}, {"The graphics were not saved\n"}, false},
    };
    open(ArchiveMode::Save);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(existing) << "old";
        select({});
        setFile("");
        ui->messages.clear();
        ui->messageAnswers.assign(c.answers.begin(), c.answers.end());
        c.set();
        QTest::mouseClick(ctl<QPushButton>("CmdOK"), Qt::LeftButton);
        std::vector<std::string> texts = shown();
        if (!texts.empty() && texts.back().rfind("The graphics were not saved\n", 0) == 0) {
            EXPECT_GT(texts.back().size(), c.shown.back().size()) << "the reason follows";
            texts.back().resize(c.shown.back().size());
        }
        EXPECT_EQ(texts, c.shown);
        if (c.shown.front().find("replace") != std::string::npos) {
            EXPECT_EQ(ui->messages.front().title, "Save");
            EXPECT_EQ(ui->messages.front().buttons, MessageButtons::YesNo);
        }
        if (c.written) {
            const auto group =
                host::readPropertySetFile(existing)->getProperty("Graphics").objectAs<host::GroupElement>();
            ASSERT_NE(group, nullptr);
            EXPECT_EQ(group->element(0)->name(), "Alpha mark");
        } else {
            std::ifstream in(existing);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
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
        bool newLayer;
        const char* name;
        std::string path;
        std::vector<std::string> shown;
        int layersAfter;
    };
    const std::vector<Case> cases = {
        {"no layer selected", false, "", saved, {"No layer for load"}, 2},
        {"no new layer name", true, "", saved, {"No new layer name"}, 2},
        {"a new layer name that is taken", true, "Beta", saved, {"Layer exist, change name or select from list"}, 2},
        {"no file name", true, "Gamma", "", {"No file Name"}, 2},
        {"a file that is not there", true, "Gamma", file("gone.obj"), {"File " + file("gone.obj") + " not exist"}, 2},
        {"a file that is no graphics file: said, no OK!", true, "Gamma", garbage,
         {"File " + garbage + " have no required parameters!"}, 2},
        {"a new layer", true, "Gamma", saved, {"OK!"}, 3},
    };
    open(ArchiveMode::Load);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui->messages.clear();
        ctl<QCheckBox>("ChkNewGLayer")->setChecked(c.newLayer);
        ctl<QLineEdit>("TxtNewGLayerName")->setText(QString::fromUtf8(c.name));
        select({});
        setFile(c.path);
        form.CmdOK_Click();
        EXPECT_EQ(shown(), c.shown);
        EXPECT_EQ(basic().layerCount(), c.layersAfter);
    }
    EXPECT_EQ(ui->messages.front().title, "");
    EXPECT_EQ(basic().findLayer("Gamma")->elementCount(), 1);
    EXPECT_EQ(ctl<QListWidget>("LstGLayers")->count(), 3) << "the new layer is listed";
    ASSERT_EQ(log->records().size(), 1u) << "the unreadable file is reported as well";
    log->clear();

    // Into a listed layer: the first selected one.
    ui->messages.clear();
    ctl<QCheckBox>("ChkNewGLayer")->setChecked(false);
    select({1, 2});
    form.CmdOK_Click();
    EXPECT_EQ(shown(), std::vector<std::string>{"OK!"});
    EXPECT_EQ(basic().findLayer("Beta")->elementCount(), 2);
    EXPECT_EQ(basic().findLayer("Gamma")->elementCount(), 1);
    EXPECT_TRUE(log->records().empty());
}

TEST_F(FrmOpenSaveGraphLayerTest, TheFileDialogProposesTheLayerAndACancelKeepsTheName) {
    for (const ArchiveMode mode : {ArchiveMode::Save, ArchiveMode::Load}) {
        SCOPED_TRACE(mode == ArchiveMode::Save ? "save" : "load");
        open(mode);
        ctl<QListWidget>("LstGLayers")->setCurrentRow(1);
        ui->fileAnswers = {std::string("/maps/beta.obj"), std::nullopt};
        form.CmdFileName_Click();
        form.CmdFileName_Click();
        EXPECT_EQ(ctl<QLineEdit>("TxtFileName")->text(), "/maps/beta.obj");
        ASSERT_EQ(ui->fileDialogs.size(), 2u);
        EXPECT_EQ(ui->fileDialogs[0].fileName, "Beta");
        EXPECT_EQ(ui->fileDialogs[0].filter, "Saved annotation *.obj|*.obj");
        EXPECT_EQ(ui->fileDialogs[0].initialFolder, "");
        ui->fileDialogs.clear();
        form.CmdCancel_Click();
        EXPECT_FALSE(form.isLoaded());
        EXPECT_EQ(form.document(), nullptr) << "unloading lets the document go";
        form.setDocument(document);
    }
}

TEST_F(FrmOpenSaveGraphLayerTest, ATakenNewLayerNameIsSaidButCancelStaysReachable) {
    open(ArchiveMode::Load);
    auto* tick = ctl<QCheckBox>("ChkNewGLayer");
    auto* box = ctl<QLineEdit>("TxtNewGLayerName");
    tick->setChecked(true);
    box->setText("Alpha");
    struct Case {
        const char* what;
        QWidget* next;
        bool said;
    };
    const Case cases[] = {
        {"to the file button", ctl<QPushButton>("CmdFileName"), true},
        {"to OK", ctl<QPushButton>("CmdOK"), true},
        {"to Cancel", ctl<QPushButton>("CmdCancel"), false},
        {"to the new-layer box, to untick it", tick, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui->messages.clear();
        form.TxtNewGLayerName_LostFocus(c.next);
        ASSERT_EQ(ui->messages.size(), c.said ? 1u : 0u);
        if (c.said) {
            EXPECT_EQ(ui->messages[0].text, "Layer exist, change name or select from list");
            EXPECT_EQ(ui->messages[0].title, "new layer");
        }
    }

    // Really clicking Cancel while the taken name is in the box closes the dialog.
    QApplication::setActiveWindow(&form);
    box->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    ui->messages.clear();
    QTest::mouseClick(ctl<QPushButton>("CmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.isLoaded());
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
