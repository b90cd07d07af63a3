// The fields of the host's own persistable classes, registered in hostClasses()
// (host/persistence.h). docs/file-formats.md lists the same fields for readers of the files.
#include <cmath>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "errors/error_handling.h"
#include "host/elements.h"
#include "host/map.h"
#include "host/persistence.h"
#include "host/symbols.h"

namespace kartoplot::host {

namespace {

using json = nlohmann::json;

// Entries of one property set, at most; the host's sets hold a few dozen.
constexpr std::size_t kMaxPropertySetEntries = 16384;
constexpr std::size_t kColorParts = 4;  // red, green, blue, null

[[noreturn]] void cannotStore(const std::string& problem) {
    throw HostError(errnum::kInvalidCall, "Persistence", "The data cannot be stored: " + problem + ".");
}

// ---- plain composites ----------------------------------------------------------------------

void putColor(FieldWriter& w, std::string_view key, const Color& c) {
    w.field(key) = json::array({c.red, c.green, c.blue, c.isNull});
}

void getColor(const FieldReader& r, std::string_view key, Color& c) {
    const json* value = r.field(key);
    if (value == nullptr) {
        return;
    }
    if (!value->is_array() || value->size() != kColorParts || !(*value)[3].is_boolean()) {
        r.fail(key, "is no [red, green, blue, null] colour");
    }
    std::uint8_t parts[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        const json& part = (*value)[i];
        if (!part.is_number_unsigned() || part.get<std::uint64_t>() > 255) {
            r.fail(key, "holds a colour part outside 0 to 255");
        }
        parts[i] = static_cast<std::uint8_t>(part.get<std::uint64_t>());
    }
    c = Color{parts[0], parts[1], parts[2], (*value)[3].get<bool>()};
}

void putFont(FieldWriter& w, std::string_view key, const Font& f) {
    FieldWriter font = w.nested(key);
    font.putText("name", f.name);
    font.putNumber("size", f.size);
    font.putBoolean("bold", f.bold);
    font.putBoolean("italic", f.italic);
    font.putBoolean("underline", f.underline);
    font.putBoolean("strikethrough", f.strikethrough);
}

void getFont(const FieldReader& r, std::string_view key, Font& f) {
    const FieldReader font = r.nested(key);
    font.getText("name", f.name);
    font.getNumber("size", f.size);
    font.getBoolean("bold", f.bold);
    font.getBoolean("italic", f.italic);
    font.getBoolean("underline", f.underline);
    font.getBoolean("strikethrough", f.strikethrough);
}

bool finite(const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

void putPoint(FieldWriter& w, std::string_view key, const Point& p, const std::string& owner) {
    if (!finite(p)) {
        cannotStore("a point of a " + owner + " has a coordinate that is not finite");
    }
    w.putNumbers(key, {p.x, p.y});
}

// Flat [x0, y0, x1, y1, ...] lists of finite coordinates.
std::vector<Point> pointsOf(const FieldReader& r, std::string_view key, const json& list) {
    if (!list.is_array() || list.size() % 2 != 0) {
        r.fail(key, "holds no list of x, y coordinates");
    }
    std::vector<Point> points;
    points.reserve(list.size() / 2);
    for (std::size_t i = 0; i < list.size(); i += 2) {
        const json& x = list[i];
        const json& y = list[i + 1];
        if (!x.is_number() || !y.is_number() || !std::isfinite(x.get<double>()) || !std::isfinite(y.get<double>())) {
            r.fail(key, "holds a coordinate that is no finite number");
        }
        points.push_back({x.get<double>(), y.get<double>()});
    }
    return points;
}

void getPoint(const FieldReader& r, std::string_view key, Point& p) {
    if (const json* value = r.field(key)) {
        const std::vector<Point> points = pointsOf(r, key, *value);
        if (points.size() != 1) {
            r.fail(key, "holds no single point");
        }
        p = points.front();
    }
}

json pathsOf(const std::vector<std::vector<Point>>& paths, const std::string& owner) {
    json list = json::array();
    for (const auto& path : paths) {
        json flat = json::array();
        for (const Point& p : path) {
            if (!finite(p)) {
                cannotStore("the geometry of a " + owner + " has a coordinate that is not finite");
            }
            flat.push_back(p.x);
            flat.push_back(p.y);
        }
        list.push_back(std::move(flat));
    }
    return list;
}

// {"type": GeometryType code, "xy": [...]} for points and envelopes (an empty envelope has no
// "xy"), {"type", "paths": [[x, y, ...], ...]} for polylines (paths) and polygons (rings).
void putGeometry(FieldWriter& w, std::string_view key, const Geometry& g, const std::string& owner) {
    FieldWriter geometry = w.nested(key);
    geometry.putEnum("type", g.type());
    if (const Point* p = g.asPoint()) {
        putPoint(geometry, "xy", *p, owner);
    } else if (const Polyline* line = g.asPolyline()) {
        geometry.field("paths") = pathsOf(line->paths, owner);
    } else if (const Polygon* area = g.asPolygon()) {
        geometry.field("paths") = pathsOf(area->rings, owner);
    } else if (const Envelope* e = g.asEnvelope(); e != nullptr && !e->isEmpty()) {
        if (!finite(e->lowerLeft()) || !finite(e->upperRight())) {
            cannotStore("the envelope of a " + owner + " is not finite");
        }
        geometry.putNumbers("xy", {e->xMin(), e->yMin(), e->xMax(), e->yMax()});
    }
}

std::vector<std::vector<Point>> getPaths(const FieldReader& r) {
    std::vector<std::vector<Point>> paths;
    if (const json* list = r.field("paths")) {
        if (!list->is_array()) {
            r.fail("paths", "holds no list of paths");
        }
        paths.reserve(list->size());
        for (const json& path : *list) {
            paths.push_back(pointsOf(r, "paths", path));
        }
    }
    return paths;
}

void getGeometry(const FieldReader& r, std::string_view key, Geometry& g) {
    if (!r.has(key)) {
        return;
    }
    const FieldReader geometry = r.nested(key);
    GeometryType type = GeometryType::Null;
    geometry.getEnum("type", type, GeometryType::Null, GeometryType::Envelope);
    switch (type) {
        case GeometryType::Null: g = Geometry(); break;
        case GeometryType::Point: {
            Point p;
            getPoint(geometry, "xy", p);
            g = Geometry(p);
            break;
        }
        case GeometryType::Polyline: g = Geometry(Polyline{getPaths(geometry)}); break;
        case GeometryType::Polygon: g = Geometry(Polygon{getPaths(geometry)}); break;
        case GeometryType::Envelope: {
            std::vector<Point> corners;
            if (const json* xy = geometry.field("xy")) {
                corners = pointsOf(geometry, "xy", *xy);
                if (corners.size() != 2) {
                    geometry.fail("xy", "holds no two envelope corners");
                }
            }
            g = corners.empty() ? Geometry(Envelope())
                                : Geometry(Envelope(corners[0].x, corners[0].y, corners[1].x, corners[1].y));
            break;
        }
        case GeometryType::Multipoint: geometry.fail("type", "names multipoints, which elements do not use");
    }
}

void putLineTemplate(FieldWriter& w, std::string_view key, const LineTemplate& t) {
    FieldWriter lineTemplate = w.nested(key);
    lineTemplate.putNumber("interval", t.interval);
    std::vector<double> pattern;
    pattern.reserve(t.pattern.size() * 2);
    for (const auto& element : t.pattern) {
        pattern.push_back(element.mark);
        pattern.push_back(element.gap);
    }
    lineTemplate.putNumbers("pattern", pattern);
}

void getLineTemplate(const FieldReader& r, std::string_view key, LineTemplate& t) {
    const FieldReader lineTemplate = r.nested(key);
    lineTemplate.getNumber("interval", t.interval);
    std::vector<double> pattern;
    lineTemplate.getNumbers("pattern", pattern);
    if (pattern.size() % 2 != 0) {
        lineTemplate.fail("pattern", "holds no mark, gap pairs");
    }
    if (lineTemplate.has("pattern")) {
        t.pattern.clear();
        for (std::size_t i = 0; i < pattern.size(); i += 2) {
            t.pattern.push_back({pattern[i], pattern[i + 1]});
        }
    }
}

// ---- symbols -------------------------------------------------------------------------------

void putMarker(const MarkerSymbol& s, FieldWriter& w) {
    w.putNumber("size", s.size);
    putColor(w, "color", s.color);
    w.putNumber("angle", s.angle);
    w.putNumber("xOffset", s.xOffset);
    w.putNumber("yOffset", s.yOffset);
}
void getMarker(MarkerSymbol& s, const FieldReader& r) {
    r.getNumber("size", s.size);
    getColor(r, "color", s.color);
    r.getNumber("angle", s.angle);
    r.getNumber("xOffset", s.xOffset);
    r.getNumber("yOffset", s.yOffset);
}
bool sameMarker(const MarkerSymbol& a, const MarkerSymbol& b) {
    return a.size == b.size && a.color == b.color && a.angle == b.angle && a.xOffset == b.xOffset &&
           a.yOffset == b.yOffset;
}

void putLine(const LineSymbol& s, FieldWriter& w) {
    putColor(w, "color", s.color);
    w.putNumber("width", s.width);
}
void getLine(LineSymbol& s, const FieldReader& r) {
    getColor(r, "color", s.color);
    r.getNumber("width", s.width);
}
bool sameLine(const LineSymbol& a, const LineSymbol& b) { return a.color == b.color && a.width == b.width; }

void putFill(const FillSymbol& s, FieldWriter& w) {
    putColor(w, "color", s.color);
    w.putObject("outline", s.outline);
}
void getFill(FillSymbol& s, const FieldReader& r) {
    getColor(r, "color", s.color);
    r.getObject("outline", s.outline);
}
bool sameFill(const FillSymbol& a, const FillSymbol& b, const ObjectComparer& c) {
    return a.color == b.color && c.objects(a.outline, b.outline);
}

void addSymbols(ClassRegistry& registry) {
    registry.addClass<SimpleMarkerSymbol>(
        "SimpleMarkerSymbol",
        [](const SimpleMarkerSymbol& s, FieldWriter& w) {
            putMarker(s, w);
            w.putEnum("style", s.style);
            w.putBoolean("outline", s.outline);
            putColor(w, "outlineColor", s.outlineColor);
            w.putNumber("outlineSize", s.outlineSize);
        },
        [](SimpleMarkerSymbol& s, const FieldReader& r) {
            getMarker(s, r);
            r.getEnum("style", s.style, MarkerStyle::Circle, MarkerStyle::Diamond);
            r.getBoolean("outline", s.outline);
            getColor(r, "outlineColor", s.outlineColor);
            r.getNumber("outlineSize", s.outlineSize);
        },
        [](const SimpleMarkerSymbol& a, const SimpleMarkerSymbol& b, const ObjectComparer&) {
            return sameMarker(a, b) && a.style == b.style && a.outline == b.outline &&
                   a.outlineColor == b.outlineColor && a.outlineSize == b.outlineSize;
        });

    registry.addClass<SimpleLineSymbol>(
        "SimpleLineSymbol",
        [](const SimpleLineSymbol& s, FieldWriter& w) {
            putLine(s, w);
            w.putEnum("style", s.style);
        },
        [](SimpleLineSymbol& s, const FieldReader& r) {
            getLine(s, r);
            r.getEnum("style", s.style, LineStyle::Solid, LineStyle::InsideFrame);
        },
        [](const SimpleLineSymbol& a, const SimpleLineSymbol& b, const ObjectComparer&) {
            return sameLine(a, b) && a.style == b.style;
        });

    registry.addClass<CartographicLineSymbol>(
        "CartographicLineSymbol",
        [](const CartographicLineSymbol& s, FieldWriter& w) {
            putLine(s, w);
            w.putEnum("cap", s.cap);
            w.putEnum("join", s.join);
            putLineTemplate(w, "template", s.lineTemplate);
        },
        [](CartographicLineSymbol& s, const FieldReader& r) {
            getLine(s, r);
            r.getEnum("cap", s.cap, LineCap::Butt, LineCap::Square);
            r.getEnum("join", s.join, LineJoin::Miter, LineJoin::Bevel);
            getLineTemplate(r, "template", s.lineTemplate);
        },
        [](const CartographicLineSymbol& a, const CartographicLineSymbol& b, const ObjectComparer&) {
            return sameLine(a, b) && a.cap == b.cap && a.join == b.join && a.lineTemplate == b.lineTemplate;
        });

    registry.addClass<SimpleFillSymbol>(
        "SimpleFillSymbol",
        [](const SimpleFillSymbol& s, FieldWriter& w) {
            putFill(s, w);
            w.putEnum("style", s.style);
        },
        [](SimpleFillSymbol& s, const FieldReader& r) {
            getFill(s, r);
            r.getEnum("style", s.style, FillStyle::Solid, FillStyle::DiagonalCross);
        },
        [](const SimpleFillSymbol& a, const SimpleFillSymbol& b, const ObjectComparer& c) {
            return sameFill(a, b, c) && a.style == b.style;
        });

    registry.addClass<MultiLayerFillSymbol>(
        "MultiLayerFillSymbol",
        [](const MultiLayerFillSymbol& s, FieldWriter& w) {
            putFill(s, w);
            w.putObjects("layers", s.layers);
        },
        [](MultiLayerFillSymbol& s, const FieldReader& r) {
            getFill(s, r);
            r.getObjects("layers", s.layers);
        },
        [](const MultiLayerFillSymbol& a, const MultiLayerFillSymbol& b, const ObjectComparer& c) {
            return sameFill(a, b, c) && c.objectLists(a.layers, b.layers);
        });

    registry.addClass<MarkerFillSymbol>(
        "MarkerFillSymbol",
        [](const MarkerFillSymbol& s, FieldWriter& w) {
            putFill(s, w);
            w.putObject("marker", s.marker);
            w.putNumber("xSeparation", s.xSeparation);
            w.putNumber("ySeparation", s.ySeparation);
        },
        [](MarkerFillSymbol& s, const FieldReader& r) {
            getFill(s, r);
            r.getObject("marker", s.marker);
            r.getNumber("xSeparation", s.xSeparation);
            r.getNumber("ySeparation", s.ySeparation);
        },
        [](const MarkerFillSymbol& a, const MarkerFillSymbol& b, const ObjectComparer& c) {
            return sameFill(a, b, c) && c.objects(a.marker, b.marker) && a.xSeparation == b.xSeparation &&
                   a.ySeparation == b.ySeparation;
        });

    registry.addClass<PictureFillSymbol>(
        "PictureFillSymbol",
        [](const PictureFillSymbol& s, FieldWriter& w) {
            putFill(s, w);
            w.putText("picturePath", s.picturePath);
            w.putBytes("picture", s.picture);
            w.putNumber("xScale", s.xScale);
            w.putNumber("yScale", s.yScale);
        },
        [](PictureFillSymbol& s, const FieldReader& r) {
            getFill(s, r);
            r.getText("picturePath", s.picturePath);
            r.getBytes("picture", s.picture);
            r.getNumber("xScale", s.xScale);
            r.getNumber("yScale", s.yScale);
        },
        [](const PictureFillSymbol& a, const PictureFillSymbol& b, const ObjectComparer& c) {
            return sameFill(a, b, c) && a.picturePath == b.picturePath && a.picture == b.picture &&
                   a.xScale == b.xScale && a.yScale == b.yScale;
        });

    registry.addClass<LineFillSymbol>(
        "LineFillSymbol",
        [](const LineFillSymbol& s, FieldWriter& w) {
            putFill(s, w);
            w.putObject("line", s.line);
            w.putNumber("angle", s.angle);
            w.putNumber("separation", s.separation);
            w.putNumber("offset", s.offset);
        },
        [](LineFillSymbol& s, const FieldReader& r) {
            getFill(s, r);
            r.getObject("line", s.line);
            r.getNumber("angle", s.angle);
            r.getNumber("separation", s.separation);
            r.getNumber("offset", s.offset);
        },
        [](const LineFillSymbol& a, const LineFillSymbol& b, const ObjectComparer& c) {
            return sameFill(a, b, c) && c.objects(a.line, b.line) && a.angle == b.angle &&
                   a.separation == b.separation && a.offset == b.offset;
        });

    registry.addClass<TextSymbol>(
        "TextSymbol",
        [](const TextSymbol& s, FieldWriter& w) {
            putFont(w, "font", s.font);
            putColor(w, "color", s.color);
            w.putEnum("horizontalAlignment", s.horizontalAlignment);
            w.putEnum("verticalAlignment", s.verticalAlignment);
            w.putNumber("angle", s.angle);
            w.putText("previewText", s.previewText);
        },
        [](TextSymbol& s, const FieldReader& r) {
            getFont(r, "font", s.font);
            getColor(r, "color", s.color);
            r.getEnum("horizontalAlignment", s.horizontalAlignment, HorizontalAlignment::Left, HorizontalAlignment::Full);
            r.getEnum("verticalAlignment", s.verticalAlignment, VerticalAlignment::Top, VerticalAlignment::Bottom);
            r.getNumber("angle", s.angle);
            r.getText("previewText", s.previewText);
        },
        [](const TextSymbol& a, const TextSymbol& b, const ObjectComparer&) {
            return a.font == b.font && a.color == b.color && a.horizontalAlignment == b.horizontalAlignment &&
                   a.verticalAlignment == b.verticalAlignment && a.angle == b.angle && a.previewText == b.previewText;
        });

    registry.addClass<LineCallout>(
        "LineCallout",
        [](const LineCallout& s, FieldWriter& w) {
            putPoint(w, "anchorPoint", s.anchorPoint, "LineCallout");
            w.putNumber("leaderTolerance", s.leaderTolerance);
            w.putNumber("gap", s.gap);
            w.putObject("leaderLine", s.leaderLine);
        },
        [](LineCallout& s, const FieldReader& r) {
            getPoint(r, "anchorPoint", s.anchorPoint);
            r.getNumber("leaderTolerance", s.leaderTolerance);
            r.getNumber("gap", s.gap);
            r.getObject("leaderLine", s.leaderLine);
        },
        [](const LineCallout& a, const LineCallout& b, const ObjectComparer& c) {
            return a.anchorPoint == b.anchorPoint && a.leaderTolerance == b.leaderTolerance && a.gap == b.gap &&
                   c.objects(a.leaderLine, b.leaderLine);
        });

    registry.addClass<BarChartSymbol>(
        "BarChartSymbol",
        [](const BarChartSymbol& s, FieldWriter& w) {
            putMarker(s, w);
            std::vector<const HostObject*> symbols;
            for (int i = 0; i < s.symbols.count(); ++i) {
                symbols.push_back(s.symbols.element(i).get());
            }
            w.putObjects("symbols", symbols);
            w.putNumbers("values", s.values);
            w.putNumber("maxValue", s.maxValue);
            w.putBoolean("display3D", s.display3D);
            w.putNumber("thickness", s.thickness);
            w.putNumber("barWidth", s.barWidth);
            w.putNumber("barSpacing", s.barSpacing);
            w.putBoolean("verticalBars", s.verticalBars);
            w.putBoolean("showAxes", s.showAxes);
            w.putObject("axes", s.axes);
            w.putObject("background", s.background);
        },
        [](BarChartSymbol& s, const FieldReader& r) {
            getMarker(s, r);
            std::vector<std::shared_ptr<Symbol>> symbols;
            r.getObjects("symbols", symbols);
            for (auto& symbol : symbols) {
                s.symbols.add(std::move(symbol));
            }
            r.getNumbers("values", s.values);
            r.getNumber("maxValue", s.maxValue);
            r.getBoolean("display3D", s.display3D);
            r.getNumber("thickness", s.thickness);
            r.getNumber("barWidth", s.barWidth);
            r.getNumber("barSpacing", s.barSpacing);
            r.getBoolean("verticalBars", s.verticalBars);
            r.getBoolean("showAxes", s.showAxes);
            r.getObject("axes", s.axes);
            r.getObject("background", s.background);
        },
        [](const BarChartSymbol& a, const BarChartSymbol& b, const ObjectComparer& c) {
            if (a.symbols.count() != b.symbols.count()) {
                return false;
            }
            for (int i = 0; i < a.symbols.count(); ++i) {
                if (!c.objects(a.symbols.element(i), b.symbols.element(i))) {
                    return false;
                }
            }
            return sameMarker(a, b) && a.values == b.values && a.maxValue == b.maxValue &&
                   a.display3D == b.display3D && a.thickness == b.thickness && a.barWidth == b.barWidth &&
                   a.barSpacing == b.barSpacing && a.verticalBars == b.verticalBars && a.showAxes == b.showAxes &&
                   c.objects(a.axes, b.axes) && c.objects(a.background, b.background);
        });
}

// ---- elements ------------------------------------------------------------------------------

// Name and custom property are written only when set; a group's geometry is its members'.
void putElement(const Element& e, FieldWriter& w) {
    if (!e.name().empty()) {
        w.putText("name", e.name());
    }
    if (!e.customProperty().isEmpty()) {
        w.putValue("customProperty", e.customProperty());
    }
    if (e.kind() != ElementKind::Group) {
        putGeometry(w, "geometry", e.geometry(), e.className());
    }
}

void getElement(Element& e, const FieldReader& r) {
    if (r.has("name")) {
        std::string name;
        r.getText("name", name);
        e.setName(std::move(name));
    }
    Variant custom;
    r.getValue("customProperty", custom);
    if (!custom.isEmpty()) {
        e.setCustomProperty(std::move(custom));
    }
    if (e.kind() != ElementKind::Group && r.has("geometry")) {
        Geometry geometry;
        getGeometry(r, "geometry", geometry);
        e.setGeometry(std::move(geometry));
    }
}

bool sameElement(const Element& a, const Element& b, const ObjectComparer& c) {
    return a.name() == b.name() && c.values(a.customProperty(), b.customProperty()) &&
           (a.kind() == ElementKind::Group || a.geometry() == b.geometry());
}

// A leaf element kind whose only own field is its symbol.
template <class E>
void addSymbolElement(ClassRegistry& registry, const char* name) {
    registry.addClass<E>(
        name,
        [](const E& e, FieldWriter& w) {
            putElement(e, w);
            w.putObject("symbol", e.symbol);
        },
        [](E& e, const FieldReader& r) {
            getElement(e, r);
            r.getObject("symbol", e.symbol);
        },
        [](const E& a, const E& b, const ObjectComparer& c) {
            return sameElement(a, b, c) && c.objects(a.symbol, b.symbol);
        });
}

void addElements(ClassRegistry& registry) {
    addSymbolElement<MarkerElement>(registry, "MarkerElement");
    addSymbolElement<LineElement>(registry, "LineElement");
    addSymbolElement<PolygonElement>(registry, "PolygonElement");

    registry.addClass<TextElement>(
        "TextElement",
        [](const TextElement& e, FieldWriter& w) {
            putElement(e, w);
            w.putText("text", e.text);
            w.putObject("symbol", e.symbol);
            w.putBoolean("scaleText", e.scaleText);
        },
        [](TextElement& e, const FieldReader& r) {
            getElement(e, r);
            r.getText("text", e.text);
            r.getObject("symbol", e.symbol);
            r.getBoolean("scaleText", e.scaleText);
        },
        [](const TextElement& a, const TextElement& b, const ObjectComparer& c) {
            return sameElement(a, b, c) && a.text == b.text && c.objects(a.symbol, b.symbol) &&
                   a.scaleText == b.scaleText;
        });

    registry.addClass<GroupElement>(
        "GroupElement",
        [](const GroupElement& e, FieldWriter& w) {
            putElement(e, w);
            w.putObjects("members", e.members());
        },
        [](GroupElement& e, const FieldReader& r) {
            getElement(e, r);
            std::vector<std::shared_ptr<Element>> members;
            r.getObjects("members", members);
            e.reserve(static_cast<int>(members.size()));
            for (auto& member : members) {
                // An element belongs to one group; the file may not place it in two.
                if (!member || member->parent() != nullptr || member->container() != nullptr) {
                    r.fail("members", member ? "places an element in two groups" : "holds a missing element");
                }
                e.addElement(std::move(member));
            }
        },
        [](const GroupElement& a, const GroupElement& b, const ObjectComparer& c) {
            return sameElement(a, b, c) && c.objectLists(a.members(), b.members());
        });
}

// ---- property sets and spatial references --------------------------------------------------

// "entries": [name0, value0, name1, value1, ...] in the set's order.
void addPropertySet(ClassRegistry& registry) {
    registry.addClass<PropertySet>(
        "PropertySet",
        [](const PropertySet& s, FieldWriter& w) {
            if (static_cast<std::size_t>(s.count()) > kMaxPropertySetEntries) {
                cannotStore("a property set holds more than " + std::to_string(kMaxPropertySetEntries) + " entries");
            }
            json entries = json::array();
            for (int i = 0; i < s.count(); ++i) {
                entries.push_back(s.names()[static_cast<std::size_t>(i)]);
                entries.push_back(w.encodeValue(s.values()[static_cast<std::size_t>(i)]));
            }
            w.field("entries") = std::move(entries);
        },
        [](PropertySet& s, const FieldReader& r) {
            const json* entries = r.field("entries");
            if (entries == nullptr) {
                return;
            }
            if (!entries->is_array() || entries->size() % 2 != 0) {
                r.fail("entries", "holds no list of name, value pairs");
            }
            if (entries->size() / 2 > kMaxPropertySetEntries) {
                r.fail("entries", "holds more than " + std::to_string(kMaxPropertySetEntries) + " entries");
            }
            std::vector<std::string> names;
            std::vector<Variant> values;
            std::unordered_set<std::string> seen;  // names in lower case: the set ignores case
            for (std::size_t i = 0; i < entries->size(); i += 2) {
                const json& name = (*entries)[i];
                if (!name.is_string()) {
                    r.fail("entries", "holds a name that is no text");
                }
                std::string lower = name.get<std::string>();
                for (char& ch : lower) {
                    ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
                }
                if (!seen.insert(std::move(lower)).second) {
                    r.fail("entries", "names \"" + name.get<std::string>() + "\" twice");
                }
                names.push_back(name.get<std::string>());
                values.push_back(r.decodeValue((*entries)[i + 1]));
            }
            s.setProperties(std::make_shared<const std::vector<std::string>>(std::move(names)), std::move(values));
        },
        [](const PropertySet& a, const PropertySet& b, const ObjectComparer& c) {
            if (a.count() != b.count() || a.names() != b.names()) {
                return false;
            }
            for (int i = 0; i < a.count(); ++i) {
                if (!c.values(a.values()[static_cast<std::size_t>(i)], b.values()[static_cast<std::size_t>(i)])) {
                    return false;
                }
            }
            return true;
        });
}

void addSpatialReference(ClassRegistry& registry) {
    registry.add(ClassCodec{
        "SpatialReference",
        [](const HostObject& object, FieldWriter& w) {
            const auto* s = dynamic_cast<const SpatialReference*>(&object);
            if (s == nullptr) {
                cannotStore("an object calls itself SpatialReference but is of another class");
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
