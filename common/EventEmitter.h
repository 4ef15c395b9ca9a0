#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Named events with typed listeners. Every listener filed under one name must take exactly the
// argument types that name is emitted with; a mismatch is found before any listener runs.
// The registry lock is never held while a listener runs, so listeners may add or remove
// listeners and several threads may emit at once. A listener added during an emission runs from
// the next one. A removed listener is not called once remove_listener has returned, in this
// emission or a later one, except for a call already begun: the emitter waits for no listener
// (a remover on a window thread must not wait for a listener that waits for that thread), so a
// listener running on another thread at the removal runs to its end, and one that removes
// itself finishes its own call. Whoever removes a listener that may run on another thread keeps
// what it uses until that thread is done with the emitter (for instance, has been joined).
class EventEmitter {
public:
    EventEmitter() = default;
    EventEmitter(const EventEmitter&) = delete;
    EventEmitter& operator=(const EventEmitter&) = delete;

    template <typename... Args>
    unsigned int add_listener(std::string name, std::function<void(Args...)> callback) {
        if (!callback) {
            throw std::invalid_argument("EventEmitter::add_listener: No callbak provided.");
        }
        std::lock_guard<std::mutex> lock(mutex_);
        const unsigned int id = ++last_id_;
        auto record = std::make_shared<Listener<Args...>>(id, std::move(callback));
        // multimap::insert places equal keys after the existing ones, keeping insertion order.
        listeners_.insert(std::make_pair(std::move(name), std::move(record)));
        return id;
    }

    template <typename... Args>
    void emit(std::string name, Args... args) {
        std::vector<std::shared_ptr<Listener<Args...>>> targets;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto range = listeners_.equal_range(name);
            for (auto it = range.first; it != range.second; ++it) {
                auto listener = std::dynamic_pointer_cast<Listener<Args...>>(it->second);
                if (!listener) {
                    throw std::logic_error("EventEmitter::emit: Invalid event signature.");
                }
                targets.push_back(std::move(listener));
            }
        }
        for (const auto& listener : targets) {
            // Looked at right before the call: a removal made while earlier listeners ran holds.
            if (!listener->removed.load()) {
                listener->callback(args...);
            }
        }
    }

    // Whether any listener is filed under the name: an emitter may skip building an event that
    // no one takes.
    bool has_listeners(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        return listeners_.count(name) != 0;
    }

    void remove_listener(unsigned int id) {
        if (!try_remove_listener(id)) {
            throw std::invalid_argument("EventEmitter::remove_listener: Invalid listener id.");
        }
    }

    // remove_listener for callers that must not throw (a subscription that ends with its owner);
    // false when no listener has the id.
    bool try_remove_listener(unsigned int id) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
            if (it->second->id == id) {
                // An emission that has already copied the record sees the flag.
                it->second->removed = true;
                listeners_.erase(it);
                return true;
            }
        }
        return false;
    }

protected:
    ~EventEmitter() = default;

private:
    struct ListenerBase {
        explicit ListenerBase(unsigned int listener_id) : id(listener_id) {}
        virtual ~ListenerBase() = default;
        unsigned int id;
        std::atomic<bool> removed{false};
    };

    template <typename... Args>
    struct Listener : ListenerBase {
        Listener(unsigned int listener_id, std::function<void(Args...)> cb)
            : ListenerBase(listener_id), callback(std::move(cb)) {}
        std::function<void(Args...)> callback;
    };

    std::mutex mutex_;
    unsigned int last_id_ = 0;
    std::multimap<std::string, std::shared_ptr<ListenerBase>> listeners_;
};
