#include "PacketText.h"

#include <gtest/gtest.h>

using namespace omvar::quentrax;

namespace {

TEST(PacketText, HexDumpHasThreeCharactersPerByte) {
    EXPECT_EQ(hex_dump({0x05, 0x60, 0x88, 0xA8, 0x00, 0x0F, 0xFF, 0x20}),
              "05 60 88 A8 00 0F FF 20 ");
    EXPECT_EQ(hex_dump({}), "");
}

TEST(PacketText, SimilarityIgnoresOnlyByte6) {
    const std::vector<std::uint8_t> base = {1, 2, 3, 4, 5, 6, 0x10, 0x20};
    EXPECT_TRUE(is_similar_packet({1, 2, 3, 4, 5, 6, 0x40, 0x20}, base));
    for (int i : {0, 1, 2, 3, 4, 5, 7}) {
        std::vector<std::uint8_t> other = base;
        other[i] ^= 0x01;
        EXPECT_FALSE(is_similar_packet(other, base)) << "byte " << i;
    }
    EXPECT_FALSE(is_similar_packet(base, {}));
    EXPECT_FALSE(is_similar_packet({1, 2, 3, 4, 5, 6, 0x10}, base));
}

TEST(PacketText, SummaryMasksByte6) {
    EXPECT_EQ(similar_summary_text(hex_dump({1, 2, 3, 4, 5, 6, 0x10, 0x20})),
              "01 02 03 04 05 06 ** 20 ");
}

}  // namespace
