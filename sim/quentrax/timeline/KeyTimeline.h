#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The key timeline file of the virtual QUENTRAX: one line per edge of the keying line,
// "<milliseconds since open, three decimals> down" or "... up", in time order. Lines starting
// with "#" are comments. The virtual library writes it and the decoder reads it through these
// functions, so both sides share one format.
namespace omvar::sim {

struct TimelineEdge {
    double ms = 0;  // since the unit was opened
    bool down = false;

    bool operator==(const TimelineEdge&) const = default;
};

inline constexpr std::string_view kTimelineHeader =
    "# virtual QUENTRAX key timeline: milliseconds since open, key down/up";

// "1234.500 down", without a line end.
std::string format_edge(const TimelineEdge& edge);

// The edge on one line; nothing for a comment or a blank line. Throws std::invalid_argument
// for anything else.
std::optional<TimelineEdge> parse_edge_line(std::string_view line);

// Every edge of a file; throws std::runtime_error naming the line that is not an edge.
std::vector<TimelineEdge> read_timeline(std::istream& in);

}  // namespace omvar::sim
