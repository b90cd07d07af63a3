// Legend data sets and property-set files: the symbol property set taken from a chart marker
// element, legend files (*.leg) written from it and read back into a fill symbol array and a
// field list, the trapped file operations every property-set file goes through, and the path
// helpers of the document's folder.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_state.h"
#include "host/elements.h"
#include "host/property_set.h"
#include "host/symbols.h"

namespace kartoplot::engine {

// Entry names of a legend property set and of its symbol property set. The field, symbol and
// type entries carry the bar's index k in decimal ("Field0", "Symbol0", "SymbolType0", ...).
inline constexpr const char* kSymbolsKey = "SymbolsPropertis";
inline constexpr const char* kValuesKey = "ValsPropertis";
inline constexpr const char* kSymbolCountKey = "SymbolCount";
inline constexpr const char* kFieldKey = "Field";
inline constexpr const char* kSymbolKey = "Symbol";
inline constexpr const char* kSymbolTypeKey = "SymbolType";

// The symbol property set of a chart marker element: "SymbolCount" n, then for every bar k
// "Field"+k (its ChartDataSet field name), and for simple and multi-layer fills "Symbol"+k
// (the chart's own fill object) and "SymbolType"+k. An element that is not a chart marker
// with attached data for every bar gets the message "No data was saved with this graphic
// element" and nothing; host failures are reported under "GetChartMarkerSymbols".
std::shared_ptr<host::PropertySet> GetChartMarkerSymbols(const EngineServices& services,
                                                         const host::Element& element);

// The legend property set of the element ("SymbolsPropertis", "ValsPropertis" = valuesSet, a
// new empty set when valuesSet is nothing), written to fileName. Nothing (after the message
// "No data for legend" or a report) when there are no chart symbols or the file was not
// written.
std::shared_ptr<host::PropertySet> SaveLegendFromMarkerElement(
    const EngineServices& services, const host::Element& element, const std::string& fileName,
    std::shared_ptr<host::PropertySet> valuesSet);

// Writes the set to fileName, replacing the file atomically; false after a report under
// "SavePropertySetToFile" (the old file, if any, is then untouched).
bool SavePropertySetToFile(const host::PropertySet& propertySet, const std::string& fileName);

// The set read from fileName; nothing after a report under "LoadPropertySetFromFile" when the
// file cannot be opened or is not a well-formed property-set file.
std::shared_ptr<host::PropertySet> LoadPropertySetFromFile(const std::string& fileName);

// What a file name's extension says it is: ".leg" a legend file, ".lyr" a layer file (either
// in any letter case, on the last path component only), anything else neither.
enum class LegendFileKind { Legend, Layer, Other };
LegendFileKind legendFileKind(std::string_view fileName);

// Appends the legend's fields and fill symbols to fields and symbols, one symbol per field
// in the file's order, and returns true. A field whose symbol was not stored (marker,
// picture and line fills are kept by name only) or is not a fill gets a stand-in: a new solid
// grey fill with a thin black outline, so that later fields keep their own symbols.
// Nothing is appended when the file cannot be read, its "SymbolCount" is not a whole
// number from 0 to the number of "Field" entries present, or a field entry is not a text
// (reported under "LoadLegend"), nor for a name that is neither ".leg" nor ".lyr".
// ".lyr" takes the chart renderer's fields and fill symbols (loadChartLayerFile).
bool LoadLegend(const EngineServices& services, const std::string& fileName,
                host::SymbolArray& symbols, std::vector<std::string>& fields);

// The stand-in fill of a legend field whose own symbol is missing (see LoadLegend).
std::shared_ptr<host::SimpleFillSymbol> standInFillSymbol();

// The path without its last component, keeping the separator ("C:\maps\a.mxd" → "C:\maps\",
// "/maps/a.mxd" → "/maps/"): blanks around it and quotes (' or ") around or after it are
// dropped first; "\" and "/" both separate folders. "" when there is no separator.
std::string RemoveFileFromPath(std::string_view path);

// The current map document's path: the last entry of the application's template list ("" when
// there is no application or the list is empty); with folderOnly its folder as
// RemoveFileFromPath gives it.
std::string GetDocumentPath(const EngineState& state, bool folderOnly);

}  // namespace kartoplot::engine
