#include "host/project_file.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "errors/error_handling.h"
#include "host/atomic_file.h"
#include "host/file_container.h"

namespace kartoplot::host {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSource = "Project";
constexpr double kMaxScale = 1e15;         // 1 : scale; beyond any map of the Earth
constexpr double kMaxDpi = 1e5;            // pixels per inch
constexpr int kMaxDeviceSide = 1 << 20;    // pixels
constexpr double kMaxPageSide = 1e7;       // page units

void readText(const FieldReader& r, std::string_view key, std::string& target) {
    r.getText(key, target);
    if (target.find('\0') != std::string::npos) {
        r.fail(key, "holds a NUL character");
    }
}

// A number in [low, high]; absent keeps the target.
void getNumberIn(const FieldReader& r, std::string_view key, double& target, double low, double high) {
    double value = target;
    r.getNumber(key, value);
    if (!std::isfinite(value) || value < low || value > high) {
        r.fail(key, "holds a number outside the range it may have");
    }
    target = value;
}

void putEnvelope(FieldWriter& w, std::string_view key, const Envelope& e) {
    w.putNumbers(key, {e.xMin(), e.yMin(), e.xMax(), e.yMax()});
}

void getEnvelope(const FieldReader& r, std::string_view key, std::optional<Envelope>& target) {
    if (!r.has(key)) {
        return;
    }
    std::vector<double> xy;
    r.getNumbers(key, xy);
    if (xy.size() != 4 || !std::isfinite(xy[0]) || !std::isfinite(xy[1]) || !std::isfinite(xy[2]) ||
        !std::isfinite(xy[3]) || xy[0] > xy[2] || xy[1] > xy[3]) {
        r.fail(key, "is no envelope [xmin, ymin, xmax, ymax] of finite numbers");
    }
    target = Envelope(xy[0], xy[1], xy[2], xy[3]);
}

template <class T>
void getPresentObjects(const FieldReader& r, std::string_view key, std::vector<std::shared_ptr<T>>& target) {
    r.getObjects(key, target);
    for (const auto& object : target) {
        if (!object) {
            r.fail(key, "holds a missing object");
        }
    }
}

void addFeatureLayer(ClassRegistry& registry) {
    registry.addClass<MapFeatureLayerRecord>(
        "MapFeatureLayer",
        [](const MapFeatureLayerRecord& l, FieldWriter& w) {
            w.putText("name", l.name);
            w.putBoolean("visible", l.visible);
            w.putText("sourcePath", l.dataSource.path);
            w.putText("sourceLayer", l.dataSource.layerName);
            w.putText("definitionQuery", l.definitionQuery);
            w.putObject("renderer", l.renderer);
            w.putEnum("shapeType", l.shapeType);
            w.putObject("spatialReference", l.spatialReference);
        },
        [](MapFeatureLayerRecord& l, const FieldReader& r) {
            readText(r, "name", l.name);
            r.getBoolean("visible", l.visible);
            readText(r, "sourcePath", l.dataSource.path);
            if (l.dataSource.path.empty()) {
                r.fail("sourcePath", "is missing or empty");
            }
            readText(r, "sourceLayer", l.dataSource.layerName);
            readText(r, "definitionQuery", l.definitionQuery);
            r.getObject("renderer", l.renderer);
            r.getEnum("shapeType", l.shapeType, GeometryType::Null, GeometryType::Envelope);
            r.getObject("spatialReference", l.spatialReference);
        },
        [](const MapFeatureLayerRecord& a, const MapFeatureLayerRecord& b, const ObjectComparer& c) {
            return a.name == b.name && a.visible == b.visible && a.dataSource == b.dataSource &&
                   a.definitionQuery == b.definitionQuery && a.shapeType == b.shapeType &&
                   c.objects(a.renderer, b.renderer) && c.objects(a.spatialReference, b.spatialReference);
        });
}

void addGraphicsLayer(ClassRegistry& registry) {
    registry.addClass<GraphicsLayerRecord>(
        "GraphicsLayer",
        [](const GraphicsLayerRecord& g, FieldWriter& w) {
            w.putText("name", g.name);
            w.putBoolean("visible", g.visible);
            w.putNumber("referenceScale", g.referenceScale);
            w.putObjects("elements", g.elements);
        },
        [](GraphicsLayerRecord& g, const FieldReader& r) {
            readText(r, "name", g.name);
            r.getBoolean("visible", g.visible);
            getNumberIn(r, "referenceScale", g.referenceScale, 0.0, kMaxScale);
            getPresentObjects(r, "elements", g.elements);
        },
        [](const GraphicsLayerRecord& a, const GraphicsLayerRecord& b, const ObjectComparer& c) {
            return a.name == b.name && a.visible == b.visible && a.referenceScale == b.referenceScale &&
                   c.objectLists(a.elements, b.elements);
        });
}

void putView(FieldWriter& w, const MapView& v) {
    FieldWriter view = w.nested("view");
    view.putNumbers("center", {v.center.x, v.center.y});
    view.putNumber("scale", v.scale);
    view.putNumber("referenceScale", v.referenceScale);
    view.putNumber("dpi", v.dpi);
    view.putInteger("deviceWidth", v.deviceWidth);
    view.putInteger("deviceHeight", v.deviceHeight);
    view.putEnum("units", v.units);
}

void getView(const FieldReader& r, MapView& v) {
    const FieldReader view = r.nested("view");
    if (view.has("center")) {
        std::vector<double> xy;
        view.getNumbers("center", xy);
        if (xy.size() != 2 || !std::isfinite(xy[0]) || !std::isfinite(xy[1])) {
            view.fail("center", "is no point [x, y] of finite numbers");
        }
        v.center = Point{xy[0], xy[1]};
    }
    getNumberIn(view, "scale", v.scale, std::numeric_limits<double>::min(), kMaxScale);
    getNumberIn(view, "referenceScale", v.referenceScale, 0.0, kMaxScale);
    getNumberIn(view, "dpi", v.dpi, 1.0, kMaxDpi);
    for (const auto& [key, side] : {std::pair{"deviceWidth", &v.deviceWidth}, std::pair{"deviceHeight", &v.deviceHeight}}) {
        std::int32_t pixels = *side;
        view.getInteger(key, pixels);
        if (pixels < 0 || pixels > kMaxDeviceSide) {
            view.fail(key, "holds a frame size outside 0 to " + std::to_string(kMaxDeviceSide) + " pixels");
        }
        *side = pixels;
    }
    view.getEnum("units", v.units, MapUnits::Unknown, MapUnits::Kilometres);
}

void addMap(ClassRegistry& registry) {
    registry.addClass<MapRecord>(
        "Map",
        [](const MapRecord& m, FieldWriter& w) {
            w.putText("name", m.name);
            w.putObjects("layers", m.layers);
            w.putObject("spatialReference", m.spatialReference);
            putView(w, m.view);
            w.putObject("basicGraphics", m.basicGraphics);
            w.putObjects("graphicsLayers", m.graphicsLayers);
            w.putInteger("activeGraphicsLayer", m.activeGraphicsLayer);
        },
        [](MapRecord& m, const FieldReader& r) {
            readText(r, "name", m.name);
            getPresentObjects(r, "layers", m.layers);
            r.getObject("spatialReference", m.spatialReference);
            getView(r, m.view);
            r.getObject("basicGraphics", m.basicGraphics);
            if (!m.basicGraphics) {
                r.fail("basicGraphics", "is missing");
            }
            getPresentObjects(r, "graphicsLayers", m.graphicsLayers);
            std::unordered_set<std::string> names;
            for (const auto& layer : m.graphicsLayers) {
                if (layer->name.empty() || !names.insert(layer->name).second) {
                    r.fail("graphicsLayers", "holds a layer without a name or two of one name");
                }
            }
            std::int32_t active = m.activeGraphicsLayer;
            r.getInteger("activeGraphicsLayer", active);
            if (active < -1 || active >= static_cast<std::int32_t>(m.graphicsLayers.size())) {
                r.fail("activeGraphicsLayer", "names no graphics layer of the map");
            }
            m.activeGraphicsLayer = active;
        },
        [](const MapRecord& a, const MapRecord& b, const ObjectComparer& c) {
            return a.name == b.name && a.view == b.view && a.activeGraphicsLayer == b.activeGraphicsLayer &&
                   c.objectLists(a.layers, b.layers) && c.objects(a.spatialReference, b.spatialReference) &&
                   c.objects(a.basicGraphics, b.basicGraphics) && c.objectLists(a.graphicsLayers, b.graphicsLayers);
        });
}

void addPageLayout(ClassRegistry& registry) {
    registry.addClass<PageLayoutRecord>(
        "PageLayout",
        [](const PageLayoutRecord& p, FieldWriter& w) {
            w.putNumber("width", p.width);
            w.putNumber("height", p.height);
            w.putEnum("units", p.units);
            if (p.mapFrame) {
                putEnvelope(w, "mapFrame", *p.mapFrame);
            }
            w.putObjects("elements", p.elements);
        },
        [](PageLayoutRecord& p, const FieldReader& r) {
            getNumberIn(r, "width", p.width, std::numeric_limits<double>::min(), kMaxPageSide);
            getNumberIn(r, "height", p.height, std::numeric_limits<double>::min(), kMaxPageSide);
            r.getEnum("units", p.units, MapUnits::Unknown, MapUnits::Kilometres);
            getEnvelope(r, "mapFrame", p.mapFrame);
            getPresentObjects(r, "elements", p.elements);
        },
        [](const PageLayoutRecord& a, const PageLayoutRecord& b, const ObjectComparer& c) {
            return a.width == b.width && a.height == b.height && a.units == b.units && a.mapFrame == b.mapFrame &&
                   c.objectLists(a.elements, b.elements);
        });
}

// Every element stands in one place of the document: not in two layers, not in a layer and a
// group, not twice in one layer.
void checkElementsPlacedOnce(const ProjectRecord& p, const FieldReader& r) {
    std::unordered_set<const Element*> seen;
    const auto check = [&](const std::vector<std::shared_ptr<Element>>& elements) {
        for (const auto& element : elements) {
            if (element->parent() != nullptr || element->container() != nullptr || !seen.insert(element.get()).second) {
                r.fail("maps", "places one graphic element in two places");
            }
        }
    };
    for (const auto& map : p.maps) {
        check(map->basicGraphics->elements);
        for (const auto& layer : map->graphicsLayers) {
            check(layer->elements);
        }
    }
    check(p.pageLayout->elements);
}

void addDocument(ClassRegistry& registry) {
    registry.addClass<ProjectRecord>(
        "MapDocument",
        [](const ProjectRecord& p, FieldWriter& w) {
            w.putObjects("maps", p.maps);
            w.putInteger("focusMap", p.focusMap);
            w.putObject("pageLayout", p.pageLayout);
            w.putBoolean("pageLayoutShown", p.pageLayoutShown);
        },
        [](ProjectRecord& p, const FieldReader& r) {
            getPresentObjects(r, "maps", p.maps);
            if (p.maps.empty()) {
                r.fail("maps", "holds no map");
            }
            std::int32_t focus = p.focusMap;
            r.getInteger("focusMap", focus);
            if (focus < 0 || focus >= static_cast<std::int32_t>(p.maps.size())) {
                r.fail("focusMap", "names no map of the document");
            }
            p.focusMap = focus;
            r.getObject("pageLayout", p.pageLayout);
            if (!p.pageLayout) {
                r.fail("pageLayout", "is missing");
            }
            r.getBoolean("pageLayoutShown", p.pageLayoutShown);
            std::unordered_set<const MapRecord*> maps;
            for (const auto& map : p.maps) {
                if (!maps.insert(map.get()).second) {
                    r.fail("maps", "holds one map twice");
                }
            }
            checkElementsPlacedOnce(p, r);
        },
        [](const ProjectRecord& a, const ProjectRecord& b, const ObjectComparer& c) {
            return a.focusMap == b.focusMap && a.pageLayoutShown == b.pageLayoutShown &&
                   c.objectLists(a.maps, b.maps) && c.objects(a.pageLayout, b.pageLayout);
        });
}

// ---- document → record ------------------------------------------------------------------------

std::string folderOf(const std::string& filePath) { return fs::path(filePath).parent_path().string(); }

// A copy that the record may own apart from the document.
std::shared_ptr<SpatialReference> copyOf(const std::shared_ptr<const SpatialReference>& srs) {
    return srs ? std::make_shared<SpatialReference>(*srs) : nullptr;
}

std::shared_ptr<LayerRecord> layerRecordOf(const Layer& layer, const std::string& folder, int depth) {
    if (depth > kMaxNesting) {
        throw HostError(errnum::kInvalidCall, kSource,
                        "The layer " + layer.name() + " nests groups too deeply to be stored.");
    }
    if (const auto* feature = dynamic_cast<const FeatureLayer*>(&layer)) {
        if (feature->dataSource().isEmpty()) {
            throw HostError(errnum::kInvalidCall, kSource,
                            "The layer " + layer.name() +
                                " was not read from a file, so a project cannot refer to its data.");
        }
        auto record = std::make_shared<MapFeatureLayerRecord>();
        record->name = layer.name();
        record->visible = layer.visible();
        record->dataSource = {storedSourcePath(feature->dataSource().path, folder), feature->dataSource().layerName};
        record->definitionQuery = feature->definitionQuery();
        record->renderer = feature->renderer();
        if (const auto& fc = feature->featureClass()) {
            record->shapeType = fc->shapeType();
            record->spatialReference = copyOf(fc->spatialReference());
        }
        return record;
    }
    const auto* group = dynamic_cast<const GroupLayer*>(&layer);
    if (group == nullptr) {
        throw HostError(errnum::kInvalidCall, kSource, "The layer " + layer.name() + " is of a kind projects do not hold.");
    }
    auto record = std::make_shared<GroupLayerRecord>();
    record->name = layer.name();
    record->visible = layer.visible();
    for (const auto& member : group->layers()) {
        record->layers.push_back(layerRecordOf(*member, folder, depth + 1));
    }
    return record;
}

std::shared_ptr<GraphicsLayerRecord> graphicsRecordOf(const GraphicsLayer& layer) {
    auto record = std::make_shared<GraphicsLayerRecord>();
    record->name = layer.name();
    record->visible = layer.visible();
    record->referenceScale = layer.referenceScale();
    record->elements = layer.elements();
    return record;
}

std::shared_ptr<MapRecord> mapRecordOf(const Map& map, const std::string& folder) {
    auto record = std::make_shared<MapRecord>();
    record->name = map.name();
    for (const auto& layer : map.layers()) {
        record->layers.push_back(layerRecordOf(*layer, folder, 0));
    }
    record->spatialReference = copyOf(map.spatialReference());
    const DisplayTransformation& t = map.screenDisplay().transformation();
    record->view = MapView{t.center(), t.scale(), t.referenceScale(), t.resolution(), t.deviceWidth(), t.deviceHeight(),
                           t.units()};
    const CompositeGraphicsLayer& basic = map.basicGraphicsLayer();
    record->basicGraphics = graphicsRecordOf(basic);
    for (int i = 0; i < basic.layerCount(); ++i) {
        record->graphicsLayers.push_back(graphicsRecordOf(*basic.layer(i)));
        if (map.activeGraphicsLayer() == basic.layer(i)) {
            record->activeGraphicsLayer = i;
        }
    }
    return record;
}

// ---- record → document ------------------------------------------------------------------------

// The chart renderer's fields must be numeric fields of the data it is to draw; "" or why not.
std::string rendererMismatch(const FeatureRenderer* renderer, const FeatureClass& data, const std::string& path) {
    const auto* chart = dynamic_cast<const ChartRenderer*>(renderer);
    if (chart == nullptr) {
        return {};
    }
    for (const std::string& name : chart->fieldNames) {
        const int index = data.findField(name);
        if (index < 0 || !data.fields().field(index).isNumeric()) {
            return "The chart field " + name + (index < 0 ? " is missing in " : " is not numeric in ") + path + ".";
        }
    }
    return {};
}

class Builder {
public:
    Builder(std::string folder, const ProjectDataLoader& loader) : folder_(std::move(folder)), loader_(&loader) {}

    std::shared_ptr<Layer> layer(const LayerRecord& record) {
        if (const auto* feature = dynamic_cast<const MapFeatureLayerRecord*>(&record)) {
            return featureLayer(record, feature->dataSource, feature->definitionQuery, feature->renderer,
                                feature->shapeType, feature->spatialReference);
        }
        if (const auto* plain = dynamic_cast<const FeatureLayerRecord*>(&record)) {
            return featureLayer(record, plain->dataSource, plain->definitionQuery, plain->renderer,
                                GeometryType::Null, nullptr);
        }
        const auto* group = dynamic_cast<const GroupLayerRecord*>(&record);
        if (group == nullptr) {
            throw HostError(errnum::kBadFileFormat, kSource, "The layer " + record.name + " is of an unknown kind.");
        }
        auto built = std::make_shared<GroupLayer>(record.name);
        for (const auto& member : group->layers) {
            built->add(layer(*member));
        }
        built->setVisible(record.visible);
        return built;
    }

    std::vector<UnavailableSource> takeUnavailable() { return std::move(unavailable_); }

private:
    std::shared_ptr<Layer> featureLayer(const LayerRecord& record, const DataSource& stored, const std::string& query,
                                        const std::shared_ptr<FeatureRenderer>& renderer, GeometryType shapeType,
                                        const std::shared_ptr<SpatialReference>& srs) {
        const DataSource source{resolvedSourcePath(stored.path, folder_), stored.layerName};
        LoadedSource loaded = loader_->loadInCrs(source, query, srs ? srs->definition() : std::string());
        std::string reason = loaded.ok() ? rendererMismatch(renderer.get(), *loaded.featureClass, source.path)
                                         : (loaded.error.empty() ? "The data source " + source.path + " cannot be read."
                                                                 : loaded.error);
        std::shared_ptr<FeatureClass> data = std::move(loaded.featureClass);
        if (!reason.empty()) {
            // A stand-in keeps the layer's place, look and reference without features.
            data = std::make_shared<FeatureClass>(record.name, shapeType);
            data->setSpatialReference(srs);
            unavailable_.push_back({record.name, source.path, std::move(reason)});
        }
        auto layer = std::make_shared<FeatureLayer>(record.name, std::move(data));
        layer->setDataSource(source);
        layer->setDefinitionQuery(query);
        layer->setRenderer(renderer ? renderer->clone() : nullptr);
        layer->setVisible(record.visible);
        return layer;
    }

    std::string folder_;
    const ProjectDataLoader* loader_ = nullptr;  // not owned
    std::vector<UnavailableSource> unavailable_;
};

void fillGraphics(GraphicsLayer& target, const GraphicsLayerRecord& record) {
    target.setVisible(record.visible);
    target.setReferenceScale(record.referenceScale);
    for (const auto& element : record.elements) {
        target.addElement(element);
    }
}

void fillMap(Map& map, const MapRecord& record, Builder& builder) {
    map.setName(record.name);
    for (auto it = record.layers.rbegin(); it != record.layers.rend(); ++it) {
        map.addLayer(builder.layer(**it));  // addLayer puts each on top
    }
    if (record.spatialReference) {
        map.setSpatialReference(record.spatialReference);
    }
    DisplayTransformation& t = map.screenDisplay().transformation();
    t.setUnits(record.view.units);
    t.setResolution(record.view.dpi);
    t.setDeviceFrame(record.view.deviceWidth, record.view.deviceHeight);
    t.setCenter(record.view.center);
    t.setScale(record.view.scale);
    t.setReferenceScale(record.view.referenceScale);
    CompositeGraphicsLayer& basic = map.basicGraphicsLayer();
    fillGraphics(basic, *record.basicGraphics);
    for (std::size_t i = 0; i < record.graphicsLayers.size(); ++i) {
        const auto& sub = *record.graphicsLayers[i];
        auto layer = basic.addLayer(sub.name);
        fillGraphics(*layer, sub);
        if (static_cast<int>(i) == record.activeGraphicsLayer) {
            map.setActiveGraphicsLayer(layer);
        }
    }
}

}  // namespace

const ClassRegistry& projectClasses() {
    static const ClassRegistry registry = [] {
        ClassRegistry r = layerFileClasses();
        addFeatureLayer(r);
        addGraphicsLayer(r);
        addMap(r);
        addPageLayout(r);
        addDocument(r);
        return r;
    }();
    return registry;
}

std::shared_ptr<ProjectRecord> projectRecord(const MapDocument& document, const std::string& projectPath) {
    const std::string folder = folderOf(projectPath);
    auto record = std::make_shared<ProjectRecord>();
    for (std::size_t i = 0; i < document.maps().size(); ++i) {
        record->maps.push_back(mapRecordOf(*document.maps()[i], folder));
        if (document.maps()[i] == document.focusMap()) {
            record->focusMap = static_cast<int>(i);
        }
    }
    const PageLayout& page = *document.pageLayout();
    auto layout = std::make_shared<PageLayoutRecord>();
    layout->width = page.pageWidth();
    layout->height = page.pageHeight();
    layout->units = page.pageUnits();
    layout->mapFrame = page.mapFrame();
    layout->elements = page.graphicsContainer().elements();
    record->pageLayout = std::move(layout);
    record->pageLayoutShown = document.pageLayoutShown();
    return record;
}

std::string encodeProjectFile(const MapDocument& document, const std::string& projectPath) {
    return encodeObject(*projectRecord(document, projectPath), projectClasses());
}

void writeProjectFile(const MapDocument& document, const std::string& path) {
    writeFileAtomically(path, encodeProjectFile(document, path));
}

std::shared_ptr<ProjectRecord> decodeProjectFile(std::string_view bytes, const std::string& what) {
    auto record = std::dynamic_pointer_cast<ProjectRecord>(decodeObject(bytes, projectClasses(), what));
    if (!record) {
        throw HostError(errnum::kBadFileFormat, kSource, what + " holds no project.");
    }
    return record;
}

OpenedProject buildProject(const ProjectRecord& record, const std::string& projectFolder,
                           const ProjectDataLoader& loader) {
    Builder builder(projectFolder, loader);
    auto document = std::make_shared<MapDocument>();
    for (std::size_t i = 0; i < record.maps.size(); ++i) {
        std::shared_ptr<Map> map = i == 0 ? document->focusMap() : std::make_shared<Map>();
        fillMap(*map, *record.maps[i], builder);
        if (i > 0) {
            document->addMap(map);
        }
    }
    document->setFocusMap(document->maps().at(static_cast<std::size_t>(record.focusMap)));
    const PageLayoutRecord& layout = *record.pageLayout;
    PageLayout& page = *document->pageLayout();
    page.setPage(layout.width, layout.height, layout.units);
    if (layout.mapFrame) {
        page.setMapFrame(*layout.mapFrame);
    }
    for (const auto& element : layout.elements) {
        page.graphicsContainer().addElement(element);
    }
    document->showPageLayout(record.pageLayoutShown);
    return OpenedProject{std::move(document), builder.takeUnavailable()};
}

OpenedProject readProjectFile(const std::string& path, const ProjectDataLoader& loader) {
    const auto record = decodeProjectFile(readContainerFile(path), path);
    // Sources resolve from the absolute folder, so a stand-in saved again still names its file.
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    OpenedProject opened = buildProject(*record, ec ? folderOf(path) : absolute.parent_path().string(), loader);
    opened.document->setPath(path);
    return opened;
}

void saveProject(Application& application, const std::string& path) {
    const auto& document = application.document();
    if (!document) {
        throw HostError(errnum::kObjectMissing, kSource, "There is no document to save as " + path + ".");
    }
    writeProjectFile(*document, path);
    document->setPath(path);
    application.setDocument(document);  // the template list ends with the new path
}

OpenedProject openProject(Application& application, const std::string& path, const ProjectDataLoader& loader) {
    OpenedProject opened = readProjectFile(path, loader);
    application.setDocument(opened.document);
    return opened;
}

}  // namespace kartoplot::host
