#include "MorseDecoder.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "MorseCode.h"

namespace omvar::sim {

namespace {

struct Mark {
    double down;
    double up;
    double length() const { return up - down; }
};

std::vector<Mark> marks_of(const std::vector<TimelineEdge>& edges) {
    std::vector<Mark> marks;
    bool down = false;
    double since = 0;
    for (const TimelineEdge& edge : edges) {
        if (edge.down == down) {
            continue;
        }
        if (edge.down) {
            since = edge.ms;
        } else {
            marks.push_back({since, edge.ms});
        }
        down = edge.down;
    }
    return marks;
}

double mean(const std::vector<double>& values) {
    return values.empty() ? 0
                          : std::accumulate(values.begin(), values.end(), 0.0) /
                                static_cast<double>(values.size());
}

// Two-means split of the mark lengths: the threshold between dots and dashes, or 0 when all
// marks are of one kind (lengths within a factor of 1.8 of each other).
double dash_threshold(const std::vector<Mark>& marks) {
    std::vector<double> lengths;
    for (const Mark& mark : marks) {
        lengths.push_back(mark.length());
    }
    const auto [shortest, longest] = std::minmax_element(lengths.begin(), lengths.end());
    if (lengths.empty() || *longest < 1.8 * *shortest) {
        return 0;
    }
    double threshold = (*shortest + *longest) / 2;
    for (int round = 0; round < 20; ++round) {
        std::vector<double> low;
        std::vector<double> high;
        for (double length : lengths) {
            (length < threshold ? low : high).push_back(length);
        }
        const double next = (mean(low) + mean(high)) / 2;
        if (next == threshold) {
            break;
        }
        threshold = next;
    }
    return threshold;
}

// Native code of a pattern: elements from bit 7 down, then the end marker.
std::uint8_t code_of(const std::string& pattern) {
    if (pattern.empty() || pattern.size() > 7) {
        return quentrax::kNoCode;
    }
    unsigned code = 0;
    int bit = 7;
    for (char element : pattern) {
        if (element == '-') {
            code |= 1u << bit;
        }
        --bit;
    }
    code |= 1u << bit;
    return static_cast<std::uint8_t>(code);
}

// The table keys are within the Basic Multilingual Plane.
std::string utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t wide : text) {
        const auto c = static_cast<std::uint32_t>(wide);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

DecodedText decode_timeline(const std::vector<TimelineEdge>& edges, DecodeOptions options) {
    DecodedText result;
    const std::vector<Mark> marks = marks_of(edges);
    if (marks.empty()) {
        return result;
    }
    std::vector<double> gaps;
    for (std::size_t i = 1; i < marks.size(); ++i) {
        gaps.push_back(marks[i].down - marks[i - 1].up);
    }

    double threshold = dash_threshold(marks);
    double unit = options.unit_ms;
    if (threshold == 0) {
        // One kind of mark: dots when they are about as long as the shortest gap (or a given
        // unit), dashes when clearly longer.
        const double length = marks.front().length();
        const double reference =
            unit > 0 ? unit : (gaps.empty() ? length : *std::min_element(gaps.begin(), gaps.end()));
        const bool dots = length < 2 * reference;
        threshold = dots ? length * 2 + 1 : length / 2;
    }
    if (unit <= 0) {
        // The element space is the keyer unit; dots can be weighted, gaps cannot. Gaps near
        // the dot length are element spaces; without any, the dots give the unit.
        std::vector<double> dots;
        std::vector<double> dashes;
        for (const Mark& mark : marks) {
            (mark.length() < threshold ? dots : dashes).push_back(mark.length());
        }
        const double dot = dots.empty() ? mean(dashes) / 3 : mean(dots);
        std::vector<double> element_spaces;
        for (double gap : gaps) {
            if (gap < 2 * dot) {
                element_spaces.push_back(gap);
            }
        }
        unit = element_spaces.empty() ? dot : mean(element_spaces);
    }
    result.unit_ms = unit;
    result.wpm = unit > 0 ? 1200.0 / unit : 0;

    DecodedCharacter current;
    auto finish = [&] {
        const std::wstring key =
            quentrax::from_native_code(code_of(current.pattern), options.wabun);
        current.text = key.empty() ? "*" : utf8(key);
        result.text += current.text;
        result.characters.push_back(current);
        current = {};
    };
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (i > 0) {
            const double gap = gaps[i - 1];
            if (gap >= 2 * unit) {
                finish();
                if (gap >= 5 * unit) {
                    result.text += ' ';
                }
            }
        }
        if (current.pattern.empty()) {
            current.start_ms = marks[i].down;
        }
        current.pattern += marks[i].length() < threshold ? '.' : '-';
        current.end_ms = marks[i].up;
    }
    finish();
    return result;
}

}  // namespace omvar::sim
