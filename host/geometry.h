// Host geometry: points, envelopes, polylines and polygons in map units.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <memory>
#include <variant>
#include <vector>

namespace kartoplot::host {

// Geometry type codes of the host; a feature class of points has type 1.
enum class GeometryType : std::int32_t {
    Null = 0,
    Point = 1,
    Multipoint = 2,
    Polyline = 3,
    Polygon = 4,
    Envelope = 5,
};

struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

// An axis-parallel rectangle. A default envelope is empty; it grows by expand().
class Envelope {
public:
    Envelope() = default;
    Envelope(double xmin, double ymin, double xmax, double ymax);
    static Envelope fromOriginSize(double xmin, double ymin, double width, double height) {
        return Envelope(xmin, ymin, xmin + width, ymin + height);
    }

    bool isEmpty() const noexcept { return xmin_ > xmax_ || ymin_ > ymax_; }
    double xMin() const noexcept { return xmin_; }
    double yMin() const noexcept { return ymin_; }
    double xMax() const noexcept { return xmax_; }
    double yMax() const noexcept { return ymax_; }
    // Width and height; 0 for an empty envelope.
    double width() const noexcept { return isEmpty() ? 0.0 : xmax_ - xmin_; }
    double height() const noexcept { return isEmpty() ? 0.0 : ymax_ - ymin_; }
    Point lowerLeft() const noexcept { return {xmin_, ymin_}; }
    Point upperRight() const noexcept { return {xmax_, ymax_}; }
    Point center() const noexcept { return {(xmin_ + xmax_) / 2, (ymin_ + ymax_) / 2}; }

    void expand(const Point& p) noexcept;
    void expand(const Envelope& other) noexcept;
    void move(double dx, double dy) noexcept;
    bool contains(const Point& p) const noexcept;
    bool intersects(const Envelope& other) const noexcept;

    friend bool operator==(const Envelope&, const Envelope&) = default;

private:
    double xmin_ = std::numeric_limits<double>::infinity();
    double ymin_ = std::numeric_limits<double>::infinity();
    double xmax_ = -std::numeric_limits<double>::infinity();
    double ymax_ = -std::numeric_limits<double>::infinity();
};

// A line made of one or more paths.
struct Polyline {
    std::vector<std::vector<Point>> paths;
    // A polyline of one path through the end points of consecutive segments (p0-p1, p1-p2, ...).
    static Polyline fromPoints(std::vector<Point> points);
    friend bool operator==(const Polyline&, const Polyline&) = default;
};

// An area of outer and inner rings (each ring closed or not; closure is implied).
struct Polygon {
    std::vector<std::vector<Point>> rings;
    static Polygon fromEnvelope(const Envelope& e);
    friend bool operator==(const Polygon&, const Polygon&) = default;
};

// Any geometry of the host, or none. Value type.
class Geometry {
public:
    Geometry() = default;
    Geometry(Point p) : shape_(p) {}
    Geometry(Polyline l) : shape_(Box(Shape(std::move(l)))) {}
    Geometry(Polygon a) : shape_(Box(Shape(std::move(a)))) {}
    Geometry(Envelope e) : shape_(Box(Shape(e))) {}

    GeometryType type() const noexcept;
    bool isEmpty() const noexcept;
    const Point* asPoint() const noexcept { return std::get_if<Point>(&shape_); }
    const Polyline* asPolyline() const noexcept { return boxedAs<Polyline>(); }
    const Polygon* asPolygon() const noexcept { return boxedAs<Polygon>(); }
    const Envelope* asEnvelope() const noexcept { return boxedAs<Envelope>(); }

    // Bounding envelope; empty for an empty geometry.
    Envelope envelope() const;
    // Label point: a point inside an area (polygons), else the centre of the envelope
    // (for a point, the point itself). Empty geometry gives (0, 0).
    Point labelPoint() const;
    // Moves every vertex by (dx, dy) map units.
    void move(double dx, double dy);

    friend bool operator==(const Geometry&, const Geometry&) = default;

private:
    // Lines, areas and envelopes live behind one pointer, so that a point (the geometry of
    // most elements) keeps a Geometry at 24 bytes. Copies are deep; a moved-from box is empty.
    using Shape = std::variant<Polyline, Polygon, Envelope>;
    class Box {
    public:
        explicit Box(Shape shape) : shape_(std::make_unique<Shape>(std::move(shape))) {}
        Box(const Box& other) : shape_(other.shape_ ? std::make_unique<Shape>(*other.shape_) : nullptr) {}
        Box& operator=(const Box& other);
        Box(Box&&) noexcept = default;
        Box& operator=(Box&&) noexcept = default;
        ~Box() = default;
        Shape* get() noexcept { return shape_.get(); }
        const Shape* get() const noexcept { return shape_.get(); }
        friend bool operator==(const Box& a, const Box& b) {
            return a.shape_ && b.shape_ ? *a.shape_ == *b.shape_ : !a.shape_ && !b.shape_;
        }

    private:
        std::unique_ptr<Shape> shape_;
    };

    template <class T>
    const T* boxedAs() const noexcept {
        const Box* box = std::get_if<Box>(&shape_);
        return box != nullptr && box->get() != nullptr ? std::get_if<T>(box->get()) : nullptr;
    }

    // Potentially overlapping: the bytes behind the variant's index stay free for whatever
    // follows a Geometry in an element.
    [[no_unique_address]] std::variant<std::monostate, Point, Box> shape_;
};

// A point inside the polygon, on the horizontal line through the middle of its envelope,
// in the middle of the widest inside stretch of that line.
Point polygonLabelPoint(const Polygon& polygon);

std::ostream& operator<<(std::ostream& out, const Point& p);
std::ostream& operator<<(std::ostream& out, const Envelope& e);
std::ostream& operator<<(std::ostream& out, const Geometry& g);

}  // namespace kartoplot::host
