// The command line's words: which command, and every option of a chart job, checked before
// anything is read or drawn.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "render/export.h"

namespace kartoplot::cli {

// A simple attribute filter: FIELD OP VALUE, OP one of = != < <= > >=.
struct AttributeFilter {
    enum class Op { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
    std::string field;
    Op op = Op::Equal;
    std::string value;
    std::string text;  // as typed, for messages
};

// Parses "pop_max >= 5000000"; nothing when the text is not of that form.
std::optional<AttributeFilter> parseFilter(const std::string& text);

struct ChartJob {
    std::string dataPath;
    std::string layer;                 // empty: the file's first point layer
    std::string key;                   // empty: the object-id field
    std::vector<std::string> fields;   // chart fields in bar order
    std::string backdropPath;          // optional layer(s) drawn beneath
    std::string crs;                   // reproject everything to this coordinate system
    std::optional<double> minValue;    // value range; default: from the data
    std::optional<double> maxValue;
    std::optional<double> markerSize;  // points for the maximum value
    std::optional<double> minMM;       // or: height of the minimum value in millimetres
    double barWidth = 6.0;             // points
    double spacing = 0.0;              // points
    bool threeD = false;
    double thickness = 5.0;            // points
    int placement = 1;                 // 0..13
    double distance = 0.0;             // map units
    bool labels = true;
    int labelDigits = 3;
    double minLabel = 0.0;
    bool leaders = true;
    double nullValue = 0.0;
    std::optional<AttributeFilter> where;
    double divide = 1.0;               // chart the fields divided by this
    std::string language = "English";
    std::string title;                 // drawn at the top left with a key of the bars
    double pointSize = 4.0;            // points: size of the feature markers
    int width = 1600;                  // pixels
    int height = 1000;
    double dpi = 96.0;
    std::string outDir = ".";
    std::string baseName = "kartoplot-map";
    std::vector<render::ExportFormat> formats{render::ExportFormat::Png, render::ExportFormat::Svg,
                                              render::ExportFormat::Pdf};
};

struct HelpCommand {
    std::string topic;  // "", "chart", "demo", "layers"
};
struct VersionCommand {};
struct LayersCommand {
    std::string path;
};
struct DemoCommand {
    std::string outDir = "kartoplot-demo";
    std::string dataDir;  // empty: the bundled data
};
struct ChartCommand {
    ChartJob job;
};
struct UsageError {
    std::string message;
};

using Command =
    std::variant<HelpCommand, VersionCommand, LayersCommand, DemoCommand, ChartCommand, UsageError>;

// Reads the arguments after the program name.
Command parseCommandLine(const std::vector<std::string>& args);

// The placement code of a name ("E", "ne-circle", "top", ...), or nothing.
std::optional<int> placementFromName(const std::string& name);
// The names the command line accepts, for messages and help.
std::string placementNames();

// Help texts.
std::string usageText();
std::string chartHelpText();

}  // namespace kartoplot::cli
