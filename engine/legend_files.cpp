#include "engine/legend_files.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/element_data.h"
#include "engine/layer_files.h"
#include "errors/error_handling.h"
#include "host/persistence.h"
#include "language/locale_numbers.h"

namespace kartoplot::engine {

namespace {

using language::SharedMessage;

constexpr const char* kSimpleFillType = "SimpleFillSymbol";
constexpr const char* kMultiLayerFillType = "MultiLayerFillSymbol";
// Entries of a chart's data set before its field names (LayerName, #Vmax#, #Vmin#).
constexpr std::size_t kDataFieldsStart = 3;

// The stand-in fill: mid grey with a black hairline outline.
constexpr std::uint8_t kStandInGrey = 128;
constexpr double kStandInOutlineWidth = 0.4;  // points

std::string numbered(const char* key, int k) {
    return key + std::to_string(k);
}

// A message box through the interaction service; without one the message cannot reach the
// user, which is a failure of its own.
void notify(const EngineServices& services, const std::string& text, const std::string& title,
            host::MessageIcon icon) {
    if (!services.interaction) {
        throw HostError(errnum::kObjectMissing, kEngineModule,
                        "No user interaction service for the message: " + text);
    }
    services.interaction->messageBox(text, title, host::MessageButtons::Ok, icon);
}

// The chart symbol of a marker element, or nullptr for any other element.
std::shared_ptr<const host::BarChartSymbol> chartSymbolOf(const host::Element& element) {
    if (element.kind() != host::ElementKind::Marker) {
        return nullptr;
    }
    return std::dynamic_pointer_cast<const host::BarChartSymbol>(
        static_cast<const host::MarkerElement&>(element).symbol);
}

// "SymbolCount" as a whole number, or nothing when it is absent or not a whole number.
std::optional<double> wholeCount(const host::Variant& count) {
    using Kind = host::Variant::Kind;
    const Kind kind = count.kind();
    if (kind != Kind::Short && kind != Kind::Long && kind != Kind::Double) {
        return std::nullopt;
    }
    const double value = count.toDouble();
    if (!std::isfinite(value) || value != std::floor(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::shared_ptr<host::PropertySet> GetChartMarkerSymbols(const EngineServices& services,
                                                         const host::Element& element) {
    std::shared_ptr<host::PropertySet> result;
    ErrorTrap trap("GetChartMarkerSymbols", kEngineModule);
    trap.run([&] {
        const auto chart = chartSymbolOf(element);
        std::vector<std::string> names;
        std::vector<host::Variant> values;
        const int n = chart ? chart->symbols.count() : 0;
        // Every bar needs its field name in the attached data set.
        if (!chart || !GetElementData(element, names, values) ||
            names.size() < kDataFieldsStart + static_cast<std::size_t>(n)) {
            notify(services, services.messages.text(SharedMessage::NoDataWithElement),
                   "GetChartMarkerSymbols", host::MessageIcon::Exclamation);
            return;
        }
        auto set = std::make_shared<host::PropertySet>();
        set->setProperty(kSymbolCountKey, host::Variant(static_cast<std::int32_t>(n)));
        for (int k = 0; k < n; ++k) {
            set->setProperty(numbered(kFieldKey, k),
                             host::Variant(names[kDataFieldsStart + static_cast<std::size_t>(k)]));
            const auto& symbol = chart->symbols.element(k);
            const host::SymbolKind kind = symbol ? symbol->kind() : host::SymbolKind::Text;
            if (kind == host::SymbolKind::SimpleFill || kind == host::SymbolKind::MultiLayerFill) {
                set->setProperty(numbered(kSymbolKey, k), host::Variant(symbol));
                set->setProperty(
                    numbered(kSymbolTypeKey, k),
                    host::Variant(kind == host::SymbolKind::SimpleFill ? kSimpleFillType
                                                                       : kMultiLayerFillType));
            }
        }
        result = std::move(set);
    });
    return result;
}

std::shared_ptr<host::PropertySet> SaveLegendFromMarkerElement(
    const EngineServices& services, const host::Element& element, const std::string& fileName,
    std::shared_ptr<host::PropertySet> valuesSet) {
    std::shared_ptr<host::PropertySet> result;
    ErrorTrap trap("SaveLegendFromMarkerElement", kEngineModule);
    trap.run([&] {
        auto symbols = GetChartMarkerSymbols(services, element);
        if (!symbols) {
            notify(services, services.messages.text(SharedMessage::NoDataForLegend),
                   "SaveLegendFromMarkerElement", host::MessageIcon::Exclamation);
            return;
        }
        auto legend = std::make_shared<host::PropertySet>();
        legend->setProperty(kSymbolsKey, host::Variant(std::move(symbols)));
        legend->setProperty(kValuesKey,
                            host::Variant(valuesSet ? std::move(valuesSet)
                                                    : std::make_shared<host::PropertySet>()));
        if (SavePropertySetToFile(*legend, fileName)) {
            result = std::move(legend);
        }
    });
    return result;
}

bool SavePropertySetToFile(const host::PropertySet& propertySet, const std::string& fileName) {
    ErrorTrap trap("SavePropertySetToFile", kEngineModule);
    return trap.run([&] { host::writePropertySetFile(propertySet, fileName); });
}

std::shared_ptr<host::PropertySet> LoadPropertySetFromFile(const std::string& fileName) {
    std::shared_ptr<host::PropertySet> result;
    ErrorTrap trap("LoadPropertySetFromFile", kEngineModule);
    trap.run([&] {
        auto set = host::readPropertySetFile(fileName);
        if (!set) {
            throw HostError(errnum::kBadFileFormat, kEngineModule,
                            "No property set was read from " + fileName);
        }
        result = std::move(set);
    });
    return result;
}

LegendFileKind legendFileKind(std::string_view fileName) {
    const auto slash = fileName.find_last_of("/\\");
    const std::string_view last =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const auto dot = last.rfind('.');
    if (dot == std::string_view::npos) {
        return LegendFileKind::Other;
    }
    const std::string ext(last.substr(dot + 1));
    if (host::equalsIgnoringCase(ext, "leg")) {
        return LegendFileKind::Legend;
    }
    if (host::equalsIgnoringCase(ext, "lyr")) {
        return LegendFileKind::Layer;
    }
    return LegendFileKind::Other;
}

std::shared_ptr<host::SimpleFillSymbol> standInFillSymbol() {
    auto fill = std::make_shared<host::SimpleFillSymbol>();
    fill->color = host::Color{kStandInGrey, kStandInGrey, kStandInGrey};
    auto outline = std::make_shared<host::SimpleLineSymbol>();
    outline->width = kStandInOutlineWidth;
    fill->outline = std::move(outline);
    return fill;
}

bool LoadLegend(const EngineServices& services, const std::string& fileName,
                host::SymbolArray& symbols, std::vector<std::string>& fields) {
    ErrorTrap trap("LoadLegend", kEngineModule);
    bool loaded = false;
    trap.run([&] {
        switch (legendFileKind(fileName)) {
            case LegendFileKind::Other:
                return;
            case LegendFileKind::Layer:
                loaded = loadChartLayerFile(services, fileName, symbols, fields);
                return;
            case LegendFileKind::Legend:
                break;
        }
        const auto legend = LoadPropertySetFromFile(fileName);
        if (!legend) {
            return;  // reported by LoadPropertySetFromFile
        }
        const auto set = legend->getProperty(kSymbolsKey).objectAs<host::PropertySet>();
        if (!set) {
            throw HostError(errnum::kBadFileFormat, kEngineModule,
                            fileName + " holds no legend symbols");
        }
        // The count must stand for entries that are really there before anything is indexed.
        const auto count = wholeCount(set->getProperty(kSymbolCountKey));
        if (!count || *count < 0 || *count > set->count()) {
            throw HostError(errnum::kBadFileFormat, kEngineModule,
                            fileName + ": the symbol count is not a number of entries present");
        }
        const int n = static_cast<int>(*count);
        std::vector<std::string> newFields;
        host::SymbolArray newSymbols;
        for (int k = 0; k < n; ++k) {
            const host::Variant field = set->getProperty(numbered(kFieldKey, k));
            if (!field.isText()) {
                throw HostError(errnum::kBadFileFormat, kEngineModule,
                                fileName + ": the legend holds " + std::to_string(n) +
                                    " symbols but no field name " + numbered(kFieldKey, k));
            }
            newFields.push_back(field.text());
            auto fill = set->getProperty(numbered(kSymbolKey, k)).objectAs<host::FillSymbol>();
            newSymbols.add(fill ? std::shared_ptr<host::Symbol>(std::move(fill))
                                : standInFillSymbol());
        }
        for (int k = 0; k < n; ++k) {
            symbols.add(newSymbols.element(k));
        }
        fields.insert(fields.end(), newFields.begin(), newFields.end());
        loaded = true;
    });
    return loaded;
}

std::string RemoveFileFromPath(std::string_view path) {
    std::string p = language::trimBlanks(path);
    const auto isQuote = [](char c) { return c == '"' || c == '\''; };
    if (!p.empty() && isQuote(p.back())) {
        p.pop_back();
    }
    if (!p.empty() && isQuote(p.front())) {
        p.erase(0, 1);
    }
    const auto cut = p.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

std::string GetDocumentPath(const EngineState& state, bool folderOnly) {
    if (!state.application || state.application->templates().empty()) {
        return {};
    }
    const std::string& path = state.application->templates().back();
    return folderOnly ? RemoveFileFromPath(path) : path;
}

}  // namespace kartoplot::engine
