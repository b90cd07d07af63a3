#include "engine/placement.h"

#include <cmath>

#include "errors/error_handling.h"
#include "engine/element_data.h"
#include "engine/engine_state.h"
#include "host/display.h"
#include "host/property_set.h"

namespace kartoplot::engine {

namespace {
using host::kCos45;
constexpr double kSin45 = host::kCos45;
// A zigzag mark crosses its bar at this share of the bar's length from the zero line.
constexpr double kZigZagShare = 0.8;
}  // namespace

host::Point GetAnchorPoint(const host::Geometry& shape) {
    if (shape.type() == host::GeometryType::Polygon) {
        return shape.labelPoint();
    }
    const host::Envelope e = shape.envelope();
    return e.isEmpty() ? host::Point{} : e.center();
}

std::array<double, 2> CalcChartOffset(const host::Envelope& a, const host::Envelope& b, int code,
                                      double d) {
    if (code < 0) {
        code = 0;
    }
    const double aw = a.width();
    const double ah = a.height();
    const double bw = b.width();
    const double bh = b.height();
    // θ: the direction of the chart's own diagonal.
    const double theta = std::atan2(bw, bh);
    const double ct = std::cos(theta);
    const double st = std::sin(theta);
    const double side = (aw + bw) / 2;
    const double circleSide = (kCos45 * aw + bw) / 2;
    const double circleUp = kSin45 * (aw / 2);
    switch (code) {
        case 1: return {side + d, 0};
        case 2: return {side + ct * d, ah / 2 + st * d};
        case 3: return {circleSide + kCos45 * d, circleUp + kSin45 * d};
        case 4: return {0, ah / 2 + d};
        case 6: return {-side - ct * d, ah / 2 + st * d};
        case 7: return {-circleSide - kCos45 * d, circleUp + kSin45 * d};
        case 8: return {-side - d, 0};
        case 9: return {-circleSide - kCos45 * d, -circleUp - bh - kSin45 * d};
        case 10: return {-side - ct * d, -ah / 2 - bh - st * d};
        case 11: return {0, -ah / 2 - bh - d};
        case 12: return {circleSide + kCos45 * d, -circleUp - bh - kSin45 * d};
        case 13: return {side + ct * d, -ah / 2 - bh - st * d};
        default: return {0, 0};  // 0 centre, 5 old placement, 14 and above
    }
}

double rangeRatio(double v, double vmin, double vmax) {
    if (vmin == vmax) {
        return 1.0;
    }
    return (v - vmin) / (vmax - vmin);
}

bool GetX0Y0(const host::Element& element, const host::Envelope& envelope,
             std::array<double, 2>& xy) {
    ErrorTrap trap("GetX0Y0", kEngineModule);
    xy = {envelope.xMin(), envelope.yMin()};
    trap.run([&] {
        std::vector<std::string> names;
        std::vector<host::Variant> values;
        if (!GetElementData(element, names, values)) {
            return;
        }
        double vmax = 0.0;
        double vmin = 0.0;
        trap.at(1);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (host::equalsIgnoringCase(names[i], kVmaxKey)) {
                vmax = values[i].toDouble();
            } else if (host::equalsIgnoringCase(names[i], kVminKey)) {
                vmin = values[i].toDouble();
            }
        }
        const double f = vmin == vmax ? 1.0 : -vmin / (vmax - vmin);
        xy[1] = envelope.yMin() + envelope.height() * f;
    });
    return true;
}

void CreateLeader(host::BarChartSymbol& chartSymbol, const host::Point& anchor, double width,
                  const host::Color& colour, double gap, double tolerance,
                  const std::shared_ptr<host::LineSymbol>& leaderSymbol) {
    ErrorTrap trap("CreateLeader", kEngineModule);
    trap.run([&] {
        auto callout = std::make_shared<host::LineCallout>();
        callout->anchorPoint = anchor;
        if (leaderSymbol) {
            callout->leaderLine = leaderSymbol;
        } else {
            auto line = std::make_shared<host::SimpleLineSymbol>();
            line->width = width;
            line->color = colour;
            callout->leaderLine = std::move(line);
        }
        callout->gap = gap;
        callout->leaderTolerance = tolerance;
        chartSymbol.background = std::move(callout);
    });
}

std::shared_ptr<host::TextElement> CreateTextLabel(
    const std::string& text, host::GroupElement& group, double x, double y,
    const std::shared_ptr<host::TextSymbol>& textSymbol, host::HorizontalAlignment horizontal,
    host::VerticalAlignment vertical) {
    if (!textSymbol) {
        throw HostError(errnum::kObjectMissing, "CreateTextLabel", "No label text symbol");
    }
    auto element = std::make_shared<host::TextElement>();
    element->text = text;
    element->scaleText = true;
    if (textSymbol->horizontalAlignment == horizontal && textSymbol->verticalAlignment == vertical) {
        element->symbol = textSymbol;
    } else {
        auto aligned = std::static_pointer_cast<host::TextSymbol>(textSymbol->clone());
        aligned->horizontalAlignment = horizontal;
        aligned->verticalAlignment = vertical;
        element->symbol = std::move(aligned);
    }
    element->setGeometry(host::Point{x, y});
    group.addElement(element);
    return element;
}

std::vector<host::Point> zigZagPoints(double h, double w, double x, double y, bool lastBar3D,
                                      double depth) {
    std::vector<host::Point> points = {
        {x, y},
        {x + w / 8, y},
        {x + 2 * w / 8, y - h / 2},
        {x + 6 * w / 8, y + h / 2},
        {x + 7 * w / 8, y},
        {x + w, y},
    };
    if (lastBar3D && depth != 0) {
        points.push_back({x + w + depth * kCos45, y + depth * kSin45});
    }
    return points;
}

std::shared_ptr<host::LineElement> DrawZigZag(double h, double w, double x, double y,
                                              host::GroupElement& group, bool lastBar3D,
                                              double depth,
                                              const std::shared_ptr<host::LineSymbol>& symbol,
                                              host::UserInteraction& interaction) {
    try {
        for (double v : {h, w, x, y, depth}) {
            if (!std::isfinite(v)) {
                throw HostError(errnum::kInvalidCall, "DrawZigZag", "The mark has no finite size");
            }
        }
        auto element = std::make_shared<host::LineElement>();
        element->setGeometry(host::Polyline::fromPoints(zigZagPoints(h, w, x, y, lastBar3D, depth)));
        element->symbol = symbol;
        group.addElement(element);
        return element;
    } catch (const std::exception&) {
        interaction.messageBox("ZigZag error", "DrawZigZag", host::MessageButtons::Ok,
                               host::MessageIcon::Exclamation);
        return nullptr;
    }
}

std::string CutNumberString(double value, int maxChars,
                            const language::DecimalSeparators& separators) {
    const auto text = [&](double v) { return language::trimBlanks(separators.format(v)); };
    std::string s = text(value);
    std::size_t p = s.find(',');
    if (p == std::string::npos) {
        p = s.find('.');
    }
    const int position = p == std::string::npos ? 0 : static_cast<int>(p) + 1;
    const int lead = (value < 1 && position > 0) ? position - 1 : 0;
    if (lead < maxChars - 1) {
        s = text(language::roundHalfEven(value, std::max(0, maxChars - position)));
    } else {
        s = text(language::roundHalfEven(value, 0));
    }
    const bool hasSeparator = s.find_first_of(",.") != std::string::npos;
    if (maxChars - static_cast<int>(host::utf8Length(s)) >= 2 && !hasSeparator) {
        s += ".0";
    }
    for (char& c : s) {
        if (c == ',') {
            c = '.';
        }
    }
    return s;
}

BarGeometry barGeometry(host::BarChartLayout layout, const host::Point& at, double mapUnitsPerPoint) {
    const double k = mapUnitsPerPoint;
    BarGeometry g;
    g.depthX = layout.depthX * k;
    g.depthY = layout.depthY * k;
    g.zeroLine = at.y + layout.zeroLine * k;
    const host::Envelope e = layout.envelope();
    g.envelope = host::Envelope(at.x + e.xMin() * k, at.y + e.yMin() * k, at.x + e.xMax() * k,
                                at.y + e.yMax() * k);
    for (host::BarChartLayout::Bar& bar : layout.bars) {
        bar.left = at.x + bar.left * k;
        bar.width *= k;
        bar.bottom = at.y + bar.bottom * k;
        bar.top = at.y + bar.top * k;
    }
    g.bars = std::move(layout.bars);
    return g;
}

host::Point barLabelPoint(const BarGeometry& g, std::size_t i, bool above) {
    const host::BarChartLayout::Bar& bar = g.bars.at(i);
    if (above) {
        return {bar.left + g.depthX + bar.width / 2, bar.top + g.depthY};
    }
    return {bar.left + bar.width / 2, bar.bottom};
}

host::Point zigZagStart(const BarGeometry& g, std::size_t i) {
    const host::BarChartLayout::Bar& bar = g.bars.at(i);
    // One end of a bar is on the zero line; the mark crosses towards the other end.
    const double length = (bar.top - g.zeroLine) + (bar.bottom - g.zeroLine);
    return {bar.left, g.zeroLine + kZigZagShare * length};
}

}  // namespace kartoplot::engine
