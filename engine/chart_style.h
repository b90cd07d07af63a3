// The typed style of a chart run: what each chart shows, how it is drawn and where it goes,
// numbers in their units. The dialog's texts become a style in chartStyleFromSettings; the
// command line builds one from its numbers.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/symbols.h"
#include "language/locale_numbers.h"

namespace kartoplot::engine {

// The dialog's values a run reads, taken when the run starts: texts exactly as typed,
// check boxes, the leader colour and the dialog's symbols. Members carry the names of the
// dialog controls they come from (parameter files store them so); defaults are the dialog's
// opening values.
struct ChartRunSettings {
    std::string TxtMinValue = "0.5";
    std::string TxtMaxValue = "8";
    std::string TxtNullValue = "0";
    std::string TxtSignNumber = "3";          // label length in characters
    std::string CmbKey;                       // key field naming each chart
    std::string txtChartSpacing = "0";        // points
    std::string TxtChartWidth = "10";         // points
    std::string Txt3DThickness = "5";         // points
    std::string TxtChartMarkerSize = "45";    // points
    bool Chk3D = false;
    std::string TxtLabelDistance = "0";       // map units
    bool ChkShowLeader = true;
    std::string TxtLeaderWidth = "0,5";       // points
    host::Color CmdLeaderColor{0, 0, 0};
    bool ChkLabelDiagramm = true;
    std::string TxtMinLabelValue = "0,1";
    bool ChkSaveLyrFile = false;
    std::string CmbOldChartLayer;             // graphics layer of placement −2
    std::shared_ptr<host::TextSymbol> labelTextSymbol;
    std::shared_ptr<host::LineSymbol> leaderLineSymbol;
    std::shared_ptr<host::LineSymbol> breakLineSymbol;  // zigzag marks

    // The opening values with the dialog's opening symbols: labels in black Arial Narrow 6,
    // white zigzag lines 1 point wide, black leaders 0.5 point wide.
    static ChartRunSettings openingValues();
};

// The dialog's opening line symbols: a solid cartographic line (its template one element of
// mark 0 and gap 0, interval 1) with a butt cap, of the width (points) and colour.
std::shared_ptr<host::CartographicLineSymbol> plainLine(double width, host::Color colour);

// Where a run puts each chart. The values are the placement codes the run has always taken
// (the dialog's option index, with the two recreate modes as −1 and −2).
enum class Placement : std::int16_t {
    Centre = 0,
    East = 1,
    NorthEast = 2,
    NorthEastCircle = 3,
    North = 4,
    OldPlacement = 5,     // in create mode no offset, as Centre
    NorthWest = 6,
    NorthWestCircle = 7,
    West = 8,
    SouthWestCircle = 9,
    SouthWest = 10,
    South = 11,
    SouthEastCircle = 12,
    SouthEast = 13,
    OverOldOption = 14,   // the "over old charts" option in create mode: no offset
    KeepOldPlace = -1,    // recreate: each chart where its old chart stands
    OverOldCharts = -2,   // recreate: over the same-named charts of ChartStyle::oldChartLayer
};

// The code of a placement, and the placement of a code: codes below −2 count as Centre and
// codes above 14 as OverOldOption (neither offsets the chart, as before).
constexpr int placementCode(Placement p) noexcept { return static_cast<int>(p); }
Placement placementFromCode(int code) noexcept;
// Whether the placement aligns recreated charts on old ones rather than offsetting them.
constexpr bool alignsOnOldCharts(Placement p) noexcept {
    return p == Placement::KeepOldPlace || p == Placement::OverOldCharts;
}

// The value range of the charts: magnitudes are clamped to [min, max]; max is drawn with the
// full chart size.
struct ValueRange {
    double min = 0.5;
    double max = 8.0;
    friend bool operator==(const ValueRange&, const ValueRange&) = default;
};

// The leader drawn from a chart back to its feature.
struct LeaderStyle {
    double width = 0.5;                     // points, for a plain line when `line` is empty
    host::Color color{0, 0, 0};
    std::shared_ptr<host::LineSymbol> line;  // the leader's line symbol, copied once per run
};

// The value labels above (or below) the bars.
struct LabelStyle {
    std::shared_ptr<host::TextSymbol> text;  // required; copied once per run
    double minValue = 0.1;                   // a value gets a label when |value| > |minValue|
};

// A failure that a run raises at its first feature, not before: the range, null value or
// label length texts could not be read (a run over no feature still completes).
struct DeferredFailure {
    std::int32_t number = 0;  // HostError number
    std::string description;  // HostError description
    std::string reason;       // in words, for ChartRunResult::failure (empty: the description)
};

struct ChartStyle {
    Placement placement = Placement::Centre;
    std::string oldChartLayer;            // graphics layer of Placement::OverOldCharts
    std::vector<std::string> fields;      // one bar per field, in order
    host::SymbolArray fillSymbols;        // fill symbol k for field k (the same objects)
    std::string keyField;                 // names each chart; "<Null>" without a value
    ValueRange range;
    double nullValue = 0.0;               // stands for a null field value
    int labelLength = 3;                  // characters of a label text
    double barSpacing = 0.0;              // points
    double barWidth = 10.0;               // points
    bool display3D = false;
    double thickness = 5.0;               // points, 3D depth
    double size = 45.0;                   // points: drawn height of range.max
    double distance = 0.0;                // map units between feature marker and chart
    std::optional<LeaderStyle> leader;    // nothing: no leader
    std::optional<LabelStyle> labels;     // nothing: no value labels
    std::shared_ptr<host::LineSymbol> zigZagLine;  // marks on bars beyond the range; empty =
                                                   // white lines 1 point wide
    bool saveLayerFile = false;           // save the charted layer as a chart layer file after the run
    std::optional<DeferredFailure> unreadValues;
};

std::ostream& operator<<(std::ostream& out, Placement placement);

// What chartStyleFromSettings gives: the style, or nothing and the reason in words after the
// run's own error record was written.
struct ChartStyleResult {
    std::optional<ChartStyle> style;
    std::string failure;
};

// The dialog's texts as a style, with the placement code, the fields and their fill symbols.
// A size, width, spacing, thickness, distance, leader width or smallest labelled value that is
// not a number is reported as "CreateChartElements Kartoplot_v9_2 Line : 40" and gives no
// style; a range, null value or label length that is not a number (or a label length beyond
// 16 bits) is kept in ChartStyle::unreadValues for the run to raise at line 100.
ChartStyleResult chartStyleFromSettings(const ChartRunSettings& settings, int placementCode,
                                        const std::vector<std::string>& fields,
                                        const host::SymbolArray& fillSymbols,
                                        const language::DecimalSeparators& separators);

}  // namespace kartoplot::engine
