#pragma once

// The model's private state, shared by the files that implement AppModel.
#include "AppModel.h"
#include "HeldCodes.h"
#include "OrderedRequests.h"
#include "PlayingUnits.h"
#include "TextEncoding.h"
#include "WaitLock.h"
#include "quentrax.h"

#include <spdlog/logger.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace omvar::Vetrin {

// What quentraxIsTxBusy answers while the paddle is in use.
constexpr int kPaddleUsed = 15;

// The settings the worker reads on every step, taken without copying the stored messages.
struct PacingSettings {
    int maxCount = 3;
    int threshold = 1;
    int wpm = 20;
    double weightDot = 1.0;
    double weightDash = 3.0;
    int cqInt = 2500;
};

struct AppModel::State {
    explicit State(const Clocks& given)
        : queue(given.wallMilliseconds),
          clocks(given),
          tracker(given),
          tasks(given.monotonicTicks) {}

    // Destroyed last: everything below may still use them while it goes.
    LiveSettings settings;
    std::shared_ptr<spdlog::logger> logger;
    SendQueue queue;
    const Clocks clocks;

    // The connection. `mutex` guards nId and the version text; it is never held while the
    // interface library is called. The library forbids closing a slot while another call on it
    // runs, so every call on nId holds `slot` shared and closing holds it exclusively.
    mutable std::mutex mutex;
    int nId = -1;
    std::wstring versionText;
    std::shared_mutex slot;
    UINT notifyMessage = 0;
    DummyWindow::Holder hidden;

    // Pacing. `wakeups` counts clearing and shutdown, which end a playback wait; `work` counts
    // those and everything else that needs a step now (queued text, a settings change). A wait
    // compares them with what it saw before, so it never misses a signal that came meanwhile and
    // tells one meant for it from a spurious wake-up.
    std::thread worker;
    WorkerPeriods periods;
    std::atomic<bool> stopRequested{false};
    WaitLock wait;
    std::uint64_t wakeups = 0;  // under wait
    std::uint64_t work = 0;     // under wait
    std::atomic<bool> dataAdded{false};
    // What the interface holds at least since the last chunk, whatever its last report says.
    HeldCodes heldCodes;
    std::atomic<bool> beaconOn{false};
    std::atomic<bool> beaconScheduled{false};
    // Under the task queue's mutex: counts the stops, so a firing scheduled before a stop does
    // nothing after the beacon has been started again.
    std::uint64_t beaconRun = 0;
    std::atomic<bool> kanaMode{false};
    std::wstring lastTimeStamp;  // under stampMutex
    std::mutex stampMutex;

    bool started = false;
    bool shutDown = false;

    // Their threads call into everything above, so they are declared last and go first: the
    // model's task queue before the tracker its firings read HAMLOG through.
    HAMLOGTracker tracker;
    // The model's own listeners of the tracker, removed before it goes.
    std::vector<Subscription> trackerListeners;
    DeferredTaskQueue tasks;
    OrderedRequests requests;

    PacingSettings pacing() {
        return settings.update([](AppSettings& s) {
            return PacingSettings{s.sendBufferMaxCount, s.sendBufferThreshold, s.wpm,
                                  s.weightDot,          s.weightDash,          s.cqInt};
        });
    }

    int currentId() const {
        std::lock_guard held(mutex);
        return nId;
    }

    // Runs fn(nId) with the slot held shared, so the interface cannot be closed meanwhile.
    template <typename Fn>
    auto withDevice(Fn&& fn) {
        std::shared_lock held(slot);
        return std::forward<Fn>(fn)(currentId());
    }

    // Closes the interface once no call on it runs; nId is -1 from then on.
    void closeInterface() {
        std::unique_lock closing(slot);
        int id = -1;
        {
            std::lock_guard held(mutex);
            id = std::exchange(nId, -1);
        }
        if (id != -1) {
            quentraxClose(id);
        }
    }
};

}  // namespace omvar::Vetrin
