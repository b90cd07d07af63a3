#include "host/persistence.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "errors/error_handling.h"
#include "host/atomic_file.h"
#include "host/file_container.h"

namespace kartoplot::host {

using json = nlohmann::json;

namespace {

constexpr const char* kSource = "Persistence";
constexpr std::size_t kMaxClassNameBytes = 128;

// The kind codes of a stored value: the host's own Variant::Kind codes.
constexpr std::uint64_t code(Variant::Kind kind) { return static_cast<std::uint64_t>(kind); }

[[noreturn]] void cannotStore(const std::string& problem) {
    throw HostError(errnum::kInvalidCall, kSource, "The data cannot be stored: " + problem + ".");
}

std::string shownName(std::string_view text) {
    constexpr std::size_t kShown = 64;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    return out + (text.size() > kShown ? "...\"" : "\"");
}

}  // namespace

// ---- writing ---------------------------------------------------------------------------------

class EncodeContext {
public:
    explicit EncodeContext(const ClassRegistry& registry) : registry_(&registry) {}

    json value(const Variant& v) {
        switch (v.kind()) {
            case Variant::Kind::Empty:
            case Variant::Kind::Null: return json::array({code(v.kind())});
            case Variant::Kind::Short:
            case Variant::Kind::Long:
                return json::array({code(v.kind()), static_cast<std::int64_t>(v.toDouble())});
            case Variant::Kind::Double:
            case Variant::Kind::Date: return json::array({code(v.kind()), v.toDouble()});
            case Variant::Kind::Boolean: return json::array({code(v.kind()), v.toDouble() != 0.0});
            case Variant::Kind::Text: return json::array({code(v.kind()), v.text()});
            case Variant::Kind::Object: return json::array({code(v.kind()), object(v.object().get())});
        }
        cannotStore("a value of an unknown kind");
    }

    // The object's index in the object table, or null. An object is added to the table when
    // its writing ends, so every object refers only to objects before it.
    json object(const HostObject* object) {
        if (object == nullptr) {
            return nullptr;
        }
        if (const auto it = written_.find(object); it != written_.end()) {
            return it->second;
        }
        const std::string name = object->className();
        if (inProgress_.contains(object)) {
            cannotStore("a " + name + " contains itself");
        }
        if (inProgress_.size() >= static_cast<std::size_t>(kMaxNesting)) {
            cannotStore("objects are nested deeper than " + std::to_string(kMaxNesting) + " levels");
        }
        const ClassCodec* codec = registry_->find(name);
        if (codec == nullptr) {
            cannotStore("objects of class " + shownName(name) + " are not persistable");
        }
        inProgress_.insert(object);
        json fields = json::object();
        FieldWriter writer(*this, fields);
        codec->write(*object, writer);
        inProgress_.erase(object);
        const std::size_t index = table_.size();
        table_.push_back(json::array({name, std::move(fields)}));
        written_.emplace(object, index);
        return index;
    }

    // The body: [value, object table].
    json body(json value) { return json::array({std::move(value), std::move(table_)}); }

private:
    const ClassRegistry* registry_ = nullptr;  // not owned
    json table_ = json::array();
    std::unordered_map<const HostObject*, std::size_t> written_;
    std::unordered_set<const HostObject*> inProgress_;
};

void FieldWriter::putNumber(std::string_view key, double value) { field(key) = value; }
void FieldWriter::putInteger(std::string_view key, std::int64_t value) { field(key) = value; }
void FieldWriter::putBoolean(std::string_view key, bool value) { field(key) = value; }
void FieldWriter::putText(std::string_view key, std::string_view value) { field(key) = std::string(value); }
void FieldWriter::putNumbers(std::string_view key, const std::vector<double>& values) { field(key) = values; }
void FieldWriter::putTexts(std::string_view key, const std::vector<std::string>& values) { field(key) = values; }
void FieldWriter::putBytes(std::string_view key, const std::vector<std::uint8_t>& bytes) {
    field(key) = json::binary(bytes);
}
void FieldWriter::putObject(std::string_view key, const HostObject* object) {
    field(key) = context_->object(object);
}
void FieldWriter::putObjects(std::string_view key, const std::vector<const HostObject*>& objects) {
    json list = json::array();
    for (const HostObject* object : objects) {
        list.push_back(context_->object(object));
    }
    field(key) = std::move(list);
}
void FieldWriter::putValue(std::string_view key, const Variant& value) { field(key) = context_->value(value); }
json& FieldWriter::field(std::string_view key) { return (*fields_)[std::string(key)]; }
FieldWriter FieldWriter::nested(std::string_view key) {
    json& slot = field(key);
    slot = json::object();
    return FieldWriter(*context_, slot);
}
json FieldWriter::encodeValue(const Variant& value) { return context_->value(value); }
json FieldWriter::encodeObject(const HostObject* object) { return context_->object(object); }

// ---- reading ---------------------------------------------------------------------------------

class DecodeContext {
public:
    DecodeContext(const ClassRegistry& registry, const std::string& what) : registry_(&registry), what_(&what) {}

    const std::string& what() const noexcept { return *what_; }

    [[noreturn]] void fail(const std::string& problem) const {
        throw HostError(errnum::kBadFileFormat, kSource, what() + " is damaged: " + problem + ".");
    }

    Variant value(const json& node) {
        if (!node.is_array() || node.empty() || node.size() > 2 || !node[0].is_number_unsigned()) {
            fail("a value is not a [kind, value] pair");
        }
        const std::uint64_t kind = node[0].get<std::uint64_t>();
        const bool hasPayload = node.size() == 2;
        const auto expectPayload = [&](bool wanted) {
            if (hasPayload != wanted) {
                fail("a value of kind " + std::to_string(kind) + (wanted ? " has no content" : " has content"));
            }
        };
        const auto integer = [&](std::int64_t lowest, std::int64_t highest) {
            const json& payload = node[1];
            const bool inRange = (payload.is_number_unsigned() && payload.get<std::uint64_t>() <= static_cast<std::uint64_t>(highest)) ||
                                 (payload.is_number_integer() && !payload.is_number_unsigned() &&
                                  payload.get<std::int64_t>() >= lowest && payload.get<std::int64_t>() <= highest);
            if (!inRange) {
                fail("an integer value of kind " + std::to_string(kind) + " is out of its range");
            }
            return payload.get<std::int64_t>();
        };
        const auto number = [&]() {
            if (!node[1].is_number_float()) {
                fail("a number value holds no floating-point number");
            }
            return node[1].get<double>();
        };
        switch (kind) {
            case code(Variant::Kind::Empty): expectPayload(false); return Variant();
            case code(Variant::Kind::Null): expectPayload(false); return Variant::null();
            case code(Variant::Kind::Short):
                expectPayload(true);
                return Variant(static_cast<std::int16_t>(integer(std::numeric_limits<std::int16_t>::min(),
                                                                 std::numeric_limits<std::int16_t>::max())));
            case code(Variant::Kind::Long):
                expectPayload(true);
                return Variant(static_cast<std::int32_t>(integer(std::numeric_limits<std::int32_t>::min(),
                                                                 std::numeric_limits<std::int32_t>::max())));
            case code(Variant::Kind::Double): expectPayload(true); return Variant(number());
            case code(Variant::Kind::Date): expectPayload(true); return Variant(Date{number()});
            case code(Variant::Kind::Boolean):
                expectPayload(true);
                if (!node[1].is_boolean()) {
                    fail("a boolean value holds no boolean");
                }
                return Variant(node[1].get<bool>());
            case code(Variant::Kind::Text):
                expectPayload(true);
                if (!node[1].is_string()) {
                    fail("a text value holds no text");
                }
                return Variant(node[1].get<std::string>());
            case code(Variant::Kind::Object): expectPayload(true); return Variant(object(node[1]));
            default: fail("a value has the unknown kind " + std::to_string(kind));
        }
    }

    // Builds the object table in order. An object may refer only to objects before it, so no
    // object can contain itself and no reference waits for a later one.
    void readTable(const json& table) {
        if (!table.is_array()) {
            fail("the object table is missing");
        }
        readingTable_ = true;
        objects_.reserve(table.size());
        levels_.reserve(table.size());
        for (const json& definition : table) {
            if (!definition.is_array() || definition.size() != 2 || !definition[0].is_string() ||
                !definition[1].is_object()) {
                fail("object " + std::to_string(objects_.size()) + " is not a [class, fields] pair");
            }
            const auto& name = definition[0].get_ref<const std::string&>();
            const ClassCodec* codec = name.size() <= kMaxClassNameBytes ? registry_->find(name) : nullptr;
            if (codec == nullptr) {
                throw HostError(errnum::kBadFileFormat, kSource,
                                what() + " holds an object of the unknown class " + shownName(name) + ".");
            }
            level_ = 1;
            std::shared_ptr<HostObject> object = codec->read(FieldReader(*this, definition[1], codec->name));
            if (!object || object->className() != codec->name) {
                fail("object " + std::to_string(objects_.size()) + " did not read back as a " + codec->name);
            }
            objects_.push_back(std::move(object));
            levels_.push_back(level_);
        }
        readingTable_ = false;
    }

    // The object a reference names (an index into the table, or null).
    std::shared_ptr<HostObject> object(const json& reference) {
        if (reference.is_null()) {
            return nullptr;
        }
        if (!reference.is_number_unsigned() || reference.get<std::uint64_t>() >= objects_.size()) {
            fail("an object reference names no object stored before it");
        }
        const auto index = static_cast<std::size_t>(reference.get<std::uint64_t>());
        // Objects nest at most kMaxNesting deep, so copying, comparing and releasing them never
        // recurses further than a file the writer would make.
        if (!readingTable_) {
            return objects_[index];
        }
        level_ = std::max(level_, levels_[index] + 1);
        if (level_ > kMaxNesting) {
            fail("objects are nested deeper than " + std::to_string(kMaxNesting) + " levels");
        }
        return objects_[index];
    }

private:
    const ClassRegistry* registry_ = nullptr;  // not owned
    const std::string* what_ = nullptr;        // not owned
    std::vector<std::shared_ptr<HostObject>> objects_;  // the object table, read so far
    std::vector<int> levels_;                           // nesting level of each object (1 = no objects inside)
    int level_ = 0;                                     // of the object being read
    bool readingTable_ = false;                         // the root value may refer to any object
};

bool FieldReader::has(std::string_view key) const { return field(key) != nullptr; }

const json* FieldReader::field(std::string_view key) const {
    const auto it = fields_->find(key);
    return it == fields_->end() ? nullptr : &*it;
}

FieldReader FieldReader::nested(std::string_view key) const {
    static const json kNoFields = json::object();
    const json* value = field(key);
    if (value != nullptr && !value->is_object()) {
        fail(key, "holds no map of fields");
    }
    return FieldReader(*context_, value != nullptr ? *value : kNoFields, *className_);
}

Variant FieldReader::decodeValue(const json& value) const { return context_->value(value); }

std::shared_ptr<HostObject> FieldReader::decodeObject(const json& reference) const {
    return context_->object(reference);
}

void FieldReader::fail(std::string_view key, const std::string& problem) const {
    context_->fail("field \"" + std::string(key) + "\" of a " + className() + " " + problem);
}

void FieldReader::getNumber(std::string_view key, double& target) const {
    if (const json* value = field(key)) {
        if (!value->is_number()) {
            fail(key, "holds no number");
        }
        target = value->get<double>();
    }
}

void FieldReader::getInteger(std::string_view key, std::int32_t& target) const {
    if (const json* value = field(key)) {
        const bool fits = (value->is_number_unsigned() &&
                           value->get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) ||
                          (value->is_number_integer() && !value->is_number_unsigned() &&
                           value->get<std::int64_t>() >= std::numeric_limits<std::int32_t>::min());
        if (!fits) {
            fail(key, "holds no 32-bit integer");
        }
        target = static_cast<std::int32_t>(value->get<std::int64_t>());
    }
}

void FieldReader::getBoolean(std::string_view key, bool& target) const {
    if (const json* value = field(key)) {
        if (!value->is_boolean()) {
            fail(key, "holds no boolean");
        }
        target = value->get<bool>();
    }
}

void FieldReader::getText(std::string_view key, std::string& target) const {
    if (const json* value = field(key)) {
        if (!value->is_string()) {
            fail(key, "holds no text");
        }
        target = value->get<std::string>();
    }
}

void FieldReader::getNumbers(std::string_view key, std::vector<double>& target) const {
    if (const json* value = field(key)) {
        if (!value->is_array()) {
            fail(key, "holds no list of numbers");
        }
        std::vector<double> numbers;
        numbers.reserve(value->size());
        for (const json& item : *value) {
            if (!item.is_number()) {
                fail(key, "holds a list with an item that is no number");
            }
            numbers.push_back(item.get<double>());
        }
        target = std::move(numbers);
    }
}

void FieldReader::getTexts(std::string_view key, std::vector<std::string>& target) const {
    if (const json* value = field(key)) {
        if (!value->is_array()) {
            fail(key, "holds no list of texts");
        }
        std::vector<std::string> texts;
        texts.reserve(value->size());
        for (const json& item : *value) {
            if (!item.is_string()) {
                fail(key, "holds a list with an item that is no text");
            }
            texts.push_back(item.get<std::string>());
        }
        target = std::move(texts);
    }
}

void FieldReader::getBytes(std::string_view key, std::vector<std::uint8_t>& target) const {
    if (const json* value = field(key)) {
        if (!value->is_binary()) {
            fail(key, "holds no byte string");
        }
        target = value->get_binary();
    }
}

void FieldReader::getValue(std::string_view key, Variant& target) const {
    if (const json* value = field(key)) {
        target = context_->value(*value);
    }
}

std::shared_ptr<HostObject> FieldReader::objectAt(std::string_view key) const {
    return context_->object(*field(key));
}

std::vector<std::shared_ptr<HostObject>> FieldReader::objectsAt(std::string_view key) const {
    const json& list = *field(key);
    if (!list.is_array()) {
        fail(key, "holds no list of objects");
    }
    std::vector<std::shared_ptr<HostObject>> objects;
    objects.reserve(list.size());
    for (const json& item : list) {
        objects.push_back(context_->object(item));
    }
    return objects;
}

// ---- comparing -------------------------------------------------------------------------------

bool ObjectComparer::objects(const HostObject* a, const HostObject* b) const {
    if (a == b) {
        return true;
    }
    if (a == nullptr || b == nullptr || a->className() != b->className()) {
        return false;
    }
    const ClassCodec* codec = registry_->find(a->className());
    if (codec == nullptr || depth_ >= kMaxNesting) {
        return false;  // unknown classes (or a chain that never ends) compare by identity
    }
    ++depth_;
    const bool equal = codec->equal(*a, *b, *this);
    --depth_;
    return equal;
}

bool ObjectComparer::values(const Variant& a, const Variant& b) const {
    if (a.isObject() && b.isObject()) {
        return objects(a.object().get(), b.object().get());
    }
    return a == b;
}

// ---- field visitors: composites ---------------------------------------------------------------

namespace {

constexpr std::size_t kColorParts = 4;  // red, green, blue, null
// Entries of one property set, at most; the host's sets hold a few dozen.
constexpr std::size_t kMaxPropertySetEntries = 16384;

bool finite(const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }
bool inRange(double value, NumberRange range) {
    return std::isfinite(value) && value >= range.low && value <= range.high;
}
bool inRange(std::int32_t value, IntegerRange range) { return value >= range.low && value <= range.high; }

std::string integerLimits(IntegerRange range) {
    return "holds an integer outside " + std::to_string(range.low) + " to " + std::to_string(range.high);
}
constexpr const char* kNumberLimits = "holds a number outside the range it may have";
constexpr const char* kNul = "holds a NUL character";

// Flat [x0, y0, x1, y1, ...] lists of finite coordinates.
json flatPoints(const std::vector<Point>& points, const std::function<void()>& refuse) {
    json flat = json::array();
    for (const Point& p : points) {
        if (!finite(p)) {
            refuse();
        }
        flat.push_back(p.x);
        flat.push_back(p.y);
    }
    return flat;
}

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

std::vector<std::vector<Point>> pathsOf(const FieldReader& r) {
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

}  // namespace

void FieldWriteVisitor::refuse(std::string_view key, const std::string& problem) const {
    cannotStore("field \"" + std::string(key) + "\" of a " + *owner_ + " " + problem);
}

void FieldWriteVisitor::number(std::string_view key, const double& value, NumberRange range) {
    if (!inRange(value, range)) {
        refuse(key, kNumberLimits);
    }
    number(key, value);
}

void FieldWriteVisitor::integer(std::string_view key, const std::int32_t& value, IntegerRange range) {
    if (!inRange(value, range)) {
        refuse(key, integerLimits(range));
    }
    integer(key, value);
}

void FieldWriteVisitor::text(std::string_view key, const std::string& value, TextRule rule) {
    if (rule == TextRule::NoNul && value.find('\0') != std::string::npos) {
        refuse(key, kNul);
    }
    fields_->putText(key, value);
}

void FieldWriteVisitor::objects(std::string_view key, const SymbolArray& symbols) {
    std::vector<const HostObject*> list;
    for (int i = 0; i < symbols.count(); ++i) {
        list.push_back(symbols.element(i).get());
    }
    fields_->putObjects(key, list);
}

void FieldWriteVisitor::color(std::string_view key, const Color& c) {
    fields_->field(key) = json::array({c.red, c.green, c.blue, c.isNull});
}

void FieldWriteVisitor::point(std::string_view key, const Point& p) {
    if (!finite(p)) {
        cannotStore("a point of a " + *owner_ + " has a coordinate that is not finite");
    }
    fields_->putNumbers(key, {p.x, p.y});
}

// {"type": GeometryType code, "xy": [...]} for points and envelopes (an empty envelope has no
// "xy"), {"type", "paths": [[x, y, ...], ...]} for polylines (paths) and polygons (rings).
void FieldWriteVisitor::geometry(std::string_view key, const Geometry& g) {
    FieldWriter geometry = fields_->nested(key);
    geometry.putEnum("type", g.type());
    const auto refuse = [&] { cannotStore("the geometry of a " + *owner_ + " has a coordinate that is not finite"); };
    const auto paths = [&](const std::vector<std::vector<Point>>& list) {
        json out = json::array();
        for (const auto& path : list) {
            out.push_back(flatPoints(path, refuse));
        }
        geometry.field("paths") = std::move(out);
    };
    if (const Point* p = g.asPoint()) {
        FieldWriteVisitor(geometry, *owner_).point("xy", *p);
    } else if (const Polyline* line = g.asPolyline()) {
        paths(line->paths);
    } else if (const Polygon* area = g.asPolygon()) {
        paths(area->rings);
    } else if (const Envelope* e = g.asEnvelope(); e != nullptr && !e->isEmpty()) {
        if (!finite(e->lowerLeft()) || !finite(e->upperRight())) {
            cannotStore("the envelope of a " + *owner_ + " is not finite");
        }
        geometry.putNumbers("xy", {e->xMin(), e->yMin(), e->xMax(), e->yMax()});
    }
}

void FieldWriteVisitor::envelope(std::string_view key, const std::optional<Envelope>& e) {
    if (e) {
        if (!finite(e->lowerLeft()) || !finite(e->upperRight())) {
            cannotStore("the envelope of a " + *owner_ + " is not finite");
        }
        fields_->putNumbers(key, {e->xMin(), e->yMin(), e->xMax(), e->yMax()});
    }
}

// "template": {"interval", "pattern": [mark0, gap0, mark1, gap1, ...]}.
void FieldWriteVisitor::lineTemplate(std::string_view key, const LineTemplate& t) {
    FieldWriter lineTemplate = fields_->nested(key);
    lineTemplate.putNumber("interval", t.interval);
    std::vector<double> pattern;
    pattern.reserve(t.pattern.size() * 2);
    for (const auto& element : t.pattern) {
        pattern.push_back(element.mark);
        pattern.push_back(element.gap);
    }
    lineTemplate.putNumbers("pattern", pattern);
}

// "entries": [name0, value0, name1, value1, ...] in the set's order.
void FieldWriteVisitor::entries(std::string_view key, const PropertySet& s) {
    if (static_cast<std::size_t>(s.count()) > kMaxPropertySetEntries) {
        cannotStore("a property set holds more than " + std::to_string(kMaxPropertySetEntries) + " entries");
    }
    json entries = json::array();
    for (int i = 0; i < s.count(); ++i) {
        entries.push_back(s.names()[static_cast<std::size_t>(i)]);
        entries.push_back(fields_->encodeValue(s.values()[static_cast<std::size_t>(i)]));
    }
    fields_->field(key) = std::move(entries);
}

void FieldReadVisitor::number(std::string_view key, double& target, NumberRange range) const {
    double value = target;
    number(key, value);
    if (!inRange(value, range)) {
        fields_->fail(key, kNumberLimits);
    }
    target = value;
}

void FieldReadVisitor::integer(std::string_view key, std::int32_t& target, IntegerRange range) const {
    std::int32_t value = target;
    integer(key, value);
    if (!inRange(value, range)) {
        fields_->fail(key, integerLimits(range));
    }
    target = value;
}

void FieldReadVisitor::text(std::string_view key, std::string& target, TextRule rule) const {
    fields_->getText(key, target);
    if (rule == TextRule::NoNul && target.find('\0') != std::string::npos) {
        fields_->fail(key, kNul);
    }
}

void FieldReadVisitor::objects(std::string_view key, SymbolArray& target) const {
    if (!fields_->has(key)) {
        return;
    }
    std::vector<std::shared_ptr<Symbol>> list;
    fields_->getObjects(key, list);
    SymbolArray symbols;
    for (auto& symbol : list) {
        symbols.add(std::move(symbol));
    }
    target = std::move(symbols);
}

void FieldReadVisitor::color(std::string_view key, Color& c) const {
    const json* value = fields_->field(key);
    if (value == nullptr) {
        return;
    }
    if (!value->is_array() || value->size() != kColorParts || !(*value)[3].is_boolean()) {
        fields_->fail(key, "is no [red, green, blue, null] colour");
    }
    std::uint8_t parts[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        const json& part = (*value)[i];
        if (!part.is_number_unsigned() || part.get<std::uint64_t>() > 255) {
            fields_->fail(key, "holds a colour part outside 0 to 255");
        }
        parts[i] = static_cast<std::uint8_t>(part.get<std::uint64_t>());
    }
    c = Color{parts[0], parts[1], parts[2], (*value)[3].get<bool>()};
}

void FieldReadVisitor::point(std::string_view key, Point& p) const {
    if (const json* value = fields_->field(key)) {
        const std::vector<Point> points = pointsOf(*fields_, key, *value);
        if (points.size() != 1) {
            fields_->fail(key, "holds no single point");
        }
        p = points.front();
    }
}

void FieldReadVisitor::geometry(std::string_view key, Geometry& g) const {
    if (!fields_->has(key)) {
        return;
    }
    const FieldReader geometry = fields_->nested(key);
    GeometryType type = GeometryType::Null;
    geometry.getEnum("type", type, GeometryType::Null, GeometryType::Envelope);
    switch (type) {
        case GeometryType::Null: g = Geometry(); break;
        case GeometryType::Point: {
            Point p;
            FieldReadVisitor(geometry).point("xy", p);
            g = Geometry(p);
            break;
        }
        case GeometryType::Polyline: g = Geometry(Polyline{pathsOf(geometry)}); break;
        case GeometryType::Polygon: g = Geometry(Polygon{pathsOf(geometry)}); break;
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

void FieldReadVisitor::envelope(std::string_view key, std::optional<Envelope>& target) const {
    if (!fields_->has(key)) {
        return;
    }
    std::vector<double> xy;
    fields_->getNumbers(key, xy);
    if (xy.size() != 4 || !std::all_of(xy.begin(), xy.end(), [](double v) { return std::isfinite(v); }) ||
        xy[0] > xy[2] || xy[1] > xy[3]) {
        fields_->fail(key, "is no envelope [xmin, ymin, xmax, ymax] of finite numbers");
    }
    target = Envelope(xy[0], xy[1], xy[2], xy[3]);
}

void FieldReadVisitor::lineTemplate(std::string_view key, LineTemplate& t) const {
    const FieldReader lineTemplate = fields_->nested(key);
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

void FieldReadVisitor::entries(std::string_view key, PropertySet& s) const {
    const json* entries = fields_->field(key);
    if (entries == nullptr) {
        return;
    }
    if (!entries->is_array() || entries->size() % 2 != 0) {
        fields_->fail(key, "holds no list of name, value pairs");
    }
    if (entries->size() / 2 > kMaxPropertySetEntries) {
        fields_->fail(key, "holds more than " + std::to_string(kMaxPropertySetEntries) + " entries");
    }
    std::vector<std::string> names;
    std::vector<Variant> values;
    std::unordered_set<std::string> seen;  // names in lower case: the set ignores case
    for (std::size_t i = 0; i < entries->size(); i += 2) {
        const json& name = (*entries)[i];
        if (!name.is_string()) {
            fields_->fail(key, "holds a name that is no text");
        }
        std::string lower = name.get<std::string>();
        for (char& ch : lower) {
            ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
        }
        if (!seen.insert(std::move(lower)).second) {
            fields_->fail(key, "names \"" + name.get<std::string>() + "\" twice");
        }
        names.push_back(name.get<std::string>());
        values.push_back(fields_->decodeValue((*entries)[i + 1]));
    }
    s.setProperties(std::make_shared<const std::vector<std::string>>(std::move(names)), std::move(values));
}

bool FieldCompareVisitor::sameAs(const FieldCompareVisitor& other, const ObjectComparer& compare) const {
    if (fields_.size() != other.fields_.size()) {
        return false;
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const Field& a = fields_[i];
        const Field& b = other.fields_[i];
        if (a.equal != b.equal || !a.equal(a.value, b.value, compare)) {
            return false;
        }
    }
    return true;
}

// ---- registry --------------------------------------------------------------------------------

void ClassRegistry::throwMissingFunction() {
    throw HostError(errnum::kInvalidCall, "ClassRegistry",
                    "A persistable class needs a name of 1 to 128 bytes and write, read and compare functions");
}

void ClassRegistry::add(ClassCodec codec) {
    if (codec.name.empty() || codec.name.size() > kMaxClassNameBytes || !codec.write || !codec.read || !codec.equal) {
        throwMissingFunction();
    }
    if (codecs_.contains(codec.name)) {
        throw HostError(errnum::kInvalidCall, "ClassRegistry", "The class " + codec.name + " is registered already");
    }
    std::string name = codec.name;
    codecs_.emplace(std::move(name), std::move(codec));
}

const ClassCodec* ClassRegistry::find(std::string_view name) const noexcept {
    const auto it = codecs_.find(name);
    return it == codecs_.end() ? nullptr : &it->second;
}

std::vector<std::string> ClassRegistry::names() const {
    std::vector<std::string> list;
    list.reserve(codecs_.size());
    for (const auto& entry : codecs_) {
        list.push_back(entry.first);
    }
    return list;
}

void ClassRegistry::throwWrongClass(const HostObject& object) {
    cannotStore("an object calls itself " + object.className() + " but is of another class");
}

// ---- whole data and files --------------------------------------------------------------------

namespace {

std::string containerOf(const json& body) {
    std::string bytes = serializeBody(body);
    // What the reader would refuse is not written: check the limits on the bytes themselves.
    checkBody(bytes, "The data to store");
    return wrapContainer(bytes);
}

// The root value of a container, with every object it refers to.
Variant rootValue(std::string_view bytes, const ClassRegistry& registry, const std::string& what) {
    const json tree = parseBody(openContainer(bytes, what), what);
    DecodeContext context(registry, what);
    if (!tree.is_array() || tree.size() != 2) {
        context.fail("its data is not a [value, objects] pair");
    }
    context.readTable(tree[1]);
    return context.value(tree[0]);
}

}  // namespace

std::string encodeValue(const Variant& value, const ClassRegistry& registry) {
    EncodeContext context(registry);
    json root = context.value(value);
    return containerOf(context.body(std::move(root)));
}

Variant decodeValue(std::string_view bytes, const ClassRegistry& registry, const std::string& what) {
    return rootValue(bytes, registry, what);
}

std::string encodeObject(const HostObject& object, const ClassRegistry& registry) {
    EncodeContext context(registry);
    json root = json::array({code(Variant::Kind::Object), context.object(&object)});
    return containerOf(context.body(std::move(root)));
}

std::shared_ptr<HostObject> decodeObject(std::string_view bytes, const ClassRegistry& registry, const std::string& what) {
    Variant value = decodeValue(bytes, registry, what);
    if (!value.object()) {
        throw HostError(errnum::kBadFileFormat, kSource, what + " holds no object.");
    }
    return value.object();
}

void writePropertySetFile(const PropertySet& set, const std::string& path, const ClassRegistry& registry) {
    writeFileAtomically(path, encodeObject(set, registry));
}

std::shared_ptr<PropertySet> readPropertySetFile(const std::string& path, const ClassRegistry& registry) {
    auto set = decodeValue(readContainerFile(path), registry, path).objectAs<PropertySet>();
    if (!set) {
        throw HostError(errnum::kBadFileFormat, kSource, path + " holds no property set.");
    }
    return set;
}

bool equalObjects(const HostObject* a, const HostObject* b, const ClassRegistry& registry) {
    return ObjectComparer(registry).objects(a, b);
}

bool equalValues(const Variant& a, const Variant& b, const ClassRegistry& registry) {
    return ObjectComparer(registry).values(a, b);
}

}  // namespace kartoplot::host
