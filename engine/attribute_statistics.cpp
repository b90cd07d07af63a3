#include "engine/attribute_statistics.h"

#include "errors/error_handling.h"
#include "engine/engine_state.h"
#include "host/property_set.h"
#include "host/statistics.h"

namespace kartoplot::engine {

host::Variant DataStatistic(const host::FeatureLayer& layer, const std::string& fieldName,
                            const std::string& statisticName, bool selectedOnly) {
    ErrorTrap trap("DataStatistic", kEngineModule);
    host::Variant result;
    trap.run([&] {
        if (!layer.featureClass()) {
            throw HostError(errnum::kObjectMissing, "FeatureLayer",
                            "The layer " + layer.name() + " has no data");
        }
        auto cursor = selectedOnly ? layer.selectionSet().search() : layer.featureClass()->search();
        trap.at(1);
        const host::FieldStatistics s = host::computeStatistics(*cursor, fieldName);
        const auto is = [&](const char* name) {
            return host::equalsIgnoringCase(statisticName, name);
        };
        if (is("MAX")) {
            result = host::Variant(s.maximum);
        } else if (is("MIN")) {
            result = host::Variant(s.minimum);
        } else if (is("MEAN")) {
            result = host::Variant(s.mean);
        } else if (is("COUNT")) {
            result = host::Variant(s.count);
        } else if (is("STDEV")) {
            result = host::Variant(s.standardDeviation);
        } else if (is("SUM")) {
            result = host::Variant(s.sum);
        }
    });
    return result;
}

std::string ReplaceAll(const std::string& find, const std::string& source,
                       const std::string& replacement) {
    if (find.empty()) {
        return source;
    }
    std::string out;
    out.reserve(source.size());
    std::size_t from = 0;
    while (true) {
        const std::size_t at = source.find(find, from);
        if (at == std::string::npos) {
            out.append(source, from, std::string::npos);
            return out;
        }
        out.append(source, from, at - from);
        out += replacement;
        from = at + find.size();
    }
}

}  // namespace kartoplot::engine
