// Symbol pictures: any host symbol drawn on a silver background into a small picture for a
// button or a list, by the same painter that draws the map. Drawing units are pixels with
// y growing upwards; symbol sizes come out as points × dpi / 72.
#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>
#include <optional>

#include "host/display.h"
#include "host/geometry.h"
#include "host/symbols.h"
#include "render/device_mapping.h"

class QPainter;

namespace kartoplot::preview {

// The host numbers its own errors 0x80040000 + n. The sum does not fit a signed 32-bit
// number, so it is kept as the negative number the host shows (7002 gives -2147214502).
constexpr std::int32_t hostErrorNumber(std::uint32_t n) noexcept {
    return static_cast<std::int32_t>(0x80040000u + n);
}
inline constexpr std::int32_t kErrClearFailed = hostErrorNumber(7002);
inline constexpr std::int32_t kErrNoBrush = hostErrorNumber(7003);
inline constexpr std::int32_t kErrNoResolution = hostErrorNumber(7006);
inline constexpr std::int32_t kErrNoTransOrShape = hostErrorNumber(7008);

// Resolution of the pictures SymbolToPicture makes: the host's screen display.
inline constexpr double kPictureDpi = host::kDefaultDpi;

// Background of every preview: silver.
QColor previewBackground();

// A new width × height ARGB32 picture at kPictureDpi showing the symbol (see DrawToDC).
// A null image when the size is not positive; throws what DrawToDC throws.
QImage SymbolToPicture(const host::Symbol& symbol, int width, int height, int gap);

// Clears (0, 0)–(width, height) of dc to silver and draws the symbol inside the rectangle
// (gap, gap)–(width − gap, height − gap), clipped to the area; the painter's state is kept.
// False (nothing drawn) when dc is nullptr or not active. Text symbols show their previewText
// centred. Throws HostError kErrClearFailed / kErrNoTransOrShape, or what it calls throws.
bool DrawToDC(QPainter* dc, int width, int height, const host::Symbol& symbol, int gap);

// Fills device pixels left ≤ x < right, top ≤ y < bottom with colour (replacing what was
// there); an empty rectangle fills nothing. False when dc is not active. Throws HostError
// kErrNoBrush for no painter or an invalid colour.
bool Clear(QPainter* dc, const QColor& colour, int left, int top, int right, int bottom);

// A mapping of one drawing unit to one pixel over (0, 0)–(width, height), y up, with the
// resolution of dc's device. Nothing when dc has no device or the area is empty; throws
// HostError kErrNoResolution when the device reports 0 dpi.
std::optional<render::DeviceMapping> CreateTransFromDC(QPainter* dc, int width, int height);

// The geometry a preview draws the symbol on, in drawing units: a marker on the rectangle's
// centre, a line from lower left to upper right, a text along the horizontal middle line,
// anything else (fills) over the rectangle. An empty geometry for an empty rectangle.
host::Geometry SymbolShape(const host::Symbol& symbol, const host::Envelope& rectangle);

}  // namespace kartoplot::preview
