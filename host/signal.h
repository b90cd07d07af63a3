// A minimal event: handlers connect and stay connected while their Connection lives.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace kartoplot::host {

class Connection {
public:
    Connection() = default;
    Connection(std::weak_ptr<void> owner, std::function<void()> disconnect)
        : owner_(std::move(owner)), disconnect_(std::move(disconnect)) {}
    Connection(Connection&&) noexcept = default;
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            disconnect();
            owner_ = std::move(other.owner_);
            disconnect_ = std::move(other.disconnect_);
        }
        return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { disconnect(); }

    // Stops the handler; safe when the event's owner is already gone.
    void disconnect() {
        if (disconnect_ && !owner_.expired()) {
            disconnect_();
        }
        disconnect_ = nullptr;
    }
    bool connected() const noexcept { return disconnect_ && !owner_.expired(); }

private:
    std::weak_ptr<void> owner_;
    std::function<void()> disconnect_;
};

class Signal {
public:
    using Handler = std::function<void()>;

    // Connects a handler; it runs on every fire() until the Connection is destroyed.
    [[nodiscard]] Connection connect(Handler handler) {
        const std::uint64_t id = state_->nextId++;
        state_->handlers.emplace(id, std::move(handler));
        std::weak_ptr<State> weak = state_;
        return Connection(state_, [weak, id] {
            if (auto s = weak.lock()) {
                s->handlers.erase(id);
            }
        });
    }

    // Calls the handlers in the order they connected. A handler may disconnect itself.
    void fire() const {
        const auto handlers = state_->handlers;
        for (const auto& [id, handler] : handlers) {
            if (state_->handlers.count(id) != 0) {
                handler();
            }
        }
    }

    std::size_t handlerCount() const noexcept { return state_->handlers.size(); }

private:
    struct State {
        std::uint64_t nextId = 1;
        std::map<std::uint64_t, Handler> handlers;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace kartoplot::host
