#include "MorseCode.h"

#include <iterator>

namespace omvar::quentrax {
namespace {

constexpr MorseEntry kLatin[] = {
    {L"A", ".-", 0x60},      {L"B", "-...", 0x88},    {L"C", "-.-.", 0xA8},
    {L"D", "-..", 0x90},     {L"E", ".", 0x40},       {L"F", "..-.", 0x28},
    {L"G", "--.", 0xD0},     {L"H", "....", 0x08},    {L"I", "..", 0x20},
    {L"J", ".---", 0x78},    {L"K", "-.-", 0xB0},     {L"L", ".-..", 0x48},
    {L"M", "--", 0xE0},      {L"N", "-.", 0xA0},      {L"O", "---", 0xF0},
    {L"P", ".--.", 0x68},    {L"Q", "--.-", 0xD8},    {L"R", ".-.", 0x50},
    {L"S", "...", 0x10},     {L"T", "-", 0xC0},       {L"U", "..-", 0x30},
    {L"V", "...-", 0x18},    {L"W", ".--", 0x70},     {L"X", "-..-", 0x98},
    {L"Y", "-.--", 0xB8},    {L"Z", "--..", 0xC8},
    {L"a", ".-", 0x60},      {L"b", "-...", 0x88},    {L"c", "-.-.", 0xA8},
    {L"d", "-..", 0x90},     {L"e", ".", 0x40},       {L"f", "..-.", 0x28},
    {L"g", "--.", 0xD0},     {L"h", "....", 0x08},    {L"i", "..", 0x20},
    {L"j", ".---", 0x78},    {L"k", "-.-", 0xB0},     {L"l", ".-..", 0x48},
    {L"m", "--", 0xE0},      {L"n", "-.", 0xA0},      {L"o", "---", 0xF0},
    {L"p", ".--.", 0x68},    {L"q", "--.-", 0xD8},    {L"r", ".-.", 0x50},
    {L"s", "...", 0x10},     {L"t", "-", 0xC0},       {L"u", "..-", 0x30},
    {L"v", "...-", 0x18},    {L"w", ".--", 0x70},     {L"x", "-..-", 0x98},
    {L"y", "-.--", 0xB8},    {L"z", "--..", 0xC8},
    {L"(", "-.--.", 0xB4},   {L"+", ".-.-.", 0x54},   {L"=", "-...-", 0x8C},
    {L"0", "-----", 0xFC},   {L"1", ".----", 0x7C},   {L"2", "..---", 0x3C},
    {L"3", "...--", 0x1C},   {L"4", "....-", 0x0C},   {L"5", ".....", 0x04},
    {L"6", "-....", 0x84},   {L"7", "--...", 0xC4},   {L"8", "---..", 0xE4},
    {L"9", "----.", 0xF4},   {L"@", ".--.-.", 0x6A},  {L"_", "", 0x80},
    {L" ", "", 0x80},        {L".", ".-.-.-", 0x56},  {L",", "--..--", 0xCE},
    {L"/", "-..-.", 0x94},   {L"\"", ".-..-.", 0x4A}, {L"'", ".----.", 0x7A},
    {L"?", "..--..", 0x32},  {L"-", "-....-", 0x86},  {L")", "-.--.-", 0xB6},
    {L":", "---...", 0xE2},
};

// Half-width katakana, then the closing bracket, the ideographic comma and the prosign tokens.
// Small kana share the codes of their full-size forms.
constexpr MorseEntry kWabun[] = {
    {L"\uFF71", "--.--", 0xDC},  {L"\uFF72", ".-", 0x60},     {L"\uFF73", "..-", 0x30},
    {L"\uFF74", "-.---", 0xBC},  {L"\uFF75", ".-...", 0x44},  {L"\uFF76", ".-..", 0x48},
    {L"\uFF77", "-.-..", 0xA4},  {L"\uFF78", "...-", 0x18},   {L"\uFF79", "-.--", 0xB8},
    {L"\uFF7A", "----", 0xF8},   {L"\uFF7B", "-.-.-", 0xAC},  {L"\uFF7C", "--.-.", 0xD4},
    {L"\uFF7D", "---.-", 0xEC},  {L"\uFF7E", ".---.", 0x74},  {L"\uFF7F", "---.", 0xE8},
    {L"\uFF80", "-.", 0xA0},     {L"\uFF81", "..-.", 0x28},   {L"\uFF82", ".--.", 0x68},
    {L"\uFF83", ".-.--", 0x5C},  {L"\uFF84", "..-..", 0x24},  {L"\uFF85", ".-.", 0x50},
    {L"\uFF86", "-.-.", 0xA8},   {L"\uFF87", "....", 0x08},   {L"\uFF88", "--.-", 0xD8},
    {L"\uFF89", "..--", 0x38},   {L"\uFF8A", "-...", 0x88},   {L"\uFF8B", "--..-", 0xCC},
    {L"\uFF8C", "--..", 0xC8},   {L"\uFF8D", ".", 0x40},      {L"\uFF8E", "-..", 0x90},
    {L"\uFF8F", "-..-", 0x98},   {L"\uFF90", "..-.-", 0x2C},  {L"\uFF91", "-", 0xC0},
    {L"\uFF92", "-...-", 0x8C},  {L"\uFF93", "-..-.", 0x94},  {L"\uFF94", ".--", 0x70},
    {L"\uFF95", "-..--", 0x9C},  {L"\uFF96", "--", 0xE0},     {L"\uFF97", "...", 0x10},
    {L"\uFF98", "--.", 0xD0},    {L"\uFF99", "-.--.", 0xB4},  {L"\uFF9A", "---", 0xF0},
    {L"\uFF9B", ".-.-", 0x58},   {L"\uFF9C", "-.-", 0xB0},    {L"\uFF66", ".---", 0x78},
    {L"\uFF9D", ".-.-.", 0x54},  {L"\uFF67", "--.--", 0xDC},  {L"\uFF68", ".-", 0x60},
    {L"\uFF69", "..-", 0x30},    {L"\uFF6A", "-.---", 0xBC},  {L"\uFF6B", ".-...", 0x44},
    {L"\uFF6F", ".--.", 0x68},   {L"\uFF6C", ".--", 0x70},    {L"\uFF6D", "-..--", 0x9C},
    {L"\uFF6E", "--", 0xE0},     {L"\uFF70", ".--.-", 0x6C},  {L"\uFF9E", "..", 0x20},
    {L"\uFF9F", "..--.", 0x34},  {L"\uFF63", ".-.-..", 0x52}, {L"\u3001", ".-.-.-", 0x56},
    {L"[AR]", ".-.-.", 0x54},    {L"[SK]", "...-.-", 0x16},   {L"[BT]", "-...-", 0x8C},
    {L"[DN]", "-..-.", 0x94},    {L"[KN]", "-.--.", 0xB4},    {L"[VA]", "...-.-", 0x16},
    {L"[BK]", "-...-.-", 0x8B},  {L"[\uFF8E\uFF9A]", "-..---", 0x9E},
    {L"[\uFF97\uFF80]", "...-.", 0x14},
};

static_assert(std::size(kLatin) == 77);
static_assert(std::size(kWabun) == 69);

std::uint8_t find_code(MorseTable table, std::wstring_view key) {
    for (const auto& entry : table) {
        if (entry.key == key) {
            return entry.code;
        }
    }
    return kNoCode;
}

const MorseEntry* find_entry(MorseTable table, std::uint8_t code) {
    for (const auto& entry : table) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

MorseTable latin_table() { return {kLatin, std::size(kLatin)}; }
MorseTable wabun_table() { return {kWabun, std::size(kWabun)}; }

std::uint8_t to_native_code(wchar_t ch) { return to_native_code(std::wstring_view(&ch, 1)); }

std::uint8_t to_native_code(std::wstring_view token) {
    if (auto code = find_code(latin_table(), token)) {
        return code;
    }
    return find_code(wabun_table(), token);
}

std::wstring from_native_code(std::uint8_t code, bool wabun) {
    const MorseEntry* entry = wabun ? find_entry(wabun_table(), code) : nullptr;
    if (!entry) {
        entry = find_entry(latin_table(), code);
    }
    return entry ? std::wstring(entry->key) : std::wstring();
}

std::string to_pattern(std::uint8_t code) {
    std::string pattern;
    int bit = 0;
    while (bit < 8 && !(code & (1u << bit))) {
        ++bit;
    }
    for (++bit; bit < 8; ++bit) {
        pattern.insert(pattern.begin(), (code & (1u << bit)) ? '-' : '.');
    }
    return pattern;
}

}  // namespace omvar::quentrax
