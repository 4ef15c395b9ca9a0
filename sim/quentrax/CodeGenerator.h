#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "QuentraxUnit.h"

namespace omvar::sim {

// The unit's 8-code generator buffer and its timing: one unit is speed x 2 ms; a dot lasts
// dot_weight / 2 units and a dash dash_weight / 2, elements are one unit apart, characters
// three, and a word space (0x80) stretches the gap after the previous character to seven.
// Edges are computed from this model, so the key timeline is exact and independent of how
// late the emulator's own thread runs.
class CodeGenerator {
public:
    static constexpr std::size_t capacity = 8;

    // Accepts codes while there is room; returns how many were dropped for want of it.
    std::size_t enqueue(const std::uint8_t* codes, std::size_t count, EmuClock::time_point now);
    // Drops everything; a key held down is released at `now`.
    void clear(EmuClock::time_point now);
    // Plays everything due up to `now` with the given keyer settings.
    void advance(EmuClock::time_point now, const KeyerState& keyer);
    void set_stalled(bool stalled, EmuClock::time_point now);
    bool stalled() const { return stalled_; }

    std::size_t size() const { return queue_.size(); }
    bool key_down() const { return key_down_; }
    const std::vector<KeyEdge>& timeline() const { return timeline_; }
    void clear_timeline() { timeline_.clear(); }

private:
    struct Entry {
        std::uint8_t code;
        EmuClock::time_point queued;
    };
    struct Element {
        EmuClock::time_point down;
        EmuClock::time_point up;
    };

    void start_head(EmuClock::time_point start, const KeyerState& keyer);

    std::deque<Entry> queue_;
    bool playing_ = false;
    std::vector<Element> elements_;  // of the code at the head while it plays
    std::size_t next_edge_ = 0;      // 2 edges per element, in order
    EmuClock::time_point play_end_{};
    EmuClock::time_point next_start_{};  // earliest start of the next code (gaps)
    EmuClock::time_point resumed_{};     // codes never start before the last restart
    bool key_down_ = false;
    bool stalled_ = false;
    std::vector<KeyEdge> timeline_;
};

}  // namespace omvar::sim
