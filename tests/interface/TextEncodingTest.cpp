#include "TextEncoding.h"

#include <gtest/gtest.h>

using namespace omvar::quentrax;

namespace {

const std::string kVersionErrorSjis =
    "QUENTRAX\x82\xCC\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x82\xF0\x93\xC1\x92\xE8\x82\xC5"
    "\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x42";

TEST(ShiftJis, EncodesJapaneseText) {
    EXPECT_EQ(wide_to_shift_jis(L"QUENTRAXのバージョンを特定できません。"), kVersionErrorSjis);
    EXPECT_EQ(wide_to_shift_jis(L"\uFF71\uFF72\u6F22\u5B57"), "\xB1\xB2\x8A\xBF\x8E\x9A");
    EXPECT_EQ(wide_to_shift_jis(L""), "");
}

TEST(ShiftJis, CharactersWithoutShiftJisFormBecomeQuestionMarks) {
    EXPECT_EQ(wide_to_shift_jis(L"A\u0E01B"), "A?B");
}

TEST(ShiftJis, DecodesUpToTheFirstNul) {
    EXPECT_EQ(shift_jis_to_wide(kVersionErrorSjis), L"QUENTRAXのバージョンを特定できません。");
    // Half-width katakana are single bytes.
    EXPECT_EQ(shift_jis_to_wide("\xB1\xB2 CQ"), L"\uFF71\uFF72 CQ");
    EXPECT_EQ(shift_jis_to_wide(std::string("AB\0CD", 5)), L"AB");
    EXPECT_EQ(shift_jis_to_wide(""), L"");
}

TEST(ShiftJis, InvalidBytesDoNotSwallowTheRest) {
    // 0x81 0x20 is no Shift_JIS pair: the text after it must survive.
    const std::wstring text = shift_jis_to_wide("A\x81 BC");
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.front(), L'A');
    EXPECT_EQ(text.substr(text.size() - 2), L"BC");
}

TEST(LogText, ShiftJisBecomesUtf8AndUtf8StaysAsItIs) {
    EXPECT_EQ(log_text(kVersionErrorSjis), "QUENTRAXのバージョンを特定できません。");
    EXPECT_EQ(log_text("The device is not open."), "The device is not open.");
    EXPECT_EQ(log_text("バッファサイズ: 15"), "バッファサイズ: 15");
    // Half-width katakana alone (single Shift_JIS bytes from 0xA1) are no UTF-8 either.
    EXPECT_EQ(log_text("\xB1\xB2"), "\uFF71\uFF72");
    // Overlong and surrogate forms are not taken for UTF-8.
    EXPECT_EQ(log_text("\xC0\xAF"), wide_to_utf8(shift_jis_to_wide("\xC0\xAF")));
    EXPECT_EQ(log_text("\xED\xA0\x80"), wide_to_utf8(shift_jis_to_wide("\xED\xA0\x80")));
}

TEST(Utf8, EncodesAllPlanes) {
    EXPECT_EQ(wide_to_utf8(L"Aé€"), "A\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(wide_to_utf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

}  // namespace
