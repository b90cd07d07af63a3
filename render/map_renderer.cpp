#include "render/map_renderer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <thread>

#include "render/band_renderer.h"
#include "render/layer_walk.h"
#include "render/symbol_painter.h"

namespace kartoplot::render {

namespace {

constexpr std::int64_t kProgressStep = 20000;

// Counts drawn items and reports them every few thousand.
class ProgressCounter {
public:
    ProgressCounter(const RenderOptions& options, std::int64_t total)
        : report_(options.progress), total_(total) {}
    void add(std::int64_t n = 1) {
        done_ += n;
        if (report_ && done_ - reported_ >= kProgressStep) {
            reported_ = done_;
            report_(done_, total_);
        }
    }
    void finish() {
        if (report_) {
            report_(total_, total_);
        }
    }

private:
    const std::function<void(std::int64_t, std::int64_t)>& report_;
    std::int64_t total_ = 0;
    std::int64_t done_ = 0;
    std::int64_t reported_ = 0;
};

void drawLayer(SymbolPainter& painter, const host::Layer& layer, const host::Envelope& visible,
               double pixelsPerPoint, ProgressCounter& progress) {
    forEachDrawnLayer(layer, [&](const host::FeatureLayer& featureLayer) {
        painter.setPixelsPerPoint(pixelsPerPoint);
        auto cursor = featureLayer.featureClass()->search();
        while (const host::Feature* feature = cursor->nextFeature()) {
            progress.add();
            if (!isDrawnIn(*feature, visible)) {
                continue;
            }
            if (const auto symbol = featureLayer.symbolForFeature(*feature)) {
                painter.drawSymbol(*symbol, feature->shape);
            }
        }
    });
}

void drawContainer(SymbolPainter& painter, const host::GraphicsContainer& container,
                   double pixelsPerPoint, double fixedPixelsPerPoint, ProgressCounter& progress) {
    for (const auto& element : container.elements()) {
        drawElement(painter, *element, pixelsPerPoint, fixedPixelsPerPoint);
        progress.add();
    }
}

}  // namespace

void drawElement(SymbolPainter& painter, const host::Element& element, double pixelsPerPoint,
                 double fixedPixelsPerPoint) {
    painter.setPixelsPerPoint(pixelsPerPoint);
    switch (element.kind()) {
        case host::ElementKind::Group:
            for (const auto& member : static_cast<const host::GroupElement&>(element).members()) {
                drawElement(painter, *member, pixelsPerPoint, fixedPixelsPerPoint);
            }
            break;
        case host::ElementKind::Marker: {
            const auto& marker = static_cast<const host::MarkerElement&>(element);
            if (marker.symbol) {
                painter.drawSymbol(*marker.symbol, marker.geometry());
            }
            break;
        }
        case host::ElementKind::Text: {
            const auto& text = static_cast<const host::TextElement&>(element);
            if (text.symbol && !text.geometry().isEmpty()) {
                painter.drawText(text.text, *text.symbol, text.geometry().labelPoint(),
                                 text.scaleText ? pixelsPerPoint : fixedPixelsPerPoint);
            }
            break;
        }
        case host::ElementKind::Line: {
            const auto& line = static_cast<const host::LineElement&>(element);
            if (line.symbol) {
                painter.drawSymbol(*line.symbol, line.geometry());
            }
            break;
        }
        case host::ElementKind::Polygon: {
            const auto& area = static_cast<const host::PolygonElement&>(element);
            if (area.symbol) {
                painter.drawSymbol(*area.symbol, area.geometry());
            }
            break;
        }
    }
}

void drawMap(QPainter& painter, const host::Map& map, const host::DisplayTransformation& view,
             const RenderOptions& options) {
    const std::int64_t total = drawingItemCount(map);
    const int threads = options.threads > 0 ? options.threads
                                            : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    const std::int64_t pixels = static_cast<std::int64_t>(view.deviceWidth()) * view.deviceHeight();
    if (threads > 1 && total >= kMinBandedItems && pixels >= kMinBandedPixels && canDrawInBands(painter)) {
        const int rows = std::max(1, view.deviceHeight() / kMinBandRows);
        drawMapInBands(painter, map, view, options, std::min(threads * kBandsPerThread, rows), threads);
        return;
    }
    const DeviceMapping mapping(view);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, options.antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setClipRect(mapping.deviceRect(), Qt::IntersectClip);
    if (options.background.alpha() > 0) {
        painter.fillRect(mapping.deviceRect(), options.background);
    }

    ProgressCounter progress(options, total);
    const auto& basic = map.basicGraphicsLayer();

    SymbolPainter symbols(painter, mapping);
    const double mapPixelsPerPoint = mapping.pixelsPerPoint(view.referenceScale());
    const double fixedPixelsPerPoint = mapping.pixelsPerPoint(0);
    const host::Envelope visible = mapping.visibleBounds();
    const auto& layers = map.layers();
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        drawLayer(symbols, **it, visible, mapPixelsPerPoint, progress);
    }
    drawContainer(symbols, basic, mapPixelsPerPoint, fixedPixelsPerPoint, progress);
    for (int i = 0; i < basic.layerCount(); ++i) {
        const auto& layer = *basic.layer(i);
        if (!layer.visible()) {
            continue;
        }
        // A graphics layer's own reference scale sizes its symbols; without one the map's.
        const double ppp = layer.referenceScale() > 0 ? mapping.pixelsPerPoint(layer.referenceScale())
                                                      : mapPixelsPerPoint;
        drawContainer(symbols, layer, ppp, fixedPixelsPerPoint, progress);
    }
    progress.finish();
    painter.restore();
}

QSize pageSizeInPixels(const host::PageLayout& page, double dpi) {
    const double inchesWide = host::convertUnits(page.pageWidth(), page.pageUnits(), host::MapUnits::Inches);
    const double inchesHigh = host::convertUnits(page.pageHeight(), page.pageUnits(), host::MapUnits::Inches);
    return QSize(static_cast<int>(std::lround(inchesWide * dpi)),
                 static_cast<int>(std::lround(inchesHigh * dpi)));
}

void drawPageLayout(QPainter& painter, const host::MapDocument& document, double dpi,
                    const RenderOptions& options) {
    const host::PageLayout& page = *document.pageLayout();
    const QSize size = pageSizeInPixels(page, dpi);
    const double unitsPerPixel = page.pageWidth() / std::max(1, size.width());
    const DeviceMapping pageMapping(host::Point{0, 0}, unitsPerPixel, size.width(), size.height(), dpi);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, options.antialiasing);
    painter.fillRect(QRectF(0, 0, size.width(), size.height()), Qt::white);

    // The focus map in its frame, at the map's scale for the frame's size.
    const host::Envelope frame = page.mapFrame();
    const QRectF frameRect = pageMapping.toDevice(frame);
    const host::Map& map = *document.focusMap();
    host::DisplayTransformation view = map.screenDisplay().transformation();
    view.setResolution(dpi);
    view.setDeviceFrame(static_cast<int>(std::lround(frameRect.width())),
                        static_cast<int>(std::lround(frameRect.height())));
    const host::Envelope extent = map.fullExtent();
    if (!extent.isEmpty()) {
        view.setVisibleBounds(extent);
    }
    painter.save();
    painter.translate(frameRect.topLeft());
    drawMap(painter, map, view, options);
    painter.restore();
    painter.setPen(QPen(Qt::black, std::max(1.0, dpi / 96)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frameRect);

    // Page graphics are in page units; their symbols keep their size on paper.
    SymbolPainter symbols(painter, pageMapping);
    const double ppp = pageMapping.pixelsPerPoint(0);
    for (const auto& element : page.graphicsContainer().elements()) {
        drawElement(symbols, *element, ppp, ppp);
    }
    painter.restore();
}

}  // namespace kartoplot::render
