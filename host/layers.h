// Map layers: feature layers with their renderer and selection, and group layers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/features.h"
#include "host/signal.h"
#include "host/symbols.h"

namespace kartoplot::host {

// How a feature layer draws its features.
class FeatureRenderer : public HostObject {
public:
    // The symbol drawn for this feature (nullptr = not drawn).
    virtual std::shared_ptr<Symbol> symbolForFeature(const Feature& feature,
                                                     const Fields& fields) const = 0;
    virtual std::shared_ptr<FeatureRenderer> clone() const = 0;
};

// One symbol for every feature.
class SimpleRenderer final : public FeatureRenderer {
public:
    std::shared_ptr<Symbol> symbol;
    std::string label;

    std::string className() const override { return "SimpleRenderer"; }
    std::shared_ptr<Symbol> symbolForFeature(const Feature&, const Fields&) const override {
        return symbol;
    }
    std::shared_ptr<FeatureRenderer> clone() const override;
};

// A bar chart per feature from the values of the named fields (null counts as 0).
class ChartRenderer final : public FeatureRenderer {
public:
    std::shared_ptr<BarChartSymbol> chartSymbol;
    std::vector<std::string> fieldNames;
    std::string label;

    std::string className() const override { return "ChartRenderer"; }
    // A copy of the chart symbol with this feature's values; throws HostError when a field
    // is missing or not numeric.
    std::shared_ptr<Symbol> symbolForFeature(const Feature& feature,
                                             const Fields& fields) const override;
    std::shared_ptr<FeatureRenderer> clone() const override;
};

enum class LayerKind : std::uint8_t { Feature, Group };

// Where a feature layer's features come from: a data file (or folder) and the layer inside it.
// Empty for a layer built in memory.
struct DataSource {
    std::string path;
    std::string layerName;  // the source's layer name; empty: its only (first) layer

    bool isEmpty() const noexcept { return path.empty(); }
    friend bool operator==(const DataSource&, const DataSource&) = default;
};

class Layer {
public:
    explicit Layer(std::string name) : name_(std::move(name)) {}
    virtual ~Layer() = default;
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    virtual LayerKind kind() const noexcept = 0;
    const std::string& name() const noexcept { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    bool visible() const noexcept { return visible_; }
    void setVisible(bool visible) noexcept { visible_ = visible; }

private:
    std::string name_;
    bool visible_ = true;
};

class FeatureLayer final : public Layer {
public:
    FeatureLayer(std::string name, std::shared_ptr<FeatureClass> featureClass);

    LayerKind kind() const noexcept override { return LayerKind::Feature; }
    const std::shared_ptr<FeatureClass>& featureClass() const noexcept { return featureClass_; }

    const std::shared_ptr<FeatureRenderer>& renderer() const noexcept { return renderer_; }
    void setRenderer(std::shared_ptr<FeatureRenderer> renderer) { renderer_ = std::move(renderer); }
    // The renderer's symbol for a feature, or nullptr without a renderer.
    std::shared_ptr<Symbol> symbolForFeature(const Feature& feature) const;

    const SelectionSet& selectionSet() const noexcept { return selection_; }
    // Replaces the selection and fires selectionChanged.
    void setSelection(std::vector<std::int64_t> oids);
    // Selects the features the filter passes (adding to the selection when `add`),
    // fires selectionChanged; returns the new count.
    int selectFeatures(const QueryFilter& filter, bool add = false);
    void clearSelection();

    // Fired after every change of the selection.
    Signal& selectionChanged() noexcept { return selectionChanged_; }

    // The file the features were read from (layer files store it instead of the features).
    const DataSource& dataSource() const noexcept { return dataSource_; }
    void setDataSource(DataSource source) { dataSource_ = std::move(source); }
    // The attribute condition the source's features were read under (a SQL WHERE clause the
    // data reader applies); empty: every feature.
    const std::string& definitionQuery() const noexcept { return definitionQuery_; }
    void setDefinitionQuery(std::string query) { definitionQuery_ = std::move(query); }

    // A new layer over the same feature class with a copy of the renderer and of the
    // selection, the same data source and definition query; no handlers are connected to it.
    std::shared_ptr<FeatureLayer> copy() const;

private:
    std::shared_ptr<FeatureClass> featureClass_;
    DataSource dataSource_;
    std::string definitionQuery_;
    std::shared_ptr<FeatureRenderer> renderer_;
    SelectionSet selection_;
    Signal selectionChanged_;
};

class GroupLayer final : public Layer {
public:
    using Layer::Layer;
    LayerKind kind() const noexcept override { return LayerKind::Group; }

    int layerCount() const noexcept { return static_cast<int>(layers_.size()); }
    // Member at 0-based index; throws HostError outside the list.
    const std::shared_ptr<Layer>& layer(int index) const;
    const std::vector<std::shared_ptr<Layer>>& layers() const noexcept { return layers_; }
    void add(std::shared_ptr<Layer> layer);

private:
    std::vector<std::shared_ptr<Layer>> layers_;
};

}  // namespace kartoplot::host
