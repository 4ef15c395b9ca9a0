#include "CwText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using omvar::Vetrin::cwTextPieces;
using omvar::Vetrin::normalizeCwText;

namespace {

TEST(NormalizeCwText, UpperCasesAndMapsToHalfWidthKatakana) {
    EXPECT_EQ(normalizeCwText(L"cq de ja1abc/1"), L"CQ DE JA1ABC/1");
    EXPECT_EQ(normalizeCwText(L"ＣＱ　５９９"), L"CQ 599");
    EXPECT_EQ(normalizeCwText(L"ほれ"), L"ﾎﾚ");
    EXPECT_EQ(normalizeCwText(L"［ＡＲ］"), L"[AR]");
    EXPECT_EQ(normalizeCwText(L"ガぱ"), L"ｶﾞﾊﾟ");
    EXPECT_EQ(normalizeCwText(L""), L"");
}

// Every unit starts where a piece may start, so normalising unit by unit is the reference.
// The units leave voiced marks and a surrogate pair at every possible distance from a piece
// boundary, and the voiced kana make the result longer than the text.
TEST(NormalizeCwText, LongTextIsConvertedWholeInPieces) {
    const std::vector<std::wstring> units = {L"ｃｑ ",    L"ガ",       L"ほれ", L"か\u3099",
                                             L"ハ\u309A", L"ＡＢ１２", L"ﾊﾟ",   L"\U0001F600",
                                             L"さ\u309B", L"ぽ",       L"x",    L"ダ\uFF9E"};
    std::wstring text;
    std::wstring expected;
    for (std::size_t i = 0; text.size() < 6000; ++i) {
        const std::wstring& unit = units[(i * 7) % units.size()];
        text += unit;
        expected += normalizeCwText(unit);
    }
    const std::wstring result = normalizeCwText(text);
    EXPECT_GT(result.size(), 6000u);
    EXPECT_EQ(result.size(), expected.size());
    EXPECT_TRUE(result == expected);
    const auto voicedMarks = std::count(result.begin(), result.end(), L'ﾞ');
    EXPECT_EQ(voicedMarks, std::count(expected.begin(), expected.end(), L'ﾞ'));
    EXPECT_GT(voicedMarks, 1000);
}

bool startsWithMarkOrLowSurrogate(std::wstring_view piece) {
    const wchar_t first = piece.front();
    return first == 0x3099 || first == 0x309A || first == 0x309B || first == 0x309C ||
           first == 0xFF9E || first == 0xFF9F || (first >= 0xDC00 && first <= 0xDFFF);
}

// Each mark-bearing unit is placed so that the plain piece boundary would fall on its mark.
TEST(CwTextPieces, NeverSeparateAMarkOrASurrogatePair) {
    for (const std::wstring unit :
         {L"か\u3099", L"ハ\u309A", L"さ\u309B", L"ﾊﾟ", L"ｶﾞ", L"\U0001F600"}) {
        for (std::size_t lead = 490; lead < 520; ++lead) {
            std::wstring text(lead, L'x');
            while (text.size() < 2000) {
                text += unit;
            }
            const auto pieces = cwTextPieces(text);
            std::wstring joined;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                EXPECT_FALSE(pieces[i].empty());
                EXPECT_LE(pieces[i].size(), 500u);
                if (i > 0) {
                    EXPECT_FALSE(startsWithMarkOrLowSurrogate(pieces[i])) << "lead " << lead;
                }
                joined += pieces[i];
            }
            EXPECT_TRUE(joined == text);
        }
    }

    // A run of marks longer than a piece stays whole with the kana before it.
    const std::wstring marks = L"ガ" + std::wstring(700, L'\uFF9E') + L"ABC";
    const auto pieces = cwTextPieces(marks);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].size(), 701u);
    EXPECT_EQ(normalizeCwText(marks).size(), 2u + 700u + 3u);
    EXPECT_TRUE(cwTextPieces(L"").empty());
}

}  // namespace
