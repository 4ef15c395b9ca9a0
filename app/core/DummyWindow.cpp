#include "DummyWindow.h"

#include <spdlog/spdlog.h>

#include <exception>
#include <stdexcept>

namespace omvar::Vetrin {

namespace {
constexpr wchar_t kClassName[] = L"VetrinDummyWindow";

void registerClassOnce() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered) {
        throw std::runtime_error("DummyWindow: RegisterClassExW failed");
    }
}

void logFailure(const char* what) {
    if (auto logger = spdlog::get("Vetrin")) {
        logger->error("A hidden window handler failed: {}", what);
    }
}

// Runs a handler; an exception must not unwind through the system's message dispatch.
template <typename Result, typename Call>
Result guarded(Result fallback, Call&& call) {
    try {
        return call();
    } catch (const std::exception& error) {
        logFailure(error.what());
    } catch (...) {
        logFailure("unknown exception");
    }
    return fallback;
}
}  // namespace

void DummyWindow::setCopyDataHandler(CopyDataHandler handler) {
    if (!handler) {
        handler = [](HWND, const COPYDATASTRUCT*) { return 0; };
    }
    copyDataHandler_ = std::move(handler);
}

void DummyWindow::setMessageHook(MessageHook hook) {
    if (!hook) {
        hook = [](UINT, WPARAM, LPARAM) {};
    }
    messageHook_ = std::move(hook);
}

DummyWindow::Holder DummyWindow::create() {
    registerClassOnce();
    Holder holder(new DummyWindow());
    HWND window = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        throw std::runtime_error("DummyWindow: CreateWindowExW failed");
    }
    // The object is attached after creation: the few messages of creation get the default
    // processing, as nothing can have set a handler yet.
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(holder.get()));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DummyWindow::procedure));
    holder->window_ = window;
    return holder;
}

void DummyWindow::Deleter::operator()(DummyWindow* window) const {
    if (window->window_ != nullptr) {
        SetWindowLongPtrW(window->window_, GWLP_USERDATA, 0);
        DestroyWindow(window->window_);
    }
    delete window;
}

LRESULT CALLBACK DummyWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DummyWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_COPYDATA) {
        return guarded(0, [&] {
            return self->copyDataHandler_(reinterpret_cast<HWND>(wParam),
                                          reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        });
    }
    guarded(0, [&] {
        self->messageHook_(message, wParam, lParam);
        return 0;
    });
    if (message == WM_NCDESTROY) {
        // Destroyed by someone else: the deleter must not destroy whatever window gets the
        // handle next.
        self->window_ = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace omvar::Vetrin
