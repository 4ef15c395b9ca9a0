// The help command opens the manual beside the program in Notepad.
#include "Manual.h"

#include "DialogDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using testing_support::wait_for;

namespace {

// A top-level window of another process whose caption contains `fragment`.
HWND findCaptionContaining(const std::wstring& fragment) {
    HWND found = nullptr;
    testing_support::forEachTopLevelWindow([&](HWND window) {
        wchar_t caption[256] = {};
        GetWindowTextW(window, caption, 256);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() && IsWindowVisible(window) &&
            std::wstring(caption).find(fragment) != std::wstring::npos) {
            found = window;
            return false;
        }
        return true;
    });
    return found;
}

TEST(Manual, OpensVetrinTxtInNotepad) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto folder =
        std::filesystem::path(temp) / (L"vetrin-manual-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / L"Vetrin.txt") << "Vetrin manual\r\n";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);

    EXPECT_TRUE(omvar::Vetrin::openManual(nullptr));
    HWND notepad = nullptr;
    EXPECT_TRUE(
        wait_for([&] { return (notepad = findCaptionContaining(L"Vetrin.txt")) != nullptr; },
                 std::chrono::seconds(30)))
        << "no Notepad window shows Vetrin.txt";

    std::filesystem::current_path(previous);
    if (notepad != nullptr) {
        // Close the Notepad this test started, and wait until its process has ended.
        DWORD process = 0;
        GetWindowThreadProcessId(notepad, &process);
        HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
        PostMessageW(notepad, WM_CLOSE, 0, 0);
        if (handle != nullptr) {
            EXPECT_EQ(WaitForSingleObject(handle, 30000), WAIT_OBJECT_0);
            CloseHandle(handle);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace
