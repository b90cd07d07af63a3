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
    std::function<void(std::int64_t done, std::int64_t total)> progress;
};

// Draws the map as the view shows it; `view` carries the device frame (pixels), the
// resolution and the visible area.
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
