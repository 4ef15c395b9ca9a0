#pragma once

#include "EventEmitter.h"

#include <utility>

// One listener of an emitter, removed when the subscription ends: when it goes, is reset or is
// assigned another. The emitter must outlive it; an owner keeps its subscriptions as members,
// so they end with it. What a removal guarantees is EventEmitter::remove_listener's.
class [[nodiscard]] Subscription {
public:
    Subscription() = default;
    Subscription(EventEmitter& emitter, unsigned int id) : emitter_(&emitter), id_(id) {}
    Subscription(Subscription&& other) noexcept
        : emitter_(std::exchange(other.emitter_, nullptr)), id_(std::exchange(other.id_, 0)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            emitter_ = std::exchange(other.emitter_, nullptr);
            id_ = std::exchange(other.id_, 0);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() noexcept {
        if (emitter_ != nullptr) {
            // The listener may have been removed by its id already: nothing left to do then.
            emitter_->try_remove_listener(id_);
            emitter_ = nullptr;
            id_ = 0;
        }
    }

    bool active() const { return emitter_ != nullptr; }
    unsigned int id() const { return id_; }

private:
    EventEmitter* emitter_ = nullptr;
    unsigned int id_ = 0;
};
