// Chart sizing: the relation between the value range, the chart marker size in points and
// the drawn heights in millimetres at the map's scale, and the "Lock scale" rule that decides
// which quantity follows when another one changes.
//
//   MinValueMM = MinValue / MaxValue × ChartMarkerSize × 25.4 / 72 × f
//
// f is the scale factor: 1 without a reference scale, else reference scale / current scale.
#pragma once

#include <optional>
#include <string>

#include "language/locale_numbers.h"

namespace kartoplot::engine {

inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kMillimetresPerInch = 2.54 * 10;

// The two scales of the focus map.
struct MapScales {
    double referenceScale = 0.0;  // 0 or below = none
    double currentScale = 0.0;
};

// Scale factor f: 1.0 when referenceScale ≤ 0, else referenceScale / currentScale.
// Throws HostError (division by zero) when a reference scale meets a current scale of 0.
double scaleFactor(const MapScales& scales);

// ---- the relation solved for each quantity (plain numbers) -----------------------------

// Marker size in points that gives MinValue the height minValueMM; whole points.
// MinValue 0 gives 0.
double chartSizeFor(double minValue, double minValueMM, double maxValue, double f);
// Height in mm of MinValue at the marker size; 3 decimals. MaxValue 0 gives 0.
double minValueMMFor(double minValue, double maxValue, double chartMarkerSize, double f);
// Height in mm of MaxValue (the marker size) at the map's scale; 1 decimal.
double chartSizeMMFor(double chartMarkerSize, double f);
// MinValue that has the height minValueMM at the marker size; 10 decimals. MaxValue 0
// gives 0; a marker size of 0 throws HostError (division by zero).
double minValueFromMM(double minValueMM, double maxValue, double chartMarkerSize, double f);

// ---- the conversions as the dialog calls them ------------------------------------------

// The texts of the dialog's size controls, exactly as typed.
struct SizeTexts {
    std::string minValue;           // TxtMinValue
    std::string maxValue;           // TxtMaxValue
    std::string chartMarkerSize;    // TxtChartMarkerSize, points
    std::string chartMarkerSizeMM;  // TxtChartMarkerSizeMM, display only
    std::string minValueMM;         // TxtMinValueMM
    int spinValue = 0;              // the spin button beside the marker size
};

// Each reads the texts it needs (normalised with the separators), computes f afresh and
// returns its result. A text that is not a number or a division by zero is reported under
// the conversion's name and gives nothing (the Calc* forms give 0).
std::optional<double> tryCalcChartSize(const SizeTexts& texts, const MapScales& scales,
                                       const language::DecimalSeparators& separators);
std::optional<double> tryCalcMinMM(const SizeTexts& texts, const MapScales& scales,
                                   const language::DecimalSeparators& separators);
std::optional<double> tryCalcSizeMM(const SizeTexts& texts, const MapScales& scales,
                                    const language::DecimalSeparators& separators);
std::optional<double> tryCalcMinValueFromMM(const SizeTexts& texts, const MapScales& scales,
                                            const language::DecimalSeparators& separators);

double CalcChartSize(const SizeTexts& texts, const MapScales& scales,
                     const language::DecimalSeparators& separators);
double CalcMinMM(const SizeTexts& texts, const MapScales& scales,
                 const language::DecimalSeparators& separators);
double CalcSizeMM(const SizeTexts& texts, const MapScales& scales,
                  const language::DecimalSeparators& separators);
double CalcMinValueFromMM(const SizeTexts& texts, const MapScales& scales,
                          const language::DecimalSeparators& separators);

// ---- the lock rule ---------------------------------------------------------------------

enum class SizeEvent {
    ChartMarkerSizeChanged,  // the marker size text changed
    ValueRangeLeft,          // MinValue or MaxValue lost the focus
    MinValueMMLeft,          // MinValueMM lost the focus
};

// Updates the texts that follow the event, with the lock pressed (MinValueMM held) or
// released. Results are written as the locale shows numbers; a conversion that failed
// (and was reported) leaves its target text unchanged. The spin value is the marker size
// rounded to a whole number, halves to even (36.5 gives 36, 37.5 gives 38), as the dialog
// rounds it. A marker size written by the rule updates the size display and the spin value
// as a typed one does.
void applyLockRule(SizeEvent event, bool locked, SizeTexts& texts, const MapScales& scales,
                   const language::DecimalSeparators& separators);

}  // namespace kartoplot::engine
