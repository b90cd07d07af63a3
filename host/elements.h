// Graphic elements: markers, texts, lines, polygons and groups, each with a name, a custom
// property and a geometry in map units (page units on a page layout).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/geometry.h"
#include "host/symbols.h"
#include "host/variant.h"

namespace kartoplot::host {

class GraphicsContainer;
class GroupElement;
class ScreenDisplay;

enum class ElementKind : std::uint8_t { Marker, Text, Line, Polygon, Group };

// What only some elements carry: a chart marker has a name and a data set, labels and marks
// have neither, so an element keeps both in one block that exists only when one is set.
struct ElementAttributes {
    std::string name;
    Variant customProperty;
};

class Element : public HostObject {
public:
    Element() = default;
    ~Element() override = default;

    virtual ElementKind kind() const noexcept = 0;
    // A deep copy that belongs to no container or group.
    virtual std::shared_ptr<Element> clone() const = 0;

    const std::string& name() const noexcept;
    // Renames the element; a graphics container holding it finds it under the new name.
    void setName(std::string name);

    const Variant& customProperty() const noexcept;
    void setCustomProperty(Variant value);

    virtual const Geometry& geometry() const { return geometry_; }
    virtual void setGeometry(Geometry geometry) { geometry_ = std::move(geometry); }

    // Bounds in map units as the element is drawn on this display.
    virtual Envelope queryBounds(const ScreenDisplay& display) const = 0;

    // The group that holds this element, or nullptr.
    const GroupElement* parent() const noexcept { return holder_.group(); }
    // The container that holds this element directly, or nullptr.
    const GraphicsContainer* container() const noexcept { return holder_.container(); }

protected:
    Element(const Element& other);
    Element& operator=(const Element&) = delete;

private:
    friend class GraphicsContainer;
    friend class GroupElement;

    // The one group or container that holds an element (never both), as one tagged pointer:
    // both are at least 8-byte aligned, so the lowest bit tells which of the two it is.
    class Holder {
    public:
        GroupElement* group() const noexcept {
            return (bits_ & kContainerBit) == 0 ? reinterpret_cast<GroupElement*>(bits_) : nullptr;
        }
        GraphicsContainer* container() const noexcept {
            return (bits_ & kContainerBit) != 0
                       ? reinterpret_cast<GraphicsContainer*>(bits_ & ~kContainerBit)
                       : nullptr;
        }
        bool isHeld() const noexcept { return bits_ != 0; }
        void setGroup(GroupElement* group) noexcept { bits_ = reinterpret_cast<std::uintptr_t>(group); }
        void setContainer(GraphicsContainer* container) noexcept {
            bits_ = container ? reinterpret_cast<std::uintptr_t>(container) | kContainerBit : 0;
        }
        void clear() noexcept { bits_ = 0; }

    private:
        static constexpr std::uintptr_t kContainerBit = 1;
        std::uintptr_t bits_ = 0;  // not owned
    };

    // Drops the attribute block once neither a name nor a custom property is left.
    void dropEmptyAttributes() noexcept;

    std::unique_ptr<ElementAttributes> attributes_;
    Holder holder_;
    std::uint64_t sequence_ = 0;  // position key inside the holding container

protected:
    // A group keeps the envelope of its members here, refreshed when it is asked for. Last and
    // potentially overlapping, so that a small first member of a derived element (a text's
    // scaleText) takes the padding behind it.
    [[no_unique_address]] mutable Geometry geometry_;
};

class MarkerElement final : public Element {
public:
    std::shared_ptr<MarkerSymbol> symbol;

    ElementKind kind() const noexcept override { return ElementKind::Marker; }
    std::string className() const override { return "MarkerElement"; }
    std::shared_ptr<Element> clone() const override;
    // Simple marker: a square of its size; bar chart: its layout envelope (plus the leader's
    // anchor point when the leader is drawn); both centred as the marker is drawn.
    Envelope queryBounds(const ScreenDisplay& display) const override;
};

class TextElement final : public Element {
public:
    bool scaleText = true;  // size follows the reference scale like other symbols
    std::string text;
    std::shared_ptr<TextSymbol> symbol;

    ElementKind kind() const noexcept override { return ElementKind::Text; }
    std::string className() const override { return "TextElement"; }
    std::shared_ptr<Element> clone() const override;
    // The text box placed on the point by the symbol's alignments.
    Envelope queryBounds(const ScreenDisplay& display) const override;
    // Size of one point of this text's symbol in map units on the display.
    double pointSize(const ScreenDisplay& display) const;
};

class LineElement final : public Element {
public:
    std::shared_ptr<LineSymbol> symbol;

    ElementKind kind() const noexcept override { return ElementKind::Line; }
    std::string className() const override { return "LineElement"; }
    std::shared_ptr<Element> clone() const override;
    Envelope queryBounds(const ScreenDisplay& display) const override;
};

class PolygonElement final : public Element {
public:
    std::shared_ptr<FillSymbol> symbol;

    ElementKind kind() const noexcept override { return ElementKind::Polygon; }
    std::string className() const override { return "PolygonElement"; }
    std::shared_ptr<Element> clone() const override;
    Envelope queryBounds(const ScreenDisplay& display) const override;
};

// A group of elements drawn and moved together. Its geometry is the envelope of its members.
class GroupElement final : public Element {
public:
    GroupElement() = default;
    ~GroupElement() override;

    ElementKind kind() const noexcept override { return ElementKind::Group; }
    std::string className() const override { return "GroupElement"; }
    std::shared_ptr<Element> clone() const override;

    int elementCount() const noexcept { return static_cast<int>(members_.size()); }
    // Member at 0-based index; throws HostError outside the group.
    const std::shared_ptr<Element>& element(int index) const;
    const std::vector<std::shared_ptr<Element>>& members() const noexcept { return members_; }
    // Appends a member. Throws HostError when it already belongs to a group or container.
    void addElement(std::shared_ptr<Element> element);
    // Removes the member (nothing happens when it is not a member).
    void deleteElement(const Element& element);
    void clearElements();
    // Makes room for this many members.
    void reserve(int count) { members_.reserve(static_cast<std::size_t>(count)); }

    // The envelope of the members' geometries.
    const Geometry& geometry() const override;
    // Moves every member by the offset between the old and the new envelope's lower left.
    void setGeometry(Geometry geometry) override;
    Envelope queryBounds(const ScreenDisplay& display) const override;

private:
    // The container that holds the group, for its name index.
    GraphicsContainer* owningContainer() const noexcept;

    std::vector<std::shared_ptr<Element>> members_;
};

// True when a chart marker with a leader callout stands farther from the callout's anchor
// than the leader tolerance (points, measured from the chart's centre), so the leader shows.
bool leaderVisible(const MarkerElement& element, const ScreenDisplay& display);

// Moves an element's geometry by (dx, dy) map units (a group moves all its members).
void moveElement(Element& element, double dx, double dy);

}  // namespace kartoplot::host
