#include "RepeatedErrorLog.h"

namespace omvar::quentrax {

RepeatedErrorLog::RepeatedErrorLog(std::shared_ptr<spdlog::logger> logger)
    : logger_(std::move(logger)) {}

void RepeatedErrorLog::failed(const std::string& text, Clock::time_point now) {
    if (!text_.empty() && text == text_) {
        ++repeats_;
        if (now - last_line_ >= kSummaryInterval) {
            log_repeats(now);
        }
        return;
    }
    ended();
    logger_->error(text);
    text_ = text;
    last_line_ = now;
}

void RepeatedErrorLog::ended() {
    log_repeats(Clock::now());
    text_.clear();
}

void RepeatedErrorLog::log_repeats(Clock::time_point now) {
    if (repeats_ == 0) {
        return;
    }
    logger_->error("{} (同じエラーを{}回検出)", text_, repeats_);
    repeats_ = 0;
    last_line_ = now;
}

}  // namespace omvar::quentrax
