#include "Logging.h"

#include "LogFormatterFlag.h"
#include "WindowsVersion.h"

#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace omvar {

namespace {

const char* const kLoggerNames[] = {"default", "quentrax",  "qxpacket",
                                    "Vetrin",  "HLTracker", "Snarel"};

std::shared_ptr<spdlog::sinks::sink> makeConsoleSink() {
#ifdef _WIN32
    auto sink = std::make_shared<spdlog::sinks::wincolor_stdout_sink_mt>();
#else
    auto sink = std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>();
#endif
    sink->set_pattern("[%-9n][%^%-7l%$] %v");
    return sink;
}

std::shared_ptr<spdlog::sinks::sink> makeFileSink(const LoggingOptions& options) {
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
        options.file_name, options.max_file_size, 0, false);
    auto formatter =
        std::make_unique<spdlog::pattern_formatter>(spdlog::pattern_time_type::local, "\r\n");
    // Must be added before the pattern is compiled, so that it replaces the built-in "%v".
    formatter->add_flag<utils::my_formatter_flag>('v');
    formatter->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%-9n][%^%-7l%$] %v");
    sink->set_formatter(std::move(formatter));
    return sink;
}

}  // namespace

std::string operatingSystemName() {
#ifdef _WIN32
    if (windowsVersionOrGreater(10, 0)) {
        return "Windows 10 Or Greater";
    }
    if (windowsVersionOrGreater(6, 2)) {
        return "Windows 8";
    }
    if (windowsVersionOrGreater(6, 1)) {
        return "Windows 7";
    }
    if (windowsVersionOrGreater(6, 0)) {
        return "Windows Vista";
    }
    if (windowsVersionOrGreater(5, 1)) {
        return "Windows XP";
    }
    return "Unknown";
#else
    utsname name{};
    if (uname(&name) != 0) {
        return "Unknown";
    }
    return std::string(name.sysname) + " " + name.release;
#endif
}

void setupLogging(const LoggingOptions& options) {
    std::vector<spdlog::sink_ptr> sinks{makeConsoleSink()};
    std::string fileError;
    try {
        sinks.push_back(makeFileSink(options));
    } catch (const spdlog::spdlog_ex& e) {
        // A read-only program folder must not keep the program from starting.
        fileError = e.what();
    }

    std::vector<std::shared_ptr<spdlog::logger>> loggers;
    for (const char* name : kLoggerNames) {
        loggers.push_back(std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end()));
    }
    for (const auto& logger : loggers) {
        logger->set_level(spdlog::level::debug);
        spdlog::register_logger(logger);
    }
    spdlog::set_default_logger(loggers.front());

    const std::string dashes(55, '-');
    spdlog::info(dashes);
    spdlog::info(" 「Vetrin」が起動しました");
    spdlog::info("  {:>50}", "Ver: " VETRIN_VERSION);
    spdlog::info("  {:>50}", "Build: " __DATE__ " " __TIME__);
    spdlog::info(dashes);
    spdlog::info("動作環境: {}", operatingSystemName());
    if (!fileError.empty()) {
        spdlog::warn("ログファイル {} を開けません ({})。コンソールにだけ出力します。",
                     options.file_name, fileError);
    }
}

}  // namespace omvar
