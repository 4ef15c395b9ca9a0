#include "LogFormatterFlag.h"

#include <string>

namespace omvar::utils {

my_formatter_flag::my_formatter_flag() : colour_sequence_("\033\\[[;\\d]*m") {}

void my_formatter_flag::format(const spdlog::details::log_msg& msg, const std::tm&,
                               spdlog::memory_buf_t& dest) {
    const std::string payload(msg.payload.begin(), msg.payload.end());
    const std::string plain = std::regex_replace(payload, colour_sequence_, "");
    dest.append(plain.data(), plain.data() + plain.size());
}

std::unique_ptr<spdlog::custom_flag_formatter> my_formatter_flag::clone() const {
    return std::make_unique<my_formatter_flag>();
}

}  // namespace omvar::utils
