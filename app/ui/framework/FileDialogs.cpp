#include "FileDialogs.h"

#include "StandardIds.h"
#include "Strings.h"

#include <commdlg.h>

#include <vector>

namespace omvar::ui {

namespace {

// "text\0*.*\0\0": the filter list of the dialogs.
std::wstring allFilesFilter() {
    std::wstring text = loadString(IDS_ALL_FILES_FILTER);
    if (text.empty()) {
        text = L"*.*";
    }
    std::wstring filter = text;
    filter.push_back(L'\0');
    filter += L"*.*";
    filter.push_back(L'\0');
    return filter;
}

std::optional<std::wstring> run(HWND owner, const std::wstring& proposed, bool save) {
    std::vector<wchar_t> buffer(32768, L'\0');
    proposed.copy(buffer.data(), buffer.size() - 1);
    const std::wstring filter = allFilesFilter();
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST |
                (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!chosen) {
        return std::nullopt;
    }
    return std::wstring(buffer.data());
}

}  // namespace

std::optional<std::wstring> askOpenFileName(HWND owner) {
    return run(owner, {}, false);
}

std::optional<std::wstring> askSaveFileName(HWND owner, const std::wstring& proposedName) {
    return run(owner, proposedName, true);
}

}  // namespace omvar::ui
