#include "KeyLog.h"

#include <cwchar>

namespace omvar::sim::hamlog {

namespace {

const wchar_t* kindName(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
            return L"keydown";
        case WM_KEYUP:
            return L"keyup";
        case WM_SYSKEYDOWN:
            return L"syskeydown";
        case WM_SYSKEYUP:
            return L"syskeyup";
        case WM_CHAR:
            return L"char";
        case WM_SYSCHAR:
            return L"syschar";
        default:
            return L"other";
    }
}

}  // namespace

bool KeyLog::isKeyMessage(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_SYSCHAR:
            return true;
        default:
            return false;
    }
}

void KeyLog::record(std::wstring window, UINT message, WPARAM wParam) {
    entries_.push_back({std::move(window), message, wParam});
}

std::wstring KeyLog::report() const {
    std::wstring text;
    for (const Entry& entry : entries_) {
        wchar_t value[24];
        std::swprintf(value, 24, L" 0x%llX\n", static_cast<unsigned long long>(entry.wParam));
        text += entry.window;
        text += L' ';
        text += kindName(entry.message);
        text += value;
    }
    return text;
}

}  // namespace omvar::sim::hamlog
