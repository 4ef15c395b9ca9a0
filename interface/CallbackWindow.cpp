#include "CallbackWindow.h"

#include <chrono>

#ifndef _WIN32
#include "NotificationWindow.h"
#endif

namespace omvar::quentrax {

bool send_callback_message(WindowHandle window, unsigned int message, MessageWParam wparam,
                           MessageLParam lparam) {
#ifdef _WIN32
    // Not a send with a time-out: one that times out is dropped when the window's thread is
    // busy (waiting in a call of ours, for example), and cannot be tried again, since it may
    // already be being handled.
    return SendNotifyMessageW(window, message, wparam, lparam) != 0;
#else
    return NotificationWindow::send(window, message, wparam, lparam, std::chrono::milliseconds(10));
#endif
}

}  // namespace omvar::quentrax
