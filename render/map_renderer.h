// Draws maps and page layouts: feature layers with their renderers' symbols (bottom layer
// first), then the graphics layers with every element kind, in container order.
#pragma once

#include <QColor>

#include <cstdint>
#include <functional>

#include "host/map.h"
#include "render/device_mapping.h"

class QPainter;

namespace kartoplot::render {

class SymbolPainter;

struct RenderOptions {
    QColor background = QColor(255, 255, 255);
    bool antialiasing = true;
    // Called now and then with the number of features and elements drawn and their total.
    // Called from the drawing's own thread, also when the picture is drawn on several.
    std::function<void(std::int64_t done, std::int64_t total)> progress;
    // Threads that may draw a large picture into an image, in horizontal bands; 0 = one per
    // core. Small pictures and vector painters (SVG, PDF) are always drawn on one thread.
    int threads = 0;
};

// Draws the map as the view shows it; `view` carries the device frame (pixels), the
// resolution and the visible area. A large drawing into an image is drawn in bands on several
// threads (see band_renderer.h) with the same picture; the host objects must not change meanwhile.
void drawMap(QPainter& painter, const host::Map& map, const host::DisplayTransformation& view,
             const RenderOptions& options = {});

// Draws one element (groups with all their members) with symbol points of the given size.
void drawElement(SymbolPainter& painter, const host::Element& element, double pixelsPerPoint,
                 double fixedPixelsPerPoint);

// Draws the page of the document: white paper, the focus map in the page's map frame and
// the page's own graphics. The device is pageWidth × pageHeight at `dpi`.
void drawPageLayout(QPainter& painter, const host::MapDocument& document, double dpi,
                    const RenderOptions& options = {});

// The pixel size of a page at a resolution.
QSize pageSizeInPixels(const host::PageLayout& page, double dpi);

}  // namespace kartoplot::render
