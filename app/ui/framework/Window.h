#pragma once

#include <windows.h>

#include <string>

namespace omvar::ui {

// The window's text (a control's, a caption), whatever its length.
std::wstring windowText(HWND window);

// One window and the C++ object that handles its messages. The object is found from the handle
// (fromHandle), so a message reaches the small virtual OnXxx handlers below; a handler that is
// not overridden gets the window's default processing. A window is either created from a class
// the framework registers (create) or made from a system class and subclassed (createControl,
// attach), for instance an EDIT or a status bar. The object never deletes itself: its owner
// keeps it, and destroying the object destroys a window that is still there.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    explicit operator bool() const { return hwnd_ != nullptr; }
    // The framework object attached to a handle, or null.
    static Window* fromHandle(HWND window);

    // Runs before the message is translated and dispatched (Application::PreTranslateMessage
    // walks from the message's window up to the top-level window). True consumes it.
    virtual bool PreTranslateMessage(MSG& message);

    void destroy();
    std::wstring text() const;
    void setText(const std::wstring& text) const;
    RECT clientRect() const;
    RECT windowRect() const;
    // Whether the window itself is shown (its WS_VISIBLE style), whatever its parent is: a bar
    // of a hidden frame is still a shown bar.
    bool isVisible() const {
        return hwnd_ != nullptr && (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
    }

protected:
    struct CreateParams {
        DWORD exStyle = 0;
        DWORD style = WS_OVERLAPPEDWINDOW;
        int x = CW_USEDEFAULT;
        int y = CW_USEDEFAULT;
        int cx = CW_USEDEFAULT;
        int cy = CW_USEDEFAULT;
        HWND parent = nullptr;
        HMENU menuOrId = nullptr;
        std::wstring title;
        HICON icon = nullptr;
        HCURSOR cursor = nullptr;
        HBRUSH background = nullptr;
    };

    // A window of a framework class (one class per distinct icon, cursor and background).
    bool create(CreateParams params);
    // A window of a system class (L"EDIT", STATUSCLASSNAMEW, ...), subclassed so that its
    // messages reach this object too; the default processing is the class's own.
    bool createControl(const wchar_t* className, const CreateParams& params);
    // Subclasses an existing window (a control of a dialog, for instance).
    bool attach(HWND window);

    // The message dispatcher; override it for a message without its own handler and call the
    // base for everything else.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Handlers: each default gives the message its default processing.
    virtual int OnCreate(CREATESTRUCTW& create);
    virtual void OnDestroy() {}
    virtual void OnClose();
    virtual void OnSize(UINT type, int cx, int cy);
    // A command (menu, accelerator, control notification). True when handled.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // A WM_NOTIFY. True when handled; result is the message's result.
    virtual bool OnNotify(NMHDR& header, LRESULT& result);

private:
    // One window class per distinct appearance; registered once per process.
    static std::wstring classFor(HICON icon, HCURSOR cursor, HBRUSH background);
    static LRESULT CALLBACK ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void bind(HWND window);
    void unbind();

    HWND hwnd_ = nullptr;
    bool subclassed_ = false;
};

}  // namespace omvar::ui
