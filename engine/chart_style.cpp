#include "engine/chart_style.h"

#include <cmath>
#include <ostream>

#include "errors/error_handling.h"
#include "engine/attribute_statistics.h"
#include "engine/engine_state.h"

namespace kartoplot::engine {

namespace {

// The line of the run's error records for a setting's text that is not a number.
constexpr int kLineSettings = 40;
constexpr double kLargestShort = 32767;
constexpr double kOpeningLabelSize = 6;     // points
constexpr double kZigZagWidth = 1.0;        // points
constexpr double kOpeningLeaderWidth = 0.5; // points

// A typed whole number (rounded, 16 bits): the number, or the failure a conversion meets.
std::optional<DeferredFailure> readShort(const language::DecimalSeparators& sep, const std::string& text,
                                         int& value) {
    const auto v = sep.toNumber(text);
    if (!v) {
        return DeferredFailure{errnum::kTypeMismatch, "Type mismatch", ""};
    }
    const double whole = language::roundHalfEven(*v, 0);
    if (std::fabs(whole) > kLargestShort) {
        return DeferredFailure{errnum::kOverflow, "Overflow: " + text, ""};
    }
    value = static_cast<int>(whole);
    return std::nullopt;
}

// The range, null value and label length of the style, or the failure the run raises for
// them at its first feature.
std::optional<DeferredFailure> readValues(const ChartRunSettings& settings,
                                          const language::DecimalSeparators& sep, ChartStyle& style) {
    const auto minValue = sep.toNumber(ReplaceAll(",", settings.TxtMinValue, "."));
    const auto maxValue = sep.toNumber(ReplaceAll(",", settings.TxtMaxValue, "."));
    const auto nullValue = sep.toNumber(settings.TxtNullValue);
    if (!minValue || !maxValue || !nullValue) {
        return DeferredFailure{errnum::kTypeMismatch, "Type mismatch",
                               "the value range (" + settings.TxtMinValue + " to " +
                                   settings.TxtMaxValue + ") or the null value (" +
                                   settings.TxtNullValue + ") is not a number"};
    }
    style.range = ValueRange{*minValue, *maxValue};
    style.nullValue = *nullValue;
    return readShort(sep, settings.TxtSignNumber, style.labelLength);
}

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

ChartRunSettings ChartRunSettings::openingValues() {
    ChartRunSettings s;
    s.labelTextSymbol = std::make_shared<host::TextSymbol>();
    s.labelTextSymbol->font.name = "Arial Narrow";
    s.labelTextSymbol->setSize(kOpeningLabelSize);
    s.labelTextSymbol->color = host::Color{0, 0, 0};
    s.labelTextSymbol->verticalAlignment = host::VerticalAlignment::Center;
    s.labelTextSymbol->horizontalAlignment = host::HorizontalAlignment::Left;
    s.breakLineSymbol = plainLine(kZigZagWidth, host::Color{255, 255, 255});
    s.leaderLineSymbol = plainLine(kOpeningLeaderWidth, host::Color{0, 0, 0});
    return s;
}

Placement placementFromCode(int code) noexcept {
    if (code < placementCode(Placement::OverOldCharts)) {
        return Placement::Centre;
    }
    if (code > placementCode(Placement::OverOldOption)) {
        return Placement::OverOldOption;
    }
    return static_cast<Placement>(code);
}

std::ostream& operator<<(std::ostream& out, Placement placement) {
    return out << "Placement(" << placementCode(placement) << ")";
}

ChartStyleResult chartStyleFromSettings(const ChartRunSettings& settings, int code,
                                        const std::vector<std::string>& fields,
                                        const host::SymbolArray& fillSymbols,
                                        const language::DecimalSeparators& sep) {
    ErrorTrap trap("CreateChartElements", kEngineModule);
    trap.at(kLineSettings);
    ChartStyleResult result;
    std::string reason;
    // A setting's number; a text that is not one fails, saying which setting.
    const auto number = [&](const std::string& text, const char* what) {
        if (!sep.toNumber(text)) {
            reason = std::string("the ") + what + " '" + text + "' is not a number";
        }
        return sep.toNumberOrThrow(text);
    };
    const bool made = trap.run([&] {
        try {
            ChartStyle style;
            style.placement = placementFromCode(code);
            style.oldChartLayer = settings.CmbOldChartLayer;
            style.fields = fields;
            style.fillSymbols = fillSymbols;
            style.keyField = settings.CmbKey;
            style.barSpacing = number(settings.txtChartSpacing, "bar spacing");
            style.barWidth = number(settings.TxtChartWidth, "bar width");
            style.display3D = settings.Chk3D;
            style.thickness = number(settings.Txt3DThickness, "3D thickness");
            style.size = number(settings.TxtChartMarkerSize, "chart size");
            style.distance = number(settings.TxtLabelDistance, "distance");
            if (settings.ChkShowLeader) {
                style.leader = LeaderStyle{number(settings.TxtLeaderWidth, "leader width"),
                                           settings.CmdLeaderColor, settings.leaderLineSymbol};
            }
            if (settings.ChkLabelDiagramm) {
                const double minLabel = number(settings.TxtMinLabelValue, "smallest labelled value");
                if (!settings.labelTextSymbol) {
                    throw HostError(errnum::kObjectMissing, "Kartoplot", "No label text symbol");
                }
                style.labels = LabelStyle{settings.labelTextSymbol, minLabel};
            }
            style.zigZagLine = settings.breakLineSymbol;
            style.saveLayerFile = settings.ChkSaveLyrFile;
            style.unreadValues = readValues(settings, sep, style);
            result.style = std::move(style);
        } catch (const std::exception& e) {
            const auto* hostError = dynamic_cast<const HostError*>(&e);
            result.failure = !reason.empty() ? reason
                             : hostError != nullptr ? hostError->description()
                                                    : std::string(e.what());
            throw;
        }
    });
    if (!made) {
        result.style.reset();
    }
    return result;
}

}  // namespace kartoplot::engine
