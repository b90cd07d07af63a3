#include "host/map.h"

#include <algorithm>

#include "errors/error_handling.h"

namespace kartoplot::host {

void ActiveView::refresh() {
    ++refreshCount_;
    lastPhase_.reset();
    lastArea_.reset();
    refreshed_.fire();
}

void ActiveView::partialRefresh(DrawPhase phase, std::optional<Envelope> area) {
    ++refreshCount_;
    lastPhase_ = phase;
    lastArea_ = std::move(area);
    refreshed_.fire();
}

Map::Map(std::string name) : name_(std::move(name)), active_(basic_) {}

const std::shared_ptr<Layer>& Map::layer(int index) const {
    if (index < 0 || index >= layerCount()) {
        throw HostError(errnum::kSubscriptRange, "Map",
                        "Layer index " + std::to_string(index) + " is outside the map");
    }
    return layers_[static_cast<std::size_t>(index)];
}

void Map::addLayer(std::shared_ptr<Layer> layer) {
    if (!layer) {
        throw HostError(errnum::kObjectMissing, "Map", "No layer to add");
    }
    layers_.insert(layers_.begin(), std::move(layer));
}

void Map::deleteLayer(const Layer& layer) {
    std::erase_if(layers_, [&](const auto& l) { return l.get() == &layer; });
}

double Map::referenceScale() const noexcept {
    return screenDisplay().transformation().referenceScale();
}

void Map::setReferenceScale(double scale) noexcept {
    screenDisplay().transformation().setReferenceScale(scale);
}

void Map::setSpatialReference(std::shared_ptr<const SpatialReference> srs) {
    srs_ = std::move(srs);
    if (srs_ && srs_->units() != MapUnits::Unknown) {
        screenDisplay().transformation().setUnits(srs_->units());
    }
}

namespace {
void expandByLayer(Envelope& e, const Layer& layer) {
    if (!layer.visible()) {
        return;
    }
    if (layer.kind() == LayerKind::Group) {
        for (const auto& member : static_cast<const GroupLayer&>(layer).layers()) {
            expandByLayer(e, *member);
        }
    } else if (const auto& fc = static_cast<const FeatureLayer&>(layer).featureClass()) {
        e.expand(fc->extent());
    }
}
}  // namespace

Envelope Map::fullExtent() const {
    Envelope e;
    for (const auto& layer : layers_) {
        expandByLayer(e, *layer);
    }
    return e;
}

void Map::setActiveGraphicsLayer(std::shared_ptr<GraphicsLayer> layer) {
    active_ = layer ? std::move(layer) : basic_;
}

PageLayout::PageLayout() {
    DisplayTransformation& t = screenDisplay().transformation();
    t.setUnits(units_);
    t.setScale(1.0);
    t.setCenter({width_ / 2, height_ / 2});
}

void PageLayout::setPage(double width, double height, MapUnits units) {
    width_ = width;
    height_ = height;
    units_ = units;
    DisplayTransformation& t = screenDisplay().transformation();
    t.setUnits(units);
    t.setCenter({width / 2, height / 2});
}

Envelope PageLayout::mapFrame() const {
    if (mapFrame_) {
        return *mapFrame_;
    }
    const double margin = convertUnits(10.0, MapUnits::Millimetres, units_);
    return Envelope(margin, margin, width_ - margin, height_ - margin);
}

MapDocument::MapDocument() {
    focusMap_ = std::make_shared<Map>();
    maps_.push_back(focusMap_);
}

void MapDocument::setFocusMap(const std::shared_ptr<Map>& map) {
    if (std::find(maps_.begin(), maps_.end(), map) == maps_.end()) {
        throw HostError(errnum::kInvalidCall, "MapDocument", "The map is not in this document");
    }
    focusMap_ = map;
}

void MapDocument::addMap(std::shared_ptr<Map> map) {
    if (!map) {
        throw HostError(errnum::kObjectMissing, "MapDocument", "No map to add");
    }
    maps_.push_back(std::move(map));
}

ActiveView& MapDocument::activeView() noexcept {
    if (layoutActive_) {
        return *pageLayout_;
    }
    return *focusMap_;
}

Application::Application() : templates_{"Normal.kpt"} {}

void Application::setDocument(std::shared_ptr<MapDocument> document) {
    document_ = std::move(document);
    templates_.resize(1);
    if (document_ && !document_->path().empty()) {
        templates_.push_back(document_->path());
    }
}

}  // namespace kartoplot::host
