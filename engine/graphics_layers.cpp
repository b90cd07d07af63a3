#include "engine/graphics_layers.h"

#include "errors/error_handling.h"

namespace kartoplot::engine {

namespace {

using language::SharedMessage;

// Title of messages that name none of their own.
constexpr const char* kProgramTitle = "Kartoplot";

host::Map& focusMap(const EngineState& state) {
    if (!state.map) {
        throw HostError(errnum::kObjectMissing, "Kartoplot", "No map is open");
    }
    return *state.map;
}

// Reports under the procedure's name that the state lends no map.
void reportNoMap(const char* procedure) {
    ErrorTrap trap(procedure, kEngineModule);
    trap.run([] { throw HostError(errnum::kObjectMissing, "Kartoplot", "No map is open"); });
}

void tell(const EngineServices& services, const std::string& text, const std::string& title,
          host::MessageIcon icon) {
    if (services.interaction) {
        services.interaction->messageBox(text, title.empty() ? kProgramTitle : title,
                                      host::MessageButtons::Ok, icon);
    }
}

void collectLayers(const std::shared_ptr<host::Layer>& layer, bool pointOnly,
                   std::vector<std::shared_ptr<host::FeatureLayer>>& out) {
    if (layer->kind() == host::LayerKind::Group) {
        for (const auto& member : static_cast<const host::GroupLayer&>(*layer).layers()) {
            collectLayers(member, pointOnly, out);
        }
        return;
    }
    auto featureLayer = std::static_pointer_cast<host::FeatureLayer>(layer);
    const auto& fc = featureLayer->featureClass();
    if (!pointOnly || (fc && fc->shapeType() == host::GeometryType::Point)) {
        out.push_back(std::move(featureLayer));
    }
}

}  // namespace

bool GraphicsLayerExists(const EngineState& state, const std::string& name) {
    return graphicsLayerExists(focusMap(state), name);
}

bool DeleteGraphicLayer(const EngineState& state, const std::string& name) {
    if (!state.map) {
        reportNoMap("DeleteGraphicLayer");
        return false;
    }
    return deleteGraphicLayer(*state.map, name);
}

bool graphicsLayerExists(const host::Map& map, const std::string& name) {
    const auto& basic = map.basicGraphicsLayer();
    for (int i = 0; i < basic.layerCount(); ++i) {
        if (basic.layer(i)->name() == name) {
            return true;
        }
    }
    return false;
}

bool deleteGraphicLayer(host::Map& map, const std::string& name) {
    ErrorTrap trap("DeleteGraphicLayer", kEngineModule);
    bool deleted = false;
    trap.run([&] {
        auto& basic = map.basicGraphicsLayer();
        for (int i = 0; i < basic.layerCount(); ++i) {
            if (basic.layer(i)->name() == name) {
                trap.at(1);
                basic.deleteLayer(name);
                deleted = true;
                return;
            }
        }
    });
    return deleted;
}

std::shared_ptr<host::GraphicsLayer> AddGraphicsLayer(const EngineServices& services,
                                                      const std::string& name, host::Map& map,
                                                      bool makeActive) {
    try {
        auto layer = map.basicGraphicsLayer().addLayer(name);
        layer->setReferenceScale(map.referenceScale() != 0 ? map.referenceScale() : map.mapScale());
        if (makeActive) {
            map.setActiveGraphicsLayer(layer);
        }
        return layer;
    } catch (const HostError& e) {
        tell(services,
             e.description() + "\n" +
                 services.messages.text(SharedMessage::AnnotationLayerNotCreated) + name,
             "", host::MessageIcon::Exclamation);
        return nullptr;
    }
}

ChartGraphicsLayers CreateChartGraphicsLayer(const EngineState& state,
                                             const host::FeatureLayer& layer, bool recreate,
                                             const std::string& suffix, int placementCode,
                                             const std::string& oldChartLayerName) {
    if (!state.map) {
        reportNoMap("CreateChartGraphicsLayer");
        return {};
    }
    return CreateChartGraphicsLayer(*state.map, state, layer, recreate, suffix, placementCode,
                                    oldChartLayerName);
}

ChartGraphicsLayers CreateChartGraphicsLayer(host::Map& map, const EngineServices& services,
                                             const host::FeatureLayer& layer, bool recreate,
                                             const std::string& suffix, int placementCode,
                                             const std::string& oldChartLayerName) {
    ErrorTrap trap("CreateChartGraphicsLayer", kEngineModule);
    ChartGraphicsLayers result;
    trap.run([&] {
        const std::string name = layer.name() + suffix;
        trap.at(1);
        if (recreate) {
            if (!graphicsLayerExists(map, name)) {
                result.target = AddGraphicsLayer(services, name, map, true);
            } else {
                result.target = map.basicGraphicsLayer().findLayer(name);
                map.setActiveGraphicsLayer(result.target);
            }
        } else {
            trap.at(2);
            if (graphicsLayerExists(map, name) && !deleteGraphicLayer(map, name)) {
                tell(services,
                     services.messages.text(SharedMessage::CannotDeleteAnnotationLayer) + name, "",
                     host::MessageIcon::None);
                return;
            }
            result.target = AddGraphicsLayer(services, name, map, true);
        }
        if (!result.target) {
            return;
        }
        trap.at(3);
        if (placementCode == kPlacementOverLayer) {
            result.oldCharts = map.basicGraphicsLayer().findLayer(oldChartLayerName);
            if (!result.oldCharts) {
                tell(services,
                     services.messages.text(SharedMessage::AnnotationLayerNotExist) +
                         oldChartLayerName,
                     services.messages.text(SharedMessage::RefreshChartsTitle),
                     host::MessageIcon::Exclamation);
                return;
            }
        }
        result.ok = true;
    });
    return result;
}

std::vector<std::shared_ptr<host::GraphicsLayer>> GetGraphicsLayers(const EngineState& state) {
    std::vector<std::shared_ptr<host::GraphicsLayer>> out;
    const auto& basic = focusMap(state).basicGraphicsLayer();
    for (int i = 0; i < basic.layerCount(); ++i) {
        out.push_back(basic.layer(i));
    }
    return out;
}

std::vector<std::shared_ptr<host::FeatureLayer>> GetMapLayers(const EngineState& state,
                                                              bool pointOnly) {
    ErrorTrap trap("GetMapLayers", kEngineModule);
    std::vector<std::shared_ptr<host::FeatureLayer>> out;
    trap.run([&] {
        const host::Map& map = focusMap(state);
        for (int i = 0; i < map.layerCount(); ++i) {
            collectLayers(map.layer(i), pointOnly, out);
        }
    });
    return out;
}

std::unique_ptr<host::FeatureCursor> CreateChartCursor(const EngineServices& services,
                                                       const host::FeatureLayer& layer,
                                                       bool selectedOnly) {
    ErrorTrap trap("CreateChartCursor", kEngineModule);
    std::unique_ptr<host::FeatureCursor> cursor;
    trap.run([&] {
        if (selectedOnly) {
            if (layer.selectionSet().count() > 0) {
                cursor = layer.selectionSet().search();
            } else {
                tell(services, services.messages.text(SharedMessage::NoSelectedObjects), "",
                     host::MessageIcon::None);
            }
            return;
        }
        if (!layer.featureClass()) {
            throw HostError(errnum::kObjectMissing, "FeatureLayer",
                            "The layer " + layer.name() + " has no data");
        }
        cursor = layer.featureClass()->search();
    });
    return cursor;
}

std::shared_ptr<host::Element> FindElementByName(const std::string& name,
                                                 const host::GraphicsLayer& graphicsLayer) {
    return graphicsLayer.findElementByName(name);
}

}  // namespace kartoplot::engine
