#include "app/document_state.h"

namespace kartoplot::app {

namespace {

void addLayers(DocumentState& state, const std::vector<std::shared_ptr<host::Layer>>& layers) {
    for (const auto& layer : layers) {
        state.layers.emplace_back(layer.get(), layer->visible());
        if (const auto* group = dynamic_cast<const host::GroupLayer*>(layer.get())) {
            addLayers(state, group->layers());
        }
    }
}

}  // namespace

DocumentState documentState(const host::MapDocument& document) {
    DocumentState state;
    for (const auto& map : document.maps()) {
        addLayers(state, map->layers());
        const host::CompositeGraphicsLayer& basic = map->basicGraphicsLayer();
        state.graphicsChanges += basic.changeCount();
        for (int i = 0; i < basic.layerCount(); ++i) {
            state.graphicsLayers.push_back(basic.layer(i).get());
            state.graphicsChanges += basic.layer(i)->changeCount();
        }
        state.referenceScales.push_back(map->referenceScale());
    }
    state.graphicsChanges += document.pageLayout()->graphicsContainer().changeCount();
    return state;
}

}  // namespace kartoplot::app
