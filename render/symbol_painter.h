// Draws host symbols with QPainter: markers (simple and bar charts with their leaders),
// lines, fills and text, on geometries in map units.
#pragma once

#include <QBrush>
#include <QPen>
#include <QPainterPath>

#include <memory>
#include <string>

#include "host/elements.h"
#include "host/symbols.h"
#include "render/device_mapping.h"

class QPainter;

namespace kartoplot::render {

// Text is laid out at this pixel size and then scaled to its real size, so that drawing and
// measuring agree at any size.
inline constexpr int kTextLayoutPixelSize = 100;

// QColor of a host colour (a null colour is transparent).
QColor toQColor(const host::Color& c);
// The family Kartoplot draws for a font name: the metric twins stand in for the usual
// office fonts ("Arial" → "Liberation Sans", "Arial Narrow" → "Liberation Sans Narrow").
QString fontFamily(const std::string& name);

class SymbolPainter {
public:
    SymbolPainter(QPainter& painter, const DeviceMapping& mapping);

    // Symbol sizes (points) are multiplied by this many pixels per point.
    void setPixelsPerPoint(double pixelsPerPoint) noexcept { pixelsPerPoint_ = pixelsPerPoint; }
    double pixelsPerPoint() const noexcept { return pixelsPerPoint_; }
    const DeviceMapping& mapping() const noexcept { return mapping_; }

    // Draws the symbol on the geometry: a marker on its label point, a line along it, a fill
    // over an area (or over the envelope of any other geometry).
    void drawSymbol(const host::Symbol& symbol, const host::Geometry& geometry);
    // Draws a text with the symbol at a map point.
    void drawText(const std::string& text, const host::TextSymbol& symbol, const host::Point& at,
                  double pixelsPerPoint);
    // Draws a bar chart whose lower-centre point is `at` (device pixels), with its leader
    // to the callout's anchor when it stands farther away than the leader tolerance.
    void drawBarChart(const host::BarChartSymbol& chart, QPointF at);

    // Pen and brush of host symbols at the current size.
    QPen pen(const host::LineSymbol* line);
    QBrush brush(const host::FillSymbol& fill);

private:
    void drawMarker(const host::MarkerSymbol& marker, QPointF at);
    void drawSimpleMarker(const host::SimpleMarkerSymbol& marker, QPointF at);
    void drawLine(const host::LineSymbol& line, const QPainterPath& path);
    void drawFill(const host::FillSymbol& fill, const QPainterPath& area);
    void drawPatternFill(const host::FillSymbol& fill, const QPainterPath& area);
    void drawLeader(const host::LineCallout& callout, const QRectF& chartRect);
    QPainterPath pathOf(const host::Geometry& geometry) const;

    QPainter& painter_;
    const DeviceMapping& mapping_;
    double pixelsPerPoint_ = 1.0;
};

}  // namespace kartoplot::render
