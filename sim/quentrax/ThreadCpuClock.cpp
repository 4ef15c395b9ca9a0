#include "ThreadCpuClock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <time.h>
#endif

namespace omvar::sim {

#ifdef _WIN32
struct ThreadCpuClock::Impl {
    HANDLE thread = nullptr;
    ~Impl() {
        if (thread != nullptr) {
            CloseHandle(thread);
        }
    }
};

void ThreadCpuClock::capture() {
    HANDLE handle = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle, 0,
                        FALSE, DUPLICATE_SAME_ACCESS)) {
        impl_ = std::make_unique<Impl>();
        impl_->thread = handle;
    }
}

double ThreadCpuClock::seconds() const {
    if (!impl_) {
        return -1.0;
    }
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(impl_->thread, &created, &exited, &kernel, &user)) {
        return -1.0;
    }
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}
#else
struct ThreadCpuClock::Impl {
    clockid_t clock;
};

void ThreadCpuClock::capture() {
    clockid_t clock;
    if (pthread_getcpuclockid(pthread_self(), &clock) == 0) {
        impl_ = std::make_unique<Impl>();
        impl_->clock = clock;
    }
}

double ThreadCpuClock::seconds() const {
    if (!impl_) {
        return -1.0;
    }
    timespec ts{};
    if (clock_gettime(impl_->clock, &ts) != 0) {
        return -1.0;
    }
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
#endif

ThreadCpuClock::ThreadCpuClock() = default;
ThreadCpuClock::~ThreadCpuClock() = default;

}  // namespace omvar::sim
