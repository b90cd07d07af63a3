// The one error reporter of Kartoplot and the error object every module raises.
//
// A procedure that can meet a host failure runs under a trap (ErrorTrap). When the
// trap fires it calls HandleError with the procedure's text ("Name Module Line : N"),
// which composes the error record and hands it to the error log. The procedure then
// returns its empty result; one failure ends one operation, never the program.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace kartoplot {

// Error numbers raised by Kartoplot's own code. They follow the numbering the
// host's users know from its error dialogs.
namespace errnum {
inline constexpr std::int32_t kInvalidCall = 5;        // bad argument or state
inline constexpr std::int32_t kOverflow = 6;           // number out of range
inline constexpr std::int32_t kSubscriptRange = 9;     // index outside a collection
inline constexpr std::int32_t kDivisionByZero = 11;    // division by zero
inline constexpr std::int32_t kTypeMismatch = 13;      // text is not a number, wrong kind
inline constexpr std::int32_t kObjectMissing = 91;     // a needed object is absent
inline constexpr std::int32_t kFileNotFound = 53;      // file cannot be opened
inline constexpr std::int32_t kFileIo = 57;            // read or write failed
inline constexpr std::int32_t kBadFileFormat = 321;    // file content not understood
inline constexpr std::int32_t kNotFound = 5000;        // named host object not found
}  // namespace errnum

// A failing host operation. number/source/description are what the error record shows.
class HostError : public std::runtime_error {
public:
    HostError(std::int32_t number, std::string source, std::string description);

    std::int32_t number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }

private:
    std::int32_t number_ = 0;
    std::string source_;
    std::string description_;
};

// The outside error-log component. append() receives the record text; finish(true)
// follows right after it, as the log's "record complete" call.
class ErrorLog {
public:
    virtual ~ErrorLog() = default;
    virtual void append(const std::string& record) = 0;
    virtual void finish(bool complete) = 0;
};

// Appends every record to a text file (directories are created on first use).
// A record that cannot be written is printed on standard error instead, so it is never lost.
class FileErrorLog final : public ErrorLog {
public:
    explicit FileErrorLog(std::string path);
    void append(const std::string& record) override;
    void finish(bool complete) override;
    const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
};

// Writes every record to a stream (the command line uses standard error).
class StreamErrorLog final : public ErrorLog {
public:
    explicit StreamErrorLog(std::ostream& out) : out_(&out) {}
    void append(const std::string& record) override;
    void finish(bool complete) override;

private:
    std::ostream* out_ = nullptr;  // not owned
};

// Hands every record to several logs in turn (file log plus a display, for instance).
class TeeErrorLog final : public ErrorLog {
public:
    void add(std::shared_ptr<ErrorLog> log);
    void append(const std::string& record) override;
    void finish(bool complete) override;

private:
    std::vector<std::shared_ptr<ErrorLog>> logs_;
};

// Keeps the records in memory; used by tests and by front ends that show them.
class CapturingErrorLog final : public ErrorLog {
public:
    void append(const std::string& record) override;
    void finish(bool complete) override;
    const std::vector<std::string>& records() const noexcept { return records_; }
    int finishCalls() const noexcept { return finishCalls_; }
    void clear();

private:
    std::vector<std::string> records_;
    int finishCalls_ = 0;
};

// The default log location: $XDG_STATE_HOME/kartoplot/errors.log, else
// $HOME/.local/state/kartoplot/errors.log, else ./kartoplot-errors.log.
std::string defaultErrorLogPath();

// The log every report goes to. Until one is set, a FileErrorLog at defaultErrorLogPath().
ErrorLog& currentErrorLog();

// Replaces the log for the lifetime of this object, then restores the previous one.
class ScopedErrorLog {
public:
    explicit ScopedErrorLog(std::shared_ptr<ErrorLog> log);
    ~ScopedErrorLog();
    ScopedErrorLog(const ScopedErrorLog&) = delete;
    ScopedErrorLog& operator=(const ScopedErrorLog&) = delete;

private:
    std::shared_ptr<ErrorLog> previous_;
};

// Sets the process-wide log (front ends call it once at start-up).
void setErrorLog(std::shared_ptr<ErrorLog> log);

// "Line : N" for a non-zero line, "" for line 0.
std::string LineText(int errorLine);

// "Name Module Line : N", or "Name Module " when the line is 0.
std::string procedureText(const std::string& name, const std::string& module, int errorLine);

// The record exactly as the log receives it (CR LF line ends).
std::string errorRecordText(const std::string& procText, std::int32_t errNumber,
                            const std::string& errDescription);

// Reports one failure: composes the record and hands it to the current log.
// Every caller passes topLevel = true and style = 4.
void HandleError(bool topLevel, const std::string& procText, std::int32_t errNumber,
                 const std::string& errSource, const std::string& errDescription, int style);

// The module's trail flag: false after every report.
bool trailStarted() noexcept;
void setTrailStarted(bool started) noexcept;

// The error trap of one procedure. Mark progress with at(line); run the body through
// run(): a HostError or any other exception is reported with this procedure's text and
// the last marked line, and run() returns false. Nothing escapes run().
class ErrorTrap {
public:
    ErrorTrap(std::string procedure, std::string module)
        : procedure_(std::move(procedure)), module_(std::move(module)) {}

    void at(int line) noexcept { line_ = line; }
    int line() const noexcept { return line_; }
    std::string procText() const { return procedureText(procedure_, module_, line_); }

    template <class Body>
    bool run(Body&& body) noexcept {
        try {
            body();
            return true;
        } catch (...) {
            reportCurrentException();
            return false;
        }
    }

    // Reports the exception being handled (call only inside a catch block).
    void reportCurrentException() const noexcept;

private:
    std::string procedure_;
    std::string module_;
    int line_ = 0;
};

}  // namespace kartoplot
