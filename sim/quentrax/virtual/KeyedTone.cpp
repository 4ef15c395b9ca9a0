#include "KeyedTone.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace omvar::sim::virtual_unit {

double sideToneHz(std::uint8_t setting) {
    if (setting == 0 || setting > 15) {
        return 0;
    }
    return 3906.25 / setting;
}

void KeyedTone::addEdge(double ms, bool down, double hz) {
    const bool keyed = !spans_.empty() && std::isinf(spans_.back().upMs);
    if (down && !keyed) {
        spans_.push_back({ms, std::numeric_limits<double>::infinity(), hz});
    } else if (!down && keyed) {
        spans_.back().upMs = ms;
    }
}

std::int64_t KeyedTone::sampleAt(double ms) const {
    return static_cast<std::int64_t>(std::floor(ms * rate_ / 1000.0));
}

void KeyedTone::render(std::int64_t first, std::size_t count, std::int16_t* out) const {
    std::fill(out, out + count, std::int16_t{0});
    const double msPerSample = 1000.0 / rate_;
    const double startMs = static_cast<double>(first) * msPerSample;
    const double endMs =
        static_cast<double>(first + static_cast<std::int64_t>(count)) * msPerSample;
    for (const Span& span : spans_) {
        if (span.upMs <= startMs || span.downMs >= endMs || span.hz <= 0) {
            continue;
        }
        const double ramp = std::min(kRampMs, (span.upMs - span.downMs) / 2);
        const std::int64_t from = std::max(first, sampleAt(span.downMs));
        const std::int64_t to =
            std::min<std::int64_t>(first + static_cast<std::int64_t>(count),
                                   std::isinf(span.upMs) ? std::numeric_limits<std::int64_t>::max()
                                                         : sampleAt(span.upMs) + 1);
        for (std::int64_t i = from; i < to; ++i) {
            const double t = static_cast<double>(i) * msPerSample;
            if (t < span.downMs || t > span.upMs) {
                continue;
            }
            double envelope = 1.0;
            if (t < span.downMs + ramp) {
                envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * (t - span.downMs) / ramp);
            } else if (t > span.upMs - ramp) {
                envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * (span.upMs - t) / ramp);
            }
            const double value =
                kAmplitude * envelope * std::sin(2 * std::numbers::pi * span.hz * t / 1000.0);
            out[i - first] = static_cast<std::int16_t>(std::lround(value));
        }
    }
}

void KeyedTone::forgetBefore(std::int64_t sample) {
    const double ms = static_cast<double>(sample) * 1000.0 / rate_;
    while (!spans_.empty() && spans_.front().upMs < ms) {
        spans_.pop_front();
    }
}

}  // namespace omvar::sim::virtual_unit
