#include "host/persistence.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <set>

#include "errors/error_handling.h"
#include "host/file_container.h"
#include "tests/host/persistence_samples.h"

namespace kartoplot::host {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace samples;

// The object a file holding one [class, fields] definition reads as.
std::shared_ptr<HostObject> fromFields(const std::string& className, json fields) {
    const json definition = json::array({className, std::move(fields)});
    return decodeObject(wrapContainer(serializeBody(json::array({{9, 0}, json::array({definition})}))),
                        projectClasses());
}

TEST(Persistence, EveryClassRoundTripsToAnEqualObject) {
    const ClassRegistry& registry = projectClasses();
    std::set<std::string> covered;
    for (const auto& sample : everyClass()) {
        SCOPED_TRACE(sample->className());
        covered.insert(sample->className());
        const std::string bytes = encodeObject(*sample, registry);
        const std::shared_ptr<HostObject> back = decodeObject(bytes, registry);
        ASSERT_NE(back, nullptr);
        EXPECT_NE(back, sample) << "a new object is built";
        // The comparison catches a field the writer drops; writing again catches one the
        // reader drops (it would come back at its default).
        EXPECT_TRUE(equalObjects(sample.get(), back.get(), registry));
        EXPECT_EQ(encodeObject(*back, registry), bytes);
        // ... and the comparison is not blind: the class read from no fields (its defaults)
        // differs, where a class may be read without fields at all.
        if (std::set<std::string>{"FeatureLayer", "MapFeatureLayer", "Map", "MapDocument"}.contains(sample->className())) {
            EXPECT_THROW(fromFields(sample->className(), json::object()), HostError) << "read without its source or maps";
        } else {
            EXPECT_FALSE(equalObjects(sample.get(), fromFields(sample->className(), json::object()).get(), registry));
        }
    }
    const auto names = registry.names();
    EXPECT_EQ(covered, std::set<std::string>(names.begin(), names.end())) << "a class without a sample";
}

// Files of an older minor version lack fields: each field left out reads as the class's
// default, whatever the order of the others. (The classes that need a field to be read at all
// are left out here.)
TEST(Persistence, AFieldLeftOutReadsAsTheClassDefault) {
    const ClassRegistry& registry = projectClasses();
    const auto bodyOf = [](const std::string& bytes) { return parseBody(openContainer(bytes, "test"), "test"); };
    const auto rootFields = [](json& body) -> json& { return body[1][body[0][1].get<std::size_t>()][1]; };
    for (const auto& sample : everyClass()) {
        const std::string name = sample->className();
        if (std::set<std::string>{"FeatureLayer", "MapFeatureLayer", "Map", "MapDocument"}.contains(name)) {
            continue;
        }
        json defaultsBody = bodyOf(encodeObject(*fromFields(name, json::object()), registry));
        const json defaults = rootFields(defaultsBody);
        json full = bodyOf(encodeObject(*sample, registry));
        for (const auto& field : rootFields(full).items()) {
            const std::string& key = field.key();
            SCOPED_TRACE(name + "." + key);
            json without = full;
            rootFields(without).erase(key);
            const auto read = decodeObject(wrapContainer(serializeBody(without)), registry);
            json again = bodyOf(encodeObject(*read, registry));
            EXPECT_EQ(rootFields(again).contains(key), defaults.contains(key));
            if (defaults.contains(key)) {
                EXPECT_EQ(rootFields(again)[key], defaults[key]);
            }
        }
    }
}

TEST(Persistence, ComparisonSeesEveryKindOfDifference) {
    const auto chartOf = [](HostObject& o) {
        auto& group = dynamic_cast<GroupElement&>(o);
        return std::static_pointer_cast<BarChartSymbol>(std::static_pointer_cast<MarkerElement>(group.element(0))->symbol);
    };
    const auto map = [](HostObject& o) -> MapRecord& { return dynamic_cast<MapRecord&>(o); };
    const std::vector<std::tuple<const char*, std::string, std::function<void(HostObject&)>>> changes = {
        {"member name", "GroupElement", [](HostObject& o) { dynamic_cast<GroupElement&>(o).element(0)->setName("Kazan"); }},
        {"chart value", "GroupElement", [&](HostObject& o) { chartOf(o)->values[1] = 3; }},
        {"shared fill colour", "GroupElement",
         [&](HostObject& o) { std::static_pointer_cast<FillSymbol>(chartOf(o)->symbols.element(0))->color.blue = 1; }},
        {"a missing bar symbol", "GroupElement", [&](HostObject& o) { chartOf(o)->symbols.remove(2); }},
        {"16 instead of 32 bits", "GroupElement",
         [](HostObject& o) { dynamic_cast<GroupElement&>(o).setCustomProperty(Variant(std::int16_t{7})); }},
        {"attached data", "GroupElement", [](HostObject& o) {
             dynamic_cast<GroupElement&>(o).element(0)->customProperty().objectAs<PropertySet>()->setProperty(
                 "pop", Variant(std::int16_t{1}));
         }},
        {"member geometry", "GroupElement", [](HostObject& o) { moveElement(*dynamic_cast<GroupElement&>(o).element(2), 1e-9, 0); }},
        {"member count", "GroupElement",
         [](HostObject& o) { auto& g = dynamic_cast<GroupElement&>(o); g.deleteElement(*g.element(3)); }},
        {"a size that is NaN", "SimpleMarkerSymbol",
         [](HostObject& o) { dynamic_cast<SimpleMarkerSymbol&>(o).size = std::nan(""); }},
        {"font in a nested map", "TextSymbol", [](HostObject& o) { dynamic_cast<TextSymbol&>(o).font.italic = false; }},
        {"line template", "CartographicLineSymbol",
         [](HostObject& o) { dynamic_cast<CartographicLineSymbol&>(o).lineTemplate.pattern[1].gap = 0; }},
        {"entry order", "PropertySet", [](HostObject& o) {
             auto& set = dynamic_cast<PropertySet&>(o);
             const Variant graphics = set.getProperty("Graphics");
             set.removeProperty("Graphics");
             set.setProperty("Graphics", graphics);
         }},
        {"spatial reference", "SpatialReference", [](HostObject& o) {
             dynamic_cast<SpatialReference&>(o) = SpatialReference("WGS 84", "GEOGCS[\"WGS 84\"]", MapUnits::Metres);
         }},
        {"view scale", "Map", [&](HostObject& o) { map(o).view.scale *= 2; }},
        {"layer source", "Map",
         [&](HostObject& o) { std::static_pointer_cast<MapFeatureLayerRecord>(map(o).layers[0])->dataSource.layerName = ""; }},
        {"default map frame", "PageLayout", [](HostObject& o) { dynamic_cast<PageLayoutRecord&>(o).mapFrame.reset(); }},
    };
    for (const auto& [what, className, change] : changes) {
        SCOPED_TRACE(what);
        const auto base = sampleOf(className);
        const auto other = sampleOf(className);
        ASSERT_TRUE(equalObjects(base.get(), other.get(), projectClasses()));
        change(*other);
        EXPECT_FALSE(equalObjects(base.get(), other.get(), projectClasses()));
    }
}

TEST(Persistence, ASharedObjectIsWrittenOnceAndReadBackShared) {
    const auto shared = fill(1);
    PropertySet set;
    set.setProperty("a", Variant(chart(shared)));
    set.setProperty("b", Variant(chart(shared)));
    set.setProperty("again", Variant(shared));
    const auto back = std::dynamic_pointer_cast<PropertySet>(decodeObject(encodeObject(set)));
    ASSERT_NE(back, nullptr);
    const auto a = back->getProperty("a").objectAs<BarChartSymbol>();
    const auto b = back->getProperty("b").objectAs<BarChartSymbol>();
    EXPECT_EQ(a->symbols.element(0), b->symbols.element(0));
    EXPECT_EQ(a->symbols.element(0), back->getProperty("again").object());
    EXPECT_NE(a->symbols.element(1), b->symbols.element(1)) << "equal but distinct objects stay distinct";
}

// A class another module adds: the registry is open, and a reader without it refuses it by name.
class Bookmark final : public HostObject {
public:
    std::string className() const override { return "Bookmark"; }
    std::string title;
    std::shared_ptr<FillSymbol> symbol;
};

TEST(Persistence, RegistryCopiesTakeNewClassesThatOthersRefuseByName) {
    ClassRegistry registry = hostClasses();
    const auto fields = [](auto& v, auto& b) {
        v.text("title", b.title);
        v.object("symbol", b.symbol);
    };
    registry.addFields<Bookmark>("Bookmark", fields);
    EXPECT_THROW(registry.addFields<Bookmark>("Bookmark", fields), HostError) << "a name taken";
    EXPECT_THROW(registry.addClass<Bookmark>("Other", {}, {}, {}), HostError) << "functions missing";

    auto mark = std::make_shared<Bookmark>();
    mark->title = "north";
    mark->symbol = fill(1);
    const std::string bytes = encodeObject(*mark, registry);
    EXPECT_TRUE(equalObjects(mark.get(), decodeObject(bytes, registry).get(), registry));
    try {
        decodeObject(bytes);
        ADD_FAILURE() << "an unknown class was read";
    } catch (const HostError& e) {
        EXPECT_NE(e.description().find("unknown class \"Bookmark\""), std::string::npos) << e.description();
    }
    EXPECT_THROW(encodeObject(*mark), HostError) << "the host's registry cannot write it either";
}

// Whatever a reader would refuse, the writer refuses to store: no file is made that cannot be
// opened again.
TEST(Persistence, WhatCannotBeReadBackIsNotWritten) {
    auto loop = std::make_shared<PropertySet>();
    loop->setProperty("self", Variant(loop));
    auto deep = std::make_shared<PropertySet>();
    for (int i = 0; i < 80; ++i) {
        auto outer = std::make_shared<PropertySet>();
        outer->setProperty("inner", Variant(deep));
        deep = outer;
    }
    const auto spoilt = [](const std::string& className, const std::function<void(HostObject&)>& spoil) {
        auto object = sampleOf(className);
        spoil(*object);
        return object;
    };
    const auto map = [](HostObject& o) -> MapRecord& { return dynamic_cast<MapRecord&>(o); };
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<std::shared_ptr<HostObject>, const char*>> cases = {
        {loop, "contains itself"},
        {deep, "nested deeper than 64"},
        {spoilt("MarkerElement", [&](HostObject& o) { dynamic_cast<Element&>(o).setGeometry(Point{kNaN, 1}); }), "not finite"},
        {spoilt("LineCallout", [](HostObject& o) {
             dynamic_cast<LineCallout&>(o).anchorPoint.x = kInfinity;
         }), "not finite"},
        {spoilt("FeatureLayer", [](HostObject& o) { dynamic_cast<LayerRecord&>(o).name = std::string("a\0b", 3); }),
         "field \"name\" of a FeatureLayer holds a NUL character"},
        {spoilt("GroupLayer", [](HostObject& o) { dynamic_cast<GroupLayerRecord&>(o).layers.push_back(nullptr); }),
         "field \"layers\" of a GroupLayer holds a missing object"},
        {spoilt("GraphicsLayer", [](HostObject& o) { dynamic_cast<GraphicsLayerRecord&>(o).referenceScale = -1; }),
         "field \"referenceScale\" of a GraphicsLayer holds a number outside"},
        {spoilt("Map", [&](HostObject& o) { map(o).view.scale = 0; }), "field \"scale\" of a Map holds a number outside"},
        {spoilt("Map", [&](HostObject& o) { map(o).view.center.y = kNaN; }), "a point of a Map"},
        {spoilt("Map", [&](HostObject& o) { map(o).view.deviceWidth = -1; }), "outside 0 to 1048576"},
        {spoilt("PageLayout", [](HostObject& o) { dynamic_cast<PageLayoutRecord&>(o).width = kNaN; }),
         "field \"width\" of a PageLayout"},
        {spoilt("PageLayout", [](HostObject& o) { dynamic_cast<PageLayoutRecord&>(o).mapFrame = Envelope(0, 0, 1, kInfinity); }),
         "envelope of a PageLayout is not finite"},
    };
    for (const auto& [object, expected] : cases) {
        SCOPED_TRACE(expected);
        try {
            encodeObject(*object, projectClasses());
            ADD_FAILURE() << "written";
        } catch (const HostError& e) {
            EXPECT_NE(e.description().find(expected), std::string::npos) << e.description();
        }
    }
    loop->removeProperty("self");  // releases the cycle
}

using PropertySetFile = DataFolderTest;

TEST_F(PropertySetFile, WritesAndReadsBackAndAFailedWriteKeepsTheOldFile) {
    const auto set = std::dynamic_pointer_cast<PropertySet>(sampleOf("PropertySet"));
    writePropertySetFile(*set, path("g.obj"));
    EXPECT_TRUE(equalObjects(set.get(), readPropertySetFile(path("g.obj")).get()));

    const auto before = fs::file_size(path("g.obj"));
    auto loop = std::make_shared<PropertySet>();
    loop->setProperty("self", Variant(loop));
    EXPECT_THROW(writePropertySetFile(*loop, path("g.obj")), HostError);
    loop->removeProperty("self");
    EXPECT_EQ(fs::file_size(path("g.obj")), before);
    EXPECT_TRUE(equalObjects(set.get(), readPropertySetFile(path("g.obj")).get()));
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 2) << "maps and g.obj, no temporary";
}

TEST_F(PropertySetFile, UnreadableFilesAreRefusedInPlainWords) {
    std::ofstream(path("text.par")) << "TxtMinValue=0";
    writePropertySetFile(PropertySet(), path("empty.par"));
    std::ofstream(path("marker.obj"), std::ios::binary) << encodeObject(*marker());
    const std::vector<std::tuple<std::string, std::int32_t, const char*>> cases = {
        {path("missing.par"), errnum::kFileNotFound, "Cannot read"},
        {root.string(), errnum::kFileIo, "folder"},
        {path("text.par"), errnum::kBadFileFormat, "not a Kartoplot data file"},
        {path("marker.obj"), errnum::kBadFileFormat, "holds no property set"},
    };
    for (const auto& [file, number, expected] : cases) {
        SCOPED_TRACE(file);
        try {
            readPropertySetFile(file);
            ADD_FAILURE() << "read";
        } catch (const HostError& e) {
            EXPECT_EQ(e.number(), number);
            EXPECT_NE(e.description().find(expected), std::string::npos) << e.description();
            EXPECT_NE(e.description().find(file), std::string::npos) << "names the file";
        }
    }
    EXPECT_EQ(readPropertySetFile(path("empty.par"))->count(), 0);
}

}  // namespace
}  // namespace kartoplot::host
