#include "host/layers.h"

#include "errors/error_handling.h"

namespace kartoplot::host {

std::shared_ptr<FeatureRenderer> SimpleRenderer::clone() const {
    auto copy = std::make_shared<SimpleRenderer>(*this);
    copy->symbol = symbol ? symbol->clone() : nullptr;
    return copy;
}

std::shared_ptr<Symbol> ChartRenderer::symbolForFeature(const Feature& feature,
                                                        const Fields& fields) const {
    if (!chartSymbol) {
        return nullptr;
    }
    auto chart = std::make_shared<BarChartSymbol>(*chartSymbol);
    chart->values.clear();
    for (const auto& name : fieldNames) {
        const int index = fields.findField(name);
        if (index < 0 || !fields.field(index).isNumeric()) {
            throw HostError(errnum::kNotFound, "ChartRenderer",
                            "The chart field " + name + " is missing or not numeric");
        }
        const Variant& v = feature.value(index);
        chart->values.push_back(v.isNumber() ? v.toDouble() : 0.0);
    }
    return chart;
}

std::shared_ptr<FeatureRenderer> ChartRenderer::clone() const {
    auto copy = std::make_shared<ChartRenderer>(*this);
    copy->chartSymbol =
        chartSymbol ? std::static_pointer_cast<BarChartSymbol>(chartSymbol->clone()) : nullptr;
    return copy;
}

FeatureLayer::FeatureLayer(std::string name, std::shared_ptr<FeatureClass> featureClass)
    : Layer(std::move(name)), featureClass_(std::move(featureClass)), selection_(featureClass_) {}

std::shared_ptr<Symbol> FeatureLayer::symbolForFeature(const Feature& feature) const {
    if (!renderer_ || !featureClass_) {
        return nullptr;
    }
    return renderer_->symbolForFeature(feature, featureClass_->fields());
}

void FeatureLayer::setSelection(std::vector<std::int64_t> oids) {
    selection_.clear();
    for (std::int64_t id : oids) {
        if (featureClass_ && featureClass_->feature(id) != nullptr) {
            selection_.add(id);
        }
    }
    selectionChanged_.fire();
}

int FeatureLayer::selectFeatures(const QueryFilter& filter, bool add) {
    if (!add) {
        selection_.clear();
    }
    if (featureClass_) {
        auto cursor = featureClass_->search(&filter);
        while (const Feature* f = cursor->nextFeature()) {
            selection_.add(f->oid);
        }
    }
    selectionChanged_.fire();
    return selection_.count();
}

void FeatureLayer::clearSelection() {
    selection_.clear();
    selectionChanged_.fire();
}

std::shared_ptr<FeatureLayer> FeatureLayer::copy() const {
    auto layer = std::make_shared<FeatureLayer>(name(), featureClass_);
    layer->setVisible(visible());
    layer->renderer_ = renderer_ ? renderer_->clone() : nullptr;
    layer->selection_ = selection_;
    layer->dataSource_ = dataSource_;
    layer->definitionQuery_ = definitionQuery_;
    return layer;
}

const std::shared_ptr<Layer>& GroupLayer::layer(int index) const {
    if (index < 0 || index >= layerCount()) {
        throw HostError(errnum::kSubscriptRange, "GroupLayer",
                        "Layer index " + std::to_string(index) + " is outside the group");
    }
    return layers_[static_cast<std::size_t>(index)];
}

void GroupLayer::add(std::shared_ptr<Layer> layer) {
    if (!layer) {
        throw HostError(errnum::kObjectMissing, "GroupLayer", "No layer to add");
    }
    layers_.push_back(std::move(layer));
}

}  // namespace kartoplot::host
