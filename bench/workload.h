// The benchmarks' data: N stations spread uniformly over an area in metres (seeded), with an
// integer ID and the fields a, b, c uniform in [−50, 150], 5 % of b null.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <memory>
#include <random>

#include "host/features.h"

namespace kartoplot::bench {

// The process's peak resident set so far in megabytes (ru_maxrss is in kilobytes on Linux).
inline double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

inline std::shared_ptr<host::FeatureClass> makeStations(std::int64_t count, std::uint64_t seed,
                                                        double width, double height) {
    auto fc = std::make_shared<host::FeatureClass>("Stations", host::GeometryType::Point);
    fc->addField(host::Field{"ID", "", host::FieldType::Integer, 0});
    for (const char* name : {"a", "b", "c"}) {
        fc->addField(host::Field{name, "", host::FieldType::Double, 0});
    }
    fc->reserve(static_cast<std::size_t>(count));
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> xs(0.0, width);
    std::uniform_real_distribution<double> ys(0.0, height);
    std::uniform_real_distribution<double> values(-50.0, 150.0);
    std::bernoulli_distribution isNull(0.05);
    for (std::int64_t i = 0; i < count; ++i) {
        const double x = xs(rng);
        const double y = ys(rng);
        const double a = values(rng);
        const double b = values(rng);
        const bool bNull = isNull(rng);
        const double c = values(rng);
        fc->createFeature(host::Point{x, y},
                          {host::Variant(static_cast<std::int32_t>(i + 1)), host::Variant(a),
                           bNull ? host::Variant::null() : host::Variant(b), host::Variant(c)});
    }
    return fc;
}

}  // namespace kartoplot::bench
