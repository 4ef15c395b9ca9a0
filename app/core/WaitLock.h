#pragma once

#include <windows.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <mutex>

namespace omvar::Vetrin {

// A lock with one condition, both the platform's own (a slim reader/writer lock and a condition
// variable). Under Wine a wait on them costs about a third of the CPU of the C++ runtime's
// condition variable, a wake-up arrives in tens of microseconds instead of a hundred or more,
// and a time-out ends on its millisecond instead of up to two later. Lockable, so
// std::lock_guard and std::unique_lock take it.
class WaitLock {
public:
    WaitLock() = default;
    WaitLock(const WaitLock&) = delete;
    WaitLock& operator=(const WaitLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

    void notifyAll() { WakeAllConditionVariable(&condition_); }

    // With the lock held through `held`: waits until done() holds or the time has passed, and
    // returns done(). The lock is let go while waiting.
    template <typename Done>
    bool waitFor([[maybe_unused]] std::unique_lock<WaitLock>& held,
                 std::chrono::milliseconds timeout, Done done) {
        assert(held.owns_lock() && held.mutex() == this);
        using std::chrono::steady_clock;
        const auto deadline = steady_clock::now() + timeout;
        while (!done()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            const auto ms = std::min<long long>(left.count(), INFINITE - 1);
            SleepConditionVariableSRW(&condition_, &lock_, static_cast<DWORD>(ms), 0);
        }
        return true;
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace omvar::Vetrin
