// FrmOpenSaveGraphLayer: the small modeless dialog that saves one graphics layer of the focus
// map to a graphics file or loads such a file into a layer (archive/graphics_archive.h).
//
// Every control carries its system name as objectName (LblLayers, LstGLayers, ChkNewGLayer,
// TxtNewGLayerName, LblFileName, TxtFileName, CmdFileName, CmdOK, CmdCancel); the file dialog
// (CmnDialog) is the interaction service's. Handlers are public under their system names and
// never let an exception escape (failures go to HandleError under "frmOpenSaveGraphLayer").
#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "archive/graphics_archive.h"
#include "host/interaction.h"
#include "host/map.h"
#include "language/messages.h"
#include "dialog/plain_form.h"

namespace kartoplot::archive {

// The dialog's mode, with the codes the main dialog sets.
enum class ArchiveMode { Load = 0, Save = 1 };

class FrmOpenSaveGraphLayer final : public QDialog, public dialog::PlainTranslatableForm {
    Q_OBJECT

public:
    explicit FrmOpenSaveGraphLayer(QWidget* parent = nullptr);
    ~FrmOpenSaveGraphLayer() override;

    // ---- members the main dialog sets before showing the dialog ---------------------------
    void setDocument(std::shared_ptr<host::MapDocument> document);
    void setMode(ArchiveMode mode);
    void setLanguage(std::string language);
    void setInteraction(std::shared_ptr<host::UserInteraction> interaction);
    const std::shared_ptr<host::MapDocument>& document() const noexcept { return document_; }
    ArchiveMode mode() const noexcept { return mode_; }

    // Loads the dialog when it is not loaded (Form_Load), else lays it out for the current mode
    // and lists the map's graphics layers again; then shows it without blocking, raised.
    void showModeless();
    bool isLoaded() const noexcept { return loaded_; }
    // Translates the captions, fills the message table and the layer list, lays out the mode.
    void Form_Load();
    // Hides the dialog and releases the document; the next showModeless() loads afresh.
    void unload();

    // TxtNewGLayerName enabled exactly when ticked, LstGLayers exactly when not.
    void ChkNewGLayer_Click();
    // The typed name equals a listed layer: "Layer exist, change name or select from list" and
    // the focus goes back to the name box, unless it went to CmdCancel (which stays reachable).
    void TxtNewGLayerName_LostFocus(const QWidget* nextFocus = nullptr);
    // Chooses the file (a save dialog in save mode, an open dialog in load mode) proposing the
    // current layer's name; a cancelled choice keeps TxtFileName as it was.
    void CmdFileName_Click();
    // Saves or loads; "OK!" only when that succeeded, else what failed.
    void CmdOK_Click();
    void CmdCancel_Click();

    const language::ArchiveMessages& messages() const noexcept { return services_.messages; }


protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& formWidget() override { return *this; }
    struct Ui;

    void buildUi();
    void layOutMode();
    void fillLayerList();
    // The first selected entry of LstGLayers in list order, or "" when none is selected.
    std::string firstSelectedLayer() const;
    bool layerListed(const std::string& name) const;
    void say(const std::string& text, const std::string& title,
             host::MessageIcon icon = host::MessageIcon::None);
    void saveToFile(const std::string& path);
    void loadFromFile(const std::string& path);
    host::Map& focusMap() const;
    template <class Body>
    void trapped(const char* procedure, Body&& body);

    std::unique_ptr<Ui> ui_;
    std::shared_ptr<host::MapDocument> document_;
    ArchiveMode mode_ = ArchiveMode::Save;
    std::string language_ = std::string(language::kRussian);
    ArchiveServices services_;
    bool loaded_ = false;
};

}  // namespace kartoplot::archive
