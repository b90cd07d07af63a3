#include "host/statistics.h"

#include <algorithm>
#include <cmath>

#include "errors/error_handling.h"

namespace kartoplot::host {

FieldStatistics computeStatistics(FeatureCursor& cursor, const std::string& fieldName) {
    const int index = cursor.fields().findField(fieldName);
    if (index < 0) {
        throw HostError(errnum::kNotFound, "DataStatistics", "Field " + fieldName + " not found");
    }
    if (!cursor.fields().field(index).isNumeric()) {
        throw HostError(errnum::kTypeMismatch, "DataStatistics",
                        "Field " + fieldName + " is not numeric");
    }
    FieldStatistics s;
    // Welford's running mean and squared deviations: stable for large counts.
    double mean = 0.0;
    double squares = 0.0;
    while (const Feature* f = cursor.nextFeature()) {
        const Variant& v = f->value(index);
        if (!v.isNumber()) {
            continue;
        }
        const double x = v.toDouble();
        if (s.count == 0) {
            s.minimum = x;
            s.maximum = x;
        } else {
            s.minimum = std::min(s.minimum, x);
            s.maximum = std::max(s.maximum, x);
        }
        ++s.count;
        s.sum += x;
        const double delta = x - mean;
        mean += delta / s.count;
        squares += delta * (x - mean);
    }
    if (s.count > 0) {
        s.mean = mean;
        s.standardDeviation = std::sqrt(squares / s.count);
    }
    return s;
}

}  // namespace kartoplot::host
