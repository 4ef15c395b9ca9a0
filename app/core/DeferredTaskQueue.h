#pragma once

#include "Clocks.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace omvar::Vetrin {

// Runs callbacks on a thread of its own at a due time. Scheduling and taking entries off the heap
// happen under one recursive mutex, so another thread can wait until no scheduling is in progress
// by taking and releasing mutex(); the mutex is not held while a callback runs.
class DeferredTaskQueue {
public:
    using Task = std::function<void()>;

    // Delays and due times are 100-ns ticks of a monotonic clock: a step of the system clock
    // (time synchronisation) neither delays nor hastens a task.
    static constexpr std::int64_t kTicksPerMillisecond = 10000;

    explicit DeferredTaskQueue(Clocks::Source monotonicTicks = Clocks::steadyTicks);
    // Stops and joins the thread; entries still waiting are discarded without running.
    ~DeferredTaskQueue();
    DeferredTaskQueue(const DeferredTaskQueue&) = delete;
    DeferredTaskQueue& operator=(const DeferredTaskQueue&) = delete;

    void start();
    // Waits for a running task to end, then ends the thread; entries still waiting are discarded
    // and nothing scheduled from now on runs. Not from one of the queue's own tasks.
    void stop();
    // Any thread, including a callback running on the queue's own thread. 0 = as soon as possible.
    void schedule(Task task, std::int64_t delayTicks);
    std::recursive_mutex& mutex() { return mutex_; }

    // Current time of the queue's monotonic clock in 100-ns ticks.
    std::int64_t now() const { return clock_(); }

private:
    struct Entry {
        Task task;
        std::int64_t due;
        std::uint64_t sequence;  // equal due times run in the order they were scheduled
    };
    struct RunsLater {
        bool operator()(const Entry& a, const Entry& b) const {
            return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
        }
    };

    void run();
    void waitForEnd();
    void waitForWork(std::unique_lock<std::recursive_mutex>& held);

    Clocks::Source clock_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::recursive_mutex mutex_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::priority_queue<Entry, std::vector<Entry>, RunsLater> heap_;
    std::uint64_t nextSequence_ = 0;
};

}  // namespace omvar::Vetrin
