#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "Announcements.h"
#include "HamlogIdentity.h"
#include "HookInstallation.h"
#include "LivenessProbe.h"

namespace omvar::Snarel::detail {

// The watcher thread of the program's process and the hooks it installs: every 100 ms it looks
// for HAMLOG's application window and hooks the thread that owns it whenever that HAMLOG is new.
// An installation the system refuses is logged once and tried again with a growing pause; the
// receiver hears of the hooks only once they are set, and again after they were found dead and
// set anew. The hooks are set and removed on this thread only: they belong to it.
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

    // Ends the watcher, which removes the hooks on its way out; false when there was no
    // retrieval hook or it could not be removed.
    bool stop();

private:
    using Clock = std::chrono::steady_clock;

    // The HAMLOG being hooked, and how its installation went.
    struct Target {
        HamlogIdentity hamlog;
        InstalledHooks hooks;
        int failures = 0;
        Clock::time_point nextTry{};
        std::chrono::milliseconds pause{0};
        Clock::time_point installedAt{};
    };

    Watcher() = default;
    void run();
    void turn(Clock::time_point now);
    void follow(const HamlogIdentity& hamlog);
    void tryInstall(Clock::time_point now);
    void checkAlive(Clock::time_point now);
    void announce(HookRecordKind kind);

    std::mutex lifecycleMutex_;  // start and stop from any thread
    std::thread thread_;
    std::atomic<bool> stopFlag_{false};
    // Only on the watcher thread while it runs; read by stop after joining it.
    Target target_;
    Announcements announcements_;
    LivenessProbe probe_;
    HookFaults faults_;
    bool removedAtStop_ = false;
};

}  // namespace omvar::Snarel::detail
