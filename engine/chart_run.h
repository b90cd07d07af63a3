// The chart creation run: one bar chart per feature of a point layer, placed around the
// feature and left on the layer's chart graphics layer as a group (the named chart marker with
// its attached data, value labels and zigzag marks), in create or recreate mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "host/layers.h"
#include "host/symbols.h"

namespace kartoplot::engine {

// The dialog's values the run reads, taken when the run starts: texts exactly as typed,
// check boxes, the leader colour and the dialog's symbols. Members carry the names of the
// dialog controls they come from; defaults are the dialog's opening values.
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

struct ChartRunResult {
    std::int64_t charted = 0;  // charts added to the layer
    bool completed = false;    // the run reached its end without a failure
    // What stopped the run, in words: the feature (by its key), the field and the value where
    // they are known, e.g. "feature 'Tokyo': field pop_max holds 'Infinity', which is not a
    // number". Empty when the run completed.
    std::string failure;
};

// Charts the layer's features (all, or the selected ones) with one bar per field of
// fieldNames and fill symbol k of chartSymbols for field k. placementCode 0..14 places new
// charts around their features; in recreate mode −1 keeps each old chart's place and −2
// lays the charts over those of the graphics layer settings.CmbOldChartLayer.
// A failure ends the run with the report "CreateChartElements Kartoplot_v9_2 Line : N" and
// the reason in words in ChartRunResult::failure; charts added before stay, and no chart is
// ever left half-made. Values, points and chart sizes that are not finite numbers are failures. The active view is
// refreshed once at the end.
ChartRunResult CreateChartElements(EngineState& state, host::FeatureLayer& layer,
                                   int placementCode, bool selectedOnly, bool recreate,
                                   const std::vector<std::string>& fieldNames,
                                   const host::SymbolArray& chartSymbols,
                                   const ChartRunSettings& settings);

// The extreme values of one chart from its raw values (nulls replaced): vmax and vmin of the
// chart's range. Both lie on the range [MinValue, MaxValue] by magnitude, or are 0.
struct ChartRange {
    double vmax = 0.0;
    double vmin = 0.0;
};
ChartRange chartRange(double rmax, double rmin, double minValue, double maxValue);

// The bar value of a raw value r: |r| clamped to [minValue, maxValue] with the sign of r
// (of minValue when r is 0).
double clampedBarValue(double r, double minValue, double maxValue);

}  // namespace kartoplot::engine
