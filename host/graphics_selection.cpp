#include "host/graphics_selection.h"

#include <algorithm>
#include <string>

#include "errors/error_handling.h"
#include "host/graphics.h"

namespace kartoplot::host {

bool GraphicsSelection::isOnMap(const Element& element) const {
    const Element* top = &element;
    while (top->parent() != nullptr) {
        top = top->parent();
    }
    const GraphicsContainer* holder = top->container();
    if (holder == nullptr) {
        return false;
    }
    if (holder == basic_) {
        return true;
    }
    for (int i = 0; i < basic_->layerCount(); ++i) {
        if (basic_->layer(i).get() == holder) {
            return true;
        }
    }
    return false;
}

void GraphicsSelection::dropDeparted() const {
    std::erase_if(entries_, [this](const Entry& e) { return e.onMap && !isOnMap(*e.element); });
}

int GraphicsSelection::count() const {
    dropDeparted();
    return static_cast<int>(entries_.size());
}

const std::shared_ptr<Element>& GraphicsSelection::element(int index) const {
    if (index < 0 || index >= count()) {
        throw HostError(errnum::kSubscriptRange, "GraphicsSelection",
                        "Selected element index " + std::to_string(index) +
                            " is outside the graphics selection");
    }
    return entries_[static_cast<std::size_t>(index)].element;
}

bool GraphicsSelection::contains(const Element& element) const {
    dropDeparted();
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.element.get() == &element; });
}

void GraphicsSelection::select(std::shared_ptr<Element> element) {
    if (!element || contains(*element)) {
        return;
    }
    const bool onMap = isOnMap(*element);
    entries_.push_back({std::move(element), onMap});
    changed_.fire();
}

void GraphicsSelection::unselect(const Element& element) {
    const auto removed =
        std::erase_if(entries_, [&](const Entry& e) { return e.element.get() == &element; });
    if (removed != 0) {
        changed_.fire();
    }
}

void GraphicsSelection::clear() {
    if (entries_.empty()) {
        return;
    }
    entries_.clear();
    changed_.fire();
}

void GraphicsSelection::setCurrent(const Element& element) {
    dropDeparted();
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.element.get() == &element; });
    if (it == entries_.end()) {
        return;
    }
    std::rotate(entries_.begin(), it, it + 1);
    changed_.fire();
}

}  // namespace kartoplot::host
