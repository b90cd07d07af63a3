// Data attached to chart elements, and the text of attribute values.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/elements.h"
#include "host/property_set.h"
#include "language/locale_numbers.h"

namespace kartoplot::engine {

// Entry names of a chart's data set, before the field names.
inline constexpr const char* kLayerNameKey = "LayerName";
inline constexpr const char* kVmaxKey = "#Vmax#";
inline constexpr const char* kVminKey = "#Vmin#";
inline constexpr const char* kNullText = "<Null>";

// Builds a new property set of the pairs (names(i), values(i)) and makes it the element's
// custom property. Throws HostError when the lists differ in length.
void SetElementData(host::Element& element, const host::NameList& names,
                    std::vector<host::Variant> values);

// The names and values of the element's attached property set and true; false (lists
// untouched) when the custom property is empty or not a property set.
bool GetElementData(const host::Element& element, std::vector<std::string>& names,
                    std::vector<host::Variant>& values);

// The text of a value as the locale shows it: numbers with up to 15 digits and the locale's
// separator, texts as they are, dates as YYYY-MM-DD (with hh:mm:ss when not midnight),
// booleans "True"/"False", empty and null as "". Objects throw HostError (type mismatch).
std::string valueText(const host::Variant& value, const language::DecimalSeparators& separators);

}  // namespace kartoplot::engine
