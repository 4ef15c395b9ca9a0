#include "ZlogTrackBar.h"

#include <windows.h>

namespace omvar::Vetrin {

bool setZlogTrackBar(int position) {
    HWND mainForm = FindWindowExW(nullptr, nullptr, L"TMainForm", L"zLog for Windows");
    if (mainForm == nullptr) {
        return false;
    }
    HWND window = FindWindowExW(mainForm, nullptr, L"TPanel", nullptr);
    for (int step = 0; step < 2 && window != nullptr; ++step) {
        window = GetWindow(window, GW_HWNDNEXT);
    }
    HWND trackBar =
        window != nullptr ? FindWindowExW(window, nullptr, L"TTrackBar", nullptr) : nullptr;
    if (trackBar == nullptr) {
        return false;
    }
    SetScrollPos(trackBar, SB_HORZ, position, TRUE);
    return true;
}

}  // namespace omvar::Vetrin
