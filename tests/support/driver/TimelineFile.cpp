#include "TimelineFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace omvar::demo {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);

}  // namespace

std::vector<sim::TimelineEdge> TimelineFile::edges() const {
    std::ifstream in{std::filesystem::path(path_), std::ios::binary};
    if (!in) {
        return {};
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The writer may be in the middle of a line.
    const auto lastEnd = content.find_last_of('\n');
    content.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    std::istringstream lines(content);
    return sim::read_timeline(lines);
}

sim::DecodedText TimelineFile::decode(std::size_t from) const {
    auto all = edges();
    if (from >= all.size()) {
        return {};
    }
    return sim::decode_timeline({all.begin() + static_cast<std::ptrdiff_t>(from), all.end()});
}

bool TimelineFile::waitForText(std::size_t from, const std::string& expected,
                               std::chrono::milliseconds bound) const {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const auto all = edges();
        // Only a finished character can complete the text: the key is up.
        if (all.size() > from && !all.back().down && decode(from).text == expected) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

bool TimelineFile::waitForEdges(std::size_t from, std::size_t count,
                                std::chrono::milliseconds bound) const {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (size() < from + count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

bool TimelineFile::waitForQuiet(std::chrono::milliseconds quiet,
                                std::chrono::milliseconds bound) const {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::size_t seen = size();
    auto since = std::chrono::steady_clock::now();
    for (;;) {
        const auto all = edges();
        const auto now = std::chrono::steady_clock::now();
        if (all.size() != seen) {
            seen = all.size();
            since = now;
        } else if (now - since >= quiet && (all.empty() || !all.back().down)) {
            return true;
        }
        if (now >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

}  // namespace omvar::demo
