#pragma once

#ifndef _WIN32

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "CallbackWindow.h"

namespace omvar::quentrax {

// Native stand-in for a callback window (Windows builds use a real window instead).
//
// A NotificationWindow runs its handler on a thread of its own, one message at a time, in the
// order sent. Its handle() is what QUENTRAXDevice::set_callback_window takes. Sending
// (send_callback_message) queues the (message, wParam, lParam) triple and waits at most 10 ms
// for the handler to finish it, like a blocking window message with a time-out: the reader
// thread of a device is never held longer. A message not handled within 10 ms stays queued and
// is still handled later, in order; only when 256 messages are waiting is a new one dropped.
// Handles are looked up in a process-wide table, so a handle whose window was destroyed is
// harmless: sends to it deliver nothing, like sends to a destroyed window.
class NotificationWindow {
public:
    using Handler =
        std::function<void(unsigned int message, MessageWParam wparam, MessageLParam lparam)>;

    explicit NotificationWindow(Handler handler);
    // Waits for the handler call in progress, drops the messages still queued.
    ~NotificationWindow();
    NotificationWindow(const NotificationWindow&) = delete;
    NotificationWindow& operator=(const NotificationWindow&) = delete;

    WindowHandle handle() const { return handle_; }

    // Delivers to the window behind the handle; see the class comment. False when the handle is
    // unknown, the queue is full, or the handler did not finish within the time-out.
    static bool send(WindowHandle window, unsigned int message, MessageWParam wparam,
                     MessageLParam lparam, std::chrono::milliseconds timeout);

    static constexpr std::size_t kMaxQueued = 256;

    struct Mailbox;

private:
    std::shared_ptr<Mailbox> mailbox_;
    WindowHandle handle_;
    std::thread thread_;
};

}  // namespace omvar::quentrax

#endif
