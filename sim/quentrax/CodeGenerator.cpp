#include "CodeGenerator.h"

#include <algorithm>

namespace omvar::sim {

namespace {

using std::chrono::microseconds;

// Elements from bit 7 downwards; the lowest set bit is the end marker.
std::vector<bool> elements_of(std::uint8_t code) {
    std::vector<bool> dashes;
    if (code == 0) {
        return dashes;
    }
    int marker = 0;
    while (((code >> marker) & 1) == 0) {
        ++marker;
    }
    for (int bit = 7; bit > marker; --bit) {
        dashes.push_back(((code >> bit) & 1) != 0);
    }
    return dashes;
}

}  // namespace

std::size_t CodeGenerator::enqueue(const std::uint8_t* codes, std::size_t count,
                                   EmuClock::time_point now) {
    std::size_t dropped = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (queue_.size() >= capacity) {
            ++dropped;
            continue;
        }
        queue_.push_back({codes[i], now});
    }
    return dropped;
}

void CodeGenerator::clear(EmuClock::time_point now) {
    if (key_down_) {
        timeline_.push_back({now, false, queue_.empty() ? std::uint8_t{0} : queue_.front().code});
        key_down_ = false;
    }
    queue_.clear();
    playing_ = false;
    elements_.clear();
    next_edge_ = 0;
    next_start_ = now;
}

void CodeGenerator::set_stalled(bool stalled, EmuClock::time_point now) {
    if (stalled_ && !stalled) {
        resumed_ = now;
    }
    stalled_ = stalled;
}

void CodeGenerator::start_head(EmuClock::time_point start, const KeyerState& keyer) {
    const auto unit = microseconds(2000LL * keyer.speed);
    const auto dot = microseconds(1000LL * keyer.speed * keyer.dot_weight);
    const auto dash = microseconds(1000LL * keyer.speed * keyer.dash_weight);
    const std::uint8_t code = queue_.front().code;
    elements_.clear();
    next_edge_ = 0;
    playing_ = true;
    if (code == 0x80) {
        // The three units after the previous character are already behind us.
        play_end_ = start + 4 * unit;
        next_start_ = play_end_;
        return;
    }
    auto t = start;
    for (bool dash_element : elements_of(code)) {
        if (!elements_.empty()) {
            t += unit;
        }
        const auto up = t + (dash_element ? dash : dot);
        elements_.push_back({t, up});
        t = up;
    }
    play_end_ = t;
    next_start_ = elements_.empty() ? t : t + 3 * unit;
}

void CodeGenerator::advance(EmuClock::time_point now, const KeyerState& keyer) {
    for (;;) {
        if (!playing_) {
            if (queue_.empty() || stalled_) {
                return;
            }
            const auto start = std::max({next_start_, queue_.front().queued, resumed_});
            if (start > now) {
                return;
            }
            start_head(start, keyer);
        }
        while (next_edge_ < 2 * elements_.size()) {
            const auto& element = elements_[next_edge_ / 2];
            const bool down = next_edge_ % 2 == 0;
            const auto at = down ? element.down : element.up;
            if (at > now) {
                return;
            }
            timeline_.push_back({at, down, queue_.front().code});
            key_down_ = down;
            ++next_edge_;
        }
        if (play_end_ > now) {
            return;
        }
        queue_.pop_front();
        playing_ = false;
    }
}

}  // namespace omvar::sim
