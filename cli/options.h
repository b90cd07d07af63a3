// The command line's words: which command, and every option of a chart job, checked before
// anything is read or drawn.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "render/export.h"

namespace kartoplot::cli {

// A simple attribute filter: FIELD OP VALUE, OP one of = != < <= > >=. A field name that holds
// blanks, commas or comparison signs is written in double quotes ("a<b" >= 3; "" for a quote).
struct AttributeFilter {
    enum class Op { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
    std::string field;
    Op op = Op::Equal;
    std::string value;
    std::string text;  // as typed, for messages
};

// Parses "pop_max >= 5000000"; nothing when the text is not of that form.
std::optional<AttributeFilter> parseFilter(const std::string& text);

// Field names separated by commas; a name in double quotes keeps its blanks and may hold
// commas ("a, b",c → `a, b` and `c`; "" inside quotes is one quote). Nothing when a name is
// empty or a quote is not closed.
std::optional<std::vector<std::string>> parseFieldList(const std::string& text);

// Whether a text can be the base name of the output files: not empty, no '/', '\\' or
// control characters, and not "." or "..".
bool isPlainBaseName(const std::string& name);

// Bounds of the chart options, checked by the parser (and by the job for worked-out values).
inline constexpr double kMinDpi = 10;
inline constexpr double kMaxDpi = 2400;
inline constexpr int kMinPictureSide = 16;             // pixels
inline constexpr int kMaxPictureSide = 20000;          // pixels
inline constexpr double kMaxPictureBytes = 1024.0 * 1024 * 1024;  // a PNG's drawing buffer
inline constexpr double kMaxChartPoints = 2000;        // chart size, about 70 cm
inline constexpr double kMaxBarPoints = 1000;          // bar width, spacing, 3D depth, markers
inline constexpr double kMaxMinMM = 700;               // drawn height of the minimum value
inline constexpr double kMaxMagnitude = 1e300;         // values of the range, null value, divisor
inline constexpr double kMaxDistance = 1e12;           // map units

// The memory a PNG of width × height pixels needs while it is drawn, in bytes.
double pictureBytes(int width, int height);
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
    bool verbose = false;              // error records on standard error too
    std::string layerFile;             // also write a chart layer file (*.lyr) here; empty: none
    std::string projectFile;           // also write a project (*.kartoplot) here; empty: none
    std::string graphicsFile;          // also write the chart graphics layer (*.obj) here; empty: none
};

// Draws a layer file (its layer read from its data, charts computed from the attributes) or a
// project (its focus map with its graphics, in the view it was saved with).
struct RenderJob {
    std::string layerFile;             // the file to draw, when it is a layer file
    std::string projectFile;           // the file to draw, when it is a project
    bool sizeGiven = false;            // --width or --height given: a project's view is fitted to it
    bool dpiGiven = false;             // --dpi given: a project's resolution is replaced
    std::string backdropPath;          // optional layer(s) drawn beneath
    std::string graphicsFile;          // a graphics file (*.obj) drawn over the data; empty: none
    int width = 1600;                  // pixels
    int height = 1000;
    double dpi = 96.0;
    std::string outDir = ".";
    std::string baseName = "kartoplot-map";
    std::vector<render::ExportFormat> formats{render::ExportFormat::Png, render::ExportFormat::Svg,
                                              render::ExportFormat::Pdf};
    bool verbose = false;
};

struct HelpCommand {
    std::string topic;  // "", "chart", "render", "demo", "layers"
};
struct VersionCommand {};
struct LayersCommand {
    std::string path;
};
struct DemoCommand {
    std::string outDir = "kartoplot-demo";
    std::string dataDir;  // empty: the bundled data
    bool verbose = false;
};
struct ChartCommand {
    ChartJob job;
};
struct RenderCommand {
    RenderJob job;
};
struct UsageError {
    std::string message;
};

using Command = std::variant<HelpCommand, VersionCommand, LayersCommand, DemoCommand, ChartCommand,
                             RenderCommand, UsageError>;

// Reads the arguments after the program name.
Command parseCommandLine(const std::vector<std::string>& args);

// The placement code of a name ("E", "ne-circle", "top", ...), or nothing.
std::optional<int> placementFromName(const std::string& name);
// The names the command line accepts, for messages and help.
std::string placementNames();

// Help texts.
std::string usageText();
std::string chartHelpText();
std::string renderHelpText();

}  // namespace kartoplot::cli
