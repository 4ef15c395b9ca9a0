#include "TextEncoding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#include <memory>
#endif

namespace omvar::quentrax {
namespace {

constexpr unsigned int kShiftJisCodePage = 932;

#ifndef _WIN32
struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Iconv = std::unique_ptr<void, IconvCloser>;

Iconv open_iconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    return Iconv(cd);
}

// Converts in chunks; on an invalid input unit calls on_invalid (which appends a replacement
// and says how many input bytes to skip).
template <typename OnInvalid>
std::string convert(iconv_t cd, const char* in, std::size_t in_left, OnInvalid on_invalid) {
    std::string out;
    char chunk[256];
    while (in_left > 0) {
        char* in_ptr = const_cast<char*>(in);
        char* out_ptr = chunk;
        std::size_t out_left = sizeof chunk;
        const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(chunk, static_cast<std::size_t>(out_ptr - chunk));
        in = in_ptr;
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            const std::size_t skip = std::min(on_invalid(out), in_left);
            in += skip;
            in_left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}
#endif

bool is_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t cp = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
        if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

std::wstring shift_jis_to_wide(std::string_view text) {
    text = text.substr(0, std::min(text.size(), text.find('\0')));
    if (text.empty()) {
        return {};
    }
#ifdef _WIN32
    const int in_size = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(kShiftJisCodePage, 0, text.data(), in_size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(kShiftJisCodePage, 0, text.data(), in_size, out.data(), size);
    return out;
#else
    (void)kShiftJisCodePage;
    auto cd = open_iconv("WCHAR_T", "CP932");
    if (!cd) {
        return std::wstring(text.begin(), text.end());
    }
    const std::string bytes =
        convert(static_cast<iconv_t>(cd.get()), text.data(), text.size(), [](std::string& out) {
            const wchar_t replacement = L'\uFFFD';
            out.append(reinterpret_cast<const char*>(&replacement), sizeof replacement);
            return std::size_t{1};
        });
    std::wstring out(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(wchar_t));
    return out;
#endif
}

std::string wide_to_shift_jis(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
#ifdef _WIN32
    const int in_size = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(kShiftJisCodePage, 0, text.data(), in_size, nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kShiftJisCodePage, 0, text.data(), in_size, out.data(), size, "?", nullptr);
    return out;
#else
    auto cd = open_iconv("CP932", "WCHAR_T");
    if (!cd) {
        return std::string(text.size(), '?');
    }
    return convert(static_cast<iconv_t>(cd.get()), reinterpret_cast<const char*>(text.data()),
                   text.size() * sizeof(wchar_t), [](std::string& out) {
                       out.push_back('?');
                       return sizeof(wchar_t);
                   });
#endif
}

std::string wide_to_utf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<std::uint32_t>(text[i]);
        // Windows wide strings are UTF-16: join surrogate pairs.
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<std::uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string log_text(std::string_view text) {
    if (is_utf8(text)) {
        return std::string(text);
    }
    return wide_to_utf8(shift_jis_to_wide(text));
}

}  // namespace omvar::quentrax
