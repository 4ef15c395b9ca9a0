#pragma once

// The unplug, plug-in and freeze actions of the virtual QUENTRAX's panel, for programs outside
// the process that loaded it (tests, demos): one named auto-reset event per action, which the
// library watches while its session lasts (README.md); and the panel itself. Header only, for
// both sides.
#include <windows.h>

#include <iterator>
#include <string>

#include "resource.h"
#include "win32/UniqueHandles.h"

namespace omvar::sim::virtual_unit {

enum class RemoteAction { unplug, plugIn, freeze };

inline constexpr RemoteAction kRemoteActions[] = {RemoteAction::unplug, RemoteAction::plugIn,
                                                  RemoteAction::freeze};

// "VirtualQuentrax.<process id>.Unplug", ".PlugIn" or ".Freeze"; the process id is that of the
// program that loaded the library.
inline std::wstring remoteActionEventName(DWORD processId, RemoteAction action) {
    const wchar_t* name = action == RemoteAction::unplug   ? L"Unplug"
                          : action == RemoteAction::plugIn ? L"PlugIn"
                                                           : L"Freeze";
    return L"VirtualQuentrax." + std::to_wstring(processId) + L"." + name;
}

// Asks the virtual QUENTRAX of that process for the action; false when the process has no
// session (it has not opened the library's interface, or has ended).
inline bool requestRemoteAction(DWORD processId, RemoteAction action) {
    const win32::UniqueHandle event(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, remoteActionEventName(processId, action).c_str()));
    return event && SetEvent(event.get()) != FALSE;
}

// The panel of the virtual QUENTRAX that process loaded; null when it shows none.
inline HWND panelOf(DWORD processId) {
    for (HWND window = FindWindowW(kPanelClass, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, kPanelClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace omvar::sim::virtual_unit
