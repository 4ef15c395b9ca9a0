#include "CSetWpmDlg.h"

#include "AppModel.h"
#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace omvar::Vetrin {

namespace {

// The dialog's top-left corner relative to the mouse cursor.
constexpr int kLeftOfCursor = 50;
constexpr int kAboveCursor = 100;

}  // namespace

CSetWpmDlg::CSetWpmDlg(AppModel& model) : Dialog(IDD_SET_WPM), model_(model) {}

bool CSetWpmDlg::OnInitDialog() {
    HWND slider = item(IDC_WPM_SLIDER);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kTopWpm - kBottomWpm));
    SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
    SendMessageW(slider, TBM_SETPAGESIZE, 0, 1);
    const int wpm = std::clamp(static_cast<int>(model_.settings().wpm), kBottomWpm, kTopWpm);
    SendMessageW(slider, TBM_SETPOS, TRUE, kTopWpm - wpm);
    showSpeed(wpm);
    placeByCursor();
    return Dialog::OnInitDialog();
}

void CSetWpmDlg::showSpeed(int wpm) {
    setItemText(IDC_WPM_TEXT, std::to_wstring(wpm));
}

void CSetWpmDlg::placeByCursor() {
    POINT cursor{};
    if (!GetCursorPos(&cursor)) {
        return;
    }
    RECT r = {};
    GetWindowRect(hwnd(), &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    int x = cursor.x - kLeftOfCursor;
    int y = cursor.y - kAboveCursor;
    // The WPM pane sits low on the main window, which may sit at the bottom of the screen: keep
    // the whole dialog on the cursor's monitor.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& area = monitor.rcWork;
        x = std::max(static_cast<int>(area.left),
                     std::min(x, static_cast<int>(area.right) - width));
        y = std::max(static_cast<int>(area.top),
                     std::min(y, static_cast<int>(area.bottom) - height));
    }
    SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CSetWpmDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_VSCROLL || reinterpret_cast<HWND>(lParam) != item(IDC_WPM_SLIDER)) {
        return false;
    }
    const int position = static_cast<int>(SendMessageW(item(IDC_WPM_SLIDER), TBM_GETPOS, 0, 0));
    const int wpm = kTopWpm - position;
    showSpeed(wpm);
    model_.setWpm(static_cast<unsigned int>(wpm));
    result = 0;
    return true;
}

}  // namespace omvar::Vetrin
