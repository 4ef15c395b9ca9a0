#include "ControlBar.h"

#include "Commands.h"
#include "Dialog.h"
#include "FrameWindow.h"

#include <commctrl.h>
#include <windowsx.h>

namespace omvar::ui {

namespace {

bool isPushButton(HWND control) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    if (lstrcmpiW(className, WC_BUTTONW) != 0) {
        return false;
    }
    const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool isCheckable(HWND control) {
    return (SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_RADIOBUTTON | DLGC_BUTTON)) != 0 &&
           !isPushButton(control);
}

// The width of the gripper's strip at the left end of a dialog bar: the room the bars' layouts
// leave before their first control.
constexpr int kGripperMargin = 5;

}  // namespace

void ControlBar::setStyle(BarStyle style, int) {
    if (style_ == style) {
        return;
    }
    style_ = style;
    // A gripper in the non-client area moves with the style.
    SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

int ControlBar::layoutHeight(int) {
    return windowRect().bottom - windowRect().top;
}

int ControlBar::layoutWidth(int) {
    return windowRect().right - windowRect().left;
}

SIZE ControlBar::floatingSize() {
    const RECT r = windowRect();
    return {r.right - r.left, r.bottom - r.top};
}

void ControlBar::setBar(FrameWindow& frame, UINT barId) {
    frame_ = &frame;
    barId_ = barId;
}

void ControlBar::beginDrag(POINT screenPoint) {
    frame_->beginBarDrag(*this, screenPoint);
}

void ControlBar::drawGripper(HDC dc, RECT area, bool vertical) {
    // Three pixels thick, two pixels short of each end.
    RECT line = area;
    if (vertical) {
        line.top = (area.top + area.bottom) / 2 - 1;
        line.bottom = line.top + 3;
        line.left += 2;
        line.right -= 2;
    } else {
        line.left = (area.left + area.right) / 2 - 1;
        line.right = line.left + 3;
        line.top += 2;
        line.bottom -= 2;
    }
    DrawEdge(dc, &line, BDR_RAISEDINNER, BF_RECT);
}

bool DialogBar::Create(FrameWindow& frame, UINT templateId, UINT barId) {
    setBar(frame, barId);
    HWND bar = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId),
                                  frame.hwnd(), &plainDialogProc, 0);
    if (bar == nullptr) {
        return false;
    }
    SetWindowLongPtrW(bar, GWLP_ID, static_cast<LONG_PTR>(barId));
    RECT r{};
    GetWindowRect(bar, &r);
    height_ = r.bottom - r.top;
    if (!attach(bar)) {
        DestroyWindow(bar);
        return false;
    }
    return true;
}

int DialogBar::layoutHeight(int) {
    return height_;
}

LRESULT DialogBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            if (isDockable()) {
                // The template leaves a margin of a few pixels left of its first control.
                PAINTSTRUCT paint;
                HDC dc = BeginPaint(hwnd(), &paint);
                RECT margin = clientRect();
                margin.right = kGripperMargin;
                drawGripper(dc, margin, false);
                EndPaint(hwnd(), &paint);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            // Only the bar's own background gets here: its controls take their own presses.
            if (isDockable()) {
                POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ClientToScreen(hwnd(), &point);
                beginDrag(point);
                return 0;
            }
            break;
        case WM_COMMAND:
            // The bar's controls are the frame's: their commands go where menu commands go.
            return SendMessageW(frame()->hwnd(), WM_COMMAND, wParam, lParam);
        case WM_NOTIFY:
            return SendMessageW(frame()->hwnd(), WM_NOTIFY, wParam, lParam);
        default:
            break;
    }
    return Window::WindowProc(message, wParam, lParam);
}

void DialogBar::updateCommands() {
    for (HWND control = GetWindow(hwnd(), GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(control);
        if (id <= 0 || id == 0xFFFF) {
            continue;  // static texts
        }
        CommandUpdate update(static_cast<UINT>(id));
        if (!frame()->updateCommand(update)) {
            // Buttons nobody handles are shown disabled; other controls are left alone.
            if (isPushButton(control)) {
                EnableWindow(control, frame()->hasCommandHandler(static_cast<UINT>(id)));
            }
            continue;
        }
        if (update.enabled()) {
            EnableWindow(control, *update.enabled());
        }
        if (update.checked() && isCheckable(control)) {
            SendMessageW(control, BM_SETCHECK, *update.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        if (update.text()) {
            // Only a change is written: a rewrite would reset the caret and flicker.
            if (windowText(control) != *update.text()) {
                SetWindowTextW(control, update.text()->c_str());
            }
        }
    }
}

bool DialogBar::translateDialogInput(MSG& message) {
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) {
        return false;
    }
    return IsDialogMessageW(hwnd(), &message) != FALSE;
}

}  // namespace omvar::ui
