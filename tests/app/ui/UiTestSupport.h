#pragma once

#include "Application.h"
#include "ScreenCapture.h"
#include "WaitFor.h"
#include "WindowEnumeration.h"

#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

// Runs the calling thread's messages (for windows the test itself made) until the condition
// holds or the bound passes.
template <typename Pred>
bool pumpUntil(Pred pred, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    return wait_for(
        [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            return pred();
        },
        bound);
}

// Runs the messages through the application's own path (its key handling and idle work) until
// the condition holds or the bound passes; for tests that made the process's Application.
template <typename Pred>
bool pumpFor(Pred pred, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    return wait_for(
        [&] {
            omvar::ui::Application::current()->PumpPending();
            return pred();
        },
        bound);
}

// Dispatches what is left in the calling thread's queue, so nothing of one test reaches the
// next.
inline void drainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

// The screenshot folder of the build tree, made when missing.
inline std::wstring screenshotPath(const std::wstring& name) {
    const std::string narrow = VETRIN_SCREENSHOT_DIR;
    std::wstring folder(narrow.begin(), narrow.end());
    for (auto& c : folder) {
        if (c == L'/')
            c = L'\\';
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

// Brings the window to the top, lets it paint, and writes its picture.
inline bool screenshot(HWND window, const std::wstring& name) {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    // The X server draws asynchronously; give it a few rounds of messages to settle.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    pumpUntil([&] { return std::chrono::steady_clock::now() >= until; });
    return captureWindowPng(window, screenshotPath(name));
}

}  // namespace testing_support

namespace testing_support {

// Real keyboard input: each entry is a virtual key and whether it goes down or up.
struct Key {
    WORD key;
    bool down;
};
inline void typeKeys(std::initializer_list<Key> keys) {
    std::vector<INPUT> inputs;
    for (const Key& k : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = k.key;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(k.key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = k.down ? 0 : KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}
inline void pressKey(WORD key) {
    typeKeys({{key, true}, {key, false}});
}
inline void pressWith(WORD modifier, WORD key) {
    typeKeys({{modifier, true}, {key, true}, {key, false}, {modifier, false}});
}

}  // namespace testing_support

namespace testing_support {

// Real mouse input: the pointer moved to a screen point of the primary screen, as a mouse moves
// it (absolute coordinates run from 0 to 65536 across the screen).
inline void moveMouse(POINT to) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((to.x * 65536LL + width - 1) / width);
    input.mi.dy = static_cast<LONG>((to.y * 65536LL + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
}
inline void leftButton(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(INPUT));
}

}  // namespace testing_support
