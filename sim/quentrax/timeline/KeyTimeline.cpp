#include "KeyTimeline.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace omvar::sim {

namespace {

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string format_edge(const TimelineEdge& edge) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f %s", edge.ms, edge.down ? "down" : "up");
    return buffer;
}

std::optional<TimelineEdge> parse_edge_line(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() == '#') {
        return std::nullopt;
    }
    const auto blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        throw std::invalid_argument("no key state after the time");
    }
    const std::string number(line.substr(0, blank));
    const std::string_view state = trim(line.substr(blank));
    char* end = nullptr;
    const double ms = std::strtod(number.c_str(), &end);
    if (end == number.c_str() || *end != '\0' || ms < 0) {
        throw std::invalid_argument("the time is not a number of milliseconds");
    }
    if (state == "down") {
        return TimelineEdge{ms, true};
    }
    if (state == "up") {
        return TimelineEdge{ms, false};
    }
    throw std::invalid_argument("the key state is neither down nor up");
}

std::vector<TimelineEdge> read_timeline(std::istream& in) {
    std::vector<TimelineEdge> edges;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        try {
            if (auto edge = parse_edge_line(line)) {
                edges.push_back(*edge);
            }
        } catch (const std::invalid_argument& error) {
            throw std::runtime_error("line " + std::to_string(number) + ": " + error.what());
        }
    }
    return edges;
}

}  // namespace omvar::sim
