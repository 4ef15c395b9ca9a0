#pragma once

#include <cstdint>
#include <string>

namespace omvar::Vetrin {

// HAMLOG's fields a macro context is read with. Each read is a round trip to HAMLOG's thread, so
// a field no macro of the text takes is not asked for; it reads as empty.
struct MacroFields {
    bool hisCall = true;
    bool hisName = true;
    bool report = true;

    bool operator==(const MacroFields&) const = default;
};

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
    // The fields HAMLOG did not answer for: their values are no field's text, and a macro that
    // takes one is not expanded.
    MacroFields missing{false, false, false};

    bool operator==(const InfoForMacroExpansion&) const = default;
};

}  // namespace omvar::Vetrin
