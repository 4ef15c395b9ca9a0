#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

namespace omvar::ui {

// The invoke path: calls made on any thread and run on one window's thread, each caller waiting
// until its own call has run. A call is a registered message that names the caller's function by
// its address; the window runs it only while that caller is listed as waiting, so a send that
// fails leaves nothing behind and two callers can never run each other's function.
class WindowCalls {
public:
    enum class Outcome { ran, noWindow, dropped };
    // Told what a call threw (its text, or null for an exception of unknown type): no exception
    // may cross a window procedure back into the system.
    using FailureSink = std::function<void(const char* what)>;

    WindowCalls(const wchar_t* messageName, FailureSink failed);
    WindowCalls(const WindowCalls&) = delete;
    WindowCalls& operator=(const WindowCalls&) = delete;

    // Runs function on window's thread: at once on that thread, otherwise through the window and
    // back. noWindow without a window (nothing would run it), dropped when the window did not take
    // the call.
    Outcome invoke(HWND window, const std::function<void()>& function);

    // From the window procedure: true when message is a call (run here if its caller still waits).
    bool handle(UINT message, LPARAM lParam);

private:
    const UINT message_;
    const FailureSink failed_;
    std::mutex mutex_;
    std::vector<LPARAM> waiting_;
};

}  // namespace omvar::ui
