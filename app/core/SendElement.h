#pragma once

#include <cstdint>
#include <string>

namespace omvar::Vetrin {

// One keyable unit of the send queue, or a unit only shown in the send-buffer text.
struct SendElement {
    static constexpr std::int32_t kCharacter = 0;
    static constexpr std::int32_t kProsign = 1;
    // A macro whose value is read only when the send cursor reaches it ("$R", "$A").
    static constexpr std::int32_t kDeferredMacro = 2;

    std::int32_t kind = kCharacter;
    // One character, a prosign token such as "[AR]", or a macro name.
    std::wstring text;
    // Milliseconds of the system clock since 1970-01-01 UTC when the element was made.
    std::int64_t timeStamp = 0;
    // Sum of the text lengths of the elements before it; set by the queue.
    std::int32_t offset = 0;
    // Position in the queue; set by the queue.
    std::int32_t index = 0;
    // Native code of the text, 0 when the code table has none (always 0 for a deferred macro).
    std::uint8_t code = 0;
    bool prosign = false;
    // Shown in the send-buffer text but never keyed.
    bool displayOnly = false;

    bool operator==(const SendElement&) const = default;
};

}  // namespace omvar::Vetrin
