#include "host/geometry.h"

#include <algorithm>
#include <ostream>

namespace kartoplot::host {

Envelope::Envelope(double xmin, double ymin, double xmax, double ymax)
    : xmin_(std::min(xmin, xmax)),
      ymin_(std::min(ymin, ymax)),
      xmax_(std::max(xmin, xmax)),
      ymax_(std::max(ymin, ymax)) {}

void Envelope::expand(const Point& p) noexcept {
    xmin_ = std::min(xmin_, p.x);
    ymin_ = std::min(ymin_, p.y);
    xmax_ = std::max(xmax_, p.x);
    ymax_ = std::max(ymax_, p.y);
}

void Envelope::expand(const Envelope& other) noexcept {
    if (other.isEmpty()) {
        return;
    }
    expand(other.lowerLeft());
    expand(other.upperRight());
}

void Envelope::move(double dx, double dy) noexcept {
    if (isEmpty()) {
        return;
    }
    xmin_ += dx;
    xmax_ += dx;
    ymin_ += dy;
    ymax_ += dy;
}

bool Envelope::contains(const Point& p) const noexcept {
    return p.x >= xmin_ && p.x <= xmax_ && p.y >= ymin_ && p.y <= ymax_;
}

bool Envelope::intersects(const Envelope& o) const noexcept {
    if (isEmpty() || o.isEmpty()) {
        return false;
    }
    return xmin_ <= o.xmax_ && o.xmin_ <= xmax_ && ymin_ <= o.ymax_ && o.ymin_ <= ymax_;
}

Polyline Polyline::fromPoints(std::vector<Point> points) {
    Polyline line;
    if (!points.empty()) {
        line.paths.push_back(std::move(points));
    }
    return line;
}

Polygon Polygon::fromEnvelope(const Envelope& e) {
    Polygon p;
    if (!e.isEmpty()) {
        p.rings.push_back({{e.xMin(), e.yMin()},
                           {e.xMin(), e.yMax()},
                           {e.xMax(), e.yMax()},
                           {e.xMax(), e.yMin()},
                           {e.xMin(), e.yMin()}});
    }
    return p;
}

GeometryType Geometry::type() const noexcept {
    switch (shape_.index()) {
        case 1: return GeometryType::Point;
        case 2: return GeometryType::Polyline;
        case 3: return GeometryType::Polygon;
        case 4: return GeometryType::Envelope;
        default: return GeometryType::Null;
    }
}

bool Geometry::isEmpty() const noexcept {
    switch (shape_.index()) {
        case 1: return false;
        case 2: return std::get<Polyline>(shape_).paths.empty();
        case 3: return std::get<Polygon>(shape_).rings.empty();
        case 4: return std::get<Envelope>(shape_).isEmpty();
        default: return true;
    }
}

namespace {
Envelope envelopeOfParts(const std::vector<std::vector<Point>>& parts) {
    Envelope e;
    for (const auto& part : parts) {
        for (const auto& p : part) {
            e.expand(p);
        }
    }
    return e;
}

void moveParts(std::vector<std::vector<Point>>& parts, double dx, double dy) {
    for (auto& part : parts) {
        for (auto& p : part) {
            p.x += dx;
            p.y += dy;
        }
    }
}
}  // namespace

Envelope Geometry::envelope() const {
    switch (shape_.index()) {
        case 1: {
            const Point& p = std::get<Point>(shape_);
            return Envelope(p.x, p.y, p.x, p.y);
        }
        case 2: return envelopeOfParts(std::get<Polyline>(shape_).paths);
        case 3: return envelopeOfParts(std::get<Polygon>(shape_).rings);
        case 4: return std::get<Envelope>(shape_);
        default: return {};
    }
}

Point Geometry::labelPoint() const {
    if (const auto* p = asPoint()) {
        return *p;
    }
    if (const auto* area = asPolygon()) {
        return polygonLabelPoint(*area);
    }
    const Envelope e = envelope();
    return e.isEmpty() ? Point{} : e.center();
}

void Geometry::move(double dx, double dy) {
    switch (shape_.index()) {
        case 1: {
            Point& p = std::get<Point>(shape_);
            p.x += dx;
            p.y += dy;
            break;
        }
        case 2: moveParts(std::get<Polyline>(shape_).paths, dx, dy); break;
        case 3: moveParts(std::get<Polygon>(shape_).rings, dx, dy); break;
        case 4: std::get<Envelope>(shape_).move(dx, dy); break;
        default: break;
    }
}

Point polygonLabelPoint(const Polygon& polygon) {
    const Envelope e = envelopeOfParts(polygon.rings);
    if (e.isEmpty()) {
        return {};
    }
    const double y = (e.yMin() + e.yMax()) / 2;
    // Crossings of the horizontal line y with every ring edge (half-open rule so that a
    // vertex on the line is counted once).
    std::vector<double> xs;
    for (const auto& ring : polygon.rings) {
        const std::size_t n = ring.size();
        for (std::size_t i = 0; i < n; ++i) {
            const Point& a = ring[i];
            const Point& b = ring[(i + 1) % n];
            if ((a.y <= y && b.y > y) || (b.y <= y && a.y > y)) {
                xs.push_back(a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x));
            }
        }
    }
    std::sort(xs.begin(), xs.end());
    double bestWidth = -1.0;
    Point best = e.center();
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
        const double w = xs[i + 1] - xs[i];
        if (w > bestWidth) {
            bestWidth = w;
            best = {(xs[i] + xs[i + 1]) / 2, y};
        }
    }
    return best;
}

std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << "(" << p.x << ", " << p.y << ")";
}

std::ostream& operator<<(std::ostream& out, const Envelope& e) {
    if (e.isEmpty()) {
        return out << "Envelope(empty)";
    }
    return out << "Envelope(" << e.xMin() << ", " << e.yMin() << ", " << e.xMax() << ", "
               << e.yMax() << ")";
}

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    switch (g.type()) {
        case GeometryType::Point: return out << "Point" << *g.asPoint();
        case GeometryType::Polyline: return out << "Polyline " << g.envelope();
        case GeometryType::Polygon: return out << "Polygon " << g.envelope();
        case GeometryType::Envelope: return out << *g.asEnvelope();
        default: return out << "Geometry(empty)";
    }
}

}  // namespace kartoplot::host
