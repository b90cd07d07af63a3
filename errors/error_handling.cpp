#include "errors/error_handling.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace kartoplot {

namespace {

constexpr const char* kCrLf = "\r\n";

// Module state of the error reporter: the trail flag and the log in use.
struct ReporterState {
    std::mutex mutex;
    bool trailStarted = false;
    std::shared_ptr<ErrorLog> log;
};

ReporterState& state() {
    static ReporterState s;
    return s;
}

std::string timestampUtc() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace

HostError::HostError(std::int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

FileErrorLog::FileErrorLog(std::string path) : path_(std::move(path)) {}

void FileErrorLog::append(const std::string& record) {
    std::error_code ec;
    const auto parent = std::filesystem::path(path_).parent_path();
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, ec);
    }
    std::ofstream out(path_, std::ios::app | std::ios::binary);
    if (out) {
        out << "== " << timestampUtc() << " ==" << kCrLf << record;
        out.flush();
    }
    if (!out) {
        std::cerr << "kartoplot: cannot write the error log " << path_ << "; the error was:\n"
                  << record;
    }
}

void FileErrorLog::finish(bool) {}

void StreamErrorLog::append(const std::string& record) {
    *out_ << record;
    out_->flush();
}

void StreamErrorLog::finish(bool) {}

void TeeErrorLog::add(std::shared_ptr<ErrorLog> log) {
    if (log) {
        logs_.push_back(std::move(log));
    }
}

void TeeErrorLog::append(const std::string& record) {
    for (const auto& log : logs_) {
        log->append(record);
    }
}

void TeeErrorLog::finish(bool complete) {
    for (const auto& log : logs_) {
        log->finish(complete);
    }
}

void CapturingErrorLog::append(const std::string& record) { records_.push_back(record); }

void CapturingErrorLog::finish(bool) { ++finishCalls_; }

void CapturingErrorLog::clear() {
    records_.clear();
    finishCalls_ = 0;
}

std::string defaultErrorLogPath() {
    namespace fs = std::filesystem;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/') {
        return (fs::path(xdg) / "kartoplot" / "errors.log").string();
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return (fs::path(home) / ".local" / "state" / "kartoplot" / "errors.log").string();
    }
    return "kartoplot-errors.log";
}

ErrorLog& currentErrorLog() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.log) {
        s.log = std::make_shared<FileErrorLog>(defaultErrorLogPath());
    }
    return *s.log;
}

void setErrorLog(std::shared_ptr<ErrorLog> log) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.log = std::move(log);
}

ScopedErrorLog::ScopedErrorLog(std::shared_ptr<ErrorLog> log) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    previous_ = std::move(s.log);
    s.log = std::move(log);
}

ScopedErrorLog::~ScopedErrorLog() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.log = std::move(previous_);
}

std::string LineText(int errorLine) {
    if (errorLine == 0) {
        return {};
    }
    return "Line : " + std::to_string(errorLine);
}

std::string procedureText(const std::string& name, const std::string& module, int errorLine) {
    return name + " " + module + " " + LineText(errorLine);
}

std::string errorRecordText(const std::string& procText, std::int32_t errNumber,
                            const std::string& errDescription) {
    std::string header;
    header += "Error Number ";
    header += kCrLf;
    header += "\t" + std::to_string(errNumber) + kCrLf;
    header += "Description";
    header += kCrLf;
    header += "\t" + errDescription + kCrLf + kCrLf;

    std::string record = "Record Call Stack Sequence - Bottom line is error line.";
    record += kCrLf;
    record += kCrLf;
    record += "\t" + procText + kCrLf;
    record += kCrLf;
    record += header;
    return record;
}

bool trailStarted() noexcept {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.trailStarted;
}

void setTrailStarted(bool started) noexcept {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.trailStarted = started;
}

void HandleError(bool topLevel, const std::string& procText, std::int32_t errNumber,
                 const std::string& /*errSource*/, const std::string& errDescription,
                 int /*style*/) {
    // The header is built whenever no trail is running; every report ends the trail,
    // so two failures in a row give two complete records.
    setTrailStarted(false);
    if (!topLevel) {
        return;
    }
    ErrorLog& log = currentErrorLog();
    log.append(errorRecordText(procText, errNumber, errDescription));
    log.finish(true);
}

void ErrorTrap::reportCurrentException() const noexcept {
    constexpr int kReportStyle = 4;
    try {
        throw;
    } catch (const HostError& e) {
        HandleError(true, procText(), e.number(), e.source(), e.description(), kReportStyle);
    } catch (const std::bad_alloc&) {
        HandleError(true, procText(), 7, "Kartoplot", "Out of memory", kReportStyle);
    } catch (const std::exception& e) {
        HandleError(true, procText(), errnum::kInvalidCall, "Kartoplot", e.what(), kReportStyle);
    } catch (...) {
        HandleError(true, procText(), errnum::kInvalidCall, "Kartoplot", "Unknown failure",
                    kReportStyle);
    }
}

}  // namespace kartoplot
