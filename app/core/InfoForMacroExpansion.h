#pragma once

#include <cstdint>
#include <string>

namespace omvar::Vetrin {

// Values for the "$" macros of one stored message, made just before the message is queued (or a
// deferred macro is expanded) and dropped after use.
struct InfoForMacroExpansion {
    std::wstring hisName;     // "$A", before its brackets and slashes are removed
    std::wstring hisCall;     // "$C"
    std::wstring myCall;      // "$M"
    std::wstring number;      // "$N", digits already replaced
    std::wstring report;      // "$R", digits already replaced
    std::int32_t endGM = 12;  // hour at which "GM" ends
    std::int32_t endGA = 18;  // hour at which "GA" ends
    std::int32_t endGE = 0;   // carried along; the greeting does not use it

    bool operator==(const InfoForMacroExpansion&) const = default;
};

}  // namespace omvar::Vetrin
