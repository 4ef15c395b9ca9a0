#include "Manual.h"

#include <shellapi.h>

namespace omvar::Vetrin {

bool openManual(HWND owner) {
    const HINSTANCE result =
        ShellExecuteW(owner, L"open", L"notepad.exe", L"Vetrin.txt", nullptr, SW_SHOW);
    // ShellExecute reports success as a value above 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace omvar::Vetrin
