// The graphics selection of a map: the graphic elements the user has selected, in the order
// they were selected, with the first one as the selection's current element.
//
// An element that stands in one of the map's graphics layers when it is selected stays selected
// only while it stays there: once it is deleted from its layer (or its layer from the map) it
// has left the selection, which every read below takes into account. Elements that belong to
// no layer when selected (a caller's own loose element) stay until unselected.
#pragma once

#include <memory>
#include <vector>

#include "host/elements.h"
#include "host/signal.h"

namespace kartoplot::host {

class CompositeGraphicsLayer;

class GraphicsSelection {
public:
    // The selection of the map whose basic graphics layer is `basic` (not owned; it must
    // outlive the selection, as the map owns both).
    explicit GraphicsSelection(const CompositeGraphicsLayer& basic) : basic_(&basic) {}
    GraphicsSelection(const GraphicsSelection&) = delete;
    GraphicsSelection& operator=(const GraphicsSelection&) = delete;

    // Number of selected elements still on the map.
    int count() const;
    // Selected element at 0-based index; throws HostError outside the selection.
    const std::shared_ptr<Element>& element(int index) const;
    bool contains(const Element& element) const;

    // Appends an element (nothing happens for nullptr or an element already selected).
    void select(std::shared_ptr<Element> element);
    // Removes the element (nothing happens when it is not selected).
    void unselect(const Element& element);
    void clear();
    // Makes a selected element the current one: it moves to index 0, the others keep their
    // order. Nothing happens for an element that is not selected.
    void setCurrent(const Element& element);

    // Fired after every change made through select, unselect, clear and setCurrent.
    Signal& changed() noexcept { return changed_; }

private:
    struct Entry {
        std::shared_ptr<Element> element;
        bool onMap = false;  // stood in one of the map's graphics layers when selected
    };

    // Whether the element (or the group it belongs to) stands in one of the map's layers.
    bool isOnMap(const Element& element) const;
    // Drops the entries whose element has left the map since it was selected.
    void dropDeparted() const;

    const CompositeGraphicsLayer* basic_ = nullptr;  // not owned
    mutable std::vector<Entry> entries_;
    Signal changed_;
};

}  // namespace kartoplot::host
