#include "host/project_file.h"

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

constexpr NumberRange kScales{std::numeric_limits<double>::min(), kMaxScale};
constexpr NumberRange kReferenceScales{0.0, kMaxScale};
constexpr NumberRange kPageSides{std::numeric_limits<double>::min(), kMaxPageSide};

void addFeatureLayer(ClassRegistry& registry) {
    registry.addFields<MapFeatureLayerRecord>(
        "MapFeatureLayer",
        [](auto& v, auto& l) {
            featureLayerFields(v, l);
            v.enumeration("shapeType", l.shapeType, GeometryType::Null, GeometryType::Envelope);
            v.object("spatialReference", l.spatialReference);
        },
        [](const MapFeatureLayerRecord& l, const FieldReader& r) { checkSourcePath(l.dataSource, r); });
}

void addGraphicsLayer(ClassRegistry& registry) {
    registry.addFields<GraphicsLayerRecord>("GraphicsLayer", [](auto& v, auto& g) {
        v.text("name", g.name, TextRule::NoNul);
        v.boolean("visible", g.visible);
        v.number("referenceScale", g.referenceScale, kReferenceScales);
        v.objects("elements", g.elements, NullRule::Refused);
    });
}

template <class V, class View>
void viewFields(V& v, View& view) {
    v.point("center", view.center);
    v.number("scale", view.scale, kScales);
    v.number("referenceScale", view.referenceScale, kReferenceScales);
    v.number("dpi", view.dpi, NumberRange{1.0, kMaxDpi});
    v.integer("deviceWidth", view.deviceWidth, IntegerRange{0, kMaxDeviceSide});
    v.integer("deviceHeight", view.deviceHeight, IntegerRange{0, kMaxDeviceSide});
    v.enumeration("units", view.units, MapUnits::Unknown, MapUnits::Kilometres);
}

void checkMap(const MapRecord& m, const FieldReader& r) {
    if (!m.basicGraphics) {
        r.fail("basicGraphics", "is missing");
    }
    std::unordered_set<std::string> names;
    for (const auto& layer : m.graphicsLayers) {
        if (layer->name.empty() || !names.insert(layer->name).second) {
            r.fail("graphicsLayers", "holds a layer without a name or two of one name");
        }
    }
    if (m.activeGraphicsLayer < -1 || m.activeGraphicsLayer >= static_cast<int>(m.graphicsLayers.size())) {
        r.fail("activeGraphicsLayer", "names no graphics layer of the map");
    }
}

void addMap(ClassRegistry& registry) {
    registry.addFields<MapRecord>(
        "Map",
        [](auto& v, auto& m) {
            v.text("name", m.name, TextRule::NoNul);
            v.objects("layers", m.layers, NullRule::Refused);
            v.object("spatialReference", m.spatialReference);
            v.nested("view", [&](auto& view) { viewFields(view, m.view); });
            v.object("basicGraphics", m.basicGraphics);
            v.objects("graphicsLayers", m.graphicsLayers, NullRule::Refused);
            v.integer("activeGraphicsLayer", m.activeGraphicsLayer);
        },
        checkMap);
}

void addPageLayout(ClassRegistry& registry) {
    registry.addFields<PageLayoutRecord>("PageLayout", [](auto& v, auto& p) {
        v.number("width", p.width, kPageSides);
        v.number("height", p.height, kPageSides);
        v.enumeration("units", p.units, MapUnits::Unknown, MapUnits::Kilometres);
        v.envelope("mapFrame", p.mapFrame);
        v.objects("elements", p.elements, NullRule::Refused);
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

void checkDocument(const ProjectRecord& p, const FieldReader& r) {
    if (p.maps.empty()) {
        r.fail("maps", "holds no map");
    }
    if (p.focusMap < 0 || p.focusMap >= static_cast<int>(p.maps.size())) {
        r.fail("focusMap", "names no map of the document");
    }
    if (!p.pageLayout) {
        r.fail("pageLayout", "is missing");
    }
    std::unordered_set<const MapRecord*> maps;
    for (const auto& map : p.maps) {
        if (!maps.insert(map.get()).second) {
            r.fail("maps", "holds one map twice");
        }
    }
    checkElementsPlacedOnce(p, r);
}

void addDocument(ClassRegistry& registry) {
    registry.addFields<ProjectRecord>(
        "MapDocument",
        [](auto& v, auto& p) {
            v.objects("maps", p.maps, NullRule::Refused);
            v.integer("focusMap", p.focusMap);
            v.object("pageLayout", p.pageLayout);
            v.boolean("pageLayoutShown", p.pageLayoutShown);
        },
        checkDocument);
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
