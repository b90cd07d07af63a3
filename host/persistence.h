// Persistence of host values and objects: the class registry, the typed value encoding inside
// the file container (host/file_container.h), deep comparison by value, and the property-set
// files that legend, parameter and graphics files are.
//
// An object is stored under its class name with a map of named fields, written and read by
// the functions registered for that name. hostClasses() knows the host's own classes (property
// sets, spatial references, symbols, elements). Modules that persist more (layers, renderers,
// projects) copy it, add their classes and pass their registry to the functions below; see
// docs/file-formats.md for the rules a class's fields follow.
//
// Identity: an object referenced several times in one file (a fill symbol shared by many
// charts) is written once and read back as one shared object. Nothing is shared across files.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/property_set.h"
#include "host/variant.h"

namespace kartoplot::host {

class ClassRegistry;
class EncodeContext;
class DecodeContext;

// The fields of the object being written, as a map of field names to values.
class FieldWriter {
public:
    FieldWriter(EncodeContext& context, nlohmann::json& fields) : context_(&context), fields_(&fields) {}

    void putNumber(std::string_view key, double value);
    void putInteger(std::string_view key, std::int64_t value);
    void putBoolean(std::string_view key, bool value);
    void putText(std::string_view key, std::string_view value);
    void putNumbers(std::string_view key, const std::vector<double>& values);
    void putTexts(std::string_view key, const std::vector<std::string>& values);
    void putBytes(std::string_view key, const std::vector<std::uint8_t>& bytes);
    template <class E>
        requires std::is_enum_v<E>
    void putEnum(std::string_view key, E value) {
        putInteger(key, static_cast<std::int64_t>(value));
    }
    // An object, or null for a null pointer. Throws HostError for an unregistered class, an
    // object that contains itself, or objects nested deeper than kMaxNesting.
    void putObject(std::string_view key, const HostObject* object);
    template <class T>
    void putObject(std::string_view key, const std::shared_ptr<T>& object) {
        putObject(key, static_cast<const HostObject*>(object.get()));
    }
    void putObjects(std::string_view key, const std::vector<const HostObject*>& objects);
    template <class T>
    void putObjects(std::string_view key, const std::vector<std::shared_ptr<T>>& objects) {
        std::vector<const HostObject*> plain;
        plain.reserve(objects.size());
        for (const auto& object : objects) {
            plain.push_back(object.get());
        }
        putObjects(key, plain);
    }
    // A typed value (kept as empty, null, 16-bit, 32-bit, double, date, text, boolean or object).
    void putValue(std::string_view key, const Variant& value);
    // The raw slot of a field, for a composite of plain values (a colour, a geometry).
    nlohmann::json& field(std::string_view key);
    // A writer for a map of fields nested in this field (a font, a line template).
    FieldWriter nested(std::string_view key);
    // The encoding of a value or an object, for lists a class lays out itself.
    nlohmann::json encodeValue(const Variant& value);
    nlohmann::json encodeObject(const HostObject* object);

private:
    EncodeContext* context_ = nullptr;  // not owned
    nlohmann::json* fields_ = nullptr;  // not owned
};

// The fields of the object being read. Every getter leaves its target unchanged when the field
// is absent (a file of an older minor version), and throws HostError naming the file, the class
// and the field when the field holds another type or a value out of range.
class FieldReader {
public:
    FieldReader(DecodeContext& context, const nlohmann::json& fields, const std::string& className)
        : context_(&context), fields_(&fields), className_(&className) {}

    const std::string& className() const noexcept { return *className_; }
    bool has(std::string_view key) const;

    void getNumber(std::string_view key, double& target) const;
    void getInteger(std::string_view key, std::int32_t& target) const;
    void getBoolean(std::string_view key, bool& target) const;
    void getText(std::string_view key, std::string& target) const;
    void getNumbers(std::string_view key, std::vector<double>& target) const;
    void getTexts(std::string_view key, std::vector<std::string>& target) const;
    void getBytes(std::string_view key, std::vector<std::uint8_t>& target) const;
    // An enumeration stored as its code; codes outside [first, last] are refused.
    template <class E>
        requires std::is_enum_v<E>
    void getEnum(std::string_view key, E& target, E first, E last) const {
        if (!has(key)) {
            return;
        }
        std::int32_t code = 0;
        getInteger(key, code);
        if (code < static_cast<std::int32_t>(first) || code > static_cast<std::int32_t>(last)) {
            fail(key, "holds the unknown code " + std::to_string(code));
        }
        target = static_cast<E>(code);
    }
    // An object of class T (or derived), or null. Objects of other classes are refused.
    template <class T>
    void getObject(std::string_view key, std::shared_ptr<T>& target) const {
        if (has(key)) {
            target = cast<T>(key, objectAt(key));
        }
    }
    template <class T>
    void getObjects(std::string_view key, std::vector<std::shared_ptr<T>>& target) const {
        if (!has(key)) {
            return;
        }
        std::vector<std::shared_ptr<T>> objects;
        for (auto& object : objectsAt(key)) {
            objects.push_back(cast<T>(key, std::move(object)));
        }
        target = std::move(objects);
    }
    void getValue(std::string_view key, Variant& target) const;
    // The raw field, or nullptr when absent.
    const nlohmann::json* field(std::string_view key) const;
    // A reader for a map of fields nested in this field; fails when the field is no map.
    // An absent field reads as an empty map (every getter then leaves its target alone).
    FieldReader nested(std::string_view key) const;
    // Values and objects inside lists a class lays out itself.
    Variant decodeValue(const nlohmann::json& value) const;
    std::shared_ptr<HostObject> decodeObject(const nlohmann::json& reference) const;
    // Throws HostError (format error): "<file> is damaged: field "key" of a <class> <problem>."
    [[noreturn]] void fail(std::string_view key, const std::string& problem) const;

private:
    std::shared_ptr<HostObject> objectAt(std::string_view key) const;
    std::vector<std::shared_ptr<HostObject>> objectsAt(std::string_view key) const;
    template <class T>
    std::shared_ptr<T> cast(std::string_view key, std::shared_ptr<HostObject> object) const {
        auto typed = std::dynamic_pointer_cast<T>(object);
        if (object && !typed) {
            fail(key, "holds an object of the unsuitable class " + object->className());
        }
        return typed;
    }

    DecodeContext* context_ = nullptr;          // not owned
    const nlohmann::json* fields_ = nullptr;    // not owned
    const std::string* className_ = nullptr;    // not owned
};

// Deep comparison by value through the registry: two objects are equal when they are of one
// class and that class's fields are equal (texts by content, objects recursively). Objects of
// classes without a registered comparison are equal only when they are the same object.
class ObjectComparer {
public:
    explicit ObjectComparer(const ClassRegistry& registry) : registry_(&registry) {}

    bool objects(const HostObject* a, const HostObject* b) const;
    template <class T>
    bool objects(const std::shared_ptr<T>& a, const std::shared_ptr<T>& b) const {
        return objects(static_cast<const HostObject*>(a.get()), static_cast<const HostObject*>(b.get()));
    }
    template <class T>
    bool objectLists(const std::vector<std::shared_ptr<T>>& a, const std::vector<std::shared_ptr<T>>& b) const {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!objects(a[i], b[i])) {
                return false;
            }
        }
        return true;
    }
    // Same kind and equal value; objects compared as objects() does.
    bool values(const Variant& a, const Variant& b) const;

private:
    const ClassRegistry* registry_ = nullptr;  // not owned
    mutable int depth_ = 0;                    // guards against objects that contain themselves
};

// How one class is written, read and compared.
struct ClassCodec {
    std::string name;  // the className() of the objects
    std::function<void(const HostObject&, FieldWriter&)> write;
    // Builds a new object from the fields; returns it complete or throws HostError.
    std::function<std::shared_ptr<HostObject>(const FieldReader&)> read;
    std::function<bool(const HostObject&, const HostObject&, const ObjectComparer&)> equal;
};

class ClassRegistry {
public:
    // Adds a class. Throws HostError when the name is empty or taken, or a function is missing.
    void add(ClassCodec codec);

    // Adds a default-constructible class T: `read` fills a new T from the fields.
    template <class T>
        requires std::is_base_of_v<HostObject, T> && std::is_default_constructible_v<T>
    void addClass(std::string name, std::function<void(const T&, FieldWriter&)> write,
                  std::function<void(T&, const FieldReader&)> read,
                  std::function<bool(const T&, const T&, const ObjectComparer&)> equal) {
        add(ClassCodec{
            std::move(name),
            [write = std::move(write)](const HostObject& object, FieldWriter& fields) {
                write(checkedCast<T>(object), fields);
            },
            [read = std::move(read)](const FieldReader& fields) -> std::shared_ptr<HostObject> {
                auto object = std::make_shared<T>();
                read(*object, fields);
                return object;
            },
            [equal = std::move(equal)](const HostObject& a, const HostObject& b, const ObjectComparer& compare) {
                const T* x = dynamic_cast<const T*>(&a);
                const T* y = dynamic_cast<const T*>(&b);
                return x != nullptr && y != nullptr && equal(*x, *y, compare);
            }});
    }

    // The codec of a class name, or nullptr.
    const ClassCodec* find(std::string_view name) const noexcept;
    // The registered class names in alphabetical order.
    std::vector<std::string> names() const;

private:
    template <class T>
    static const T& checkedCast(const HostObject& object) {
        const T* typed = dynamic_cast<const T*>(&object);
        if (typed == nullptr) {
            throwWrongClass(object);
        }
        return *typed;
    }
    [[noreturn]] static void throwWrongClass(const HostObject& object);

    std::map<std::string, ClassCodec, std::less<>> codecs_;
};

// The host's own persistable classes: PropertySet, SpatialReference, every symbol kind,
// LineCallout and the five element kinds. Built once; copy it to add classes.
const ClassRegistry& hostClasses();

// A value in a whole container (header and body). Throws HostError for objects of unregistered
// classes, objects that contain themselves, data nested too deeply or too large to read back.
std::string encodeValue(const Variant& value, const ClassRegistry& registry = hostClasses());
// The value of a container made by encodeValue. Nothing is returned unless the whole data was
// read and checked; throws HostError naming `what` otherwise.
Variant decodeValue(std::string_view bytes, const ClassRegistry& registry = hostClasses(),
                    const std::string& what = "The data");

// The same for one object (the value holds an object of a registered class).
std::string encodeObject(const HostObject& object, const ClassRegistry& registry = hostClasses());
// Throws HostError when the data holds no object (or a null one).
std::shared_ptr<HostObject> decodeObject(std::string_view bytes, const ClassRegistry& registry = hostClasses(),
                                         const std::string& what = "The data");

// Writes the set to `path` through AtomicFile: the old file stays whole until the new one is
// complete. Throws HostError (nothing written) when the set cannot be stored or written.
void writePropertySetFile(const PropertySet& set, const std::string& path,
                          const ClassRegistry& registry = hostClasses());
// Reads a set written by writePropertySetFile. Throws HostError with a description in plain
// words when the file cannot be opened, is not ours, is of a newer major version, is truncated
// or damaged, nests too deeply, is too large, holds an unknown class or no property set.
std::shared_ptr<PropertySet> readPropertySetFile(const std::string& path,
                                                 const ClassRegistry& registry = hostClasses());

// Deep comparison by value (see ObjectComparer); two null pointers are equal.
bool equalObjects(const HostObject* a, const HostObject* b, const ClassRegistry& registry = hostClasses());
bool equalValues(const Variant& a, const Variant& b, const ClassRegistry& registry = hostClasses());

}  // namespace kartoplot::host
