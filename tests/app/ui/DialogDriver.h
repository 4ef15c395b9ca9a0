#pragma once

// Drives the program's modal dialogs as an operator would, from a second thread: the dialog runs
// its own modal loop on the test's thread, the driver finds its windows, sets control values by
// messages, clicks and confirms. Anything that may open a message box (confirming, leaving a
// page) is posted, so the driver never waits inside a box's loop.
#include "UiTestSupport.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dialog_test {

using testing_support::screenshot;
using testing_support::wait_for;

inline std::wstring textOf(HWND window) {
    const int length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

inline std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The visible dialog windows (class #32770) of a thread with the caption, newest first.
inline std::vector<HWND> dialogsOf(DWORD thread, const std::wstring& caption = {}) {
    std::vector<HWND> found;
    testing_support::forEachThreadWindow(thread, [&](HWND window) {
        if (IsWindowVisible(window) && classOf(window) == L"#32770" &&
            (caption.empty() || textOf(window) == caption)) {
            found.push_back(window);
        }
        return true;
    });
    return found;
}

inline HWND waitForDialog(DWORD thread, const std::wstring& caption,
                          std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    HWND found = nullptr;
    wait_for(
        [&] {
            const auto all = dialogsOf(thread, caption);
            found = all.empty() ? nullptr : all.front();
            return found != nullptr;
        },
        bound);
    return found;
}

// The window that has the keyboard focus on the thread.
inline HWND focusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// The program's message box ("Vetrin"): waits for it, takes its text, presses OK and waits until
// it is gone. Empty when none came.
inline std::wstring takeMessageBox(DWORD thread) {
    const HWND box = waitForDialog(thread, L"Vetrin");
    if (box == nullptr) {
        return {};
    }
    const std::wstring text = textOf(GetDlgItem(box, 0xFFFF));  // the box's text control
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    wait_for([&] { return !IsWindow(box); });
    return text;
}

// Waits (on its own thread) for a dialog or message box of the thread that makes it, takes the
// text of a box and answers with the given button. For a modal call that follows on this thread.
class DialogAnswerer {
public:
    explicit DialogAnswerer(int button) {
        thread_ = std::thread([this, button, gui = GetCurrentThreadId()] {
            const HWND found = waitForDialog(gui, {}, std::chrono::seconds(20));
            if (found == nullptr) {
                return;
            }
            text_ = textOf(GetDlgItem(found, 0xFFFF));
            PostMessageW(found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(found, button)));
            seen_ = true;
        });
    }
    ~DialogAnswerer() { finish(); }
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    void finish() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool seen() {
        finish();
        return seen_;
    }
    std::wstring text() {
        finish();
        return text_;
    }

private:
    std::thread thread_;
    std::wstring text_;
    bool seen_ = false;
};

inline void setText(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline std::wstring text(HWND dialog, int id) {
    return textOf(GetDlgItem(dialog, id));
}

inline void click(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

inline bool checked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline bool enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != 0;
}

// Property sheets.
inline HWND currentPage(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

inline int currentPageIndex(HWND sheet) {
    return static_cast<int>(
        SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(currentPage(sheet)), 0));
}

// Asks for another page; leaving the current one may be refused with a message box, so this
// only posts the request.
inline void requestPage(HWND sheet, int index) {
    PostMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// Selects a page that is expected to let go; the page's window, null when the switch did not
// happen.
inline HWND selectPage(HWND sheet, int index) {
    // Not asked again for the page it shows: the sheet would check that page's fields when it
    // takes the request, which a busy thread may do only after the next field has been set.
    if (currentPageIndex(sheet) != index) {
        requestPage(sheet, index);
    }
    if (!wait_for([&] { return currentPageIndex(sheet) == index; })) {
        return nullptr;
    }
    return currentPage(sheet);
}

inline void pressSheetButton(HWND sheet, int button) {
    PostMessageW(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
}

// Runs `modal` on this thread (it shows a modal dialog and returns when that closes) while
// `script` drives it from a second thread, given this thread's id. Whatever the script leaves
// open is cancelled afterwards, so a failing script ends the test instead of hanging it.
template <typename Modal>
auto drive(Modal modal, const std::function<void(DWORD gui)>& script) {
    const DWORD gui = GetCurrentThreadId();
    std::atomic<bool> returned = false;
    std::thread driver([&] {
        script(gui);
        wait_for([&] {
            for (HWND window : dialogsOf(gui)) {
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            }
            return returned.load();
        });
    });
    struct Join {
        std::thread& thread;
        std::atomic<bool>& returned;
        ~Join() {
            returned = true;
            thread.join();
        }
    } join{driver, returned};
    return modal();
}

}  // namespace dialog_test
