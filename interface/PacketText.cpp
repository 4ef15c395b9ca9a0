#include "PacketText.h"

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

bool is_similar_packet_text(const std::string& text, const std::string& previous) {
    if (text.size() < 23 || previous.size() < 23) {
        return false;
    }
    return text.compare(0, 18, previous, 0, 18) == 0 && text.compare(21, 2, previous, 21, 2) == 0;
}

std::string similar_summary_text(const std::string& text) {
    std::string summary = text;
    if (summary.size() >= 20) {
        summary.replace(18, 2, "**");
    }
    return summary;
}

}  // namespace omvar::quentrax
