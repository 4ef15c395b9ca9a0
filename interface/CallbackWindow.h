#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

// The target of a device's notifications. On Windows a window; natively the handle of a
// NotificationWindow (NotificationWindow.h), which plays the window's part.
namespace omvar::quentrax {

#ifdef _WIN32
using WindowHandle = HWND;
using MessageWParam = WPARAM;
using MessageLParam = LPARAM;
#else
using WindowHandle = void*;
using MessageWParam = std::uintptr_t;
using MessageLParam = std::intptr_t;
#endif

// Blocking send of at most 10 ms (SendMessageTimeoutW with SMTO_ABORTIFHUNG on Windows); a
// message that is not taken in time, or sent to a window that no longer exists, is not
// delivered by this call. Returns whether the receiver handled it.
bool send_callback_message(WindowHandle window, unsigned int message, MessageWParam wparam,
                           MessageLParam lparam);

}  // namespace omvar::quentrax
