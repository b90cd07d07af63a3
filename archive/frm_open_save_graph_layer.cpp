#include "archive/frm_open_save_graph_layer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <filesystem>
#include <map>

#include "errors/error_handling.h"

namespace kartoplot::archive {

namespace {

using language::ArchiveMessage;

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Room for a path in TxtFileName, in pixels.
constexpr int kFileNameWidth = 260;

}  // namespace

struct FrmOpenSaveGraphLayer::Ui {

    QLabel* LblLayers = nullptr;
    QListWidget* LstGLayers = nullptr;
    QCheckBox* ChkNewGLayer = nullptr;
    QLineEdit* TxtNewGLayerName = nullptr;
    QLabel* LblFileName = nullptr;
    QLineEdit* TxtFileName = nullptr;
    QPushButton* CmdFileName = nullptr;
    QPushButton* CmdOK = nullptr;
    QPushButton* CmdCancel = nullptr;
};

template <class Body>
void FrmOpenSaveGraphLayer::trapped(const char* procedure, Body&& body) {
    ErrorTrap trap(procedure, kArchiveModule);
    trap.run(std::forward<Body>(body));
}

FrmOpenSaveGraphLayer::FrmOpenSaveGraphLayer(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui>()) {
    setObjectName(QStringLiteral("FrmOpenSaveGraphLayer"));
    setModal(false);
    buildUi();
}

FrmOpenSaveGraphLayer::~FrmOpenSaveGraphLayer() = default;

void FrmOpenSaveGraphLayer::buildUi() {
    Ui& u = *ui_;
    const auto add = [this](auto* widget, const char* name) { return addControl(widget, name); };
    // Design captions are the Russian ones; Form_Load translates them.
    setWindowTitle(QStringLiteral("Графические слои (сохранение-загрузка)"));
    u.LblLayers = add(new QLabel(QStringLiteral("Слой графики (аннотации)"), this), "LblLayers");
    u.LstGLayers = add(new QListWidget(this), "LstGLayers");
    u.LstGLayers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    u.ChkNewGLayer = add(new QCheckBox(QStringLiteral("на новом слое"), this), "ChkNewGLayer");
    u.TxtNewGLayerName = add(new QLineEdit(this), "TxtNewGLayerName");
    u.TxtNewGLayerName->setEnabled(false);
    u.LblFileName = add(new QLabel(QStringLiteral("Файл"), this), "LblFileName");
    u.TxtFileName = add(new QLineEdit(this), "TxtFileName");
    u.TxtFileName->setEnabled(false);
    u.TxtFileName->setMinimumWidth(kFileNameWidth);
    u.CmdFileName = add(new QPushButton(QStringLiteral("..."), this), "CmdFileName");
    u.CmdOK = add(new QPushButton(QStringLiteral("Сохранить"), this), "CmdOK");
    u.CmdOK->setDefault(true);
    u.CmdCancel = add(new QPushButton(QStringLiteral("Отмена"), this), "CmdCancel");

    auto* newLayer = new QHBoxLayout;
    newLayer->addWidget(u.ChkNewGLayer);
    newLayer->addWidget(u.TxtNewGLayerName, 1);
    auto* file = new QGridLayout;
    file->addWidget(u.LblFileName, 0, 0, 1, 2);
    file->addWidget(u.TxtFileName, 1, 0);
    file->addWidget(u.CmdFileName, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(u.CmdOK);
    buttons->addWidget(u.CmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(u.LblLayers);
    layout->addWidget(u.LstGLayers, 1);
    layout->addLayout(newLayer);
    layout->addLayout(file);
    layout->addLayout(buttons);

    connect(u.ChkNewGLayer, &QCheckBox::toggled, this, [this] { ChkNewGLayer_Click(); });
    connect(u.CmdFileName, &QPushButton::clicked, this, [this] { CmdFileName_Click(); });
    connect(u.CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(u.CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
    u.TxtNewGLayerName->installEventFilter(this);
}

void FrmOpenSaveGraphLayer::setDocument(std::shared_ptr<host::MapDocument> document) {
    document_ = std::move(document);
}

void FrmOpenSaveGraphLayer::setMode(ArchiveMode mode) { mode_ = mode; }

void FrmOpenSaveGraphLayer::setLanguage(std::string language) { language_ = std::move(language); }

void FrmOpenSaveGraphLayer::setInteraction(std::shared_ptr<host::UserInteraction> interaction) {
    services_.interaction = std::move(interaction);
}

host::Map& FrmOpenSaveGraphLayer::focusMap() const {
    if (!document_ || !document_->focusMap()) {
        throw HostError(errnum::kObjectMissing, kArchiveModule, "The dialog has no map document");
    }
    return *document_->focusMap();
}

void FrmOpenSaveGraphLayer::showModeless() {
    if (!loaded_) {
        Form_Load();
    } else {
        // The shared dialog may be opened in the other mode, or after layers changed.
        trapped("Form_Load ", [&] {
            layOutMode();
            fillLayerList();
        });
    }
    show();
    raise();
    activateWindow();
}

void FrmOpenSaveGraphLayer::Form_Load() {
    trapped("Form_Load ", [&] {
        loaded_ = true;
        language::TranslateOpenSaveGraphLayer(*this, language_);
        language::LoadOpenSaveMessages(services_.messages, language_);
        ui_->CmdCancel->setText(qs(services_.messages.text(ArchiveMessage::CancelButton)));
        layOutMode();
        fillLayerList();
    });
}

void FrmOpenSaveGraphLayer::layOutMode() {
    Ui& u = *ui_;
    const bool saving = mode_ == ArchiveMode::Save;
    u.CmdOK->setText(qs(services_.messages.text(saving ? ArchiveMessage::SaveButton
                                                       : ArchiveMessage::LoadButton)));
    u.TxtNewGLayerName->setVisible(!saving);
    u.ChkNewGLayer->setVisible(!saving);
    if (saving) {
        u.ChkNewGLayer->setChecked(false);  // saving always takes a listed layer
    }
    u.LblFileName->setVisible(true);
    u.TxtFileName->setVisible(true);
    u.TxtFileName->setEnabled(false);
    ChkNewGLayer_Click();
}

void FrmOpenSaveGraphLayer::fillLayerList() {
    QListWidget* list = ui_->LstGLayers;
    list->clear();
    for (const auto& layer : ListGraphicsLayers(focusMap())) {
        list->addItem(qs(layer->name()));
    }
}

void FrmOpenSaveGraphLayer::unload() {
    Ui& u = *ui_;
    hide();
    document_.reset();
    loaded_ = false;
    u.LstGLayers->clear();
    u.ChkNewGLayer->setChecked(false);
    u.TxtNewGLayerName->clear();
    u.TxtFileName->clear();
}

void FrmOpenSaveGraphLayer::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void FrmOpenSaveGraphLayer::reject() { CmdCancel_Click(); }

bool FrmOpenSaveGraphLayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->TxtNewGLayerName && event->type() == QEvent::FocusOut) {
        // Leaving the window (another program, a menu) is no move inside the dialog.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            TxtNewGLayerName_LostFocus(QApplication::focusWidget());
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FrmOpenSaveGraphLayer::ChkNewGLayer_Click() {
    const bool ticked = ui_->ChkNewGLayer->isChecked();
    ui_->TxtNewGLayerName->setEnabled(ticked);
    ui_->LstGLayers->setEnabled(!ticked);
}

bool FrmOpenSaveGraphLayer::layerListed(const std::string& name) const {
    const QString wanted = qs(name);
    for (int i = 0; i < ui_->LstGLayers->count(); ++i) {
        if (ui_->LstGLayers->item(i)->text() == wanted) {
            return true;
        }
    }
    return false;
}

void FrmOpenSaveGraphLayer::TxtNewGLayerName_LostFocus(const QWidget* nextFocus) {
    trapped("TxtNewGLayerName_LostFocus ", [&] {
        Ui& u = *ui_;
        // Cancel and unticking the box stay reachable whatever the name is; CmdOK checks again.
        if (!u.ChkNewGLayer->isChecked() || nextFocus == u.CmdCancel || nextFocus == u.ChkNewGLayer) {
            return;
        }
        if (!layerListed(u.TxtNewGLayerName->text().toStdString())) {
            return;
        }
        say(services_.messages.text(ArchiveMessage::LayerNameExists),
            services_.messages.text(ArchiveMessage::NewLayerTitle), host::MessageIcon::Exclamation);
        // Back into the name box once the focus change that is under way has ended.
        QTimer::singleShot(0, u.TxtNewGLayerName, [box = u.TxtNewGLayerName] {
            if (box->isEnabled() && box->isVisible()) {
                box->setFocus(Qt::OtherFocusReason);
            }
        });
    });
}

void FrmOpenSaveGraphLayer::say(const std::string& text, const std::string& title,
                                host::MessageIcon icon) {
    if (!services_.interaction) {
        throw HostError(errnum::kObjectMissing, kArchiveModule,
                        "No user interaction service for the message: " + text);
    }
    services_.interaction->messageBox(text, title, host::MessageButtons::Ok, icon);
}

std::string FrmOpenSaveGraphLayer::firstSelectedLayer() const {
    const QListWidget* list = ui_->LstGLayers;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected()) {
            return list->item(i)->text().toStdString();
        }
    }
    return {};
}

void FrmOpenSaveGraphLayer::CmdFileName_Click() {
    trapped("CmdFileName_Click ", [&] {
        if (!services_.interaction) {
            throw HostError(errnum::kObjectMissing, kArchiveModule, "No user interaction service");
        }
        host::FileDialogRequest request;
        const QListWidgetItem* current = ui_->LstGLayers->currentItem();
        request.fileName = current ? current->text().toStdString() : std::string();
        request.filter = services_.messages.text(ArchiveMessage::GraphicsFileFilter);
        // CmdOK asks before it replaces a file.
        request.overwritePrompt = false;
        const auto path = mode_ == ArchiveMode::Save ? services_.interaction->saveFile(request)
                                                     : services_.interaction->openFile(request);
        if (path) {
            ui_->TxtFileName->setText(qs(*path));
        }
    });
}

void FrmOpenSaveGraphLayer::CmdOK_Click() {
    trapped("CmdOK_Click ", [&] {
        const std::string path = ui_->TxtFileName->text().toStdString();
        if (mode_ == ArchiveMode::Save) {
            saveToFile(path);
        } else {
            loadFromFile(path);
        }
    });
}

void FrmOpenSaveGraphLayer::saveToFile(const std::string& path) {
    const auto& m = services_.messages;
    const std::string layer = firstSelectedLayer();
    if (layer.empty()) {
        say(m.text(ArchiveMessage::NoLayerForSave), "");
        return;
    }
    if (path.empty()) {
        say(m.text(ArchiveMessage::NoFileName), "");
        return;
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        if (!services_.interaction) {
            throw HostError(errnum::kObjectMissing, kArchiveModule, "No user interaction service");
        }
        const auto answer = services_.interaction->messageBox(
            m.text(ArchiveMessage::FileStart) + path + m.text(ArchiveMessage::FileExistsReplace),
            m.text(ArchiveMessage::SaveTitle), host::MessageButtons::YesNo,
            host::MessageIcon::Exclamation);
        if (answer != host::MessageResult::Yes) {
            return;
        }
    }
    const ArchiveOutcome outcome = SaveGraphics(focusMap(), layer, path);
    if (outcome.done()) {
        say(m.text(ArchiveMessage::OperationSucceeded), "");
    } else if (outcome.kind == ArchiveOutcome::Kind::Failed) {
        language::NoticeMessages notices;
        notices.load(language_);
        say(notices.text(language::NoticeMessage::GraphicsNotSaved) + "\n" + outcome.failure, "",
            host::MessageIcon::Exclamation);
    }
}

void FrmOpenSaveGraphLayer::loadFromFile(const std::string& path) {
    const auto& m = services_.messages;
    Ui& u = *ui_;
    std::string layer;
    if (!u.ChkNewGLayer->isChecked()) {
        layer = firstSelectedLayer();
        if (layer.empty()) {
            say(m.text(ArchiveMessage::NoLayerForLoad), "");
            return;
        }
    } else {
        layer = u.TxtNewGLayerName->text().toStdString();
        if (layer.empty()) {
            say(m.text(ArchiveMessage::NoNewLayerName), "");
            return;
        }
        // The name box may still hold a taken name (Enter pressed in it, the list changed).
        if (layerListed(layer) || focusMap().basicGraphicsLayer().findLayer(layer)) {
            say(m.text(ArchiveMessage::LayerNameExists), m.text(ArchiveMessage::NewLayerTitle),
                host::MessageIcon::Exclamation);
            return;
        }
    }
    if (path.empty()) {
        say(m.text(ArchiveMessage::NoFileName), "");
        return;
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (!services_.interaction) {
            throw HostError(errnum::kObjectMissing, kArchiveModule, "No user interaction service");
        }
        services_.interaction->messageBox(
            m.text(ArchiveMessage::FileStart) + path + " " + m.text(ArchiveMessage::NotExist),
            m.text(ArchiveMessage::LoadTitle), host::MessageButtons::OkCancel,
            host::MessageIcon::Exclamation);
        return;
    }
    const ArchiveOutcome outcome = LoadGraphics(services_, focusMap(), layer, path);
    if (outcome.done()) {
        fillLayerList();  // a layer made for the load is listed now
        say(m.text(ArchiveMessage::OperationSucceeded), "");
    } else if (outcome.kind == ArchiveOutcome::Kind::Failed) {
        language::NoticeMessages notices;
        notices.load(language_);
        say(notices.text(language::NoticeMessage::GraphicsNotLoaded) + "\n" + outcome.failure, "",
            host::MessageIcon::Exclamation);
    }
}

void FrmOpenSaveGraphLayer::CmdCancel_Click() { unload(); }

}  // namespace kartoplot::archive
