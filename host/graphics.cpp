#include "host/graphics.h"

#include <algorithm>

#include "errors/error_handling.h"

namespace kartoplot::host {

namespace {
constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
constexpr std::size_t kCompactionThreshold = 64;

[[noreturn]] void notHeld(const char* source) {
    throw HostError(errnum::kNotFound, source, "The element is not in this graphics layer");
}
}  // namespace

// An element's holder keeps a tag in the lowest bit of the holder's address.
static_assert(alignof(GraphicsContainer) >= 2 && alignof(GroupElement) >= 2);

void GraphicsContainer::SequenceList::insert(std::uint64_t sequence) {
    if (count_ == 0) {
        one_ = sequence;
        count_ = 1;
        return;
    }
    if (count_ == 1) {
        if (one_ == sequence) {
            return;
        }
        many_ = std::make_unique<std::vector<std::uint64_t>>(1, one_);
    }
    auto& list = *many_;
    const auto it = std::lower_bound(list.begin(), list.end(), sequence);
    if (it == list.end() || *it != sequence) {
        list.insert(it, sequence);
    }
    count_ = list.size();
}

void GraphicsContainer::SequenceList::erase(std::uint64_t sequence) {
    if (count_ == 1) {
        if (one_ == sequence) {
            count_ = 0;
        }
        return;
    }
    if (count_ == 0) {
        return;
    }
    auto& list = *many_;
    const auto it = std::lower_bound(list.begin(), list.end(), sequence);
    if (it == list.end() || *it != sequence) {
        return;
    }
    list.erase(it);
    count_ = list.size();
    if (count_ == 1) {
        one_ = list.front();
        many_.reset();
    }
}

std::size_t GraphicsContainer::bookkeepingBytes() const noexcept {
    // An index node holds the key, the list, the next pointer and the cached hash.
    constexpr std::size_t kNodeLinks = 2 * sizeof(void*);
    std::size_t bytes = slots_.capacity() * sizeof(Slot) + names_.bucket_count() * sizeof(void*);
    for (const auto& [name, list] : names_) {
        bytes += sizeof(std::pair<const std::string, SequenceList>) + kNodeLinks + list.heapBytes();
        if (name.capacity() > std::string().capacity()) {
            bytes += name.capacity() + 1;
        }
    }
    return bytes;
}

GraphicsContainer::~GraphicsContainer() {
    for (auto& slot : slots_) {
        if (slot.element) {
            slot.element->holder_.clear();
        }
    }
}

std::size_t GraphicsContainer::slotIndex(std::uint64_t sequence) const {
    const auto it = std::lower_bound(
        slots_.begin(), slots_.end(), sequence,
        [](const Slot& s, std::uint64_t seq) { return s.sequence < seq; });
    if (it == slots_.end() || it->sequence != sequence || !it->element) {
        return kNoSlot;
    }
    return static_cast<std::size_t>(it - slots_.begin());
}

void GraphicsContainer::compactIfSparse() {
    if (slots_.size() > kCompactionThreshold && live_ * 2 < slots_.size()) {
        std::erase_if(slots_, [](const Slot& s) { return !s.element; });
    }
}

void GraphicsContainer::indexName(const std::string& name, std::uint64_t sequence) {
    if (name.empty()) {
        return;  // unnamed elements (labels, marks) are found by scanning
    }
    names_[name].insert(sequence);
}

void GraphicsContainer::unindexName(const std::string& name, std::uint64_t sequence) {
    if (name.empty()) {
        return;
    }
    const auto found = names_.find(name);
    if (found == names_.end()) {
        return;
    }
    auto& list = found->second;
    list.erase(sequence);
    if (list.empty()) {
        names_.erase(found);
    }
}

void GraphicsContainer::indexElement(const Element& element) {
    if (element.kind() == ElementKind::Group) {
        for (const auto& member : static_cast<const GroupElement&>(element).members()) {
            indexName(member->name(), element.sequence_);
        }
    } else {
        indexName(element.name(), element.sequence_);
    }
}

void GraphicsContainer::unindexElement(const Element& element) {
    if (element.kind() == ElementKind::Group) {
        for (const auto& member : static_cast<const GroupElement&>(element).members()) {
            unindexName(member->name(), element.sequence_);
        }
    } else {
        unindexName(element.name(), element.sequence_);
    }
}

bool GraphicsContainer::groupHasMemberNamed(const GroupElement& group,
                                            const std::string& name) const {
    return std::any_of(group.members().begin(), group.members().end(),
                       [&](const auto& m) { return m->name() == name; });
}

void GraphicsContainer::onRenamed(const Element& topLevel, const Element& renamed,
                                  const std::string& oldName) {
    if (&topLevel == &renamed) {
        if (topLevel.kind() == ElementKind::Group) {
            return;  // a group is found through its members' names only
        }
        unindexName(oldName, topLevel.sequence_);
        indexName(renamed.name(), topLevel.sequence_);
        return;
    }
    const auto& group = static_cast<const GroupElement&>(topLevel);
    if (!groupHasMemberNamed(group, oldName)) {
        unindexName(oldName, topLevel.sequence_);
    }
    indexName(renamed.name(), topLevel.sequence_);
}

void GraphicsContainer::onMemberAdded(const GroupElement& group, const Element& member) {
    indexName(member.name(), group.sequence_);
    ++changes_;
}

void GraphicsContainer::onMemberRemoved(const GroupElement& group, const std::string& memberName) {
    if (!groupHasMemberNamed(group, memberName)) {
        unindexName(memberName, group.sequence_);
    }
    ++changes_;
}

void GraphicsContainer::addElement(std::shared_ptr<Element> element, int /*zOrder*/) {
    if (!element) {
        throw HostError(errnum::kObjectMissing, "GraphicsContainer", "No element to add");
    }
    if (element->holder_.isHeld()) {
        throw HostError(errnum::kInvalidCall, "GraphicsContainer",
                        "The element already belongs to a group or a graphics layer");
    }
    // Taken into the slots first: when that fails the element is left as it was.
    Element& added = *element;
    slots_.push_back(Slot{nextSequence_, std::move(element)});
    added.sequence_ = nextSequence_++;
    added.holder_.setContainer(this);
    ++live_;
    ++changes_;
    indexElement(added);
}

void GraphicsContainer::deleteElement(const Element& element) {
    if (element.holder_.container() != this) {
        notHeld("GraphicsContainer::deleteElement");
    }
    const std::size_t index = slotIndex(element.sequence_);
    if (index == kNoSlot) {
        notHeld("GraphicsContainer::deleteElement");
    }
    unindexElement(element);
    std::shared_ptr<Element> held = std::move(slots_[index].element);
    held->holder_.clear();
    --live_;
    ++changes_;
    compactIfSparse();
}

void GraphicsContainer::deleteAllElements() {
    for (auto& slot : slots_) {
        if (slot.element) {
            slot.element->holder_.clear();
        }
    }
    slots_.clear();
    names_.clear();
    live_ = 0;
    ++changes_;
}

void GraphicsContainer::updateElement(const Element& element) {
    if (element.holder_.container() != this) {
        notHeld("GraphicsContainer::updateElement");
    }
    ++changes_;
}

void GraphicsContainer::moveElementToGroup(const std::shared_ptr<Element>& element,
                                           GroupElement& group) {
    if (!element || element->holder_.container() != this) {
        notHeld("GraphicsContainer::moveElementToGroup");
    }
    std::shared_ptr<Element> keep = element;
    deleteElement(*keep);
    group.addElement(std::move(keep));
}

std::vector<std::shared_ptr<Element>> GraphicsContainer::elements() const {
    std::vector<std::shared_ptr<Element>> out;
    out.reserve(live_);
    for (const auto& slot : slots_) {
        if (slot.element) {
            out.push_back(slot.element);
        }
    }
    return out;
}

std::shared_ptr<Element> GraphicsContainer::next() {
    auto it = std::upper_bound(slots_.begin(), slots_.end(), cursor_,
                               [](std::uint64_t seq, const Slot& s) { return seq < s.sequence; });
    for (; it != slots_.end(); ++it) {
        if (it->element) {
            cursor_ = it->sequence;
            return it->element;
        }
    }
    cursor_ = nextSequence_;
    return nullptr;
}

std::shared_ptr<Element> GraphicsContainer::findElementByName(const std::string& name) const {
    if (name.empty()) {
        for (const auto& slot : slots_) {
            if (!slot.element) {
                continue;
            }
            const Element& e = *slot.element;
            if (e.kind() == ElementKind::Group
                    ? groupHasMemberNamed(static_cast<const GroupElement&>(e), name)
                    : e.name().empty()) {
                return slot.element;
            }
        }
        return nullptr;
    }
    const auto found = names_.find(name);
    if (found == names_.end() || found->second.empty()) {
        return nullptr;
    }
    const std::size_t index = slotIndex(found->second.front());
    return index == kNoSlot ? nullptr : slots_[index].element;
}

const std::shared_ptr<GraphicsLayer>& CompositeGraphicsLayer::layer(int index) const {
    if (index < 0 || index >= layerCount()) {
        throw HostError(errnum::kSubscriptRange, "CompositeGraphicsLayer",
                        "Graphics layer index " + std::to_string(index) + " is outside the list");
    }
    return layers_[static_cast<std::size_t>(index)];
}

std::shared_ptr<GraphicsLayer> CompositeGraphicsLayer::addLayer(const std::string& name) {
    if (name.empty()) {
        throw HostError(errnum::kInvalidCall, "CompositeGraphicsLayer",
                        "A graphics layer needs a name");
    }
    if (findLayer(name)) {
        throw HostError(errnum::kInvalidCall, "CompositeGraphicsLayer",
                        "A graphics layer named " + name + " already exists");
    }
    auto layer = std::make_shared<GraphicsLayer>(name);
    layers_.push_back(layer);
    return layer;
}

std::shared_ptr<GraphicsLayer> CompositeGraphicsLayer::findLayer(const std::string& name) const {
    for (const auto& layer : layers_) {
        if (layer->name() == name) {
            return layer;
        }
    }
    return nullptr;
}

void CompositeGraphicsLayer::deleteLayer(const std::string& name) {
    const auto it = std::find_if(layers_.begin(), layers_.end(),
                                 [&](const auto& l) { return l->name() == name; });
    if (it == layers_.end()) {
        throw HostError(errnum::kNotFound, "CompositeGraphicsLayer",
                        "There is no graphics layer named " + name);
    }
    (*it)->deleteAllElements();
    layers_.erase(it);
}

}  // namespace kartoplot::host
