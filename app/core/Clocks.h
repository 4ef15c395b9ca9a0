#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ratio>

namespace omvar::Vetrin {

// The two clocks the model reads, handed in so that a test can step the wall clock as a
// time-sync tool does. The wall clock dates what is shown (time stamps, "$G", when an element was
// queued); every wait and every due time runs on the monotonic one, which no step moves.
struct Clocks {
    using Source = std::function<std::int64_t()>;

    // Milliseconds since 1970-01-01 UTC.
    static std::int64_t systemMilliseconds() {
        using std::chrono::duration_cast;
        using std::chrono::milliseconds;
        return duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    // 100-ns ticks since an arbitrary start.
    static std::int64_t steadyTicks() {
        using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
        return std::chrono::duration_cast<Ticks>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    Source wallMilliseconds = systemMilliseconds;
    Source monotonicTicks = steadyTicks;
};

}  // namespace omvar::Vetrin
