// Text measurement from real fonts, for the bounds of text elements. Needs a running
// QGuiApplication.
#pragma once

#include "host/display.h"
#include "host/map.h"

namespace kartoplot::render {

class QtTextMetrics final : public host::TextMetrics {
public:
    // Width, ascent and descent in points, as the renderer draws the text.
    host::TextExtent measure(const std::string& text, const host::TextSymbol& symbol) const override;
};

// Makes the map's display measure text with real fonts.
void installTextMetrics(host::Map& map);

}  // namespace kartoplot::render
