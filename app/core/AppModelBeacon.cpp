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
        // scheduled belongs to this run and does nothing, even if a start comes before it.
        std::lock_guard held(s.tasks.mutex());
        wasOn = s.beaconOn.exchange(false);
        if (wasOn) {
            ++s.beaconRun;
        }
    }
    if (wasOn) {
        s.logger->info("ビーコン: OFF");
    }
    return wasOn;
}

void AppModel::scheduleNextBeacon(int milliseconds) {
    State& s = *state_;
    // Tested again under the mutex: a stop and a start since the worker looked have scheduled
    // a firing of their own.
    std::lock_guard held(s.tasks.mutex());
    if (!s.beaconOn || s.beaconScheduled) {
        return;
    }
    s.beaconScheduled = true;
    scheduleBeacon(milliseconds);
}

void AppModel::scheduleBeacon(int milliseconds) {
    State& s = *state_;
    // The firing cannot run before this returns: the queue's thread needs the mutex held here
    // to take it off the heap.
    const std::uint64_t run = s.beaconRun;
    s.tasks.schedule([this, run] { fireBeacon(run); }, static_cast<std::int64_t>(milliseconds) *
                                                           DeferredTaskQueue::kTicksPerMillisecond);
    s.logger->info("ビーコンは{}秒後に予約されました", milliseconds / 1000.0);
}

void AppModel::fireBeacon(std::uint64_t run) {
    State& s = *state_;
    SendQueue::ClearCount clears = 0;
    {
        std::lock_guard held(s.tasks.mutex());
        if (run != s.beaconRun) {
            return;  // stopped since: `scheduled` now belongs to a later run
        }
        // Every stop clears after it has counted the run, so a stop from here on, while HAMLOG's
        // mode is read, keeps the call out of the queue.
        clears = s.queue.clearCount();
    }
    // Cleared only after the call is queued, so the worker cannot see an empty queue with no
    // firing scheduled in between and schedule a second one; cleared even when queuing throws,
    // but not when a stop came meanwhile: the flag is then the next run's.
    struct ClearScheduled {
        State& s;
        std::uint64_t run;
        ~ClearScheduled() {
            std::lock_guard held(s.tasks.mutex());
            if (run == s.beaconRun) {
                s.beaconScheduled = false;
            }
        }
    } clear{s, run};
    if (!s.beaconOn) {
        return;
    }
    s.logger->info("ビーコン: F1メッセージを送信します");
    const std::wstring message =
        s.settings.update([](AppSettings& live) { return live.fnMessage[0][0]; });
    addToSendBuffer(message, true, clears);
}

}  // namespace omvar::Vetrin
