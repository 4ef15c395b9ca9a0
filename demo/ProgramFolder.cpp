#include "ProgramFolder.h"

#include <windows.h>

namespace omvar::demo {

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full(path, length);
    return full.substr(0, full.find_last_of(L"\\/"));
}

}  // namespace omvar::demo
