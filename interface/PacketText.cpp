#include "PacketText.h"

#include <algorithm>

namespace omvar::quentrax {

std::string hex_dump(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
        text.push_back(' ');
    }
    return text;
}

bool is_similar_packet(const std::vector<std::uint8_t>& report,
                       const std::vector<std::uint8_t>& previous) {
    if (report.size() < 8 || previous.size() < 8) {
        return false;
    }
    return std::equal(report.begin(), report.begin() + 6, previous.begin()) &&
           report[7] == previous[7];
}

std::string similar_summary_text(const std::string& text) {
    std::string summary = text;
    if (summary.size() >= 20) {
        summary.replace(18, 2, "**");
    }
    return summary;
}

}  // namespace omvar::quentrax
