#include "cli/console.h"

#include <unistd.h>

#include <algorithm>
#include <ostream>

namespace kartoplot::cli {

namespace {
constexpr auto kShowAfter = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
}  // namespace

host::MessageResult ConsoleInteraction::messageBox(const std::string& text, const std::string& title,
                                                   host::MessageButtons buttons, host::MessageIcon) {
    ++shown_;
    *out_ << "kartoplot: ";
    if (!title.empty() && title != "Kartoplot") {
        *out_ << title << ": ";
    }
    *out_ << text << '\n';
    // Questions take the first answer: the command line has nobody to ask.
    return host::firstAnswer(buttons);
}

std::optional<std::string> ConsoleInteraction::openFile(const host::FileDialogRequest&) { return {}; }

std::optional<std::string> ConsoleInteraction::saveFile(const host::FileDialogRequest&) { return {}; }

std::shared_ptr<host::Symbol> ConsoleInteraction::chooseSymbol(const std::shared_ptr<host::Symbol>&) {
    return nullptr;
}

std::optional<host::Color> ConsoleInteraction::chooseColor(const host::Color&) { return {}; }

std::optional<host::Font> ConsoleInteraction::chooseFont(const host::Font&) { return {}; }

bool ConsoleInteraction::openUrl(const std::string& url) {
    *out_ << "kartoplot: open " << url << " in your browser or mail program\n";
    return false;
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

ProgressBar::ProgressBar(std::ostream& out, std::string label, std::int64_t total, bool terminal)
    : out_(&out), label_(std::move(label)), total_(total), terminal_(terminal) {}

ProgressBar::~ProgressBar() { finish(); }

std::string ProgressBar::render(const std::string& label, std::int64_t done, std::int64_t total,
                                int width) {
    const double share = total > 0 ? std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(share * width + 0.5);
    std::string text = label + " [";
    text.append(static_cast<std::size_t>(filled), '#');
    text.append(static_cast<std::size_t>(width - filled), '.');
    text += "] ";
    const int percent = static_cast<int>(share * 100);
    text += (percent < 10 ? "  " : (percent < 100 ? " " : "")) + std::to_string(percent) + "%  ";
    text += std::to_string(done) + "/" + std::to_string(total);
    return text;
}

void ProgressBar::update(std::int64_t done) {
    if (!terminal_ || finished_) {
        return;
    }
    const auto now = Clock::now();
    if (now - start_ < kShowAfter || now - lastDraw_ < kRedrawEvery) {
        return;
    }
    lastDraw_ = now;
    shown_ = true;
    *out_ << '\r' << render(label_, done, total_, kBarWidth) << std::flush;
}

void ProgressBar::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (shown_) {
        *out_ << '\r' << std::string(render(label_, total_, total_, kBarWidth).size(), ' ') << '\r'
              << std::flush;
    }
}

}  // namespace kartoplot::cli
