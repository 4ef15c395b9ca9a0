#include "CwText.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include <cwctype>

namespace omvar::Vetrin {
namespace {

constexpr DWORD kMapFlags = LCMAP_KATAKANA | LCMAP_HALFWIDTH;

// The conversion is done in pieces of about this many characters. Even when every character
// doubles (a voiced kana becomes base kana plus mark) a piece's result stays within the
// 1023 characters a conversion was always given room for.
constexpr std::size_t kPieceLength = 500;

// A voiced or semi-voiced mark (combining or spacing, full- or half-width) belongs to the kana
// before it, and the two halves of a surrogate pair belong together: a piece never starts here.
bool belongsToPrevious(wchar_t ch) {
    switch (ch) {
        case 0x3099:
        case 0x309A:
        case 0x309B:
        case 0x309C:
        case 0xFF9E:
        case 0xFF9F:
            return true;
        default:
            return ch >= 0xDC00 && ch <= 0xDFFF;
    }
}

std::size_t pieceEnd(std::wstring_view text, std::size_t begin) {
    if (text.size() - begin <= kPieceLength) {
        return text.size();
    }
    std::size_t end = begin + kPieceLength;
    while (end > begin && belongsToPrevious(text[end])) {
        --end;
    }
    if (end == begin) {
        // Nothing but marks for a whole piece: take them all rather than tear one off.
        end = begin + kPieceLength;
        while (end < text.size() && belongsToPrevious(text[end])) {
            ++end;
        }
    }
    return end;
}

void logMapFailure(DWORD error) {
    if (auto logger = spdlog::get("Vetrin")) {
        logger->warn("LCMapStringW failed (error {}); text kept without kana conversion", error);
    }
}

// The room is asked for first, so a piece is never cut whatever its result's length.
void appendMapped(std::wstring& out, std::wstring_view piece) {
    const int length = static_cast<int>(piece.size());
    const int needed =
        LCMapStringW(LOCALE_SYSTEM_DEFAULT, kMapFlags, piece.data(), length, nullptr, 0);
    if (needed <= 0) {
        logMapFailure(GetLastError());
        out.append(piece);
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(needed));
    const int written = LCMapStringW(LOCALE_SYSTEM_DEFAULT, kMapFlags, piece.data(), length,
                                     out.data() + at, needed);
    if (written <= 0) {
        logMapFailure(GetLastError());
        out.resize(at);
        out.append(piece);
        return;
    }
    out.resize(at + static_cast<std::size_t>(written));
}

}  // namespace

std::vector<std::wstring_view> cwTextPieces(std::wstring_view text) {
    std::vector<std::wstring_view> pieces;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = pieceEnd(text, begin);
        pieces.push_back(text.substr(begin, end - begin));
        begin = end;
    }
    return pieces;
}

std::wstring normalizeCwText(std::wstring_view text) {
    std::wstring upper(text);
    for (wchar_t& ch : upper) {
        ch = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(ch)));
    }
    std::wstring out;
    out.reserve(upper.size() + upper.size() / 4);
    for (const std::wstring_view piece : cwTextPieces(upper)) {
        appendMapped(out, piece);
    }
    return out;
}

}  // namespace omvar::Vetrin
