#include "LogFormatterFlag.h"

namespace omvar::utils {

namespace {

// Length of the colour sequence ESC "[" digits-and-semicolons "m" starting at `at`; 0 when there
// is none there.
std::size_t colourSequenceLength(const char* text, std::size_t size, std::size_t at) {
    if (text[at] != '\033' || at + 1 >= size || text[at + 1] != '[') {
        return 0;
    }
    for (std::size_t i = at + 2; i < size; ++i) {
        if (text[i] == 'm') {
            return i + 1 - at;
        }
        if (text[i] != ';' && (text[i] < '0' || text[i] > '9')) {
            return 0;
        }
    }
    return 0;
}

}  // namespace

// Runs for every line written to the log file, so it copies runs of plain text straight into
// the buffer instead of building intermediate strings.
void my_formatter_flag::format(const spdlog::details::log_msg& msg, const std::tm&,
                               spdlog::memory_buf_t& dest) {
    const char* text = msg.payload.data();
    const std::size_t size = msg.payload.size();
    std::size_t plainFrom = 0;
    for (std::size_t at = 0; at < size; ++at) {
        if (const std::size_t length = colourSequenceLength(text, size, at)) {
            dest.append(text + plainFrom, text + at);
            at += length - 1;
            plainFrom = at + 1;
        }
    }
    dest.append(text + plainFrom, text + size);
}

std::unique_ptr<spdlog::custom_flag_formatter> my_formatter_flag::clone() const {
    return std::make_unique<my_formatter_flag>();
}

}  // namespace omvar::utils
