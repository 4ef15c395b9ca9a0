#pragma once

#include <spdlog/pattern_formatter.h>

#include <memory>

namespace omvar::utils {

// Message field for the log file: the payload without ANSI colour sequences, which some lines
// (the packet trace) carry for the console.
class my_formatter_flag : public spdlog::custom_flag_formatter {
public:
    void format(const spdlog::details::log_msg& msg, const std::tm& tm,
                spdlog::memory_buf_t& dest) override;
    std::unique_ptr<spdlog::custom_flag_formatter> clone() const override;
};

}  // namespace omvar::utils
