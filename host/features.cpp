#include "host/features.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "errors/error_handling.h"
#include "host/property_set.h"

namespace kartoplot::host {

bool Field::isNumeric() const noexcept {
    switch (type) {
        case FieldType::SmallInteger:
        case FieldType::Integer:
        case FieldType::Single:
        case FieldType::Double:
        case FieldType::OID: return true;
        default: return false;
    }
}

const Field& Fields::field(int index) const {
    if (index < 0 || index >= fieldCount()) {
        throw HostError(errnum::kSubscriptRange, "Fields",
                        "Field index " + std::to_string(index) + " is outside the field list");
    }
    return fields_[static_cast<std::size_t>(index)];
}

int Fields::findField(const std::string& name) const noexcept {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (equalsIgnoringCase(fields_[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const Variant& Feature::value(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= values.size()) {
        throw HostError(errnum::kSubscriptRange, "Feature",
                        "Field index " + std::to_string(index) + " is outside the field list");
    }
    return values[static_cast<std::size_t>(index)];
}

bool QueryFilter::matches(const Feature& feature) const {
    if (extent && !extent->intersects(feature.shape.envelope())) {
        return false;
    }
    return !where || where(feature);
}

namespace {

constexpr int kOidIndex = 0;
constexpr int kShapeIndex = 1;

// Walks a feature vector, or the ids of a selection, in ascending order.
class MemoryCursor final : public FeatureCursor {
public:
    MemoryCursor(std::shared_ptr<const FeatureClass> owner, const std::vector<Feature>& features,
                 std::optional<QueryFilter> filter, std::vector<std::int64_t> ids, bool byIds)
        : owner_(std::move(owner)),
          features_(&features),
          filter_(std::move(filter)),
          ids_(std::move(ids)),
          byIds_(byIds) {}

    const Feature* nextFeature() override {
        if (byIds_) {
            while (next_ < ids_.size()) {
                if (const Feature* f = owner_->feature(ids_[next_++])) {
                    return f;
                }
            }
            return nullptr;
        }
        while (next_ < features_->size()) {
            const Feature& f = (*features_)[next_++];
            if (!filter_ || filter_->matches(f)) {
                return &f;
            }
        }
        return nullptr;
    }

    const Fields& fields() const override { return owner_->fields(); }

private:
    std::shared_ptr<const FeatureClass> owner_;  // keeps the features alive
    const std::vector<Feature>* features_ = nullptr;
    std::optional<QueryFilter> filter_;
    std::vector<std::int64_t> ids_;
    bool byIds_ = false;
    std::size_t next_ = 0;
};

bool valueSuits(const Variant& v, FieldType type) {
    if (v.isNull() || v.isEmpty()) {
        return true;
    }
    switch (type) {
        case FieldType::SmallInteger:
        case FieldType::Integer:
        case FieldType::Single:
        case FieldType::Double: return v.isNumber();
        case FieldType::String: return v.isText();
        case FieldType::Date: return v.kind() == Variant::Kind::Date;
        default: return false;
    }
}

}  // namespace

FeatureClass::FeatureClass(std::string name, GeometryType shapeType, std::string oidFieldName,
                           std::string shapeFieldName)
    : name_(std::move(name)), shapeType_(shapeType) {
    fields_.fields_.push_back(Field{std::move(oidFieldName), {}, FieldType::OID, 0});
    fields_.fields_.push_back(Field{std::move(shapeFieldName), {}, FieldType::Geometry, 0});
}

const std::string& FeatureClass::oidFieldName() const noexcept {
    return fields_.fields_[kOidIndex].name;
}

const std::string& FeatureClass::shapeFieldName() const noexcept {
    return fields_.fields_[kShapeIndex].name;
}

int FeatureClass::addField(Field field) {
    if (field.name.empty()) {
        throw HostError(errnum::kInvalidCall, "FeatureClass", "A field needs a name");
    }
    if (fields_.findField(field.name) >= 0) {
        throw HostError(errnum::kInvalidCall, "FeatureClass",
                        "The field " + field.name + " already exists in " + name_);
    }
    if (field.type == FieldType::OID || field.type == FieldType::Geometry) {
        throw HostError(errnum::kInvalidCall, "FeatureClass",
                        "A feature class has one object-id field and one shape field");
    }
    fields_.fields_.push_back(std::move(field));
    for (auto& f : features_) {
        f.values.push_back(Variant::null());
    }
    return fields_.fieldCount() - 1;
}

void FeatureClass::deleteField(int index) {
    const Field& field = fields_.field(index);
    if (field.type == FieldType::OID || field.type == FieldType::Geometry) {
        throw HostError(errnum::kInvalidCall, "FeatureClass",
                        "The field " + field.name + " is required and cannot be deleted");
    }
    fields_.fields_.erase(fields_.fields_.begin() + index);
    for (auto& f : features_) {
        f.values.erase(f.values.begin() + index);
    }
}

std::int64_t FeatureClass::createFeature(Geometry shape, std::vector<Variant> attributes) {
    return createFeatureWithId(nextOid_, std::move(shape), std::move(attributes));
}

std::int64_t FeatureClass::createFeatureWithId(std::int64_t oid, Geometry shape,
                                               std::vector<Variant> attributes) {
    if (oid == std::numeric_limits<std::int64_t>::max()) {
        // The next id would overflow; no source needs the very last one.
        throw HostError(errnum::kOverflow, "FeatureClass",
                        "Object id " + std::to_string(oid) + " is too large for " + name_);
    }
    if (oid < nextOid_ && !features_.empty()) {
        throw HostError(errnum::kInvalidCall, "FeatureClass",
                        "Object id " + std::to_string(oid) + " is not above the last one in " + name_);
    }
    if (!shape.isEmpty() && shape.type() != shapeType_) {
        throw HostError(errnum::kTypeMismatch, "FeatureClass",
                        "The shape does not suit the geometry type of " + name_);
    }
    const std::size_t attributeCount = static_cast<std::size_t>(fields_.fieldCount() - 2);
    if (attributes.size() > attributeCount) {
        throw HostError(errnum::kInvalidCall, "FeatureClass",
                        "More values than attribute fields in " + name_);
    }
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        const Field& field = fields_.field(static_cast<int>(i) + 2);
        if (!valueSuits(attributes[i], field.type)) {
            throw HostError(errnum::kTypeMismatch, "FeatureClass",
                            "The value for field " + field.name + " is of the wrong type");
        }
    }
    Feature f;
    f.oid = oid;
    nextOid_ = oid + 1;
    f.shape = std::move(shape);
    f.values.reserve(attributeCount + 2);
    if (f.oid >= INT32_MIN && f.oid <= INT32_MAX) {
        f.values.emplace_back(static_cast<std::int32_t>(f.oid));
    } else {
        f.values.emplace_back(static_cast<double>(f.oid));  // beyond 32 bits: exact up to 2^53
    }
    f.values.emplace_back();
    for (auto& v : attributes) {
        f.values.push_back(v.isEmpty() ? Variant::null() : std::move(v));
    }
    while (f.values.size() < attributeCount + 2) {
        f.values.push_back(Variant::null());
    }
    features_.push_back(std::move(f));
    return features_.back().oid;
}

void FeatureClass::setValue(std::int64_t oid, int fieldIndex, Variant value) {
    const Field& field = fields_.field(fieldIndex);
    if (field.type == FieldType::OID || field.type == FieldType::Geometry) {
        throw HostError(errnum::kInvalidCall, "FeatureClass",
                        "The field " + field.name + " cannot be set");
    }
    if (!valueSuits(value, field.type)) {
        throw HostError(errnum::kTypeMismatch, "FeatureClass",
                        "The value for field " + field.name + " is of the wrong type");
    }
    const auto it = std::lower_bound(features_.begin(), features_.end(), oid,
                                     [](const Feature& f, std::int64_t id) { return f.oid < id; });
    if (it == features_.end() || it->oid != oid) {
        throw HostError(errnum::kNotFound, "FeatureClass",
                        "There is no feature " + std::to_string(oid) + " in " + name_);
    }
    it->values[static_cast<std::size_t>(fieldIndex)] = value.isEmpty() ? Variant::null() : std::move(value);
}

const Feature* FeatureClass::feature(std::int64_t oid) const noexcept {
    const auto it = std::lower_bound(features_.begin(), features_.end(), oid,
                                     [](const Feature& f, std::int64_t id) { return f.oid < id; });
    return (it != features_.end() && it->oid == oid) ? &*it : nullptr;
}

std::unique_ptr<FeatureCursor> FeatureClass::search(const QueryFilter* filter) const {
    std::optional<QueryFilter> copy;
    if (filter != nullptr) {
        copy = *filter;
    }
    return std::make_unique<MemoryCursor>(shared_from_this(), features_, std::move(copy),
                                          std::vector<std::int64_t>{}, false);
}

std::unique_ptr<FeatureCursor> FeatureClass::searchIds(std::vector<std::int64_t> oids) const {
    std::sort(oids.begin(), oids.end());
    oids.erase(std::unique(oids.begin(), oids.end()), oids.end());
    return std::make_unique<MemoryCursor>(shared_from_this(), features_, std::nullopt,
                                          std::move(oids), true);
}

Envelope FeatureClass::extent() const {
    Envelope e;
    for (const auto& f : features_) {
        e.expand(f.shape.envelope());
    }
    return e;
}

bool SelectionSet::contains(std::int64_t oid) const noexcept {
    return std::binary_search(oids_.begin(), oids_.end(), oid);
}

void SelectionSet::add(std::int64_t oid) {
    const auto it = std::lower_bound(oids_.begin(), oids_.end(), oid);
    if (it == oids_.end() || *it != oid) {
        oids_.insert(it, oid);
    }
}

void SelectionSet::remove(std::int64_t oid) {
    const auto it = std::lower_bound(oids_.begin(), oids_.end(), oid);
    if (it != oids_.end() && *it == oid) {
        oids_.erase(it);
    }
}

std::unique_ptr<FeatureCursor> SelectionSet::search() const {
    if (!featureClass_) {
        throw HostError(errnum::kObjectMissing, "SelectionSet",
                        "The selection belongs to no feature class");
    }
    return featureClass_->searchIds(oids_);
}

}  // namespace kartoplot::host
