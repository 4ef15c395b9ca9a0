// The beacon: the Bank-A F1 message repeated, cqInt after each call has been keyed.
#include "AppModelState.h"

#include <exception>

namespace omvar::Vetrin {

bool AppModel::beaconOn() const {
    return state_->beaconOn;
}

void AppModel::startBeacon() {
    State& s = *state_;
    // Under the task queue's mutex, so no stop comes in between. The firing counts as scheduled
    // before the beacon is on: the worker looks at `on` first, and must never find the beacon on
    // with nothing scheduled while the first firing is still being scheduled.
    std::lock_guard held(s.tasks.mutex());
    if (s.beaconOn) {
        return;
    }
    s.beaconScheduled = true;
    s.beaconOn = true;
    s.logger->info("ビーコン: ON");
    scheduleBeacon(0);
}

bool AppModel::stopBeacon() {
    State& s = *state_;
    bool wasOn = false;
    {
        // Once the task queue's mutex is ours no firing is being scheduled; one already
        // scheduled finds the beacon off.
        std::lock_guard held(s.tasks.mutex());
        wasOn = s.beaconOn.exchange(false);
    }
    if (wasOn) {
        s.logger->info("ビーコン: OFF");
    }
    return wasOn;
}

void AppModel::scheduleBeacon(int milliseconds) {
    State& s = *state_;
    if (!s.beaconOn) {
        return;
    }
    {
        // The firing cannot run before the flag is set: the queue's thread needs this mutex to
        // take it off the heap. Otherwise a firing due at once could clear the flag first, and
        // the flag, left set, would stop every later repetition.
        std::lock_guard held(s.tasks.mutex());
        s.tasks.schedule([this] { fireBeacon(); }, static_cast<std::int64_t>(milliseconds) *
                                                       DeferredTaskQueue::kTicksPerMillisecond);
        s.beaconScheduled = true;
    }
    s.logger->info("ビーコンは{}秒後に予約されました", milliseconds / 1000.0);
}

void AppModel::fireBeacon() {
    State& s = *state_;
    // Cleared only after the call is queued, so the worker cannot see an empty queue with no
    // firing scheduled in between and schedule a second one; cleared even when queuing throws.
    struct ClearScheduled {
        std::atomic<bool>& flag;
        ~ClearScheduled() { flag = false; }
    } clear{s.beaconScheduled};
    if (!s.beaconOn) {
        return;
    }
    s.logger->info("ビーコン: F1メッセージを送信します");
    const std::wstring message =
        s.settings.update([](AppSettings& live) { return live.fnMessage[0][0]; });
    addToSendBuffer(message, true);
}

}  // namespace omvar::Vetrin
