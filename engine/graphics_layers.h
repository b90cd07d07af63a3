// Chart graphics layers: finding, creating and deleting the graphics layer that holds a
// feature layer's charts (its name plus "_charts"), listing the map's layers for the dialog,
// opening the feature cursor of a run and finding a chart by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/placement.h"
#include "host/graphics.h"
#include "host/layers.h"

namespace kartoplot::engine {

inline constexpr const char* kChartLayerSuffix = "_charts";

struct ChartGraphicsLayers {
    bool ok = false;
    std::shared_ptr<host::GraphicsLayer> target;    // where the run puts its charts
    std::shared_ptr<host::GraphicsLayer> oldCharts; // placement −2: the layer to align on
};

// Prepares the chart graphics layer of `layer` on the map. Create mode deletes an existing one and
// makes it anew; recreate mode reuses (or makes) it; both make it the active graphics layer.
// With placement −2 the layer named oldChartLayerName must exist. Messages go through the
// state's interaction; failure gives ok = false.
ChartGraphicsLayers CreateChartGraphicsLayer(host::Map& map, const EngineServices& services,
                                             const host::FeatureLayer& layer, bool recreate,
                                             const std::string& suffix, int placementCode,
                                             const std::string& oldChartLayerName);
// The same on the state's map (reported under the procedure's name when there is none).
ChartGraphicsLayers CreateChartGraphicsLayer(const EngineState& state, const host::FeatureLayer& layer,
                                             bool recreate, const std::string& suffix,
                                             int placementCode,
                                             const std::string& oldChartLayerName);

// Whether the map has a graphics layer of exactly that name.
bool graphicsLayerExists(const host::Map& map, const std::string& name);
bool GraphicsLayerExists(const EngineState& state, const std::string& name);

// Deletes the graphics layer of that name; true when one was found and deleted.
bool deleteGraphicLayer(host::Map& map, const std::string& name);
bool DeleteGraphicLayer(const EngineState& state, const std::string& name);

// Adds a graphics layer with the map's reference scale (its current scale when the map has
// none) and optionally makes it active. On failure shows the error and "Annotation layer not
// created " + name, and returns nullptr.
std::shared_ptr<host::GraphicsLayer> AddGraphicsLayer(const EngineServices& services,
                                                      const std::string& name, host::Map& map,
                                                      bool makeActive);

// The map's graphics layers in order.
std::vector<std::shared_ptr<host::GraphicsLayer>> GetGraphicsLayers(const EngineState& state);

// The map's feature layers in map order, group layers searched recursively; with pointOnly
// only layers of point feature classes.
std::vector<std::shared_ptr<host::FeatureLayer>> GetMapLayers(const EngineState& state,
                                                              bool pointOnly);

// A forward cursor over the layer's selected features (nothing, after the message "No
// selected objects", when none is selected) or over all its features.
std::unique_ptr<host::FeatureCursor> CreateChartCursor(const EngineServices& services,
                                                       const host::FeatureLayer& layer,
                                                       bool selectedOnly);

// The first element of the layer named `name`; a group is found through its members' names.
std::shared_ptr<host::Element> FindElementByName(const std::string& name,
                                                 const host::GraphicsLayer& graphicsLayer);

}  // namespace kartoplot::engine
