// Feature data: fields with the host's type codes, features, in-memory feature classes,
// forward cursors and selection sets.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/geometry.h"
#include "host/variant.h"

namespace kartoplot::host {

class SpatialReference;

// Field type codes of the host.
enum class FieldType : std::int32_t {
    SmallInteger = 0,
    Integer = 1,
    Single = 2,
    Double = 3,
    String = 4,
    Date = 5,
    OID = 6,
    Geometry = 7,
};

struct Field {
    std::string name;
    std::string aliasName;  // display name; empty = the name
    FieldType type = FieldType::Double;
    int length = 0;         // text fields: maximum characters, 0 = unlimited

    // Short, long, single, double or object id.
    bool isNumeric() const noexcept;
    friend bool operator==(const Field&, const Field&) = default;
};

class Fields {
public:
    int fieldCount() const noexcept { return static_cast<int>(fields_.size()); }
    // Field at 0-based index; throws HostError outside the list.
    const Field& field(int index) const;
    // Index of the field of that name (letter case ignored), or −1.
    int findField(const std::string& name) const noexcept;
    const std::vector<Field>& all() const noexcept { return fields_; }

private:
    friend class FeatureClass;
    std::vector<Field> fields_;
};

// One feature: its object id, shape and one value per field (the shape field holds empty).
struct Feature {
    std::int64_t oid = 0;
    Geometry shape;
    std::vector<Variant> values;

    // Value by field index; throws HostError outside the field list.
    const Variant& value(int index) const;
};

// Forward-only, non-recycling: each feature stays valid while the feature class is
// not changed.
class FeatureCursor {
public:
    virtual ~FeatureCursor() = default;
    // The next feature, or nullptr at the end.
    virtual const Feature* nextFeature() = 0;
    // The field list of the features this cursor gives.
    virtual const Fields& fields() const = 0;
};

// Which features a search gives: all (no filter), or those matching a predicate and/or
// intersecting an envelope.
struct QueryFilter {
    std::function<bool(const Feature&)> where;
    std::optional<Envelope> extent;
    bool matches(const Feature& feature) const;
};

// A feature class held in memory (create it with std::make_shared: cursors keep it alive).
// Its first field is the object id ("OBJECTID" unless
// named otherwise), the second the shape ("Shape"); attribute fields follow.
class FeatureClass : public std::enable_shared_from_this<FeatureClass> {
public:
    FeatureClass(std::string name, GeometryType shapeType,
                 std::string oidFieldName = "OBJECTID", std::string shapeFieldName = "Shape");

    const std::string& name() const noexcept { return name_; }
    // The name used to qualify joined fields ("alias.field").
    const std::string& aliasName() const noexcept { return aliasName_.empty() ? name_ : aliasName_; }
    void setAliasName(std::string alias) { aliasName_ = std::move(alias); }
    GeometryType shapeType() const noexcept { return shapeType_; }
    const Fields& fields() const noexcept { return fields_; }
    int findField(const std::string& name) const noexcept { return fields_.findField(name); }
    const std::string& oidFieldName() const noexcept;
    const std::string& shapeFieldName() const noexcept;

    const std::shared_ptr<const SpatialReference>& spatialReference() const noexcept { return srs_; }
    void setSpatialReference(std::shared_ptr<const SpatialReference> srs) { srs_ = std::move(srs); }

    // Adds an attribute field at the end; existing features get null. Throws HostError
    // for an empty or already used name, or for an object-id or geometry type.
    int addField(Field field);
    // Deletes the field and its values. The object-id and shape fields cannot be deleted
    // (HostError), nor can an index outside the list.
    void deleteField(int index);

    // Adds a feature with the attribute values in field order after the shape field
    // (missing values are null); returns its object id. Throws HostError when a value does
    // not suit its field or the shape is of another geometry type.
    std::int64_t createFeature(Geometry shape, std::vector<Variant> attributes);
    // The same with the object id given (a source's feature id); ids must ascend, so an id
    // not above the last one throws HostError.
    std::int64_t createFeatureWithId(std::int64_t oid, Geometry shape,
                                     std::vector<Variant> attributes);
    // Sets one attribute of a feature. Throws HostError for an unknown feature, the object-id
    // or shape field, an index outside the list, or a value that does not suit the field.
    void setValue(std::int64_t oid, int fieldIndex, Variant value);
    std::int64_t featureCount() const noexcept { return static_cast<std::int64_t>(features_.size()); }
    // The feature with that object id, or nullptr.
    const Feature* feature(std::int64_t oid) const noexcept;
    void reserve(std::size_t features) { features_.reserve(features); }

    // A forward cursor over the features the filter passes (all when filter is nullptr),
    // in object-id order.
    std::unique_ptr<FeatureCursor> search(const QueryFilter* filter = nullptr) const;
    // A cursor over the given object ids (ascending, unknown ids skipped).
    std::unique_ptr<FeatureCursor> searchIds(std::vector<std::int64_t> oids) const;

    // The envelope of all shapes.
    Envelope extent() const;

private:
    std::string name_;
    std::string aliasName_;
    GeometryType shapeType_ = GeometryType::Point;
    Fields fields_;
    std::vector<Feature> features_;  // ascending object ids
    std::int64_t nextOid_ = 1;
    std::shared_ptr<const SpatialReference> srs_;
};

// The selected features of a layer, as sorted object ids.
class SelectionSet {
public:
    SelectionSet() = default;
    explicit SelectionSet(std::shared_ptr<const FeatureClass> featureClass)
        : featureClass_(std::move(featureClass)) {}

    int count() const noexcept { return static_cast<int>(oids_.size()); }
    bool contains(std::int64_t oid) const noexcept;
    const std::vector<std::int64_t>& ids() const noexcept { return oids_; }
    void add(std::int64_t oid);
    void remove(std::int64_t oid);
    void clear() noexcept { oids_.clear(); }
    // Forward cursor over the selected features in object-id order; throws HostError when
    // the set belongs to no feature class.
    std::unique_ptr<FeatureCursor> search() const;

private:
    std::shared_ptr<const FeatureClass> featureClass_;
    std::vector<std::int64_t> oids_;
};

}  // namespace kartoplot::host
