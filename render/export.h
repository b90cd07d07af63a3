// Writes maps and page layouts to PNG, SVG and PDF files.
#pragma once

#include <optional>
#include <string>

#include "host/map.h"
#include "render/map_renderer.h"

namespace kartoplot::render {

enum class ExportFormat { Png, Svg, Pdf };

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
// file, or "" on success. Nothing is left behind when writing fails.
std::string exportMap(const host::Map& map, const std::string& path, const ExportOptions& options);

// Writes the document's page layout at the resolution (PDF pages keep the page size).
std::string exportPageLayout(const host::MapDocument& document, const std::string& path, double dpi,
                             const RenderOptions& render = {});

}  // namespace kartoplot::render
