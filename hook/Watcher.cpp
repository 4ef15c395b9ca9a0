#include "Watcher.h"

#include <algorithm>

#include "SnarelLogger.h"

namespace omvar::Snarel::detail {
namespace {

constexpr std::chrono::milliseconds kFirstRetryPause{100};
constexpr std::chrono::milliseconds kLongestRetryPause{5000};

}  // namespace

Watcher& Watcher::instance() {
    static Watcher watcher;
    return watcher;
}

Watcher::~Watcher() {
    if (thread_.joinable()) {
        stopFlag_ = true;
        thread_.detach();
    }
}

void Watcher::start(const std::function<void()>& starting) {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (thread_.joinable()) {
        return;
    }
    starting();
    stopFlag_ = false;
    target_ = {};
    announcements_ = {};
    faults_ = HookFaults::fromEnvironment();
    removedAtStop_ = false;
    thread_ = std::thread([this] { run(); });
}

bool Watcher::stop() {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (!thread_.joinable()) {
        return false;
    }
    stopFlag_ = true;
    thread_.join();
    return removedAtStop_;
}

void Watcher::run() {
    while (!stopFlag_) {
        turn(Clock::now());
        Sleep(100);
    }
    removedAtStop_ = removeHooks(target_.hooks);
}

void Watcher::turn(Clock::time_point now) {
    const HamlogIdentity hamlog = HamlogIdentity::find();
    // A HAMLOG that closed leaves everything as it is until another one is found.
    if (hamlog.found() && !target_.hamlog.sameAs(hamlog)) {
        follow(hamlog);
    }
    if (target_.hamlog.found() && !target_.hooks.set() && now >= target_.nextTry) {
        tryInstall(now);
    }
    announcements_.turn(now);
    if (target_.hooks.set() && !announcements_.pending()) {
        checkAlive(now);
    }
}

void Watcher::follow(const HamlogIdentity& hamlog) {
    if (target_.hooks.set()) {
        removeHooks(target_.hooks);
        announce(HookRecordKind::hooksRemoved);
    }
    target_ = {};
    target_.hamlog = hamlog;
    target_.pause = kFirstRetryPause;
}

void Watcher::tryInstall(Clock::time_point now) {
    HookInstallResult result;
    if (faults_.refuseNext()) {
        result.error = ERROR_ACCESS_DENIED;
    } else {
        result = installHooks(target_.hamlog.thread);
    }
    if (!result.hooks.set()) {
        if (target_.failures++ == 0) {
            logger()->warn("Hooks could not be set on HAMLOG's thread {}: {}; trying again",
                           target_.hamlog.thread, installFailureReason(result.error));
        }
        target_.nextTry = now + target_.pause;
        target_.pause = std::min(target_.pause * 2, kLongestRetryPause);
        return;
    }
    if (target_.failures > 0) {
        logger()->info("Hooks set on HAMLOG's thread {} after {} failed attempts",
                       target_.hamlog.thread, target_.failures);
    }
    target_.hooks = result.hooks;
    target_.failures = 0;
    target_.pause = kFirstRetryPause;
    target_.installedAt = now;
    probe_.restart(now);
    announce(HookRecordKind::hooksInstalled);
}

void Watcher::announce(HookRecordKind kind) {
    if (faults_.announces()) {
        announcements_.add(kind);
    }
}

void Watcher::checkAlive(Clock::time_point now) {
    if (faults_.dropDue(target_.installedAt, now)) {
        // Gone as if the system had taken them; the watcher's own state says they are set.
        InstalledHooks dropped = target_.hooks;
        removeHooks(dropped);
    }
    if (!probe_.hooksDead(target_.hamlog.window, now)) {
        return;
    }
    logger()->warn("A probe did not pass the hooks on HAMLOG's thread {}; setting them again",
                   target_.hamlog.thread);
    removeHooks(target_.hooks);
    tryInstall(now);
}

}  // namespace omvar::Snarel::detail
