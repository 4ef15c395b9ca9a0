#pragma once

#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

// Loggers of these names at debug level, as the program's logging set-up has them: every line
// formatted, then dropped. A logger of the same name registered before is replaced.
inline void register_silent_loggers(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        auto logger =
            std::make_shared<spdlog::logger>(name, std::make_shared<spdlog::sinks::null_sink_mt>());
        logger->set_level(spdlog::level::debug);
        spdlog::drop(name);
        spdlog::register_logger(logger);
    }
}

// The library's two loggers for the benchmarks: the packet trace at debug level, as the library
// sets it up when loaded (every packet formatted, then dropped); the interface log at warning
// rather than the library's critical, so that its "Read Timeout" warnings can be counted.
class ReadTimeoutCounter : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::atomic<int> count{0};

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        if (std::string(msg.payload.begin(), msg.payload.end()) == "Read Timeout") {
            ++count;
        }
    }
    void flush_() override {}
};

inline std::shared_ptr<ReadTimeoutCounter> set_up_bench_loggers() {
    auto counter = std::make_shared<ReadTimeoutCounter>();
    auto interface_logger = std::make_shared<spdlog::logger>("quentrax", counter);
    interface_logger->set_level(spdlog::level::warn);  // warnings only, to count time-outs
    auto packet_logger = std::make_shared<spdlog::logger>(
        "qxpacket", std::make_shared<spdlog::sinks::null_sink_mt>());
    packet_logger->set_level(spdlog::level::debug);
    spdlog::register_logger(interface_logger);
    spdlog::register_logger(packet_logger);
    return counter;
}
