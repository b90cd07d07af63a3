#include "engine/chart_sizing.h"

#include <cmath>

#include "errors/error_handling.h"

namespace kartoplot::engine {

namespace {

// The conversions belong to the main dialog; their reports name its source file.
constexpr const char* kDialogModule = "frmKartoplot_ListView";

[[noreturn]] void divisionByZero(const char* where) {
    throw HostError(errnum::kDivisionByZero, where, "Division by zero");
}

template <class Compute>
std::optional<double> trapped(const char* procedure, Compute&& compute) {
    ErrorTrap trap(procedure, kDialogModule);
    std::optional<double> result;
    trap.run([&] { result = compute(); });
    return result;
}

}  // namespace

double scaleFactor(const MapScales& scales) {
    if (scales.referenceScale <= 0) {
        return 1.0;
    }
    if (scales.currentScale == 0) {
        divisionByZero("scaleFactor");
    }
    return scales.referenceScale / scales.currentScale;
}

double chartSizeFor(double minValue, double minValueMM, double maxValue, double f) {
    if (minValue == 0) {
        return 0.0;
    }
    const double divisor = minValue * kMillimetresPerInch * f;
    if (divisor == 0) {
        divisionByZero("CalcChartSize");
    }
    return language::roundHalfEven(maxValue * kPointsPerInch * minValueMM / divisor, 0);
}

double minValueMMFor(double minValue, double maxValue, double chartMarkerSize, double f) {
    if (maxValue == 0) {
        return 0.0;
    }
    return language::roundHalfEven(
        minValue / maxValue * chartMarkerSize / kPointsPerInch * kMillimetresPerInch * f, 3);
}

double chartSizeMMFor(double chartMarkerSize, double f) {
    return language::roundHalfEven(chartMarkerSize / kPointsPerInch * kMillimetresPerInch * f, 1);
}

double minValueFromMM(double minValueMM, double maxValue, double chartMarkerSize, double f) {
    if (maxValue == 0) {
        return 0.0;
    }
    const double divisor = chartMarkerSize * kMillimetresPerInch * f;
    if (divisor == 0) {
        divisionByZero("CalcMinValueFromMM");
    }
    return language::roundHalfEven(maxValue * minValueMM * kPointsPerInch / divisor, 10);
}

std::optional<double> tryCalcChartSize(const SizeTexts& t, const MapScales& scales,
                                       const language::DecimalSeparators& sep) {
    return trapped("CalcChartSize", [&] {
        const double minValue = sep.toNumberOrThrow(t.minValue);
        const double minValueMM = sep.toNumberOrThrow(t.minValueMM);
        const double maxValue = sep.toNumberOrThrow(t.maxValue);
        return chartSizeFor(minValue, minValueMM, maxValue, scaleFactor(scales));
    });
}

std::optional<double> tryCalcMinMM(const SizeTexts& t, const MapScales& scales,
                                   const language::DecimalSeparators& sep) {
    return trapped("CalcMinMM", [&] {
        const double minValue = sep.toNumberOrThrow(t.minValue);
        const double maxValue = sep.toNumberOrThrow(t.maxValue);
        const double size = sep.toNumberOrThrow(t.chartMarkerSize);
        return minValueMMFor(minValue, maxValue, size, scaleFactor(scales));
    });
}

std::optional<double> tryCalcSizeMM(const SizeTexts& t, const MapScales& scales,
                                    const language::DecimalSeparators& sep) {
    return trapped("CalcSizeMM", [&] {
        const double size = sep.toNumberOrThrow(t.chartMarkerSize);
        return chartSizeMMFor(size, scaleFactor(scales));
    });
}

std::optional<double> tryCalcMinValueFromMM(const SizeTexts& t, const MapScales& scales,
                                            const language::DecimalSeparators& sep) {
    return trapped("CalcMinValueFromMM", [&] {
        const double minValueMM = sep.toNumberOrThrow(t.minValueMM);
        const double maxValue = sep.toNumberOrThrow(t.maxValue);
        const double size = sep.toNumberOrThrow(t.chartMarkerSize);
        return minValueFromMM(minValueMM, maxValue, size, scaleFactor(scales));
    });
}

double CalcChartSize(const SizeTexts& t, const MapScales& s, const language::DecimalSeparators& d) {
    return tryCalcChartSize(t, s, d).value_or(0.0);
}

double CalcMinMM(const SizeTexts& t, const MapScales& s, const language::DecimalSeparators& d) {
    return tryCalcMinMM(t, s, d).value_or(0.0);
}

double CalcSizeMM(const SizeTexts& t, const MapScales& s, const language::DecimalSeparators& d) {
    return tryCalcSizeMM(t, s, d).value_or(0.0);
}

double CalcMinValueFromMM(const SizeTexts& t, const MapScales& s,
                          const language::DecimalSeparators& d) {
    return tryCalcMinValueFromMM(t, s, d).value_or(0.0);
}

void applyLockRule(SizeEvent event, bool locked, SizeTexts& texts, const MapScales& scales,
                   const language::DecimalSeparators& sep) {
    const auto write = [&](std::string& target, const std::optional<double>& value) {
        if (value) {
            target = language::trimBlanks(sep.format(*value));
        }
    };
    // A new marker size text changes the size display and the spin button as a typed one
    // would (with the lock pressed, MinValueMM is held).
    const auto markerSizeFollows = [&] {
        const auto size = tryCalcChartSize(texts, scales, sep);
        if (size) {
            write(texts.chartMarkerSize, size);
            applyLockRule(SizeEvent::ChartMarkerSizeChanged, true, texts, scales, sep);
        }
    };
    switch (event) {
        case SizeEvent::ChartMarkerSizeChanged: {
            write(texts.chartMarkerSizeMM, tryCalcSizeMM(texts, scales, sep));
            // The spin value is the size rounded as the dialog rounds it: halves to even.
            if (const auto size = sep.toNumber(texts.chartMarkerSize)) {
                const double whole = language::roundHalfEven(*size, 0);
                if (std::fabs(whole) < 2147483647.0) {
                    texts.spinValue = static_cast<int>(whole);
                }
            }
            if (!locked) {
                write(texts.minValueMM, tryCalcMinMM(texts, scales, sep));
            }
            break;
        }
        case SizeEvent::ValueRangeLeft:
            if (locked) {
                markerSizeFollows();
            } else {
                write(texts.minValueMM, tryCalcMinMM(texts, scales, sep));
            }
            break;
        case SizeEvent::MinValueMMLeft:
            if (locked) {
                markerSizeFollows();
            } else {
                write(texts.minValue, tryCalcMinValueFromMM(texts, scales, sep));
            }
            break;
    }
}

}  // namespace kartoplot::engine
