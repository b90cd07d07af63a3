// The modified mark of the desktop window: a document counts as changed when its state differs
// from the state it had when it was opened or saved. The state holds every layer of every map
// (group members too) with its visibility, every graphics layer, the count of changes made to
// the maps' graphics and the page layout's graphics (charts made or removed, elements added,
// moved or deleted), and each map's reference scale. Panning and zooming change none of these.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "host/map.h"

namespace kartoplot::app {

struct DocumentState {
    std::vector<std::pair<const host::Layer*, bool>> layers;  // in map order, groups before members
    std::vector<const host::GraphicsLayer*> graphicsLayers;
    std::uint64_t graphicsChanges = 0;
    std::vector<double> referenceScales;  // one per map
    friend bool operator==(const DocumentState&, const DocumentState&) = default;
};

// The state of the document now.
DocumentState documentState(const host::MapDocument& document);

}  // namespace kartoplot::app
