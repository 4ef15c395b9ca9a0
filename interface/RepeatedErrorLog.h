#pragma once

#include <spdlog/logger.h>

#include <chrono>
#include <memory>
#include <string>

namespace omvar::quentrax {

// The reader's log of read failures. A device that keeps failing would otherwise write one line
// per failure and soon overwrite the whole log file. The first failure of a run of identical ones
// is logged as it comes; the repeats are only counted and summed up in one line, "<text>
// (同じエラーを<n>回検出)", when the failure changes, when the run ends (a read that does not
// fail, the reader stopping) or at most once a minute while it goes on.
class RepeatedErrorLog {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::minutes kSummaryInterval{1};

    explicit RepeatedErrorLog(std::shared_ptr<spdlog::logger> logger);

    // One failure with its message text.
    void failed(const std::string& text, Clock::time_point now = Clock::now());
    // The run is over: sums up the repeats not yet logged.
    void ended();

private:
    void log_repeats(Clock::time_point now);

    std::shared_ptr<spdlog::logger> logger_;
    std::string text_;  // of the current run; empty when there is none
    int repeats_ = 0;   // not yet logged
    Clock::time_point last_line_{};
};

}  // namespace omvar::quentrax
