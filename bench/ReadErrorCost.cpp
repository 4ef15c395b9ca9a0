// An interface whose reads keep failing as "device not functioning" (a flaky hub or cable):
// the reader thread's CPU time and the bytes its lines add to the log file, while the failures
// last and until reading has resumed. Usage: bench_read_errors [seconds]
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "BenchDevice.h"
#include "WaitFor.h"

using namespace std::chrono;

namespace {

// Formats every line as the program's log file does (its pattern, CR LF) and counts the bytes.
class FileBytesSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    FileBytesSink() {
        set_formatter(std::make_unique<spdlog::pattern_formatter>(
            "[%Y-%m-%d %H:%M:%S.%e] [%-9n][%^%-7l%$] %v", spdlog::pattern_time_type::local,
            "\r\n"));
    }
    std::size_t bytes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    std::size_t lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(msg, formatted);
        bytes_ += formatted.size();
        ++lines_;
    }
    void flush_() override {}

private:
    std::size_t bytes_ = 0;
    std::size_t lines_ = 0;
};

// Both library loggers at debug level into the counting sink, as the program hands them over.
std::shared_ptr<FileBytesSink> set_up_loggers() {
    auto sink = std::make_shared<FileBytesSink>();
    for (const char* name : {"quentrax", "qxpacket"}) {
        auto logger = std::make_shared<spdlog::logger>(name, sink);
        logger->set_level(spdlog::level::debug);
        spdlog::register_logger(logger);
    }
    return sink;
}

int not_functioning() {
    return omvar::sim::platform_error_code(omvar::sim::HidFailure::not_functioning);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds_to_run = argc > 1 ? std::atoi(argv[1]) : 60;
    auto log = set_up_loggers();
    const BenchDevice bench = open_bench_device();
    if (!bench.device) {
        return 1;
    }
    const auto& unit = bench.unit;
    std::this_thread::sleep_for(milliseconds(500));
    if (unit->reader_cpu_seconds() < 0) {
        std::fprintf(stderr, "no CPU clock for the reader thread\n");
        return 1;
    }

    const double reader_before = unit->reader_cpu_seconds();
    const std::size_t bytes_before = log->bytes();
    const std::size_t lines_before = log->lines();
    const auto stats_before = unit->stats();
    const auto t0 = steady_clock::now();
    unit->fail_reads_for(not_functioning(), seconds(seconds_to_run));
    std::this_thread::sleep_for(seconds(seconds_to_run));
    const double wall = duration<double>(steady_clock::now() - t0).count();
    const double reader = unit->reader_cpu_seconds() - reader_before;
    const std::size_t bytes_during = log->bytes() - bytes_before;
    const auto stats_during = unit->stats();
    // Until reading has resumed: the line that sums up the run comes with the first good read.
    const std::size_t reports = stats_during.reports;
    if (!testing_support::wait_for([&] { return unit->stats().reports >= reports + 5; },
                                   seconds(30))) {
        std::fprintf(stderr, "reading did not resume after the failing reads\n");
        return 1;
    }
    const std::size_t bytes_total = log->bytes() - bytes_before;
    const std::size_t lines_total = log->lines() - lines_before;

    // Close while the reads fail again.
    unit->fail_reads_for(not_functioning(), seconds(30));
    std::this_thread::sleep_for(milliseconds(1000));
    const auto close_start = steady_clock::now();
    bench.device->close();
    const double close_ms = duration<double, std::milli>(steady_clock::now() - close_start).count();

    std::printf("persistent read errors (device not functioning) for %.1f s\n", wall);
    std::printf("  failed reads: %zu\n", stats_during.failed_reads - stats_before.failed_reads);
    std::printf("  reader thread: %.3f s CPU = %.2f %% of one core\n", reader,
                reader / wall * 100.0);
    std::printf("  log file bytes: %zu while failing, %zu until reading resumed (%zu lines)\n",
                bytes_during, bytes_total, lines_total);
    std::printf("  close during the failures: %.1f ms\n", close_ms);
    return 0;
}
