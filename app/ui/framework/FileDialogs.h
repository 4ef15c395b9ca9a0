#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace omvar::ui {

// The common file dialogs with the framework's "all files" filter. nullopt when the user
// cancelled.
std::optional<std::wstring> askOpenFileName(HWND owner);
std::optional<std::wstring> askSaveFileName(HWND owner, const std::wstring& proposedName);

}  // namespace omvar::ui
