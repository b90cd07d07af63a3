// Drawing a large map picture on several threads: the picture is cut into horizontal bands,
// each band is drawn on its own image by one thread (everything whose device bounds touch the
// band, clipped to it) and the bands are copied back into the painter's image in order.
#pragma once

#include <QRect>

#include <cstdint>
#include <vector>

#include "host/map.h"
#include "render/map_renderer.h"

class QPainter;

namespace kartoplot::render {

// Below these sizes a picture is drawn on one thread: starting threads and copying bands
// would cost more than they save.
inline constexpr std::int64_t kMinBandedItems = 2000;         // features and elements
inline constexpr std::int64_t kMinBandedPixels = 512 * 512;  // device pixels
// Bands per drawing thread: a few more bands than threads even out uneven maps.
inline constexpr int kBandsPerThread = 2;
// The lowest band, in pixel rows: a drawing crosses few band edges.
inline constexpr int kMinBandRows = 64;

// The features (of visible layers) and graphics elements a drawing of the map goes through;
// the total that RenderOptions::progress reports.
std::int64_t drawingItemCount(const host::Map& map);

// True when the painter draws into a 32-bit image with the raster engine, through a transform
// that only moves (no scaling, rotation or device pixel ratio), without a clip, at full opacity
// and with the normal composition: then a drawing in bands gives the same picture.
bool canDrawInBands(const QPainter& painter);

// Draws the map exactly as drawMap does, in `bands` horizontal bands drawn by up to `threads`
// threads (the calling one included). Requires canDrawInBands. The bands hold about equally
// many features and elements and are at least kMinBandRows high where the picture allows.
// Progress is reported from the calling thread only; an exception thrown by a drawing or by
// the progress callback stops the other threads and is rethrown here. Returns the bands
// (device pixels of the painter's image), top to bottom; none when the map is off the image.
std::vector<QRect> drawMapInBands(QPainter& painter, const host::Map& map, const host::DisplayTransformation& view,
                                  const RenderOptions& options, int bands, int threads);

}  // namespace kartoplot::render
