#include "Window.h"

#include <commctrl.h>

#include <map>
#include <mutex>
#include <tuple>

namespace omvar::ui {

namespace {

constexpr wchar_t kObjectProperty[] = L"omvar.ui.Window";
constexpr UINT_PTR kSubclassId = 0x6f6d7661;  // any constant unique to the framework

}  // namespace

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring Window::classFor(HICON icon, HCURSOR cursor, HBRUSH background) {
    using Key = std::tuple<HICON, HCURSOR, HBRUSH>;
    static std::mutex mutex;
    static std::map<Key, std::wstring> classes;
    std::lock_guard held(mutex);
    const Key key{icon, cursor, background};
    if (auto found = classes.find(key); found != classes.end()) {
        return found->second;
    }
    std::wstring name = L"omvar.ui.Window." + std::to_wstring(classes.size());
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Window::ClassProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = cursor != nullptr ? cursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name.c_str();
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return {};
    }
    classes.emplace(key, name);
    return name;
}

Window::~Window() {
    destroy();
}

Window* Window::fromHandle(HWND window) {
    return window == nullptr ? nullptr : static_cast<Window*>(GetPropW(window, kObjectProperty));
}

bool Window::PreTranslateMessage(MSG&) {
    return false;
}

void Window::destroy() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);  // WM_NCDESTROY unbinds
    }
}

std::wstring Window::text() const {
    return windowText(hwnd_);
}

void Window::setText(const std::wstring& text) const {
    SetWindowTextW(hwnd_, text.c_str());
}

RECT Window::clientRect() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r;
}

RECT Window::windowRect() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r;
}

bool Window::create(CreateParams p) {
    const std::wstring className = classFor(p.icon, p.cursor, p.background);
    if (className.empty()) {
        return false;
    }
    // WM_NCCREATE binds the object, so OnCreate and the messages before it reach it.
    HWND window =
        CreateWindowExW(p.exStyle, className.c_str(), p.title.c_str(), p.style, p.x, p.y, p.cx,
                        p.cy, p.parent, p.menuOrId, GetModuleHandleW(nullptr), this);
    return window != nullptr;
}

bool Window::createControl(const wchar_t* className, const CreateParams& p) {
    HWND window = CreateWindowExW(p.exStyle, className, p.title.c_str(), p.style, p.x, p.y, p.cx,
                                  p.cy, p.parent, p.menuOrId, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        return false;
    }
    return attach(window);
}

bool Window::attach(HWND window) {
    if (!SetWindowSubclass(window, &Window::SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    subclassed_ = true;
    bind(window);
    return true;
}

void Window::bind(HWND window) {
    hwnd_ = window;
    SetPropW(window, kObjectProperty, this);
}

void Window::unbind() {
    if (hwnd_ == nullptr) {
        return;
    }
    RemovePropW(hwnd_, kObjectProperty);
    if (subclassed_) {
        RemoveWindowSubclass(hwnd_, &Window::SubclassProc, kSubclassId);
        subclassed_ = false;
    }
    hwnd_ = nullptr;
}

LRESULT CALLBACK Window::ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = fromHandle(window);
    if (self == nullptr && message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<Window*>(create->lpCreateParams);
        if (self != nullptr) {
            self->bind(window);
        }
    }
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK Window::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR self) {
    auto* object = reinterpret_cast<Window*>(self);
    if (object == nullptr || object->hwnd_ != window) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return object->Dispatch(message, wParam, lParam);
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        const LRESULT result = DefaultProc(message, wParam, lParam);
        unbind();
        return result;
    }
    return WindowProc(message, wParam, lParam);
}

LRESULT Window::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (subclassed_) {
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            // A subclassed control has been created already; its WM_CREATE never reaches here.
            const int result = OnCreate(*reinterpret_cast<CREATESTRUCTW*>(lParam));
            return result;
        }
        case WM_DESTROY:
            OnDestroy();
            return DefaultProc(message, wParam, lParam);
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) {
                return 0;
            }
            return DefaultProc(message, wParam, lParam);
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (OnNotify(*reinterpret_cast<NMHDR*>(lParam), result)) {
                return result;
            }
            return DefaultProc(message, wParam, lParam);
        }
        default:
            return DefaultProc(message, wParam, lParam);
    }
}

int Window::OnCreate(CREATESTRUCTW& create) {
    return static_cast<int>(DefaultProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)));
}

void Window::OnClose() {
    DefaultProc(WM_CLOSE, 0, 0);
}

void Window::OnSize(UINT type, int cx, int cy) {
    DefaultProc(WM_SIZE, type, MAKELPARAM(cx, cy));
}

bool Window::OnCommand(UINT, UINT, HWND) {
    return false;
}

bool Window::OnNotify(NMHDR&, LRESULT&) {
    return false;
}

}  // namespace omvar::ui
