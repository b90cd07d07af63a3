// Views, maps, the page layout, the map document and the application.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/display.h"
#include "host/graphics.h"
#include "host/graphics_selection.h"
#include "host/layers.h"
#include "host/signal.h"

namespace kartoplot::host {

// A coordinate system: its name, its definition (WKT) and its linear units.
class SpatialReference final : public HostObject {
public:
    SpatialReference() = default;
    SpatialReference(std::string name, std::string definition, MapUnits units)
        : name_(std::move(name)), definition_(std::move(definition)), units_(units) {}

    std::string className() const override { return "SpatialReference"; }
    const std::string& name() const noexcept { return name_; }
    const std::string& definition() const noexcept { return definition_; }
    MapUnits units() const noexcept { return units_; }
    bool isGeographic() const noexcept { return units_ == MapUnits::Degrees; }

    friend bool operator==(const SpatialReference& a, const SpatialReference& b) {
        return a.name_ == b.name_ && a.definition_ == b.definition_ && a.units_ == b.units_;
    }

private:
    std::string name_;
    std::string definition_;
    MapUnits units_ = MapUnits::Unknown;
};

// Drawing phases a partial refresh can name.
enum class DrawPhase : int {
    Background = 1,
    Geography = 2,
    GeoSelection = 4,
    Graphics = 8,
    GraphicSelection = 16,
    Foreground = 32,
};

// Something the document can show: the focus map or the page layout.
class ActiveView {
public:
    ActiveView() = default;
    virtual ~ActiveView() = default;
    ActiveView(const ActiveView&) = delete;
    ActiveView& operator=(const ActiveView&) = delete;

    virtual bool isPageLayout() const noexcept = 0;
    ScreenDisplay& screenDisplay() noexcept { return display_; }
    const ScreenDisplay& screenDisplay() const noexcept { return display_; }

    // Asks the view to redraw everything; windows showing it listen to refreshed().
    void refresh();
    // Asks the view to redraw one phase, over an area or everywhere.
    void partialRefresh(DrawPhase phase, std::optional<Envelope> area = std::nullopt);
    Signal& refreshed() noexcept { return refreshed_; }
    std::uint64_t refreshCount() const noexcept { return refreshCount_; }
    // The phase and area of the last partial refresh (nothing after a full refresh).
    std::optional<DrawPhase> lastRefreshPhase() const noexcept { return lastPhase_; }
    const std::optional<Envelope>& lastRefreshArea() const noexcept { return lastArea_; }

private:
    ScreenDisplay display_;
    Signal refreshed_;
    std::uint64_t refreshCount_ = 0;
    std::optional<DrawPhase> lastPhase_;
    std::optional<Envelope> lastArea_;
};

class Map final : public ActiveView {
public:
    explicit Map(std::string name = "Layers");

    bool isPageLayout() const noexcept override { return false; }
    const std::string& name() const noexcept { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    // Layers, index 0 on top (drawn last).
    int layerCount() const noexcept { return static_cast<int>(layers_.size()); }
    // Layer at 0-based index; throws HostError outside the list.
    const std::shared_ptr<Layer>& layer(int index) const;
    const std::vector<std::shared_ptr<Layer>>& layers() const noexcept { return layers_; }
    // Adds the layer on top (index 0).
    void addLayer(std::shared_ptr<Layer> layer);
    // Removes the layer (nothing happens when it is not in the map).
    void deleteLayer(const Layer& layer);

    // Current scale (1 : scale) and reference scale (0 = none), both of the map's display.
    double mapScale() const noexcept { return screenDisplay().transformation().scale(); }
    void setMapScale(double scale) noexcept { screenDisplay().transformation().setScale(scale); }
    double referenceScale() const noexcept;
    void setReferenceScale(double scale) noexcept;

    const std::shared_ptr<const SpatialReference>& spatialReference() const noexcept { return srs_; }
    // Sets the coordinate system; the display takes its units.
    void setSpatialReference(std::shared_ptr<const SpatialReference> srs);
    MapUnits mapUnits() const noexcept { return screenDisplay().transformation().units(); }

    // Visible extent of the display, and the extent of all visible feature layers.
    Envelope extent() const noexcept { return screenDisplay().transformation().visibleBounds(); }
    void setExtent(const Envelope& e) noexcept { screenDisplay().transformation().setVisibleBounds(e); }
    Envelope fullExtent() const;

    // The basic graphics layer: the default graphics container holding the named
    // graphics layers.
    CompositeGraphicsLayer& basicGraphicsLayer() noexcept { return *basic_; }
    const CompositeGraphicsLayer& basicGraphicsLayer() const noexcept { return *basic_; }
    const std::shared_ptr<CompositeGraphicsLayer>& basicGraphicsLayerPtr() const noexcept {
        return basic_;
    }
    // The layer new graphics go to (the basic layer unless another was made active).
    const std::shared_ptr<GraphicsLayer>& activeGraphicsLayer() const noexcept { return active_; }
    // Makes a graphics layer active; nullptr makes the basic layer active again.
    void setActiveGraphicsLayer(std::shared_ptr<GraphicsLayer> layer);

    // The graphics selection: the selected graphic elements, in the order they were selected.
    GraphicsSelection& graphicsSelection() noexcept { return graphicsSelection_; }
    const GraphicsSelection& graphicsSelection() const noexcept { return graphicsSelection_; }
    // Shorthands for the graphics selection's count, element, select, unselect, clear and
    // setCurrent (an element outside the selection throws HostError).
    int elementSelectionCount() const { return graphicsSelection_.count(); }
    const std::shared_ptr<Element>& selectedElement(int index) const {
        return graphicsSelection_.element(index);
    }
    void selectElement(std::shared_ptr<Element> element) { graphicsSelection_.select(std::move(element)); }
    void unselectElement(const Element& element) { graphicsSelection_.unselect(element); }
    void unselectAllElements() { graphicsSelection_.clear(); }
    void setCurrentElement(const Element& element) { graphicsSelection_.setCurrent(element); }

private:
    std::string name_;
    std::vector<std::shared_ptr<Layer>> layers_;
    std::shared_ptr<const SpatialReference> srs_;
    std::shared_ptr<CompositeGraphicsLayer> basic_ = std::make_shared<CompositeGraphicsLayer>();
    std::shared_ptr<GraphicsLayer> active_;
    GraphicsSelection graphicsSelection_{*basic_};
};

// The page: its size and units and its own graphics (legends and surrounds).
class PageLayout final : public ActiveView {
public:
    PageLayout();

    bool isPageLayout() const noexcept override { return true; }
    double pageWidth() const noexcept { return width_; }
    double pageHeight() const noexcept { return height_; }
    MapUnits pageUnits() const noexcept { return units_; }
    // Sets the page size in the given units; the page display takes the units.
    void setPage(double width, double height, MapUnits units);

    GraphicsContainer& graphicsContainer() noexcept { return graphics_; }
    const GraphicsContainer& graphicsContainer() const noexcept { return graphics_; }

    // Where the focus map is shown on the page, in page units (10 mm inside the page edges
    // unless set).
    Envelope mapFrame() const;
    void setMapFrame(const Envelope& frame) { mapFrame_ = frame; }

private:
    std::optional<Envelope> mapFrame_;
    double width_ = 210.0;
    double height_ = 297.0;
    MapUnits units_ = MapUnits::Millimetres;
    GraphicsContainer graphics_;
};

class MapDocument {
public:
    MapDocument();

    // The map the document shows and works on.
    const std::shared_ptr<Map>& focusMap() const noexcept { return focusMap_; }
    // Makes a map of the document the focus map; throws HostError for a foreign map.
    void setFocusMap(const std::shared_ptr<Map>& map);
    const std::vector<std::shared_ptr<Map>>& maps() const noexcept { return maps_; }
    void addMap(std::shared_ptr<Map> map);

    const std::shared_ptr<PageLayout>& pageLayout() const noexcept { return pageLayout_; }
    // The focus map, or the page layout when that is shown.
    ActiveView& activeView() noexcept;
    void showPageLayout(bool show) noexcept { layoutActive_ = show; }
    bool pageLayoutShown() const noexcept { return layoutActive_; }

    const std::string& path() const noexcept { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }

private:
    std::vector<std::shared_ptr<Map>> maps_;
    std::shared_ptr<Map> focusMap_;
    std::shared_ptr<PageLayout> pageLayout_ = std::make_shared<PageLayout>();
    bool layoutActive_ = false;
    std::string path_;
};

class Application {
public:
    Application();

    const std::shared_ptr<MapDocument>& document() const noexcept { return document_; }
    // Opens a document; the template list then ends with the document's path.
    void setDocument(std::shared_ptr<MapDocument> document);

    // The application's templates; the last entry is the current document's path.
    const std::vector<std::string>& templates() const noexcept { return templates_; }

private:
    std::shared_ptr<MapDocument> document_;
    std::vector<std::string> templates_;
};

}  // namespace kartoplot::host
