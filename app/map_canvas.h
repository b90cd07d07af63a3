// The map canvas of the desktop window: shows the document's focus map, pans and zooms it,
// selects point features or graphic elements (charts) with a click or a rectangle and
// highlights both selections.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

#include "host/map.h"

namespace kartoplot::app {

// Wheel zoom per notch (one notch = 120 eighths of a degree), and the zoom-in/zoom-out step.
inline constexpr double kWheelZoomFactor = 1.25;
inline constexpr double kZoomStepFactor = 2.0;
// Room around the data when zooming to the full extent, as a share of its width and height.
inline constexpr double kFullExtentMargin = 0.05;
// Zooming stops at these scales (1 : scale).
inline constexpr double kMinimumScale = 1.0;
inline constexpr double kMaximumScale = 1e10;

// The map area between two device pixels of the view (any two opposite corners), in map
// units. The view needs a device frame; equal corners give an envelope of zero size.
host::Envelope rubberBandToMap(const host::DisplayTransformation& view, QPoint a, QPoint b);

// Zooms the view by `factor` (2 = everything twice as large: the scale is halved) so that the
// map point under `devicePoint` (pixels) stays under it. The scale is kept within
// [kMinimumScale, kMaximumScale]; a factor that is not finite or not above 0 changes nothing.
void zoomAbout(host::DisplayTransformation& view, QPointF devicePoint, double factor);

// `extent` grown on each side by `margin` times its width and height (empty stays empty).
host::Envelope withMargin(const host::Envelope& extent, double margin);

// The top-level graphic elements of the map's visible graphics layers (the map's own layer
// first, then its sub-layers in order) whose bounds as drawn on the map's display meet `area`
// (map units), in drawing order. With `topmostOnly`, only the last drawn of them: what a click
// picks. A chart is one group element, so it is picked whole.
std::vector<std::shared_ptr<host::Element>> elementsMeeting(const host::Map& map, const host::Envelope& area,
                                                            bool topmostOnly);

class MapCanvas : public QWidget {
    Q_OBJECT

public:
    enum class Tool { Pan, Select, SelectElements };
    Q_ENUM(Tool)

    // Shows the document's focus map. The canvas owns the map's device frame and resolution:
    // they follow the widget's size (logical pixels) and the screen's logical dpi.
    explicit MapCanvas(std::shared_ptr<host::MapDocument> document, QWidget* parent = nullptr);
    ~MapCanvas() override;
    MapCanvas(const MapCanvas&) = delete;
    MapCanvas& operator=(const MapCanvas&) = delete;

    const std::shared_ptr<host::MapDocument>& document() const noexcept { return document_; }
    // The map shown: the document's focus map.
    const std::shared_ptr<host::Map>& map() const noexcept { return document_->focusMap(); }
    // Attaches the canvas to the document's focus map again; call after setFocusMap().
    void showFocusMap();
    // Shows another document's focus map (a project opened or a new one).
    void setDocument(std::shared_ptr<host::MapDocument> document);

    Tool tool() const noexcept { return tool_; }
    void setTool(Tool tool);

    // The layer rectangle selection works on. Unset (or when the layer is gone) it is the
    // map's first point layer from the top, group members included; nullptr when there is none.
    std::shared_ptr<host::FeatureLayer> selectionLayer() const;
    void setSelectionLayer(std::shared_ptr<host::FeatureLayer> layer);

    // The map's current scale (1 : scale).
    double scale() const noexcept;

public slots:
    // Shows all visible feature layers with kFullExtentMargin around them; nothing happens
    // when they hold no features. Before the canvas is first shown it is done again then,
    // for the final size.
    void zoomToFullExtent();
    // Zooms by kZoomStepFactor about the centre.
    void zoomIn();
    void zoomOut();

signals:
    // The map's scale differs from the one last reported.
    void scaleChanged(double scale);
    // The map was refreshed: by anyone calling refresh(), or by a pan or zoom of the canvas.
    void viewChanged();
    // The selection of one of the map's feature layers, or the map's graphics selection, changed.
    void selectionChanged();
    // setTool() chose another tool.
    void toolChanged(kartoplot::app::MapCanvas::Tool tool);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    enum class Drag { None, Pan, Select };

    // The view values the cached picture was drawn for.
    struct ViewKey {
        double scale = 0.0;
        double referenceScale = 0.0;
        double dpi = 0.0;
        int width = 0;
        int height = 0;
        host::Point center;
        host::MapUnits units = host::MapUnits::Unknown;
        friend bool operator==(const ViewKey&, const ViewKey&) = default;
    };

    host::DisplayTransformation& view() const noexcept;
    // Gives the map's display the widget's size and the screen's resolution.
    void syncFrame();
    // Follows the selections of the map's feature layers (after layers were added or removed).
    void watchLayers();
    void onRefreshed();
    void updateCursor();
    // Refreshes the map after the canvas moved or zoomed it.
    void viewMoved();
    void renderMap();
    void drawSelections(QPainter& painter) const;
    // Dashed outlines around the graphic elements of the map's graphics selection.
    void drawElementSelection(QPainter& painter) const;
    void finishSelection(QPoint end);
    // Selects the elements under a click or a rectangle: a new selection, or with Shift the
    // picked elements toggled in the current one. A click on nothing clears the selection.
    void finishElementSelection(QPoint end, bool toggle);
    void finishPan(QPoint end);

    std::shared_ptr<host::MapDocument> document_;
    std::shared_ptr<host::Map> shownMap_;  // the map refreshConnection_ listens to
    host::Connection refreshConnection_;
    struct WatchedLayer {
        std::weak_ptr<host::FeatureLayer> layer;
        host::Connection connection;
    };
    std::vector<WatchedLayer> watched_;
    host::Connection graphicsSelectionConnection_;  // the shown map's graphics selection
    std::weak_ptr<host::FeatureLayer> selectionLayer_;
    Tool tool_ = Tool::Pan;

    Drag drag_ = Drag::None;
    QPoint dragStart_;
    QPoint dragNow_;
    bool dragMoved_ = false;

    QPixmap picture_;
    std::optional<ViewKey> pictureKey_;  // nothing = the picture must be drawn again
    double reportedScale_ = 0.0;
    bool fullExtentOnShow_ = false;
};

}  // namespace kartoplot::app
