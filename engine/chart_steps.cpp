#include "engine/chart_steps.h"

#include <array>
#include <cmath>

#include "engine/chart_symbols.h"
#include "engine/element_data.h"
#include "engine/placement.h"
#include "host/display.h"

namespace kartoplot::engine {

namespace {

constexpr double kZigZagLineWidth = 1.0;  // points, when the style names no zigzag line
// A zigzag mark is as high as the chart's bounds divided by this.
constexpr double kMarkHeightDivisor = 10;

double signOf(double v) { return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0); }

// A value as a reader would write it in a message: non-finite numbers by their names.
std::string shownValue(const host::Variant& value, const language::DecimalSeparators& sep) {
    if (value.isNumber() && !std::isfinite(value.toDouble())) {
        const double v = value.toDouble();
        return std::isnan(v) ? "NaN" : (v > 0 ? "Infinity" : "-Infinity");
    }
    return valueText(value, sep);
}

bool isFinitePoint(const host::Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool isFiniteEnvelope(const host::Envelope& e) {
    return e.isEmpty() || (std::isfinite(e.xMin()) && std::isfinite(e.yMin()) &&
                           std::isfinite(e.xMax()) && std::isfinite(e.yMax()));
}

// Whether bar i gets a label, and whether it runs off the chart's range and gets a mark.
bool isLabelled(const ChartValues& values, std::size_t i, const ChartStyle& style) {
    return style.labels && std::fabs(values.raw[i]) > std::fabs(style.labels->minValue);
}

bool isMarked(const ChartValues& values, std::size_t i) {
    const double v = values.raw[i];
    return (v > 0 && std::fabs(v) > std::fabs(values.range.vmax)) ||
           (v < 0 && std::fabs(v) > std::fabs(values.range.vmin));
}

// The chart marker of an old chart: the first marker element inside its group, or itself.
const host::Element& oldChartMarker(const host::Element& old) {
    if (old.kind() != host::ElementKind::Group) {
        return old;
    }
    for (const auto& member : static_cast<const host::GroupElement&>(old).members()) {
        if (member->kind() == host::ElementKind::Marker) {
            return *member;
        }
    }
    return old;
}

// Bounds of a chart marker as if its leader were removed; the old chart is not changed.
host::Envelope boundsWithoutLeader(const host::Element& element, const host::ScreenDisplay& display) {
    if (element.kind() == host::ElementKind::Marker) {
        const auto& marker = static_cast<const host::MarkerElement&>(element);
        if (marker.symbol && marker.symbol->kind() == host::SymbolKind::BarChart) {
            auto bare = std::make_shared<host::BarChartSymbol>(
                static_cast<const host::BarChartSymbol&>(*marker.symbol));
            bare->background.reset();
            host::MarkerElement probe;
            probe.symbol = std::move(bare);
            probe.setGeometry(marker.geometry());
            return probe.queryBounds(display);
        }
    }
    return element.queryBounds(display);
}

template <class T>
std::shared_ptr<T> copyOf(const std::shared_ptr<T>& symbol) {
    return symbol ? std::static_pointer_cast<T>(symbol->clone()) : nullptr;
}

std::string plainNumber(double v, const language::DecimalSeparators& sep) {
    return language::trimBlanks(sep.format(v));
}

}  // namespace

double clampedBarValue(double r, double minValue, double maxValue) {
    double a = std::fabs(r);
    if (a > maxValue) {
        a = maxValue;
    } else if (a < minValue) {
        a = minValue;
    }
    return (r == 0 ? signOf(minValue) : signOf(r)) * a;
}

ChartRange chartRange(double rmax, double rmin, double minValue, double maxValue) {
    ChartRange range;
    if (rmax <= 0) {
        range.vmax = 0;
    } else if (std::fabs(rmax) > std::fabs(maxValue)) {
        range.vmax = maxValue;
    } else if (std::fabs(rmax) < std::fabs(minValue)) {
        // A positive value below the range minimum is drawn at the minimum, so the chart's
        // range reaches that far (the negative side does the same with −MinValue).
        range.vmax = std::fabs(minValue);
    } else {
        range.vmax = rmax;
    }
    if (rmin >= 0) {
        range.vmin = 0;
    } else if (std::fabs(rmin) > std::fabs(maxValue)) {
        range.vmin = -std::fabs(maxValue);
    } else if (std::fabs(rmin) >= std::fabs(minValue)) {
        range.vmin = rmin;
    } else {
        range.vmin = -minValue;
    }
    return range;
}

void readChartValues(const host::Feature& feature, const std::vector<int>& fieldIndex,
                     const ChartStyle& style, const std::string& layerName,
                     const language::DecimalSeparators& sep, ChartValues& out) {
    const std::size_t n = style.fields.size();
    out.bars.resize(n);
    out.raw.resize(n);
    out.data.clear();
    out.data.reserve(n + 3);
    if (!out.layerText.isText() || out.layerText.text() != layerName) {
        out.layerText = host::Variant(layerName);
    }
    if (!out.nullText.isText()) {
        out.nullText = host::Variant(kNullText);
    }
    out.data.push_back(out.layerText);
    out.data.emplace_back(0.0);
    out.data.emplace_back(0.0);
    double rmax = 0;
    double rmin = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::string& field = style.fields[k];
        if (fieldIndex.at(k) < 0) {
            throw ChartStepError(errnum::kNotFound, "Fields", "Field " + field + " not found in " + layerName,
                                 "the layer " + layerName + " has no field " + field);
        }
        const host::Variant& value = feature.value(fieldIndex[k]);
        double r = style.nullValue;
        if (value.isNull() || value.isEmpty()) {
            out.bars[k] = style.nullValue;
            out.data.push_back(out.nullText);
        } else {
            if (!value.isNumber() || !std::isfinite(value.toDouble())) {
                throw ChartStepError(errnum::kTypeMismatch, "Fields", "The value of " + field + " is not a number",
                                     "field " + field + " holds '" + shownValue(value, sep) +
                                         "', which is not a number");
            }
            r = value.toDouble();
            out.bars[k] = clampedBarValue(r, style.range.min, style.range.max);
            out.data.push_back(value);
        }
        out.raw[k] = r;
        rmax = k == 0 ? r : std::max(rmax, r);
        rmin = k == 0 ? r : std::min(rmin, r);
    }
    out.range = chartRange(rmax, rmin, style.range.min, style.range.max);
    out.data[1] = host::Variant(out.range.vmax);
    out.data[2] = host::Variant(out.range.vmin);
}

std::shared_ptr<host::BarChartSymbol> makeChartSymbol(const ChartValues& values, const ChartStyle& style) {
    ChartParams params;
    params.Spacing = style.barSpacing;
    params.Width = style.barWidth;
    params.Display3D = style.display3D;
    params.Thickness = style.thickness;
    params.Size = style.size;
    auto chart = MakeBarChartSymbol(values.bars, style.fillSymbols, style.range.max, params);
    if (!chart) {
        throw ChartStepError(errnum::kObjectMissing, "Kartoplot", "The chart symbol could not be made", "");
    }
    return chart;
}

host::Point placeChart(const host::MarkerElement& chart, const host::Point& anchor,
                       const host::Envelope& featureBounds, const ChartStyle& style,
                       const ChartRange& range, const host::Element* oldChart,
                       const host::ScreenDisplay& display) {
    host::Point placed = anchor;
    const host::Envelope atAnchor = chart.queryBounds(display);
    if (oldChart != nullptr) {
        const host::Element& oldMarker = oldChartMarker(*oldChart);
        std::array<double, 2> xy{};
        GetX0Y0(oldMarker, boundsWithoutLeader(oldMarker, display), xy);
        const double y0 = atAnchor.yMin() + atAnchor.height() * zeroLineFraction(range.vmin, range.vmax);
        placed.x += xy[0] - atAnchor.xMin();
        placed.y += xy[1] - y0;
    } else {
        const auto offset = CalcChartOffset(featureBounds, atAnchor, placementCode(style.placement), style.distance);
        placed.x += offset[0];
        placed.y += offset[1];
    }
    return placed;
}

RunSymbols runSymbols(const ChartStyle& style) {
    RunSymbols symbols;
    symbols.leader = style.leader ? copyOf(style.leader->line) : nullptr;
    symbols.zigZag = style.zigZagLine ? copyOf(style.zigZagLine)
                                      : plainLine(kZigZagLineWidth, host::Color{255, 255, 255});
    if (style.labels) {
        if (!style.labels->text) {
            throw HostError(errnum::kObjectMissing, "Kartoplot", "No label text symbol");
        }
        symbols.labelAbove = copyOf(style.labels->text);
        symbols.labelAbove->horizontalAlignment = host::HorizontalAlignment::Center;
        symbols.labelAbove->verticalAlignment = host::VerticalAlignment::Bottom;
        symbols.labelBelow = copyOf(symbols.labelAbove);
        symbols.labelBelow->verticalAlignment = host::VerticalAlignment::Top;
    }
    return symbols;
}

std::shared_ptr<host::GroupElement> startChartGroup(const std::shared_ptr<host::MarkerElement>& chart,
                                                    const BarGeometry& bars, const ChartValues& values,
                                                    const ChartStyle& style,
                                                    const language::DecimalSeparators& sep) {
    auto group = std::make_shared<host::GroupElement>();
    int members = 1;
    for (std::size_t i = 0; i < values.raw.size(); ++i) {
        members += (isLabelled(values, i, style) ? 1 : 0) + (isMarked(values, i) ? 1 : 0);
    }
    group->reserve(members);
    group->addElement(chart);
    if (!isFinitePoint(chart->geometry().labelPoint()) || !isFiniteEnvelope(bars.envelope)) {
        throw ChartStepError(errnum::kOverflow, "Kartoplot", "Overflow",
                             "the chart's size or place is not a finite number (range " +
                                 plainNumber(style.range.min, sep) + " to " + plainNumber(style.range.max, sep) +
                                 ", size " + plainNumber(style.size, sep) + " points)");
    }
    return group;
}

void addLabelsAndMarks(host::GroupElement& group, const BarGeometry& bars, const ChartValues& values,
                       const ChartStyle& style, const RunSymbols& symbols, double thickness,
                       host::UserInteraction& interaction, const language::DecimalSeparators& sep) {
    const double markHeight = bars.envelope.height() / kMarkHeightDivisor;
    const std::size_t n = values.raw.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double v = values.raw[i];
        if (isLabelled(values, i, style)) {
            const host::Point at = barLabelPoint(bars, i, v >= 0);
            const auto& symbol = values.bars[i] >= 0 ? symbols.labelAbove : symbols.labelBelow;
            CreateTextLabel(CutNumberString(v, style.labelLength, sep), group, at.x, at.y, symbol,
                            symbol->horizontalAlignment, symbol->verticalAlignment);
        }
        if (isMarked(values, i)) {
            const host::Point start = zigZagStart(bars, i);
            const bool lastBar3D = style.display3D && i + 1 == n;
            DrawZigZag(markHeight, bars.bars[i].width, start.x, start.y, group, lastBar3D, thickness,
                       symbols.zigZag, interaction);
        }
    }
}

}  // namespace kartoplot::engine
