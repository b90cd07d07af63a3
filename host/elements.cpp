#include "host/elements.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "errors/error_handling.h"
#include "host/display.h"
#include "host/graphics.h"

namespace kartoplot::host {

namespace {

Envelope pointEnvelope(const Point& p) { return Envelope(p.x, p.y, p.x, p.y); }

Envelope grow(Envelope e, double by) {
    if (e.isEmpty() || by <= 0) {
        return e;
    }
    return Envelope(e.xMin() - by, e.yMin() - by, e.xMax() + by, e.yMax() + by);
}

}  // namespace

Element::Element(const Element& other)
    : HostObject(other),
      attributes_(other.attributes_ ? std::make_unique<ElementAttributes>(*other.attributes_)
                                    : nullptr),
      geometry_(other.geometry_) {}

const std::string& Element::name() const noexcept {
    static const std::string kNoName;
    return attributes_ ? attributes_->name : kNoName;
}

const Variant& Element::customProperty() const noexcept {
    static const Variant kNone;
    return attributes_ ? attributes_->customProperty : kNone;
}

void Element::dropEmptyAttributes() noexcept {
    if (attributes_ && attributes_->name.empty() && attributes_->customProperty.isEmpty()) {
        attributes_.reset();
    }
}

void Element::setCustomProperty(Variant value) {
    if (!attributes_) {
        if (value.isEmpty()) {
            return;
        }
        attributes_ = std::make_unique<ElementAttributes>();
    }
    attributes_->customProperty = std::move(value);
    dropEmptyAttributes();
}

void Element::setName(std::string name) {
    // Number texts arrive with room to spare; a short name then fits inside the string itself.
    if (name.capacity() > name.size()) {
        name.shrink_to_fit();
    }
    std::string old;
    if (attributes_) {
        old = std::exchange(attributes_->name, std::move(name));
    } else if (!name.empty()) {
        attributes_ = std::make_unique<ElementAttributes>();
        attributes_->name = std::move(name);
    }
    dropEmptyAttributes();
    if (GraphicsContainer* container = holder_.container()) {
        container->onRenamed(*this, *this, old);
    } else if (GroupElement* group = holder_.group();
               group != nullptr && group->holder_.container() != nullptr) {
        group->holder_.container()->onRenamed(*group, *this, old);
    }
}

// ---- markers ---------------------------------------------------------------------------

std::shared_ptr<Element> MarkerElement::clone() const {
    auto copy = std::make_shared<MarkerElement>(*this);
    copy->symbol = symbol ? std::static_pointer_cast<MarkerSymbol>(symbol->clone()) : nullptr;
    return copy;
}

Envelope MarkerElement::queryBounds(const ScreenDisplay& display) const {
    const Point p = geometry_.labelPoint();
    if (!symbol || geometry_.isEmpty()) {
        return geometry_.isEmpty() ? Envelope() : pointEnvelope(p);
    }
    const double k = display.transformation().pointsToMapDistance(1.0);
    if (symbol->kind() == SymbolKind::BarChart) {
        const auto& chart = static_cast<const BarChartSymbol&>(*symbol);
        const Envelope rel = barChartEnvelope(chart);
        Envelope e(p.x + rel.xMin() * k, p.y + rel.yMin() * k, p.x + rel.xMax() * k,
                   p.y + rel.yMax() * k);
        if (leaderVisible(*this, display)) {
            e.expand(chart.background->anchorPoint);
        }
        return e;
    }
    const double half = symbol->size * k / 2;
    const double cx = p.x + symbol->xOffset * k;
    const double cy = p.y + symbol->yOffset * k;
    return Envelope(cx - half, cy - half, cx + half, cy + half);
}

bool leaderVisible(const MarkerElement& element, const ScreenDisplay& display) {
    if (!element.symbol || element.symbol->kind() != SymbolKind::BarChart) {
        return false;
    }
    const auto& chart = static_cast<const BarChartSymbol&>(*element.symbol);
    if (!chart.background || element.geometry().isEmpty()) {
        return false;
    }
    const double k = display.transformation().pointsToMapDistance(1.0);
    if (k <= 0) {
        return false;
    }
    const Point p = element.geometry().labelPoint();
    const Envelope rel = barChartEnvelope(chart);
    const Point centre{p.x + (rel.xMin() + rel.xMax()) / 2 * k, p.y + rel.yMax() / 2 * k};
    const Point& anchor = chart.background->anchorPoint;
    const double distancePoints = std::hypot(anchor.x - centre.x, anchor.y - centre.y) / k;
    return distancePoints > chart.background->leaderTolerance;
}

// ---- text ------------------------------------------------------------------------------

std::shared_ptr<Element> TextElement::clone() const {
    auto copy = std::make_shared<TextElement>(*this);
    copy->symbol = symbol ? std::static_pointer_cast<TextSymbol>(symbol->clone()) : nullptr;
    return copy;
}

double TextElement::pointSize(const ScreenDisplay& display) const {
    const DisplayTransformation& t = display.transformation();
    if (scaleText) {
        return t.pointsToMapDistance(1.0);
    }
    return kMetresPerInch / kPointsPerInch * t.scale() / metresPerMapUnit(t.units());
}

Envelope TextElement::queryBounds(const ScreenDisplay& display) const {
    if (geometry_.isEmpty()) {
        return {};
    }
    const Point p = geometry_.labelPoint();
    if (!symbol) {
        return pointEnvelope(p);
    }
    const TextExtent ext = display.textMetrics().measure(text, *symbol);
    const double k = pointSize(display);
    const double w = ext.width * k;
    const double h = ext.height() * k;
    double x0 = p.x;
    switch (symbol->horizontalAlignment) {
        case HorizontalAlignment::Center: x0 = p.x - w / 2; break;
        case HorizontalAlignment::Right: x0 = p.x - w; break;
        default: break;
    }
    double y0 = p.y;
    switch (symbol->verticalAlignment) {
        case VerticalAlignment::Top: y0 = p.y - h; break;
        case VerticalAlignment::Center: y0 = p.y - h / 2; break;
        case VerticalAlignment::Baseline: y0 = p.y - ext.descent * k; break;
        case VerticalAlignment::Bottom: break;
    }
    return Envelope(x0, y0, x0 + w, y0 + h);
}

// ---- lines and polygons ----------------------------------------------------------------

std::shared_ptr<Element> LineElement::clone() const {
    auto copy = std::make_shared<LineElement>(*this);
    copy->symbol = symbol ? std::static_pointer_cast<LineSymbol>(symbol->clone()) : nullptr;
    return copy;
}

Envelope LineElement::queryBounds(const ScreenDisplay& display) const {
    const double halfWidth =
        symbol ? display.transformation().pointsToMapDistance(symbol->width) / 2 : 0.0;
    return grow(geometry_.envelope(), halfWidth);
}

std::shared_ptr<Element> PolygonElement::clone() const {
    auto copy = std::make_shared<PolygonElement>(*this);
    copy->symbol = symbol ? std::static_pointer_cast<FillSymbol>(symbol->clone()) : nullptr;
    return copy;
}

Envelope PolygonElement::queryBounds(const ScreenDisplay& display) const {
    const double halfWidth = symbol && symbol->outline
                                 ? display.transformation().pointsToMapDistance(
                                       symbol->outline->width) / 2
                                 : 0.0;
    return grow(geometry_.envelope(), halfWidth);
}

// ---- groups ----------------------------------------------------------------------------

GroupElement::~GroupElement() {
    for (auto& member : members_) {
        member->holder_.clear();
    }
}

std::shared_ptr<Element> GroupElement::clone() const {
    auto copy = std::make_shared<GroupElement>();
    copy->setName(name());
    copy->setCustomProperty(customProperty());
    for (const auto& member : members_) {
        copy->addElement(member->clone());
    }
    return copy;
}

const std::shared_ptr<Element>& GroupElement::element(int index) const {
    if (index < 0 || index >= elementCount()) {
        throw HostError(errnum::kSubscriptRange, "GroupElement",
                        "Element index " + std::to_string(index) + " is outside the group of " +
                            std::to_string(elementCount()));
    }
    return members_[static_cast<std::size_t>(index)];
}

GraphicsContainer* GroupElement::owningContainer() const noexcept { return holder_.container(); }

void GroupElement::addElement(std::shared_ptr<Element> element) {
    if (!element) {
        throw HostError(errnum::kObjectMissing, "GroupElement", "No element to add to the group");
    }
    if (element->holder_.isHeld()) {
        throw HostError(errnum::kInvalidCall, "GroupElement",
                        "The element already belongs to a group or a graphics layer");
    }
    if (element.get() == this) {
        throw HostError(errnum::kInvalidCall, "GroupElement", "A group cannot contain itself");
    }
    Element& added = *element;
    members_.push_back(std::move(element));
    added.holder_.setGroup(this);
    if (GraphicsContainer* c = owningContainer()) {
        c->onMemberAdded(*this, added);
    }
}

void GroupElement::deleteElement(const Element& element) {
    const auto it = std::find_if(members_.begin(), members_.end(),
                                 [&](const auto& m) { return m.get() == &element; });
    if (it == members_.end()) {
        return;
    }
    std::shared_ptr<Element> removed = *it;
    members_.erase(it);
    removed->holder_.clear();
    if (GraphicsContainer* c = owningContainer()) {
        c->onMemberRemoved(*this, removed->name());
    }
}

void GroupElement::clearElements() {
    while (!members_.empty()) {
        deleteElement(*members_.back());
    }
}

const Geometry& GroupElement::geometry() const {
    Envelope e;
    for (const auto& member : members_) {
        e.expand(member->geometry().envelope());
    }
    geometry_ = e.isEmpty() ? Geometry() : Geometry(e);
    return geometry_;
}

void GroupElement::setGeometry(Geometry geometry) {
    const Envelope from = this->geometry().envelope();
    const Envelope to = geometry.envelope();
    if (from.isEmpty() || to.isEmpty()) {
        return;
    }
    const double dx = to.xMin() - from.xMin();
    const double dy = to.yMin() - from.yMin();
    for (auto& member : members_) {
        moveElement(*member, dx, dy);
    }
}

Envelope GroupElement::queryBounds(const ScreenDisplay& display) const {
    Envelope e;
    for (const auto& member : members_) {
        e.expand(member->queryBounds(display));
    }
    return e;
}

void moveElement(Element& element, double dx, double dy) {
    if (element.kind() == ElementKind::Group) {
        auto& group = static_cast<GroupElement&>(element);
        for (const auto& member : group.members()) {
            moveElement(*member, dx, dy);
        }
        return;
    }
    Geometry g = element.geometry();
    g.move(dx, dy);
    element.setGeometry(std::move(g));
}

}  // namespace kartoplot::host
