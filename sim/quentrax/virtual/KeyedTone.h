#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

// The side tone as samples: a sine at the tone of each keyed span, shaped by raised-cosine
// ramps that lie inside the span (rise from key-down, fall ending at key-up), so the sound
// starts and stops exactly with the key and without clicks. Sample i lies at i / rate seconds
// after the unit was opened; the phase follows absolute time, so blocks rendered one after
// another join seamlessly.
namespace omvar::sim::virtual_unit {

// Hz of a side-tone setting: 1..15 divide 3906.25 Hz (1 gives 3906, 13 gives 300); 0 is off
// and gives 0, as does anything above 15.
double sideToneHz(std::uint8_t setting);

class KeyedTone {
public:
    static constexpr double kRampMs = 4.0;
    static constexpr double kAmplitude = 0.5 * 32767;

    explicit KeyedTone(int sampleRate) : rate_(sampleRate) {}

    int sampleRate() const { return rate_; }
    // Edges in time order; hz is the tone of a key-down (0: silent span).
    void addEdge(double ms, bool down, double hz);
    void render(std::int64_t first, std::size_t count, std::int16_t* out) const;
    // Spans that ended before this sample are no longer needed.
    void forgetBefore(std::int64_t sample);
    // The index of the sample at this time.
    std::int64_t sampleAt(double ms) const;

private:
    struct Span {
        double downMs;
        double upMs;  // infinity while the key is down
        double hz;
    };

    int rate_;
    std::deque<Span> spans_;
};

}  // namespace omvar::sim::virtual_unit
