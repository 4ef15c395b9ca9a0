#pragma once

#include <windows.h>

#include <functional>
#include <memory>

namespace omvar::Vetrin {

// A hidden top-level window that receives messages sent from other threads and processes:
// WM_COPYDATA goes to a replaceable handler whose result is the message's result, and every
// other message is first shown to a replaceable hook, then gets the default processing. It is
// never shown. Create it on the thread that is to run the handlers (the GUI thread).
class DummyWindow {
public:
    using CopyDataHandler = std::function<int(HWND sender, const COPYDATASTRUCT* data)>;
    using MessageHook = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

    struct Deleter {
        void operator()(DummyWindow* window) const;
    };
    using Holder = std::unique_ptr<DummyWindow, Deleter>;

    // Throws std::runtime_error when the window cannot be created.
    static Holder create();

    DummyWindow(const DummyWindow&) = delete;
    DummyWindow& operator=(const DummyWindow&) = delete;

    HWND handle() const { return window_; }
    // Replace the handlers; set them on the window's own thread (they run there). An empty
    // function puts the default back. What a handler throws is logged and goes no further
    // (a WM_COPYDATA is then answered 0): it must not cross the system's dispatch.
    void setCopyDataHandler(CopyDataHandler handler);
    void setMessageHook(MessageHook hook);

private:
    DummyWindow() = default;
    ~DummyWindow() = default;
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    CopyDataHandler copyDataHandler_ = [](HWND, const COPYDATASTRUCT*) { return 0; };
    MessageHook messageHook_ = [](UINT, WPARAM, LPARAM) {};
};

}  // namespace omvar::Vetrin
