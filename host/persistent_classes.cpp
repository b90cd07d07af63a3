// The fields of the host's own persistable classes, registered in hostClasses()
// (host/persistence.h). docs/file-formats.md lists the same fields for readers of the files.
#include "errors/error_handling.h"
#include "host/elements.h"
#include "host/map.h"
#include "host/persistence.h"
#include "host/symbols.h"

namespace kartoplot::host {

namespace {

// ---- symbols -------------------------------------------------------------------------------
// Each `...Fields(v, s)` lists the fields of one class for any field visitor; `s` is const
// when writing or comparing.

template <class V, class S>
void markerFields(V& v, S& s) {
    v.number("size", s.size);
    v.color("color", s.color);
    v.number("angle", s.angle);
    v.number("xOffset", s.xOffset);
    v.number("yOffset", s.yOffset);
}

template <class V, class S>
void lineFields(V& v, S& s) {
    v.color("color", s.color);
    v.number("width", s.width);
}

template <class V, class S>
void fillFields(V& v, S& s) {
    v.color("color", s.color);
    v.object("outline", s.outline);
}

void addSymbols(ClassRegistry& registry) {
    registry.addFields<SimpleMarkerSymbol>("SimpleMarkerSymbol", [](auto& v, auto& s) {
        markerFields(v, s);
        v.enumeration("style", s.style, MarkerStyle::Circle, MarkerStyle::Diamond);
        v.boolean("outline", s.outline);
        v.color("outlineColor", s.outlineColor);
        v.number("outlineSize", s.outlineSize);
    });
    registry.addFields<SimpleLineSymbol>("SimpleLineSymbol", [](auto& v, auto& s) {
        lineFields(v, s);
        v.enumeration("style", s.style, LineStyle::Solid, LineStyle::InsideFrame);
    });
    registry.addFields<CartographicLineSymbol>("CartographicLineSymbol", [](auto& v, auto& s) {
        lineFields(v, s);
        v.enumeration("cap", s.cap, LineCap::Butt, LineCap::Square);
        v.enumeration("join", s.join, LineJoin::Miter, LineJoin::Bevel);
        v.lineTemplate("template", s.lineTemplate);
    });
    registry.addFields<SimpleFillSymbol>("SimpleFillSymbol", [](auto& v, auto& s) {
        fillFields(v, s);
        v.enumeration("style", s.style, FillStyle::Solid, FillStyle::DiagonalCross);
    });
    registry.addFields<MultiLayerFillSymbol>("MultiLayerFillSymbol", [](auto& v, auto& s) {
        fillFields(v, s);
        v.objects("layers", s.layers);
    });
    registry.addFields<MarkerFillSymbol>("MarkerFillSymbol", [](auto& v, auto& s) {
        fillFields(v, s);
        v.object("marker", s.marker);
        v.number("xSeparation", s.xSeparation);
        v.number("ySeparation", s.ySeparation);
    });
    registry.addFields<PictureFillSymbol>("PictureFillSymbol", [](auto& v, auto& s) {
        fillFields(v, s);
        v.text("picturePath", s.picturePath);
        v.bytes("picture", s.picture);
        v.number("xScale", s.xScale);
        v.number("yScale", s.yScale);
    });
    registry.addFields<LineFillSymbol>("LineFillSymbol", [](auto& v, auto& s) {
        fillFields(v, s);
        v.object("line", s.line);
        v.number("angle", s.angle);
        v.number("separation", s.separation);
        v.number("offset", s.offset);
    });
    registry.addFields<TextSymbol>("TextSymbol", [](auto& v, auto& s) {
        v.font("font", s.font);
        v.color("color", s.color);
        v.enumeration("horizontalAlignment", s.horizontalAlignment, HorizontalAlignment::Left,
                      HorizontalAlignment::Full);
        v.enumeration("verticalAlignment", s.verticalAlignment, VerticalAlignment::Top, VerticalAlignment::Bottom);
        v.number("angle", s.angle);
        v.text("previewText", s.previewText);
    });
    registry.addFields<LineCallout>("LineCallout", [](auto& v, auto& s) {
        v.point("anchorPoint", s.anchorPoint);
        v.number("leaderTolerance", s.leaderTolerance);
        v.number("gap", s.gap);
        v.object("leaderLine", s.leaderLine);
    });
    registry.addFields<BarChartSymbol>("BarChartSymbol", [](auto& v, auto& s) {
        markerFields(v, s);
        v.objects("symbols", s.symbols);
        v.numbers("values", s.values);
        v.number("maxValue", s.maxValue);
        v.boolean("display3D", s.display3D);
        v.number("thickness", s.thickness);
        v.number("barWidth", s.barWidth);
        v.number("barSpacing", s.barSpacing);
        v.boolean("verticalBars", s.verticalBars);
        v.boolean("showAxes", s.showAxes);
        v.object("axes", s.axes);
        v.object("background", s.background);
    });
}

// ---- elements ------------------------------------------------------------------------------

// Name and custom property are written only when set; a group's geometry is its members'.
template <class V, class E>
void elementFields(V& v, E& e) {
    v.property("name", e, &Element::name, &Element::setName, EmptyRule::Omitted);
    v.property("customProperty", e, &Element::customProperty, &Element::setCustomProperty, EmptyRule::Omitted);
    if (e.kind() != ElementKind::Group) {
        v.property("geometry", e, &Element::geometry, &Element::setGeometry);
    }
}

// A leaf element kind whose only own field is its symbol.
template <class E>
void addSymbolElement(ClassRegistry& registry, const char* name) {
    registry.addFields<E>(name, [](auto& v, auto& e) {
        elementFields(v, e);
        v.object("symbol", e.symbol);
    });
}

// An element belongs to one group; the file may not place it in two.
void addMembers(GroupElement& group, std::vector<std::shared_ptr<Element>> members, const FieldReader& r) {
    group.reserve(static_cast<int>(members.size()));
    for (auto& member : members) {
        if (!member || member->parent() != nullptr || member->container() != nullptr) {
            r.fail("members", member ? "places an element in two groups" : "holds a missing element");
        }
        group.addElement(std::move(member));
    }
}

void addElements(ClassRegistry& registry) {
    addSymbolElement<MarkerElement>(registry, "MarkerElement");
    addSymbolElement<LineElement>(registry, "LineElement");
    addSymbolElement<PolygonElement>(registry, "PolygonElement");
    registry.addFields<TextElement>("TextElement", [](auto& v, auto& e) {
        elementFields(v, e);
        v.text("text", e.text);
        v.object("symbol", e.symbol);
        v.boolean("scaleText", e.scaleText);
    });
    registry.addFields<GroupElement>("GroupElement", [](auto& v, auto& e) {
        elementFields(v, e);
        v.property("members", e, &GroupElement::members, addMembers);
    });
}

// ---- property sets and spatial references --------------------------------------------------

void addPropertySet(ClassRegistry& registry) {
    registry.addFields<PropertySet>("PropertySet", [](auto& v, auto& s) { v.entries("entries", s); });
}

// A spatial reference cannot change once made, so it is built from its three fields at once
// instead of being filled field by field.
void addSpatialReference(ClassRegistry& registry) {
    registry.add(ClassCodec{
        "SpatialReference",
        [](const HostObject& object, FieldWriter& w) {
            const auto* s = dynamic_cast<const SpatialReference*>(&object);
            if (s == nullptr) {
                throw HostError(errnum::kInvalidCall, "Persistence",
                                "The data cannot be stored: an object calls itself SpatialReference but is of "
                                "another class.");
            }
            w.putText("name", s->name());
            w.putText("definition", s->definition());
            w.putEnum("units", s->units());
        },
        [](const FieldReader& r) -> std::shared_ptr<HostObject> {
            std::string name;
            std::string definition;
            MapUnits units = MapUnits::Unknown;
            r.getText("name", name);
            r.getText("definition", definition);
            r.getEnum("units", units, MapUnits::Unknown, MapUnits::Kilometres);
            return std::make_shared<SpatialReference>(std::move(name), std::move(definition), units);
        },
        [](const HostObject& a, const HostObject& b, const ObjectComparer&) {
            const auto* x = dynamic_cast<const SpatialReference*>(&a);
            const auto* y = dynamic_cast<const SpatialReference*>(&b);
            return x != nullptr && y != nullptr && *x == *y;
        }});
}

}  // namespace

const ClassRegistry& hostClasses() {
    static const ClassRegistry registry = [] {
        ClassRegistry r;
        addPropertySet(r);
        addSpatialReference(r);
        addSymbols(r);
        addElements(r);
        return r;
    }();
    return registry;
}

}  // namespace kartoplot::host
