#pragma once

#include "DeferredTaskQueue.h"
#include "HamlogWindowMap.h"

#include <atomic>
#include <functional>

namespace omvar::Vetrin {

// Looks for HAMLOG's windows again, on the tracker's task thread, while the map lacks the
// application window or the active log window with its controls: windows HAMLOG makes after the
// hooks were set, or an announcement of the hooks that came too late, would otherwise leave the
// log window unmapped until it happens to be activated again. A full map costs each turn a few
// lookups; a search runs only when HAMLOG's thread has a window not seen yet.
class HamlogWindowRescan {
public:
    // activeLogId: the log window the tracker follows; mapped: runs on the task thread when
    // that window and its controls have just been mapped by a turn.
    HamlogWindowRescan(HamlogWindowMap& map, DeferredTaskQueue& tasks,
                       std::function<int()> activeLogId, std::function<void()> mapped);

    // Schedules the turns on the task queue (started or not).
    void start();
    // No turn does anything afterwards; any thread.
    void stop();

private:
    void turn();
    void scheduleTurn();
    bool activeLogMapped() const;

    HamlogWindowMap& map_;
    DeferredTaskQueue& tasks_;
    std::function<int()> activeLogId_;
    std::function<void()> mapped_;
    std::atomic<bool> running_{false};
};

}  // namespace omvar::Vetrin
