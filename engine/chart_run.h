// The chart creation run: one bar chart per feature of a point layer, placed around the
// feature and left on the layer's chart graphics layer as a group (the named chart marker with
// its attached data, value labels and zigzag marks), in create or recreate mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/chart_steps.h"
#include "engine/chart_style.h"
#include "engine/engine_state.h"
#include "engine/layer_files.h"
#include "host/layers.h"
#include "host/symbols.h"

namespace kartoplot::engine {

struct ChartRunResult {
    std::int64_t charted = 0;  // charts added to the layer
    bool completed = false;    // the run reached its end without a failure
    // What stopped the run, in words: the feature (by its key), the field and the value where
    // they are known, e.g. "feature 'Tokyo': field pop_max holds 'Infinity', which is not a
    // number". Empty when the run completed.
    std::string failure;
    // The chart symbol of a chart renderer equivalent to the run's charts (made from the last
    // chart: no leader, no values, the style's size); nothing when no chart was made.
    std::shared_ptr<host::BarChartSymbol> rendererChart;
    // The layer file the run's layer-file step wrote; empty when none was written.
    std::string layerFile;
};

// How a run goes over the layer.
struct ChartRunScope {
    bool selectedOnly = false;          // the layer's selected features only
    bool recreate = false;              // keep the chart layer and replace same-named charts
    host::ActiveView* view = nullptr;   // refreshed once at the end; nothing: the map itself
    LayerFileStep layerFile;            // the dialog's part in the layer-file step
};

// Charts the layer's features on the map with the style: one bar per style field. Create mode
// rebuilds the layer's chart graphics layer; recreate mode replaces same-named charts, and the
// placements KeepOldPlace and OverOldCharts align each chart on its old one.
// A failure ends the run with the report "CreateChartElements Kartoplot_v9_2 Line : N" and
// the reason in words in ChartRunResult::failure; charts added before stay, and no chart is
// ever left half-made. Values, points and chart sizes that are not finite numbers are
// failures. With ChartStyle::saveLayerFile and at least one chart, a copy of the layer drawn by
// the equivalent chart renderer is saved where the user says (SaveLayerFile, proposing the
// layer's name). The view is refreshed once at the end.
ChartRunResult CreateChartElements(host::Map& map, host::FeatureLayer& layer, const ChartStyle& style,
                                   const ChartRunScope& scope, const EngineServices& services);

// The dialog's run: the settings become a style (chartStyleFromSettings, whose failures are
// the run's own) and the run goes on the state's map, refreshing the document's active view.
// placementCode 0..14 places new charts; in recreate mode −1 keeps each old chart's place and
// −2 lays the charts over those of the graphics layer settings.CmbOldChartLayer. `layerFile`
// is the dialog's part in the layer-file step (settings.ChkSaveLyrFile).
ChartRunResult CreateChartElements(EngineState& state, host::FeatureLayer& layer,
                                   int placementCode, bool selectedOnly, bool recreate,
                                   const std::vector<std::string>& fieldNames,
                                   const host::SymbolArray& chartSymbols,
                                   const ChartRunSettings& settings,
                                   const LayerFileStep& layerFile = {});

}  // namespace kartoplot::engine
