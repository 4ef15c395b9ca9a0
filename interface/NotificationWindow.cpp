#include "NotificationWindow.h"

#ifndef _WIN32

#include <unordered_map>

namespace omvar::quentrax {

struct NotificationWindow::Mailbox {
    struct Message {
        unsigned int message;
        MessageWParam wparam;
        MessageLParam lparam;
        std::uint64_t sequence;
    };

    explicit Mailbox(Handler h) : handler(std::move(h)) {}

    Handler handler;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Message> queue;
    std::uint64_t sent = 0;
    std::uint64_t handled = 0;
    bool closing = false;
};

namespace {

// The native counterpart of the system's window table: handle -> live window.
struct WindowTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::weak_ptr<NotificationWindow::Mailbox>> windows;
    std::uintptr_t last_handle = 0;
};

WindowTable& table() {
    static WindowTable instance;
    return instance;
}

}  // namespace

NotificationWindow::NotificationWindow(Handler handler)
    : mailbox_(std::make_shared<Mailbox>(std::move(handler))) {
    {
        auto& t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        const std::uintptr_t id = ++t.last_handle;
        t.windows[id] = mailbox_;
        handle_ = reinterpret_cast<WindowHandle>(id);
    }
    thread_ = std::thread([mailbox = mailbox_] {
        std::unique_lock<std::mutex> lock(mailbox->mutex);
        for (;;) {
            mailbox->changed.wait(lock,
                                  [&] { return mailbox->closing || !mailbox->queue.empty(); });
            if (mailbox->closing) {
                return;
            }
            const Mailbox::Message m = mailbox->queue.front();
            mailbox->queue.pop_front();
            lock.unlock();
            try {
                mailbox->handler(m.message, m.wparam, m.lparam);
            } catch (...) {
                // A window procedure's failure stays with the window.
            }
            lock.lock();
            mailbox->handled = m.sequence;
            mailbox->changed.notify_all();
        }
    });
}

NotificationWindow::~NotificationWindow() {
    {
        auto& t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        t.windows.erase(reinterpret_cast<std::uintptr_t>(handle_));
    }
    {
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        mailbox_->closing = true;
        mailbox_->queue.clear();
    }
    mailbox_->changed.notify_all();
    thread_.join();
}

bool NotificationWindow::send(WindowHandle window, unsigned int message, MessageWParam wparam,
                              MessageLParam lparam, std::chrono::milliseconds timeout) {
    std::shared_ptr<Mailbox> mailbox;
    {
        auto& t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.windows.find(reinterpret_cast<std::uintptr_t>(window));
        if (it == t.windows.end()) {
            return false;
        }
        mailbox = it->second.lock();
    }
    if (!mailbox) {
        return false;
    }
    std::unique_lock<std::mutex> lock(mailbox->mutex);
    if (mailbox->closing || mailbox->queue.size() >= kMaxQueued) {
        return false;
    }
    const std::uint64_t sequence = ++mailbox->sent;
    mailbox->queue.push_back({message, wparam, lparam, sequence});
    mailbox->changed.notify_all();
    return mailbox->changed.wait_for(lock, timeout, [&] {
        return mailbox->closing || mailbox->handled >= sequence;
    }) && mailbox->handled >= sequence;
}

}  // namespace omvar::quentrax

#endif
