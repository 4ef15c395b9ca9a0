#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Text forms of packets for the packet trace.
namespace omvar::quentrax {

// Each byte as "%02X " (24 characters for a packet of 8).
std::string hex_dump(const std::vector<std::uint8_t>& bytes);

// Reports of 8 bytes are similar when bytes 0..5 and byte 7 agree; byte 6 (the port lines) is
// ignored.
bool is_similar_packet(const std::vector<std::uint8_t>& report,
                       const std::vector<std::uint8_t>& previous);

// The dump with byte 6 shown as "**", for the line that sums up a run of similar reports.
std::string similar_summary_text(const std::string& text);

}  // namespace omvar::quentrax
