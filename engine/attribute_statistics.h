// Summary statistics of a layer's field for the dialog's range buttons, and text replacement.
#pragma once

#include <string>

#include "host/layers.h"
#include "host/variant.h"

namespace kartoplot::engine {

// One statistic of a numeric field over all or the selected features: "MAX", "MIN",
// "MEAN", "STDEV", "SUM" (doubles) or "COUNT" (32-bit integer); the name is compared with
// letter case ignored. Any other name gives an empty value. A missing or non-numeric field
// is reported as "DataStatistic" and gives an empty value.
host::Variant DataStatistic(const host::FeatureLayer& layer, const std::string& fieldName,
                            const std::string& statisticName, bool selectedOnly);

// `source` with every occurrence of `find` replaced by `replacement`, scanning from the
// left without overlaps. An empty `find` leaves the source as it is.
std::string ReplaceAll(const std::string& find, const std::string& source,
                       const std::string& replacement);

}  // namespace kartoplot::engine
