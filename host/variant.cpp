#include "host/variant.h"

#include <ostream>

#include "errors/error_handling.h"

namespace kartoplot::host {

namespace {
[[noreturn]] void typeMismatch() {
    throw HostError(errnum::kTypeMismatch, "Variant", "Type mismatch");
}
}  // namespace

Variant::Kind Variant::kind() const noexcept {
    switch (value_.index()) {
        case 0: return Kind::Empty;
        case 1: return Kind::Null;
        case 2: return Kind::Short;
        case 3: return Kind::Long;
        case 4: return Kind::Double;
        case 5: return Kind::Date;
        case 6: return Kind::Text;
        case 7: return Kind::Object;
        default: return Kind::Boolean;
    }
}

bool Variant::isNumber() const noexcept {
    const Kind k = kind();
    return k == Kind::Short || k == Kind::Long || k == Kind::Double || k == Kind::Boolean;
}

double Variant::toDouble() const {
    switch (kind()) {
        case Kind::Short: return std::get<std::int16_t>(value_);
        case Kind::Long: return std::get<std::int32_t>(value_);
        case Kind::Double: return std::get<double>(value_);
        case Kind::Date: return std::get<Date>(value_).days;
        case Kind::Boolean: return std::get<bool>(value_) ? -1.0 : 0.0;
        default: typeMismatch();
    }
}

const std::string& Variant::text() const {
    if (const auto* s = std::get_if<std::shared_ptr<const std::string>>(&value_); s && *s) {
        return **s;
    }
    typeMismatch();
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.value_.index() != b.value_.index()) {
        return false;
    }
    if (a.isText()) {
        return a.text() == b.text();
    }
    return a.value_ == b.value_;
}

const std::shared_ptr<HostObject>& Variant::object() const noexcept {
    static const std::shared_ptr<HostObject> none;
    if (const auto* o = std::get_if<std::shared_ptr<HostObject>>(&value_)) {
        return *o;
    }
    return none;
}

std::ostream& operator<<(std::ostream& out, const Variant& v) {
    switch (v.kind()) {
        case Variant::Kind::Empty: return out << "<empty>";
        case Variant::Kind::Null: return out << "<null>";
        case Variant::Kind::Text: return out << '"' << v.text() << '"';
        case Variant::Kind::Object:
            return out << "<" << (v.object() ? v.object()->className() : "nothing") << ">";
        case Variant::Kind::Date: return out << "date(" << v.toDouble() << ")";
        case Variant::Kind::Boolean: return out << (v.toDouble() != 0 ? "true" : "false");
        default: return out << v.toDouble();
    }
}

}  // namespace kartoplot::host
