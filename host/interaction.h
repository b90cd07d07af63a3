// The host platform's user-interaction services: message boxes, file dialogs, symbol,
// colour and font choosers, and opening a link. Nothing else in Kartoplot talks to the user
// directly; the desktop program, the command line and the tests each bring an implementation.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/symbols.h"

namespace kartoplot::host {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageIcon { None, Information, Exclamation, Question, Critical };
enum class MessageResult { Ok, Cancel, Yes, No, Retry };

// The answer of a box's first button (Ok, Yes or Retry): what a caller that asks nobody takes.
constexpr MessageResult firstAnswer(MessageButtons buttons) noexcept {
    switch (buttons) {
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel:
            return MessageResult::Yes;
        case MessageButtons::RetryCancel:
            return MessageResult::Retry;
        default:
            return MessageResult::Ok;
    }
}

// What a file dialog shows. The filter uses the host's form "Description|*.ext|...".
struct FileDialogRequest {
    std::string title;
    std::string filter;
    int filterIndex = 1;
    std::string fileName;
    std::string initialFolder;
    bool overwritePrompt = true;
};

class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    // Shows a message and waits for the answer.
    virtual MessageResult messageBox(const std::string& text, const std::string& title,
                                     MessageButtons buttons, MessageIcon icon) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
    // A new symbol edited from `current`, or nullptr when the user cancels.
    virtual std::shared_ptr<Symbol> chooseSymbol(const std::shared_ptr<Symbol>& current) = 0;
    virtual std::optional<Color> chooseColor(const Color& current) = 0;
    virtual std::optional<Font> chooseFont(const Font& current) = 0;
    // Asks the system to open a link (mail, web); false when it could not.
    virtual bool openUrl(const std::string& url) = 0;
};

// Records everything shown and answers from queues; an empty queue answers like a user
// pressing the first button (OK or Yes) or cancelling a dialog.
class ScriptedInteraction final : public UserInteraction {
public:
    struct ShownMessage {
        std::string text;
        std::string title;
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
    };

    MessageResult messageBox(const std::string& text, const std::string& title,
                             MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    std::shared_ptr<Symbol> chooseSymbol(const std::shared_ptr<Symbol>& current) override;
    std::optional<Color> chooseColor(const Color& current) override;
    std::optional<Font> chooseFont(const Font& current) override;
    bool openUrl(const std::string& url) override;

    std::deque<MessageResult> messageAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::shared_ptr<Symbol>> symbolAnswers;
    std::deque<std::optional<Color>> colorAnswers;
    std::deque<std::optional<Font>> fontAnswers;
    bool openUrlResult = true;

    std::vector<ShownMessage> messages;
    std::vector<FileDialogRequest> fileDialogs;
    std::vector<std::string> openedUrls;
    int chooserCalls = 0;
};

}  // namespace kartoplot::host
