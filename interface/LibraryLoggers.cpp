#include "LibraryLoggers.h"

#include "LibraryLifecycle.h"

#include <spdlog/sinks/null_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <mutex>
#include <string>

namespace omvar::quentrax {

namespace {

constexpr const char* kInterfaceLoggerName = "quentrax";
constexpr const char* kPacketLoggerName = "qxpacket";

// Replaced by the host while other threads (device readers, host threads) may be logging.
std::mutex loggers_mutex;
std::shared_ptr<spdlog::logger> interface_logger_ref;
std::shared_ptr<spdlog::logger> packet_logger_ref;

std::shared_ptr<spdlog::logger> make_console_logger(const char* name) {
#ifdef _WIN32
    auto sink = std::make_shared<spdlog::sinks::wincolor_stdout_sink_mt>();
#else
    auto sink = std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>();
#endif
    auto logger = std::make_shared<spdlog::logger>(name, std::move(sink));
    spdlog::register_logger(logger);
    logger->set_level(spdlog::level::debug);
    logger->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%n][%^%-7l%$] %v");
    return logger;
}

}  // namespace

void create_library_loggers() {
    auto interface_logger = make_console_logger(kInterfaceLoggerName);
    auto packet_logger = make_console_logger(kPacketLoggerName);
    interface_logger->set_level(spdlog::level::critical);
    std::lock_guard<std::mutex> lock(loggers_mutex);
    interface_logger_ref = std::move(interface_logger);
    packet_logger_ref = std::move(packet_logger);
}

std::shared_ptr<spdlog::logger> interface_logger() {
    std::lock_guard<std::mutex> lock(loggers_mutex);
    if (!interface_logger_ref) {
        // Only before load or after unload: stay silent rather than fail.
        static const auto silent = std::make_shared<spdlog::logger>(
            kInterfaceLoggerName, std::make_shared<spdlog::sinks::null_sink_mt>());
        return silent;
    }
    return interface_logger_ref;
}

void replace_library_logger(std::shared_ptr<spdlog::logger> logger) {
    if (!logger) {
        interface_logger()->error("logger is null");
        return;
    }
    const std::string& name = logger->name();
    std::shared_ptr<spdlog::logger>* ref = nullptr;
    if (name == kInterfaceLoggerName) {
        ref = &interface_logger_ref;
    } else if (name == kPacketLoggerName) {
        ref = &packet_logger_ref;
    } else {
        interface_logger()->error("Please set quentrax logger or qxpacket logger");
        return;
    }
    // From now on the library holds an object of the host's.
    watch_for_process_exit();
    std::lock_guard<std::mutex> lock(loggers_mutex);
    spdlog::drop(name);
    ref->reset();
    *ref = logger;
    spdlog::register_logger(std::move(logger));
}

void set_library_log_level(int level) {
    if (level < spdlog::level::trace || level > spdlog::level::off) {
        interface_logger()->error("quentraxSetLogLevel: 指定されたログレベル: {} は無効です。",
                                  level);
        return;
    }
    const auto value = static_cast<spdlog::level::level_enum>(level);
    std::lock_guard<std::mutex> lock(loggers_mutex);
    for (const auto& logger : {interface_logger_ref, packet_logger_ref}) {
        if (logger) {
            logger->set_level(value);
        }
    }
}

void shutdown_library_loggers() {
    {
        std::lock_guard<std::mutex> lock(loggers_mutex);
        interface_logger_ref.reset();
        packet_logger_ref.reset();
    }
    spdlog::shutdown();
}

}  // namespace omvar::quentrax
