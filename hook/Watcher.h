#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace omvar::Snarel::detail {

// The watcher thread of the program's process and the hooks it installs: every 100 ms it looks
// for HAMLOG's application window and hooks the thread that owns it whenever that thread is new.
class Watcher {
public:
    static Watcher& instance();

    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    // At library unload without a stop the thread is let go: a joinable thread object would
    // end the process.
    ~Watcher();

    // Does nothing when a watcher thread already runs; otherwise calls starting, then starts
    // the thread.
    void start(const std::function<void()>& starting);

    // Joins the watcher and removes the hooks; false when there was no retrieval hook or it
    // could not be removed, which keeps the hooked thread id.
    bool stop();

private:
    Watcher() = default;
    void run();
    void unhook();

    std::mutex lifecycleMutex_;  // start and stop from any thread
    std::thread thread_;
    std::atomic<bool> stopFlag_{false};
    // Written by the watcher thread only while it runs, and by stop after joining it.
    DWORD hookedThreadId_ = 0;
    HHOOK retrievalHook_ = nullptr;
    HHOOK callReturnHook_ = nullptr;
};

}  // namespace omvar::Snarel::detail
