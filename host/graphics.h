// Graphics containers and graphics layers. A container keeps its elements in drawing order
// (first = bottom) and an index of element names, so that a chart is found by name without
// scanning: findElementByName gives the same first match as a scan in enumeration order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/elements.h"

namespace kartoplot::host {

class GraphicsContainer {
public:
    GraphicsContainer() = default;
    virtual ~GraphicsContainer();
    GraphicsContainer(const GraphicsContainer&) = delete;
    GraphicsContainer& operator=(const GraphicsContainer&) = delete;

    // Adds the element on top of the others (the host's z-order 0 = default position).
    // Throws HostError when the element already belongs to a container or a group.
    void addElement(std::shared_ptr<Element> element, int zOrder = 0);
    // Removes the element; throws HostError when it is not in this container.
    void deleteElement(const Element& element);
    void deleteAllElements();
    // Tells the container that the element changed (for redraw); throws when not held.
    void updateElement(const Element& element);
    // Takes the element out of this container and appends it to the group.
    void moveElementToGroup(const std::shared_ptr<Element>& element, GroupElement& group);

    int elementCount() const noexcept { return static_cast<int>(live_); }
    // The elements in drawing order.
    std::vector<std::shared_ptr<Element>> elements() const;

    // Enumeration: reset(), then next() until it returns nullptr. Elements added or deleted
    // meanwhile are seen or skipped consistently.
    void reset() noexcept { cursor_ = 0; }
    std::shared_ptr<Element> next();

    // The first element in enumeration order whose name is `name`, where a group matches
    // through the names of its direct members (and is returned whole). nullptr when none.
    std::shared_ptr<Element> findElementByName(const std::string& name) const;

    // Counts changes (add, delete, update) for views that redraw.
    std::uint64_t changeCount() const noexcept { return changes_; }

    // Bytes the container itself holds for its elements (slots and name index, heap blocks
    // counted as requested), for memory figures; the elements are not included.
    std::size_t bookkeepingBytes() const noexcept;

private:
    friend class Element;
    friend class GroupElement;

    // The sequences (ascending) of the top-level elements found under one name: nearly always
    // one, kept inline; more spill into a vector.
    class SequenceList {
    public:
        bool empty() const noexcept { return count_ == 0; }
        std::uint64_t front() const noexcept { return count_ == 1 ? one_ : (*many_)[0]; }
        // Inserts in order; nothing happens when the sequence is already listed.
        void insert(std::uint64_t sequence);
        // Removes the sequence; nothing happens when it is not listed.
        void erase(std::uint64_t sequence);
        std::size_t heapBytes() const noexcept {
            return many_ ? sizeof(*many_) + many_->capacity() * sizeof(std::uint64_t) : 0;
        }

    private:
        std::uint64_t one_ = 0;  // the only sequence while count_ == 1
        std::unique_ptr<std::vector<std::uint64_t>> many_;  // all of them while count_ > 1
        std::size_t count_ = 0;
    };

    struct Slot {
        std::uint64_t sequence = 0;
        std::shared_ptr<Element> element;  // nullptr once deleted
    };

    std::size_t slotIndex(std::uint64_t sequence) const;  // index in slots_, or npos
    void compactIfSparse();
    void indexName(const std::string& name, std::uint64_t sequence);
    void unindexName(const std::string& name, std::uint64_t sequence);
    void indexElement(const Element& element);
    void unindexElement(const Element& element);
    bool groupHasMemberNamed(const GroupElement& group, const std::string& name) const;
    // Called by Element::setName and GroupElement for elements held by this container.
    void onRenamed(const Element& topLevel, const Element& renamed, const std::string& oldName);
    void onMemberAdded(const GroupElement& group, const Element& member);
    void onMemberRemoved(const GroupElement& group, const std::string& memberName);

    std::vector<Slot> slots_;  // ascending sequence; deleted slots kept until compaction
    std::size_t live_ = 0;
    std::uint64_t nextSequence_ = 1;
    std::uint64_t cursor_ = 0;  // sequence of the last element next() returned
    std::uint64_t changes_ = 0;
    // name → sequences (ascending) of the top-level elements found under that name
    std::unordered_map<std::string, SequenceList> names_;
};

// A named graphics layer of a map: its elements and the scale its symbols are sized for.
class GraphicsLayer : public GraphicsContainer {
public:
    explicit GraphicsLayer(std::string name) : name_(std::move(name)) {}

    const std::string& name() const noexcept { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // Scale at which symbol sizes are true; 0 = none (symbols keep their size on screen).
    double referenceScale() const noexcept { return referenceScale_; }
    void setReferenceScale(double scale) noexcept { referenceScale_ = scale; }
    bool visible() const noexcept { return visible_; }
    void setVisible(bool visible) noexcept { visible_ = visible; }

private:
    std::string name_;
    double referenceScale_ = 0.0;
    bool visible_ = true;
};

// The map's basic graphics layer: a graphics layer itself (the default one) holding the
// named graphics layers as sub-layers, in the order they were added.
class CompositeGraphicsLayer final : public GraphicsLayer {
public:
    static constexpr const char* kDefaultName = "<Default>";
    CompositeGraphicsLayer() : GraphicsLayer(kDefaultName) {}

    int layerCount() const noexcept { return static_cast<int>(layers_.size()); }
    // Sub-layer at 0-based index; throws HostError outside the list.
    const std::shared_ptr<GraphicsLayer>& layer(int index) const;
    // Adds an empty sub-layer; throws HostError when the name is empty or already used.
    std::shared_ptr<GraphicsLayer> addLayer(const std::string& name);
    // The sub-layer of that exact (case-sensitive) name, or nullptr.
    std::shared_ptr<GraphicsLayer> findLayer(const std::string& name) const;
    // Deletes the sub-layer with all its elements; throws HostError when there is none.
    void deleteLayer(const std::string& name);

private:
    std::vector<std::shared_ptr<GraphicsLayer>> layers_;
};

}  // namespace kartoplot::host
