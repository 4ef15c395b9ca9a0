#pragma once

// Windows only.
#include <windows.h>

#include <functional>

namespace testing_support {

// EnumWindows / EnumThreadWindows with a function that returns false to stop. A lambda does not
// convert to the standard-call callback type on i686, so one named callback carries them all.
using WindowVisitor = std::function<bool(HWND)>;

inline BOOL CALLBACK visitWindow(HWND window, LPARAM visitor) {
    return (*reinterpret_cast<WindowVisitor*>(visitor))(window) ? TRUE : FALSE;
}

inline void forEachTopLevelWindow(WindowVisitor visitor) {
    EnumWindows(&visitWindow, reinterpret_cast<LPARAM>(&visitor));
}

inline void forEachThreadWindow(DWORD thread, WindowVisitor visitor) {
    EnumThreadWindows(thread, &visitWindow, reinterpret_cast<LPARAM>(&visitor));
}

}  // namespace testing_support
