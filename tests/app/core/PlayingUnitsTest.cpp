#include "PlayingUnits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using omvar::Vetrin::playingUnits;

namespace {

double units(std::vector<std::uint8_t> codes, double dot = 1.0, double dash = 3.0) {
    return playingUnits(codes, dot, dash);
}

TEST(PlayingUnits, ElementsGapsAndWordSpaces) {
    EXPECT_EQ(units({0xB0}), 9.0);  // K: dash, dot, dash with two element gaps
    EXPECT_EQ(units({0x40}), 1.0);  // E
    EXPECT_EQ(units({0xFC}), 19.0);
    EXPECT_EQ(units({0x80}), 7.0);
    // A, then E after a character gap; after a word space no gap.
    EXPECT_EQ(units({0x60, 0x40}), 5.0 + 3.0 + 1.0);
    EXPECT_EQ(units({0x60, 0x80, 0x40}), 5.0 + 7.0 + 1.0);
    EXPECT_EQ(units({0x8B}), 3 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 3 + 1 + 1 + 1 + 3.0);  // [BK]
    EXPECT_EQ(units({}), 0.0);
    EXPECT_EQ(units({0x00}), 0.0);
}

TEST(PlayingUnits, WeightsScaleTheElementsOnly) {
    EXPECT_EQ(units({0x60}, 1.5, 4.5), 1.5 + 1.0 + 4.5);
    EXPECT_EQ(units({0x60, 0x60}, 1.5, 4.5), 2 * 7.0 + 3.0);
}

}  // namespace
