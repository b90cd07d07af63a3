#include "engine/chart_run.h"

#include <cmath>
#include <optional>

#include "errors/error_handling.h"
#include "engine/chart_steps.h"
#include "engine/chart_symbols.h"
#include "engine/element_data.h"
#include "engine/graphics_layers.h"
#include "engine/placement.h"

namespace kartoplot::engine {

namespace {

// Lines of the run, as its error reports name them.
enum RunLine : int {
    kLineStart = 10,
    kLineLayer = 20,
    kLineCursor = 30,
    kLineSettings = 40,
    kLineRange = 100,
    kLineValues = 110,
    kLineSymbol = 120,
    kLineElements = 130,
    kLineName = 140,
    kLineData = 150,
    kLineOldChart = 160,
    kLinePlacement = 180,
    kLineGroup = 190,
    kLineLeader = 200,
    kLineLabels = 210,
    kLineAdd = 220,
    kLineEnd = 300,
};

// What every chart of one run shares, worked out once before the first feature.
struct RunSetup {
    host::NameList names;            // the data set's entry names
    std::vector<int> fieldIndex;     // position of each style field, −1 when missing
    int keyIndex = -1;
    RunSymbols symbols;
    double leaderTolerance = 0.0;    // points
    double mapUnitsPerPoint = 0.0;
    double thickness = 0.0;          // the 3D depth in map units
};

RunSetup prepareRun(const ChartStyle& style, const host::Fields& fields, const std::string& alias,
                    const host::DisplayTransformation& transform) {
    RunSetup setup;
    setup.mapUnitsPerPoint = transform.pointsToMapDistance(1.0);
    setup.thickness = transform.pointsToMapDistance(style.thickness);
    const std::size_t n = style.fields.size();
    auto names = std::make_shared<std::vector<std::string>>();
    names->reserve(n + 3);
    names->insert(names->end(), {kLayerNameKey, kVmaxKey, kVminKey});
    names->insert(names->end(), style.fields.begin(), style.fields.end());
    setup.names = std::move(names);
    // Field positions, looked up once: every feature of a cursor has the same fields.
    setup.fieldIndex.reserve(n);
    for (const std::string& field : style.fields) {
        setup.fieldIndex.push_back(fields.findField(field));
    }
    setup.keyIndex = fields.findField(style.keyField);
    if (setup.keyIndex < 0) {
        setup.keyIndex = fields.findField(alias + "." + style.keyField);
    }
    setup.symbols = runSymbols(style);
    setup.leaderTolerance = halfDiagonal(style.size, static_cast<int>(n), style.barWidth, style.barSpacing);
    return setup;
}

// The key value of the feature as text, or nothing when it has none.
std::optional<std::string> keyText(const host::Feature& feature, int keyIndex,
                                   const language::DecimalSeparators& sep) {
    if (keyIndex < 0 || feature.value(keyIndex).isNull() || feature.value(keyIndex).isEmpty()) {
        return std::nullopt;
    }
    return valueText(feature.value(keyIndex), sep);
}

// The feature's own marker on the anchor, measured as the placement needs it.
host::MarkerElement featureMarker(const host::FeatureLayer& layer, const host::Feature& feature,
                                  const host::Point& anchor) {
    host::MarkerElement marker;
    if (auto symbol = layer.symbolForFeature(feature)) {
        if (!symbol->isMarker()) {
            throw HostError(errnum::kTypeMismatch, "Kartoplot",
                            "The symbol of " + layer.name() + " is not a marker symbol");
        }
        marker.symbol = std::static_pointer_cast<host::MarkerSymbol>(symbol);
    }
    marker.setGeometry(anchor);
    return marker;
}

// One run over the features of a cursor; the trap's line follows the steps.
class ChartRun {
public:
    ChartRun(host::Map& map, host::FeatureLayer& layer, const ChartStyle& style, const ChartRunScope& scope,
             const EngineServices& services, ErrorTrap& trap)
        : map_(map), layer_(layer), style_(style), scope_(scope), services_(services), trap_(trap) {}

    // Charts every feature of the cursor; a step's failure propagates with the feature named.
    void chartAll(host::FeatureCursor& cursor, const ChartGraphicsLayers& layers, RunSetup setup,
                  ChartRunResult& result) {
        setup_ = std::move(setup);
        const host::Feature* current = nullptr;
        try {
            while ((current = cursor.nextFeature()) != nullptr) {
                chartOne(*current, layers);
                ++result.charted;
                if (services_.chartAdded) {
                    services_.chartAdded(result.charted);
                }
            }
        } catch (...) {
            if (current != nullptr && trap_.line() >= kLineValues) {  // not a setting's failure
                const auto key = keyText(*current, setup_.keyIndex, services_.separators);
                featureLabel = key ? "feature '" + *key + "'" : "feature " + std::to_string(current->oid);
            }
            throw;
        }
    }

    std::string featureLabel;  // the failing feature, in words

    // The symbol of the last chart added (the one on the map), or nullptr.
    const std::shared_ptr<host::BarChartSymbol>& lastChart() const noexcept { return lastChart_; }

private:
    void chartOne(const host::Feature& feature, const ChartGraphicsLayers& layers) {
        const host::ScreenDisplay& display = map_.screenDisplay();
        trap_.at(kLineRange);
        if (const auto& unread = style_.unreadValues) {
            throw ChartStepError(unread->number, "Kartoplot", unread->description, unread->reason);
        }
        trap_.at(kLineValues);
        ChartValues& values = values_;
        readChartValues(feature, setup_.fieldIndex, style_, layer_.name(), services_.separators, values);
        trap_.at(kLineSymbol);
        const auto chart = makeChartSymbol(values, style_);
        trap_.at(kLineElements);
        const host::Point anchor = GetAnchorPoint(feature.shape);
        if (!std::isfinite(anchor.x) || !std::isfinite(anchor.y)) {
            throw ChartStepError(errnum::kOverflow, "Kartoplot", "Overflow", "its point has no finite coordinates");
        }
        auto element = std::make_shared<host::MarkerElement>();
        element->symbol = chart;
        element->setGeometry(anchor);
        const host::MarkerElement marker = featureMarker(layer_, feature, anchor);
        trap_.at(kLineName);
        element->setName(keyText(feature, setup_.keyIndex, services_.separators).value_or(kNullText));
        trap_.at(kLineData);
        SetElementData(*element, setup_.names, std::move(values.data));
        trap_.at(kLineOldChart);
        const auto [old, sameName] = oldCharts(element->name(), layers);
        trap_.at(kLinePlacement);
        const host::Element* alignOn = alignsOnOldCharts(style_.placement) ? old.get() : nullptr;
        const host::Point placed = placeChart(*element, anchor, marker.queryBounds(display), style_,
                                              values.range, alignOn, display);
        element->setGeometry(placed);
        trap_.at(kLineGroup);
        const BarGeometry bars = barGeometry(host::barChartLayout(*chart), placed, setup_.mapUnitsPerPoint);
        const auto group = startChartGroup(element, bars, values, style_, services_.separators);
        trap_.at(kLineLeader);
        if (style_.leader) {
            CreateLeader(*chart, anchor, style_.leader->width, style_.leader->color, kLeaderGap,
                         setup_.leaderTolerance, setup_.symbols.leader);
        }
        trap_.at(kLineLabels);
        addLabelsAndMarks(*group, bars, values, style_, setup_.symbols, setup_.thickness,
                          *services_.interaction, services_.separators);
        // The chart goes onto the layer whole; the old one leaves only then.
        trap_.at(kLineAdd);
        layers.target->addElement(group);
        if (sameName && sameName->container() == layers.target.get()) {
            layers.target->deleteElement(*sameName);
        }
        lastChart_ = chart;
    }

    // In recreate mode: the chart to align on, and the same-named chart the new one replaces.
    std::pair<std::shared_ptr<host::Element>, std::shared_ptr<host::Element>> oldCharts(
        const std::string& name, const ChartGraphicsLayers& layers) const {
        if (!scope_.recreate) {
            return {};
        }
        if (style_.placement == Placement::OverOldCharts) {
            return {FindElementByName(name, *layers.oldCharts), FindElementByName(name, *layers.target)};
        }
        auto old = FindElementByName(name, *layers.target);
        return {old, old};
    }

    host::Map& map_;
    host::FeatureLayer& layer_;
    const ChartStyle& style_;
    const ChartRunScope& scope_;
    const EngineServices& services_;
    ErrorTrap& trap_;
    RunSetup setup_;
    ChartValues values_;  // reused from feature to feature
    std::shared_ptr<host::BarChartSymbol> lastChart_;
};

// The reason in words of the failure being handled.
std::string reasonOf(const std::exception& e) {
    if (const auto* step = dynamic_cast<const ChartStepError*>(&e); step != nullptr && !step->reason().empty()) {
        return step->reason();
    }
    const auto* hostError = dynamic_cast<const HostError*>(&e);
    return hostError != nullptr ? hostError->description() : std::string(e.what());
}

}  // namespace

ChartRunResult CreateChartElements(host::Map& map, host::FeatureLayer& layer, const ChartStyle& style,
                                   const ChartRunScope& scope, const EngineServices& services) {
    ErrorTrap trap("CreateChartElements", kEngineModule);
    ChartRunResult result;
    ChartRun run(map, layer, style, scope, services, trap);
    const auto body = [&] {
        trap.at(kLineStart);
        if (!services.interaction) {
            throw HostError(errnum::kObjectMissing, "Kartoplot", "The chart engine has no user interface");
        }
        trap.at(kLineLayer);
        const ChartGraphicsLayers layers =
            CreateChartGraphicsLayer(map, services, layer, scope.recreate, kChartLayerSuffix,
                                     placementCode(style.placement), style.oldChartLayer);
        if (!layers.ok) {
            return;
        }
        trap.at(kLineCursor);
        auto cursor = CreateChartCursor(services, layer, scope.selectedOnly);
        if (!cursor) {
            return;
        }
        trap.at(kLineSettings);
        const auto& featureClass = layer.featureClass();
        // Charts are measured on the map's own display, even while the page layout is shown.
        RunSetup setup = prepareRun(style, cursor->fields(), featureClass ? featureClass->aliasName() : "",
                                    map.screenDisplay().transformation());
        run.chartAll(*cursor, layers, std::move(setup), result);
        trap.at(kLineEnd);
        // The renderer gets a copy of the last chart's symbol: stripping the leader from the
        // symbol itself would take it from the chart on the map.
        if (run.lastChart()) {
            result.rendererChart = rendererChartSymbol(*run.lastChart(), style.size);
        }
        result.completed = true;
        if (style.saveLayerFile && result.rendererChart) {
            const auto copy = chartLayerCopy(layer, result.rendererChart, style.fields);
            result.layerFile = SaveLayerFile(services, *copy, layer.name(), scope.layerFile);
        }
    };
    trap.run([&] {
        try {
            body();
        } catch (const std::exception& e) {
            // The reason in words goes beside the record that the trap writes.
            const std::string reason = reasonOf(e);
            result.failure = run.featureLabel.empty() ? reason : run.featureLabel + ": " + reason;
            throw;
        }
    });
    if (scope.view != nullptr) {
        scope.view->refresh();
    } else {
        map.refresh();
    }
    return result;
}

ChartRunResult CreateChartElements(EngineState& state, host::FeatureLayer& layer, int placementCode,
                                   bool selectedOnly, bool recreate,
                                   const std::vector<std::string>& fieldNames,
                                   const host::SymbolArray& chartSymbols, const ChartRunSettings& settings,
                                   const LayerFileStep& layerFile) {
    ChartRunResult result;
    if (!state.document || !state.map || !state.interaction) {
        ErrorTrap trap("CreateChartElements", kEngineModule);
        trap.at(kLineStart);
        result.failure = "The chart engine has no map document or no user interface";
        trap.run([&] { throw HostError(errnum::kObjectMissing, "Kartoplot", result.failure); });
        return result;
    }
    ChartStyleResult made = chartStyleFromSettings(settings, placementCode, fieldNames, chartSymbols,
                                                   state.separators);
    if (!made.style) {
        result.failure = made.failure;
        state.document->activeView().refresh();
        return result;
    }
    return CreateChartElements(*state.map, layer, *made.style,
                               ChartRunScope{selectedOnly, recreate, &state.document->activeView(), layerFile},
                               state);
}

}  // namespace kartoplot::engine
