#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>
#include <map>

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
    std::size_t best = std::string::npos;
    std::size_t length = 0;
    AttributeFilter::Op op = AttributeFilter::Op::Equal;
    for (const auto& [symbol, kind] : ops) {
        const std::size_t at = text.find(symbol);
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
    AttributeFilter filter;
    filter.field = trim(text.substr(0, best));
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

    // Options as "--name value" or "--name=value"; positional words apart.
    std::vector<std::pair<std::string, std::optional<std::string>>> options;
    std::vector<std::string> words;
    static const std::vector<std::string> flags = {
        "--3d", "--labels", "--no-labels", "--leaders", "--no-leaders", "--help", "-h"};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) == 0 || a == "-h") {
            const std::size_t eq = a.find('=');
            if (eq != std::string::npos) {
                options.emplace_back(a.substr(0, eq), a.substr(eq + 1));
            } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
                options.emplace_back(a, std::nullopt);
            } else if (i + 1 < args.size()) {
                options.emplace_back(a, args[i + 1]);
                ++i;
            } else {
                return UsageError{a + " needs a value"};
            }
        } else {
            words.push_back(a);
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
            } else {
                return UsageError{"demo does not know the option " + name};
            }
        }
        if (!words.empty()) {
            return UsageError{"demo takes no data file (it charts the bundled data); did you mean chart?"};
        }
        return demo;
    }
    if (verb != "chart") {
        return UsageError{"unknown command '" + verb + "'; the commands are chart, demo and layers"};
    }

    ChartJob job;
    if (words.size() != 1) {
        return UsageError{words.empty() ? "chart needs a data file: kartoplot chart FILE --fields A,B"
                                        : "chart takes one data file, not " + std::to_string(words.size())};
    }
    job.dataPath = words[0];
    using Setter = std::function<bool(const std::optional<std::string>&)>;
    const auto setNumber = [&](double& target, const char* name) -> Setter {
        return [&target, &number, name](const std::optional<std::string>& v) {
            const auto n = number(name, v.value_or(""));
            if (n) {
                target = *n;
            }
            return n.has_value();
        };
    };
    const auto setOptional = [&](std::optional<double>& target, const char* name) -> Setter {
        return [&target, &number, name](const std::optional<std::string>& v) {
            target = number(name, v.value_or(""));
            return target.has_value();
        };
    };
    const auto setText = [](std::string& target) -> Setter {
        return [&target](const std::optional<std::string>& v) {
            target = v.value_or("");
            return true;
        };
    };
    const auto setFlag = [](bool& target, bool to) -> Setter {
        return [&target, to](const std::optional<std::string>&) {
            target = to;
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
    const std::map<std::string, Setter> setters = {
        {"--layer", setText(job.layer)},
        {"--key", setText(job.key)},
        {"--backdrop", setText(job.backdropPath)},
        {"--crs", setText(job.crs)},
        {"--out", setText(job.outDir)},
        {"--name", setText(job.baseName)},
        {"--title", setText(job.title)},
        {"--point-size", setNumber(job.pointSize, "--point-size")},
        {"--min", setOptional(job.minValue, "--min")},
        {"--max", setOptional(job.maxValue, "--max")},
        {"--size", setOptional(job.markerSize, "--size")},
        {"--min-mm", setOptional(job.minMM, "--min-mm")},
        {"--bar-width", setNumber(job.barWidth, "--bar-width")},
        {"--spacing", setNumber(job.spacing, "--spacing")},
        {"--thickness", setNumber(job.thickness, "--thickness")},
        {"--distance", setNumber(job.distance, "--distance")},
        {"--min-label", setNumber(job.minLabel, "--min-label")},
        {"--null-value", setNumber(job.nullValue, "--null-value")},
        {"--divide", setNumber(job.divide, "--divide")},
        {"--dpi", setNumber(job.dpi, "--dpi")},
        {"--label-digits", setInt(job.labelDigits, "--label-digits", 1, 15)},
        {"--width", setInt(job.width, "--width", 16, 20000)},
        {"--height", setInt(job.height, "--height", 16, 20000)},
        {"--3d", setFlag(job.threeD, true)},
        {"--labels", setFlag(job.labels, true)},
        {"--no-labels", setFlag(job.labels, false)},
        {"--leaders", setFlag(job.leaders, true)},
        {"--no-leaders", setFlag(job.leaders, false)},
    };
    for (const auto& [name, value] : options) {
        if (name == "--fields") {
            job.fields = split(value.value_or(""), ',');
            if (std::any_of(job.fields.begin(), job.fields.end(), [](const auto& f) { return f.empty(); })) {
                return UsageError{"--fields takes field names separated by commas, like pop_max,pop_min"};
            }
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
                                  "\"pop_max >= 5000000\""};
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
            job.formats.clear();
            for (const auto& f : split(lower(value.value_or("")), ',')) {
                const auto format = render::exportFormatFromPath("x." + f);
                if (!format) {
                    return UsageError{"--formats takes png, svg and pdf, not '" + f + "'"};
                }
                job.formats.push_back(*format);
            }
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
    if (job.minValue && job.maxValue && std::fabs(*job.minValue) > std::fabs(*job.maxValue)) {
        return UsageError{"--min must not be larger than --max"};
    }
    if (job.markerSize && *job.markerSize <= 0) {
        return UsageError{"--size must be above 0 points"};
    }
    if (job.dpi <= 0) {
        return UsageError{"--dpi must be above 0"};
    }
    if (job.barWidth <= 0) {
        return UsageError{"--bar-width must be above 0 points"};
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
           "  demo [--out DIR]              chart the bundled world cities over the land\n"
           "  layers FILE                   list the layers of a data file\n"
           "  help [chart]                  this text, or the options of chart\n"
           "  --version                     the version\n";
}

std::string chartHelpText() {
    return "Usage: kartoplot chart FILE --fields A,B,... [options]\n"
           "\n"
           "Data\n"
           "  --layer NAME        the point layer (default: the file's first point layer)\n"
           "  --key FIELD         the field that names each chart (default: the object id)\n"
           "  --where \"F OP V\"    chart only the features that match (OP: = != < <= > >=)\n"
           "  --divide N          chart the values divided by N (1000000: millions)\n"
           "  --backdrop FILE     draw the layers of FILE beneath, e.g. land polygons\n"
           "  --crs CRS           reproject to CRS (EPSG:3857, a PROJ or WKT text)\n"
           "Values and sizes\n"
           "  --min V --max V     value range; bars are clamped to it (default: from the data)\n"
           "  --size PT           drawn height of the maximum value in points (default 36)\n"
           "  --min-mm MM         or: drawn height of the minimum value in millimetres\n"
           "  --bar-width PT      width of one bar (default 6)\n"
           "  --spacing PT        gap between bars (default 0)\n"
           "  --3d --thickness PT bars with a 3D depth\n"
           "  --null-value V      value drawn for missing values (default 0)\n"
           "Placement and labels\n"
           "  --placement NAME    " + placementNames() + " (default E)\n"
           "  --distance D        distance from the feature's marker, in map units\n"
           "  --leaders / --no-leaders    lines back to the features (default on)\n"
           "  --labels / --no-labels      value labels (default on)\n"
           "  --label-digits N    characters of a label (default 3)\n"
           "  --min-label V       values up to V get no label\n"
           "  --point-size PT     size of the feature markers (default 4)\n"
           "Output\n"
           "  --title TEXT        a title and a key of the bars at the top left\n"
           "  --out DIR --name BASE       where to write BASE.png, BASE.svg, BASE.pdf\n"
           "  --formats png,svg,pdf       which files to write\n"
           "  --width PX --height PX --dpi N   picture size (default 1600 × 1000 at 96 dpi)\n"
           "  --language ru|en    language of messages\n";
}

}  // namespace kartoplot::cli
