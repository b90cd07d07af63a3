// kartoplot-desktop: the desktop window over the data files named on the command line, or
// over the bundled sample data when none is named, with the Kartoplot command on its toolbar.
//
//   kartoplot-desktop [FILE...]
//   kartoplot-desktop PROJECT.kartoplot
//   kartoplot-desktop --screenshots DIR   pictures of the window with charts and of the dialog
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QLineEdit>
#include <QImage>
#include <QLocale>
#include <QPixmap>
#include <QStringList>
#include <QTabWidget>
#include <QTreeWidget>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "archive/frm_open_save_graph_layer.h"
#include "command/cls_kartoplot.h"
#include "errors/error_handling.h"
#include "dialog/main_dialog.h"
#include "dialog/qt_interaction.h"
#include "language/messages.h"
#include "fielddelete/frm_multy_fields_delete.h"
#include "relation/frm_rela_fields.h"
#include "render/text_metrics.h"

#ifndef KARTOPLOT_DATA_DIR
#define KARTOPLOT_DATA_DIR "data"
#endif

namespace {

using namespace kartoplot;

constexpr int kWindowWidth = 1200;   // pixels
constexpr int kWindowHeight = 800;   // pixels

std::vector<std::string> bundledData() {
    const std::filesystem::path dir =
        std::filesystem::is_directory(KARTOPLOT_DATA_DIR) ? KARTOPLOT_DATA_DIR : "data";
    return {(dir / "land.geojson").string(), (dir / "populated_places.geojson").string()};
}

// The window speaks Russian on a system set to Russian, English anywhere else.
std::string systemLanguage() {
    return QLocale::system().language() == QLocale::Russian ? std::string(language::kRussian)
                                                            : std::string("English");
}

// Shows every error record to the user as well (the file log keeps it too).
class MessageBoxErrorLog final : public ErrorLog {
public:
    explicit MessageBoxErrorLog(std::shared_ptr<host::UserInteraction> interaction)
        : interaction_(std::move(interaction)) {}
    void append(const std::string& record) override {
        interaction_->messageBox(record, "Kartoplot", host::MessageButtons::Ok,
                                 host::MessageIcon::Critical);
    }
    void finish(bool) override {}

private:
    std::shared_ptr<host::UserInteraction> interaction_;
};

// Pictures for the documentation: the dialog on each page, the field relation dialog, the window after a run over
// the cities of five million people and more, and the graphics archive dialog in both modes.
int takeScreenshots(const std::string& folder, app::MainWindow& window, command::ClsKartoplot& command) {
    std::filesystem::create_directories(folder);
    const auto save = [&](const QPixmap& picture, const std::string& name) {
        const std::string path = (std::filesystem::path(folder) / name).string();
        if (!picture.save(QString::fromStdString(path))) {
            std::cerr << "kartoplot-desktop: cannot write " << path << '\n';
            return false;
        }
        std::cout << path << '\n';
        return true;
    };
    window.show();
    QApplication::processEvents();
    command.OnClick();
    dialog::frmKartoplot* dlg = command::sharedDialogIfLoaded();
    if (dlg == nullptr) {
        std::cerr << "kartoplot-desktop: the dialog did not open\n";
        return 1;
    }
    if (auto* language = dlg->findChild<QComboBox*>("CmbLanguage")) {
        language->setCurrentText("English");  // runs the language change
    }
    auto* fields = dlg->findChild<QTreeWidget*>("LstFields");
    for (int i = 0; fields != nullptr && i < fields->topLevelItemCount(); ++i) {
        const QString name = fields->topLevelItem(i)->text(0);
        fields->topLevelItem(i)->setSelected(name == "pop_max" || name == "pop_min" || name == "pop_other");
    }
    dlg->CmdFieldsTo_Click();
    auto setText = [&](const char* name, const char* text) {
        if (auto* box = dlg->findChild<QLineEdit*>(name)) {
            box->setText(text);
        }
    };
    setText("TxtMinValue", "500000");
    setText("TxtMaxValue", "20000000");
    dlg->TxtMaxValue_LostFocus();
    setText("TxtMinValueMM", "0.25");
    dlg->TxtMinValueMM_LostFocus();
    auto* tabs = dlg->findChild<QTabWidget*>("SSTab");
    bool ok = true;
    for (int tab = 0; tabs != nullptr && tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QApplication::processEvents();
        ok = save(dlg->grab(), "dialog-tab" + std::to_string(tab) + ".png") && ok;
    }
    if (tabs != nullptr) {
        tabs->setCurrentIndex(0);
    }
    // The field relation dialog as a legend load shows it: two fields paired by name, one left.
    {
        relation::FrmRelaFields relation(dlg);
        relation.setLanguage("English");
        relation.PopulateArrays({{"pop_max", 0}, {"pop_min", 1}, {"pop_other", 2}},
                                {{"PLACES.POP_MAX", 0}, {"PLACES.POP_MIN", 1}, {"PLACES.RANK", 2}});
        relation.AutoMapping(false);
        relation.show();
        QApplication::processEvents();
        ok = save(relation.grab(), "relation-dialog.png") && ok;
    }
    // The field deletion dialog for the chosen layer with two fields ticked (nothing is deleted).
    if (const auto layer = dlg->chosenLayer()) {
        fielddelete::FrmMultyFieldsDelete fieldDelete(dlg);
        fieldDelete.setLanguage("English");
        fieldDelete.setFeatureClass(layer->featureClass());
        fieldDelete.setLayerName(layer->name());
        fieldDelete.Form_Load();
        if (auto* list = fieldDelete.findChild<QListWidget*>("LstFields")) {
            for (int i = 0; i < list->count(); ++i) {
                list->item(i)->setSelected(list->item(i)->text() == "pop_other" ||
                                           list->item(i)->text() == "rank_max");
            }
        }
        fieldDelete.show();
        QApplication::processEvents();
        ok = save(fieldDelete.grab(), "field-delete-dialog.png") && ok;
    }
    // Chart the large cities: select them, then the dialog's OK with "selected" features.
    for (const auto& layer : window.map()->layers()) {
        if (auto places = std::dynamic_pointer_cast<host::FeatureLayer>(layer);
            places && places->name() == "populated_places") {
            host::QueryFilter big;
            const int pop = places->featureClass()->findField("pop_max");
            big.where = [pop](const host::Feature& f) { return f.value(pop).toDouble() >= 5'000'000; };
            places->selectFeatures(big);
        }
    }
    dlg->ChekSelectedOnLayer();
    if (auto* selected = dlg->control("OpAllObjects", 1)) {
        if (auto* button = qobject_cast<QAbstractButton*>(selected)) {
            button->setChecked(true);
        }
    }
    if (auto* labels = dlg->findChild<QAbstractButton*>("ChkLabelDiagramm")) {
        labels->setChecked(false);
    }
    dlg->CmdOK_Click(0);
    dlg->hide();
    QApplication::processEvents();
    ok = save(window.grab(), "desktop.png") && ok;

    // The graphics archive dialog over the charts just made: saving them, and loading a file
    // onto a new layer.
    for (const bool saving : {true, false}) {
        if (saving) {
            dlg->CmdSaveGraphicsLayerToFile_Click();
        } else {
            dlg->CmdLoadGraphicsLayerFromFile_Click();
        }
        archive::FrmOpenSaveGraphLayer* archive = dlg->archiveDialog();
        if (archive == nullptr) {
            std::cerr << "kartoplot-desktop: the archive dialog did not open\n";
            return 1;
        }
        if (auto* list = archive->findChild<QListWidget*>("LstGLayers"); list != nullptr && list->count() > 0) {
            list->setCurrentRow(0);
        }
        if (auto* fileName = archive->findChild<QLineEdit*>("TxtFileName")) {
            fileName->setText(saving ? "/home/user/maps/big_cities.obj" : "/home/user/maps/big_cities_2020.obj");
        }
        if (!saving) {
            if (auto* tick = archive->findChild<QCheckBox*>("ChkNewGLayer")) {
                tick->setChecked(true);
            }
            if (auto* name = archive->findChild<QLineEdit*>("TxtNewGLayerName")) {
                name->setText("big_cities_2020");
            }
        }
        QApplication::processEvents();
        ok = save(archive->grab(), saving ? "archive-save.png" : "archive-load.png") && ok;
    }
    dlg->archiveDialog()->CmdCancel_Click();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Kartoplot");

    auto application = std::make_shared<host::Application>();
    auto document = std::make_shared<host::MapDocument>();
    application->setDocument(document);
    render::installTextMetrics(*document->focusMap());

    auto interaction = std::make_shared<dialog::QtInteraction>();
    app::MainWindow window(application, interaction, systemLanguage());
    interaction->setParentWidget(&window);

    // Error records go to the log file and, in this program, to the user.
    auto log = std::make_shared<TeeErrorLog>();
    log->add(std::make_shared<FileErrorLog>(defaultErrorLogPath()));
    log->add(std::make_shared<MessageBoxErrorLog>(interaction));
    setErrorLog(log);

    // The command on the toolbar, as the host shows it.
    command::ClsKartoplot command;
    command.OnCreate(application);
    command.setInteraction(interaction);
    app::CommandButton button;
    button.icon = QIcon(QPixmap::fromImage(command.bitmap()));
    button.text = QString::fromStdString(command.Caption());
    button.toolTip = QString::fromStdString(command.Tooltip());
    button.enabled = [&command] { return command.Enabled(); };
    button.onClick = [&command] { command.OnClick(); };
    window.setCommand(button);

    std::vector<std::string> files;
    std::string screenshots;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--screenshots" && i + 1 < arguments.size()) {
            screenshots = arguments[++i].toStdString();
        } else {
            files.push_back(arguments[i].toStdString());
        }
    }
    // The dialog works on the document it was given: a new or opened project lets it go.
    QObject::connect(&window, &app::MainWindow::documentReplaced, [] { command::releaseSharedDialog(); });
    if (files.size() == 1 && std::filesystem::path(files[0]).extension() == ".kartoplot") {
        window.openProjectFile(files[0]);
    } else {
        window.openFiles(files.empty() ? bundledData() : files);
    }
    window.resize(kWindowWidth, kWindowHeight);
    if (!screenshots.empty()) {
        const int result = takeScreenshots(screenshots, window, command);
        command::releaseSharedDialog();
        return result;
    }
    window.show();
    const int result = QApplication::exec();
    command::releaseSharedDialog();
    return result;
}
