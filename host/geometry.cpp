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

Geometry::Box& Geometry::Box::operator=(const Box& other) {
    if (this == &other) {
        return *this;
    }
    if (!other.shape_) {
        shape_.reset();
    } else if (shape_) {
        *shape_ = *other.shape_;
    } else {
        shape_ = std::make_unique<Shape>(*other.shape_);
    }
    return *this;
}

GeometryType Geometry::type() const noexcept {
    if (std::holds_alternative<Point>(shape_)) {
        return GeometryType::Point;
    }
    if (asPolyline() != nullptr) {
        return GeometryType::Polyline;
    }
    if (asPolygon() != nullptr) {
        return GeometryType::Polygon;
    }
    return asEnvelope() != nullptr ? GeometryType::Envelope : GeometryType::Null;
}

bool Geometry::isEmpty() const noexcept {
    if (std::holds_alternative<Point>(shape_)) {
        return false;
    }
    if (const Polyline* line = asPolyline()) {
        return line->paths.empty();
    }
    if (const Polygon* area = asPolygon()) {
        return area->rings.empty();
    }
    const Envelope* e = asEnvelope();
    return e == nullptr || e->isEmpty();
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
    if (const Point* p = asPoint()) {
        return Envelope(p->x, p->y, p->x, p->y);
    }
    if (const Polyline* line = asPolyline()) {
        return envelopeOfParts(line->paths);
    }
    if (const Polygon* area = asPolygon()) {
        return envelopeOfParts(area->rings);
    }
    const Envelope* e = asEnvelope();
    return e != nullptr ? *e : Envelope();
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
    if (Point* p = std::get_if<Point>(&shape_)) {
        p->x += dx;
        p->y += dy;
        return;
    }
    Box* box = std::get_if<Box>(&shape_);
    if (box == nullptr || box->get() == nullptr) {
        return;
    }
    Shape& shape = *box->get();
    if (auto* line = std::get_if<Polyline>(&shape)) {
        moveParts(line->paths, dx, dy);
    } else if (auto* area = std::get_if<Polygon>(&shape)) {
        moveParts(area->rings, dx, dy);
    } else {
        std::get<Envelope>(shape).move(dx, dy);
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
