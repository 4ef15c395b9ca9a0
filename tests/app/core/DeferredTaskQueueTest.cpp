#include "DeferredTaskQueue.h"

#include "CapturingSink.h"
#include "WaitFor.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using omvar::Vetrin::DeferredTaskQueue;
using testing_support::wait_for;

namespace {

constexpr std::int64_t ms(std::int64_t n) {
    return n * DeferredTaskQueue::kTicksPerMillisecond;
}

// Records what ran, on which thread, in order.
struct Journal {
    std::mutex lock;
    std::vector<int> order;
    std::vector<std::thread::id> threads;

    void note(int what) {
        std::lock_guard held(lock);
        order.push_back(what);
        threads.push_back(std::this_thread::get_id());
    }
    std::size_t size() {
        std::lock_guard held(lock);
        return order.size();
    }
    std::vector<int> snapshot() {
        std::lock_guard held(lock);
        return order;
    }
};

TEST(DeferredTaskQueue, RunsByDueTimeOnItsOwnThread) {
    Journal journal;
    DeferredTaskQueue queue;
    queue.start();
    queue.schedule([&] { journal.note(30); }, ms(30));
    queue.schedule([&] { journal.note(10); }, ms(10));
    queue.schedule([&] { journal.note(0); }, 0);
    ASSERT_TRUE(wait_for([&] { return journal.size() == 3; }));
    EXPECT_EQ(journal.snapshot(), (std::vector<int>{0, 10, 30}));
    for (const auto& id : journal.threads) {
        EXPECT_NE(id, std::this_thread::get_id());
        EXPECT_EQ(id, journal.threads.front());
    }
}

TEST(DeferredTaskQueue, EqualDueTimesKeepTheirOrder) {
    Journal journal;
    DeferredTaskQueue queue;
    // Scheduled before the thread starts, so every entry is due by the time it looks.
    for (int i = 0; i < 50; ++i) {
        queue.schedule([&journal, i] { journal.note(i); }, 0);
    }
    queue.start();
    ASSERT_TRUE(wait_for([&] { return journal.size() == 50; }));
    const auto order = journal.snapshot();
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST(DeferredTaskQueue, CallbackMaySchedule_TheNewEntryRunsAfterItReturns) {
    Journal journal;
    DeferredTaskQueue queue;
    queue.start();
    queue.schedule(
        [&] {
            queue.schedule([&] { journal.note(2); }, 0);
            // Give the thread every chance to run the new entry too early.
            std::this_thread::yield();
            journal.note(1);
        },
        0);
    ASSERT_TRUE(wait_for([&] { return journal.size() == 2; }));
    EXPECT_EQ(journal.snapshot(), (std::vector<int>{1, 2}));
}

TEST(DeferredTaskQueue, DestructionDropsWaitingEntriesWithoutWaitingForThem) {
    std::atomic<bool> ran{false};
    {
        DeferredTaskQueue queue;
        queue.start();
        // An hour away: a destructor that waited for it would hang the test program.
        queue.schedule([&] { ran = true; }, ms(3'600'000));
    }
    EXPECT_FALSE(ran.load());
}

TEST(DeferredTaskQueue, MutexIsFreeWhileACallbackRuns) {
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    DeferredTaskQueue queue;
    queue.start();
    queue.schedule(
        [&] {
            inside = true;
            wait_for([&] { return release.load(); });
        },
        0);
    ASSERT_TRUE(wait_for([&] { return inside.load(); }));
    // The take-and-release wait used by shutdown must not block on a running callback.
    std::atomic<bool> taken{false};
    std::thread other([&] {
        std::lock_guard held(queue.mutex());
        taken = true;
    });
    EXPECT_TRUE(wait_for([&] { return taken.load(); }));
    release = true;
    other.join();
}

TEST(DeferredTaskQueue, NoWakeUpIsLostUnderConcurrentScheduling) {
    constexpr int kThreads = 4;
    constexpr int kEach = 250;
    std::atomic<int> ran{0};
    DeferredTaskQueue queue;
    queue.start();
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                queue.schedule([&] { ++ran; }, i % 3 == 0 ? ms(1) : 0);
            }
        });
    }
    for (auto& p : producers) {
        p.join();
    }
    EXPECT_TRUE(wait_for([&] { return ran.load() == kThreads * kEach; }));
}

TEST(DeferredTaskQueue, ThrowingCallbackIsLoggedAndLaterEntriesStillRun) {
    auto [logger, sink] = testing_support::capturing_logger("Vetrin");
    spdlog::register_logger(logger);
    std::atomic<bool> later{false};
    DeferredTaskQueue queue;
    queue.start();
    queue.schedule([] { throw std::runtime_error("boom"); }, 0);
    queue.schedule([&] { later = true; }, ms(1));
    EXPECT_TRUE(wait_for([&] { return later.load(); }));
    EXPECT_TRUE(sink->contains("A deferred task failed: boom"));
    spdlog::drop("Vetrin");
}

}  // namespace

namespace {

// Due times are on a monotonic clock: the system clock, which time synchronisation steps, has
// nothing to do with them. stop() lets a running task end, also one that waits for a message
// sent to the stopping thread's window, and nothing scheduled after it runs.
TEST(DeferredTaskQueue, RunsOnAMonotonicClockAndStopsAfterTheRunningTask) {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto steady =
        std::chrono::duration_cast<Ticks>(std::chrono::steady_clock::now().time_since_epoch());
    EXPECT_LT(std::abs(DeferredTaskQueue().now() - steady.count()), ms(1000));

    const HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    std::atomic<bool> running{false};
    std::atomic<bool> stopping{false};
    std::atomic<bool> answered{false};
    std::atomic<bool> late{false};
    DeferredTaskQueue queue;
    queue.start();
    queue.schedule(
        [&] {
            running = true;
            wait_for([&] { return stopping.load(); });
            answered = SendMessageW(window, WM_NULL, 0, 0) == 0;
        },
        0);
    ASSERT_TRUE(wait_for([&] { return running.load(); }));
    stopping = true;
    queue.stop();
    EXPECT_TRUE(answered.load());
    queue.schedule([&] { late = true; }, 0);  // the thread has ended: it never runs
    EXPECT_FALSE(late.load());
    DestroyWindow(window);
}

}  // namespace
