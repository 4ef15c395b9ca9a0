#pragma once

#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "WaitFor.h"

namespace testing_support {

// A log sink that keeps every line, for asserting on log output exactly.
class CapturingSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    struct Line {
        std::string logger;
        spdlog::level::level_enum level;
        std::string text;  // the message payload, exactly as logged
    };

    std::vector<Line> lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (auto& l : lines()) {
            out.push_back(l.text);
        }
        return out;
    }

    bool contains(const std::string& text) {
        auto all = texts();
        return std::find(all.begin(), all.end(), text) != all.end();
    }

    size_t count(const std::string& text) {
        auto all = texts();
        return static_cast<size_t>(std::count(all.begin(), all.end(), text));
    }

    bool wait_for_line(const std::string& text,
                       std::chrono::milliseconds bound = std::chrono::seconds(10)) {
        return wait_for([&] { return contains(text); }, bound);
    }

    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        lines_.push_back({std::string(msg.logger_name.begin(), msg.logger_name.end()), msg.level,
                          std::string(msg.payload.begin(), msg.payload.end())});
    }
    void flush_() override {}

private:
    std::vector<Line> lines_;
};

// A logger at trace level that writes only into the returned sink.
inline std::pair<std::shared_ptr<spdlog::logger>, std::shared_ptr<CapturingSink>> capturing_logger(
    const std::string& name) {
    auto sink = std::make_shared<CapturingSink>();
    auto logger = std::make_shared<spdlog::logger>(name, sink);
    logger->set_level(spdlog::level::trace);
    return {logger, sink};
}

}  // namespace testing_support
