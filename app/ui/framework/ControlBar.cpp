#include "ControlBar.h"

#include "Commands.h"
#include "Dialog.h"
#include "FrameWindow.h"

#include <commctrl.h>

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

}  // namespace

int ControlBar::layoutHeight(int) {
    return windowRect().bottom - windowRect().top;
}

void ControlBar::setBar(FrameWindow& frame, UINT barId) {
    frame_ = &frame;
    barId_ = barId;
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
        case WM_COMMAND:
            // The bar's controls are the frame's: their commands go where menu commands go.
            return SendMessageW(frame()->hwnd(), WM_COMMAND, wParam, lParam);
        case WM_NOTIFY:
            return SendMessageW(frame()->hwnd(), WM_NOTIFY, wParam, lParam);
        default:
            return Window::WindowProc(message, wParam, lParam);
    }
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
