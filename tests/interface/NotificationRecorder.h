#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "CallbackWindow.h"

#ifdef _WIN32
#include <windows.h>

#include "MessageWindowThread.h"
#else
#include <memory>

#include "NotificationWindow.h"
#endif

namespace behaviour {

// A callback window that records the (wParam, lParam) pairs it is sent: a real window with its
// own message loop on Windows, the library's native stand-in elsewhere.
class NotificationRecorder {
public:
    using Pair = std::pair<std::uint64_t, std::int64_t>;
    static constexpr unsigned int kMessage = 0x8000 + 0x51;  // WM_APP + 0x51

    omvar::quentrax::WindowHandle handle() const {
#ifdef _WIN32
        return window_.window();
#else
        return window_->handle();
#endif
    }

    std::vector<Pair> pairs() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pairs_;
    }

private:
    void record(unsigned int message, std::uint64_t w, std::int64_t l) {
        if (message != kMessage) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        pairs_.emplace_back(w, l);
    }

    std::mutex mutex_;
    std::vector<Pair> pairs_;

#ifdef _WIN32
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        auto* self =
            reinterpret_cast<NotificationRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message == kMessage) {
            self->record(message, static_cast<std::uint64_t>(w), static_cast<std::int64_t>(l));
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }

    // Last, so the pairs exist while the window gets messages.
    testing_support::MessageWindowThread window_{L"VetrinTestNotificationRecorder", procedure,
                                                 this};
#else
    std::unique_ptr<omvar::quentrax::NotificationWindow> window_ =
        std::make_unique<omvar::quentrax::NotificationWindow>(
            [this](unsigned int message, omvar::quentrax::MessageWParam w,
                   omvar::quentrax::MessageLParam l) { record(message, w, l); });
#endif
};

}  // namespace behaviour
