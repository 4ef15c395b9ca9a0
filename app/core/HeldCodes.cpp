#include "HeldCodes.h"

#include "PlayingUnits.h"

#include <algorithm>
#include <array>

namespace omvar::Vetrin {

namespace {

constexpr int kPaddleUsed = 15;
constexpr int kCapacity = 8;
constexpr std::uint8_t kShortestCode = 0x60;  // a dot: "E"

HeldCodes::Clock::duration milliseconds(double ms) {
    return std::chrono::duration_cast<HeldCodes::Clock::duration>(
        std::chrono::duration<double, std::milli>(ms));
}

}  // namespace

void HeldCodes::put(std::span<const std::uint8_t> codes, int ahead, const Timing& timing,
                    Clock::time_point at) {
    std::lock_guard held(mutex_);
    dropPlayed(at);
    ahead = std::clamp(ahead, 0, kCapacity);
    while (static_cast<int>(held_.size()) < ahead) {
        // Held from before and not known here: at the shortest, after the known ones.
        append(kShortestCode, timing, at);
    }
    for (const std::uint8_t code : codes) {
        append(code, timing, at);
    }
}

void HeldCodes::append(std::uint8_t code, const Timing& timing, Clock::time_point at) {
    // A code starts once the one before it and the gap after that are over (the unit keeps the
    // gap even when it was idle meanwhile), and no sooner than it was put.
    const std::array<std::uint8_t, 1> one{code};
    const double elements = playingUnits(one, timing.weightDot, timing.weightDash);
    Clock::time_point start = at;
    if (last_) {
        const std::array<std::uint8_t, 2> pair{last_->code, code};
        const double gap =
            playingUnits(pair, timing.weightDot, timing.weightDash) -
            playingUnits(std::span(pair).first(1), timing.weightDot, timing.weightDash) - elements;
        start = std::max(start, last_->end + milliseconds(gap * timing.dotMs));
    }
    last_ = Code{code, start + milliseconds(elements * timing.dotMs)};
    held_.push_back(*last_);
}

void HeldCodes::forget() {
    std::lock_guard held(mutex_);
    held_.clear();
    last_.reset();
}

int HeldCodes::atLeast(int reported, Clock::time_point now) {
    if (reported < 0 || reported == kPaddleUsed) {
        return reported;
    }
    std::lock_guard held(mutex_);
    dropPlayed(now);
    return std::max(reported, static_cast<int>(held_.size()));
}

void HeldCodes::dropPlayed(Clock::time_point now) {
    while (!held_.empty() && held_.front().end <= now) {
        held_.pop_front();
    }
}

}  // namespace omvar::Vetrin
