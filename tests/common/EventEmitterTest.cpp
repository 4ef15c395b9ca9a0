#include "Event.h"
#include "EventEmitter.h"
#include "Subscription.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Emitter : EventEmitter {};

template <typename Ex>
std::string message_of(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Ex& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST(EventEmitter, CallsListenersOfTheNameInOrderWithTheArguments) {
    Emitter e;
    std::vector<std::string> calls;
    e.add_listener<int, std::wstring>("ev", std::function<void(int, std::wstring)>(
                                                [&](int n, std::wstring s) {
                                                    calls.push_back("first " + std::to_string(n) +
                                                                    " " + std::to_string(s.size()));
                                                }));
    e.add_listener<int, std::wstring>(
        "ev", std::function<void(int, std::wstring)>(
                  [&](int n, std::wstring) { calls.push_back("second " + std::to_string(n)); }));
    e.add_listener<int, std::wstring>("other", std::function<void(int, std::wstring)>(
                                                   [&](int, std::wstring) { calls.push_back("other"); }));
    e.emit<int, std::wstring>("ev", 7, L"abc");
    EXPECT_EQ(calls, (std::vector<std::string>{"first 7 3", "second 7"}));

    calls.clear();
    e.emit<bool>("nobody listens", true);
    EXPECT_TRUE(calls.empty());
}

TEST(EventEmitter, SignatureMismatchThrowsBeforeAnyListenerRuns) {
    Emitter e;
    int called = 0;
    e.add_listener<unsigned int>("ev", std::function<void(unsigned int)>([&](unsigned int) { ++called; }));
    e.add_listener<bool>("ev", std::function<void(bool)>([&](bool) { ++called; }));
    EXPECT_EQ(message_of<std::logic_error>([&] { e.emit<unsigned int>("ev", 3u); }),
              "EventEmitter::emit: Invalid event signature.");
    EXPECT_EQ(called, 0);
    // Same count, different type: int is not unsigned int.
    Emitter f;
    f.add_listener<unsigned int>("ev", std::function<void(unsigned int)>([&](unsigned int) { ++called; }));
    EXPECT_THROW(f.emit<int>("ev", 3), std::logic_error);
    EXPECT_EQ(called, 0);
    // The lock was released on the way out: the emitter keeps working.
    f.emit<unsigned int>("ev", 3u);
    EXPECT_EQ(called, 1);
}

TEST(EventEmitter, IdsStartAtOneAndAreNeverReused) {
    Emitter e;
    std::function<void()> cb = [] {};
    EXPECT_EQ(e.add_listener<>("a", cb), 1u);
    EXPECT_EQ(e.add_listener<>("b", cb), 2u);
    e.remove_listener(1);
    EXPECT_EQ(e.add_listener<>("a", cb), 3u);
}

TEST(EventEmitter, EmptyCallbackIsRefusedAndConsumesNoId) {
    Emitter e;
    EXPECT_EQ(message_of<std::invalid_argument>(
                  [&] { e.add_listener<bool>("ev", std::function<void(bool)>()); }),
              "EventEmitter::add_listener: No callbak provided.");
    EXPECT_EQ(e.add_listener<bool>("ev", std::function<void(bool)>([](bool) {})), 1u);
}

TEST(EventEmitter, RemovingAnUnknownIdThrowsAndChangesNothing) {
    Emitter e;
    int called = 0;
    unsigned int id = e.add_listener<>("ev", std::function<void()>([&] { ++called; }));
    const std::string expected = "EventEmitter::remove_listener: Invalid listener id.";
    EXPECT_EQ(message_of<std::invalid_argument>([&] { e.remove_listener(0); }), expected);
    EXPECT_EQ(message_of<std::invalid_argument>([&] { e.remove_listener(99); }), expected);
    e.emit<>("ev");
    EXPECT_EQ(called, 1);
    e.remove_listener(id);
    EXPECT_EQ(message_of<std::invalid_argument>([&] { e.remove_listener(id); }), expected);
    e.emit<>("ev");
    EXPECT_EQ(called, 1);
}

TEST(EventEmitter, RemoveFindsTheIdUnderAnyName) {
    Emitter e;
    int a = 0, b = 0;
    e.add_listener<>("a", std::function<void()>([&] { ++a; }));
    unsigned int id_b = e.add_listener<>("b", std::function<void()>([&] { ++b; }));
    e.remove_listener(id_b);
    e.emit<>("a");
    e.emit<>("b");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
}

TEST(EventEmitter, ListenerRemovingItselfIsCalledThisTimeButNotNext) {
    Emitter e;
    int self_calls = 0, later_calls = 0;
    unsigned int self_id = 0;
    self_id = e.add_listener<>("ev", std::function<void()>([&] {
                                   ++self_calls;
                                   e.remove_listener(self_id);
                               }));
    e.add_listener<>("ev", std::function<void()>([&] { ++later_calls; }));
    e.emit<>("ev");
    EXPECT_EQ(self_calls, 1);
    EXPECT_EQ(later_calls, 1);
    e.emit<>("ev");
    EXPECT_EQ(self_calls, 1);
    EXPECT_EQ(later_calls, 2);
}

TEST(EventEmitter, ListenerAddedDuringEmissionRunsFromTheNextOne) {
    Emitter e;
    int added_calls = 0;
    e.add_listener<>("ev", std::function<void()>([&] {
                         e.add_listener<>("ev", std::function<void()>([&] { ++added_calls; }));
                     }));
    e.emit<>("ev");
    EXPECT_EQ(added_calls, 0);
    e.emit<>("ev");
    EXPECT_EQ(added_calls, 1);
}

TEST(EventEmitter, ThrowingListenerStopsTheEmission) {
    Emitter e;
    int after = 0;
    e.add_listener<>("ev", std::function<void()>([] { throw std::runtime_error("boom"); }));
    e.add_listener<>("ev", std::function<void()>([&] { ++after; }));
    EXPECT_THROW(e.emit<>("ev"), std::runtime_error);
    EXPECT_EQ(after, 0);
}

TEST(EventEmitter, EachListenerGetsItsOwnCopyOfTheArguments) {
    Emitter e;
    std::vector<std::wstring> seen;
    auto mutate = std::function<void(std::wstring)>([&](std::wstring s) {
        seen.push_back(s);
        s = L"changed";
    });
    e.add_listener<std::wstring>("ev", mutate);
    e.add_listener<std::wstring>("ev", mutate);
    e.emit<std::wstring>("ev", L"JA1ABC");
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"JA1ABC", L"JA1ABC"}));
}

TEST(EventEmitter, ConcurrentEmitAddAndRemove) {
    Emitter e;
    std::atomic<long> total{0};
    std::atomic<bool> stop{false};
    e.add_listener<unsigned int>("ev", std::function<void(unsigned int)>(
                                           [&](unsigned int n) { total += n; }));
    std::vector<std::thread> emitters;
    for (int t = 0; t < 3; ++t) {
        emitters.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                e.emit<unsigned int>("ev", 1u);
            }
        });
    }
    std::thread churn([&] {
        unsigned int last = 0;
        while (!stop) {
            unsigned int id = e.add_listener<unsigned int>(
                "ev", std::function<void(unsigned int)>([](unsigned int) {}));
            EXPECT_GT(id, last);
            last = id;
            e.remove_listener(id);
        }
    });
    for (auto& t : emitters) {
        t.join();
    }
    stop = true;
    churn.join();
    // The permanent listener saw every emission exactly once.
    EXPECT_EQ(total.load(), 3 * 2000);
}

// Two emitters with declared events, as the program's are.
struct Radio : EventSource<Radio> {
    static constexpr Event<Radio, int, std::wstring> kSpeed{"speed"};
    static constexpr Event<Radio> kStop{"stop"};
};
struct Other : EventSource<Other> {
    static constexpr Event<Other, int, std::wstring> kSpeed{"speed"};
};

template <typename E, typename Ev, typename F>
constexpr bool canListen = requires(E& e, const Ev& ev, F f) {
    e.add_listener(ev, f);
};
template <typename E, typename Ev, typename... A>
constexpr bool canEmit = requires(E& e, const Ev& ev, A... a) {
    e.emit(ev, a...);
};

using SpeedEvent = decltype(Radio::kSpeed);
static_assert(canListen<Radio, SpeedEvent, void (*)(int, std::wstring)>);
static_assert(canListen<Radio, SpeedEvent, void (*)(int, const std::wstring&)>);
static_assert(!canListen<Radio, SpeedEvent, void (*)(int)>);
static_assert(!canListen<Radio, SpeedEvent, void (*)(std::string, std::wstring)>);
static_assert(!canListen<Radio, decltype(Other::kSpeed), void (*)(int, std::wstring)>);
static_assert(canEmit<Radio, SpeedEvent, int, std::wstring>);
static_assert(canEmit<Radio, SpeedEvent, int, const wchar_t*>);
static_assert(!canEmit<Radio, SpeedEvent, int>);
static_assert(!canEmit<Radio, SpeedEvent, std::wstring, std::wstring>);
static_assert(!canEmit<Radio, SpeedEvent, double, std::wstring>);  // narrowing
static_assert(!canEmit<Radio, decltype(Other::kSpeed), int, std::wstring>);

TEST(TypedEvents, SubscriptionEndsWithItsOwnerAndMovesWithIt) {
    Radio radio;
    std::vector<std::wstring> heard;
    const auto listen = [&] {
        return radio.add_listener(Radio::kSpeed, [&](int wpm, const std::wstring& who) {
            heard.push_back(who + L" " + std::to_wstring(wpm));
        });
    };
    {
        Subscription first = listen();
        radio.emit(Radio::kSpeed, 25, L"a");
        Subscription moved = std::move(first);
        EXPECT_FALSE(first.active());
        first.reset();  // a moved-from one removes nothing
        radio.emit(Radio::kSpeed, 26, L"b");
        Subscription replaced = listen();
        replaced = std::move(moved);  // the one it held ends
        radio.emit(Radio::kSpeed, 27, L"c");
    }
    radio.emit(Radio::kSpeed, 28, L"d");
    EXPECT_EQ(heard, (std::vector<std::wstring>{L"a 25", L"b 26", L"c 27"}));
    EXPECT_FALSE(radio.has_listeners(Radio::kSpeed));

    // Removed by its id already: the subscription's end is quiet.
    Subscription early = listen();
    radio.remove_listener(early.id());
    EXPECT_NO_THROW(early.reset());
}

TEST(TypedEvents, StringFormMeetsTheTypedOne) {
    Radio radio;
    int typed = 0;
    int named = 0;
    Subscription subscription = radio.add_listener(Radio::kStop, [&] { ++typed; });
    const unsigned int id = radio.add_listener<>("stop", std::function<void()>([&] { ++named; }));
    radio.emit<>("stop");
    radio.emit(Radio::kStop);
    EXPECT_EQ(typed, 2);
    EXPECT_EQ(named, 2);
    radio.remove_listener(id);
    EXPECT_TRUE(radio.has_listeners("stop"));
    // A host's listener with the wrong arguments is still refused at the emission.
    radio.add_listener<bool>("speed", std::function<void(bool)>([](bool) {}));
    EXPECT_THROW(radio.emit(Radio::kSpeed, 1, L"x"), std::logic_error);
}

// A removal that returns while another thread is in the middle of the same emission: the
// removed listener is not called in that emission (its owner may be gone by then).
TEST(TypedEvents, ListenerRemovedDuringAnEmissionOnAnotherThreadIsNotCalled) {
    Radio radio;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> later{0};
    Subscription first = radio.add_listener(Radio::kStop, [&] {
        entered.set_value();
        released.wait();
    });
    auto second =
        std::make_unique<Subscription>(radio.add_listener(Radio::kStop, [&] { ++later; }));
    std::thread emitter([&] { radio.emit(Radio::kStop); });
    EXPECT_EQ(entered.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    second.reset();
    release.set_value();
    emitter.join();
    EXPECT_EQ(later.load(), 0);
}

}  // namespace
