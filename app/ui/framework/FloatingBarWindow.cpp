#include "FloatingBarWindow.h"

#include "ControlBar.h"
#include "FrameWindow.h"
#include "Strings.h"

#include <windowsx.h>

namespace omvar::ui {

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

}  // namespace

FloatingBarWindow::FloatingBarWindow(ControlBar& bar) : bar_(bar) {}

bool FloatingBarWindow::Create(HWND owner) {
    CreateParams params;
    params.style = kStyle;
    params.exStyle = kExStyle;
    params.parent = owner;
    params.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    // The bar's own text, or the name its command's prompt gives it ("...\nTool bar").
    params.title = bar_.text();
    if (params.title.empty()) {
        params.title = stringField(loadString(bar_.barId()), 1);
    }
    return create(params);
}

SIZE FloatingBarWindow::sizeFor(ControlBar& bar) {
    const SIZE client = bar.floatingSize();
    RECT r{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    return {r.right - r.left, r.bottom - r.top};
}

void FloatingBarWindow::placeAt(POINT topLeft) {
    const SIZE outer = sizeFor(bar_);
    SetWindowPos(hwnd(), nullptr, topLeft.x, topLeft.y, outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    const SIZE inner = bar_.floatingSize();
    SetWindowPos(bar_.hwnd(), nullptr, 0, 0, inner.cx, inner.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT FloatingBarWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_NCLBUTTONDOWN:
            if (wParam == HTCAPTION) {
                // The frame's drag moves it, so that it can land in the frame too.
                bar_.frame()->beginBarDrag(bar_, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                return 0;
            }
            break;
        case WM_NCLBUTTONDBLCLK:
            if (wParam == HTCAPTION) {
                bar_.frame()->toggleFloating(bar_);
                return 0;
            }
            break;
        case WM_CLOSE:
            bar_.frame()->ShowControlBar(bar_, false);
            return 0;
        default:
            break;
    }
    return Window::WindowProc(message, wParam, lParam);
}

}  // namespace omvar::ui
