// What the entries of the file readers share: reading with HostError as the one allowed
// refusal, the check that what was read writes again stably, and a small data set for the
// layers that layer files and projects describe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "errors/error_handling.h"
#include "host/project_file.h"
#include "tests/fuzz/fuzz_entries.h"

namespace kartoplot::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The result of `read`, or nothing: when it refused the bytes with HostError (as a bad file
// should be) `outcome` stays "refused"; any other exception is a broken promise put in it.
template <class Read>
auto readOrRefuse(Read read, Outcome& outcome) -> std::optional<decltype(read())> {
    try {
        return read();
    } catch (const HostError&) {
    } catch (const std::exception& e) {
        outcome = {false, std::string("the reader threw something else than HostError: ") + e.what()};
    }
    return std::nullopt;
}

// What was read is whole and checked, so it writes, reads back and writes the same bytes again.
// Bytes, not values, are compared: a number read as NaN is unequal to itself. Returns the
// broken promise, or "" when it holds.
template <class T, class Write, class Read>
std::string writesStably(const T& read, Write write, Read readBack, std::string_view what) {
    try {
        const std::string once = write(read);
        if (write(readBack(once)) != once) {
            return std::string(what) + " read back from its own bytes writes different bytes";
        }
    } catch (const std::exception& e) {
        return std::string(what) + " that was read cannot be written and read again: " + e.what();
    }
    return {};
}

// Gives every data source the same small point class, so that renderers meet real features
// without any file being read; a source whose path holds "missing" is not there.
class SampleLoader final : public host::ProjectDataLoader {
public:
    SampleLoader() {
        for (const char* name : {"pop_max", "pop_min", "a", "b"}) {
            sample_->addField({name, "", host::FieldType::Double, 0});
        }
        sample_->addField({"name", "", host::FieldType::String, 0});
        sample_->createFeature(host::Point{1, 2}, {host::Variant(3.0), host::Variant(-1.0), host::Variant::null(),
                                                   host::Variant(1e300), host::Variant("x")});
    }
    host::LoadedSource loadInCrs(const host::DataSource& source, const std::string&,
                                 const std::string&) const override {
        if (source.path.find("missing") != std::string::npos) {
            return {nullptr, "The data source " + source.path + " does not exist."};
        }
        return {sample_, ""};
    }

private:
    std::shared_ptr<host::FeatureClass> sample_ =
        std::make_shared<host::FeatureClass>("sample", host::GeometryType::Point);
};

// Asks every feature layer at or below `layer` for each feature's symbol and lays out the bar
// charts; a feature refused with HostError is passed over, anything else propagates.
inline void drawAll(const host::Layer& layer) {
    if (const auto* group = dynamic_cast<const host::GroupLayer*>(&layer)) {
        for (const auto& member : group->layers()) {
            drawAll(*member);
        }
        return;
    }
    const auto& feature = dynamic_cast<const host::FeatureLayer&>(layer);
    auto cursor = feature.featureClass()->search();
    while (const host::Feature* f = cursor->nextFeature()) {
        try {
            if (const auto symbol = feature.symbolForFeature(*f)) {
                if (const auto* chart = dynamic_cast<const host::BarChartSymbol*>(symbol.get())) {
                    host::barChartLayout(*chart);
                }
            }
        } catch (const HostError&) {
        }
    }
}

}  // namespace kartoplot::fuzz
