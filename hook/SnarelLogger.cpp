#include "SnarelLogger.h"

#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <mutex>
#include <stdexcept>

namespace omvar::Snarel::detail {
namespace {

// Loader notifications log from any thread while SetLogger may swap the logger.
std::mutex loggerMutex;
std::shared_ptr<spdlog::logger> current;

}  // namespace

void createInitialLogger() {
    std::shared_ptr<spdlog::logger> own;
    try {
        own = spdlog::stdout_color_mt("Snarel", spdlog::color_mode::automatic);
        own->set_level(spdlog::level::critical);
    } catch (const std::exception&) {
        // No console logger: stay silent rather than fail the library load.
        own = std::make_shared<spdlog::logger>("Snarel");
        own->set_level(spdlog::level::critical);
    }
    std::lock_guard<std::mutex> lock(loggerMutex);
    current = std::move(own);
}

std::shared_ptr<spdlog::logger> logger() {
    std::lock_guard<std::mutex> lock(loggerMutex);
    if (!current) {
        current = std::make_shared<spdlog::logger>("Snarel");
        current->set_level(spdlog::level::critical);
    }
    return current;
}

void replaceLogger(std::shared_ptr<spdlog::logger> next) {
    if (!next) {
        throw std::runtime_error("logger is null");
    }
    next->debug("SetLogger()");
    if (next->name() != "Snarel") {
        throw std::runtime_error("Please set Snarel logger");
    }
    spdlog::drop("Snarel");
    spdlog::register_logger(next);
    std::lock_guard<std::mutex> lock(loggerMutex);
    current = std::move(next);
}

void shutdownLogging() {
    spdlog::shutdown();
}

}  // namespace omvar::Snarel::detail
