#pragma once

// Windows only.
#include <windows.h>

#include <string>

namespace omvar::win32 {

// The full path of a loaded module (null: the running executable), however long: an operator
// may install the program in a folder deeper than MAX_PATH. Empty when the system cannot tell.
inline std::wstring modulePath(HMODULE module) {
    constexpr std::size_t kLongestPath = 32768;  // the longest path the system knows
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(module, path.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {  // a cut path comes back as long as the buffer
            path.resize(length);
            return path;
        }
        if (path.size() >= kLongestPath) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

inline std::wstring executablePath() {
    return modulePath(nullptr);
}

// The folder of the running executable, ending in its separator; empty when the system cannot
// tell (callers then keep to the working directory rather than a drive's root).
inline std::wstring executableFolder() {
    std::wstring path = executablePath();
    path.erase(path.find_last_of(L"\\/") + 1);  // no separator: npos + 1 erases everything
    return path;
}

}  // namespace omvar::win32
