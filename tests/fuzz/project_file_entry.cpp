#include <exception>
#include <string>
#include <string_view>

#include "errors/error_handling.h"
#include "host/project_file.h"
#include "tests/fuzz/fuzz_entries.h"

namespace kartoplot::fuzz {

namespace {

// Gives every data source the same small point class, so that a project's renderers meet real
// features without any file being read; a source named "missing..." is not there.
class SampleLoader final : public host::ProjectDataLoader {
public:
    SampleLoader() {
        for (const char* name : {"pop_max", "pop_min", "a", "b"}) {
            sample_->addField({name, "", host::FieldType::Double, 0});
        }
        sample_->createFeature(host::Point{1, 2}, {host::Variant(3.0), host::Variant(-1.0), host::Variant::null(),
                                                   host::Variant(1e300)});
    }
    host::LoadedSource loadInCrs(const host::DataSource& source, const std::string&, const std::string&) const override {
        if (source.path.find("missing") != std::string::npos) {
            return {nullptr, "The data source " + source.path + " does not exist."};
        }
        return {sample_, ""};
    }

private:
    std::shared_ptr<host::FeatureClass> sample_ = std::make_shared<host::FeatureClass>("sample", host::GeometryType::Point);
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

}  // namespace

Outcome readProjectBytes(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::shared_ptr<host::ProjectRecord> record;
    try {
        record = host::decodeProjectFile(bytes, "the data");
    } catch (const HostError&) {
        return {};  // refused, as a bad file should be
    } catch (const std::exception& e) {
        return {false, std::string("the reader threw something else than HostError: ") + e.what()};
    }
    // What was read is whole and checked: it writes again, and writing is then stable. (Bytes
    // are compared, not values: a symbol number read as NaN is not equal to itself.)
    const auto& classes = host::projectClasses();
    std::string once;
    try {
        once = host::encodeObject(*record, classes);
        const auto again = host::decodeProjectFile(once, "its own bytes");
        if (host::encodeObject(*again, classes) != once) {
            return {true, "a project read back from its own bytes differs"};
        }
    } catch (const std::exception& e) {
        return {true, std::string("a project that was read cannot be written and read again: ") + e.what()};
    }
    // A checked record always builds; the document draws and is stored as it was read.
    try {
        const SampleLoader loader;
        const host::OpenedProject opened = host::buildProject(*record, "/projects", loader);
        for (const auto& map : opened.document->maps()) {
            for (const auto& layer : map->layers()) {
                drawAll(*layer);
            }
        }
        host::encodeProjectFile(*opened.document, "/projects/again.kartoplot");
    } catch (const std::exception& e) {
        return {true, std::string("a checked project did not build or store again: ") + e.what()};
    }
    return {true, ""};
}

}  // namespace kartoplot::fuzz
