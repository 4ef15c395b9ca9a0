#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "KeyTimeline.h"
#include "MorseDecoder.h"

namespace omvar::demo {

// The key timeline the virtual QUENTRAX writes while the program keys (QUENTRAX_VIRTUAL_TIMELINE),
// read from outside as it grows: the edges so far and the text they key.
class TimelineFile {
public:
    explicit TimelineFile(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& path() const { return path_; }
    // Every complete line so far; nothing while the file does not exist.
    std::vector<sim::TimelineEdge> edges() const;
    std::size_t size() const { return edges().size(); }
    // The text keyed from edge `from` on.
    sim::DecodedText decode(std::size_t from = 0) const;

    // Waits until the text keyed from edge `from` on reads `expected`; false after the bound.
    bool waitForText(std::size_t from, const std::string& expected,
                     std::chrono::milliseconds bound) const;
    // Waits until at least `count` edges have come after edge `from`.
    bool waitForEdges(std::size_t from, std::size_t count, std::chrono::milliseconds bound) const;
    // Waits until the key is up and no edge has come for `quiet`: the keying has ended.
    bool waitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds bound) const;

private:
    std::wstring path_;
};

}  // namespace omvar::demo
