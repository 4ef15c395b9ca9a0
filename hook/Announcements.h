#pragma once

#include <chrono>
#include <deque>

#include "HookMessageRecord.h"

namespace omvar::Snarel::detail {

// The records that tell the receiver the hooks were installed or removed, delivered until the
// receiver acknowledges them (a nonzero answer): a receiver whose thread is busy for a second
// would otherwise lose the only word that HAMLOG is there. Each is sent again with a growing
// pause until it is acknowledged; they go in the order they were added. Only the watcher's
// thread uses them.
class Announcements {
public:
    void add(HookRecordKind kind);
    bool pending() const { return !queue_.empty(); }
    // Sends the first one when it is due; a missing receiver drops them all (nobody listens).
    void turn(std::chrono::steady_clock::time_point now);

private:
    std::deque<HookRecordKind> queue_;
    std::chrono::steady_clock::time_point due_{};
    std::chrono::milliseconds pause_{0};
    bool warned_ = false;  // once per announcement
};

}  // namespace omvar::Snarel::detail
