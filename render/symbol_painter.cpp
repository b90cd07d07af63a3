#include "render/symbol_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kartoplot::render {

namespace {

// Darker shades of a bar's colour for the side and the top of 3D bars (percent).
constexpr int kSideShade = 150;
constexpr int kTopShade = 120;

Qt::PenCapStyle capOf(host::LineCap cap) {
    switch (cap) {
        case host::LineCap::Round: return Qt::RoundCap;
        case host::LineCap::Square: return Qt::SquareCap;
        default: return Qt::FlatCap;
    }
}

Qt::PenJoinStyle joinOf(host::LineJoin join) {
    switch (join) {
        case host::LineJoin::Round: return Qt::RoundJoin;
        case host::LineJoin::Bevel: return Qt::BevelJoin;
        default: return Qt::MiterJoin;
    }
}

Qt::BrushStyle hatchOf(host::FillStyle style) {
    switch (style) {
        case host::FillStyle::Horizontal: return Qt::HorPattern;
        case host::FillStyle::Vertical: return Qt::VerPattern;
        case host::FillStyle::ForwardDiagonal: return Qt::FDiagPattern;
        case host::FillStyle::BackwardDiagonal: return Qt::BDiagPattern;
        case host::FillStyle::Cross: return Qt::CrossPattern;
        case host::FillStyle::DiagonalCross: return Qt::DiagCrossPattern;
        case host::FillStyle::Null: return Qt::NoBrush;
        default: return Qt::SolidPattern;
    }
}

}  // namespace

QColor toQColor(const host::Color& c) {
    if (c.isNull) {
        return QColor(Qt::transparent);
    }
    return QColor(c.red, c.green, c.blue);
}

QString fontFamily(const std::string& name) {
    const QString family = QString::fromStdString(name);
    if (family.compare("Arial Narrow", Qt::CaseInsensitive) == 0) {
        return "Liberation Sans Narrow";
    }
    if (family.compare("Arial", Qt::CaseInsensitive) == 0 ||
        family.compare("Helvetica", Qt::CaseInsensitive) == 0) {
        return "Liberation Sans";
    }
    if (family.compare("Times New Roman", Qt::CaseInsensitive) == 0) {
        return "Liberation Serif";
    }
    if (family.compare("Courier New", Qt::CaseInsensitive) == 0) {
        return "Liberation Mono";
    }
    return family;
}

SymbolPainter::SymbolPainter(QPainter& painter, const DeviceMapping& mapping)
    : painter_(painter), mapping_(mapping), pixelsPerPoint_(mapping.pixelsPerPoint(0)) {}

QPen SymbolPainter::pen(const host::LineSymbol* line) {
    if (line == nullptr || line->color.isNull) {
        return QPen(Qt::NoPen);
    }
    QPen pen(toQColor(line->color));
    pen.setWidthF(std::max(0.0, line->width * pixelsPerPoint_));
    if (line->kind() == host::SymbolKind::SimpleLine) {
        switch (static_cast<const host::SimpleLineSymbol*>(line)->style) {
            case host::LineStyle::Dash: pen.setStyle(Qt::DashLine); break;
            case host::LineStyle::Dot: pen.setStyle(Qt::DotLine); break;
            case host::LineStyle::DashDot: pen.setStyle(Qt::DashDotLine); break;
            case host::LineStyle::DashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
            case host::LineStyle::Null: return QPen(Qt::NoPen);
            default: break;
        }
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else if (line->kind() == host::SymbolKind::CartographicLine) {
        const auto* carto = static_cast<const host::CartographicLineSymbol*>(line);
        pen.setCapStyle(capOf(carto->cap));
        pen.setJoinStyle(joinOf(carto->join));
        // Marks and gaps in units of the template interval (points); Qt counts dashes in
        // pen widths. A pattern of nothing but zeros is a solid line.
        QList<qreal> dashes;
        bool drawn = false;
        const double width = std::max(line->width, 0.01);
        for (const auto& element : carto->lineTemplate.pattern) {
            dashes << element.mark * carto->lineTemplate.interval / width
                   << element.gap * carto->lineTemplate.interval / width;
            drawn = drawn || element.gap > 0;
        }
        if (drawn) {
            pen.setDashPattern(dashes);
        }
    }
    return pen;
}

QBrush SymbolPainter::brush(const host::FillSymbol& fill) {
    if (fill.color.isNull) {
        return QBrush(Qt::NoBrush);
    }
    if (fill.kind() == host::SymbolKind::SimpleFill) {
        return QBrush(toQColor(fill.color),
                      hatchOf(static_cast<const host::SimpleFillSymbol&>(fill).style));
    }
    return QBrush(toQColor(fill.color));
}

QPainterPath SymbolPainter::pathOf(const host::Geometry& geometry) const {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    const auto addParts = [&](const std::vector<std::vector<host::Point>>& parts, bool close) {
        for (const auto& part : parts) {
            if (part.empty()) {
                continue;
            }
            path.moveTo(mapping_.toDevice(part.front()));
            for (std::size_t i = 1; i < part.size(); ++i) {
                path.lineTo(mapping_.toDevice(part[i]));
            }
            if (close) {
                path.closeSubpath();
            }
        }
    };
    if (const auto* line = geometry.asPolyline()) {
        addParts(line->paths, false);
    } else if (const auto* area = geometry.asPolygon()) {
        addParts(area->rings, true);
    } else if (!geometry.isEmpty()) {
        path.addRect(mapping_.toDevice(geometry.envelope()));
    }
    return path;
}

void SymbolPainter::drawSymbol(const host::Symbol& symbol, const host::Geometry& geometry) {
    if (geometry.isEmpty()) {
        return;
    }
    if (symbol.isMarker()) {
        drawMarker(static_cast<const host::MarkerSymbol&>(symbol),
                   mapping_.toDevice(geometry.labelPoint()));
    } else if (symbol.isLine()) {
        drawLine(static_cast<const host::LineSymbol&>(symbol), pathOf(geometry));
    } else if (symbol.isFill()) {
        QPainterPath area = pathOf(geometry);
        if (geometry.type() == host::GeometryType::Polyline || geometry.type() == host::GeometryType::Point) {
            area = QPainterPath();
            area.addRect(mapping_.toDevice(geometry.envelope()));
        }
        drawFill(static_cast<const host::FillSymbol&>(symbol), area);
    }
    // Text symbols need a text: see drawText.
}

void SymbolPainter::drawMarker(const host::MarkerSymbol& marker, QPointF at) {
    if (marker.kind() == host::SymbolKind::BarChart) {
        drawBarChart(static_cast<const host::BarChartSymbol&>(marker), at);
    } else {
        drawSimpleMarker(static_cast<const host::SimpleMarkerSymbol&>(marker), at);
    }
}

void SymbolPainter::drawSimpleMarker(const host::SimpleMarkerSymbol& marker, QPointF at) {
    const double size = marker.size * pixelsPerPoint_;
    const double half = size / 2;
    const QPointF c(at.x() + marker.xOffset * pixelsPerPoint_, at.y() - marker.yOffset * pixelsPerPoint_);
    QPen outline(Qt::NoPen);
    if (marker.outline && !marker.outlineColor.isNull) {
        outline = QPen(toQColor(marker.outlineColor), marker.outlineSize * pixelsPerPoint_);
    }
    painter_.save();
    painter_.translate(c);
    painter_.rotate(-marker.angle);
    const QColor colour = toQColor(marker.color);
    switch (marker.style) {
        case host::MarkerStyle::Square:
            painter_.setPen(outline);
            painter_.setBrush(colour);
            painter_.drawRect(QRectF(-half, -half, size, size));
            break;
        case host::MarkerStyle::Diamond: {
            painter_.setPen(outline);
            painter_.setBrush(colour);
            const QPointF pts[] = {{0, -half}, {half, 0}, {0, half}, {-half, 0}};
            painter_.drawPolygon(pts, 4);
            break;
        }
        case host::MarkerStyle::Cross:
        case host::MarkerStyle::X: {
            QPen stroke(colour, std::max(1.0, size / 6));
            painter_.setPen(stroke);
            if (marker.style == host::MarkerStyle::X) {
                painter_.rotate(45);
            }
            painter_.drawLine(QPointF(-half, 0), QPointF(half, 0));
            painter_.drawLine(QPointF(0, -half), QPointF(0, half));
            break;
        }
        default:
            painter_.setPen(outline);
            painter_.setBrush(colour);
            painter_.drawEllipse(QPointF(0, 0), half, half);
            break;
    }
    painter_.restore();
}

void SymbolPainter::drawBarChart(const host::BarChartSymbol& chart, QPointF at) {
    if (chart.values.empty()) {
        return;
    }
    const double k = pixelsPerPoint_;
    // The layout is in points with y up; the device has y down.
    const host::BarChartLayout layout = host::barChartLayout(chart);
    // A chart whose numbers overflow has no drawing; QPainter is never handed them.
    const double scaled[] = {k, layout.rowWidth * k, (layout.height + layout.depthY) * k,
                             layout.depthX * k, at.x(), at.y()};
    if (!layout.isFinite() ||
        !std::all_of(std::begin(scaled), std::end(scaled), [](double v) { return std::isfinite(v); })) {
        return;
    }
    const double depthX = layout.depthX * k;
    const double depthY = layout.depthY * k;
    for (std::size_t i = 0; i < layout.bars.size(); ++i) {
        const host::BarChartLayout::Bar& bar = layout.bars[i];
        const double x0 = at.x() + bar.left * k;
        const double barWidth = bar.width * k;
        const double yTop = at.y() - bar.top * k;
        const double yBottom = at.y() - bar.bottom * k;
        const host::FillSymbol* fill = nullptr;
        if (static_cast<int>(i) < chart.symbols.count()) {
            const auto& s = chart.symbols.element(static_cast<int>(i));
            if (s && s->isFill()) {
                fill = static_cast<const host::FillSymbol*>(s.get());
            }
        }
        const QRectF front(QPointF(x0, yTop), QPointF(x0 + barWidth, yBottom));
        const QPen outline = fill ? pen(fill->outline.get()) : QPen(Qt::black, 0);
        if (fill != nullptr && fill->kind() != host::SymbolKind::SimpleFill &&
            fill->kind() != host::SymbolKind::MultiLayerFill) {
            QPainterPath area;
            area.addRect(front);
            drawFill(*fill, area);
        } else {
            painter_.setPen(outline);
            painter_.setBrush(fill ? brush(*fill) : QBrush(Qt::gray));
            if (fill != nullptr && fill->kind() == host::SymbolKind::MultiLayerFill) {
                QPainterPath area;
                area.addRect(front);
                drawFill(*fill, area);
            } else {
                painter_.drawRect(front);
            }
        }
        if (depthX > 0) {
            const QColor base = fill ? toQColor(fill->color) : QColor(Qt::gray);
            painter_.setPen(outline);
            painter_.setBrush(base.darker(kSideShade));
            const QPointF side[] = {{x0 + barWidth, yBottom},
                                    {x0 + barWidth + depthX, yBottom - depthY},
                                    {x0 + barWidth + depthX, yTop - depthY},
                                    {x0 + barWidth, yTop}};
            painter_.drawPolygon(side, 4);
            painter_.setBrush(base.darker(kTopShade));
            const QPointF lid[] = {{x0, yTop},
                                   {x0 + depthX, yTop - depthY},
                                   {x0 + barWidth + depthX, yTop - depthY},
                                   {x0 + barWidth, yTop}};
            painter_.drawPolygon(lid, 4);
        }
    }
    if (chart.background) {
        const host::Envelope box = layout.envelope();
        drawLeader(*chart.background, QRectF(QPointF(at.x() + box.xMin() * k, at.y() - box.yMax() * k),
                                             QPointF(at.x() + box.xMax() * k, at.y())));
    }
}

void SymbolPainter::drawLeader(const host::LineCallout& callout, const QRectF& chartRect) {
    const QPointF anchor = mapping_.toDevice(callout.anchorPoint);
    const QPointF centre = chartRect.center();
    const double distance = QLineF(anchor, centre).length();
    if (pixelsPerPoint_ <= 0 || distance / pixelsPerPoint_ <= callout.leaderTolerance) {
        return;  // the chart stands close enough to its feature
    }
    // From the anchor to the nearest point of the chart's box, stopping `gap` short of it.
    const QPointF nearest(std::clamp(anchor.x(), chartRect.left(), chartRect.right()),
                          std::clamp(anchor.y(), chartRect.top(), chartRect.bottom()));
    QLineF leader(anchor, nearest);
    const double gap = callout.gap * pixelsPerPoint_;
    if (leader.length() <= gap) {
        return;
    }
    leader.setLength(leader.length() - gap);
    painter_.setPen(pen(callout.leaderLine.get()));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawLine(leader);
}

void SymbolPainter::drawLine(const host::LineSymbol& line, const QPainterPath& path) {
    painter_.setPen(pen(&line));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPath(path);
}

void SymbolPainter::drawFill(const host::FillSymbol& fill, const QPainterPath& area) {
    switch (fill.kind()) {
        case host::SymbolKind::MultiLayerFill: {
            const auto& layers = static_cast<const host::MultiLayerFillSymbol&>(fill).layers;
            for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
                if (*it) {
                    drawFill(**it, area);
                }
            }
            break;
        }
        case host::SymbolKind::MarkerFill:
        case host::SymbolKind::LineFill:
        case host::SymbolKind::PictureFill: drawPatternFill(fill, area); break;
        default:
            painter_.setPen(Qt::NoPen);
            painter_.setBrush(brush(fill));
            painter_.drawPath(area);
            break;
    }
    if (fill.outline) {
        painter_.setPen(pen(fill.outline.get()));
        painter_.setBrush(Qt::NoBrush);
        painter_.drawPath(area);
    }
}

void SymbolPainter::drawPatternFill(const host::FillSymbol& fill, const QPainterPath& area) {
    painter_.save();
    painter_.setClipPath(area, Qt::IntersectClip);
    const QRectF box = area.boundingRect();
    if (!fill.color.isNull) {
        painter_.fillPath(area, toQColor(fill.color));
    }
    if (fill.kind() == host::SymbolKind::MarkerFill) {
        const auto& mf = static_cast<const host::MarkerFillSymbol&>(fill);
        const double dx = std::max(1.0, mf.xSeparation * pixelsPerPoint_);
        const double dy = std::max(1.0, mf.ySeparation * pixelsPerPoint_);
        if (mf.marker) {
            for (double y = box.top() + dy / 2; y < box.bottom() + dy; y += dy) {
                for (double x = box.left() + dx / 2; x < box.right() + dx; x += dx) {
                    drawMarker(*mf.marker, QPointF(x, y));
                }
            }
        }
    } else if (fill.kind() == host::SymbolKind::LineFill) {
        const auto& lf = static_cast<const host::LineFillSymbol&>(fill);
        const double step = std::max(1.0, lf.separation * pixelsPerPoint_);
        const double reach = std::hypot(box.width(), box.height());
        painter_.translate(box.center());
        painter_.rotate(-lf.angle);
        painter_.setPen(lf.line ? pen(lf.line.get()) : QPen(Qt::black, 1));
        for (double y = -reach + std::fmod(lf.offset * pixelsPerPoint_, step); y <= reach; y += step) {
            painter_.drawLine(QPointF(-reach, y), QPointF(reach, y));
        }
    } else {
        const auto& pf = static_cast<const host::PictureFillSymbol&>(fill);
        QImage picture;
        if (!pf.picture.empty()) {
            picture.loadFromData(pf.picture.data(), static_cast<int>(pf.picture.size()));
        } else if (!pf.picturePath.empty()) {
            picture.load(QString::fromStdString(pf.picturePath));
        }
        if (!picture.isNull()) {
            QBrush tile(picture);
            tile.setTransform(QTransform::fromScale(pf.xScale * pixelsPerPoint_ * 72 / 96,
                                                    pf.yScale * pixelsPerPoint_ * 72 / 96));
            painter_.fillPath(area, tile);
        }
    }
    painter_.restore();
}

void SymbolPainter::drawText(const std::string& text, const host::TextSymbol& symbol,
                             const host::Point& at, double pixelsPerPoint) {
    if (text.empty() || symbol.color.isNull) {
        return;
    }
    QFont font(fontFamily(symbol.font.name));
    font.setPixelSize(kTextLayoutPixelSize);
    font.setBold(symbol.font.bold);
    font.setItalic(symbol.font.italic);
    font.setUnderline(symbol.font.underline);
    font.setStrikeOut(symbol.font.strikethrough);
    const QFontMetricsF metrics(font);
    const QString q = QString::fromStdString(text);
    const double width = metrics.horizontalAdvance(q);
    double x = 0;
    switch (symbol.horizontalAlignment) {
        case host::HorizontalAlignment::Center: x = -width / 2; break;
        case host::HorizontalAlignment::Right: x = -width; break;
        default: break;
    }
    double baseline = 0;
    switch (symbol.verticalAlignment) {
        case host::VerticalAlignment::Top: baseline = metrics.ascent(); break;
        case host::VerticalAlignment::Center: baseline = (metrics.ascent() - metrics.descent()) / 2; break;
        case host::VerticalAlignment::Bottom: baseline = -metrics.descent(); break;
        case host::VerticalAlignment::Baseline: break;
    }
    const double scale = symbol.size() * pixelsPerPoint / kTextLayoutPixelSize;
    if (scale <= 0) {
        return;
    }
    painter_.save();
    painter_.translate(mapping_.toDevice(at));
    painter_.rotate(-symbol.angle);
    painter_.scale(scale, scale);
    painter_.setFont(font);
    painter_.setPen(toQColor(symbol.color));
    painter_.drawText(QPointF(x, baseline), q);
    painter_.restore();
}

}  // namespace kartoplot::render
