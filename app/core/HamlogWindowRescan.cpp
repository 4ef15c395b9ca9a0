#include "HamlogWindowRescan.h"

#include <utility>

namespace omvar::Vetrin {

namespace {

constexpr std::int64_t kTurn = 500 * DeferredTaskQueue::kTicksPerMillisecond;

}  // namespace

HamlogWindowRescan::HamlogWindowRescan(HamlogWindowMap& map, DeferredTaskQueue& tasks,
                                       std::function<int()> activeLogId,
                                       std::function<void()> mapped)
    : map_(map), tasks_(tasks), activeLogId_(std::move(activeLogId)), mapped_(std::move(mapped)) {}

void HamlogWindowRescan::start() {
    if (!running_.exchange(true)) {
        scheduleTurn();
    }
}

void HamlogWindowRescan::stop() {
    running_ = false;
}

void HamlogWindowRescan::scheduleTurn() {
    tasks_.schedule([this] { turn(); }, kTurn);
}

bool HamlogWindowRescan::activeLogMapped() const {
    const int id = activeLogId_();
    return map_.window(id) != nullptr && map_.controls(id).mapped();
}

void HamlogWindowRescan::turn() {
    if (!running_) {
        return;
    }
    const bool wasMapped = activeLogMapped();
    if (map_.window(HamlogWindowId::applicationWindow) == nullptr || !wasMapped) {
        // What fails here (HAMLOG going away meanwhile, a listener) is tried again at the next
        // turn or left to the next event.
        try {
            if (map_.hasUnseenWindows()) {
                map_.findWindows();
            }
            map_.findControls();
            if (!wasMapped && activeLogMapped() && running_) {
                mapped_();
            }
        } catch (...) {
        }
    }
    scheduleTurn();
}

}  // namespace omvar::Vetrin
