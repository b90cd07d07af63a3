#include "engine/chart_run.h"

#include <cmath>
#include <optional>

#include "errors/error_handling.h"
#include "engine/attribute_statistics.h"
#include "engine/chart_symbols.h"
#include "engine/element_data.h"
#include "engine/graphics_layers.h"
#include "engine/placement.h"

namespace kartoplot::engine {

namespace {

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

// Lines of the run, as its error reports name them.
enum RunLine : int {
    kLineStart = 10,
    kLineLayer = 20,
    kLineCursor = 30,
    kLineSettings = 40,
    kLineRange = 100,
    kLineValues = 110,
    kLineSymbol = 120,
    kLineElements = 130,
    kLineName = 140,
    kLineData = 150,
    kLineOldChart = 160,
    kLinePlacement = 180,
    kLineGroup = 190,
    kLineLeader = 200,
    kLineLabels = 210,
    kLineAdd = 220,
    kLineEnd = 300,
};

}  // namespace

std::shared_ptr<host::CartographicLineSymbol> plainLine(double width, host::Color colour) {
    auto line = std::make_shared<host::CartographicLineSymbol>();
    line->lineTemplate.pattern = {host::LineTemplate::PatternElement{0.0, 0.0}};
    line->lineTemplate.interval = 1.0;
    line->width = width;
    line->color = colour;
    line->cap = host::LineCap::Butt;
    return line;
}

namespace {

// The chart marker of an old chart: the first marker element inside its group, or itself.
std::shared_ptr<host::Element> oldChartMarker(const std::shared_ptr<host::Element>& old) {
    if (old->kind() != host::ElementKind::Group) {
        return old;
    }
    for (const auto& member : static_cast<const host::GroupElement&>(*old).members()) {
        if (member->kind() == host::ElementKind::Marker) {
            return member;
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

// A typed whole number (rounded, 16 bits), converted once; value() throws what the
// conversion met: a type mismatch or an overflow.
class ConvertedInteger {
public:
    ConvertedInteger(const language::DecimalSeparators& sep, const std::string& text) : text_(text) {
        if (const auto v = sep.toNumber(text)) {
            const double whole = language::roundHalfEven(*v, 0);
            if (std::fabs(whole) <= kLargestShort) {
                value_ = static_cast<int>(whole);
            } else {
                error_ = errnum::kOverflow;
            }
        }
    }
    int value() const {
        if (!value_) {
            throw HostError(error_, "Kartoplot",
                            error_ == errnum::kOverflow ? "Overflow: " + text_ : "Type mismatch");
        }
        return *value_;
    }

private:
    static constexpr double kLargestShort = 32767;
    std::string text_;
    std::optional<int> value_;
    std::int32_t error_ = errnum::kTypeMismatch;
};

}  // namespace

ChartRunSettings ChartRunSettings::openingValues() {
    ChartRunSettings s;
    s.labelTextSymbol = std::make_shared<host::TextSymbol>();
    s.labelTextSymbol->font.name = "Arial Narrow";
    s.labelTextSymbol->setSize(6);
    s.labelTextSymbol->color = host::Color{0, 0, 0};
    s.labelTextSymbol->verticalAlignment = host::VerticalAlignment::Center;
    s.labelTextSymbol->horizontalAlignment = host::HorizontalAlignment::Left;
    s.breakLineSymbol = plainLine(1.0, host::Color{255, 255, 255});
    s.leaderLineSymbol = plainLine(0.5, host::Color{0, 0, 0});
    return s;
}

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

ChartRunResult CreateChartElements(EngineState& state, host::FeatureLayer& layer,
                                   int placementCode, bool selectedOnly, bool recreate,
                                   const std::vector<std::string>& fieldNames,
                                   const host::SymbolArray& chartSymbols,
                                   const ChartRunSettings& settings) {
    ErrorTrap trap("CreateChartElements", kEngineModule);
    ChartRunResult result;
    host::ActiveView* view = nullptr;
    // The reason in words: the failing feature and what was found wrong with it.
    std::string featureLabel;
    std::string reason;
    const auto body = [&] {
        trap.at(kLineStart);
        if (!state.document || !state.map || !state.interaction) {
            throw HostError(errnum::kObjectMissing, "Kartoplot",
                            "The chart engine has no map document or no user interface");
        }
        view = &state.document->activeView();
        host::Map& map = *state.map;
        const language::DecimalSeparators& sep = state.separators;
        const std::string minText = ReplaceAll(",", settings.TxtMinValue, ".");
        const std::string maxText = ReplaceAll(",", settings.TxtMaxValue, ".");

        const std::size_t n = fieldNames.size();
        auto nameList = std::make_shared<std::vector<std::string>>();
        nameList->reserve(n + 3);
        nameList->insert(nameList->end(), {kLayerNameKey, kVmaxKey, kVminKey});
        nameList->insert(nameList->end(), fieldNames.begin(), fieldNames.end());
        const host::NameList names = std::move(nameList);

        trap.at(kLineLayer);
        const ChartGraphicsLayers layers = CreateChartGraphicsLayer(
            state, layer, recreate, kChartLayerSuffix, placementCode, settings.CmbOldChartLayer);
        if (!layers.ok) {
            return;
        }
        host::GraphicsLayer& target = *layers.target;

        trap.at(kLineCursor);
        auto cursor = CreateChartCursor(state, layer, selectedOnly);
        if (!cursor) {
            return;
        }
        const auto& featureClass = layer.featureClass();
        const std::string alias = featureClass ? featureClass->aliasName() : std::string();

        // Charts are measured on the map's own display, even while the page layout is shown.
        const host::ScreenDisplay& display = map.screenDisplay();
        const host::DisplayTransformation& transform = display.transformation();

        trap.at(kLineSettings);
        // A setting's number; a text that is not one fails the run, saying which setting.
        const auto setting = [&](const std::string& text, const char* what) {
            const auto value = sep.toNumber(text);
            if (!value) {
                reason = std::string("the ") + what + " '" + text + "' is not a number";
            }
            return sep.toNumberOrThrow(text);
        };
        ChartParams params;
        params.Spacing = setting(settings.txtChartSpacing, "bar spacing");
        params.Width = setting(settings.TxtChartWidth, "bar width");
        params.Display3D = settings.Chk3D;
        params.Thickness = setting(settings.Txt3DThickness, "3D thickness");
        params.Size = setting(settings.TxtChartMarkerSize, "chart size");
        const double distance = setting(settings.TxtLabelDistance, "distance");
        const double leaderWidth =
            settings.ChkShowLeader ? setting(settings.TxtLeaderWidth, "leader width") : 0.0;
        const double minLabelValue =
            settings.ChkLabelDiagramm ? setting(settings.TxtMinLabelValue, "smallest labelled value") : 0.0;
        const double thicknessMap = transform.pointsToMapDistance(params.Thickness);

        // Symbols shared by every chart of this run (copies, so that later changes in the
        // dialog do not reach charts already on the map).
        const std::shared_ptr<host::LineSymbol> leaderSymbol =
            settings.leaderLineSymbol
                ? std::static_pointer_cast<host::LineSymbol>(settings.leaderLineSymbol->clone())
                : nullptr;
        const std::shared_ptr<host::LineSymbol> breakSymbol =
            settings.breakLineSymbol
                ? std::static_pointer_cast<host::LineSymbol>(settings.breakLineSymbol->clone())
                : plainLine(1.0, host::Color{255, 255, 255});
        std::shared_ptr<host::TextSymbol> labelAbove;
        std::shared_ptr<host::TextSymbol> labelBelow;
        if (settings.ChkLabelDiagramm) {
            if (!settings.labelTextSymbol) {
                throw HostError(errnum::kObjectMissing, "Kartoplot", "No label text symbol");
            }
            labelAbove = std::static_pointer_cast<host::TextSymbol>(settings.labelTextSymbol->clone());
            labelAbove->horizontalAlignment = host::HorizontalAlignment::Center;
            labelAbove->verticalAlignment = host::VerticalAlignment::Bottom;
            labelBelow = std::static_pointer_cast<host::TextSymbol>(labelAbove->clone());
            labelBelow->verticalAlignment = host::VerticalAlignment::Top;
        }

        // Field positions, looked up once: every feature of a cursor has the same fields.
        const host::Fields& fields = cursor->fields();
        std::vector<int> fieldIndex(n, -1);
        for (std::size_t k = 0; k < n; ++k) {
            fieldIndex[k] = fields.findField(fieldNames[k]);
        }
        int keyIndex = fields.findField(settings.CmbKey);
        if (keyIndex < 0) {
            keyIndex = fields.findField(alias + "." + settings.CmbKey);
        }

        // The range, null value and label length are read for the features; the texts do not
        // change during a run, so they are converted once and a bad text fails at the first
        // feature, as it would on every one.
        const std::optional<double> minParsed = sep.toNumber(minText);
        const std::optional<double> maxParsed = sep.toNumber(maxText);
        const std::optional<double> nullParsed = sep.toNumber(settings.TxtNullValue);
        const host::Variant nullMarker(kNullText);
        const ConvertedInteger signNumberOf(sep, settings.TxtSignNumber);

        std::vector<double> values(n);
        std::vector<double> labelValues(n);
        std::vector<bool> labelled(n);
        std::vector<bool> marked(n);
        // The failing feature is named while the cursor still holds it.
        const host::Feature* current = nullptr;
        try {
            while ((current = cursor->nextFeature()) != nullptr) {
                    trap.at(kLineRange);
                if (!minParsed || !maxParsed || !nullParsed) {
                    reason = "the value range (" + settings.TxtMinValue + " to " + settings.TxtMaxValue +
                             ") or the null value (" + settings.TxtNullValue + ") is not a number";
                    throw HostError(errnum::kTypeMismatch, "Kartoplot", "Type mismatch");
                }
                const double minValue = *minParsed;
                const double maxValue = *maxParsed;
                const double nullValue = *nullParsed;
                const int signNumber = signNumberOf.value();

                trap.at(kLineValues);
                std::vector<host::Variant> data;
                data.reserve(n + 3);
                data.emplace_back(layer.name());
                data.emplace_back(0.0);
                data.emplace_back(0.0);
                double rmax = 0;
                double rmin = 0;
                for (std::size_t k = 0; k < n; ++k) {
                    if (fieldIndex[k] < 0) {
                        reason = "the layer " + layer.name() + " has no field " + fieldNames[k];
                        throw HostError(errnum::kNotFound, "Fields",
                                        "Field " + fieldNames[k] + " not found in " + layer.name());
                    }
                    const host::Variant& raw = current->value(fieldIndex[k]);
                    double r = nullValue;
                    if (raw.isNull() || raw.isEmpty()) {
                        values[k] = nullValue;
                        data.push_back(nullMarker);
                    } else {
                        if (!raw.isNumber() || !std::isfinite(raw.toDouble())) {
                            reason = "field " + fieldNames[k] + " holds '" + shownValue(raw, sep) +
                                     "', which is not a number";
                            throw HostError(errnum::kTypeMismatch, "Fields",
                                            "The value of " + fieldNames[k] + " is not a number");
                        }
                        r = raw.toDouble();
                        values[k] = clampedBarValue(r, minValue, maxValue);
                        data.push_back(raw);
                    }
                    labelValues[k] = r;
                    rmax = k == 0 ? r : std::max(rmax, r);
                    rmin = k == 0 ? r : std::min(rmin, r);
                }
                const ChartRange range = chartRange(rmax, rmin, minValue, maxValue);
                data[1] = host::Variant(range.vmax);
                data[2] = host::Variant(range.vmin);

                trap.at(kLineSymbol);
                const auto chart = MakeBarChartSymbol(values, chartSymbols, maxValue, params);
                if (!chart) {
                    throw HostError(errnum::kObjectMissing, "Kartoplot",
                                    "The chart symbol could not be made");
                }
                const double tolerance =
                    halfDiagonal(params.Size, static_cast<int>(n), params.Width, params.Spacing);

                trap.at(kLineElements);
                const host::Point anchor = GetAnchorPoint(current->shape);
                if (!isFinitePoint(anchor)) {
                    reason = "its point has no finite coordinates";
                    throw HostError(errnum::kOverflow, "Kartoplot", "Overflow");
                }
                auto chartElement = std::make_shared<host::MarkerElement>();
                chartElement->symbol = chart;
                chartElement->setGeometry(anchor);
                host::MarkerElement featureMarker;
                if (auto symbol = layer.symbolForFeature(*current)) {
                    if (!symbol->isMarker()) {
                        throw HostError(errnum::kTypeMismatch, "Kartoplot",
                                        "The symbol of " + layer.name() + " is not a marker symbol");
                    }
                    featureMarker.symbol = std::static_pointer_cast<host::MarkerSymbol>(symbol);
                }
                featureMarker.setGeometry(anchor);

                trap.at(kLineName);
                if (keyIndex >= 0 && !current->value(keyIndex).isNull() &&
                    !current->value(keyIndex).isEmpty()) {
                    chartElement->setName(valueText(current->value(keyIndex), sep));
                } else {
                    chartElement->setName(kNullText);
                }

                trap.at(kLineData);
                SetElementData(*chartElement, names, std::move(data));

                trap.at(kLineOldChart);
                std::shared_ptr<host::Element> old;
                std::shared_ptr<host::Element> sameNameOnTarget;
                if (recreate) {
                    if (placementCode == kPlacementOverLayer) {
                        old = FindElementByName(chartElement->name(), *layers.oldCharts);
                        sameNameOnTarget = FindElementByName(chartElement->name(), target);
                    } else {
                        old = FindElementByName(chartElement->name(), target);
                        sameNameOnTarget = old;
                    }
                }

                trap.at(kLinePlacement);
                host::Point placed = anchor;
                const host::Envelope chartAtAnchor = chartElement->queryBounds(display);
                const bool align = recreate && old &&
                                   (placementCode == kPlacementKeepOld ||
                                    placementCode == kPlacementOverLayer);
                if (align) {
                    const auto oldMarker = oldChartMarker(old);
                    std::array<double, 2> xy{};
                    GetX0Y0(*oldMarker, boundsWithoutLeader(*oldMarker, display), xy);
                    const double x0 = chartAtAnchor.xMin();
                    const double y0 = chartAtAnchor.yMin() +
                                      chartAtAnchor.height() * zeroLineFraction(range.vmin, range.vmax);
                    placed.x += xy[0] - x0;
                    placed.y += xy[1] - y0;
                } else {
                    const auto offset = CalcChartOffset(featureMarker.queryBounds(display), chartAtAnchor,
                                                        placementCode, distance);
                    placed.x += offset[0];
                    placed.y += offset[1];
                }
                chartElement->setGeometry(placed);

                trap.at(kLineGroup);
                auto group = std::make_shared<host::GroupElement>();
                // Which bars get a label, and which run off the chart's range and get a mark.
                int members = 1;
                for (std::size_t i = 0; i < n; ++i) {
                    const double v = labelValues[i];
                    labelled[i] = settings.ChkLabelDiagramm && std::fabs(v) > std::fabs(minLabelValue);
                    marked[i] = (v > 0 && std::fabs(v) > std::fabs(range.vmax)) ||
                                (v < 0 && std::fabs(v) > std::fabs(range.vmin));
                    members += (labelled[i] ? 1 : 0) + (marked[i] ? 1 : 0);
                }
                group->reserve(members);
                group->addElement(chartElement);
                const host::Envelope chartExtent = chartElement->queryBounds(display);
                if (!isFinitePoint(placed) || !isFiniteEnvelope(chartExtent)) {
                    reason = "the chart's size or place is not a finite number (range " + minText + " to " +
                             maxText + ", size " + settings.TxtChartMarkerSize + " points)";
                    throw HostError(errnum::kOverflow, "Kartoplot", "Overflow");
                }

                trap.at(kLineLeader);
                if (settings.ChkShowLeader) {
                    CreateLeader(*chart, anchor, leaderWidth, settings.CmdLeaderColor, kLeaderGap,
                                 tolerance, leaderSymbol);
                }

                trap.at(kLineLabels);
                const BarGeometry bars = barGeometry(host::barChartLayout(*chart), placed,
                                                     transform.pointsToMapDistance(1.0));
                // A mark is as high as a tenth of the chart's bounds.
                const double markHeight = bars.envelope.height() / 10;
                for (std::size_t i = 0; i < n; ++i) {
                    const double v = labelValues[i];
                    const double c = values[i];
                    if (labelled[i]) {
                        const host::Point at = barLabelPoint(bars, i, v >= 0);
                        const auto& symbol = c >= 0 ? labelAbove : labelBelow;
                        CreateTextLabel(CutNumberString(v, signNumber, sep), *group, at.x, at.y, symbol,
                                        symbol->horizontalAlignment, symbol->verticalAlignment);
                    }
                    if (marked[i]) {
                        const host::Point start = zigZagStart(bars, i);
                        const bool lastBar3D = params.Display3D && i + 1 == n;
                        DrawZigZag(markHeight, bars.bars[i].width, start.x, start.y, *group, lastBar3D,
                                   thicknessMap, breakSymbol, *state.interaction);
                    }
                }

                // The chart goes onto the layer whole; the old one leaves only then.
                trap.at(kLineAdd);
                target.addElement(group);
                if (sameNameOnTarget && sameNameOnTarget->container() == &target) {
                    target.deleteElement(*sameNameOnTarget);
                }
                ++result.charted;
                if (state.chartAdded) {
                    state.chartAdded(result.charted);
                }
            }
        } catch (...) {
            if (current != nullptr && trap.line() >= kLineValues) {  // not a setting's failure
                featureLabel = keyIndex >= 0 && !current->value(keyIndex).isNull() &&
                                       !current->value(keyIndex).isEmpty()
                                   ? "feature '" + valueText(current->value(keyIndex), sep) + "'"
                                   : "feature " + std::to_string(current->oid);
            }
            throw;
        }

        trap.at(kLineEnd);
        if (settings.ChkSaveLyrFile && state.interaction) {
            state.interaction->messageBox(
                state.notices.text(language::NoticeMessage::LayerFilesNotAvailable), "Kartoplot",
                host::MessageButtons::Ok, host::MessageIcon::Information);
        }
        result.completed = true;
    };
    trap.run([&] {
        try {
            body();
        } catch (const std::exception& e) {
            // The reason in words goes beside the record that the trap writes.
            const auto* hostError = dynamic_cast<const HostError*>(&e);
            if (reason.empty()) {
                reason = hostError != nullptr ? hostError->description() : std::string(e.what());
            }
            result.failure = featureLabel.empty() ? reason : featureLabel + ": " + reason;
            throw;
        }
    });
    if (view != nullptr) {
        view->refresh();
    }
    return result;
}

}  // namespace kartoplot::engine
