#pragma once

#include <cstdint>
#include <span>

namespace omvar::Vetrin {

// How long a sequence of native codes plays, in dot units: a word space (0x80) 7, every other
// code its elements (dots and dashes by the weights, one unit between elements) plus a
// character gap of 3 unless it comes first or after a word space. A code of 0 plays nothing.
double playingUnits(std::span<const std::uint8_t> codes, double weightDot, double weightDash);

}  // namespace omvar::Vetrin
