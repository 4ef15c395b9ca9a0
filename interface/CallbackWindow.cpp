#include "CallbackWindow.h"

#include <chrono>

#ifndef _WIN32
#include "NotificationWindow.h"
#endif

namespace omvar::quentrax {
namespace {
constexpr unsigned int kSendTimeoutMs = 10;
}

bool send_callback_message(WindowHandle window, unsigned int message, MessageWParam wparam,
                           MessageLParam lparam) {
#ifdef _WIN32
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               &result) != 0;
#else
    return NotificationWindow::send(window, message, wparam, lparam,
                                    std::chrono::milliseconds(kSendTimeoutMs));
#endif
}

}  // namespace omvar::quentrax
