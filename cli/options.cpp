#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>
#include <iomanip>
#include <map>
#include <sstream>
#include <string_view>

#include "language/locale_numbers.h"

namespace kartoplot::cli {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string trim(const std::string& s) { return language::trimBlanks(s); }

// Placement names by code: the dialog's English names, short forms and plain words.
struct PlacementName {
    const char* name;
    int code;
};
constexpr std::array<PlacementName, 21> kPlacements = {{
    {"center", 0},    {"centre", 0},     {"e", 1},          {"right", 1},      {"ne", 2},
    {"ne-circle", 3}, {"n", 4},          {"top", 4},        {"nw", 6},         {"nw-circle", 7},
    {"w", 8},         {"left", 8},       {"sw-circle", 9},  {"sw", 10},        {"s", 11},
    {"bottom", 11},   {"se-circle", 12}, {"se", 13},        {"east", 1},       {"north", 4},
    {"west", 8},
}};

std::vector<std::string> split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == by) {
            parts.push_back(trim(current));
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(trim(current));
    return parts;
}

}  // namespace

std::optional<int> placementFromName(const std::string& name) {
    const std::string key = lower(trim(name));
    for (const auto& p : kPlacements) {
        if (key == p.name) {
            return p.code;
        }
    }
    return std::nullopt;
}

std::string placementNames() {
    return "center, E, NE, NE-circle, N, NW, NW-circle, W, SW-circle, SW, S, SE-circle, SE";
}

namespace {

// A double-quoted name at the start of `text` (after blanks): the name and the position after
// its closing quote; "" inside stands for one quote. Nothing when no quote opens or closes it.
std::optional<std::pair<std::string, std::size_t>> quotedName(const std::string& text, std::size_t at) {
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
    if (at >= text.size() || text[at] != '"') {
        return std::nullopt;
    }
    std::string name;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            name += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            name += '"';
            ++i;
        } else {
            return std::make_pair(name, i + 1);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<AttributeFilter> parseFilter(const std::string& text) {
    static const std::array<std::pair<const char*, AttributeFilter::Op>, 7> ops = {{
        {">=", AttributeFilter::Op::GreaterOrEqual},
        {"<=", AttributeFilter::Op::LessOrEqual},
        {"!=", AttributeFilter::Op::NotEqual},
        {"<>", AttributeFilter::Op::NotEqual},
        {"=", AttributeFilter::Op::Equal},
        {"<", AttributeFilter::Op::Less},
        {">", AttributeFilter::Op::Greater},
    }};
    AttributeFilter filter;
    std::size_t searchFrom = 0;
    if (text.find_first_not_of(' ') != std::string::npos && text[text.find_first_not_of(' ')] == '"') {
        const auto quoted = quotedName(text, 0);
        if (!quoted) {
            return std::nullopt;
        }
        filter.field = quoted->first;
        searchFrom = quoted->second;
    }
    std::size_t best = std::string::npos;
    std::size_t length = 0;
    AttributeFilter::Op op = AttributeFilter::Op::Equal;
    for (const auto& [symbol, kind] : ops) {
        const std::size_t at = text.find(symbol, searchFrom);
        const std::size_t len = std::char_traits<char>::length(symbol);
        if (at != std::string::npos && (at < best || (at == best && len > length))) {
            best = at;
            length = len;
            op = kind;
        }
    }
    if (best == std::string::npos) {
        return std::nullopt;
    }
    if (searchFrom > 0) {
        // Only blanks may stand between a quoted name and its operator.
        if (!trim(text.substr(searchFrom, best - searchFrom)).empty()) {
            return std::nullopt;
        }
    } else {
        filter.field = trim(text.substr(0, best));
    }
    filter.value = trim(text.substr(best + length));
    if (filter.value.size() >= 2 && (filter.value.front() == '\'' || filter.value.front() == '"') &&
        filter.value.back() == filter.value.front()) {
        filter.value = filter.value.substr(1, filter.value.size() - 2);
    }
    filter.op = op;
    filter.text = text;
    if (filter.field.empty()) {
        return std::nullopt;
    }
    return filter;
}

std::optional<std::vector<std::string>> parseFieldList(const std::string& text) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (true) {
        std::string name;
        std::size_t next = 0;
        if (const auto quoted = quotedName(text, at)) {
            name = quoted->first;
            next = text.find(',', quoted->second);
            const std::string between =
                text.substr(quoted->second, next == std::string::npos ? std::string::npos : next - quoted->second);
            if (!trim(between).empty()) {
                return std::nullopt;  // text after the closing quote
            }
        } else {
            next = text.find(',', at);
            name = trim(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
            if (name.find('"') != std::string::npos) {
                return std::nullopt;  // an unclosed or misplaced quote
            }
        }
        if (name.empty()) {
            return std::nullopt;
        }
        names.push_back(std::move(name));
        if (next == std::string::npos) {
            return names;
        }
        at = next + 1;
    }
}

bool isPlainBaseName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < ' ' || c == '\x7f';
    });
}

double pictureBytes(int width, int height) {
    constexpr double kBytesPerPixel = 4;  // 32-bit ARGB
    return static_cast<double>(width) * static_cast<double>(height) * kBytesPerPixel;
}

namespace {

// The switch value of a flag: none (on) or one of yes/no/true/false/on/off.
std::optional<bool> switchValue(const std::optional<std::string>& value) {
    if (!value) {
        return true;
    }
    const std::string v = lower(*value);
    if (v == "yes" || v == "true" || v == "on") {
        return true;
    }
    if (v == "no" || v == "false" || v == "off") {
        return false;
    }
    return std::nullopt;
}

// "1e+300" and the like, as the user would write them back.
std::string shown(double v) { return language::formatNumber(v, "."); }

// One numeric option's bounds: low (exclusive when lowOpen) to high, in `unit`.
struct Bounds {
    double low = 0;
    double high = 0;
    bool lowOpen = false;
    const char* unit = "";
};

std::string boundsText(const Bounds& b) {
    const std::string unit = *b.unit != '\0' ? std::string(" ") + b.unit : "";
    if (b.lowOpen) {
        return "above " + shown(b.low) + " and at most " + shown(b.high) + unit;
    }
    return "from " + shown(b.low) + " to " + shown(b.high) + unit;
}

bool within(double v, const Bounds& b) {
    return (b.lowOpen ? v > b.low : v >= b.low) && v <= b.high;
}

// "png,svg" as formats in order without repeats; nothing with `error` set for an unknown one.
std::optional<std::vector<render::ExportFormat>> parseFormats(const std::string& text, std::string& error) {
    std::vector<render::ExportFormat> formats;
    for (const auto& f : split(lower(text), ',')) {
        const auto format = render::exportFormatFromPath("x." + f);
        if (!format) {
            error = "--formats takes png, svg and pdf, not '" + f + "'";
            return std::nullopt;
        }
        if (std::find(formats.begin(), formats.end(), *format) == formats.end()) {
            formats.push_back(*format);
        }
    }
    return formats;
}

// Why a PNG of that size is refused, or "" when it may be drawn (or no PNG is asked for).
std::string pictureRefusal(const std::vector<render::ExportFormat>& formats, int width, int height) {
    const bool png = std::find(formats.begin(), formats.end(), render::ExportFormat::Png) != formats.end();
    if (!png || pictureBytes(width, height) <= kMaxPictureBytes) {
        return {};
    }
    std::ostringstream need;
    need << std::fixed << std::setprecision(1) << pictureBytes(width, height) / (1 << 30);
    return "a PNG of " + std::to_string(width) + " × " + std::to_string(height) + " pixels needs " + need.str() +
           " GiB of memory to draw, above the limit of " + shown(kMaxPictureBytes / (1 << 30)) +
           " GiB; make it smaller or leave PNG out with --formats svg,pdf";
}

bool isLayerFileName(const std::string& path) {
    return path.size() > 4 && lower(path.substr(path.size() - 4)) == ".lyr";
}

bool isProjectFileName(const std::string& path) {
    constexpr std::string_view kEnding = ".kartoplot";
    return path.size() > kEnding.size() && lower(path.substr(path.size() - kEnding.size())) == kEnding;
}

bool isGraphicsFileName(const std::string& path) {
    return path.size() > 4 && lower(path.substr(path.size() - 4)) == ".obj";
}

std::string graphicsFileRefusal(const std::string& path) {
    return "--graphics names a graphics file ending in .obj, not '" + path + "'";
}

using OptionList = std::vector<std::pair<std::string, std::optional<std::string>>>;

Command parseRenderCommand(const std::vector<std::string>& words, const OptionList& options) {
    RenderJob job;
    if (words.size() != 1) {
        return UsageError{words.empty() ? "render needs a layer file or a project: kartoplot render FILE.lyr --out DIR"
                                        : "render draws one project or one layer file, not " + std::to_string(words.size())};
    }
    if (isProjectFileName(words[0])) {
        job.projectFile = words[0];
    } else if (isLayerFileName(words[0])) {
        job.layerFile = words[0];
    } else {
        return UsageError{"render draws a layer file (*.lyr) or a project (*.kartoplot), not '" + words[0] + "'"};
    }
    const language::DecimalSeparators numbers = language::DecimalSeparators::fromLocaleDecimal(".");
    const auto whole = [&](const std::string& name, const std::optional<std::string>& v, int low, int high,
                           int& target) -> std::string {
        const auto n = numbers.toNumber(v.value_or(""));
        if (!n || *n != std::floor(*n) || *n < low || *n > high) {
            return name + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high);
        }
        target = static_cast<int>(*n);
        return {};
    };
    for (const auto& [name, value] : options) {
        std::string error;
        if (name == "--backdrop" && value) {
            job.backdropPath = *value;
        } else if (name == "--out" && value) {
            job.outDir = *value;
        } else if (name == "--name" && value) {
            job.baseName = *value;
        } else if (name == "--formats" && value) {
            const auto formats = parseFormats(*value, error);
            job.formats = formats.value_or(job.formats);
        } else if (name == "--width") {
            error = whole(name, value, kMinPictureSide, kMaxPictureSide, job.width);
            job.sizeGiven = true;
        } else if (name == "--height") {
            error = whole(name, value, kMinPictureSide, kMaxPictureSide, job.height);
            job.sizeGiven = true;
        } else if (name == "--dpi") {
            const auto n = numbers.toNumber(value.value_or(""));
            if (!n || *n < kMinDpi || *n > kMaxDpi) {
                error = "--dpi needs a number from " + shown(kMinDpi) + " to " + shown(kMaxDpi);
            } else {
                job.dpi = *n;
                job.dpiGiven = true;
            }
        } else if (name == "--graphics" && value) {
            job.graphicsFile = *value;
            error = isGraphicsFileName(*value) ? "" : graphicsFileRefusal(*value);
        } else if (name == "--verbose" && !value) {
            job.verbose = true;
        } else {
            error = "render does not know the option " + name + " (see kartoplot help render)";
        }
        if (!error.empty()) {
            return UsageError{error};
        }
    }
    if (!isPlainBaseName(job.baseName)) {
        return UsageError{"--name takes a plain file name without a folder, like big-cities, not '" +
                          job.baseName + "'; give the folder with --out"};
    }
    if (job.outDir.empty()) {
        return UsageError{"--out needs a folder"};
    }
    if (const std::string refusal = pictureRefusal(job.formats, job.width, job.height); !refusal.empty()) {
        return UsageError{refusal};
    }
    return RenderCommand{job};
}

}  // namespace

Command parseCommandLine(const std::vector<std::string>& args) {
    if (args.empty()) {
        return HelpCommand{};
    }
    const std::string& verb = args[0];
    if (verb == "-h" || verb == "--help" || verb == "help") {
        return HelpCommand{args.size() > 1 ? args[1] : ""};
    }
    if (verb == "--version" || verb == "version") {
        return VersionCommand{};
    }

    // Options as "--name value" or "--name=value"; positional words apart. Switches take no
    // following word; "--3d=no" and the like set them explicitly.
    OptionList options;
    std::vector<std::string> words;
    static const std::vector<std::string> flags = {
        "--3d",      "--no-3d",      "--labels", "--no-labels", "--leaders",
        "--no-leaders", "--verbose", "--help",   "-h"};
    const auto isFlag = [](const std::string& name) {
        return std::find(flags.begin(), flags.end(), name) != flags.end();
    };
    bool afterDashes = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!afterDashes && a.size() > 1 && a[0] == '-' && a[1] != '-') {
            options.emplace_back(a, std::nullopt);  // short options: only -h is known
            continue;
        }
        if (afterDashes || a.rfind("--", 0) != 0 || a == "--") {
            if (a == "--" && !afterDashes) {
                afterDashes = true;  // everything after "--" is a data file, even "-x"
            } else {
                words.push_back(a);
            }
            continue;
        }
        const std::size_t eq = a.find('=');
        if (eq != std::string::npos) {
            options.emplace_back(a.substr(0, eq), a.substr(eq + 1));
        } else if (isFlag(a)) {
            options.emplace_back(a, std::nullopt);
        } else if (i + 1 < args.size()) {
            options.emplace_back(a, args[i + 1]);
            ++i;
        } else {
            return UsageError{a + " needs a value"};
        }
    }
    for (const auto& [name, value] : options) {
        if (name == "--help" || name == "-h") {
            return HelpCommand{verb};
        }
    }

    const language::DecimalSeparators numbers = language::DecimalSeparators::fromLocaleDecimal(".");
    std::string error;
    const auto number = [&](const std::string& name, const std::string& text) -> std::optional<double> {
        const auto v = numbers.toNumber(text);
        if (!v) {
            error = name + " needs a number, not '" + text + "'";
        }
        return v;
    };

    if (verb == "layers") {
        if (words.size() != 1 || !options.empty()) {
            return UsageError{"layers takes one data file: kartoplot layers FILE"};
        }
        return LayersCommand{words[0]};
    }
    if (verb == "demo") {
        DemoCommand demo;
        for (const auto& [name, value] : options) {
            if (name == "--out" && value) {
                demo.outDir = *value;
            } else if (name == "--data" && value) {
                demo.dataDir = *value;
            } else if (name == "--verbose" && !value) {
                demo.verbose = true;
            } else {
                return UsageError{"demo does not know the option " + name};
            }
        }
        if (!words.empty()) {
            return UsageError{"demo takes no data file (it charts the bundled data); did you mean chart?"};
        }
        return demo;
    }
    if (verb == "render") {
        return parseRenderCommand(words, options);
    }
    if (verb != "chart") {
        return UsageError{"unknown command '" + verb + "'; the commands are chart, render, demo and layers"};
    }

    ChartJob job;
    if (words.size() != 1) {
        return UsageError{words.empty() ? "chart needs a data file: kartoplot chart FILE --fields A,B"
                                        : "chart takes one data file, not " + std::to_string(words.size())};
    }
    job.dataPath = words[0];
    using Setter = std::function<bool(const std::optional<std::string>&)>;
    // A number within its bounds, or nothing with `error` set.
    const auto bounded = [&](const char* name, const Bounds& bounds,
                             const std::optional<std::string>& v) -> std::optional<double> {
        const auto n = number(name, v.value_or(""));
        if (n && !within(*n, bounds)) {
            error = std::string(name) + " must be " + boundsText(bounds) + ", not " + v.value_or("");
            return std::nullopt;
        }
        return n;
    };
    const auto setBounded = [&](double& target, const char* name, Bounds bounds) -> Setter {
        return [&target, &bounded, name, bounds](const std::optional<std::string>& v) {
            const auto n = bounded(name, bounds, v);
            target = n.value_or(target);
            return n.has_value();
        };
    };
    const auto setOptional = [&](std::optional<double>& target, const char* name, Bounds bounds) -> Setter {
        return [&target, &bounded, name, bounds](const std::optional<std::string>& v) {
            target = bounded(name, bounds, v);
            return target.has_value();
        };
    };
    const auto setText = [](std::string& target) -> Setter {
        return [&target](const std::optional<std::string>& v) {
            target = v.value_or("");
            return true;
        };
    };
    const auto setSwitch = [&](bool& target, const char* name, bool negative) -> Setter {
        return [&target, &error, name, negative](const std::optional<std::string>& v) {
            if (negative && v) {
                error = std::string(name) + " takes no value";
                return false;
            }
            const auto on = switchValue(v);
            if (!on) {
                error = std::string(name) + " takes no value, or one of yes, no, true, false, on, off; not '" +
                        *v + "'";
                return false;
            }
            target = negative ? !*on : *on;
            return true;
        };
    };
    const auto setInt = [&](int& target, const char* name, int low, int high) -> Setter {
        return [&target, &number, &error, name, low, high](const std::optional<std::string>& v) {
            const auto n = number(name, v.value_or(""));
            if (!n) {
                return false;
            }
            if (*n != std::floor(*n) || *n < low || *n > high) {
                error = std::string(name) + " needs a whole number from " + std::to_string(low) +
                        " to " + std::to_string(high);
                return false;
            }
            target = static_cast<int>(*n);
            return true;
        };
    };
    constexpr Bounds kPositivePoints{0, kMaxBarPoints, true, "points"};
    constexpr Bounds kPoints{0, kMaxBarPoints, false, "points"};
    constexpr Bounds kAnyValue{-kMaxMagnitude, kMaxMagnitude, false, ""};
    const std::map<std::string, Setter> setters = {
        {"--layer", setText(job.layer)},
        {"--key", setText(job.key)},
        {"--backdrop", setText(job.backdropPath)},
        {"--crs", setText(job.crs)},
        {"--out", setText(job.outDir)},
        {"--name", setText(job.baseName)},
        {"--title", setText(job.title)},
        {"--layer-file", setText(job.layerFile)},
        {"--project", setText(job.projectFile)},
        {"--graphics", setText(job.graphicsFile)},
        {"--point-size", setBounded(job.pointSize, "--point-size", kPoints)},
        {"--min", setOptional(job.minValue, "--min", kAnyValue)},
        {"--max", setOptional(job.maxValue, "--max", Bounds{0, kMaxMagnitude, true, ""})},
        {"--size", setOptional(job.markerSize, "--size", Bounds{0, kMaxChartPoints, true, "points"})},
        {"--min-mm", setOptional(job.minMM, "--min-mm", Bounds{0, kMaxMinMM, true, "mm"})},
        {"--bar-width", setBounded(job.barWidth, "--bar-width", kPositivePoints)},
        {"--spacing", setBounded(job.spacing, "--spacing", kPoints)},
        {"--thickness", setBounded(job.thickness, "--thickness", kPoints)},
        {"--distance", setBounded(job.distance, "--distance", Bounds{0, kMaxDistance, false, "map units"})},
        {"--min-label", setBounded(job.minLabel, "--min-label", Bounds{0, kMaxMagnitude, false, ""})},
        {"--null-value", setBounded(job.nullValue, "--null-value", kAnyValue)},
        {"--divide", setBounded(job.divide, "--divide", kAnyValue)},
        {"--dpi", setBounded(job.dpi, "--dpi", Bounds{kMinDpi, kMaxDpi, false, ""})},
        {"--label-digits", setInt(job.labelDigits, "--label-digits", 1, 15)},
        {"--width", setInt(job.width, "--width", kMinPictureSide, kMaxPictureSide)},
        {"--height", setInt(job.height, "--height", kMinPictureSide, kMaxPictureSide)},
        {"--3d", setSwitch(job.threeD, "--3d", false)},
        {"--no-3d", setSwitch(job.threeD, "--no-3d", true)},
        {"--labels", setSwitch(job.labels, "--labels", false)},
        {"--no-labels", setSwitch(job.labels, "--no-labels", true)},
        {"--leaders", setSwitch(job.leaders, "--leaders", false)},
        {"--no-leaders", setSwitch(job.leaders, "--no-leaders", true)},
        {"--verbose", setSwitch(job.verbose, "--verbose", false)},
    };
    for (const auto& [name, value] : options) {
        if (name == "--fields" || name == "--field") {
            if (name == "--field") {
                if (value.value_or("").empty()) {
                    return UsageError{"--field needs a field name"};
                }
                job.fields.push_back(*value);
                continue;
            }
            const auto list = parseFieldList(value.value_or(""));
            if (!list) {
                return UsageError{"--fields takes field names separated by commas, like pop_max,pop_min; "
                                  "put a name with blanks or commas in double quotes (--fields '\"a, b\",c') "
                                  "or give it with --field NAME"};
            }
            job.fields.insert(job.fields.end(), list->begin(), list->end());
            continue;
        }
        if (name == "--placement") {
            const auto code = placementFromName(value.value_or(""));
            if (!code) {
                return UsageError{"unknown placement '" + value.value_or("") + "'; choose one of: " +
                                  placementNames()};
            }
            job.placement = *code;
            continue;
        }
        if (name == "--where") {
            job.where = parseFilter(value.value_or(""));
            if (!job.where) {
                return UsageError{"--where needs FIELD OP VALUE with OP one of = != < <= > >=, like "
                                  "\"pop_max >= 5000000\"; put an odd field name in double quotes: "
                                  "'\"rate, %\" > 2'"};
            }
            continue;
        }
        if (name == "--language") {
            const std::string l = lower(value.value_or(""));
            if (l == "ru" || l == "russian" || value == "Русский") {
                job.language = "Русский";
            } else if (l == "en" || l == "english") {
                job.language = "English";
            } else {
                return UsageError{"--language is ru or en"};
            }
            continue;
        }
        if (name == "--formats") {
            const auto formats = parseFormats(value.value_or(""), error);
            if (!formats) {
                return UsageError{error};
            }
            job.formats = *formats;
            continue;
        }
        const auto setter = setters.find(name);
        if (setter == setters.end()) {
            return UsageError{"chart does not know the option " + name + " (see kartoplot help chart)"};
        }
        if (!setter->second(value)) {
            return UsageError{error};
        }
    }
    if (job.fields.empty()) {
        return UsageError{"chart needs --fields, the numeric fields to chart, like --fields pop_max,pop_min"};
    }
    if (job.divide == 0) {
        return UsageError{"--divide cannot be 0"};
    }
    if (!isPlainBaseName(job.baseName)) {
        return UsageError{"--name takes a plain file name without a folder, like big-cities, not '" +
                          job.baseName + "'; give the folder with --out"};
    }
    if (job.outDir.empty()) {
        return UsageError{"--out needs a folder"};
    }
    if (job.minValue && *job.minValue < 0) {
        return UsageError{"--min is the smallest size of a value that is drawn (negative values are drawn "
                          "below the zero line by their size), so it cannot be negative: " +
                          shown(*job.minValue)};
    }
    if (job.minValue && job.maxValue && !(*job.minValue < *job.maxValue)) {
        return UsageError{"--min (" + shown(*job.minValue) + ") must be smaller than --max (" +
                          shown(*job.maxValue) + ")"};
    }
    if (!job.layerFile.empty() && !isLayerFileName(job.layerFile)) {
        return UsageError{"--layer-file names a layer file ending in .lyr, not '" + job.layerFile + "'"};
    }
    if (!job.projectFile.empty() && !isProjectFileName(job.projectFile)) {
        return UsageError{"--project names a project ending in .kartoplot, not '" + job.projectFile + "'"};
    }
    if (!job.graphicsFile.empty() && !isGraphicsFileName(job.graphicsFile)) {
        return UsageError{graphicsFileRefusal(job.graphicsFile)};
    }
    if (const std::string refusal = pictureRefusal(job.formats, job.width, job.height); !refusal.empty()) {
        return UsageError{refusal};
    }
    return ChartCommand{job};
}

std::string usageText() {
    return "Usage: kartoplot COMMAND [options]\n"
           "\n"
           "Puts a bar chart next to every point of a layer and writes the map as PNG, SVG and PDF.\n"
           "\n"
           "Commands:\n"
           "  chart FILE --fields A,B,...   chart the numeric fields of a point layer\n"
           "  render FILE.lyr [--out DIR]   draw a layer file (a chart layer draws its charts)\n"
           "  render FILE.kartoplot [--out DIR]   draw a project's map with its charts\n"
           "  render FILE --graphics G.obj  draw a graphics file's charts over the map as well\n"
           "  demo [--out DIR]              chart the bundled world cities over the land\n"
           "  layers FILE                   list the layers of a data file\n"
           "  help [chart|render]           this text, or the options of chart or render\n"
           "  --version                     the version\n";
}

std::string chartHelpText() {
    return "Usage: kartoplot chart FILE --fields A,B,... [options]\n"
           "\n"
           "Data\n"
           "  --fields A,B,...    the numeric fields to chart, in bar order; a name with blanks\n"
           "                      or commas goes in double quotes: --fields '\"rate, %\",pop'\n"
           "  --field NAME        one more chart field, named exactly (repeatable)\n"
           "  --layer NAME        the point layer (default: the file's first point layer)\n"
           "  --key FIELD         the field that names each chart (default: the object id)\n"
           "  --where \"F OP V\"    chart only the features that match (OP: = != < <= > >=);\n"
           "                      an odd field name goes in double quotes: '\"a<b\" >= 2'\n"
           "  --divide N          chart the values divided by N (1000000: millions); not 0,\n"
           "                      within ±1e300\n"
           "  --backdrop FILE     draw the layers of FILE beneath, e.g. land polygons\n"
           "  --crs CRS           reproject to CRS (EPSG:3857, a PROJ or WKT text); features\n"
           "                      that cannot be projected are skipped and counted\n"
           "Values and sizes (bars show a value's size; negative values go below the zero line)\n"
           "  --min V --max V     range of sizes drawn, 0 <= min < max <= 1e300; sizes beyond\n"
           "                      it are clamped (default: max from the data, min = max / 100)\n"
           "  --size PT           drawn height of the maximum value, above 0 to 2000 points\n"
           "                      (default 36)\n"
           "  --min-mm MM         or: drawn height of the minimum value, above 0 to 700 mm\n"
           "  --bar-width PT      width of one bar, above 0 to 1000 points (default 6)\n"
           "  --spacing PT        gap between bars, 0 to 1000 points (default 0)\n"
           "  --3d --thickness PT bars with a 3D depth of 0 to 1000 points (default 5)\n"
           "  --null-value V      value drawn for missing values, within ±1e300 (default 0)\n"
           "Placement and labels\n"
           "  --placement NAME    " + placementNames() + " (default E)\n"
           "  --distance D        distance from the feature's marker, 0 to 1e12 map units\n"
           "  --leaders / --no-leaders    lines back to the features (default on)\n"
           "  --labels / --no-labels      value labels (default on)\n"
           "  --label-digits N    characters of a label, 1 to 15 (default 3)\n"
           "  --min-label V       values up to V (0 or more) get no label\n"
           "  --point-size PT     size of the feature markers, 0 to 1000 points (default 4)\n"
           "Output\n"
           "  --title TEXT        a title and a key of the bars at the top left\n"
           "  --out DIR --name BASE       write BASE.png, BASE.svg, BASE.pdf into DIR; BASE is a\n"
           "                      plain name (no '/' or '\\', not '.' or '..'). Files are\n"
           "                      replaced only when every one was written; a failed run\n"
           "                      writes none\n"
           "  --formats png,svg,pdf       which files to write\n"
           "  --layer-file FILE.lyr       also write a layer file of the charted layer drawn by a\n"
           "                      chart renderer like the charts (its data by path, relative\n"
           "                      to the layer file where it can be; --where becomes its\n"
           "                      definition query); written with the pictures or not at all\n"
           "  --project FILE.kartoplot    also write a project: the backdrop, the point layer and\n"
           "                      the chart graphics layer in this view (data by path,\n"
           "                      relative to the project where it can be); written with the\n"
           "                      pictures or not at all; kartoplot render draws it again\n"
           "  --graphics FILE.obj also write a graphics file: the chart graphics layer with the\n"
           "                      map's scale, reference scale and coordinate system; written\n"
           "                      with the pictures or not at all; kartoplot render --graphics\n"
           "                      draws it over other data, the desktop's archive dialog loads it\n"
           "  --width PX --height PX      picture size, 16 to 20000 pixels (default 1600 × 1000);\n"
           "                      a PNG may need at most 1 GiB to draw (4 bytes a pixel)\n"
           "  --dpi N             resolution, 10 to 2400 (default 96); PDF pages larger than\n"
           "                      14 400 points are scaled down to fit the format\n"
           "  --language ru|en    language of messages\n"
           "  --verbose           error records on standard error too (always in the error log)\n"
           "\n"
           "Switches (--3d, --labels, --leaders, --verbose) take no value, or one of yes, no,\n"
           "true, false, on, off after '=': --labels=no. Numbers use '.' or ',' as the decimal\n"
           "separator. Exit codes: 0 done, 1 the run failed (nothing written), 2 bad options,\n"
           "130/143 interrupted (nothing left behind).\n";
}

std::string renderHelpText() {
    return "Usage: kartoplot render FILE.lyr [options]\n"
           "       kartoplot render FILE.kartoplot [options]\n"
           "\n"
           "Draws the layer of a layer file: its data is read again from the paths the file\n"
           "holds (relative ones from the layer file's folder); a chart layer draws a bar\n"
           "chart for every feature from its attributes.\n"
           "Draws the map of a project with its layers, graphics and charts, in the view it\n"
           "was saved with (--width, --height and --dpi fit that view to another picture); a\n"
           "data source that cannot be read fails the drawing and is named.\n"
           "\n"
           "  --backdrop FILE     draw the layers of FILE beneath, in the layer's coordinates\n"
           "  --graphics FILE.obj draw the elements of a graphics file over the data, on a graphics\n"
           "                      layer of their own. A saved map scale, reference scale, layer\n"
           "                      reference scale or coordinate system that differs from this\n"
           "                      drawing is named in a warning but not restored: the elements\n"
           "                      stand at their saved coordinates, sized for this view. A file\n"
           "                      that lacks one of its five values is refused: nothing is written\n"
           "  --out DIR --name BASE       write BASE.png, BASE.svg, BASE.pdf into DIR, all or none\n"
           "  --formats png,svg,pdf       which files to write\n"
           "  --width PX --height PX      picture size, 16 to 20000 pixels (default 1600 × 1000)\n"
           "  --dpi N             resolution, 10 to 2400 (default 96)\n"
           "  --verbose           error records on standard error too\n"
           "\n"
           "Exit codes: 0 done, 1 failed (nothing written), 2 bad options.\n";
}

}  // namespace kartoplot::cli
