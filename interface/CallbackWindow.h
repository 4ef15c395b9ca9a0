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

// Hands one notification to the window without waiting for it to be handled: on Windows a sent
// message (SendNotifyMessageW) that the system keeps in order with the others until the
// window's thread next takes its messages, even while that thread is itself waiting inside a
// call of the library; it is lost only when the window no longer exists. Natively see
// NotificationWindow::send (it waits at most 10 ms, and keeps what it could not deliver).
// Returns whether the message was taken.
bool send_callback_message(WindowHandle window, unsigned int message, MessageWParam wparam,
                           MessageLParam lparam);

}  // namespace omvar::quentrax
