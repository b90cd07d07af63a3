#include "app/main_window.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <cmath>
#include <filesystem>

#include "errors/error_handling.h"
#include "host/layer_file.h"
#include "io/data_source_loader.h"
#include "io/vector_export.h"
#include "io/vector_import.h"
#include "render/export.h"

namespace kartoplot::app {

namespace {

using Msg = language::DesktopMessage;

// The program's name, alike in both languages: the window title and its message boxes' title.
constexpr const char* kTitle = "Kartoplot";
constexpr int kStatusMessageMs = 5000;
constexpr int kStatusLabelPadding = 8;  // pixels left and right of each status text
const QChar kThinSpace(0x2009);

// The application's document, made first when it has none.
std::shared_ptr<host::MapDocument> documentOf(host::Application& application) {
    if (!application.document()) {
        application.setDocument(std::make_shared<host::MapDocument>());
    }
    return application.document();
}

// Where a layer goes in the map: points above lines above areas (groups count as areas).
int drawRank(const host::Layer& layer) {
    if (layer.kind() != host::LayerKind::Feature) {
        return 0;
    }
    const auto& fc = static_cast<const host::FeatureLayer&>(layer).featureClass();
    if (!fc) {
        return 0;
    }
    switch (fc->shapeType()) {
        case host::GeometryType::Point:
        case host::GeometryType::Multipoint: return 2;
        case host::GeometryType::Polyline: return 1;
        default: return 0;
    }
}

// Adds the layers to the map: each on top of the layers of its rank, the first one highest.
void stackLayers(host::Map& map, const std::vector<std::shared_ptr<host::FeatureLayer>>& added) {
    constexpr int kTopRank = 2;
    const std::vector<std::shared_ptr<host::Layer>> existing = map.layers();
    std::vector<std::shared_ptr<host::Layer>> topFirst;
    for (int rank = kTopRank; rank >= 0; --rank) {
        for (const auto& layer : added) {
            if (drawRank(*layer) == rank) {
                topFirst.push_back(layer);
            }
        }
        for (const auto& layer : existing) {
            if (drawRank(*layer) == rank) {
                topFirst.push_back(layer);
            }
        }
    }
    for (const auto& layer : existing) {
        map.deleteLayer(*layer);
    }
    for (auto it = topFirst.rbegin(); it != topFirst.rend(); ++it) {
        map.addLayer(*it);
    }
}

// Whether a layer of the import lies in another coordinate system than the map's.
bool needsProjection(const std::vector<std::shared_ptr<host::FeatureLayer>>& layers,
                     const host::Map& map) {
    const auto& target = map.spatialReference();
    if (!target || target->definition().empty()) {
        return false;
    }
    for (const auto& layer : layers) {
        const auto& own = layer->featureClass()->spatialReference();
        if (own && !(*own == *target)) {
            return true;
        }
    }
    return false;
}

std::int64_t featureCount(const std::vector<std::shared_ptr<host::FeatureLayer>>& layers) {
    std::int64_t n = 0;
    for (const auto& layer : layers) {
        n += layer->featureClass()->featureCount();
    }
    return n;
}

// Whether some feature of the layers has a shape with a finite, non-empty extent.
bool hasDrawableFeature(const std::vector<std::shared_ptr<host::FeatureLayer>>& layers) {
    for (const auto& layer : layers) {
        auto cursor = layer->featureClass()->search();
        while (const host::Feature* f = cursor->nextFeature()) {
            const host::Envelope e = f->shape.envelope();
            if (!e.isEmpty() && std::isfinite(e.width()) && std::isfinite(e.height())) {
                return true;
            }
        }
    }
    return false;
}

// "3 features: 'Atlantis' (its coordinates are not finite numbers); ..." for the refused
// features of an import, the first few by name.
std::string refusalText(const io::ImportResult& result) {
    std::string text = std::to_string(result.refusedCount) + ":";
    for (const io::RefusedFeature& r : result.refused) {
        text += "\n" + (r.key.empty() ? r.layer + " #" + std::to_string(r.fid) : "'" + r.key + "'") +
                " — " + r.reason;
    }
    if (static_cast<std::int64_t>(result.refused.size()) < result.refusedCount) {
        text += "\n…";
    }
    return text;
}

}  // namespace

QString scaleText(double scale) {
    if (!std::isfinite(scale) || scale < 0.5) {
        return QStringLiteral("1 : ?");
    }
    const QString digits = QString::number(std::llround(scale));
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += kThinSpace;
        }
        grouped += digits[i];
    }
    return QStringLiteral("1 : ") + grouped;
}

MainWindow::MainWindow(std::shared_ptr<host::Application> application,
                       std::shared_ptr<host::UserInteraction> interaction,
                       const std::string& language, QWidget* parent)
    : QMainWindow(parent),
      application_(std::move(application)),
      interaction_(std::move(interaction)),
      canvas_(documentOf(*application_)) {
    texts_.load(language);
    setWindowTitle(kTitle);
    setCentralWidget(&canvas_);
    buildMenus();
    scaleLabel_.setObjectName("scaleLabel");
    referenceScaleLabel_.setObjectName("referenceScaleLabel");
    for (QLabel* label : {&scaleLabel_, &referenceScaleLabel_}) {
        label->setContentsMargins(kStatusLabelPadding, 0, kStatusLabelPadding, 0);
    }
    statusBar()->addPermanentWidget(&scaleLabel_);
    statusBar()->addPermanentWidget(&referenceScaleLabel_);
    commandsToolBar_ = addToolBar(text(Msg::CommandsToolBar));
    commandsToolBar_->setObjectName("commandsToolBar");

    connect(&canvas_, &MapCanvas::viewChanged, this, [this] {
        updateStatus();
        updateCommandState();
    });
    connect(&canvas_, &MapCanvas::selectionChanged, this, &MainWindow::updateCommandState);
    updateStatus();
    rememberDocumentState();
}

MainWindow::~MainWindow() = default;

QString MainWindow::text(language::DesktopMessage id) const {
    return QString::fromStdString(texts_.text(id));
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(text(Msg::FileMenu));
    buildProjectMenu(file);
    QAction* open = file->addAction(text(Msg::OpenDataAction), this, &MainWindow::openData);
    open->setObjectName("actionOpenData");
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));  // Ctrl+O opens projects
    QAction* exportMap =
        file->addAction(text(Msg::ExportMapAction), this, &MainWindow::exportMapFile);
    exportMap->setObjectName("actionExportMap");
    file->addSeparator();
    QAction* quit = file->addAction(text(Msg::QuitAction), this, &QWidget::close);
    quit->setObjectName("actionQuit");
    quit->setShortcut(QKeySequence::Quit);

    QMenu* view = menuBar()->addMenu(text(Msg::ViewMenu));
    QToolBar* navigation = addToolBar(text(Msg::NavigationToolBar));
    navigation->setObjectName("navigationToolBar");
    const auto add = [&](const QString& caption, const char* name, auto slot, QKeySequence key) {
        QAction* action = view->addAction(caption, &canvas_, slot);
        action->setObjectName(name);
        action->setShortcut(key);
        navigation->addAction(action);
        return action;
    };
    add(text(Msg::ZoomInAction), "actionZoomIn", &MapCanvas::zoomIn, QKeySequence::ZoomIn);
    add(text(Msg::ZoomOutAction), "actionZoomOut", &MapCanvas::zoomOut, QKeySequence::ZoomOut);
    add(text(Msg::FullExtentAction), "actionFullExtent", &MapCanvas::zoomToFullExtent,
        QKeySequence(Qt::Key_Home));
    view->addSeparator();
    navigation->addSeparator();
    const auto addTool = [&](const QString& caption, const char* name, MapCanvas::Tool tool) {
        QAction* action = view->addAction(caption, this, [this, tool] { canvas_.setTool(tool); });
        action->setObjectName(name);
        action->setCheckable(true);
        action->setChecked(canvas_.tool() == tool);
        toolGroup_.addAction(action);
        navigation->addAction(action);
        connect(&canvas_, &MapCanvas::toolChanged, action,
                [action, tool](MapCanvas::Tool chosen) { action->setChecked(chosen == tool); });
    };
    toolGroup_.setExclusive(true);
    addTool(text(Msg::PanToolAction), "actionPanTool", MapCanvas::Tool::Pan);
    addTool(text(Msg::SelectToolAction), "actionSelectTool", MapCanvas::Tool::Select);
    addTool(text(Msg::SelectElementsToolAction), "actionSelectElementsTool", MapCanvas::Tool::SelectElements);
    view->addSeparator();
    QAction* setReference = view->addAction(text(Msg::SetReferenceScaleAction), this,
                                            &MainWindow::setReferenceScaleToCurrent);
    setReference->setObjectName("actionSetReferenceScale");
    clearReferenceAction_ = view->addAction(text(Msg::ClearReferenceScaleAction), this,
                                            &MainWindow::clearReferenceScale);
    clearReferenceAction_->setObjectName("actionClearReferenceScale");

    // Layer > Save as…: one entry per feature layer of the map, listed when the menu opens.
    QMenu* layerMenu = menuBar()->addMenu(text(Msg::LayerMenu));
    layerMenu->setObjectName("menuLayer");
    QMenu* saveAs = layerMenu->addMenu(text(Msg::SaveLayerAsAction));
    saveAs->setObjectName("menuSaveLayerAs");
    connect(saveAs, &QMenu::aboutToShow, this, [this, saveAs] {
        saveAs->clear();
        for (const auto& layer : featureLayersOf(*map())) {
            saveAs->addAction(QString::fromStdString(layer->name()), this,
                              [this, layer] { saveLayerAs(*layer); });
        }
    });
}

std::vector<std::shared_ptr<host::FeatureLayer>> featureLayersOf(const host::Map& map) {
    std::vector<std::shared_ptr<host::FeatureLayer>> out;
    std::vector<std::shared_ptr<host::Layer>> pending(map.layers().rbegin(), map.layers().rend());
    while (!pending.empty()) {
        const std::shared_ptr<host::Layer> layer = pending.back();
        pending.pop_back();
        if (layer->kind() == host::LayerKind::Feature) {
            out.push_back(std::static_pointer_cast<host::FeatureLayer>(layer));
        } else if (layer->kind() == host::LayerKind::Group) {
            const auto& members = static_cast<const host::GroupLayer&>(*layer).layers();
            pending.insert(pending.end(), members.rbegin(), members.rend());
        }
    }
    return out;
}

bool MainWindow::saveLayerAs(const host::FeatureLayer& layer) {
    host::FileDialogRequest request;
    request.title = texts_.text(Msg::SaveLayerTitle);
    request.filter = texts_.text(Msg::SaveLayerFilter);
    request.fileName = layer.name() + ".gpkg";
    const auto chosen = interaction_->saveFile(request);
    if (!chosen) {
        return false;
    }
    std::string path = *chosen;
    if (std::filesystem::path(path).extension().empty()) {
        path += ".gpkg";
    }
    const io::ExportResult result = io::exportFeatureLayer(layer, path);
    if (!result.ok()) {
        interaction_->messageBox(texts_.text(Msg::LayerNotSavedStart) + "\n" + result.error, kTitle,
                                 host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        return false;
    }
    statusBar()->showMessage(text(Msg::LayerSavedStart) + QChar(' ') + QString::fromStdString(path),
                             kStatusMessageMs);
    return true;
}

int MainWindow::openFiles(const std::vector<std::string>& paths) {
    int opened = 0;
    for (const auto& path : paths) {
        opened += openFile(path) ? 1 : 0;
    }
    return opened;
}

bool MainWindow::openFile(const std::string& path) {
    if (path.size() > 4 && host::equalsIgnoringCase(path.substr(path.size() - 4), ".lyr")) {
        return openLayerFile(path);
    }
    host::Map& m = *map();
    io::ImportResult result = io::importVectorFile(path);
    if (result.ok() && needsProjection(result.layers, m)) {
        io::ImportOptions options;
        options.targetCrs = m.spatialReference()->definition();
        result = io::importVectorFile(path, options);
    }
    if (!result.ok()) {
        interaction_->messageBox(result.error, kTitle, host::MessageButtons::Ok,
                                 host::MessageIcon::Exclamation);
        return false;
    }
    if (!hasDrawableFeature(result.layers)) {
        // Nothing is added: an empty layer would open to an empty map without a word.
        const bool empty = result.refusedCount == 0 && featureCount(result.layers) == 0;
        std::string text = texts_.text(empty ? Msg::NoFeaturesStart : Msg::NothingToDrawStart) + path;
        if (result.refusedCount > 0) {
            text += "\n" + refusalText(result);
        }
        interaction_->messageBox(text, kTitle, host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        return false;
    }
    if (result.refusedCount > 0) {
        interaction_->messageBox(texts_.text(Msg::SkippedFeaturesStart) + path + ":\n" + refusalText(result),
                                 kTitle, host::MessageButtons::Ok, host::MessageIcon::Information);
    }
    stackLayers(m, result.layers);
    if (!m.spatialReference()) {
        for (const auto& layer : result.layers) {
            if (const auto& srs = layer->featureClass()->spatialReference()) {
                m.setSpatialReference(srs);
                break;
            }
        }
    }
    if (!dataShown_ && !m.fullExtent().isEmpty()) {
        dataShown_ = true;
        canvas_.zoomToFullExtent();
    } else {
        m.refresh();
    }
    return true;
}

bool MainWindow::openLayerFile(const std::string& path) {
    host::Map& m = *map();
    std::shared_ptr<host::Layer> layer;
    try {
        layer = host::readLayerFile(path, io::FileDataSourceLoader(m.spatialReference()
                                                                       ? m.spatialReference()->definition()
                                                                       : std::string()));
    } catch (const HostError& e) {
        interaction_->messageBox(e.description(), kTitle, host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        return false;
    }
    m.addLayer(layer);
    if (!m.spatialReference()) {
        if (const auto* feature = dynamic_cast<const host::FeatureLayer*>(layer.get())) {
            m.setSpatialReference(feature->featureClass()->spatialReference());
        }
    }
    if (!dataShown_ && !m.fullExtent().isEmpty()) {
        dataShown_ = true;
        canvas_.zoomToFullExtent();
    } else {
        m.refresh();
    }
    return true;
}

void MainWindow::openData() {
    host::FileDialogRequest request;
    request.title = texts_.text(Msg::OpenDataTitle);
    request.filter = texts_.text(Msg::OpenDataFilter);
    if (const auto path = interaction_->openFile(request)) {
        openFile(*path);
    }
}

void MainWindow::exportMapFile() {
    host::FileDialogRequest request;
    request.title = texts_.text(Msg::ExportMapTitle);
    request.filter = texts_.text(Msg::ExportMapFilter);
    request.fileName = "map.png";
    const auto chosen = interaction_->saveFile(request);
    if (!chosen) {
        return;
    }
    std::string path = *chosen;
    if (std::filesystem::path(path).extension().empty()) {
        path += ".png";
    }
    const host::DisplayTransformation& view = map()->screenDisplay().transformation();
    render::ExportOptions options;
    options.width = view.deviceWidth();
    options.height = view.deviceHeight();
    options.dpi = view.resolution();
    options.extent = view.visibleBounds();
    const std::string error = render::exportMap(*map(), path, options);
    if (!error.empty()) {
        interaction_->messageBox(error, kTitle, host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        return;
    }
    statusBar()->showMessage(text(Msg::MapWrittenStart) + QString::fromStdString(path),
                             kStatusMessageMs);
}

void MainWindow::setReferenceScaleToCurrent() {
    map()->setReferenceScale(map()->mapScale());
    map()->refresh();
}

void MainWindow::clearReferenceScale() {
    map()->setReferenceScale(0);
    map()->refresh();
}

void MainWindow::updateStatus() {
    scaleLabel_.setText(text(Msg::ScaleStart) + scaleText(map()->mapScale()));
    const double reference = map()->referenceScale();
    referenceScaleLabel_.setText(reference > 0
                                     ? text(Msg::ReferenceScaleStart) + scaleText(reference)
                                     : text(Msg::NoReferenceScale));
    clearReferenceAction_->setEnabled(reference > 0);
}

void MainWindow::setCommand(CommandButton button) {
    command_ = std::move(button);
    if (!commandAction_) {
        commandAction_ = commandsToolBar_->addAction(command_.icon, command_.text);
        commandAction_->setObjectName("actionCommand");
        connect(commandAction_, &QAction::triggered, this, &MainWindow::runCommand);
    }
    commandAction_->setIcon(command_.icon);
    commandAction_->setText(command_.text);
    commandAction_->setToolTip(command_.toolTip);
    updateCommandState();
}

void MainWindow::updateCommandState() {
    if (!commandAction_) {
        return;
    }
    bool enabled = false;
    ErrorTrap trap("Enabled", "MainWindow");
    trap.run([&] { enabled = !command_.enabled || command_.enabled(); });
    commandAction_->setEnabled(enabled);
}

void MainWindow::runCommand() {
    if (command_.onClick) {
        ErrorTrap trap("OnClick", "MainWindow");
        trap.run([&] { command_.onClick(); });
    }
    updateCommandState();
    updateTitle();
}

}  // namespace kartoplot::app
