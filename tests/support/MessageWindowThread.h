#pragma once

// Windows only.
#include <windows.h>

#include <future>
#include <thread>

namespace testing_support {

// A message-only window with a message loop on a thread of its own: the receiving end that a
// test gives to code that sends or posts window messages, so the sender never waits on the
// test's own thread. The procedure finds `context` through GWLP_USERDATA; the few messages of
// the window's creation see null there. The window is gone when the object is.
class MessageWindowThread {
public:
    MessageWindowThread(const wchar_t* className, WNDPROC procedure, void* context) {
        std::promise<void> created;
        std::future<void> ready = created.get_future();
        // The promise moves into the thread, so it stays alive until set_value has returned.
        thread_ = std::thread(
            [this, created = std::move(created), className, procedure, context]() mutable {
                MSG msg;
                // Gives the thread its message queue, so the quit message can reach it even when
                // the window could not be made.
                PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
                WNDCLASSEXW wc{};
                wc.cbSize = sizeof wc;
                wc.lpfnWndProc = procedure;
                wc.hInstance = GetModuleHandleW(nullptr);
                wc.lpszClassName = className;
                RegisterClassExW(&wc);  // fails harmlessly when an earlier object registered it
                HWND own = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           wc.hInstance, nullptr);
                SetWindowLongPtrW(own, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(context));
                window_ = own;
                threadId_ = GetCurrentThreadId();
                created.set_value();
                while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                    DispatchMessageW(&msg);
                }
                DestroyWindow(own);
            });
        ready.get();
    }

    ~MessageWindowThread() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    MessageWindowThread(const MessageWindowThread&) = delete;
    MessageWindowThread& operator=(const MessageWindowThread&) = delete;

    HWND window() const { return window_; }

private:
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

}  // namespace testing_support
