#include "MorseCode.h"

#include <gtest/gtest.h>

#include <set>

using namespace omvar::quentrax;

namespace {

// Encoding written out independently of the library: elements from bit 7 down, then a marker.
std::uint8_t encode(std::string_view pattern) {
    unsigned value = 0;
    int bit = 7;
    for (char c : pattern) {
        if (c == '-') {
            value |= 1u << bit;
        }
        --bit;
    }
    return static_cast<std::uint8_t>(value | (1u << bit));
}

TEST(MorseTable, EveryCodeIsTheEncodingOfItsPattern) {
    for (auto table : {latin_table(), wabun_table()}) {
        for (const auto& entry : table) {
            ASSERT_LE(entry.pattern.size(), 7u);
            for (char c : entry.pattern) {
                ASSERT_TRUE(c == '.' || c == '-');
            }
            EXPECT_EQ(entry.code, encode(entry.pattern))
                << "pattern " << entry.pattern << " of entry " << (&entry - table.begin());
            EXPECT_EQ(to_pattern(entry.code), entry.pattern);
        }
    }
}

TEST(MorseTable, SizesAndLayout) {
    EXPECT_EQ(latin_table().size, 77u);
    EXPECT_EQ(wabun_table().size, 69u);
    // Small letters follow the capitals with the same patterns.
    for (int n = 0; n < 26; ++n) {
        const auto& capital = latin_table().entries[n];
        const auto& small = latin_table().entries[26 + n];
        EXPECT_EQ(capital.key, std::wstring(1, static_cast<wchar_t>(L'A' + n)));
        EXPECT_EQ(small.key, std::wstring(1, static_cast<wchar_t>(L'a' + n)));
        EXPECT_EQ(small.pattern, capital.pattern);
    }
    // Every single-character key is unique within its table; lookups would otherwise hide one.
    for (auto table : {latin_table(), wabun_table()}) {
        std::set<std::wstring_view> keys;
        for (const auto& entry : table) {
            EXPECT_TRUE(keys.insert(entry.key).second);
        }
    }
}

TEST(MorseTable, KnownEncodings) {
    EXPECT_EQ(encode("."), 0x40);
    EXPECT_EQ(encode("-"), 0xC0);
    EXPECT_EQ(encode(".-"), 0x60);
    EXPECT_EQ(encode("-----"), 0xFC);
    EXPECT_EQ(encode("-...-.-"), 0x8B);
    EXPECT_EQ(to_pattern(0x8B), "-...-.-");
    EXPECT_EQ(to_pattern(0x60), ".-");
    EXPECT_EQ(to_pattern(0x00), "");
    EXPECT_EQ(to_pattern(0x80), "");
    EXPECT_EQ(to_pattern(0xFF), "-------");
}

TEST(NativeCode, SingleCharacterLookup) {
    EXPECT_EQ(to_native_code(L'A'), 0x60);
    EXPECT_EQ(to_native_code(L'a'), 0x60);
    EXPECT_EQ(to_native_code(L'\uFF71'), 0xDC);  // katakana A
    EXPECT_EQ(to_native_code(L'\uFF67'), 0xDC);  // its small form
    EXPECT_EQ(to_native_code(L' '), 0x80);
    EXPECT_EQ(to_native_code(L'_'), 0x80);
    EXPECT_EQ(to_native_code(L'\u3001'), 0x56);
    EXPECT_EQ(to_native_code(L'.'), 0x56);
    for (wchar_t ch : {L'#', L'!', L'[', L']', L'\uFF21' /* full-width A */, L'\u4E00' /* kanji */,
                       L'\u30A2' /* full-width katakana A */, L'\0'}) {
        EXPECT_EQ(to_native_code(ch), 0) << static_cast<unsigned>(ch);
    }
}

TEST(NativeCode, WholeTokenLookup) {
    EXPECT_EQ(to_native_code(std::wstring_view(L"[AR]")), 0x54);
    EXPECT_EQ(to_native_code(std::wstring_view(L"[BK]")), 0x8B);
    EXPECT_EQ(to_native_code(std::wstring_view(L"[SK]")), 0x16);
    EXPECT_EQ(to_native_code(std::wstring_view(L"[\uFF8E\uFF9A]")), 0x9E);
    EXPECT_EQ(to_native_code(std::wstring_view(L"A")), 0x60);
    EXPECT_EQ(to_native_code(std::wstring_view(L"AR")), 0);
    EXPECT_EQ(to_native_code(std::wstring_view(L"[ar]")), 0);  // case-sensitive
    EXPECT_EQ(to_native_code(std::wstring_view(L"[AR")), 0);   // compared by length too
    EXPECT_EQ(to_native_code(std::wstring_view(L"")), 0);
}

TEST(NativeCode, ReverseLookupTakesTheFirstMatchOfTheChosenTable) {
    EXPECT_EQ(from_native_code(0x60, false), L"A");
    EXPECT_EQ(from_native_code(0x60, true), L"\uFF72");
    EXPECT_EQ(from_native_code(0x54, false), L"+");
    EXPECT_EQ(from_native_code(0x54, true), L"\uFF9D");
    EXPECT_EQ(from_native_code(0x80, false), L"_");
    EXPECT_EQ(from_native_code(0x80, true), L"_");  // no word space in Wabun: falls back
    EXPECT_EQ(from_native_code(0x16, true), L"[SK]");
    EXPECT_EQ(from_native_code(0x16, false), L"");
    EXPECT_EQ(from_native_code(0xDC, false), L"");
    EXPECT_EQ(from_native_code(0xDC, true), L"\uFF71");
    EXPECT_EQ(from_native_code(0x8B, true), L"[BK]");
    EXPECT_EQ(from_native_code(0x4A, true), L"\"");  // Wabun has no 0x4A: Latin answers
    EXPECT_EQ(from_native_code(0x00, true), L"");
    EXPECT_EQ(from_native_code(0x00, false), L"");
}

TEST(NativeCode, EveryKeyRoundTripsToTheFirstKeyWithItsCode) {
    for (bool wabun : {false, true}) {
        auto table = wabun ? wabun_table() : latin_table();
        for (const auto& entry : table) {
            std::wstring back = from_native_code(entry.code, wabun);
            EXPECT_EQ(to_native_code(std::wstring_view(back)), entry.code);
        }
    }
}

}  // namespace
