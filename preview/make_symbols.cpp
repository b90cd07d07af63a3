#include "preview/make_symbols.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

#include "language/locale_numbers.h"

namespace kartoplot::preview {

namespace {

constexpr double kRandomRgbSpan = 16777214.0;  // RGB values 1..16777215 (never black)
constexpr int kDoubleMantissaBits = 53;

}  // namespace

std::int32_t rgbFromRandom(double r) {
    return static_cast<std::int32_t>(language::roundHalfEven(r * kRandomRgbSpan + 1, 0));
}

host::Color RandomColor() {
    std::random_device entropy;
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{entropy(), static_cast<unsigned>(ticks), static_cast<unsigned>(ticks >> 32)};
    std::mt19937_64 generator(seed);
    // 0 <= r < 1 from the top 53 bits (a uniform_real_distribution may return 1 itself).
    const double r = std::ldexp(static_cast<double>(generator() >> (64 - kDoubleMantissaBits)),
                                -kDoubleMantissaBits);
    return host::Color::fromRgb(rgbFromRandom(r));
}

host::Color ColorFromValue(std::int64_t value) {
    if (value < 0) {
        return RandomColor();
    }
    return host::Color::fromRgb(static_cast<std::int32_t>(std::min(value, kMaxRgb)));
}

std::shared_ptr<host::SimpleLineSymbol> MakeLineSymbol(std::int64_t colourValue, double width) {
    auto line = std::make_shared<host::SimpleLineSymbol>();
    line->color = ColorFromValue(colourValue);
    line->width = width;
    line->style = host::LineStyle::Solid;
    return line;
}

std::shared_ptr<host::SimpleFillSymbol> MakeFillSymbol(std::int64_t fillColourValue,
                                                       std::int64_t outlineColourValue,
                                                       double outlineWidth) {
    auto fill = std::make_shared<host::SimpleFillSymbol>();
    fill->color = ColorFromValue(fillColourValue);
    fill->style = host::FillStyle::Solid;
    fill->outline = MakeLineSymbol(outlineColourValue, outlineWidth);
    return fill;
}

std::shared_ptr<host::CartographicLineSymbol> MakeDashedLineSymbol(double width) {
    auto line = std::make_shared<host::CartographicLineSymbol>();
    line->color = RandomColor();
    line->width = width;
    line->cap = host::LineCap::Round;
    line->join = host::LineJoin::Miter;
    line->lineTemplate.interval = 1;
    line->lineTemplate.pattern = {{width, 2 * width}};
    return line;
}

host::Font MakeFont(const std::string& name) {
    host::Font font;
    font.name = name;
    return font;
}

}  // namespace kartoplot::preview
