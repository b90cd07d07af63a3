#include "app/map_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "errors/error_handling.h"
#include "render/map_renderer.h"

namespace kartoplot::app {

namespace {

// A press and release closer than this (pixels, either way) is a click, not a drag.
constexpr int kClickTolerance = 3;
// Wheel angle of one notch, in eighths of a degree.
constexpr double kWheelNotch = 120.0;
// The highlight of selected features: ring radius and pen widths in pixels.
constexpr double kHighlightRingRadius = 7.0;
constexpr double kHighlightPenWidth = 2.0;
constexpr double kRubberBandPenWidth = 1.0;
const QColor kHighlightColor(0, 255, 255);
const QColor kRubberBandFill(0, 120, 215, 40);
const QColor kRubberBandLine(0, 120, 215);
// The outline of selected graphic elements: dashed, a few pixels outside their bounds.
const QColor kElementHighlightColor(0, 160, 160);
constexpr double kElementHighlightMargin = 3.0;
// A click picks the elements within this many pixels of it.
constexpr int kPickTolerance = 3;

void collectFeatureLayers(const std::vector<std::shared_ptr<host::Layer>>& layers,
                          std::vector<std::shared_ptr<host::FeatureLayer>>& out) {
    for (const auto& layer : layers) {
        if (layer->kind() == host::LayerKind::Group) {
            collectFeatureLayers(static_cast<const host::GroupLayer&>(*layer).layers(), out);
        } else {
            out.push_back(std::static_pointer_cast<host::FeatureLayer>(layer));
        }
    }
}

// The map's feature layers from the top, group members in place of their group.
std::vector<std::shared_ptr<host::FeatureLayer>> featureLayers(const host::Map& map) {
    std::vector<std::shared_ptr<host::FeatureLayer>> out;
    collectFeatureLayers(map.layers(), out);
    return out;
}

QPointF toDevice(const host::DisplayTransformation& view, const host::Point& p) {
    const host::Point d = view.toDevice(p);
    return {d.x, d.y};
}

void addRings(QPainterPath& path, const host::DisplayTransformation& view,
              const std::vector<std::vector<host::Point>>& rings, bool close) {
    for (const auto& ring : rings) {
        if (ring.empty()) {
            continue;
        }
        path.moveTo(toDevice(view, ring.front()));
        for (std::size_t i = 1; i < ring.size(); ++i) {
            path.lineTo(toDevice(view, ring[i]));
        }
        if (close) {
            path.closeSubpath();
        }
    }
}

}  // namespace

host::Envelope rubberBandToMap(const host::DisplayTransformation& view, QPoint a, QPoint b) {
    const host::Point p = view.toMap({static_cast<double>(a.x()), static_cast<double>(a.y())});
    const host::Point q = view.toMap({static_cast<double>(b.x()), static_cast<double>(b.y())});
    return host::Envelope(std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x),
                          std::max(p.y, q.y));
}

void zoomAbout(host::DisplayTransformation& view, QPointF devicePoint, double factor) {
    if (!std::isfinite(factor) || factor <= 0 || view.scale() <= 0) {
        return;
    }
    const host::Point device{devicePoint.x(), devicePoint.y()};
    const host::Point anchor = view.toMap(device);
    view.setScale(std::clamp(view.scale() / factor, kMinimumScale, kMaximumScale));
    // Put the centre where it must be for the anchor to sit under the device point again.
    const double upp = view.mapUnitsPerPixel();
    view.setCenter({anchor.x - (device.x - view.deviceWidth() / 2.0) * upp,
                    anchor.y + (device.y - view.deviceHeight() / 2.0) * upp});
}

host::Envelope withMargin(const host::Envelope& extent, double margin) {
    if (extent.isEmpty()) {
        return extent;
    }
    const double dx = extent.width() * margin;
    const double dy = extent.height() * margin;
    return host::Envelope(extent.xMin() - dx, extent.yMin() - dy, extent.xMax() + dx,
                          extent.yMax() + dy);
}

std::vector<std::shared_ptr<host::Element>> elementsMeeting(const host::Map& map, const host::Envelope& area,
                                                            bool topmostOnly) {
    std::vector<std::shared_ptr<host::Element>> found;
    if (area.isEmpty()) {
        return found;
    }
    const host::ScreenDisplay& display = map.screenDisplay();
    const auto collect = [&](const host::GraphicsLayer& layer) {
        if (!layer.visible()) {
            return;
        }
        for (const auto& element : layer.elements()) {
            if (element->queryBounds(display).intersects(area)) {
                found.push_back(element);
            }
        }
    };
    const host::CompositeGraphicsLayer& basic = map.basicGraphicsLayer();
    collect(basic);
    for (int i = 0; i < basic.layerCount(); ++i) {
        collect(*basic.layer(i));
    }
    if (topmostOnly && found.size() > 1) {
        found.erase(found.begin(), found.end() - 1);
    }
    return found;
}

MapCanvas::MapCanvas(std::shared_ptr<host::MapDocument> document, QWidget* parent)
    : QWidget(parent), document_(std::move(document)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    updateCursor();
    showFocusMap();
}

MapCanvas::~MapCanvas() = default;

void MapCanvas::showFocusMap() {
    shownMap_ = document_->focusMap();
    refreshConnection_ = shownMap_->refreshed().connect([this] { onRefreshed(); });
    graphicsSelectionConnection_ = shownMap_->graphicsSelection().changed().connect([this] {
        update();
        emit selectionChanged();
    });
    reportedScale_ = shownMap_->mapScale();
    pictureKey_.reset();
    syncFrame();
    watchLayers();
    update();
}

void MapCanvas::setDocument(std::shared_ptr<host::MapDocument> document) {
    document_ = std::move(document);
    showFocusMap();
}

host::DisplayTransformation& MapCanvas::view() const noexcept {
    return shownMap_->screenDisplay().transformation();
}

double MapCanvas::scale() const noexcept { return shownMap_->mapScale(); }

void MapCanvas::setTool(Tool tool) {
    const bool changed = tool != tool_;
    tool_ = tool;
    updateCursor();
    if (changed) {
        emit toolChanged(tool);
    }
}

void MapCanvas::updateCursor() {
    setCursor(tool_ == Tool::Pan ? Qt::OpenHandCursor : Qt::CrossCursor);
}

std::shared_ptr<host::FeatureLayer> MapCanvas::selectionLayer() const {
    const auto layers = featureLayers(*shownMap_);
    if (const auto chosen = selectionLayer_.lock()) {
        if (std::find(layers.begin(), layers.end(), chosen) != layers.end()) {
            return chosen;
        }
    }
    for (const auto& layer : layers) {
        if (layer->featureClass() && layer->featureClass()->shapeType() == host::GeometryType::Point) {
            return layer;
        }
    }
    return nullptr;
}

void MapCanvas::setSelectionLayer(std::shared_ptr<host::FeatureLayer> layer) {
    selectionLayer_ = layer;
    watchLayers();
}

void MapCanvas::syncFrame() {
    host::DisplayTransformation& v = view();
    v.setDeviceFrame(width(), height());
    v.setResolution(logicalDpiY());
}

void MapCanvas::watchLayers() {
    const auto layers = featureLayers(*shownMap_);
    const bool same = layers.size() == watched_.size() &&
                      std::equal(layers.begin(), layers.end(), watched_.begin(),
                                 [](const auto& l, const WatchedLayer& w) { return w.layer.lock() == l; });
    if (same) {
        return;
    }
    watched_.clear();
    for (const auto& layer : layers) {
        watched_.push_back({layer, layer->selectionChanged().connect([this] {
                                update();
                                emit selectionChanged();
                            })});
    }
}

void MapCanvas::onRefreshed() {
    pictureKey_.reset();
    watchLayers();
    update();
    emit viewChanged();
    if (scale() != reportedScale_) {
        reportedScale_ = scale();
        emit scaleChanged(reportedScale_);
    }
}

void MapCanvas::viewMoved() { shownMap_->refresh(); }

void MapCanvas::zoomToFullExtent() {
    const host::Envelope full = shownMap_->fullExtent();
    if (full.isEmpty()) {
        return;
    }
    syncFrame();
    view().setVisibleBounds(withMargin(full, kFullExtentMargin));
    fullExtentOnShow_ = !isVisible();
    viewMoved();
}

void MapCanvas::zoomIn() {
    syncFrame();
    zoomAbout(view(), QPointF(width() / 2.0, height() / 2.0), kZoomStepFactor);
    viewMoved();
}

void MapCanvas::zoomOut() {
    syncFrame();
    zoomAbout(view(), QPointF(width() / 2.0, height() / 2.0), 1.0 / kZoomStepFactor);
    viewMoved();
}

void MapCanvas::renderMap() {
    const host::DisplayTransformation& v = view();
    const ViewKey key{v.scale(), v.referenceScale(), v.resolution(), v.deviceWidth(),
                      v.deviceHeight(), v.center(), v.units()};
    if (pictureKey_ && *pictureKey_ == key) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    picture_ = QPixmap(size() * ratio);
    picture_.setDevicePixelRatio(ratio);
    picture_.fill(Qt::white);
    QPainter painter(&picture_);
    ErrorTrap trap("DrawMap", "MapCanvas");
    trap.run([&] { render::drawMap(painter, *shownMap_, v); });
    pictureKey_ = key;
}

void MapCanvas::drawSelections(QPainter& painter) const {
    const host::DisplayTransformation& v = view();
    painter.setPen(QPen(kHighlightColor, kHighlightPenWidth));
    painter.setBrush(Qt::NoBrush);
    for (const auto& layer : featureLayers(*shownMap_)) {
        if (!layer->visible() || layer->selectionSet().count() == 0 || !layer->featureClass()) {
            continue;
        }
        auto cursor = layer->featureClass()->searchIds(layer->selectionSet().ids());
        while (const host::Feature* feature = cursor->nextFeature()) {
            const host::Geometry& shape = feature->shape;
            if (const host::Point* p = shape.asPoint()) {
                painter.drawEllipse(toDevice(v, *p), kHighlightRingRadius, kHighlightRingRadius);
            } else if (const host::Polyline* line = shape.asPolyline()) {
                QPainterPath path;
                addRings(path, v, line->paths, false);
                painter.drawPath(path);
            } else if (const host::Polygon* area = shape.asPolygon()) {
                QPainterPath path;
                addRings(path, v, area->rings, true);
                painter.drawPath(path);
            } else if (const host::Envelope* box = shape.asEnvelope()) {
                painter.drawRect(QRectF(toDevice(v, box->lowerLeft()), toDevice(v, box->upperRight())));
            }
        }
    }
}

void MapCanvas::drawElementSelection(QPainter& painter) const {
    const host::GraphicsSelection& selection = shownMap_->graphicsSelection();
    const int count = selection.count();
    if (count == 0) {
        return;
    }
    const host::DisplayTransformation& v = view();
    QPen pen(kElementHighlightColor, kHighlightPenWidth, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i) {
        const host::Envelope box = selection.element(i)->queryBounds(shownMap_->screenDisplay());
        if (box.isEmpty()) {
            continue;
        }
        const QRectF r = QRectF(toDevice(v, box.lowerLeft()), toDevice(v, box.upperRight())).normalized();
        painter.drawRect(r.adjusted(-kElementHighlightMargin, -kElementHighlightMargin, kElementHighlightMargin,
                                    kElementHighlightMargin));
    }
}

void MapCanvas::paintEvent(QPaintEvent*) {
    syncFrame();
    renderMap();
    QPainter painter(this);
    // While panning, the picture follows the mouse; the map is drawn anew on release.
    const QPoint offset = drag_ == Drag::Pan ? dragNow_ - dragStart_ : QPoint();
    if (!offset.isNull()) {
        painter.fillRect(rect(), Qt::white);
        painter.translate(offset);
    }
    painter.drawPixmap(0, 0, picture_);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawSelections(painter);
    drawElementSelection(painter);
    if (drag_ == Drag::Select && dragMoved_) {
        painter.setPen(QPen(kRubberBandLine, kRubberBandPenWidth));
        painter.setBrush(kRubberBandFill);
        painter.drawRect(QRect(dragStart_, dragNow_).normalized());
    }
}

void MapCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    syncFrame();
    pictureKey_.reset();
}

void MapCanvas::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    syncFrame();
    if (fullExtentOnShow_) {
        zoomToFullExtent();
    }
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
    if (drag_ != Drag::None) {
        return;
    }
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && tool_ == Tool::Pan);
    const bool select = event->button() == Qt::LeftButton && (tool_ == Tool::Select || tool_ == Tool::SelectElements);
    if (!pan && !select) {
        QWidget::mousePressEvent(event);
        return;
    }
    drag_ = pan ? Drag::Pan : Drag::Select;
    dragStart_ = event->position().toPoint();
    dragNow_ = dragStart_;
    dragMoved_ = false;
    if (pan) {
        setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ == Drag::None) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    dragNow_ = event->position().toPoint();
    const QPoint moved = dragNow_ - dragStart_;
    dragMoved_ = dragMoved_ || std::abs(moved.x()) > kClickTolerance || std::abs(moved.y()) > kClickTolerance;
    update();
    event->accept();
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
    const bool ends = (drag_ == Drag::Pan && (event->button() == Qt::MiddleButton ||
                                              event->button() == Qt::LeftButton)) ||
                      (drag_ == Drag::Select && event->button() == Qt::LeftButton);
    if (!ends) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint end = event->position().toPoint();
    const Drag finished = drag_;
    drag_ = Drag::None;
    updateCursor();
    if (finished == Drag::Pan) {
        finishPan(end);
    } else if (tool_ == Tool::SelectElements) {
        finishElementSelection(end, (event->modifiers() & Qt::ShiftModifier) != 0);
    } else {
        finishSelection(end);
    }
    event->accept();
}

void MapCanvas::finishPan(QPoint end) {
    const QPoint moved = end - dragStart_;
    if (moved.isNull()) {
        update();
        return;
    }
    syncFrame();
    host::DisplayTransformation& v = view();
    const double upp = v.mapUnitsPerPixel();
    const host::Point c = v.center();
    v.setCenter({c.x - moved.x() * upp, c.y + moved.y() * upp});
    viewMoved();
}

void MapCanvas::finishSelection(QPoint end) {
    const QPoint moved = end - dragStart_;
    const bool click = !dragMoved_ && std::abs(moved.x()) <= kClickTolerance &&
                       std::abs(moved.y()) <= kClickTolerance;
    update();
    const auto layer = selectionLayer();
    if (!layer) {
        return;
    }
    syncFrame();
    if (click) {
        layer->clearSelection();
        return;
    }
    host::QueryFilter filter;
    filter.extent = rubberBandToMap(view(), dragStart_, end);
    layer->selectFeatures(filter);
}

void MapCanvas::finishElementSelection(QPoint end, bool toggle) {
    const QPoint moved = end - dragStart_;
    const bool click = !dragMoved_ && std::abs(moved.x()) <= kClickTolerance &&
                       std::abs(moved.y()) <= kClickTolerance;
    update();
    syncFrame();
    const QPoint tolerance(kPickTolerance, kPickTolerance);
    const host::Envelope area = click ? rubberBandToMap(view(), end - tolerance, end + tolerance)
                                      : rubberBandToMap(view(), dragStart_, end);
    const auto picked = elementsMeeting(*shownMap_, area, click);
    host::Map& map = *shownMap_;
    if (!toggle) {
        map.unselectAllElements();
    }
    for (const auto& element : picked) {
        if (toggle && map.graphicsSelection().contains(*element)) {
            map.unselectElement(*element);
        } else {
            map.selectElement(element);
        }
    }
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / kWheelNotch;
    if (notches == 0) {
        event->ignore();
        return;
    }
    syncFrame();
    zoomAbout(view(), event->position(), std::pow(kWheelZoomFactor, notches));
    viewMoved();
    event->accept();
}

}  // namespace kartoplot::app
