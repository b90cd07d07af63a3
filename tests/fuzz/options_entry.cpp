#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "cli/options.h"
#include "tests/fuzz/fuzz_entries.h"

namespace kartoplot::fuzz {
namespace {

std::vector<std::string> splitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string current;
    bool open = false;  // characters since the last separator
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\0' || c == '\n') {
            args.push_back(std::move(current));
            current.clear();
            open = false;
        } else {
            current += c;
            open = true;
        }
    }
    if (open) {
        args.push_back(std::move(current));
    }
    return args;
}

// What every chart job the parser accepts holds, whatever was typed; empty when it does.
std::string brokenPromise(const cli::ChartJob& job) {
    if (job.fields.empty()) {
        return "a chart job without fields";
    }
    for (const std::string& field : job.fields) {
        if (field.empty()) {
            return "a chart job with an empty field name";
        }
    }
    if (job.formats.empty()) {
        return "a chart job that writes no file";
    }
    for (const double value : {job.barWidth, job.spacing, job.thickness, job.distance, job.minLabel,
                               job.nullValue, job.divide, job.pointSize, job.dpi}) {
        if (!std::isfinite(value)) {
            return "a chart job with a number that is not finite";
        }
    }
    for (const auto& value : {job.minValue, job.maxValue, job.markerSize, job.minMM}) {
        if (value && !std::isfinite(*value)) {
            return "a chart job with a number that is not finite";
        }
    }
    if (job.divide == 0 || job.dpi <= 0 || job.barWidth <= 0 || (job.markerSize && *job.markerSize <= 0)) {
        return "a chart job with a zero divisor or a size that is not above 0";
    }
    if (job.minValue && job.maxValue && std::fabs(*job.minValue) > std::fabs(*job.maxValue)) {
        return "a chart job whose minimum is larger than its maximum";
    }
    if (job.placement < 0 || job.placement > 13 || job.labelDigits < 1 || job.labelDigits > 15 ||
        job.width < 16 || job.width > 20000 || job.height < 16 || job.height > 20000) {
        return "a chart job with a placement, label digits or picture size out of range";
    }
    return {};
}

}  // namespace

Outcome parseOptions(const std::uint8_t* data, std::size_t size) {
    const cli::Command command = cli::parseCommandLine(splitArguments(data, size));
    if (const auto* error = std::get_if<cli::UsageError>(&command)) {
        return {false, error->message.empty() ? "a usage error without a message" : ""};
    }
    if (const auto* chart = std::get_if<cli::ChartCommand>(&command)) {
        return {true, brokenPromise(chart->job)};
    }
    return {true, {}};
}

}  // namespace kartoplot::fuzz
