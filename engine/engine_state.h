// The chart engine's module state: what the main dialog hands over at start-up and what the
// engine's procedures read. A run keeps nothing here between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "host/interaction.h"
#include "host/map.h"
#include "language/locale_numbers.h"
#include "language/messages.h"

namespace kartoplot::engine {

// A host object that the front end owns and lends to the engine: the engine keeps only a
// reference, so the object lives exactly as long as its owner keeps it. Taking a temporary
// (which nobody would own) does not compile.
template <class T>
class Lent {
public:
    Lent() = default;
    Lent(const std::shared_ptr<T>& owned) noexcept : object_(owned.get()) {}
    Lent(std::shared_ptr<T>&&) = delete;

    void reset() noexcept { object_ = nullptr; }
    T* get() const noexcept { return object_; }
    T& operator*() const noexcept { return *object_; }
    T* operator->() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    friend bool operator==(const Lent& a, std::nullptr_t) noexcept { return a.object_ == nullptr; }

private:
    T* object_ = nullptr;
};

// What an engine procedure needs on each call besides the map: the separators for texts,
// the messages in the user's language and the interaction service.
struct EngineServices {
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

// The start-up handover of the dialog: its services and, lent, the application, document and
// focus map the dialog owns.
struct EngineState : EngineServices {
    Lent<host::Application> application;
    Lent<host::MapDocument> document;
    Lent<host::Map> map;
};

// The engine's module name, as error records show it.
inline constexpr const char* kEngineModule = "Kartoplot_v9_2";

}  // namespace kartoplot::engine
