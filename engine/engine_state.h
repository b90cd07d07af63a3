// The chart engine's module state: what the main dialog hands over at start-up and what the
// engine's procedures read. A run keeps nothing here between calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "host/interaction.h"
#include "host/map.h"
#include "language/locale_numbers.h"
#include "language/messages.h"

namespace kartoplot::engine {

struct EngineState {
    std::shared_ptr<host::Application> application;
    std::shared_ptr<host::MapDocument> document;
    std::shared_ptr<host::Map> map;
    language::DecimalSeparators separators;
    // The engine's messages in the current language (LoadModuleMessages fills them).
    language::SharedMessages messages;
    // Kartoplot's own notices in the same language.
    language::NoticeMessages notices;
    // Message boxes and file dialogs.
    std::shared_ptr<host::UserInteraction> interaction;
    // Called after each chart is added by a run, with the number added so far (for progress
    // displays); may be empty.
    std::function<void(std::int64_t)> chartAdded;
};

// The engine's module name, as error records show it.
inline constexpr const char* kEngineModule = "Kartoplot_v9_2";

}  // namespace kartoplot::engine
