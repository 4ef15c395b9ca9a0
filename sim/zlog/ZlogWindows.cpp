#include "ZlogWindows.h"

#include <commctrl.h>

#include <stdexcept>
#include <string>

namespace omvar::sim::zlog {

namespace {

constexpr int kPanelHeight = 40;

LRESULT CALLBACK mainFormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The operator can move the thumb as on a real track bar; the position shows as text. Like a
// real track bar it answers TBM_GETPOS and TBM_SETPOS, which also work from other processes.
LRESULT CALLBACK trackBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case TBM_GETPOS:
            return GetScrollPos(window, SB_HORZ);
        case TBM_SETPOS:
            SetScrollPos(window, SB_HORZ, static_cast<int>(lParam), wParam != 0);
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_HSCROLL: {
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_ALL;
            GetScrollInfo(window, SB_HORZ, &info);
            int position = info.nPos;
            switch (LOWORD(wParam)) {
                case SB_LINELEFT:
                    --position;
                    break;
                case SB_LINERIGHT:
                    ++position;
                    break;
                case SB_PAGELEFT:
                    position -= 5;
                    break;
                case SB_PAGERIGHT:
                    position += 5;
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    position = info.nTrackPos;
                    break;
                default:
                    break;
            }
            SetScrollPos(window, SB_HORZ, position, TRUE);
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            const std::wstring text = L"CW speed " + std::to_wstring(GetScrollPos(window, SB_HORZ));
            RECT client;
            GetClientRect(window, &client);
            DrawTextW(dc, text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            EndPaint(window, &paint);
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void registerClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("RegisterClassExW failed");
    }
}

HWND create(const wchar_t* className, const wchar_t* caption, DWORD style, int x, int y, int width,
            int height, HWND parent) {
    HWND window = CreateWindowExW(0, className, caption, style, x, y, width, height, parent,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        throw std::runtime_error("CreateWindowExW failed");
    }
    return window;
}

}  // namespace

ZlogWindows::ZlogWindows() {
    registerClass(kMainFormClass, mainFormProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    registerClass(kPanelClass, DefWindowProcW, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    registerClass(kTrackBarClass, trackBarProc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    mainForm_ = create(kMainFormClass, kMainFormCaption, WS_OVERLAPPEDWINDOW, 40, 40, 360,
                       4 * kPanelHeight + 40, nullptr);
    // Children are listed in the order they are made: the path goes from the first panel to
    // the third.
    HWND panels[3] = {};
    for (int i = 0; i < 3; ++i) {
        panels[i] = create(kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, i * kPanelHeight,
                           340, kPanelHeight, mainForm_);
    }
    trackBar_ = create(kTrackBarClass, L"", WS_CHILD | WS_VISIBLE | WS_HSCROLL, 4, 4, 320,
                       kPanelHeight - 8, panels[2]);
    SetScrollRange(trackBar_, SB_HORZ, 0, kTrackBarMax, FALSE);
    SetScrollPos(trackBar_, SB_HORZ, kTrackBarStart, TRUE);
    ShowWindow(mainForm_, SW_SHOWNOACTIVATE);
}

ZlogWindows::~ZlogWindows() {
    if (IsWindow(mainForm_)) {
        DestroyWindow(mainForm_);
    }
}

}  // namespace omvar::sim::zlog
