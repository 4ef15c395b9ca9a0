#pragma once

#include "EventEmitter.h"
#include "Subscription.h"

#include <concepts>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

// An event of the emitter Owner, named as the string form knows it, whose listeners take Args.
// Each emitter declares its events once as constants of its class, e.g.
//   static constexpr Event<HAMLOGTracker, RECT> kChangeWindowRect{"changeWindowRect"};
// so that listening with the wrong arguments, or to an event the emitter does not raise, does
// not compile, and every use of an event can be found by its constant.
template <typename Owner, typename... Args>
struct Event {
    const char* name;
};

// A callback that takes the arguments Args.
template <typename Callback, typename... Args>
concept ListenerOf = std::invocable<std::decay_t<Callback>, Args...>;

// Given stand for Args, one by one: the same count, each converting without narrowing.
template <typename... Args>
struct ArgumentsOf {
    template <typename... Given>
    static constexpr bool accept() {
        if constexpr (sizeof...(Given) != sizeof...(Args)) {
            return false;
        } else {
            return (requires(Given && given) { Args{std::forward<Given>(given)}; } && ...);
        }
    }
};

// The base of an emitter that declares its events: add_listener and emit take its Event
// constants. The string form of EventEmitter stays for hosts that use it.
template <typename Owner>
class EventSource : public EventEmitter {
public:
    using EventEmitter::add_listener;
    using EventEmitter::emit;

    // The listener stays until the returned subscription ends.
    template <typename... Args, ListenerOf<Args...> Callback>
    Subscription add_listener(const Event<Owner, Args...>& event, Callback&& callback) {
        const unsigned int id = EventEmitter::add_listener<Args...>(
            event.name, std::function<void(Args...)>(std::forward<Callback>(callback)));
        return Subscription(*this, id);
    }

    // The arguments become the event's types, the ones its listeners take.
    template <typename... Args, typename... Given>
    void emit(const Event<Owner, Args...>& event,
              Given&&... args) requires(ArgumentsOf<Args...>::template accept<Given...>()) {
        EventEmitter::emit<Args...>(event.name, Args{std::forward<Given>(args)}...);
    }

    template <typename... Args>
    bool has_listeners(const Event<Owner, Args...>& event) {
        return EventEmitter::has_listeners(event.name);
    }
    using EventEmitter::has_listeners;

protected:
    EventSource() = default;
    ~EventSource() = default;
};
