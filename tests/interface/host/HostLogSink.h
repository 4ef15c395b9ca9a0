#pragma once

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The log sink of a host program, as another logger's author might write one: it keeps the lines
// in an object of the program's own, which the program's exit destroys. A line that arrives once
// that object is gone is a library logging through the host's objects after they have been
// destroyed: reported on stderr, and the program ends with status 3.
namespace host {

struct HostLines {
    std::mutex mutex;
    std::vector<std::string> lines;
    ~HostLines();
};

// Trivially destructible: still readable while the program's objects are destroyed.
inline bool host_lines_gone = false;

inline HostLines::~HostLines() {
    host_lines_gone = true;
}

inline HostLines host_lines;

class HostSink : public spdlog::sinks::base_sink<std::mutex> {
protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        const std::string text(msg.payload.begin(), msg.payload.end());
        if (host_lines_gone) {
            std::fprintf(stderr, "logged after the host's objects were destroyed: %s\n",
                         text.c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
        std::lock_guard<std::mutex> lock(host_lines.mutex);
        host_lines.lines.push_back(text);
    }
    void flush_() override {}
};

inline bool host_logged(const std::string& text) {
    std::lock_guard<std::mutex> lock(host_lines.mutex);
    for (const auto& line : host_lines.lines) {
        if (line == text) {
            return true;
        }
    }
    return false;
}

// The two library loggers, both on the host's sink at debug level.
inline std::vector<std::shared_ptr<spdlog::logger>> host_loggers() {
    auto sink = std::make_shared<HostSink>();
    std::vector<std::shared_ptr<spdlog::logger>> loggers;
    for (const char* name : {"quentrax", "qxpacket"}) {
        auto logger = std::make_shared<spdlog::logger>(name, sink);
        logger->set_level(spdlog::level::debug);
        loggers.push_back(std::move(logger));
    }
    return loggers;
}

}  // namespace host
