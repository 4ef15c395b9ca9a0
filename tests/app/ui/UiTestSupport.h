#pragma once

#include "ScreenCapture.h"
#include "WaitFor.h"

#include <windows.h>

#include <chrono>
#include <string>

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

// The screenshot folder of the build tree, made when missing.
inline std::wstring screenshotPath(const std::wstring& name) {
    const std::string narrow = VETRIN_SCREENSHOT_DIR;
    std::wstring folder(narrow.begin(), narrow.end());
    for (auto& c : folder) {
        if (c == L'/') c = L'\\';
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
