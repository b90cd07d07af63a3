// Projects (*.kartoplot): a whole map document kept between sessions. A project holds every
// map with its layers in order (feature layers by data source, with renderer, visibility,
// definition query, geometry type and coordinate system; group layers with their members),
// the map's view (centre, current and reference scale, resolution, device frame), its spatial
// reference, its basic graphics layer and every named graphics layer with their elements and
// which one is active, and the page layout with its size, map frame and elements.
//
// Like layer files, projects hold no features: data sources are stored relative to the project
// file where they can be (host/layer_file.h gives the rule) and are read again through a loader
// the front end brings. A source that cannot be read does not stop the opening: its layer is
// kept as a stand-in (same name, renderer, source and coordinate system, no features), listed
// in OpenedProject::unavailable, so saving the project again keeps the reference intact.
// Everything else in the file must be whole and valid, or the opening fails and nothing is made.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/layer_file.h"
#include "host/map.h"

namespace kartoplot::host {

// The data reader of projects: a layer-file loader that can also hand a source's features over
// in the coordinate system they were shown in when the project was saved.
class ProjectDataLoader : public DataSourceLoader {
public:
    // The source's features (as DataSourceLoader::load) projected to `crs` (a WKT or PROJ
    // text; empty: as the source holds them). Never throws; failures are error sentences.
    virtual LoadedSource loadInCrs(const DataSource& source, const std::string& definitionQuery,
                                   const std::string& crs) const = 0;
    LoadedSource load(const DataSource& source, const std::string& definitionQuery) const final {
        return loadInCrs(source, definitionQuery, {});
    }
};

// ---- the stored form -----------------------------------------------------------------------

// A feature layer of a map: a layer file's feature layer plus what a stand-in needs.
class MapFeatureLayerRecord final : public LayerRecord {
public:
    DataSource dataSource;  // path as stored: relative to the project file, or absolute
    std::string definitionQuery;
    std::shared_ptr<FeatureRenderer> renderer;            // may be null
    GeometryType shapeType = GeometryType::Null;          // of the features
    std::shared_ptr<SpatialReference> spatialReference;   // of the features; may be null

    std::string className() const override { return "MapFeatureLayer"; }
};

class GraphicsLayerRecord final : public HostObject {
public:
    std::string name;
    bool visible = true;
    double referenceScale = 0.0;
    std::vector<std::shared_ptr<Element>> elements;  // drawing order, first = bottom

    std::string className() const override { return "GraphicsLayer"; }
};

// The view of a map: what its display transformation holds.
struct MapView {
    Point center;
    double scale = 1.0;
    double referenceScale = 0.0;
    double dpi = kDefaultDpi;
    int deviceWidth = 0;   // pixels
    int deviceHeight = 0;  // pixels
    MapUnits units = MapUnits::Metres;
    friend bool operator==(const MapView&, const MapView&) = default;
};

class MapRecord final : public HostObject {
public:
    std::string name;
    std::vector<std::shared_ptr<LayerRecord>> layers;  // index 0 on top, as Map::layers()
    std::shared_ptr<SpatialReference> spatialReference;
    MapView view;
    std::shared_ptr<GraphicsLayerRecord> basicGraphics;                // the default layer
    std::vector<std::shared_ptr<GraphicsLayerRecord>> graphicsLayers;  // sub-layers in order
    int activeGraphicsLayer = -1;  // index into graphicsLayers; -1: the basic layer

    std::string className() const override { return "Map"; }
};

class PageLayoutRecord final : public HostObject {
public:
    double width = 210.0;
    double height = 297.0;
    MapUnits units = MapUnits::Millimetres;
    std::optional<Envelope> mapFrame;  // nothing: the default frame
    std::vector<std::shared_ptr<Element>> elements;

    std::string className() const override { return "PageLayout"; }
};

class ProjectRecord final : public HostObject {
public:
    std::vector<std::shared_ptr<MapRecord>> maps;  // at least one
    int focusMap = 0;
    std::shared_ptr<PageLayoutRecord> pageLayout;
    bool pageLayoutShown = false;

    std::string className() const override { return "MapDocument"; }
};

// The layer-file classes plus MapFeatureLayer, GraphicsLayer, Map, PageLayout and MapDocument.
const ClassRegistry& projectClasses();

// ---- writing ---------------------------------------------------------------------------------

// The record of a document as a project at `projectPath` stores it. The record shares the
// document's elements and renderers (it is for writing at once, not to keep). Throws HostError
// naming the layer when a feature layer was not read from a file (it has no data source).
std::shared_ptr<ProjectRecord> projectRecord(const MapDocument& document, const std::string& projectPath);
// The whole file (container and body). Throws as projectRecord does, or when an element or
// renderer cannot be stored.
std::string encodeProjectFile(const MapDocument& document, const std::string& projectPath);
// Writes the project through AtomicFile: the old file stays whole until the new one is
// complete. Throws HostError, nothing written, when the document cannot be stored or written.
void writeProjectFile(const MapDocument& document, const std::string& path);

// ---- reading ---------------------------------------------------------------------------------

// A feature layer whose data could not be read; the layer is a stand-in without features.
struct UnavailableSource {
    std::string layer;   // the layer's name
    std::string path;    // the source path, resolved from the project's folder
    std::string reason;  // the loader's sentence, or the missing chart field
};

struct OpenedProject {
    std::shared_ptr<MapDocument> document;  // its path() is the project's path
    std::vector<UnavailableSource> unavailable;
};

// The record of a project file's bytes; `what` names the data in messages. Everything is read
// and checked (classes, fields, ranges, unique graphics layer names, each element in one place
// only) before it is returned; throws HostError (format error) otherwise, also for a file of a
// newer major version or one that holds no project.
std::shared_ptr<ProjectRecord> decodeProjectFile(std::string_view bytes, const std::string& what);

// A new document from a record, each feature layer's data read through `loader` (relative
// paths from `projectFolder`). The record's elements move into the document, so a record builds
// one document only. Throws HostError only for a record that was not checked by decoding.
OpenedProject buildProject(const ProjectRecord& record, const std::string& projectFolder,
                           const ProjectDataLoader& loader);

// decodeProjectFile of the file at `path` and buildProject; the document's path is `path`.
// Throws HostError (nothing made) when the file cannot be read or is not a whole project.
OpenedProject readProjectFile(const std::string& path, const ProjectDataLoader& loader);

// ---- the application's document --------------------------------------------------------------

// Writes the application's document to `path` and makes `path` its path: the application's
// template list then ends with it (GetDocumentPath gives it). On failure (HostError) the
// document, its path and the template list are unchanged.
void saveProject(Application& application, const std::string& path);
// Reads the project and makes it the application's document (the template list then ends with
// `path`). On failure (HostError) the application keeps its document.
OpenedProject openProject(Application& application, const std::string& path, const ProjectDataLoader& loader);

}  // namespace kartoplot::host
