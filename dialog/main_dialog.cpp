// frmKartoplot: construction, start-up and shut-down, control lookup, the language list,
// the mail link and the commands that are not built yet.
#include "dialog/main_dialog.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QUrl>
#include <QVBoxLayout>

#include "archive/frm_open_save_graph_layer.h"
#include "dialog/main_dialog_ui.h"
#include "engine/graphics_layers.h"
#include "engine/legend_files.h"
#include "preview/draw_symbol.h"
#include "preview/make_symbols.h"
#include "resources/lock_bitmaps.h"

#ifndef KARTOPLOT_SUPPORT_ADDRESS
#define KARTOPLOT_SUPPORT_ADDRESS "support@kartoplot.invalid"
#endif

namespace kartoplot::dialog {

namespace {

constexpr const char* kMessageTitle = "Kartoplot";
constexpr const char* kMailSubject = "Kartoplot";
constexpr const char* kAutoMethodFailed = "Auto method failed.";

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

frmKartoplot::frmKartoplot(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui>()) {
    setObjectName(QStringLiteral("frmKartoplot"));
    setWindowTitle(QStringLiteral("Построение диаграмм v 4.0"));
    setModal(false);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 8);
    buildUi();
    connectUi();
    resize(760, 600);
}

frmKartoplot::~frmKartoplot() {
    watchedConnection_.disconnect();
}

void frmKartoplot::setApplication(std::shared_ptr<host::Application> application) {
    application_ = std::move(application);
}
void frmKartoplot::setDocument(std::shared_ptr<host::MapDocument> document) {
    document_ = std::move(document);
}
void frmKartoplot::setMap(std::shared_ptr<host::Map> map) { map_ = std::move(map); }
void frmKartoplot::setLanguage(std::string language) { language_ = std::move(language); }
void frmKartoplot::setInteraction(std::shared_ptr<host::UserInteraction> interaction) {
    interaction_ = std::move(interaction);
    engine_.interaction = interaction_;
}
void frmKartoplot::setDecimalSeparatorForTests(std::string localeDecimal) {
    injectedDecimal_ = std::move(localeDecimal);
}
void frmKartoplot::setRunHook(RunHook hook) { runHook_ = std::move(hook); }

QWidget* frmKartoplot::control(const QString& name, int index) const {
    const auto it = ui_->controls.find(name);
    if (it == ui_->controls.end()) {
        return nullptr;
    }
    const auto& widgets = it->second;
    const bool isArray = !widgets.empty() && widgets.front() != nullptr &&
                         widgets.front()->property("index").isValid();
    if (isArray) {
        if (index < 0 || index >= static_cast<int>(widgets.size())) {
            return nullptr;
        }
        return widgets[static_cast<std::size_t>(index)];
    }
    return index < 0 && !widgets.empty() ? widgets.front() : nullptr;
}

std::shared_ptr<host::FeatureLayer> frmKartoplot::chosenLayer() const {
    const int index = ui_->CmbLayers->currentIndex();
    if (index < 0 || index >= static_cast<int>(layers_.size())) {
        return nullptr;
    }
    return layers_[static_cast<std::size_t>(index)];
}

host::Map& frmKartoplot::requireMap() const {
    if (!engine_.map) {
        throw HostError(errnum::kObjectMissing, kMainDialogModule, "The dialog has no map");
    }
    return *engine_.map;
}

void frmKartoplot::message(const std::string& text, host::MessageIcon icon) {
    if (!interaction_) {
        throw HostError(errnum::kObjectMissing, kMainDialogModule,
                        "No user interaction service for the message: " + text);
    }
    interaction_->messageBox(text, kMessageTitle, host::MessageButtons::Ok, icon);
}

void frmKartoplot::showModeless() {
    if (!loaded_) {
        Form_Load();
    }
    show();
    raise();
    activateWindow();
}

void frmKartoplot::connectUi() {
    Ui& u = *ui_;
    const auto click = [this](QAbstractButton* button, void (frmKartoplot::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    };

    // Layers and fields.
    connect(u.CmbLayers, &QComboBox::currentIndexChanged, this, [this] { CmbLayers_Change(); });
    connect(u.CmbLayers, &QComboBox::activated, this, [this] { ChekSelectedOnLayer(); });
    click(u.CmdRefreshLayers, &frmKartoplot::CmdRefreshLayers_Click);
    click(u.CmdFieldsTo, &frmKartoplot::CmdFieldsTo_Click);
    click(u.CmdFieldsBack, &frmKartoplot::CmdFieldsBack_Click);
    click(u.CmdFieldsBackAll, &frmKartoplot::CmdFieldsBackAll_Click);
    for (int i = 0; i < 2; ++i) {
        connect(u.CmdUpDown[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { CmdUpDown_Click(i); });
    }
    connect(u.LstFields, &QTreeWidget::itemDoubleClicked, this, [this] { CmdFieldsTo_Click(); });
    connect(u.LstViewFields, &QTreeWidget::itemDoubleClicked, this,
            [this] { LstViewFields_DblClick(); });
    connect(u.LstViewFields->header(), &QHeaderView::sectionClicked, this,
            [this](int logical) { LstViewFields_ColumnClick(logical + 1); });
    connect(u.LstViewFields, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        ui_->mnuChangeSymbol->popup(ui_->LstViewFields->viewport()->mapToGlobal(at));
    });
    connect(u.LstViewLegend, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* entry, int column) { LstViewLegend_Edited(entry, column); });
    connect(u.mnuAllElements, &QAction::triggered, this, [this] { mnuAllElements_Click(); });
    connect(u.mnuSelectedElements, &QAction::triggered, this, [this] { mnuSelectedElements_Click(); });

    // Value range and sizes.
    click(u.CmdCalcMax, &frmKartoplot::CmdCalcMax_Click);
    click(u.CmdCalcMin, &frmKartoplot::CmdCalcMin_Click);
    connect(u.TxtChartMarkerSize, &QLineEdit::textChanged, this, [this] { TxtChartMarkerSize_Change(); });
    connect(u.SpinBtnChartSize, &QSpinBox::valueChanged, this, [this] { SpinBtnChartSize_Change(); });
    connect(u.TglBtnLockMin, &QToolButton::toggled, this, [this] { TglBtnLockMin_Click(); });
    for (QLineEdit* box : {u.TxtMinValue, u.TxtMaxValue, u.TxtMinValueMM, u.TxtLeaderWidth,
                           u.TxtOutlineWidth}) {
        box->installEventFilter(this);
    }

    // Run.
    for (int i = 0; i < 2; ++i) {
        connect(u.CmdOK[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { CmdOK_Click(i); });
    }
    connect(u.OpChartModeGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) {
            OpChartMode_Click(id);
        }
    });
    connect(u.OpChartPositionGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) {
            OpChartPosition_Click(id);
        }
    });

    // Symbols.
    click(u.CmdLabelTextSymbol, &frmKartoplot::CmdLabelTextSymbol_Click);
    click(u.CmdLegendTextSymbol, &frmKartoplot::CmdLegendTextSymbol_Click);
    click(u.CmdZigZagLine, &frmKartoplot::CmdZigZagLine_Click);
    click(u.CmdDiagrOutLine, &frmKartoplot::CmdDiagrOutLine_Click);
    click(u.CmdLeaderLine, &frmKartoplot::CmdLeaderLine_Click);
    click(u.CmdLeaderColor, &frmKartoplot::CmdLeaderColor_Click);
    click(u.CmdOutlineColor, &frmKartoplot::CmdOutlineColor_Click);
    click(u.CmdFont, &frmKartoplot::CmdFont_Click);
    click(u.CmdRandomStyles, &frmKartoplot::CmdRandomStyles_Click);

    // Language, hide, mail, legend check boxes.
    connect(u.CmbLanguage, &QComboBox::currentIndexChanged, this, [this] { CmbLanguage_Click(); });
    click(u.CmdCancel, &frmKartoplot::CmdCancel_Click);
    click(u.CmdMailTo, &frmKartoplot::CmdMailTo_Click);
    connect(u.ChkAddLegendMin, &QCheckBox::toggled, this, [this] { ChkAddLegendMin_Click(); });
    connect(u.ChkAddLegendMax, &QCheckBox::toggled, this, [this] { ChkAddLegendMax_Click(); });
    click(u.CmdLegendFileName, &frmKartoplot::CmdLegendFileName_Click);
    connect(u.ChkLoadLegend, &QCheckBox::toggled, this, [this] { ChkLoadLegend_Click(); });
    click(u.CmdSaveLegend, &frmKartoplot::CmdSaveLegend_Click);
    click(u.CmdLoadLegend, &frmKartoplot::CmdLoadLegend_Click);

    // Parameter files.
    click(u.CmdLoadParam, &frmKartoplot::CmdLoadParam_Click);
    click(u.CmdSaveParam, &frmKartoplot::CmdSaveParam_Click);

    // Graphics archive.
    click(u.CmdSaveGraphicsLayerToFile, &frmKartoplot::CmdSaveGraphicsLayerToFile_Click);
    click(u.CmdLoadGraphicsLayerFromFile, &frmKartoplot::CmdLoadGraphicsLayerFromFile_Click);

    // Chart tools and field deletion.
    click(u.CmdRemoveLabels, &frmKartoplot::CmdRemoveLabels_Click);
    click(u.CmdIdentityGraphics, &frmKartoplot::CmdIdentityGraphics_Click);
    click(u.CmdMultyFieldsDelete, &frmKartoplot::CmdMultyFieldsDelete_Click);

    // Commands still to come.
    click(u.CmdCreateLegend, &frmKartoplot::showFunctionNotAvailable);
}

bool frmKartoplot::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        Ui& u = *ui_;
        if (watched == u.TxtMinValue) {
            TxtMinValue_LostFocus();
        } else if (watched == u.TxtMaxValue) {
            TxtMaxValue_LostFocus();
        } else if (watched == u.TxtMinValueMM) {
            TxtMinValueMM_LostFocus();
        } else if (watched == u.TxtLeaderWidth) {
            TxtLeaderWidth_LostFocus();
        } else if (watched == u.TxtOutlineWidth) {
            TxtOutlineWidth_LostFocus();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmKartoplot::Form_Load() {
    trapped("Form_Load", [&] {
        Ui& u = *ui_;
        separators_ = injectedDecimal_.empty()
                          ? language::DecimalSeparators::fromSystem()
                          : language::DecimalSeparators::fromLocaleDecimal(injectedDecimal_);
        engine_.map = map_;
        engine_.document = document_;
        engine_.application = application_;
        engine_.interaction = interaction_;
        clearChartFields();
        engine_.separators = separators_;
        loaded_ = true;

        layers_ = engine_.map ? engine::GetMapLayers(engine_, true)
                              : std::vector<std::shared_ptr<host::FeatureLayer>>{};
        {
            const QSignalBlocker block(u.CmbLayers);
            u.CmbLayers->clear();
            for (const auto& layer : layers_) {
                u.CmbLayers->addItem(qs(layer->name()));
            }
        }
        if (!layers_.empty()) {
            setLayerIndexAndChange(0);
            PopulateGraphLayers(layers_.front()->name());
        }
        u.SSTab->setCurrentIndex(0);

        lineWidth_ = separators_.toNumberOrThrow(u.TxtOutlineWidth->text().toStdString());
        createDefaultSymbols();

        lastFolder_.clear();
        if (application_ && !application_->templates().empty()) {
            const std::string& path = application_->templates().back();
            const auto cut = path.find_last_of("/\\");
            lastFolder_ = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
        }

        {
            const QSignalBlocker block(u.CmbLanguage);
            const int found = u.CmbLanguage->findText(qs(language_));
            u.CmbLanguage->setCurrentIndex(found >= 0 ? found : 1);
        }
        CmbLanguage_Click();

        {
            const QSignalBlocker block(u.TglBtnLockMin);
            u.TglBtnLockMin->setChecked(true);
        }
        TglBtnLockMin_Click();

        u.TxtMaxValue->setText(QStringLiteral("8"));
        u.TxtMinValue->setText(QStringLiteral("0.5"));
        u.TxtMinValueMM->setText(QStringLiteral("1"));
        const double size = engine::CalcChartSize(sizeTexts(), mapScales(), separators_);
        const QString sizeText = qs(language::trimBlanks(separators_.format(size)));
        if (u.TxtChartMarkerSize->text() == sizeText) {
            TxtChartMarkerSize_Change();  // an unchanged text sends no change of its own
        }
        u.TxtChartMarkerSize->setText(sizeText);

        const bool russian = language::isRussian(language_);
        u.txtLegendSuffixMin->setText(russian ? QStringLiteral("мин.") : QStringLiteral("min."));
        u.txtLegendSuffixMax->setText(russian ? QStringLiteral("макс.") : QStringLiteral("max."));
    });
}

void frmKartoplot::createDefaultSymbols() {
    const auto textSymbol = [](const std::string& font, double size, std::string sample) {
        auto text = std::make_shared<host::TextSymbol>();
        text->color = host::Color{0, 0, 0};
        text->font.name = font;
        text->setSize(size);
        text->previewText = std::move(sample);
        text->verticalAlignment = host::VerticalAlignment::Center;
        text->horizontalAlignment = host::HorizontalAlignment::Left;
        return text;
    };
    using engine::plainLine;
    constexpr double kLabelSize = 6;       // points
    constexpr double kLegendSize = 10;     // points
    constexpr double kBreakWidth = 1;      // points
    constexpr double kLeaderWidth = 0.5;   // points
    const host::Color black{0, 0, 0};
    const host::Color white{255, 255, 255};

    labelText_ = textSymbol("Arial Narrow", kLabelSize, "2.8");
    showButtonPicture("CmdLabelTextSymbol", *labelText_);
    breakLine_ = plainLine(kBreakWidth, white);
    showButtonPicture("CmdZigZagLine", *breakLine_);
    outlineLine_ = plainLine(lineWidth_, black);
    showButtonPicture("CmdDiagrOutLine", *outlineLine_);
    setButtonColor("CmdOutlineColor", outlineLine_->color);
    leaderLine_ = plainLine(kLeaderWidth, black);
    showButtonPicture("CmdLeaderLine", *leaderLine_);
    setButtonColor("CmdLeaderColor", leaderLine_->color);
    legendText_ = textSymbol("Arial", kLegendSize,
                             language::isRussian(language_) ? "поле" : "field");
    showButtonPicture("CmdLegendTextSymbol", *legendText_);
}

void frmKartoplot::unload() {
    if (archiveDialog_) {
        archiveDialog_->unload();  // it lets the document go with this dialog
    }
    watchedConnection_.disconnect();
    watchedLayer_.reset();
    application_.reset();
    document_.reset();
    map_.reset();
    engine_.application.reset();
    engine_.document.reset();
    engine_.map.reset();
    chartFields_.clear();
    loadedLegendSymbols_ = host::SymbolArray{};
    savedLegendFields_.clear();
    layers_.clear();
    graphicsLayers_.clear();
    labelText_.reset();
    legendText_.reset();
    breakLine_.reset();
    outlineLine_.reset();
    leaderLine_.reset();
    loaded_ = false;

    // Controls go back to their design values: the next load starts afresh.
    const bool visible = isVisible();
    delete ui_->content;
    ui_ = std::make_unique<Ui>();
    buildUi();
    connectUi();
    if (visible) {
        ui_->content->show();
    }
}

void frmKartoplot::closeEvent(QCloseEvent* event) {
    unload();
    QDialog::closeEvent(event);
}

void frmKartoplot::CmdCancel_Click() {
    // Hidden, the dialog keeps its settings but holds no references to the host's objects.
    application_.reset();
    document_.reset();
    map_.reset();
    hide();
}

void frmKartoplot::CmbLanguage_Click() {
    trapped("CmbLanguage_Click", [&] {
        language_ = ui_->CmbLanguage->currentText().toStdString();
        applyLanguageTexts();
        language::LoadMainFormMessages(messages_, language_);
        language::LoadModuleMessages(engine_.messages, language_);
        engine_.notices.load(language_);
        if (loaded_) {
            // Composed captions follow the language at once.
            ChekSelectedOnLayer();
            const int placement = ui_->OpChartPositionGroup->checkedId();
            if (placement >= 0) {
                OpChartPosition_Click(placement);
            }
        }
    });
}

std::string frmKartoplot::mailLink() const {
    const QByteArray subject = QUrl::toPercentEncoding(QString::fromLatin1(kMailSubject));
    const QByteArray body = QUrl::toPercentEncoding(ui_->TxtMailBody->toPlainText());
    return std::string("mailto:") + KARTOPLOT_SUPPORT_ADDRESS + "?subject=" + subject.toStdString() +
           "&body=" + body.toStdString();
}

void frmKartoplot::CmdMailTo_Click() {
    trapped("CmdMailTo_Click", [&] {
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        if (!interaction_->openUrl(mailLink())) {
            message(kAutoMethodFailed);
        }
    });
}

void frmKartoplot::ChkAddLegendMin_Click() {
    ui_->txtLegendSuffixMin->setEnabled(ui_->ChkAddLegendMin->isChecked());
}

void frmKartoplot::ChkAddLegendMax_Click() {
    ui_->txtLegendSuffixMax->setEnabled(ui_->ChkAddLegendMax->isChecked());
}

std::optional<std::string> frmKartoplot::chooseFile(host::FileDialogRequest request,
                                                    const std::string& ending, bool forSaving) {
    if (!interaction_) {
        throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
    }
    request.fileName = ui_->CmbLayers->currentText().toStdString() + ending;
    request.initialFolder = lastFolder_;
    auto path = forSaving ? interaction_->saveFile(request) : interaction_->openFile(request);
    if (path) {
        lastFolder_ = engine::RemoveFileFromPath(*path);
    }
    return path;
}

void frmKartoplot::showFunctionNotAvailable() {
    trapped("showFunctionNotAvailable", [&] {
        language::NoticeMessages notices;
        notices.load(language_);
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        interaction_->messageBox(notices.text(language::NoticeMessage::FunctionNotAvailable),
                                 kMessageTitle, host::MessageButtons::Ok,
                                 host::MessageIcon::Information);
    });
}

void frmKartoplot::CmdSaveGraphicsLayerToFile_Click() {
    trapped("CmdSaveGraphicsLayerToFile_Click", [&] { showArchiveDialog(true); });
}

void frmKartoplot::CmdLoadGraphicsLayerFromFile_Click() {
    trapped("CmdLoadGraphicsLayerFromFile_Click", [&] { showArchiveDialog(false); });
}

void frmKartoplot::showArchiveDialog(bool saving) {
    if (!archiveDialog_) {
        archiveDialog_ = std::make_unique<archive::FrmOpenSaveGraphLayer>(this);
    }
    archiveDialog_->setDocument(document_);
    archiveDialog_->setMode(saving ? archive::ArchiveMode::Save : archive::ArchiveMode::Load);
    archiveDialog_->setLanguage(language_);
    archiveDialog_->setInteraction(interaction_);
    archiveDialog_->showModeless();
}

// ---- pictures -----------------------------------------------------------------------------

QImage frmKartoplot::swatchOf(const host::Symbol& symbol) const {
    return preview::SymbolToPicture(symbol, chartFields_.swatchSize().width(),
                                    chartFields_.swatchSize().height(), kPictureGap);
}

QImage frmKartoplot::buttonPicture(const host::Symbol& symbol) const {
    return preview::SymbolToPicture(symbol, kPictureWidth, kPictureHeight, kPictureGap);
}

void frmKartoplot::showButtonPicture(const char* button, const host::Symbol& symbol) {
    auto* b = qobject_cast<QPushButton*>(control(QString::fromLatin1(button)));
    if (b != nullptr) {
        b->setIcon(QIcon(QPixmap::fromImage(buttonPicture(symbol))));
    }
}

void frmKartoplot::setButtonColor(const char* button, const host::Color& color) {
    if (control(QString::fromLatin1(button)) != nullptr) {
        setButtonColorValue(button, color.rgb());
    }
}

host::Color frmKartoplot::buttonColor(const char* button) const {
    return colorOfValue(buttonColorValue(button));
}

void frmKartoplot::TglBtnLockMin_Click() {
    const bool locked = ui_->TglBtnLockMin->isChecked();
    ui_->TglBtnLockMin->setIcon(QIcon(QPixmap(locked ? resources::LOCKED : resources::UNLOCKED)));
    // While the scale is locked the marker size is derived, not typed.
    ui_->TxtChartMarkerSize->setEnabled(!locked);
    ui_->SpinBtnChartSize->setEnabled(!locked);
}

}  // namespace kartoplot::dialog
