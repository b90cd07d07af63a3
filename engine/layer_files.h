// Chart layer files: the copy of a charted layer drawn by a chart renderer equivalent to the
// run's charts, the run's layer-file step that saves it where the user says, and the reading
// of a chart layer file's symbols and fields for a legend.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "host/layers.h"
#include "host/symbols.h"

namespace kartoplot::engine {

// The label of the chart renderer a run saves.
inline constexpr const char* kChartRendererLabel = "Label";

// The renderer's chart symbol made from a run's last chart: a copy (the chart on the map keeps
// its own symbol and leader) without leader callout and values, with `markerSize` points as
// the size of the range's maximum.
std::shared_ptr<host::BarChartSymbol> rendererChartSymbol(const host::BarChartSymbol& lastChart,
                                                          double markerSize);

// A copy of the layer (same data source, definition query, name and selection) drawn by a
// chart renderer of `chartSymbol` over `fieldNames` in bar order, labelled "Label".
std::shared_ptr<host::FeatureLayer> chartLayerCopy(const host::FeatureLayer& layer,
                                                   std::shared_ptr<host::BarChartSymbol> chartSymbol,
                                                   const std::vector<std::string>& fieldNames);

// How the dialog takes part in the layer-file step.
struct LayerFileStep {
    std::string* lastFolder = nullptr;        // the file dialog's folder; set to the chosen one
    std::function<void(bool)> setDialogReach;  // false while the file dialog is open, then true
};

// Asks for a file name ("Save legend as:", "Layer *.lyr|*.lyr", defaultName + ".lyr", in the
// step's folder) and writes the layer there as a layer file. Returns the path written; ""
// when the user cancelled (nothing written, folder kept) or after a report under
// "SaveLayerFile" when the file could not be written. The dialog is given back in every case.
std::string SaveLayerFile(const EngineServices& services, const host::FeatureLayer& layer,
                          const std::string& defaultName, const LayerFileStep& step);

// LoadLegend's layer-file branch: appends the chart renderer's fields and, one per field, its
// chart symbol's fill symbols (a stand-in fill where the symbol is missing or no fill) and
// returns true. The file's data is not read. A layer file whose layer is not drawn by a chart
// renderer gets "This is not a file of chart layer"; an unreadable one a report under
// "LoadLegend"; both append nothing and return false.
bool loadChartLayerFile(const EngineServices& services, const std::string& fileName,
                        host::SymbolArray& symbols, std::vector<std::string>& fields);

}  // namespace kartoplot::engine
