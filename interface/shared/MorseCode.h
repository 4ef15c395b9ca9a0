#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The interface's one-byte Morse encoding ("native code"): elements from bit 7 downwards,
// 1 = dash, 0 = dot, then a 1 end-marker bit. 0x80 is the word space, 0x00 means no code.
// The same tables are compiled into the interface library and the desktop program.
namespace omvar::quentrax {

constexpr std::uint8_t kNoCode = 0x00;
constexpr std::uint8_t kWordSpace = 0x80;

struct MorseEntry {
    std::wstring_view key;     // one character, or a bracketed token such as "[AR]"
    std::string_view pattern;  // "." and "-"; empty for the word space
    std::uint8_t code;
};

struct MorseTable {
    const MorseEntry* entries;
    std::size_t size;
    const MorseEntry* begin() const { return entries; }
    const MorseEntry* end() const { return entries + size; }
};

// Table order matters: every lookup takes the first match.
MorseTable latin_table();
MorseTable wabun_table();

// Single character, case-sensitive; Latin table first, then Wabun. 0 when there is none.
std::uint8_t to_native_code(wchar_t ch);

// A whole key such as "A" or "[BK]"; "AR" has no code. 0 when there is none.
std::uint8_t to_native_code(std::wstring_view token);

// Key text of the first entry with this code: the Wabun table first when wabun is set, then
// the Latin table. Empty when no entry has the code.
std::wstring from_native_code(std::uint8_t code, bool wabun);

// "." and "-" for each element; empty for 0x00 and 0x80.
std::string to_pattern(std::uint8_t code);

}  // namespace omvar::quentrax
