#pragma once

#include <string>
#include <vector>

#include "KeyTimeline.h"

// Turns a key timeline back into text with the interface's Morse tables: marks are told apart
// as dots and dashes by their two length clusters, gaps as element, character and word spaces
// by the keyer unit (the element space) measured from the shortest gaps.
namespace omvar::sim {

struct DecodeOptions {
    bool wabun = false;  // the Wabun table first, as the program's kana mode reads paddle text
    double unit_ms = 0;  // keyer unit when known (1200 / WPM); 0: measured from the timeline
};

struct DecodedCharacter {
    std::string text;     // UTF-8 key of the table entry; "*" when no entry has the pattern
    std::string pattern;  // "." and "-"
    double start_ms = 0;  // first key-down
    double end_ms = 0;    // last key-up
};

struct DecodedText {
    std::string text;  // UTF-8, words separated by one blank
    std::vector<DecodedCharacter> characters;
    double unit_ms = 0;  // measured (or given) keyer unit; 0 when there were no marks
    double wpm = 0;      // 1200 / unit_ms, the PARIS standard
};

// Edges must be in time order; a repeated state is ignored and a key left down at the end
// is dropped.
DecodedText decode_timeline(const std::vector<TimelineEdge>& edges, DecodeOptions options = {});

}  // namespace omvar::sim
