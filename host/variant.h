// The host's value type: what a field, a property set entry or a custom property holds.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <variant>

namespace kartoplot::host {

// Base of every host object that can be held in a Variant or a property set
// (symbols, elements, property sets, spatial references, ...).
class HostObject {
public:
    virtual ~HostObject() = default;
    // The persistence class name ("SimpleFillSymbol", "PropertySet", ...).
    virtual std::string className() const = 0;
};

// A date as the host keeps it: days since 1899-12-30, the fraction is the time of day.
struct Date {
    double days = 0.0;
    friend bool operator==(const Date&, const Date&) = default;
};

// A value of one of the host's kinds. Empty is "nothing set"; Null is a database null.
class Variant {
public:
    enum class Kind : std::uint8_t {
        Empty = 0,
        Null = 1,
        Short = 2,   // 16-bit integer
        Long = 3,    // 32-bit integer
        Double = 5,
        Date = 7,
        Text = 8,
        Object = 9,
        Boolean = 11,
    };

    struct NullValue {
        friend bool operator==(NullValue, NullValue) = default;
    };

    Variant() = default;
    static Variant null() {
        Variant v;
        v.value_ = NullValue{};
        return v;
    }
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(bool v) : value_(v) {}
    Variant(Date v) : value_(v) {}
    Variant(std::string v) : value_(std::make_shared<const std::string>(std::move(v))) {}
    Variant(const char* v) : Variant(std::string(v)) {}
    // A text shared with other values (copies of a Variant share their text too).
    Variant(std::shared_ptr<const std::string> v) : value_(std::move(v)) {}
    Variant(std::shared_ptr<HostObject> v) : value_(std::move(v)) {}
    template <class T>
        requires std::is_base_of_v<HostObject, T>
    Variant(std::shared_ptr<T> v) : value_(std::shared_ptr<HostObject>(std::move(v))) {}

    Kind kind() const noexcept;
    bool isEmpty() const noexcept { return kind() == Kind::Empty; }
    bool isNull() const noexcept { return kind() == Kind::Null; }
    bool isNumber() const noexcept;  // Short, Long, Double or Boolean
    bool isText() const noexcept { return kind() == Kind::Text; }
    bool isObject() const noexcept { return kind() == Kind::Object; }

    // Numeric value of a number, a boolean (true = -1, as the host counts it) or a date;
    // throws HostError (type mismatch) for empty, null, text and objects.
    double toDouble() const;
    // The text of a Text value; throws HostError (type mismatch) otherwise.
    const std::string& text() const;
    // The object of an Object value, or nullptr for any other kind.
    const std::shared_ptr<HostObject>& object() const noexcept;
    // The object cast to T, or nullptr when this holds no object of that kind.
    template <class T>
    std::shared_ptr<T> objectAs() const {
        return std::dynamic_pointer_cast<T>(object());
    }

    // Same kind and same value; texts compare by content, objects by identity.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    // Texts are held through a shared pointer: a Variant stays 24 bytes, and the many copies
    // of one text (a field value copied into chart data, "<Null>") share it.
    std::variant<std::monostate, NullValue, std::int16_t, std::int32_t, double, Date,
                 std::shared_ptr<const std::string>, std::shared_ptr<HostObject>, bool>
        value_;
};

std::ostream& operator<<(std::ostream& out, const Variant& v);

}  // namespace kartoplot::host
