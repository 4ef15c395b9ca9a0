#include "EventEmitter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
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

}  // namespace
