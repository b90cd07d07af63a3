// The feature layers a drawing goes through and the features it draws, shared by the drawing
// on one thread and the banded drawing.
#pragma once

#include "host/layers.h"

namespace kartoplot::render {

// Calls visit(featureLayer) for every visible feature layer in `layer` that has a feature class
// and a renderer: the layer itself, or a group's members bottom first, groups within groups.
template <class Visit>
void forEachDrawnLayer(const host::Layer& layer, const Visit& visit) {
    if (!layer.visible()) {
        return;
    }
    if (layer.kind() == host::LayerKind::Group) {
        const auto& members = static_cast<const host::GroupLayer&>(layer).layers();
        for (auto it = members.rbegin(); it != members.rend(); ++it) {
            forEachDrawnLayer(**it, visit);
        }
        return;
    }
    const auto& featureLayer = static_cast<const host::FeatureLayer&>(layer);
    if (featureLayer.featureClass() && featureLayer.renderer()) {
        visit(featureLayer);
    }
}

// Whether a feature is drawn in the visible area: it has a shape, and it meets the area unless
// it is a point (a point's symbol reaches beyond the point, so points near the view are kept).
inline bool isDrawnIn(const host::Feature& feature, const host::Envelope& visible) {
    const host::Envelope e = feature.shape.envelope();
    return !e.isEmpty() && (feature.shape.type() == host::GeometryType::Point || e.intersects(visible));
}

}  // namespace kartoplot::render
