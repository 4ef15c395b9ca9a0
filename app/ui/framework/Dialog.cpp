#include "Dialog.h"

namespace omvar::ui {

INT_PTR CALLBACK plainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

void DialogBase::setItemText(int id, const std::wstring& text) const {
    SetDlgItemTextW(hwnd_, id, text.c_str());
}

bool DialogBase::UpdateData(bool save) {
    DataExchange exchange(hwnd_, save);
    try {
        DoDataExchange(exchange);
    } catch (const DataExchangeFailure&) {
        return false;
    }
    return true;
}

bool DialogBase::OnInitDialog() {
    UpdateData(false);
    return true;
}

bool DialogBase::OnCommand(UINT, UINT, HWND) {
    return false;
}

bool DialogBase::OnNotify(NMHDR&, LRESULT&) {
    return false;
}

bool DialogBase::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

INT_PTR CALLBACK DialogBase::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogBase*>(lParam);
        if (self == nullptr) {
            return FALSE;
        }
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = dialog;
    }
    if (self == nullptr) {
        return FALSE;
    }
    const INT_PTR result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR DialogBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog() ? TRUE : FALSE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))
                       ? TRUE
                       : FALSE;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (OnNotify(*reinterpret_cast<NMHDR*>(lParam), result)) {
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
                return TRUE;
            }
            return FALSE;
        }
        default: {
            LRESULT result = 0;
            if (OnMessage(message, wParam, lParam, result)) {
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
                return TRUE;
            }
            return FALSE;
        }
    }
}

INT_PTR Dialog::DoModal(HWND parent) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId()), parent,
                           &DialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR result) {
    ::EndDialog(hwnd(), result);
}

void Dialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool Dialog::OnCommand(UINT id, UINT code, HWND) {
    if (code != BN_CLICKED) {
        return false;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

}  // namespace omvar::ui
