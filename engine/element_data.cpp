#include "engine/element_data.h"

#include <cmath>
#include <cstdio>

#include "errors/error_handling.h"

namespace kartoplot::engine {

void SetElementData(host::Element& element, const host::NameList& names,
                    std::vector<host::Variant> values) {
    auto set = std::make_shared<host::PropertySet>();
    set->setProperties(names, std::move(values));
    element.setCustomProperty(host::Variant(std::move(set)));
}

bool GetElementData(const host::Element& element, std::vector<std::string>& names,
                    std::vector<host::Variant>& values) {
    const auto set = element.customProperty().objectAs<host::PropertySet>();
    if (!set) {
        return false;
    }
    set->getAllProperties(names, values);
    return true;
}

namespace {

// Days since 1899-12-30 → civil date (proleptic Gregorian).
std::string dateText(double days) {
    const double whole = std::floor(days);
    const auto seconds = static_cast<long long>(std::llround((days - whole) * 86400.0));
    // Day 0 (1899-12-30) is day 693 899 counted from 0000-03-01, where the civil calendar's
    // 400-year eras start.
    const long long z = static_cast<long long>(whole) + 693899;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char buf[128];
    if (seconds == 0) {
        std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld", year, month, day);
    } else {
        std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", year, month,
                      day, seconds / 3600, seconds / 60 % 60, seconds % 60);
    }
    return buf;
}

}  // namespace

std::string valueText(const host::Variant& value, const language::DecimalSeparators& separators) {
    using Kind = host::Variant::Kind;
    switch (value.kind()) {
        case Kind::Empty:
        case Kind::Null: return {};
        case Kind::Text: return value.text();
        case Kind::Boolean: return value.toDouble() != 0 ? "True" : "False";
        case Kind::Date: return dateText(value.toDouble());
        case Kind::Object:
            throw HostError(errnum::kTypeMismatch, "valueText", "An object has no text");
        default: return separators.format(value.toDouble());
    }
}

}  // namespace kartoplot::engine
