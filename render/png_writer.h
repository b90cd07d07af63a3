// A PNG encoder that compresses bands of rows on several threads into one stream.
#pragma once

class QImage;
class QIODevice;

namespace kartoplot::render {

// Writes the image as an 8-bit RGBA PNG (straight alpha, the image's resolution in a pHYs
// chunk) to the device. Bands of rows are filtered and compressed by up to `threads` threads
// (0 = one per core) and joined into one stream. Returns false when the image is empty or the
// device does not take every byte.
bool writePng(const QImage& image, QIODevice& device, int threads = 0);

}  // namespace kartoplot::render
