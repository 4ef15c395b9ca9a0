#pragma once

#include <string>
#include <string_view>

namespace omvar::Vetrin {

// UTF-8 form of a wide text, for log lines.
std::string utf8(std::wstring_view text);

}  // namespace omvar::Vetrin
