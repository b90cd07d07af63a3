#include "host/property_set.h"

#include "errors/error_handling.h"

namespace kartoplot::host {

namespace {
const std::vector<std::string>& noNames() {
    static const std::vector<std::string> empty;
    return empty;
}

char lowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
}  // namespace

bool equalsIgnoringCase(const std::string& a, const std::string& b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

const std::vector<std::string>& PropertySet::names() const noexcept {
    return names_ ? *names_ : noNames();
}

int PropertySet::find(const std::string& name) const noexcept {
    const auto& list = names();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (equalsIgnoringCase(list[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<std::string>& PropertySet::mutableNames() {
    auto copy = std::make_shared<std::vector<std::string>>(names());
    auto& ref = *copy;
    names_ = std::move(copy);
    return ref;
}

void PropertySet::setProperty(const std::string& name, Variant value) {
    const int at = find(name);
    if (at >= 0) {
        values_[static_cast<std::size_t>(at)] = std::move(value);
        return;
    }
    mutableNames().push_back(name);
    values_.push_back(std::move(value));
}

void PropertySet::setProperties(const std::vector<std::string>& names,
                                std::vector<Variant> values) {
    if (names.size() != values.size()) {
        throw HostError(errnum::kInvalidCall, "PropertySet",
                        "The name and value lists differ in length");
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        setProperty(names[i], std::move(values[i]));
    }
}

void PropertySet::setProperties(NameList names, std::vector<Variant> values) {
    if (!names || names->size() != values.size()) {
        throw HostError(errnum::kInvalidCall, "PropertySet",
                        "The name and value lists differ in length");
    }
    // The shared list can be kept as it is when this set is empty and its names are
    // distinct; otherwise the pairs are merged one by one.
    bool distinct = values_.empty();
    for (std::size_t i = 0; distinct && i < names->size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (equalsIgnoringCase((*names)[i], (*names)[j])) {
                distinct = false;
                break;
            }
        }
    }
    if (distinct) {
        names_ = std::move(names);
        values_ = std::move(values);
        return;
    }
    setProperties(*names, std::move(values));
}

Variant PropertySet::getProperty(const std::string& name) const {
    const int at = find(name);
    return at >= 0 ? values_[static_cast<std::size_t>(at)] : Variant();
}

void PropertySet::removeProperty(const std::string& name) {
    const int at = find(name);
    if (at < 0) {
        return;
    }
    auto& list = mutableNames();
    list.erase(list.begin() + at);
    values_.erase(values_.begin() + at);
}

void PropertySet::getAllProperties(std::vector<std::string>& names,
                                   std::vector<Variant>& values) const {
    names = this->names();
    values = values_;
}

std::shared_ptr<PropertySet> PropertySet::clone() const {
    auto copy = std::make_shared<PropertySet>();
    copy->names_ = names_;
    copy->values_ = values_;
    for (auto& v : copy->values_) {
        if (auto nested = v.objectAs<PropertySet>()) {
            v = Variant(nested->clone());
        }
    }
    return copy;
}

}  // namespace kartoplot::host
