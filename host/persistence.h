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

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/geometry.h"
#include "host/property_set.h"
#include "host/symbols.h"
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

// ---- field visitors ---------------------------------------------------------------------------
//
// A class lists its fields once, in a function template `fields(visitor, object)` that calls the
// visitor's methods below with each field's key and member. ClassRegistry::addFields runs it with
// a FieldWriteVisitor (object const), a FieldReadVisitor (object being filled) and a
// FieldCompareVisitor (object const), so a field cannot be written but forgotten when read or
// compared. Every visitor has the same methods; the reading one leaves a member unchanged when
// its field is absent and throws HostError for a field of the wrong shape or out of its limits.

// Limits a field keeps. The reader refuses a value outside them and the writer refuses to store
// one (HostError), so nothing is written that cannot be read back.
struct NumberRange {
    double low = 0.0;   // finite numbers in [low, high]
    double high = 0.0;
};
struct IntegerRange {
    std::int32_t low = 0;
    std::int32_t high = 0;
};
enum class TextRule { Any, NoNul };
enum class NullRule { Allowed, Refused };  // may an object field, or an item of a list, be null
enum class EmptyRule { Kept, Omitted };    // is an empty value written, or its field left out

class FieldWriteVisitor;
class FieldReadVisitor;
class FieldCompareVisitor;

// The fields of a font: a map with name, size (points) and the four style flags.
template <class Visitor, class FontRef>
void fontFields(Visitor& v, FontRef& f) {
    v.text("name", f.name);
    v.number("size", f.size);
    v.boolean("bold", f.bold);
    v.boolean("italic", f.italic);
    v.boolean("underline", f.underline);
    v.boolean("strikethrough", f.strikethrough);
}

class FieldWriteVisitor {
public:
    // `owner` is the class name that messages about unstorable values give.
    FieldWriteVisitor(FieldWriter& fields, const std::string& owner) : fields_(&fields), owner_(&owner) {}

    void number(std::string_view key, const double& value) { fields_->putNumber(key, value); }
    void number(std::string_view key, const double& value, NumberRange range);
    void integer(std::string_view key, const std::int32_t& value) { fields_->putInteger(key, value); }
    void integer(std::string_view key, const std::int32_t& value, IntegerRange range);
    void boolean(std::string_view key, const bool& value) { fields_->putBoolean(key, value); }
    void text(std::string_view key, const std::string& value, TextRule rule = TextRule::Any);
    void numbers(std::string_view key, const std::vector<double>& values) { fields_->putNumbers(key, values); }
    void texts(std::string_view key, const std::vector<std::string>& values) { fields_->putTexts(key, values); }
    void bytes(std::string_view key, const std::vector<std::uint8_t>& value) { fields_->putBytes(key, value); }
    template <class E>
        requires std::is_enum_v<E>
    void enumeration(std::string_view key, const E& value, E /*first*/, E /*last*/) {
        fields_->putEnum(key, value);
    }
    template <class T>
    void object(std::string_view key, const std::shared_ptr<T>& object, NullRule rule = NullRule::Allowed) {
        if (rule == NullRule::Refused && !object) {
            refuse(key, "holds a missing object");
        }
        fields_->putObject(key, object);
    }
    template <class T>
    void objects(std::string_view key, const std::vector<std::shared_ptr<T>>& list, NullRule rule = NullRule::Allowed) {
        for (const auto& item : list) {
            if (rule == NullRule::Refused && !item) {
                refuse(key, "holds a missing object");
            }
        }
        fields_->putObjects(key, list);
    }
    void objects(std::string_view key, const SymbolArray& symbols);
    void value(std::string_view key, const Variant& value) { fields_->putValue(key, value); }
    void color(std::string_view key, const Color& color);
    void font(std::string_view key, const Font& font) {
        nested(key, [&](auto& inner) { fontFields(inner, font); });
    }
    // Refuses coordinates that are not finite.
    void point(std::string_view key, const Point& point);
    void geometry(std::string_view key, const Geometry& geometry);
    // Nothing is written for no envelope.
    void envelope(std::string_view key, const std::optional<Envelope>& envelope);
    void lineTemplate(std::string_view key, const LineTemplate& lineTemplate);
    void entries(std::string_view key, const PropertySet& set);
    // A map of fields inside this field; `visit(visitor)` lists them.
    template <class Visit>
    void nested(std::string_view key, Visit&& visit) {
        FieldWriter inner = fields_->nested(key);
        FieldWriteVisitor visitor(inner, *owner_);
        visit(visitor);
    }
    // A field behind accessors: `get(object)` gives a reference to it, `set` stores what was
    // read (see FieldReadVisitor::property). Texts, values, geometries and object lists.
    template <class S, class Get, class Set>
    void property(std::string_view key, const S& object, Get get, Set /*set*/, EmptyRule rule = EmptyRule::Kept) {
        const auto& value = std::invoke(get, object);
        if (rule == EmptyRule::Kept || !isEmpty(value)) {
            put(key, value);
        }
    }

private:
    [[noreturn]] void refuse(std::string_view key, const std::string& problem) const;
    template <class X>
    static bool isEmpty(const X& value) {
        if constexpr (requires { value.isEmpty(); }) {
            return value.isEmpty();
        } else {
            return value.empty();
        }
    }
    void put(std::string_view key, const std::string& value) { text(key, value); }
    void put(std::string_view key, const Variant& v) { value(key, v); }
    void put(std::string_view key, const Geometry& g) { geometry(key, g); }
    template <class T>
    void put(std::string_view key, const std::vector<std::shared_ptr<T>>& list) {
        objects(key, list);
    }

    FieldWriter* fields_ = nullptr;      // not owned
    const std::string* owner_ = nullptr;  // not owned
};

class FieldReadVisitor {
public:
    explicit FieldReadVisitor(const FieldReader& fields) : fields_(&fields) {}

    void number(std::string_view key, double& target) const { fields_->getNumber(key, target); }
    void number(std::string_view key, double& target, NumberRange range) const;
    void integer(std::string_view key, std::int32_t& target) const { fields_->getInteger(key, target); }
    void integer(std::string_view key, std::int32_t& target, IntegerRange range) const;
    void boolean(std::string_view key, bool& target) const { fields_->getBoolean(key, target); }
    void text(std::string_view key, std::string& target, TextRule rule = TextRule::Any) const;
    void numbers(std::string_view key, std::vector<double>& target) const { fields_->getNumbers(key, target); }
    void texts(std::string_view key, std::vector<std::string>& target) const { fields_->getTexts(key, target); }
    void bytes(std::string_view key, std::vector<std::uint8_t>& target) const { fields_->getBytes(key, target); }
    template <class E>
        requires std::is_enum_v<E>
    void enumeration(std::string_view key, E& target, E first, E last) const {
        fields_->getEnum(key, target, first, last);
    }
    template <class T>
    void object(std::string_view key, std::shared_ptr<T>& target, NullRule rule = NullRule::Allowed) const {
        fields_->getObject(key, target);
        if (rule == NullRule::Refused && fields_->has(key) && !target) {
            fields_->fail(key, "holds a missing object");
        }
    }
    template <class T>
    void objects(std::string_view key, std::vector<std::shared_ptr<T>>& target, NullRule rule = NullRule::Allowed) const {
        fields_->getObjects(key, target);
        for (const auto& item : target) {
            if (rule == NullRule::Refused && !item) {
                fields_->fail(key, "holds a missing object");
            }
        }
    }
    void objects(std::string_view key, SymbolArray& target) const;
    void value(std::string_view key, Variant& target) const { fields_->getValue(key, target); }
    void color(std::string_view key, Color& target) const;
    void font(std::string_view key, Font& font) const {
        nested(key, [&](auto& inner) { fontFields(inner, font); });
    }
    void point(std::string_view key, Point& target) const;
    void geometry(std::string_view key, Geometry& target) const;
    void envelope(std::string_view key, std::optional<Envelope>& target) const;
    void lineTemplate(std::string_view key, LineTemplate& target) const;
    void entries(std::string_view key, PropertySet& set) const;
    // An absent map reads as an empty one: its members keep their values.
    template <class Visit>
    void nested(std::string_view key, Visit&& visit) const {
        const FieldReader inner = fields_->nested(key);
        FieldReadVisitor visitor(inner);
        visit(visitor);
    }
    // When the field is present: reads it into a new value and calls `set(object, value)`, or
    // `set(object, value, reader)` for a setter that refuses values through reader.fail().
    template <class S, class Get, class Set>
    void property(std::string_view key, S& object, Get /*get*/, Set set, EmptyRule /*rule*/ = EmptyRule::Kept) const {
        if (!fields_->has(key)) {
            return;
        }
        std::decay_t<std::invoke_result_t<Get, const S&>> value{};
        take(key, value);
        if constexpr (std::is_invocable_v<Set, S&, decltype(value), const FieldReader&>) {
            std::invoke(set, object, std::move(value), *fields_);
        } else {
            std::invoke(set, object, std::move(value));
        }
    }

private:
    void take(std::string_view key, std::string& target) const { text(key, target); }
    void take(std::string_view key, Variant& target) const { value(key, target); }
    void take(std::string_view key, Geometry& target) const { geometry(key, target); }
    template <class T>
    void take(std::string_view key, std::vector<std::shared_ptr<T>>& target) const {
        objects(key, target);
    }

    const FieldReader* fields_ = nullptr;  // not owned
};

// Collects references to the fields of one object; two collections compare field by field
// (numbers with ==, so NaN differs from itself; objects by value through ObjectComparer).
class FieldCompareVisitor {
public:
    template <class... Limits>
    void number(std::string_view, const double& value, Limits...) { add(value); }
    template <class... Limits>
    void integer(std::string_view, const std::int32_t& value, Limits...) { add(value); }
    void boolean(std::string_view, const bool& value) { add(value); }
    void text(std::string_view, const std::string& value, TextRule = TextRule::Any) { add(value); }
    void numbers(std::string_view, const std::vector<double>& values) { add(values); }
    void texts(std::string_view, const std::vector<std::string>& values) { add(values); }
    void bytes(std::string_view, const std::vector<std::uint8_t>& value) { add(value); }
    template <class E>
        requires std::is_enum_v<E>
    void enumeration(std::string_view, const E& value, E, E) {
        add(value);
    }
    template <class T>
    void object(std::string_view, const std::shared_ptr<T>& object, NullRule = NullRule::Allowed) {
        add(object);
    }
    template <class T>
    void objects(std::string_view, const std::vector<std::shared_ptr<T>>& list, NullRule = NullRule::Allowed) {
        add(list);
    }
    void objects(std::string_view, const SymbolArray& symbols) { add(symbols); }
    void value(std::string_view, const Variant& value) { add(value); }
    void color(std::string_view, const Color& value) { add(value); }
    void font(std::string_view, const Font& value) { add(value); }
    void point(std::string_view, const Point& value) { add(value); }
    void geometry(std::string_view, const Geometry& value) { add(value); }
    void envelope(std::string_view, const std::optional<Envelope>& value) { add(value); }
    void lineTemplate(std::string_view, const LineTemplate& value) { add(value); }
    void entries(std::string_view, const PropertySet& set) {
        add(set.names());
        add(set.values());
    }
    template <class Visit>
    void nested(std::string_view, Visit&& visit) {
        visit(*this);
    }
    template <class S, class Get, class Set>
    void property(std::string_view, const S& object, Get get, Set, EmptyRule = EmptyRule::Kept) {
        static_assert(std::is_lvalue_reference_v<std::invoke_result_t<Get, const S&>>,
                      "the getter of a property gives a reference to a member");
        add(std::invoke(get, object));
    }

    // Both collections list equal fields (collected from objects of one class).
    bool sameAs(const FieldCompareVisitor& other, const ObjectComparer& compare) const;

private:
    struct Field {
        const void* value = nullptr;  // not owned: a member of the visited object
        bool (*equal)(const void*, const void*, const ObjectComparer&) = nullptr;
    };

    template <class X>
    static bool equalFields(const void* a, const void* b, const ObjectComparer& compare);
    template <class X>
    void add(const X& value) {
        fields_.push_back(Field{&value, &equalFields<X>});
    }

    std::vector<Field> fields_;
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

    // Adds a default-constructible class T whose fields `fields(visitor, object)` lists once
    // (see the field visitors above). `check`, when given, runs on each object read, after its
    // fields, for rules across fields; it refuses through FieldReader::fail().
    template <class T, class Fields>
        requires std::is_base_of_v<HostObject, T> && std::is_default_constructible_v<T>
    void addFields(std::string name, Fields fields, std::function<void(const T&, const FieldReader&)> check = {}) {
        auto owner = std::make_shared<const std::string>(name);
        add(ClassCodec{
            std::move(name),
            [fields, owner](const HostObject& object, FieldWriter& writer) {
                FieldWriteVisitor visitor(writer, *owner);
                fields(visitor, checkedCast<T>(object));
            },
            [fields, check = std::move(check)](const FieldReader& reader) -> std::shared_ptr<HostObject> {
                auto object = std::make_shared<T>();
                FieldReadVisitor visitor(reader);
                fields(visitor, *object);
                if (check) {
                    check(*object, reader);
                }
                return object;
            },
            [fields](const HostObject& a, const HostObject& b, const ObjectComparer& compare) {
                const T* x = dynamic_cast<const T*>(&a);
                const T* y = dynamic_cast<const T*>(&b);
                if (x == nullptr || y == nullptr) {
                    return false;
                }
                FieldCompareVisitor first;
                FieldCompareVisitor second;
                fields(first, *x);
                fields(second, *y);
                return first.sameAs(second, compare);
            }});
    }

    // Adds a default-constructible class T with separate functions to write, read (fill a new
    // T) and compare, for a class whose fields cannot be listed once. Throws as add() does.
    template <class T>
        requires std::is_base_of_v<HostObject, T> && std::is_default_constructible_v<T>
    void addClass(std::string name, std::function<void(const T&, FieldWriter&)> write,
                  std::function<void(T&, const FieldReader&)> read,
                  std::function<bool(const T&, const T&, const ObjectComparer&)> equal) {
        if (!write || !read || !equal) {
            throwMissingFunction();
        }
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
    [[noreturn]] static void throwMissingFunction();

    std::map<std::string, ClassCodec, std::less<>> codecs_;
};

template <class X>
bool FieldCompareVisitor::equalFields(const void* a, const void* b, const ObjectComparer& compare) {
    const X& x = *static_cast<const X*>(a);
    const X& y = *static_cast<const X*>(b);
    if constexpr (std::is_same_v<X, Variant>) {
        return compare.values(x, y);
    } else if constexpr (std::is_same_v<X, std::vector<Variant>>) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                          [&](const Variant& u, const Variant& v) { return compare.values(u, v); });
    } else if constexpr (std::is_same_v<X, SymbolArray>) {
        if (x.count() != y.count()) {
            return false;
        }
        for (int i = 0; i < x.count(); ++i) {
            if (!compare.objects(x.element(i), y.element(i))) {
                return false;
            }
        }
        return true;
    } else if constexpr (requires { compare.objects(x, y); }) {
        return compare.objects(x, y);
    } else if constexpr (requires { compare.objectLists(x, y); }) {
        return compare.objectLists(x, y);
    } else {
        return x == y;
    }
}

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
