#include "host/persistence.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <set>

#include "errors/error_handling.h"
#include "host/elements.h"
#include "host/file_container.h"
#include "host/map.h"
#include "host/symbols.h"

namespace kartoplot::host {
namespace {

namespace fs = std::filesystem;

// Every field away from its default, so a field the writer or the reader skips shows.
std::shared_ptr<SimpleLineSymbol> line(std::uint8_t red) {
    auto s = std::make_shared<SimpleLineSymbol>();
    s->color = {red, 20, 30};
    s->width = 2.5;
    s->style = LineStyle::DashDot;
    return s;
}

std::shared_ptr<SimpleFillSymbol> fill(std::uint8_t red) {
    auto s = std::make_shared<SimpleFillSymbol>();
    s->color = {red, 200, 100};
    s->style = FillStyle::Cross;
    s->outline = line(red);
    return s;
}

std::shared_ptr<SimpleMarkerSymbol> marker() {
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

std::shared_ptr<TextSymbol> text() {
    auto s = std::make_shared<TextSymbol>();
    s->font = Font{"Liberation Sans Narrow", 9.5, true, true, true, true};
    s->color = {9, 8, 7};
    s->horizontalAlignment = HorizontalAlignment::Right;
    s->verticalAlignment = VerticalAlignment::Baseline;
    s->angle = -15;
    s->previewText = "Пример";
    return s;
}

std::shared_ptr<BarChartSymbol> chart(const std::shared_ptr<FillSymbol>& shared) {
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

std::shared_ptr<Element> named(std::shared_ptr<Element> e, const char* name, Geometry g) {
    e->setName(name);
    e->setGeometry(std::move(g));
    return e;
}

// One sample of every class hostClasses() knows, each with every field set.
std::vector<std::shared_ptr<HostObject>> samples() {
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

    auto data = std::make_shared<PropertySet>();
    data->setProperty("LayerName", Variant("Города"));
    data->setProperty("#Vmax#", Variant(100.0));
    data->setProperty("pop", Variant("<Null>"));

    auto markerElement = std::make_shared<MarkerElement>();
    markerElement->symbol = chart(fill(9));
    markerElement->setCustomProperty(Variant(data));
    auto textElement = std::make_shared<TextElement>();
    textElement->text = "12,5";
    textElement->symbol = text();
    textElement->scaleText = false;
    auto lineElement = std::make_shared<LineElement>();
    lineElement->symbol = cartographic;
    auto polygonElement = std::make_shared<PolygonElement>();
    polygonElement->symbol = fill(10);

    auto inner = std::make_shared<GroupElement>();
    inner->addElement(named(textElement, "label", Point{1, 2}));
    inner->addElement(named(lineElement, "", Polyline{{{{0, 0}, {1, 1}}, {{2, 2}, {3, 5}}}}));
    auto group = std::make_shared<GroupElement>();
    group->setName("Moscow");
    group->setCustomProperty(Variant(std::int32_t{7}));
    group->addElement(named(markerElement, "Moscow", Point{37.6, 55.75}));
    group->addElement(inner);
    group->addElement(named(polygonElement, "area", Polygon{{{{0, 0}, {4, 0}, {4, 3}}}}));
    group->addElement(named(std::make_shared<MarkerElement>(), "box", Envelope(1, 2, 3, 4)));

    auto set = std::make_shared<PropertySet>();
    set->setProperty("Graphics", Variant(group));
    set->setProperty("Scale", Variant(25000.0));

    return {set,
            std::make_shared<SpatialReference>("WGS 84", "GEOGCS[\"WGS 84\"]", MapUnits::Degrees),
            marker(), line(1), cartographic, fill(2), multi, markerFill, picture, lineFill, text(),
            chart(fill(4)), chart(fill(4))->background, markerElement, textElement, lineElement,
            polygonElement, group};
}

TEST(Persistence, EveryHostClassRoundTripsToAnEqualObject) {
    std::set<std::string> covered;
    for (const auto& sample : samples()) {
        SCOPED_TRACE(sample->className());
        covered.insert(sample->className());
        const std::string bytes = encodeObject(*sample);
        const std::shared_ptr<HostObject> back = decodeObject(bytes);
        ASSERT_NE(back, nullptr);
        EXPECT_NE(back, sample) << "a new object is built";
        // The comparison catches a field the writer drops; writing again catches one the
        // reader drops (it would come back at its default).
        EXPECT_TRUE(equalObjects(sample.get(), back.get()));
        EXPECT_EQ(encodeObject(*back), bytes);
        // ... and the comparison is not blind: the class read from no fields (its defaults) differs.
        const auto definition = nlohmann::json::array({sample->className(), nlohmann::json::object()});
        const auto defaults = nlohmann::json::array({{9, 0}, nlohmann::json::array({definition})});
        const auto fresh = decodeObject(wrapContainer(serializeBody(defaults)));
        EXPECT_FALSE(equalObjects(sample.get(), fresh.get()));
    }
    const auto names = hostClasses().names();
    EXPECT_EQ(covered, std::set<std::string>(names.begin(), names.end())) << "a class without a sample";
}

TEST(Persistence, ComparisonSeesADifferenceDeepInsideAGroup) {
    const auto chartOf = [](GroupElement& g) {
        return std::dynamic_pointer_cast<BarChartSymbol>(std::dynamic_pointer_cast<MarkerElement>(g.element(0))->symbol);
    };
    const std::vector<std::pair<const char*, std::function<void(GroupElement&)>>> changes = {
        {"member name", [](GroupElement& g) { g.element(0)->setName("Kazan"); }},
        {"chart value", [&](GroupElement& g) { chartOf(g)->values[1] = 3; }},
        {"shared fill colour", [&](GroupElement& g) { std::dynamic_pointer_cast<FillSymbol>(chartOf(g)->symbols.element(0))->color.blue = 1; }},
        {"16 instead of 32 bits", [](GroupElement& g) { g.setCustomProperty(Variant(std::int16_t{7})); }},
        {"attached data", [](GroupElement& g) {
             g.element(0)->customProperty().objectAs<PropertySet>()->setProperty("pop", Variant(std::int16_t{1}));
         }},
        {"member geometry", [](GroupElement& g) { moveElement(*g.element(2), 1e-9, 0); }},
        {"member count", [](GroupElement& g) { g.deleteElement(*g.element(3)); }},
    };
    const auto base = samples().back();
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        const auto other = samples().back();
        ASSERT_TRUE(equalObjects(base.get(), other.get()));
        change(dynamic_cast<GroupElement&>(*other));
        EXPECT_FALSE(equalObjects(base.get(), other.get()));
    }
}

TEST(Persistence, PropertySetKeepsEntryOrderKindsAndSpelling) {
    auto nested = std::make_shared<PropertySet>();
    nested->setProperty("SymbolCount", Variant(std::int32_t{2}));
    PropertySet set;
    const std::vector<std::pair<std::string, Variant>> entries = {
        {"TxtMinValue", Variant("0,5")},
        {"OpChartPosition", Variant(std::int16_t{13})},
        {"Count32", Variant(std::int32_t{13})},
        {"empty", Variant()},
        {"null", Variant::null()},
        {"shortLow", Variant(std::numeric_limits<std::int16_t>::min())},
        {"longHigh", Variant(std::numeric_limits<std::int32_t>::max())},
        {"CmdLeaderColor", Variant("-2147483643")},
        {"double", Variant(0.1)},
        {"date", Variant(Date{45000.25})},
        {"Chk3D", Variant(true)},
        {"zero", Variant(false)},
        {"text with NUL", Variant(std::string("a\0b", 3))},
        {"nested", Variant(nested)},
        {"noObject", Variant(std::shared_ptr<HostObject>())},
        {"AAA", Variant(-0.0)},
    };
    for (const auto& [name, value] : entries) {
        set.setProperty(name, value);
    }
    const auto back = decodeObject(encodeObject(set));
    const auto* read = dynamic_cast<const PropertySet*>(back.get());
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->count(), static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(entries[i].first);
        EXPECT_EQ(read->names()[i], entries[i].first);
        EXPECT_EQ(read->values()[i].kind(), entries[i].second.kind());
        EXPECT_TRUE(equalValues(read->values()[i], entries[i].second)) << read->values()[i];
    }
    EXPECT_TRUE(std::signbit(read->getProperty("AAA").toDouble()));
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
    registry.addClass<Bookmark>(
        "Bookmark",
        [](const Bookmark& b, FieldWriter& w) {
            w.putText("title", b.title);
            w.putObject("symbol", b.symbol);
        },
        [](Bookmark& b, const FieldReader& r) {
            r.getText("title", b.title);
            r.getObject("symbol", b.symbol);
        },
        [](const Bookmark& a, const Bookmark& b, const ObjectComparer& c) {
            return a.title == b.title && c.objects(a.symbol, b.symbol);
        });
    EXPECT_THROW(registry.addClass<Bookmark>("Bookmark", {}, {}, {}), HostError);

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

TEST(Persistence, WhatCannotBeReadBackIsNotWritten) {
    auto loop = std::make_shared<PropertySet>();
    loop->setProperty("self", Variant(loop));
    auto deep = std::make_shared<PropertySet>();
    for (int i = 0; i < 80; ++i) {
        auto outer = std::make_shared<PropertySet>();
        outer->setProperty("inner", Variant(deep));
        deep = outer;
    }
    auto badPoint = std::make_shared<MarkerElement>();
    badPoint->setGeometry(Point{std::nan(""), 1});
    auto badCallout = std::make_shared<LineCallout>();
    badCallout->anchorPoint = {std::numeric_limits<double>::infinity(), 0};

    const std::vector<std::pair<std::shared_ptr<HostObject>, const char*>> cases = {
        {loop, "contains itself"},
        {deep, "nested deeper than 64"},
        {badPoint, "not finite"},
        {badCallout, "not finite"},
    };
    for (const auto& [object, expected] : cases) {
        SCOPED_TRACE(expected);
        try {
            encodeObject(*object);
            ADD_FAILURE() << "written";
        } catch (const HostError& e) {
            EXPECT_NE(e.description().find(expected), std::string::npos) << e.description();
        }
    }
    loop->removeProperty("self");  // releases the cycle
}

class PropertySetFile : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kartoplot-persistence-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const char* name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

TEST_F(PropertySetFile, WritesAndReadsBackAndAFailedWriteKeepsTheOldFile) {
    const auto set = std::dynamic_pointer_cast<PropertySet>(samples().front());
    writePropertySetFile(*set, path("g.obj"));
    const auto back = readPropertySetFile(path("g.obj"));
    EXPECT_TRUE(equalObjects(set.get(), back.get()));

    const auto before = fs::file_size(path("g.obj"));
    auto loop = std::make_shared<PropertySet>();
    loop->setProperty("self", Variant(loop));
    EXPECT_THROW(writePropertySetFile(*loop, path("g.obj")), HostError);
    loop->removeProperty("self");
    EXPECT_EQ(fs::file_size(path("g.obj")), before);
    EXPECT_TRUE(equalObjects(set.get(), readPropertySetFile(path("g.obj")).get()));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1) << "no temporary left";
}

TEST_F(PropertySetFile, UnreadableFilesAreRefusedInPlainWords) {
    std::ofstream(path("text.par")) << "TxtMinValue=0";
    writePropertySetFile(PropertySet(), path("empty.par"));
    std::ofstream(path("marker.obj"), std::ios::binary) << encodeObject(*marker());
    const std::vector<std::tuple<std::string, std::int32_t, const char*>> cases = {
        {path("missing.par"), errnum::kFileNotFound, "Cannot read"},
        {folder_.string(), errnum::kFileIo, "folder"},
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
