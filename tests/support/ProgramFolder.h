#pragma once

// Windows only.
#include <windows.h>

#include <string>

namespace testing_support {

// The folder of the running executable, ending in its separator: the build's bin/, where the
// program, its libraries and the stand-ins are built beside the test programs.
inline std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

}  // namespace testing_support
