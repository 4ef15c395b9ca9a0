#pragma once

#include <string>
#include <string_view>

// Narrow-text conversions of the interface library: Shift_JIS (code page 932) for text that
// hosts pass in and for the one Japanese exception text, UTF-8 for log lines.
namespace omvar::quentrax {

// Up to the first NUL. Bytes that are not valid Shift_JIS become U+FFFD (natively) or the
// system's replacement (Windows).
std::wstring shift_jis_to_wide(std::string_view text);

// Characters without a Shift_JIS form become '?'.
std::string wide_to_shift_jis(std::wstring_view text);

std::string wide_to_utf8(std::wstring_view text);

// Text for a log line, which is UTF-8: kept when it is valid UTF-8 already, otherwise taken as
// Shift_JIS (the library's narrow text, as in its version error) and converted.
std::string log_text(std::string_view text);

}  // namespace omvar::quentrax
