// Writes maps and page layouts to PNG, SVG and PDF files.
#pragma once

#include <optional>
#include <string>

#include "host/map.h"
#include "render/map_renderer.h"

class QIODevice;

namespace kartoplot::render {

enum class ExportFormat { Png, Svg, Pdf };

// ".png", ".svg" or ".pdf".
const char* fileEnding(ExportFormat format);

// The largest page side a PDF file may have, in points. Larger PDF pages are scaled down to it,
// keeping their proportions.
inline constexpr double kMaxPdfPagePoints = 14400.0;

// The format a file name asks for by its ending (.png, .svg, .pdf, any letter case).
std::optional<ExportFormat> exportFormatFromPath(const std::string& path);

struct ExportOptions {
    int width = 1600;   // pixels
    int height = 1000;  // pixels
    double dpi = host::kDefaultDpi;
    // The map area to show; nothing = the full extent of the map's layers.
    std::optional<host::Envelope> extent;
    RenderOptions render;
};

// The view an export draws: the map's display with the export's size, resolution and area.
host::DisplayTransformation exportView(const host::Map& map, const ExportOptions& options);

// Writes the map in the format of the file's ending. Returns an error sentence naming the
// file, or "" on success. The file replaces an older one only once it is complete (see
// host::AtomicFile); nothing is left behind when writing fails.
std::string exportMap(const host::Map& map, const std::string& path, const ExportOptions& options);

// Draws the map in the format into an open, writable device and flushes it. Returns "" or an
// error sentence naming pathForMessages. For callers that write several files as one set:
//
//     host::AtomicFileSet files;
//     for (const ExportFormat format : formats) {
//         const std::string path = base + fileEnding(format);
//         host::AtomicFile& file = files.add(path);
//         QFile device;
//         device.open(file.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
//         if (const std::string error = exportMap(map, format, device, path, options); !error.empty()) {
//             return error;  // the set removes every temporary
//         }
//     }
//     files.commit();  // all files replace their targets together, or none does
std::string exportMap(const host::Map& map, ExportFormat format, QIODevice& device,
                      const std::string& pathForMessages, const ExportOptions& options);

// Writes the document's page layout at the resolution (PDF pages keep the page size, up to
// the largest PDF page), like exportMap through a temporary file.
std::string exportPageLayout(const host::MapDocument& document, const std::string& path, double dpi,
                             const RenderOptions& render = {});

}  // namespace kartoplot::render
