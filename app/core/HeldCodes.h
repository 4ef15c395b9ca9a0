#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>

namespace omvar::Vetrin {

// How many codes the interface holds at least, worked out from the chunks put and the time since.
// The buffer size the interface library reports is the last status report's, which may predate
// the put; until a chunk has had time to play, the unit counts as holding what cannot have
// played yet. Any thread.
class HeldCodes {
public:
    using Clock = std::chrono::steady_clock;

    struct Timing {
        double dotMs = 60.0;
        double weightDot = 1.0;
        double weightDash = 3.0;
    };

    // `ahead` codes were held when the chunk was put: they play first. Those not put through
    // here (held since before the model started) count the shortest a code can play.
    void put(std::span<const std::uint8_t> codes, int ahead, const Timing& timing,
             Clock::time_point at = Clock::now());
    // The unit dropped what it held (a cancel, a lost connection).
    void forget();
    // The larger of the reported size and what cannot have played yet; -1 (no interface) and
    // the paddle's 15 pass unchanged.
    int atLeast(int reported, Clock::time_point now = Clock::now());

private:
    struct Code {
        std::uint8_t code;
        Clock::time_point end;  // the earliest the unit can have played it
    };
    void dropPlayed(Clock::time_point now);
    void append(std::uint8_t code, const Timing& timing, Clock::time_point at);

    std::mutex mutex_;
    std::deque<Code> held_;
    std::optional<Code> last_;  // the last code put, played or not
};

}  // namespace omvar::Vetrin
