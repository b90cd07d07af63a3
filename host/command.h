// The host's command framework: what a command button of the host asks its command.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kartoplot::host {

class Application;

class ICommand {
public:
    virtual ~ICommand() = default;
    virtual bool Enabled() = 0;
    virtual bool Checked() = 0;
    virtual std::string Name() = 0;
    virtual std::string Caption() = 0;
    virtual std::string Tooltip() = 0;
    virtual std::string Message() = 0;
    virtual std::string HelpFile() = 0;
    virtual std::int32_t HelpContextID() = 0;
    // A handle of the command's bitmap.
    virtual std::int32_t Bitmap() = 0;
    virtual std::string Category() = 0;
    // The host hands itself over once, before anything else is asked.
    virtual void OnCreate(std::shared_ptr<Application> hook) = 0;
    virtual void OnClick() = 0;
};

}  // namespace kartoplot::host
