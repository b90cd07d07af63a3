// Summary statistics of a numeric field over the features of a cursor.
#pragma once

#include <cstdint>
#include <string>

#include "host/features.h"

namespace kartoplot::host {

struct FieldStatistics {
    std::int32_t count = 0;  // non-null values
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double standardDeviation = 0.0;  // population standard deviation (divides by count)
    double sum = 0.0;
};

// Walks the cursor to its end. Null values are skipped; with no value at all every result
// is 0. Throws HostError when the field is missing or not numeric.
FieldStatistics computeStatistics(FeatureCursor& cursor, const std::string& fieldName);

}  // namespace kartoplot::host
