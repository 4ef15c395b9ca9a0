#include "DataExchange.h"

#include "StandardIds.h"
#include "Strings.h"

#include <cfloat>
#include <cwchar>
#include <cwctype>
#include <cerrno>
#include <climits>

namespace omvar::ui {

namespace {

std::wstring controlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

std::wstring trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// The shortest text that reads back as the same number.
std::wstring formatNumber(double value, int digits) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%.*g", digits, value);
    return buffer;
}

// A whole decimal number with nothing after it; false otherwise.
bool parseWhole(const std::wstring& text, double& value) {
    const std::wstring t = trimmed(text);
    if (t.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    value = std::wcstod(t.c_str(), &end);
    return end != nullptr && *end == L'\0';
}

}  // namespace

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
        value = controlText(c);
    } else {
        SetWindowTextW(c, value.c_str());
    }
}

void DataExchange::text(int id, int& value) {
    HWND c = control(id);
    if (!saving_) {
        SetWindowTextW(c, std::to_wstring(value).c_str());
        return;
    }
    const std::wstring t = trimmed(controlText(c));
    wchar_t* end = nullptr;
    errno = 0;
    const long parsed = t.empty() ? 0 : std::wcstol(t.c_str(), &end, 10);
    if (t.empty() || end == nullptr || *end != L'\0' || errno == ERANGE || parsed < INT_MIN ||
        parsed > INT_MAX) {
        fail(loadString(IDP_PARSE_INT));
    }
    value = static_cast<int>(parsed);
}

void DataExchange::text(int id, double& value) {
    HWND c = control(id);
    if (!saving_) {
        SetWindowTextW(c, formatNumber(value, DBL_DIG).c_str());
        return;
    }
    double parsed = 0;
    if (!parseWhole(controlText(c), parsed)) {
        fail(loadString(IDP_PARSE_REAL));
    }
    value = parsed;
}

void DataExchange::text(int id, float& value) {
    HWND c = control(id);
    if (!saving_) {
        SetWindowTextW(c, formatNumber(value, FLT_DIG).c_str());
        return;
    }
    double parsed = 0;
    if (!parseWhole(controlText(c), parsed)) {
        fail(loadString(IDP_PARSE_REAL));
    }
    value = static_cast<float>(parsed);
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

void DataExchange::range(int value, int minimum, int maximum) {
    if (saving_ && (value < minimum || value > maximum)) {
        fail(formatPrompt(loadString(IDP_PARSE_INT_RANGE),
                          {std::to_wstring(minimum), std::to_wstring(maximum)}));
    }
}

void DataExchange::range(double value, double minimum, double maximum) {
    if (saving_ && (value < minimum || value > maximum)) {
        fail(formatPrompt(loadString(IDP_PARSE_REAL_RANGE),
                          {formatNumber(minimum, DBL_DIG), formatNumber(maximum, DBL_DIG)}));
    }
}

}  // namespace omvar::ui
