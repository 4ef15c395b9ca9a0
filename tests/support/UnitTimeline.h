#pragma once

// An emulated unit's key timeline as the timeline decoder reads it, and read back as text: what
// an operator listening to the transmitter would have copied.
#include <chrono>
#include <string>
#include <vector>

#include "KeyTimeline.h"
#include "MorseDecoder.h"
#include "QuentraxUnit.h"

namespace testing_support {

// Milliseconds since the first edge.
inline std::vector<omvar::sim::TimelineEdge> timeline_edges(
    const std::vector<omvar::sim::KeyEdge>& edges) {
    std::vector<omvar::sim::TimelineEdge> out;
    for (const auto& edge : edges) {
        out.push_back(
            {std::chrono::duration<double, std::milli>(edge.time - edges.front().time).count(),
             edge.down});
    }
    return out;
}

// UTF-8, words separated by one blank, "*" for a pattern no table has; gaps measured against
// the unit the keyer played with.
inline std::string keyed_text(const omvar::sim::QuentraxUnit& unit) {
    omvar::sim::DecodeOptions options;
    options.unit_ms = 2.0 * unit.keyer().speed;
    return omvar::sim::decode_timeline(timeline_edges(unit.key_timeline()), options).text;
}

}  // namespace testing_support
