// The key timeline format and its decoder: what the virtual QUENTRAX writes reads back as the
// keyed text with its timing and speed.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "KeyTimeline.h"
#include "MorseDecoder.h"

namespace {

using omvar::sim::decode_timeline;
using omvar::sim::DecodeOptions;
using omvar::sim::format_edge;
using omvar::sim::parse_edge_line;
using omvar::sim::read_timeline;
using omvar::sim::TimelineEdge;

// Edges of keyed patterns ("." and "-", " " between characters, " / " between words) with a
// keyer unit of `unit` ms and dots of `dotUnits` units (weighted keying), from `start` ms.
std::vector<TimelineEdge> keyed(const std::string& patterns, double unit, double dotUnits = 1,
                                double start = 100) {
    std::vector<TimelineEdge> edges;
    double t = start;
    double gap = 0;
    for (char c : patterns) {
        if (c == ' ') {
            gap = std::max(gap, 3 * unit);
            continue;
        }
        if (c == '/') {
            gap = 7 * unit;
            continue;
        }
        if (!edges.empty()) {
            t += gap == 0 ? unit : gap;
        }
        gap = 0;
        edges.push_back({t, true});
        t += c == '.' ? dotUnits * unit : 3 * unit;
        edges.push_back({t, false});
    }
    return edges;
}

const std::string kParis = ".--. .- .-. .. ...";

TEST(KeyTimeline, EdgesRoundTripThroughTheirLinesAndBadLinesAreNamed) {
    EXPECT_EQ(format_edge({1234.5, true}), "1234.500 down");
    EXPECT_EQ(format_edge({60, false}), "60.000 up");
    EXPECT_EQ(parse_edge_line("1234.500 down"), (TimelineEdge{1234.5, true}));
    EXPECT_EQ(parse_edge_line("  7 up\r"), (TimelineEdge{7, false}));
    EXPECT_FALSE(parse_edge_line("# comment").has_value());
    EXPECT_FALSE(parse_edge_line("").has_value());
    EXPECT_THROW(parse_edge_line("12.0 sideways"), std::invalid_argument);
    EXPECT_THROW(parse_edge_line("down"), std::invalid_argument);
    EXPECT_THROW(parse_edge_line("-5 up"), std::invalid_argument);

    std::istringstream file("# header\n10.000 down\n70.000 up\nbroken\n");
    try {
        read_timeline(file);
        FAIL() << "a broken line was read";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("line 4:", 0), 0u) << error.what();
    }
}

TEST(MorseDecoder, ParisAtTwentyWpmDecodesWithItsSpeedAndCharacterTiming) {
    const auto decoded = decode_timeline(keyed(kParis + " / " + kParis, 60));
    EXPECT_EQ(decoded.text, "PARIS PARIS");
    EXPECT_DOUBLE_EQ(decoded.unit_ms, 60);
    EXPECT_DOUBLE_EQ(decoded.wpm, 20);
    ASSERT_EQ(decoded.characters.size(), 10u);
    // P: dot, dash, dash, dot with element spaces: 11 units from 100 ms.
    EXPECT_EQ(decoded.characters[0].text, "P");
    EXPECT_EQ(decoded.characters[0].pattern, ".--.");
    EXPECT_DOUBLE_EQ(decoded.characters[0].start_ms, 100);
    EXPECT_DOUBLE_EQ(decoded.characters[0].end_ms, 100 + 11 * 60);
    // A follows after a character space.
    EXPECT_DOUBLE_EQ(decoded.characters[1].start_ms, 100 + 14 * 60);
    // A whole word is 43 units plus a 7-unit word space.
    EXPECT_DOUBLE_EQ(decoded.characters[5].start_ms, 100 + 50 * 60);
}

TEST(MorseDecoder, WeightedDotsStillGiveTheKeyerUnitFromTheElementSpaces) {
    // Dots of 1.5 units (weight 3) at 25 WPM (48 ms).
    const auto decoded = decode_timeline(keyed(kParis + " / -.-. --.-", 48, 1.5));
    EXPECT_EQ(decoded.text, "PARIS CQ");
    EXPECT_DOUBLE_EQ(decoded.wpm, 25);
}

TEST(MorseDecoder, MarksOfOneKindAreToldApartByTheGaps) {
    EXPECT_EQ(decode_timeline(keyed("---", 60)).text, "O");
    EXPECT_EQ(decode_timeline(keyed("... / ...", 60)).text, "S S");
    // A lone mark is a dot unless the speed says otherwise.
    EXPECT_EQ(decode_timeline(keyed("-", 60)).text, "E");
    EXPECT_EQ(decode_timeline(keyed("-", 60), DecodeOptions{false, 60}).text, "T");
}

TEST(MorseDecoder, KanaModeUnknownPatternsAndAKeyLeftDown) {
    // --.-- is "ｱ" in the Wabun table and nothing in the Latin one.
    EXPECT_EQ(decode_timeline(keyed("--.-- .-", 60), DecodeOptions{true, 0}).text,
              "\xEF\xBD\xB1\xEF\xBD\xB2");  // ｱｲ
    EXPECT_EQ(decode_timeline(keyed("--.-- .-", 60)).text, "*A");

    auto edges = keyed(".-", 60);
    edges.push_back({2000, true});  // the file ends with the key down
    edges.push_back({2001, true});  // a repeated state
    EXPECT_EQ(decode_timeline(edges).text, "A");
    EXPECT_EQ(decode_timeline({}).text, "");
}

}  // namespace
