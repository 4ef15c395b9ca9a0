#include "DataExchange.h"

#include "Strings.h"
#include "Window.h"

namespace omvar::ui {

HWND DataExchange::control(int id) {
    HWND handle = GetDlgItem(dialog_, id);
    last_ = handle;
    wchar_t className[16] = {};
    GetClassNameW(handle, className, 16);
    lastIsEdit_ = lstrcmpiW(className, L"Edit") == 0;
    return handle;
}

void DataExchange::fail(const std::wstring& message) {
    messageBox(message, MB_OK | MB_ICONEXCLAMATION);
    if (last_ != nullptr) {
        SetFocus(last_);
        if (lastIsEdit_) {
            SendMessageW(last_, EM_SETSEL, 0, -1);
        }
    }
    throw DataExchangeFailure();
}

void DataExchange::text(int id, std::wstring& value) {
    HWND c = control(id);
    if (saving_) {
        value = windowText(c);
    } else {
        SetWindowTextW(c, value.c_str());
    }
}

void DataExchange::check(int id, bool& value) {
    HWND c = control(id);
    if (saving_) {
        value = SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
    } else {
        SendMessageW(c, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void DataExchange::radio(int firstId, int& index) {
    HWND first = control(firstId);
    // The group runs from the first button to the next control with WS_GROUP.
    int i = 0;
    if (saving_) {
        index = -1;
    }
    for (HWND button = first; button != nullptr; button = GetWindow(button, GW_HWNDNEXT), ++i) {
        if (button != first && (GetWindowLongPtrW(button, GWL_STYLE) & WS_GROUP) != 0) {
            break;
        }
        if (saving_) {
            if (SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                index = i;
            }
        } else {
            SendMessageW(button, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DataExchange::comboIndex(int id, int& index) {
    HWND c = control(id);
    if (saving_) {
        index = static_cast<int>(SendMessageW(c, CB_GETCURSEL, 0, 0));
    } else {
        SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

}  // namespace omvar::ui
