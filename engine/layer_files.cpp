#include "engine/layer_files.h"

#include "engine/legend_files.h"
#include "errors/error_handling.h"
#include "host/layer_file.h"

namespace kartoplot::engine {

namespace {

// Gives the dialog back when the step ends, however it ends.
class DialogReach {
public:
    explicit DialogReach(const std::function<void(bool)>& set) : set_(set) {
        if (set_) {
            set_(false);
        }
    }
    ~DialogReach() {
        if (set_) {
            set_(true);
        }
    }
    DialogReach(const DialogReach&) = delete;
    DialogReach& operator=(const DialogReach&) = delete;

private:
    const std::function<void(bool)>& set_;
};

}  // namespace

std::shared_ptr<host::BarChartSymbol> rendererChartSymbol(const host::BarChartSymbol& lastChart,
                                                          double markerSize) {
    auto chart = std::static_pointer_cast<host::BarChartSymbol>(lastChart.clone());
    chart->background = nullptr;
    chart->values.clear();
    chart->size = markerSize;
    return chart;
}

std::shared_ptr<host::FeatureLayer> chartLayerCopy(const host::FeatureLayer& layer,
                                                   std::shared_ptr<host::BarChartSymbol> chartSymbol,
                                                   const std::vector<std::string>& fieldNames) {
    auto copy = layer.copy();
    auto renderer = std::make_shared<host::ChartRenderer>();
    renderer->chartSymbol = std::move(chartSymbol);
    renderer->fieldNames = fieldNames;
    renderer->label = kChartRendererLabel;
    copy->setRenderer(std::move(renderer));
    return copy;
}

std::string SaveLayerFile(const EngineServices& services, const host::FeatureLayer& layer,
                          const std::string& defaultName, const LayerFileStep& step) {
    std::string written;
    ErrorTrap trap("SaveLayerFile", kEngineModule);
    const DialogReach reach(step.setDialogReach);
    trap.run([&] {
        if (!services.interaction) {
            throw HostError(errnum::kObjectMissing, kEngineModule, "No user interaction service for the layer file");
        }
        host::FileDialogRequest request;
        request.title = services.messages.text(language::SharedMessage::SaveLegendAsTitle);
        request.filter = services.messages.text(language::SharedMessage::LayerFileFilter);
        request.filterIndex = 1;
        request.fileName = defaultName + ".lyr";
        request.initialFolder = step.lastFolder != nullptr ? *step.lastFolder : std::string();
        request.overwritePrompt = true;
        const auto path = services.interaction->saveFile(request);
        if (!path) {
            return;  // cancelled: nothing written
        }
        if (step.lastFolder != nullptr) {
            *step.lastFolder = RemoveFileFromPath(*path);
        }
        host::writeLayerFile(layer, *path);
        written = *path;
    });
    return written;
}

bool loadChartLayerFile(const EngineServices& services, const std::string& fileName,
                        host::SymbolArray& symbols, std::vector<std::string>& fields) {
    bool loaded = false;
    ErrorTrap trap("LoadLegend", kEngineModule);
    trap.run([&] {
        const auto record = host::readLayerFileRecord(fileName);
        const auto* layer = dynamic_cast<const host::FeatureLayerRecord*>(record.get());
        const auto* renderer =
            layer != nullptr ? dynamic_cast<const host::ChartRenderer*>(layer->renderer.get()) : nullptr;
        if (renderer == nullptr || !renderer->chartSymbol) {
            if (!services.interaction) {
                throw HostError(errnum::kObjectMissing, kEngineModule, fileName + " is not a chart layer file");
            }
            services.interaction->messageBox(services.messages.text(language::SharedMessage::NotChartLayerFile),
                                             "LoadLegend", host::MessageButtons::Ok,
                                             host::MessageIcon::Exclamation);
            return;
        }
        const host::SymbolArray& fills = renderer->chartSymbol->symbols;
        for (std::size_t k = 0; k < renderer->fieldNames.size(); ++k) {
            const int index = static_cast<int>(k);
            std::shared_ptr<host::Symbol> fill = index < fills.count() ? fills.element(index) : nullptr;
            symbols.add(std::dynamic_pointer_cast<host::FillSymbol>(fill) ? fill : standInFillSymbol());
        }
        fields.insert(fields.end(), renderer->fieldNames.begin(), renderer->fieldNames.end());
        loaded = true;
    });
    return loaded;
}

}  // namespace kartoplot::engine
