#include <exception>
#include <string>
#include <string_view>

#include "errors/error_handling.h"
#include "host/layer_file.h"
#include "tests/fuzz/fuzz_entries.h"

namespace kartoplot::fuzz {

namespace {

// Gives every data source the same small point class, so that a layer file's renderers meet
// real features without any file being read.
class SampleLoader final : public host::DataSourceLoader {
public:
    SampleLoader() {
        for (const char* name : {"pop_max", "pop_min", "a", "b"}) {
            sample_->addField({name, "", host::FieldType::Double, 0});
        }
        sample_->addField({"name", "", host::FieldType::String, 0});
        sample_->createFeature(host::Point{1, 2}, {host::Variant(3.0), host::Variant(-1.0), host::Variant::null(),
                                                   host::Variant(1e300), host::Variant("x")});
    }
    host::LoadedSource load(const host::DataSource&, const std::string&) const override { return {sample_, ""}; }

private:
    std::shared_ptr<host::FeatureClass> sample_ =
        std::make_shared<host::FeatureClass>("sample", host::GeometryType::Point);
};

// Asks every feature layer for the symbol of each feature: only HostError may come of it.
void drawAll(const host::Layer& layer) {
    if (const auto* group = dynamic_cast<const host::GroupLayer*>(&layer)) {
        for (const auto& member : group->layers()) {
            drawAll(*member);
        }
        return;
    }
    const auto& feature = dynamic_cast<const host::FeatureLayer&>(layer);
    auto cursor = feature.featureClass()->search();
    while (const host::Feature* f = cursor->nextFeature()) {
        if (const auto symbol = feature.symbolForFeature(*f)) {
            if (const auto* chart = dynamic_cast<const host::BarChartSymbol*>(symbol.get())) {
                host::barChartLayout(*chart);
            }
        }
    }
}

}  // namespace

Outcome readLayerFileBytes(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::shared_ptr<host::LayerRecord> record;
    try {
        record = host::decodeLayerFile(bytes, "the data");
    } catch (const HostError&) {
        return {};  // refused, as a bad file should be
    } catch (const std::exception& e) {
        return {false, std::string("the reader threw something else than HostError: ") + e.what()};
    }
    // What was read is whole and checked: it writes again, and writing is then stable (bytes,
    // not values, are compared: a number read as NaN is unequal to itself).
    try {
        const auto& classes = host::layerFileClasses();
        const std::string once = host::encodeObject(*record, classes);
        const auto again = host::decodeLayerFile(once, "its own bytes");
        if (host::encodeObject(*again, classes) != once) {
            return {true, "a layer file read back from its own bytes writes different bytes"};
        }
    } catch (const std::exception& e) {
        return {true, std::string("a layer file that was read cannot be written and read again: ") + e.what()};
    }
    // The layer it describes is built and drawn, or refused with HostError.
    try {
        const SampleLoader loader;
        drawAll(*host::buildLayer(*record, "/layers", loader));
    } catch (const HostError&) {
    } catch (const std::exception& e) {
        return {true, std::string("building or drawing the layer threw something else than HostError: ") + e.what()};
    }
    return {true, ""};
}

}  // namespace kartoplot::fuzz
