#pragma once

// Reads an emulated unit's key timeline back as text, from the edge times alone: what an
// operator listening to the transmitter would have copied.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "MorseCode.h"
#include "QuentraxUnit.h"

namespace testing_support {

struct KeyedElement {
    omvar::sim::EmuClock::time_point down;
    omvar::sim::EmuClock::time_point up;
};

// The closed elements of a timeline (a key still down at its end is left out).
inline std::vector<KeyedElement> keyed_elements(const std::vector<omvar::sim::KeyEdge>& edges) {
    std::vector<KeyedElement> elements;
    bool down = false;
    omvar::sim::EmuClock::time_point since{};
    for (const auto& edge : edges) {
        if (edge.down && !down) {
            since = edge.time;
        } else if (!edge.down && down) {
            elements.push_back({since, edge.time});
        }
        down = edge.down;
    }
    return elements;
}

// unit: the dot unit the keyer played with. An element longer than two units is a dash; a gap
// of two units or more ends a character, one of five or more is a word space. Characters the
// Latin table does not know read as "?".
inline std::wstring decode_keying(const std::vector<omvar::sim::KeyEdge>& edges,
                                  std::chrono::microseconds unit) {
    std::wstring text;
    std::uint8_t code = 0;
    int count = 0;
    auto flush = [&] {
        if (count == 0) {
            return;
        }
        const std::wstring key =
            count <= 7 ? omvar::quentrax::from_native_code(
                             static_cast<std::uint8_t>(code | (0x80 >> count)), false)
                       : std::wstring();
        text += key.empty() ? L"?" : key;
        code = 0;
        count = 0;
    };
    const auto elements = keyed_elements(edges);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (i > 0) {
            const auto gap = elements[i].down - elements[i - 1].up;
            if (gap >= 2 * unit) {
                flush();
            }
            if (gap >= 5 * unit) {
                text += L' ';
            }
        }
        if (count < 8 && elements[i].up - elements[i].down > 2 * unit) {
            code |= static_cast<std::uint8_t>(0x80 >> count);
        }
        ++count;
    }
    flush();
    return text;
}

// The dot unit of a keyer speed code (2 ms steps).
inline std::chrono::microseconds keyer_unit(std::uint8_t speed_code) {
    return std::chrono::microseconds(2000LL * speed_code);
}

}  // namespace testing_support
