#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "CallbackWindow.h"

#ifdef _WIN32
#include <windows.h>

#include <future>
#include <thread>
#else
#include "NotificationWindow.h"
#endif

namespace behaviour {

// A callback window that records the (wParam, lParam) pairs it is sent: a real window with its
// own message loop on Windows, the library's native stand-in elsewhere.
class NotificationRecorder {
public:
    using Pair = std::pair<std::uint64_t, std::int64_t>;
    static constexpr unsigned int kMessage = 0x8000 + 0x51;  // WM_APP + 0x51

    NotificationRecorder() {
#ifdef _WIN32
        std::promise<HWND> created;
        auto window = created.get_future();
        thread_ = std::thread([this, &created] { run(created); });
        window_ = window.get();
#else
        window_ = std::make_unique<omvar::quentrax::NotificationWindow>(
            [this](unsigned int message, omvar::quentrax::MessageWParam w,
                   omvar::quentrax::MessageLParam l) { record(message, w, l); });
#endif
    }

    ~NotificationRecorder() {
#ifdef _WIN32
        PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
#endif
    }

    omvar::quentrax::WindowHandle handle() const {
#ifdef _WIN32
        return window_;
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
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }

    void run(std::promise<HWND>& created) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &NotificationRecorder::procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VetrinTestNotificationRecorder";
        RegisterClassW(&wc);  // fails harmlessly when already registered
        HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        created.set_value(window);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
    }

    HWND window_ = nullptr;
    std::thread thread_;
#else
    std::unique_ptr<omvar::quentrax::NotificationWindow> window_;
#endif
};

}  // namespace behaviour
