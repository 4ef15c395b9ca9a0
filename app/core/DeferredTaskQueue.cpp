#include "DeferredTaskQueue.h"

#include <spdlog/spdlog.h>

#include <windows.h>

#include <chrono>
#include <exception>
#include <utility>

namespace omvar::Vetrin {

namespace {

// How often the end of the thread is looked at between sent messages.
constexpr DWORD kEndPollMs = 10;

}  // namespace

DeferredTaskQueue::DeferredTaskQueue(Clocks::Source monotonicTicks)
    : clock_(monotonicTicks ? std::move(monotonicTicks) : Clocks::Source(Clocks::steadyTicks)) {}

DeferredTaskQueue::~DeferredTaskQueue() {
    stop();
}

void DeferredTaskQueue::stop() {
    stop_.store(true);
    {
        std::lock_guard wakeLock(wakeMutex_);
        wake_.notify_all();
    }
    if (thread_.joinable()) {
        // The last owner may let go of the queue from one of its own callbacks; joining there
        // would wait for ourselves.
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            waitForEnd();
            thread_.join();
        }
    }
}

// A running task may be waiting for a message it sent to this thread's windows (a listener that
// works on the window): those are handled while the thread ends, so neither waits for the other.
void DeferredTaskQueue::waitForEnd() {
    while (!finished_.load()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, kEndPollMs, QS_SENDMESSAGE, 0);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void DeferredTaskQueue::start() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { run(); });
    }
}

void DeferredTaskQueue::schedule(Task task, std::int64_t delayTicks) {
    std::lock_guard held(mutex_);
    heap_.push(Entry{std::move(task), now() + delayTicks, nextSequence_++});
    std::lock_guard wakeLock(wakeMutex_);
    wake_.notify_all();
}

// The wake mutex is taken before the recursive mutex is let go, so an entry scheduled in between
// cannot signal before this thread waits (its signal needs the wake mutex). After waking, the wake
// mutex is released before the recursive mutex is taken again, the same order schedule uses.
void DeferredTaskQueue::waitForWork(std::unique_lock<std::recursive_mutex>& held) {
    std::unique_lock wakeLock(wakeMutex_);
    const bool empty = heap_.empty();
    const std::int64_t remaining = empty ? 0 : heap_.top().due - now();
    held.unlock();
    if (!stop_.load()) {
        if (empty) {
            wake_.wait(wakeLock);
        } else if (remaining > 0) {
            wake_.wait_for(wakeLock, std::chrono::microseconds((remaining + 9) / 10));
        }
    }
    wakeLock.unlock();
    held.lock();
}

namespace {

// A task that throws must not end the thread (every later task would be lost) or the program.
void runGuarded(const DeferredTaskQueue::Task& task) {
    try {
        task();
    } catch (const std::exception& e) {
        if (auto logger = spdlog::get("Vetrin")) {
            logger->error("A deferred task failed: {}", e.what());
        }
    } catch (...) {
        if (auto logger = spdlog::get("Vetrin")) {
            logger->error("A deferred task failed");
        }
    }
}

}  // namespace

void DeferredTaskQueue::run() {
    struct Finished {
        std::atomic<bool>& flag;
        ~Finished() { flag.store(true); }
    } finished{finished_};
    std::unique_lock held(mutex_);
    while (!stop_.load()) {
        waitForWork(held);
        while (!stop_.load() && !heap_.empty() && heap_.top().due <= now()) {
            Task task = std::move(const_cast<Entry&>(heap_.top()).task);
            heap_.pop();
            held.unlock();
            runGuarded(task);
            held.lock();
        }
    }
}

}  // namespace omvar::Vetrin
