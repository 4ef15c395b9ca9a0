#include "BarDrag.h"

#include "ControlBar.h"
#include "FrameWindow.h"

#include <windowsx.h>

#include <cstdlib>

namespace omvar::ui {

namespace {

constexpr int kOutline = 3;  // pixels

}  // namespace

BarDrag::BarDrag(DockLayout& layout) : layout_(layout) {}

void BarDrag::begin(ControlBar& bar, POINT screenPoint) {
    if (hwnd() == nullptr) {
        CreateParams params;
        params.style = WS_POPUP;
        params.exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
        params.parent = bar.frame()->hwnd();
        params.background = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
        if (!create(params)) {
            return;
        }
    }
    RECT from = bar.windowRect();
    if (layout_.isFloating(bar)) {
        GetWindowRect(GetParent(bar.hwnd()), &from);
    }
    bar_ = &bar;
    start_ = screenPoint;
    grab_ = {screenPoint.x - from.left, screenPoint.y - from.top};
    moving_ = false;
    SetCapture(hwnd());
}

void BarDrag::track(POINT point) {
    target_ = layout_.dropTarget(*bar_, point, grab_);
    if (target_.kind == DropTarget::Kind::Stay) {
        ShowWindow(hwnd(), SW_HIDE);
        return;
    }
    const RECT& r = target_.outline;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    // A frame of a few pixels: the window without its middle.
    HRGN outline = CreateRectRgn(0, 0, width, height);
    HRGN middle = CreateRectRgn(kOutline, kOutline, width - kOutline, height - kOutline);
    CombineRgn(outline, outline, middle, RGN_DIFF);
    DeleteObject(middle);
    SetWindowRgn(hwnd(), outline, TRUE);  // the window owns the region now
    SetWindowPos(hwnd(), HWND_TOPMOST, r.left, r.top, width, height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void BarDrag::end(bool drop) {
    ControlBar* bar = bar_;
    bar_ = nullptr;  // first: releasing the capture comes back here
    ShowWindow(hwnd(), SW_HIDE);
    if (GetCapture() == hwnd()) {
        ReleaseCapture();
    }
    if (drop && moving_) {
        layout_.apply(*bar, target_);
    }
}

LRESULT BarDrag::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!active()) {
        return Window::WindowProc(message, wParam, lParam);
    }
    switch (message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: {
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(hwnd(), &point);
            if (!moving_ && std::abs(point.x - start_.x) <= GetSystemMetrics(SM_CXDRAG) &&
                std::abs(point.y - start_.y) <= GetSystemMetrics(SM_CYDRAG)) {
                if (message == WM_LBUTTONUP) {
                    end(false);
                }
                return 0;
            }
            moving_ = true;
            track(point);
            if (message == WM_LBUTTONUP) {
                end(true);
            }
            return 0;
        }
        case WM_LBUTTONDOWN:     // the release went elsewhere before the capture was taken
        case WM_CAPTURECHANGED:  // another window has the mouse now
            end(false);
            return 0;
        default:
            return Window::WindowProc(message, wParam, lParam);
    }
}

}  // namespace omvar::ui
