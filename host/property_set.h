// Property sets: ordered name/value pairs. Names are compared without regard to letter
// case, as the host does; the first spelling given is kept.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/variant.h"

namespace kartoplot::host {

// A list of names that many property sets can share without copying.
using NameList = std::shared_ptr<const std::vector<std::string>>;

class PropertySet final : public HostObject {
public:
    std::string className() const override { return "PropertySet"; }

    int count() const noexcept { return static_cast<int>(values_.size()); }
    // Sets one value: replaces the value of an existing name, else appends the pair.
    void setProperty(const std::string& name, Variant value);
    // Sets many pairs in order, as setProperty would one by one.
    // Throws HostError when the two lists differ in length.
    void setProperties(const std::vector<std::string>& names, std::vector<Variant> values);
    // The same with a shared name list: the set keeps the list itself, not a copy.
    void setProperties(NameList names, std::vector<Variant> values);
    // The value of a name, or an empty Variant when the name is absent.
    Variant getProperty(const std::string& name) const;
    bool contains(const std::string& name) const noexcept { return find(name) >= 0; }
    void removeProperty(const std::string& name);
    // All pairs in order.
    void getAllProperties(std::vector<std::string>& names, std::vector<Variant>& values) const;
    const std::vector<std::string>& names() const noexcept;
    const std::vector<Variant>& values() const noexcept { return values_; }

    // A deep copy: nested property sets are copied, other objects are shared.
    std::shared_ptr<PropertySet> clone() const;

private:
    int find(const std::string& name) const noexcept;
    std::vector<std::string>& mutableNames();

    NameList names_;
    std::vector<Variant> values_;
};

// Case-insensitive comparison of ASCII letters (other bytes compare exactly).
bool equalsIgnoringCase(const std::string& a, const std::string& b) noexcept;

}  // namespace kartoplot::host
