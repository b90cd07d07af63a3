// Default symbols of the main dialog and the random colours of new chart fields. Line widths are
// given by the caller (the dialog's outline width).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/symbols.h"

namespace kartoplot::preview {

// Largest packed RGB value (white).
inline constexpr std::int64_t kMaxRgb = 0xFFFFFF;

// The RGB value RandomColor gives for the random number r (0 ≤ r < 1): r × 16777214 + 1
// rounded to the nearest whole number, halves to even; 1..16777215.
std::int32_t rgbFromRandom(double r);

// A colour with a random RGB value 1..16777215 (never black), from a generator seeded anew
// from the clock and the system's entropy on every call.
host::Color RandomColor();

// The colour whose RGB value is value; values above 16777215 give white; a negative value
// gives RandomColor().
host::Color ColorFromValue(std::int64_t value);

// A new solid simple line of ColorFromValue(colourValue), `width` points wide.
std::shared_ptr<host::SimpleLineSymbol> MakeLineSymbol(std::int64_t colourValue, double width);

// A new solid simple fill of ColorFromValue(fillColourValue) with the outline
// MakeLineSymbol(outlineColourValue, outlineWidth).
std::shared_ptr<host::SimpleFillSymbol> MakeFillSymbol(std::int64_t fillColourValue,
                                                       std::int64_t outlineColourValue,
                                                       double outlineWidth);

// A new dashed cartographic line of a random colour, w points wide: round caps, mitre joins,
// one dash of w points followed by a gap of 2w points (interval 1).
std::shared_ptr<host::CartographicLineSymbol> MakeDashedLineSymbol(double w);

// A font named name; the other members keep their defaults.
host::Font MakeFont(const std::string& name);

}  // namespace kartoplot::preview
