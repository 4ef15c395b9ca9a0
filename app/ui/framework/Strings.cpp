#include "Strings.h"

#include "Application.h"
#include "FrameWindow.h"
#include "StandardIds.h"

namespace omvar::ui {

std::wstring loadString(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the resource itself.
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring stringField(const std::wstring& text, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        start = text.find(L'\n', start);
        if (start == std::wstring::npos) {
            return {};
        }
        ++start;
    }
    const std::size_t end = text.find(L'\n', start);
    return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

std::wstring formatPrompt(const std::wstring& text, std::initializer_list<std::wstring> arguments) {
    std::wstring result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] >= L'1' && text[i + 1] <= L'9') {
            const std::size_t n = static_cast<std::size_t>(text[i + 1] - L'1');
            if (n < arguments.size()) {
                result += *(arguments.begin() + n);
            }
            ++i;
            continue;
        }
        result.push_back(text[i]);
    }
    return result;
}

int messageBox(const std::wstring& text, UINT flags) {
    // The window in front (a dialog refusing a value), so the box is modal to it; the main
    // window otherwise.
    HWND owner = GetActiveWindow();
    if (owner == nullptr || !IsWindowEnabled(owner)) {
        owner = nullptr;
        if (Application* app = Application::current();
            app != nullptr && app->mainWindow() != nullptr) {
            owner = app->mainWindow()->hwnd();
        }
    }
    std::wstring title = loadString(IDS_APP_TITLE);
    return MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

int promptBox(UINT promptId, std::initializer_list<std::wstring> arguments, UINT flags) {
    return messageBox(formatPrompt(loadString(promptId), arguments), flags);
}

}  // namespace omvar::ui
