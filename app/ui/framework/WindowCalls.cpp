#include "WindowCalls.h"

#include <algorithm>
#include <exception>

namespace omvar::ui {

WindowCalls::WindowCalls(const wchar_t* messageName, FailureSink failed)
    : message_(RegisterWindowMessageW(messageName)), failed_(std::move(failed)) {}

WindowCalls::Outcome WindowCalls::invoke(HWND window, const std::function<void()>& function) {
    if (window == nullptr) {
        return Outcome::noWindow;
    }
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        function();
        return Outcome::ran;
    }
    // The function lives in the caller's frame until the send has returned.
    const auto call = reinterpret_cast<LPARAM>(&function);
    {
        std::lock_guard held(mutex_);
        waiting_.push_back(call);
    }
    SendMessageW(window, message_, 0, call);
    std::lock_guard held(mutex_);
    const auto waiting = std::find(waiting_.begin(), waiting_.end(), call);
    if (waiting == waiting_.end()) {
        return Outcome::ran;
    }
    waiting_.erase(waiting);
    return Outcome::dropped;
}

bool WindowCalls::handle(UINT message, LPARAM lParam) {
    if (message != message_) {
        return false;
    }
    {
        // Only a call whose caller still waits: the message may come from anywhere, and its
        // value is not looked at before it is found here.
        std::lock_guard held(mutex_);
        const auto waiting = std::find(waiting_.begin(), waiting_.end(), lParam);
        if (waiting == waiting_.end()) {
            return true;
        }
        waiting_.erase(waiting);
    }
    try {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
    } catch (const std::exception& e) {
        failed_(e.what());
    } catch (...) {
        failed_(nullptr);
    }
    return true;
}

}  // namespace omvar::ui
