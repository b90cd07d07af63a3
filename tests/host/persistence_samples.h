// What the persistence, layer-file and project tests share: one object of every persistable
// class with every field away from its default (so a field the writer, the reader or the
// comparison skips shows), a data reader that hands out feature classes by path, and a
// temporary folder per test.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/elements.h"
#include "host/project_file.h"
#include "host/symbols.h"

namespace kartoplot::host::samples {

namespace fs = std::filesystem;

inline std::shared_ptr<SimpleLineSymbol> line(std::uint8_t red) {
    auto s = std::make_shared<SimpleLineSymbol>();
    s->color = {red, 20, 30};
    s->width = 2.5;
    s->style = LineStyle::DashDot;
    return s;
}

inline std::shared_ptr<SimpleFillSymbol> fill(std::uint8_t red) {
    auto s = std::make_shared<SimpleFillSymbol>();
    s->color = {red, 200, 100};
    s->style = FillStyle::Cross;
    s->outline = line(red);
    return s;
}

inline std::shared_ptr<SimpleMarkerSymbol> marker() {
    auto s = std::make_shared<SimpleMarkerSymbol>();
    s->size = 11;
    s->color = Color::nullColor();
    s->angle = 30;
    s->xOffset = -1.5;
    s->yOffset = 2.25;
    s->style = MarkerStyle::Diamond;
    s->outline = true;
    s->outlineColor = {1, 2, 3};
    s->outlineSize = 0.75;
    return s;
}

inline std::shared_ptr<TextSymbol> text() {
    auto s = std::make_shared<TextSymbol>();
    s->font = Font{"Liberation Sans Narrow", 9.5, true, true, true, true};
    s->color = {9, 8, 7};
    s->horizontalAlignment = HorizontalAlignment::Right;
    s->verticalAlignment = VerticalAlignment::Baseline;
    s->angle = -15;
    s->previewText = "Пример";
    return s;
}

// A bar chart whose first bar uses `shared`, as the dialog's fill symbols are shared.
inline std::shared_ptr<BarChartSymbol> chart(const std::shared_ptr<FillSymbol>& shared) {
    auto s = std::make_shared<BarChartSymbol>();
    s->size = 40;
    s->symbols = SymbolArray{shared, fill(3), nullptr};
    s->values = {1.5, -2, 0};
    s->maxValue = 12;
    s->display3D = true;
    s->thickness = 4;
    s->barWidth = 7;
    s->barSpacing = 1;
    s->verticalBars = false;
    s->showAxes = true;
    s->axes = line(5);
    s->background = std::make_shared<LineCallout>();
    s->background->anchorPoint = {1e6, -2e-3};
    s->background->leaderTolerance = 3;
    s->background->gap = 1;
    s->background->leaderLine = line(6);
    return s;
}

inline std::shared_ptr<Element> placed(std::shared_ptr<Element> e, const char* name, Geometry g) {
    e->setName(name);
    e->setGeometry(std::move(g));
    return e;
}

// A chart as a run leaves it: a group of a named marker with its data set, a label, a line, a
// polygon and an envelope-shaped marker, with a nested group.
inline std::shared_ptr<GroupElement> chartGroup(const std::string& name, Point at,
                                                const std::shared_ptr<FillSymbol>& shared) {
    auto data = std::make_shared<PropertySet>();
    data->setProperty("LayerName", Variant("Города"));
    data->setProperty("#Vmax#", Variant(100.0));
    data->setProperty("pop", Variant("<Null>"));
    auto bars = std::make_shared<MarkerElement>();
    bars->symbol = chart(shared);
    bars->setCustomProperty(Variant(data));
    auto label = std::make_shared<TextElement>();
    label->text = "12,5";
    label->symbol = text();
    label->scaleText = false;
    auto lineElement = std::make_shared<LineElement>();
    lineElement->symbol = line(7);
    auto area = std::make_shared<PolygonElement>();
    area->symbol = fill(10);
    auto inner = std::make_shared<GroupElement>();
    inner->addElement(placed(label, "label", Point{at.x, at.y + 1}));
    inner->addElement(placed(lineElement, "", Polyline{{{{0, 0}, {1, 1}}, {{2, 2}, {3, 5}}}}));
    auto group = std::make_shared<GroupElement>();
    group->setName(name);
    group->setCustomProperty(Variant(std::int32_t{7}));
    group->addElement(placed(bars, name.c_str(), at));
    group->addElement(inner);
    group->addElement(placed(area, "area", Polygon{{{{0, 0}, {4, 0}, {4, 3}}}}));
    group->addElement(placed(std::make_shared<MarkerElement>(), "box", Envelope(1, 2, 3, 4)));
    return group;
}

inline std::shared_ptr<SpatialReference> wgs84() {
    return std::make_shared<SpatialReference>("WGS 84", "GEOGCS[\"WGS 84\"]", MapUnits::Degrees);
}

// One object of every class projectClasses() knows (the host's and the layer-file classes
// included), each with every field set. The project's sources are relative to a project in
// DataFolderTest's maps folder.
inline std::vector<std::shared_ptr<HostObject>> everyClass() {
    auto cartographic = std::make_shared<CartographicLineSymbol>();
    cartographic->color = {4, 5, 6};
    cartographic->width = 3;
    cartographic->cap = LineCap::Round;
    cartographic->join = LineJoin::Bevel;
    cartographic->lineTemplate = {2, {{1, 2}, {3, 0.5}}};
    auto multi = std::make_shared<MultiLayerFillSymbol>();
    multi->color = {1, 1, 1};
    multi->layers = {fill(1), fill(2)};
    auto markerFill = std::make_shared<MarkerFillSymbol>();
    markerFill->marker = marker();
    markerFill->xSeparation = 3;
    markerFill->ySeparation = 5;
    markerFill->outline = cartographic;
    auto picture = std::make_shared<PictureFillSymbol>();
    picture->picturePath = "/tmp/p.png";
    picture->picture = {0x89, 'P', 'N', 'G', 0, 255};
    picture->xScale = 2;
    picture->yScale = 0.5;
    auto lineFill = std::make_shared<LineFillSymbol>();
    lineFill->line = line(8);
    lineFill->angle = 10;
    lineFill->separation = 6;
    lineFill->offset = 1;

    auto group = chartGroup("Moscow", {37.6, 55.75}, fill(9));
    // Values of every kind, in an order no sorting gives, with the limits of each kind.
    auto set = std::make_shared<PropertySet>();
    const std::pair<const char*, Variant> entries[] = {
        {"Graphics", Variant(group)},
        {"TxtMinValue", Variant("0,5")},
        {"OpChartPosition", Variant(std::int16_t{13})},
        {"Count32", Variant(std::int32_t{13})},
        {"empty", Variant()},
        {"null", Variant::null()},
        {"shortLow", Variant(std::numeric_limits<std::int16_t>::min())},
        {"longHigh", Variant(std::numeric_limits<std::int32_t>::max())},
        {"double", Variant(0.1)},
        {"date", Variant(Date{45000.25})},
        {"Chk3D", Variant(true)},
        {"zero", Variant(false)},
        {"text with NUL", Variant(std::string("a\0b", 3))},
        {"noObject", Variant(std::shared_ptr<HostObject>())},
        {"AAA", Variant(-0.0)},
    };
    for (const auto& [name, value] : entries) {
        set->setProperty(name, value);
    }
    const auto member = [&](int i) { return group->element(i); };
    const auto inner = std::static_pointer_cast<GroupElement>(member(1));

    auto simple = std::make_shared<SimpleRenderer>();
    simple->symbol = marker();
    simple->label = "Towns";
    auto chartRenderer = std::make_shared<ChartRenderer>();
    chartRenderer->chartSymbol = chart(fill(4));
    chartRenderer->fieldNames = {"pop", "area"};
    chartRenderer->label = "Label";
    auto featureLayer = std::make_shared<FeatureLayerRecord>();
    featureLayer->name = "Cities";
    featureLayer->visible = false;
    featureLayer->dataSource = {"data/cities.geojson", "cities"};
    featureLayer->definitionQuery = "\"pop\" >= 5";
    featureLayer->renderer = simple;
    auto groupLayer = std::make_shared<GroupLayerRecord>();
    groupLayer->name = "Outer";
    groupLayer->visible = false;
    groupLayer->layers = {featureLayer, std::make_shared<GroupLayerRecord>()};
    auto mapLayer = std::make_shared<MapFeatureLayerRecord>();
    mapLayer->name = "Towns";
    mapLayer->visible = false;
    mapLayer->dataSource = {"towns.gpkg", "towns"};
    mapLayer->definitionQuery = "1 = 1";
    mapLayer->renderer = chartRenderer;
    mapLayer->shapeType = GeometryType::Point;
    mapLayer->spatialReference = wgs84();
    auto graphics = std::make_shared<GraphicsLayerRecord>();
    graphics->name = "Cities_charts";
    graphics->visible = false;
    graphics->referenceScale = 1e6;
    const auto shared = fill(1);
    graphics->elements = {chartGroup("Kazan", {49, 55}, shared), chartGroup("Ufa", {56, 54}, shared)};
    auto map = std::make_shared<MapRecord>();
    map->name = "Карта";
    map->layers = {mapLayer, groupLayer};
    map->spatialReference = wgs84();
    map->view = MapView{{12.5, -3.25}, 2.5e6, 1e6, 120, 640, 480, MapUnits::Degrees};
    map->basicGraphics = std::make_shared<GraphicsLayerRecord>();
    map->basicGraphics->elements = {chartGroup("Perm", {56, 58}, fill(3))};
    map->graphicsLayers = {graphics, std::make_shared<GraphicsLayerRecord>()};
    map->graphicsLayers[1]->name = "Notes";
    map->activeGraphicsLayer = 1;
    auto page = std::make_shared<PageLayoutRecord>();
    page->width = 297;
    page->height = 420;
    page->units = MapUnits::Centimetres;
    page->mapFrame = Envelope(5, 5, 200, 150);
    page->elements = {placed(std::make_shared<PolygonElement>(), "Legend", Polygon::fromEnvelope(Envelope(1, 2, 3, 4)))};
    auto project = std::make_shared<ProjectRecord>();
    auto inset = std::make_shared<MapRecord>();
    inset->basicGraphics = std::make_shared<GraphicsLayerRecord>();
    project->maps = {map, inset};
    project->focusMap = 1;
    project->pageLayout = page;
    project->pageLayoutShown = true;

    return {set, wgs84(), marker(), line(1), cartographic, fill(2), multi, markerFill, picture, lineFill, text(),
            chart(fill(4)), chart(fill(4))->background, member(0), inner->element(0), inner->element(1), member(2),
            group, simple, chartRenderer, featureLayer, groupLayer, mapLayer, graphics, map, page, project};
}

// The first sample of a class.
inline std::shared_ptr<HostObject> sampleOf(const std::string& className) {
    for (auto& sample : everyClass()) {
        if (sample->className() == className) {
            return sample;
        }
    }
    return nullptr;
}

inline std::shared_ptr<FeatureClass> cities() {
    auto fc = std::make_shared<FeatureClass>("cities", GeometryType::Point);
    fc->addField({"pop", "", FieldType::Double, 0});
    fc->addField({"area", "", FieldType::Integer, 0});
    fc->addField({"name", "", FieldType::String, 20});
    fc->createFeature(Point{1, 2}, {Variant(5.0), Variant(std::int32_t{3}), Variant("a")});
    fc->createFeature(Point{3, 4}, {Variant(7.0), Variant(std::int32_t{4}), Variant("b")});
    fc->setSpatialReference(wgs84());
    return fc;
}

// Hands out feature classes by path, as a file reader would read them; records each request
// as "path|query|crs".
class MemoryLoader final : public ProjectDataLoader {
public:
    LoadedSource loadInCrs(const DataSource& source, const std::string& query, const std::string& crs) const override {
        asked.push_back(source.path + "|" + query + "|" + crs);
        const auto found = classes.find(fs::path(source.path).lexically_normal().string());
        if (found == classes.end()) {
            return {nullptr, "The data source " + source.path + " does not exist."};
        }
        return {found->second, ""};
    }
    std::map<std::string, std::shared_ptr<FeatureClass>> classes;
    mutable std::vector<std::string> asked;
};

// A fresh folder per test, removed afterwards, holding maps/data/cities.geojson and
// maps/towns.gpkg that `loader` serves.
class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest() {
        fs::remove_all(root);
        fs::create_directories(root / "maps" / "data");
        for (const char* name : {"maps/data/cities.geojson", "maps/towns.gpkg"}) {
            std::ofstream(root / name) << "{}";
            loader->classes[(root / name).lexically_normal().string()] = cities();
        }
    }
    ~DataFolderTest() override { fs::remove_all(root); }

    std::string path(const std::string& name) const { return (root / name).string(); }
    // A feature layer on one of the two files, read from it.
    std::shared_ptr<FeatureLayer> layerOn(const std::string& file, const std::string& name,
                                          std::shared_ptr<FeatureRenderer> renderer = nullptr) const {
        auto layer = std::make_shared<FeatureLayer>(name, loader->classes.at(path(file)));
        layer->setDataSource({path(file), "cities"});
        layer->setRenderer(std::move(renderer));
        return layer;
    }

    fs::path root = fs::temp_directory_path() / ("kp-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::shared_ptr<MemoryLoader> loader = std::make_shared<MemoryLoader>();
};

}  // namespace kartoplot::host::samples
