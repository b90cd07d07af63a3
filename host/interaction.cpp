#include "host/interaction.h"

namespace kartoplot::host {

namespace {
template <class T>
T takeOr(std::deque<T>& queue, T fallback) {
    if (queue.empty()) {
        return fallback;
    }
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}
}  // namespace

MessageResult ScriptedInteraction::messageBox(const std::string& text, const std::string& title,
                                              MessageButtons buttons, MessageIcon icon) {
    messages.push_back({text, title, buttons, icon});
    return takeOr(messageAnswers, firstAnswer(buttons));
}

std::optional<std::string> ScriptedInteraction::openFile(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    return takeOr(fileAnswers, std::optional<std::string>{});
}

std::optional<std::string> ScriptedInteraction::saveFile(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    return takeOr(fileAnswers, std::optional<std::string>{});
}

std::shared_ptr<Symbol> ScriptedInteraction::chooseSymbol(const std::shared_ptr<Symbol>&) {
    ++chooserCalls;
    return takeOr(symbolAnswers, std::shared_ptr<Symbol>{});
}

std::optional<Color> ScriptedInteraction::chooseColor(const Color&) {
    ++chooserCalls;
    return takeOr(colorAnswers, std::optional<Color>{});
}

std::optional<Font> ScriptedInteraction::chooseFont(const Font&) {
    ++chooserCalls;
    return takeOr(fontAnswers, std::optional<Font>{});
}

bool ScriptedInteraction::openUrl(const std::string& url) {
    openedUrls.push_back(url);
    return openUrlResult;
}

}  // namespace kartoplot::host
