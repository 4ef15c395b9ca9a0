#include "HidErrorText.h"

#ifdef _WIN32
#include <windows.h>

#include <cwchar>
#include <vector>
#else
#include <cstdlib>
#include <cstring>
#include <vector>
#endif

namespace omvar::sim {

#ifdef _WIN32
std::wstring winapi_error_text(const wchar_t* operation, unsigned long code) {
    wchar_t system_text[1024];
    const DWORD system_length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system_text, 1024, nullptr);
    const std::size_t op_length = std::wcslen(operation);
    std::vector<wchar_t> text(op_length + 15 + system_length + 1);
    std::swprintf(text.data(), text.size(), L"%.*ls: (0x%08X) %.*ls", static_cast<int>(op_length),
                  operation, static_cast<unsigned>(code), static_cast<int>(system_length),
                  system_text);
    std::wstring result(text.data());
    while (!result.empty() &&
           (result.back() == L'\r' || result.back() == L'\n' || result.back() == L' ')) {
        result.pop_back();
    }
    return result;
}
#else
std::wstring narrow_error_text(const std::string& text) {
    const std::size_t length = std::mbstowcs(nullptr, text.c_str(), 0);
    if (length == static_cast<std::size_t>(-1)) {
        return std::wstring(text.begin(), text.end());
    }
    std::vector<wchar_t> wide(length + 1);
    std::mbstowcs(wide.data(), text.c_str(), wide.size());
    return std::wstring(wide.data());
}

std::wstring errno_error_text(int code) {
    return narrow_error_text(std::strerror(code));
}
#endif

}  // namespace omvar::sim
