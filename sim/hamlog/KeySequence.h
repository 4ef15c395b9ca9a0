#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace omvar::sim::hamlog {

// One key press as a keyboard would make it: the virtual key, the character that
// TranslateMessage would make of it (0 for none) and the modifiers held.
struct KeyStroke {
    UINT vk = 0;
    wchar_t ch = 0;
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

// Parses a key sequence: plain characters stand for themselves; braces name a key, optionally
// after modifier prefixes ^ (Ctrl), + (Shift), % (Alt): {F1}..{F24}, {TAB}, {ENTER}, {ESC},
// {BACK}, {DEL}, {SPACE}, {LEFT}, {RIGHT}, {UP}, {DOWN}, {HOME}, {END}, {PGUP}, {PGDN},
// a single character such as {^+F}, and {{} and {}} for the braces themselves.
// Throws std::invalid_argument on an unknown name or an unclosed brace.
std::vector<KeyStroke> parseKeySequence(std::wstring_view text);

}  // namespace omvar::sim::hamlog
