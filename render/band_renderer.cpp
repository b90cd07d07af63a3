#include "render/band_renderer.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "render/device_mapping.h"
#include "render/layer_walk.h"
#include "render/symbol_painter.h"

namespace kartoplot::render {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Pixels added around a drawing's computed rows: antialiasing, rounding, hairline pens.
constexpr double kEdgeSlack = 3.0;
// A simple marker (any style, rotated, outlined, as a cross) stays within this many times its
// size from its centre: half a diagonal plus the cross stroke of a sixth.
constexpr double kMarkerReach = 0.71 + 1.0 / 6;
// Text stays within this many em vertically of its anchor when it is level (alignment moves
// it by up to an ascent, glyphs reach an ascent up and a descent down) ...
constexpr double kLevelTextReach = 2.5;
// ... and a turned text within this many em per byte of its UTF-8 text beyond that.
constexpr double kTextEmPerByte = 2.0;
// Items a thread draws between two looks at the shared progress and stop flag.
constexpr std::int64_t kCheckStep = 1024;
// Fewest elements whose bounds are worth a thread of their own.
constexpr std::size_t kMinPieceItems = 4096;
constexpr std::int64_t kProgressStep = 20000;
constexpr auto kProgressWait = std::chrono::milliseconds(50);

// Device rows (y, downwards) a drawing can touch; empty when top > bottom.
struct Rows {
    double top = kInfinity;
    double bottom = -kInfinity;

    static Rows everywhere() { return {-kInfinity, kInfinity}; }
    void add(double y0, double y1, double pad) {
        if (!(std::isfinite(y0) && std::isfinite(y1) && std::isfinite(pad))) {
            *this = everywhere();
            return;
        }
        top = std::min(top, std::min(y0, y1) - pad);
        bottom = std::max(bottom, std::max(y0, y1) + pad);
    }
    void add(const Rows& other) {
        top = std::min(top, other.top);
        bottom = std::max(bottom, other.bottom);
    }
};

// How far (points) a line symbol's stroke reaches beyond its path: half the width, doubled
// for miter joins.
double lineReach(const host::LineSymbol* line) {
    return line != nullptr && line->width > 0 ? line->width : 0.0;
}

// How far (points) a fill symbol's outlines reach beyond its area; patterns stay inside it.
double fillReach(const host::FillSymbol& fill) {
    double reach = lineReach(fill.outline.get());
    if (fill.kind() == host::SymbolKind::MultiLayerFill) {
        for (const auto& layer : static_cast<const host::MultiLayerFillSymbol&>(fill).layers) {
            if (layer) {
                reach = std::max(reach, fillReach(*layer));
            }
        }
    }
    return reach;
}

Rows markerRows(const host::MarkerSymbol& marker, QPointF at, double ppp, const DeviceMapping& mapping) {
    Rows rows;
    if (marker.kind() != host::SymbolKind::BarChart) {
        const double cy = at.y() - marker.yOffset * ppp;
        const auto& simple = static_cast<const host::SimpleMarkerSymbol&>(marker);
        const double outline = simple.outline ? std::max(0.0, simple.outlineSize) : 0.0;
        rows.add(cy, cy, (std::fabs(marker.size) * kMarkerReach + outline) * ppp + kEdgeSlack);
        return rows;
    }
    const auto& chart = static_cast<const host::BarChartSymbol&>(marker);
    const host::BarChartLayout layout = host::barChartLayout(chart);
    if (!layout.isFinite()) {
        return Rows::everywhere();
    }
    double reach = 0.0;
    for (int i = 0; i < chart.symbols.count(); ++i) {
        const auto& symbol = chart.symbols.element(i);
        if (symbol && symbol->isFill()) {
            reach = std::max(reach, fillReach(static_cast<const host::FillSymbol&>(*symbol)));
        }
    }
    const host::Envelope box = layout.envelope();
    rows.add(at.y() - box.yMax() * ppp, at.y() - box.yMin() * ppp, reach * ppp + kEdgeSlack);
    if (chart.background) {
        const double anchor = mapping.toDevice(chart.background->anchorPoint).y();
        rows.add(anchor, anchor, lineReach(chart.background->leaderLine.get()) * ppp + kEdgeSlack);
    }
    return rows;
}

// Rows of a symbol drawn on a geometry, as SymbolPainter::drawSymbol draws it.
Rows symbolRows(const host::Symbol& symbol, const host::Geometry& geometry, double ppp,
                const DeviceMapping& mapping) {
    if (geometry.isEmpty()) {
        return {};
    }
    if (symbol.isMarker()) {
        return markerRows(static_cast<const host::MarkerSymbol&>(symbol), mapping.toDevice(geometry.labelPoint()),
                          ppp, mapping);
    }
    double reach = 0.0;
    if (symbol.isLine()) {
        reach = lineReach(&static_cast<const host::LineSymbol&>(symbol));
    } else if (symbol.isFill()) {
        reach = fillReach(static_cast<const host::FillSymbol&>(symbol));
    } else {
        return {};  // a text symbol needs a text
    }
    const QRectF box = mapping.toDevice(geometry.envelope());
    Rows rows;
    rows.add(box.top(), box.bottom(), reach * ppp + kEdgeSlack);
    return rows;
}

Rows elementRows(const host::Element& element, double ppp, double fixedPpp, const DeviceMapping& mapping) {
    switch (element.kind()) {
        case host::ElementKind::Group: {
            Rows rows;
            for (const auto& member : static_cast<const host::GroupElement&>(element).members()) {
                rows.add(elementRows(*member, ppp, fixedPpp, mapping));
            }
            return rows;
        }
        case host::ElementKind::Text: {
            const auto& text = static_cast<const host::TextElement&>(element);
            if (!text.symbol || text.geometry().isEmpty()) {
                return {};
            }
            const double em = std::fabs(text.symbol->size()) * (text.scaleText ? ppp : fixedPpp);
            const bool level = std::fmod(text.symbol->angle, 360.0) == 0.0;
            const double reach =
                level ? kLevelTextReach : kLevelTextReach + kTextEmPerByte * static_cast<double>(text.text.size());
            const double y = mapping.toDevice(text.geometry().labelPoint()).y();
            Rows rows;
            rows.add(y, y, reach * em + kEdgeSlack);
            return rows;
        }
        case host::ElementKind::Marker: {
            const auto& marker = static_cast<const host::MarkerElement&>(element);
            return marker.symbol ? symbolRows(*marker.symbol, marker.geometry(), ppp, mapping) : Rows{};
        }
        case host::ElementKind::Line: {
            const auto& line = static_cast<const host::LineElement&>(element);
            return line.symbol ? symbolRows(*line.symbol, line.geometry(), ppp, mapping) : Rows{};
        }
        case host::ElementKind::Polygon: {
            const auto& area = static_cast<const host::PolygonElement&>(element);
            return area.symbol ? symbolRows(*area.symbol, area.geometry(), ppp, mapping) : Rows{};
        }
    }
    return Rows::everywhere();
}

// One thing to draw: an element, or a feature's symbol on its shape, with the rows it touches.
struct Item {
    const host::Element* element = nullptr;
    const host::Symbol* symbol = nullptr;
    const host::Geometry* shape = nullptr;
    float top = 0.0F;
    float bottom = 0.0F;
};

// A run of items drawn with the same symbol sizes.
struct Run {
    std::size_t end = 0;  // one past the run's last item
    double pixelsPerPoint = 1.0;
    double fixedPixelsPerPoint = 1.0;
};

// Everything the map draws, in drawing order, gathered once on the calling thread so that the
// band threads only read plain values and the (read-only) host objects.
struct DrawList {
    std::vector<Item> items;
    std::vector<Run> runs;
    // Symbols made for single features by their renderers, kept alive for the drawing.
    std::vector<std::shared_ptr<host::Symbol>> madeSymbols;

    void push(Item item, const Rows& rows) {
        items.emplace_back();
        set(items.size() - 1, item, rows);
    }
    void set(std::size_t i, Item item, const Rows& rows) {
        // Rows are rounded outwards to whole pixels so that the float keeps them exactly.
        item.top = static_cast<float>(std::max(std::floor(rows.top), -DeviceMapping::kDeviceLimit));
        item.bottom = static_cast<float>(std::min(std::ceil(rows.bottom), DeviceMapping::kDeviceLimit));
        items[i] = item;
    }
    void endRun(double ppp, double fixedPpp) {
        if (items.size() > (runs.empty() ? 0 : runs.back().end)) {
            runs.push_back(Run{items.size(), ppp, fixedPpp});
        }
    }
};

void gatherLayer(DrawList& list, const host::Layer& layer, const host::Envelope& visible, double ppp,
                 const DeviceMapping& mapping) {
    forEachDrawnLayer(layer, [&](const host::FeatureLayer& featureLayer) {
        auto cursor = featureLayer.featureClass()->search();
        while (const host::Feature* feature = cursor->nextFeature()) {
            if (!isDrawnIn(*feature, visible)) {
                continue;
            }
            std::shared_ptr<host::Symbol> symbol = featureLayer.symbolForFeature(*feature);
            if (!symbol) {
                continue;
            }
            list.push(Item{nullptr, symbol.get(), &feature->shape},
                      symbolRows(*symbol, feature->shape, ppp, mapping));
            if (symbol.use_count() == 1) {
                list.madeSymbols.push_back(std::move(symbol));
            }
        }
        list.endRun(ppp, ppp);
    });
}

// Runs fn(begin, end) over [0, count) cut into one piece per thread, the calling thread taking
// the first; rethrows the first exception of any piece.
template <typename Fn>
void forEachPiece(std::size_t count, int threads, const Fn& fn) {
    const std::size_t pieces = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(1, threads)), 1,
                                                       std::max<std::size_t>(1, count / kMinPieceItems));
    std::vector<std::exception_ptr> errors(pieces);
    const auto run = [&](std::size_t p) {
        try {
            fn(count * p / pieces, count * (p + 1) / pieces);
        } catch (...) {
            errors[p] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(pieces - 1);
    try {
        for (std::size_t p = 1; p < pieces; ++p) {
            helpers.emplace_back(run, p);
        }
    } catch (...) {
        errors[0] = std::current_exception();
    }
    if (!errors[0]) {
        run(0);
    }
    for (auto& helper : helpers) {
        helper.join();
    }
    for (const auto& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

void gatherContainer(DrawList& list, const host::GraphicsContainer& container, double ppp, double fixedPpp,
                     const DeviceMapping& mapping, int threads) {
    const std::vector<std::shared_ptr<host::Element>> elements = container.elements();
    const std::size_t first = list.items.size();
    list.items.resize(first + elements.size());
    forEachPiece(elements.size(), threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            list.set(first + i, Item{elements[i].get(), nullptr, nullptr},
                     elementRows(*elements[i], ppp, fixedPpp, mapping));
        }
    });
    list.endRun(ppp, fixedPpp);
}

DrawList gather(const host::Map& map, const host::DisplayTransformation& view, const DeviceMapping& mapping,
                int threads) {
    DrawList list;
    list.items.reserve(static_cast<std::size_t>(drawingItemCount(map)));
    const double mapPpp = mapping.pixelsPerPoint(view.referenceScale());
    const double fixedPpp = mapping.pixelsPerPoint(0);
    const host::Envelope visible = mapping.visibleBounds();
    const auto& layers = map.layers();
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        gatherLayer(list, **it, visible, mapPpp, mapping);
    }
    const auto& basic = map.basicGraphicsLayer();
    gatherContainer(list, basic, mapPpp, fixedPpp, mapping, threads);
    for (int i = 0; i < basic.layerCount(); ++i) {
        const auto& layer = *basic.layer(i);
        if (layer.visible()) {
            const double ppp = layer.referenceScale() > 0 ? mapping.pixelsPerPoint(layer.referenceScale()) : mapPpp;
            gatherContainer(list, layer, ppp, fixedPpp, mapping, threads);
        }
    }
    return list;
}

std::int64_t featureCount(const host::Layer& layer) {
    std::int64_t n = 0;
    forEachDrawnLayer(layer, [&](const host::FeatureLayer& featureLayer) {
        n += featureLayer.featureClass()->featureCount();
    });
    return n;
}

// The work shared by the band threads.
class BandJob {
public:
    BandJob(const QImage& target, QRect area, const QTransform& transform, QPainter::RenderHints hints,
            int bandCount, const DrawList& list, const DeviceMapping& mapping, const RenderOptions& options)
        : target_(target), area_(area), transform_(transform), offset_(transform.dx(), transform.dy()),
          hints_(hints), list_(list), mapping_(mapping), options_(options) {
        bands_ = split(bandCount);
        images_.resize(bands_.size());
    }

    // Draws bands until none is left; `report` (calling thread only) is called now and then.
    template <typename Report>
    void work(const Report& report) {
        try {
            for (std::size_t b = next_++; b < bands_.size() && !stop_; b = next_++) {
                drawBand(b, report);
                finishBand();
            }
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!error_) {
                error_ = std::current_exception();
            }
            stop_ = true;
            finished_ = bands_.size();
            done_.notify_all();
        }
    }

    // Waits until every band is drawn, reporting progress meanwhile.
    template <typename Report>
    void wait(const Report& report) {
        std::unique_lock lock(mutex_);
        while (finished_ < bands_.size()) {
            done_.wait_for(lock, kProgressWait);
            lock.unlock();
            report(drawn_.load());
            lock.lock();
        }
    }

    void stop() { stop_ = true; }
    std::exception_ptr error() const { return error_; }
    const std::vector<QRect>& bands() const { return bands_; }
    const std::vector<QImage>& images() const { return images_; }
    std::int64_t drawn() const { return drawn_.load(); }

private:
    // The row where an item is counted: its top row, clamped into the area (device rows).
    int homeRow(const Item& item) const {
        const double top = std::floor(static_cast<double>(item.top) + offset_.y());
        return static_cast<int>(std::clamp(top, static_cast<double>(area_.top()), static_cast<double>(area_.bottom())));
    }

    // Cuts the area into `count` bands of whole rows holding about equally many items (counted at
    // their home rows), none lower than kMinBandRows unless the area is too low for that: a
    // map whose charts crowd into a few cities keeps every thread busy.
    std::vector<QRect> split(int count) const {
        const int rows = area_.height();
        count = std::clamp(count, 1, std::max(1, rows));
        const int lowest = std::max(1, std::min(kMinBandRows, rows / count));
        std::vector<std::int64_t> load(static_cast<std::size_t>(rows), 0);
        std::int64_t total = 0;
        for (const Item& item : list_.items) {
            if (item.bottom + offset_.y() >= area_.top() && item.top + offset_.y() <= area_.top() + rows) {
                ++load[static_cast<std::size_t>(homeRow(item) - area_.top())];
                ++total;
            }
        }
        std::vector<QRect> bands;
        int begin = 0;
        int end = 0;
        std::int64_t below = 0;  // items of the rows before `end`
        for (int i = 0; i < count; ++i) {
            const int after = count - i - 1;  // bands still to come
            if (after == 0) {
                end = rows;
            } else if (total == 0) {
                end = rows * (i + 1) / count;
            } else {
                const std::int64_t wanted = total * (i + 1) / count;
                while (end < rows && below < wanted) {
                    below += load[static_cast<std::size_t>(end++)];
                }
            }
            const int cut = std::clamp(end, begin + lowest, rows - after * lowest);
            while (end < cut) {
                below += load[static_cast<std::size_t>(end++)];
            }
            while (end > cut) {
                below -= load[static_cast<std::size_t>(--end)];
            }
            bands.push_back(QRect(area_.left(), area_.top() + begin, area_.width(), cut - begin));
            begin = cut;
        }
        return bands;
    }

    template <typename Report>
    void drawBand(std::size_t b, const Report& report) {
        // The band is drawn on an image of the whole picture's size, through the caller's own
        // transform, so that every coordinate rounds as on the caller's image; only the band's
        // rows are copied in, drawn and copied back.
        const QRect band = bands_[b];
        QImage image(target_.size(), target_.format());
        if (image.isNull()) {
            throw std::bad_alloc();
        }
        const auto rowBytes = static_cast<std::size_t>(target_.bytesPerLine());
        for (int y = band.top(); y <= band.bottom(); ++y) {
            std::memcpy(image.scanLine(y), target_.constScanLine(y), rowBytes);
        }
        QPainter painter(&image);
        painter.setClipRect(band);
        painter.setTransform(transform_);
        painter.setRenderHints(hints_);
        painter.setRenderHint(QPainter::Antialiasing, options_.antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setClipRect(mapping_.deviceRect(), Qt::IntersectClip);
        if (options_.background.alpha() > 0) {
            painter.fillRect(mapping_.deviceRect(), options_.background);
        }
        // The band's rows in the map drawing's own coordinates; each item is counted for
        // progress by the one band that holds its home row.
        const double top = band.top() - offset_.y();
        const double bottom = band.top() + band.height() - offset_.y();
        SymbolPainter symbols(painter, mapping_);
        std::int64_t counted = 0;
        std::size_t begin = 0;
        for (const Run& run : list_.runs) {
            for (std::size_t i = begin; i < run.end; ++i) {
                const Item& item = list_.items[i];
                if (item.bottom >= top && item.top <= bottom) {
                    if (item.element != nullptr) {
                        drawElement(symbols, *item.element, run.pixelsPerPoint, run.fixedPixelsPerPoint);
                    } else {
                        symbols.setPixelsPerPoint(run.pixelsPerPoint);
                        symbols.drawSymbol(*item.symbol, *item.shape);
                    }
                }
                const int home = homeRow(item);
                if (home >= band.top() && home <= band.bottom() && ++counted == kCheckStep) {
                    drawn_ += counted;
                    counted = 0;
                    report(drawn_.load());
                    if (stop_) {
                        return;
                    }
                }
            }
            begin = run.end;
        }
        drawn_ += counted;
        painter.end();
        images_[b] = std::move(image);
    }

    void finishBand() {
        std::lock_guard lock(mutex_);
        ++finished_;
        done_.notify_all();
    }

    const QImage& target_;
    const QRect area_;
    const QTransform transform_;
    const QPointF offset_;
    const QPainter::RenderHints hints_;
    const DrawList& list_;
    const DeviceMapping& mapping_;
    const RenderOptions& options_;
    std::vector<QRect> bands_;
    std::vector<QImage> images_;
    std::atomic<std::size_t> next_ = 0;
    std::atomic<bool> stop_ = false;
    std::atomic<std::int64_t> drawn_ = 0;
    std::mutex mutex_;
    std::condition_variable done_;
    std::size_t finished_ = 0;  // guarded by mutex_
    std::exception_ptr error_;  // guarded by mutex_
};

}  // namespace

std::int64_t drawingItemCount(const host::Map& map) {
    std::int64_t total = 0;
    for (const auto& layer : map.layers()) {
        total += featureCount(*layer);
    }
    const auto& basic = map.basicGraphicsLayer();
    total += basic.elementCount();
    for (int i = 0; i < basic.layerCount(); ++i) {
        total += basic.layer(i)->elementCount();
    }
    return total;
}

bool canDrawInBands(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image || painter.paintEngine() == nullptr ||
        painter.paintEngine()->type() != QPaintEngine::Raster) {
        return false;
    }
    const auto* image = static_cast<const QImage*>(device);
    const QImage::Format format = image->format();
    const bool plain = format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_ARGB32 ||
                       format == QImage::Format_RGB32;
    return plain && image->devicePixelRatio() == 1.0 && painter.deviceTransform().type() <= QTransform::TxTranslate &&
           !painter.hasClipping() && painter.opacity() == 1.0 &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver;
}

std::vector<QRect> drawMapInBands(QPainter& painter, const host::Map& map, const host::DisplayTransformation& view,
                                  const RenderOptions& options, int bands, int threads) {
    const DeviceMapping mapping(view);
    const std::int64_t total = drawingItemCount(map);
    const DrawList list = gather(map, view, mapping, threads);

    const auto& target = *static_cast<const QImage*>(painter.device());
    const QTransform transform = painter.deviceTransform();
    const QRect area = transform.mapRect(mapping.deviceRect()).toAlignedRect() & target.rect();
    if (area.isEmpty()) {
        if (options.progress) {
            options.progress(total, total);
        }
        return {};
    }
    BandJob job(target, area, transform, painter.renderHints(), bands, list, mapping, options);
    const std::int64_t culled = total - static_cast<std::int64_t>(list.items.size());
    std::int64_t reported = 0;
    const auto report = [&](std::int64_t drawn) {
        const std::int64_t done = std::min(total, culled + drawn);
        if (options.progress && done - reported >= kProgressStep) {
            reported = done;
            options.progress(done, total);
        }
    };
    const auto quiet = [](std::int64_t) {};

    const int helpers = std::clamp(threads, 1, static_cast<int>(job.bands().size())) - 1;
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(helpers));
    try {
        for (int i = 0; i < helpers; ++i) {
            workers.emplace_back([&job, &quiet] { job.work(quiet); });
        }
        job.work(report);
        job.wait(report);
    } catch (...) {
        job.stop();
        for (auto& worker : workers) {
            worker.join();
        }
        throw;
    }
    for (auto& worker : workers) {
        worker.join();
    }
    if (job.error()) {
        std::rethrow_exception(job.error());
    }

    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (std::size_t b = 0; b < job.bands().size(); ++b) {
        painter.drawImage(job.bands()[b], job.images()[b], job.bands()[b]);
    }
    painter.restore();
    if (options.progress) {
        options.progress(total, total);
    }
    return job.bands();
}

}  // namespace kartoplot::render
