// The command line's side of user interaction: messages on standard error, no dialogs, and a
// progress bar for long work.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "host/interaction.h"

namespace kartoplot::cli {

// Prints messages to a stream; file dialogs and choosers answer "cancel" (the command line
// takes everything from its options).
class ConsoleInteraction final : public host::UserInteraction {
public:
    explicit ConsoleInteraction(std::ostream& out) : out_(&out) {}

    host::MessageResult messageBox(const std::string& text, const std::string& title,
                                   host::MessageButtons buttons, host::MessageIcon icon) override;
    std::optional<std::string> openFile(const host::FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const host::FileDialogRequest& request) override;
    std::shared_ptr<host::Symbol> chooseSymbol(const std::shared_ptr<host::Symbol>& current) override;
    std::optional<host::Color> chooseColor(const host::Color& current) override;
    std::optional<host::Font> chooseFont(const host::Font& current) override;
    bool openUrl(const std::string& url) override;

    int messagesShown() const noexcept { return shown_; }

private:
    std::ostream* out_ = nullptr;
    int shown_ = 0;
};

// A one-line progress bar that appears only when the work takes longer than a second and
// the stream is a terminal; finish() clears it.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, std::string label, std::int64_t total, bool terminal);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::int64_t done);
    void finish();
    // The bar's text for a state (for tests): "label [#####.....]  50%  500/1000".
    static std::string render(const std::string& label, std::int64_t done, std::int64_t total,
                              int width);
    bool shown() const noexcept { return shown_; }

private:
    using Clock = std::chrono::steady_clock;
    std::ostream* out_ = nullptr;
    std::string label_;
    std::int64_t total_ = 0;
    bool terminal_ = false;
    bool shown_ = false;
    bool finished_ = false;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastDraw_{};
};

// True when the file descriptor is a terminal.
bool isTerminal(int fd);

}  // namespace kartoplot::cli
