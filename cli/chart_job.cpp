#include "cli/chart_job.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "archive/graphics_archive.h"
#include "cli/console.h"
#include "errors/error_handling.h"
#include "engine/attribute_statistics.h"
#include "engine/chart_run.h"
#include "engine/chart_sizing.h"
#include "engine/graphics_layers.h"
#include "engine/layer_files.h"
#include "host/atomic_file.h"
#include "host/layer_file.h"
#include "host/project_file.h"
#include "io/data_source_loader.h"
#include "io/project_data_loader.h"
#include "io/vector_import.h"
#include "render/export.h"
#include "render/text_metrics.h"

#include <QFile>

#ifndef KARTOPLOT_DATA_DIR
#define KARTOPLOT_DATA_DIR "data"
#endif

namespace kartoplot::cli {

namespace {

// Bar colours for the chart fields: distinct, and told apart by most readers.
constexpr std::array<std::uint32_t, 8> kPalette = {0x4E79A7, 0xF28E2B, 0x59A14F, 0xE15759,
                                                    0x76B7B2, 0xEDC948, 0xB07AA1, 0x9C755F};
constexpr double kBarOutlineWidth = 0.4;  // points
constexpr double kLeaderWidth = 0.5;      // points
constexpr double kLabelSize = 7;          // points
constexpr host::Color kLeaderColour{90, 90, 90};
constexpr host::Color kLabelColour{40, 40, 40};
constexpr double kDefaultMarkerSize = 36.0;  // points

host::Color paletteColor(std::size_t i) {
    const std::uint32_t rgb = kPalette[i % kPalette.size()];
    return host::Color{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                       static_cast<std::uint8_t>(rgb), false};
}

std::string extension(render::ExportFormat f) {
    switch (f) {
        case render::ExportFormat::Svg: return ".svg";
        case render::ExportFormat::Pdf: return ".pdf";
        default: return ".png";
    }
}

std::string plain(double v) { return language::formatNumber(v, "."); }

// "3 features were skipped: 'Atlantis', 12 (its coordinates are not finite numbers); 'Oz'
// (...)" for the features an import refused: the first few by name, grouped by reason.
std::string refusalSummary(const io::ImportResult& data) {
    std::vector<std::pair<std::string, std::string>> groups;  // reason, names
    for (const io::RefusedFeature& r : data.refused) {
        const std::string name = r.key.empty() ? "feature " + std::to_string(r.fid) : "'" + r.key + "'";
        const auto group = std::find_if(groups.begin(), groups.end(),
                                        [&](const auto& g) { return g.first == r.reason; });
        if (group == groups.end()) {
            groups.emplace_back(r.reason, name);
        } else {
            group->second += ", " + name;
        }
    }
    std::string text = std::to_string(data.refusedCount) +
                       (data.refusedCount == 1 ? " feature was" : " features were") + " skipped: ";
    for (std::size_t i = 0; i < groups.size(); ++i) {
        text += (i > 0 ? "; " : "") + groups[i].second + " (" + groups[i].first + ")";
    }
    const auto named = static_cast<std::int64_t>(data.refused.size());
    if (named < data.refusedCount) {
        text += "; and " + std::to_string(data.refusedCount - named) + " more";
    }
    return text;
}

const char* kindName(host::GeometryType t) {
    switch (t) {
        case host::GeometryType::Point: return "points";
        case host::GeometryType::Polyline: return "lines";
        case host::GeometryType::Polygon: return "polygons";
        default: return "no geometry";
    }
}

std::string numericFieldList(const host::FeatureClass& fc) {
    std::string names;
    for (const auto& f : fc.fields().all()) {
        if (f.isNumeric() && f.type != host::FieldType::OID) {
            names += (names.empty() ? "" : ", ") + f.name;
        }
    }
    return names.empty() ? "none" : names;
}

// The predicate of a filter over a feature class's fields; an error when the field is missing.
std::function<bool(const host::Feature&)> filterPredicate(const AttributeFilter& filter,
                                                          const host::FeatureClass& fc,
                                                          std::string& error) {
    const int index = fc.findField(filter.field);
    if (index < 0) {
        error = "--where names the field " + filter.field + ", which " + fc.name() + " does not have";
        return nullptr;
    }
    const bool numeric = fc.fields().field(index).isNumeric();
    const auto number = language::DecimalSeparators::fromLocaleDecimal(".").toNumber(filter.value);
    if (numeric && !number) {
        error = "--where compares the number field " + filter.field + " with '" + filter.value +
                "', which is not a number";
        return nullptr;
    }
    const auto op = filter.op;
    const std::string text = filter.value;
    const double limit = number.value_or(0.0);
    return [=](const host::Feature& f) {
        const host::Variant& v = f.value(index);
        int order = 0;
        if (numeric) {
            if (!v.isNumber()) {
                return false;
            }
            const double x = v.toDouble();
            order = x < limit ? -1 : (x > limit ? 1 : 0);
        } else {
            if (!v.isText()) {
                return false;
            }
            order = v.text().compare(text);
            order = order < 0 ? -1 : (order > 0 ? 1 : 0);
        }
        switch (op) {
            case AttributeFilter::Op::Equal: return order == 0;
            case AttributeFilter::Op::NotEqual: return order != 0;
            case AttributeFilter::Op::Less: return order < 0;
            case AttributeFilter::Op::LessOrEqual: return order <= 0;
            case AttributeFilter::Op::Greater: return order > 0;
            case AttributeFilter::Op::GreaterOrEqual: return order >= 0;
        }
        return false;
    };
}

// Adds "<field>_<suffix>" = field / divisor for every chart field and returns the new names.
// A quotient that is not a finite number is an error, in `error`, for a feature that is to be
// charted (`charted` says which) and a null value for the others.
std::vector<std::string> addDividedFields(host::FeatureClass& fc, const std::vector<std::string>& fields,
                                          double divisor, const std::string& keyField,
                                          const std::function<bool(std::int64_t)>& charted,
                                          std::string& error) {
    const std::string suffix = divisor == 1e6 ? "_mln" : divisor == 1e3 ? "_thsd" : "_div" + plain(divisor);
    const int key = keyField.empty() ? -1 : fc.findField(keyField);
    std::vector<std::string> names;
    for (const auto& name : fields) {
        const int source = fc.findField(name);
        std::string derived = name + suffix;
        while (fc.findField(derived) >= 0) {
            derived += "_";
        }
        const int target = fc.addField({derived, "", host::FieldType::Double, 0});
        auto cursor = fc.search();
        std::vector<std::pair<std::int64_t, double>> updates;
        while (const host::Feature* f = cursor->nextFeature()) {
            const host::Variant& v = f->value(source);
            if (!v.isNumber()) {
                continue;
            }
            const double quotient = v.toDouble() / divisor;
            if (std::isfinite(quotient)) {
                updates.emplace_back(f->oid, quotient);
            } else if (charted(f->oid)) {
                const std::string who = key >= 0 && f->value(key).isText()
                                            ? "'" + f->value(key).text() + "'"
                                            : std::to_string(f->oid);
                error = "feature " + who + ": field " + name + " holds " + plain(v.toDouble()) +
                        ", which divided by --divide " + plain(divisor) + " is too large to draw";
                return {};
            }
        }
        cursor.reset();
        for (const auto& [oid, value] : updates) {
            fc.setValue(oid, target, host::Variant(value));
        }
        names.push_back(derived);
    }
    return names;
}

// A title and a key of the bar colours in the top left corner of the map, as graphics of
// the map's basic graphics layer; sizes in points at the map's reference scale.
void addTitleAndKey(host::Map& map, const host::Envelope& extent, const std::string& title,
                    const std::vector<std::string>& fields, const host::SymbolArray& symbols) {
    const double pt = map.screenDisplay().transformation().pointsToMapDistance(1.0);
    const double left = extent.xMin() + 12 * pt;
    double y = extent.yMax() - 12 * pt;
    auto& graphics = map.basicGraphicsLayer();
    const auto text = [&](const std::string& content, double size, bool bold, double x, double at) {
        auto symbol = std::make_shared<host::TextSymbol>();
        symbol->font.name = "Arial";
        symbol->font.bold = bold;
        symbol->setSize(size);
        symbol->color = host::Color{30, 30, 30};
        symbol->horizontalAlignment = host::HorizontalAlignment::Left;
        symbol->verticalAlignment = host::VerticalAlignment::Top;
        auto element = std::make_shared<host::TextElement>();
        element->text = content;
        element->symbol = symbol;
        element->setGeometry(host::Point{x, at});
        graphics.addElement(element);
    };
    text(title, 14, true, left, y);
    y -= 22 * pt;
    for (std::size_t i = 0; i < fields.size() && static_cast<int>(i) < symbols.count(); ++i) {
        auto swatch = std::make_shared<host::PolygonElement>();
        swatch->symbol = std::static_pointer_cast<host::FillSymbol>(symbols.element(static_cast<int>(i)));
        swatch->setGeometry(host::Polygon::fromEnvelope(
            host::Envelope(left, y - 10 * pt, left + 10 * pt, y)));
        graphics.addElement(swatch);
        text(fields[i], 10, false, left + 15 * pt, y);
        y -= 15 * pt;
    }
}

// Whether a feature class has a feature with a shape.
bool hasShapes(const host::FeatureClass& fc) {
    auto cursor = fc.search();
    while (const host::Feature* f = cursor->nextFeature()) {
        if (!f->shape.isEmpty()) {
            return true;
        }
    }
    return false;
}

// The layer to chart: the first point layer of the import, or nothing with `why` set, in
// words that tell an empty file from one of lines or one whose features have no geometry.
std::shared_ptr<host::FeatureLayer> pointLayer(const io::ImportResult& data, const ChartJob& job,
                                               std::string& why) {
    for (const auto& l : data.layers) {
        if (l->featureClass()->shapeType() == host::GeometryType::Point && hasShapes(*l->featureClass())) {
            return l;
        }
    }
    const std::string what = job.layer.empty() ? job.dataPath : "the layer " + job.layer;
    std::int64_t features = 0;
    std::string kinds;
    for (const auto& l : data.layers) {
        const auto& fc = *l->featureClass();
        features += fc.featureCount();
        if (fc.featureCount() > 0 && hasShapes(fc)) {
            kinds += (kinds.empty() ? "" : " and ") + std::string(kindName(fc.shapeType()));
        }
    }
    if (features == 0 && data.refusedCount == 0) {
        why = what + " has no features";
    } else if (features == 0) {
        why = what + " has no features that can be drawn: " + refusalSummary(data);
    } else if (kinds.empty()) {
        why = what + " has " + std::to_string(features) + (features == 1 ? " feature" : " features") +
              ", but none has a geometry to draw";
    } else {
        why = what + " holds " + kinds + ", no points; charts stand on points";
    }
    return nullptr;
}

// A file written beside the pictures, all or none with them.
struct SideFile {
    std::string path;
    std::string bytes;
};

// Writes the map in every format into outDir as baseName.EXT, and the side files: each to a
// temporary file, all moved into place only when all were written. Returns "" or the error.
std::string writeOutputs(const host::Map& map, const std::vector<render::ExportFormat>& formats,
                         const std::string& outDir, const std::string& baseName, render::ExportOptions& options,
                         const std::vector<SideFile>& sideFiles, std::ostream& err, bool showProgress,
                         std::vector<std::string>& written) {
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) {
        return "cannot create the folder " + outDir + ": " + ec.message();
    }
    std::vector<std::string> paths;
    try {
        host::AtomicFileSet files;
        for (const auto format : formats) {
            const std::string path = (std::filesystem::path(outDir) / (baseName + extension(format))).string();
            constexpr std::int64_t kPercent = 100;
            ProgressBar drawBar(err, "drawing " + extension(format).substr(1) + " ", kPercent, showProgress);
            options.render.progress = [&](std::int64_t done, std::int64_t total) {
                drawBar.update(total > 0 ? done * kPercent / total : 0);
            };
            host::AtomicFile& file = files.add(path);
            QFile device;
            if (!device.open(file.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
                return "cannot write " + path + ": " + device.errorString().toStdString();
            }
            const std::string error = render::exportMap(map, format, device, path, options);
            device.close();
            drawBar.finish();
            if (!error.empty()) {
                return error;
            }
            paths.push_back(path);
        }
        for (const SideFile& side : sideFiles) {
            files.add(side.path).write(side.bytes);
            paths.push_back(side.path);
        }
        files.commit();
    } catch (const HostError& e) {
        return e.description();
    }
    written = std::move(paths);
    return {};
}

// A --where filter as the data reader's WHERE clause: the field in double quotes, a text
// value in single quotes (quotes inside doubled).
std::string whereClause(const AttributeFilter& filter, bool numeric) {
    const auto quoted = [](const std::string& text, char quote) {
        std::string out(1, quote);
        for (char c : text) {
            out += c;
            if (c == quote) {
                out += quote;
            }
        }
        return out + quote;
    };
    const char* op = "=";
    switch (filter.op) {
        case AttributeFilter::Op::Equal: op = "="; break;
        case AttributeFilter::Op::NotEqual: op = "<>"; break;
        case AttributeFilter::Op::Less: op = "<"; break;
        case AttributeFilter::Op::LessOrEqual: op = "<="; break;
        case AttributeFilter::Op::Greater: op = ">"; break;
        case AttributeFilter::Op::GreaterOrEqual: op = ">="; break;
    }
    const double number = language::DecimalSeparators::fromLocaleDecimal(".").toNumber(filter.value).value_or(0.0);
    return quoted(filter.field, '"') + " " + op + " " + (numeric ? plain(number) : quoted(filter.value, '\''));
}

// The chart layer file of a chart job: the charted layer drawn by a chart renderer over the
// file's own fields (values divided by --divide are drawn alike by a range that large), its
// features those --where passes. Returns the file's bytes, or "" with `error` set.
std::string chartLayerFileBytes(const ChartJob& job, const host::FeatureLayer& layer,
                                const host::BarChartSymbol& rendererChart, std::string& error) {
    auto chart = std::static_pointer_cast<host::BarChartSymbol>(rendererChart.clone());
    chart->maxValue *= job.divide;
    const auto copy = engine::chartLayerCopy(layer, std::move(chart), job.fields);
    if (job.where) {
        const host::FeatureClass& fc = *layer.featureClass();
        const int index = fc.findField(job.where->field);
        copy->setDefinitionQuery(whereClause(*job.where, index >= 0 && fc.fields().field(index).isNumeric()));
    }
    try {
        return host::encodeLayerFile(*copy, job.layerFile);
    } catch (const HostError& e) {
        error = "the layer file " + job.layerFile + " cannot be written: " + e.description();
        return {};
    }
}

// Leaves a little room around the data so that charts at the edge stay on the picture.
host::Envelope withMargin(const host::Envelope& extent) {
    constexpr double kMarginShare = 0.03;
    const double margin = std::max(extent.width(), extent.height()) * kMarginShare;
    return host::Envelope(extent.xMin() - margin, extent.yMin() - margin, extent.xMax() + margin,
                          extent.yMax() + margin);
}

// The bytes of a graphics file of the chart graphics layer of `layer`, or "" with `error` set.
std::string chartGraphicsFileBytes(const std::string& path, const host::Map& map,
                                   const host::FeatureLayer& layer, std::string& error) {
    const auto charts = map.basicGraphicsLayer().findLayer(layer.name() + engine::kChartLayerSuffix);
    if (!charts) {
        error = "no chart graphics layer was made, so no graphics file was written";
        return {};
    }
    try {
        return host::encodeObject(
            *archive::graphicsArchiveSet(archive::copiedElements(*charts), *charts, map));
    } catch (const HostError& e) {
        error = "the graphics file " + path + " cannot be written: " + e.description();
        return {};
    }
}

// Draws the elements of a graphics file over the map on a graphics layer of their own, named
// after the file. Saved parameters that differ from the drawing are named on `err` and not
// restored. Returns "" or why nothing was added (a file that cannot be read or lacks a value).
std::string overlayGraphics(host::Map& map, const std::string& path, std::ostream& out,
                            std::ostream& err) {
    language::ArchiveMessages messages;
    language::LoadOpenSaveMessages(messages, "English");
    archive::GraphicsArchive saved;
    try {
        saved = archive::readGraphicsFile(path);
    } catch (const HostError& e) {
        return "the graphics file " + path + " cannot be read: " + e.description();
    }
    if (const auto missing = saved.firstMissing()) {
        return path + ": " +
               (*missing == archive::ArchiveEntry::Graphics
                    ? messages.text(language::ArchiveMessage::NoGraphicsInFile)
                    : messages.text(language::ArchiveMessage::NoDataAbout) +
                          archive::displayName(messages, *missing));
    }
    std::string name = std::filesystem::path(path).stem().string();
    if (name.empty()) {
        name = "graphics";
    }
    const std::string base = name;
    for (int n = 2; map.basicGraphicsLayer().findLayer(name); ++n) {
        name = base + " (" + std::to_string(n) + ")";
    }
    // The new layer has no reference scale of its own, so the map's sizes its symbols: that is
    // the one the saved layer's is compared with.
    const archive::EntryFlags differs = archive::differingEntries(saved, map, map.referenceScale());
    if (const auto names = archive::flaggedNames(messages, differs); !names.empty()) {
        std::string list;
        for (const auto& n : names) {
            list += (list.empty() ? "" : ", ") + n;
        }
        err << "kartoplot: warning: " << path << ": "
            << messages.text(language::ArchiveMessage::SavedDataDiffers) << "(" << list
            << "); the command line does not restore them\n";
    }
    try {
        const auto layer = map.basicGraphicsLayer().addLayer(name);
        const int added = archive::addArchivedElements(saved, *layer);
        out << "kartoplot: drew " << added << (added == 1 ? " element" : " elements") << " of " << path
            << " on the graphics layer " << name << '\n';
    } catch (const HostError& e) {
        return "the graphics of " + path + " cannot be added: " + e.description();
    }
    return {};
}

class Stopwatch {
public:
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

std::string bundledDataDir() {
    if (std::filesystem::is_directory(KARTOPLOT_DATA_DIR)) {
        return KARTOPLOT_DATA_DIR;
    }
    return "data";
}

ChartJob demoJob(const std::string& dataDir, const std::string& outDir) {
    const std::filesystem::path dir(dataDir.empty() ? bundledDataDir() : dataDir);
    ChartJob job;
    job.dataPath = (dir / "populated_places.geojson").string();
    job.backdropPath = (dir / "land.geojson").string();
    job.crs = "+proj=robin +lon_0=0 +datum=WGS84 +units=m +no_defs";
    job.key = "name";
    job.fields = {"pop_max", "pop_min", "pop_other"};
    job.divide = 1e6;
    job.where = parseFilter("pop_max >= 5000000");
    job.minValue = 0.5;
    job.maxValue = 20;
    job.markerSize = 40;
    job.barWidth = 8;
    job.spacing = 1;
    job.placement = 2;  // NE
    job.distance = 300000;
    job.labels = true;
    job.labelDigits = 3;
    job.minLabel = 1;
    job.title = "World cities of 5 million people and more: population, millions";
    job.leaders = true;
    job.width = 2400;
    job.height = 1250;
    job.outDir = outDir;
    job.baseName = "kartoplot-demo";
    return job;
}

int listLayers(const std::string& path, std::ostream& out, std::ostream& err) {
    const io::ImportResult result = io::importVectorFile(path);
    if (!result.ok()) {
        err << "kartoplot: " << result.error << '\n';
        return 1;
    }
    for (const auto& layer : result.layers) {
        const auto& fc = *layer->featureClass();
        out << layer->name() << "\t" << fc.featureCount() << " " << kindName(fc.shapeType())
            << "\tnumeric fields: " << numericFieldList(fc) << '\n';
    }
    return 0;
}

JobReport runChartJob(const ChartJob& job, std::ostream& out, std::ostream& err, bool showProgress) {
    JobReport report;
    report.exitCode = 1;
    const Stopwatch clock;
    const auto fail = [&](const std::string& message) {
        err << "kartoplot: " << message << '\n';
        return report;
    };

    // Data.
    io::ImportOptions importOptions;
    importOptions.layerName = job.layer;
    importOptions.targetCrs = job.crs;
    importOptions.keyField = job.key;
    io::ImportResult data = io::importVectorFile(job.dataPath, importOptions);
    if (!data.ok()) {
        return fail(data.error);
    }
    std::string noLayer;
    const std::shared_ptr<host::FeatureLayer> layer = pointLayer(data, job, noLayer);
    if (!layer) {
        return fail(noLayer);
    }
    host::FeatureClass& fc = *layer->featureClass();
    for (const auto& name : job.fields) {
        const int index = fc.findField(name);
        if (index < 0 || !fc.fields().field(index).isNumeric()) {
            return fail((index < 0 ? "the layer " + layer->name() + " has no field " + name
                                   : "the field " + name + " is not numeric") +
                        "; its numeric fields are: " + numericFieldList(fc));
        }
    }
    if (!job.key.empty() && fc.findField(job.key) < 0) {
        return fail("the layer " + layer->name() + " has no key field " + job.key);
    }

    std::vector<std::shared_ptr<host::FeatureLayer>> backdrop;
    std::string backdropRefused;
    if (!job.backdropPath.empty()) {
        io::ImportOptions backdropOptions;
        backdropOptions.targetCrs = job.crs.empty() && fc.spatialReference()
                                        ? fc.spatialReference()->definition()
                                        : job.crs;
        io::ImportResult under = io::importVectorFile(job.backdropPath, backdropOptions);
        if (!under.ok()) {
            return fail(under.error);
        }
        backdrop = under.layers;
        backdropRefused = under.refusedCount > 0 ? "the backdrop " + job.backdropPath + ": " +
                                                       refusalSummary(under)
                                                 : "";
    }

    // The map: backdrop beneath, the charted layer on top, the view fitted to the export.
    const auto application = std::make_shared<host::Application>();
    const auto document = std::make_shared<host::MapDocument>();
    application->setDocument(document);
    host::Map& map = *document->focusMap();
    for (const auto& b : backdrop) {
        map.addLayer(b);
    }
    map.addLayer(layer);
    if (fc.spatialReference()) {
        map.setSpatialReference(fc.spatialReference());
    }
    render::installTextMetrics(map);
    if (const auto simple = std::dynamic_pointer_cast<host::SimpleRenderer>(layer->renderer())) {
        if (auto marker = std::dynamic_pointer_cast<host::SimpleMarkerSymbol>(simple->symbol)) {
            marker->size = job.pointSize;
        }
    }
    render::ExportOptions exportOptions;
    exportOptions.width = job.width;
    exportOptions.height = job.height;
    exportOptions.dpi = job.dpi;
    host::Envelope extent = map.fullExtent();
    if (extent.isEmpty()) {
        return fail(job.dataPath + " has no features with coordinates");
    }
    extent = withMargin(extent);
    exportOptions.extent = extent;
    host::DisplayTransformation& view = map.screenDisplay().transformation();
    view = render::exportView(map, exportOptions);
    map.setReferenceScale(map.mapScale());  // chart sizes are true at this scale

    // Selection.
    bool selectedOnly = false;
    if (job.where) {
        std::string error;
        host::QueryFilter filter;
        filter.where = filterPredicate(*job.where, fc, error);
        if (!filter.where) {
            return fail(error);
        }
        if (layer->selectFeatures(filter) == 0) {
            return fail("no feature of " + layer->name() + " matches --where " + job.where->text);
        }
        selectedOnly = true;
    }
    std::vector<std::string> fields = job.fields;
    if (job.divide != 1.0) {
        std::string error;
        const host::SelectionSet& selection = layer->selectionSet();
        fields = addDividedFields(
            fc, job.fields, job.divide, job.key,
            [&](std::int64_t oid) { return !selectedOnly || selection.contains(oid); }, error);
        if (!error.empty()) {
            return fail(error);
        }
    }

    // Value range and sizes.
    double maxValue = 0;
    if (job.maxValue) {
        maxValue = *job.maxValue;
    } else {
        for (const auto& f : fields) {
            const host::Variant top = engine::DataStatistic(*layer, f, "MAX", selectedOnly);
            const host::Variant bottom = engine::DataStatistic(*layer, f, "MIN", selectedOnly);
            if (top.isNumber()) {
                maxValue = std::max({maxValue, std::fabs(top.toDouble()), std::fabs(bottom.toDouble())});
            }
        }
    }
    if (maxValue <= 0) {
        return fail("the chart fields hold no value above 0; give the range with --min and --max");
    }
    if (maxValue > kMaxMagnitude) {
        return fail("the chart fields hold values up to " + plain(maxValue) + ", beyond the largest range of " +
                    plain(kMaxMagnitude) + "; give the range with --max (and --divide to scale them)");
    }
    const double minValue = job.minValue.value_or(maxValue / 100);
    if (!(minValue < maxValue)) {
        return fail("--min " + plain(minValue) + " is not below the largest value of the chart fields, " +
                    plain(maxValue) + " (worked out from the data); give --max too");
    }
    double markerSize = job.markerSize.value_or(kDefaultMarkerSize);
    if (!job.markerSize && job.minMM) {
        if (minValue <= 0) {
            return fail("--min-mm sets the drawn height of the minimum value, so it needs --min above 0");
        }
        markerSize = engine::chartSizeFor(minValue, *job.minMM, maxValue, 1.0);
        if (!(markerSize >= 1 && markerSize <= kMaxChartPoints)) {
            return fail("--min-mm " + plain(*job.minMM) + " with the range " + plain(minValue) + " to " +
                        plain(maxValue) + " makes the charts " + plain(markerSize) +
                        " points high; they must be from 1 to " + plain(kMaxChartPoints) +
                        " points: change --min-mm, --min or --max, or give --size");
        }
    }

    engine::ChartStyle style;
    style.placement = engine::placementFromCode(job.placement);
    style.keyField = job.key.empty() ? fc.oidFieldName() : job.key;
    style.range = engine::ValueRange{minValue, maxValue};
    style.nullValue = job.nullValue;
    style.labelLength = job.labelDigits;
    style.barSpacing = job.spacing;
    style.barWidth = job.barWidth;
    style.display3D = job.threeD;
    style.thickness = job.thickness;
    style.size = markerSize;
    style.distance = job.distance;
    if (job.leaders) {
        style.leader = engine::LeaderStyle{kLeaderWidth, kLeaderColour, engine::plainLine(kLeaderWidth, kLeaderColour)};
    }
    if (job.labels) {
        auto text = std::make_shared<host::TextSymbol>();
        text->font.name = "Arial Narrow";
        text->setSize(kLabelSize);
        text->color = kLabelColour;
        style.labels = engine::LabelStyle{std::move(text), job.minLabel};
    }
    style.zigZagLine = engine::plainLine(1.0, host::Color{255, 255, 255});

    host::SymbolArray symbols;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        auto fill = std::make_shared<host::SimpleFillSymbol>();
        fill->color = paletteColor(i);
        auto outline = std::make_shared<host::SimpleLineSymbol>();
        outline->color = host::Color{50, 50, 50};
        outline->width = kBarOutlineWidth;
        fill->outline = outline;
        symbols.add(fill);
    }

    style.fields = fields;
    style.fillSymbols = symbols;

    if (!job.title.empty()) {
        addTitleAndKey(map, extent, job.title, job.divide != 1.0 ? job.fields : fields, symbols);
    }

    // The chart run.
    auto console = std::make_shared<ConsoleInteraction>(err);
    engine::EngineServices services;
    services.interaction = console;
    services.separators = language::DecimalSeparators::fromLocaleDecimal(".");
    language::LoadModuleMessages(services.messages, job.language);
    services.notices.load(job.language);
    const std::int64_t toChart = selectedOnly ? layer->selectionSet().count() : fc.featureCount();
    ProgressBar runBar(err, "charting ", toChart, showProgress);
    services.chartAdded = [&](std::int64_t done) { runBar.update(done); };
    const engine::ChartRunResult result = engine::CreateChartElements(
        map, *layer, style, engine::ChartRunScope{selectedOnly, false, &document->activeView(), {}}, services);
    runBar.finish();
    report.charted = result.charted;
    report.skipped = fc.featureCount() - result.charted + data.refusedCount;
    if (!result.completed) {
        // Nothing is written for a run that failed: a map without its charts would look done.
        return fail("the chart run failed, so no picture was written: " +
                    (result.failure.empty() ? std::string("see the error record") : result.failure));
    }

    // The pictures and the layer file: every one to a temporary file, all moved into place
    // only when all were written.
    std::vector<SideFile> sideFiles;
    if (!job.layerFile.empty()) {
        if (!result.rendererChart) {
            return fail("no chart was made, so no layer file was written");
        }
        std::string error;
        std::string bytes = chartLayerFileBytes(job, *layer, *result.rendererChart, error);
        if (!error.empty()) {
            return fail(error);
        }
        sideFiles.push_back({job.layerFile, std::move(bytes)});
    }
    if (!job.graphicsFile.empty()) {
        std::string error;
        std::string bytes = chartGraphicsFileBytes(job.graphicsFile, map, *layer, error);
        if (!error.empty()) {
            return fail(error);
        }
        sideFiles.push_back({job.graphicsFile, std::move(bytes)});
    }
    if (!job.projectFile.empty()) {
        try {
            sideFiles.push_back({job.projectFile, host::encodeProjectFile(*document, job.projectFile)});
        } catch (const HostError& e) {
            return fail("the project " + job.projectFile + " cannot be written: " + e.description());
        }
    }
    std::vector<std::string> paths;
    if (const std::string error = writeOutputs(map, job.formats, job.outDir, job.baseName, exportOptions, sideFiles,
                                               err, showProgress, paths);
        !error.empty()) {
        return fail(error);
    }
    for (const auto& path : paths) {
        report.files.push_back(path);
        out << path << '\n';
    }

    std::ostringstream summary;
    summary << std::fixed << std::setprecision(2) << clock.seconds();
    out << "kartoplot: charted " << report.charted << " features, skipped " << report.skipped
        << ", in " << summary.str() << " s\n";
    if (data.refusedCount > 0) {
        out << "kartoplot: " << refusalSummary(data) << '\n';
    }
    if (!backdropRefused.empty()) {
        out << "kartoplot: " << backdropRefused << '\n';
    }
    report.exitCode = 0;
    return report;
}

namespace {

// Draws a project's focus map in the view it was saved with (or fitted to the size asked for).
// The end of a render job: the job's graphics file over the map, then the pictures, whose paths
// are listed on `out` and in the report. Returns "" or what failed (nothing written then).
std::string drawRenderJob(host::Map& map, const RenderJob& job, render::ExportOptions& exportOptions,
                          std::ostream& out, std::ostream& err, bool showProgress, JobReport& report) {
    if (!job.graphicsFile.empty()) {
        if (std::string error = overlayGraphics(map, job.graphicsFile, out, err); !error.empty()) {
            return error;
        }
    }
    std::vector<std::string> paths;
    if (std::string error =
            writeOutputs(map, job.formats, job.outDir, job.baseName, exportOptions, {}, err, showProgress, paths);
        !error.empty()) {
        return error;
    }
    for (const auto& path : paths) {
        report.files.push_back(path);
        out << path << '\n';
    }
    return {};
}

JobReport renderProject(const RenderJob& job, std::ostream& out, std::ostream& err, bool showProgress) {
    JobReport report;
    report.exitCode = 1;
    const auto fail = [&](const std::string& message) {
        err << "kartoplot: " << message << '\n';
        return report;
    };
    host::OpenedProject opened;
    try {
        opened = host::readProjectFile(job.projectFile, io::FileProjectDataLoader());
    } catch (const HostError& e) {
        return fail(e.description());
    }
    if (!opened.unavailable.empty()) {
        // A map without some of its data would look done; nothing is drawn.
        std::string reasons;
        for (const host::UnavailableSource& u : opened.unavailable) {
            reasons += (reasons.empty() ? "" : " ") + u.reason;
        }
        return fail("the project " + job.projectFile + " cannot be drawn, its data is not all there: " + reasons);
    }
    host::Map& map = *opened.document->focusMap();
    if (!job.backdropPath.empty()) {
        io::ImportOptions backdropOptions;
        backdropOptions.targetCrs = map.spatialReference() ? map.spatialReference()->definition() : std::string();
        io::ImportResult under = io::importVectorFile(job.backdropPath, backdropOptions);
        if (!under.ok()) {
            return fail(under.error);
        }
        // Beneath the project's layers: the map's list is rebuilt bottom first.
        const std::vector<std::shared_ptr<host::Layer>> own = map.layers();
        for (const auto& layer : own) {
            map.deleteLayer(*layer);
        }
        for (const auto& b : under.layers) {
            map.addLayer(b);
        }
        for (auto it = own.rbegin(); it != own.rend(); ++it) {
            map.addLayer(*it);
        }
    }
    render::installTextMetrics(map);
    const host::DisplayTransformation saved = map.screenDisplay().transformation();
    const bool savedFrame = saved.deviceWidth() > 0 && saved.deviceHeight() > 0;
    render::ExportOptions exportOptions;
    exportOptions.width = job.sizeGiven || !savedFrame ? job.width : saved.deviceWidth();
    exportOptions.height = job.sizeGiven || !savedFrame ? job.height : saved.deviceHeight();
    exportOptions.dpi = job.dpiGiven ? job.dpi : saved.resolution();
    host::Envelope extent = savedFrame ? map.extent() : withMargin(map.fullExtent());
    if (extent.isEmpty()) {
        return fail(job.projectFile + " shows no features with coordinates");
    }
    exportOptions.extent = extent;
    map.screenDisplay().transformation() = render::exportView(map, exportOptions);
    map.setReferenceScale(saved.referenceScale());  // symbols keep the size the project gave them
    if (const std::string error = drawRenderJob(map, job, exportOptions, out, err, showProgress, report);
        !error.empty()) {
        return fail(error);
    }
    out << "kartoplot: drew the map " << map.name() << " of " << job.projectFile << ", " << map.layerCount()
        << (map.layerCount() == 1 ? " layer" : " layers") << '\n';
    report.exitCode = 0;
    return report;
}

}  // namespace

JobReport runRenderJob(const RenderJob& job, std::ostream& out, std::ostream& err, bool showProgress) {
    if (!job.projectFile.empty()) {
        return renderProject(job, out, err, showProgress);
    }
    JobReport report;
    report.exitCode = 1;
    const auto fail = [&](const std::string& message) {
        err << "kartoplot: " << message << '\n';
        return report;
    };
    std::shared_ptr<host::Layer> layer;
    try {
        layer = host::readLayerFile(job.layerFile, io::FileDataSourceLoader());
    } catch (const HostError& e) {
        return fail(e.description());
    }
    // The map takes the coordinate system of the layer file's first feature layer.
    std::shared_ptr<const host::SpatialReference> srs;
    std::int64_t features = 0;
    const std::function<void(const host::Layer&)> visit = [&](const host::Layer& l) {
        if (const auto* feature = dynamic_cast<const host::FeatureLayer*>(&l)) {
            features += feature->featureClass()->featureCount();
            if (!srs) {
                srs = feature->featureClass()->spatialReference();
            }
        } else if (const auto* group = dynamic_cast<const host::GroupLayer*>(&l)) {
            for (const auto& member : group->layers()) {
                visit(*member);
            }
        }
    };
    visit(*layer);

    const auto document = std::make_shared<host::MapDocument>();
    host::Map& map = *document->focusMap();
    if (!job.backdropPath.empty()) {
        io::ImportOptions backdropOptions;
        backdropOptions.targetCrs = srs ? srs->definition() : std::string();
        io::ImportResult under = io::importVectorFile(job.backdropPath, backdropOptions);
        if (!under.ok()) {
            return fail(under.error);
        }
        for (const auto& b : under.layers) {
            map.addLayer(b);
        }
    }
    map.addLayer(layer);
    if (srs) {
        map.setSpatialReference(srs);
    }
    render::installTextMetrics(map);
    const host::Envelope extent = map.fullExtent();
    if (extent.isEmpty()) {
        return fail(job.layerFile + " draws no features with coordinates");
    }
    render::ExportOptions exportOptions;
    exportOptions.width = job.width;
    exportOptions.height = job.height;
    exportOptions.dpi = job.dpi;
    exportOptions.extent = withMargin(extent);
    map.screenDisplay().transformation() = render::exportView(map, exportOptions);
    map.setReferenceScale(map.mapScale());  // symbol sizes are true at this scale
    if (const std::string error = drawRenderJob(map, job, exportOptions, out, err, showProgress, report);
        !error.empty()) {
        return fail(error);
    }
    out << "kartoplot: drew " << layer->name() << ", " << features << (features == 1 ? " feature" : " features")
        << '\n';
    report.exitCode = 0;
    return report;
}

}  // namespace kartoplot::cli
