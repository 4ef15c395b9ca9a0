#pragma once

// Windows only.
#include <windows.h>

#include <functional>

#include "MessageWindowThread.h"

namespace testing_support {

// A thread that pumps messages, as a program's GUI thread does: windows made by functions run
// here get their messages (also those sent from other threads) while the thread waits.
class GuiThread {
public:
    // Runs fn on the thread and returns once it has run.
    void run(std::function<void()> fn) {
        SendMessageW(thread_.window(), WM_APP, 0, reinterpret_cast<LPARAM>(&fn));
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP) {
            (*reinterpret_cast<std::function<void()>*>(lParam))();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    MessageWindowThread thread_{L"VetrinTestGuiThread", procedure, nullptr};
};

}  // namespace testing_support
