// The zLog for Windows stand-in as the program looks it up at start: the window path from
// another process, and the track bar taking a scroll position.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <future>
#include <string>
#include <thread>

#include "ProgramFolder.h"
#include "win32/UniqueHandles.h"
#include "WaitFor.h"
#include "ZlogWindows.h"

namespace {

using omvar::sim::zlog::ZlogWindows;
using omvar::win32::UniqueHandle;
using testing_support::programFolder;
using testing_support::wait_for;
namespace zlog = omvar::sim::zlog;

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// The path the program walks: main form, its first "TPanel", two next siblings on, that
// window's first "TTrackBar".
HWND findTrackBar() {
    HWND form = FindWindowExW(nullptr, nullptr, zlog::kMainFormClass, zlog::kMainFormCaption);
    if (form == nullptr) {
        return nullptr;
    }
    HWND window = FindWindowExW(form, nullptr, zlog::kPanelClass, nullptr);
    for (int i = 0; i < 2 && window != nullptr; ++i) {
        window = GetWindow(window, GW_HWNDNEXT);
    }
    return window == nullptr ? nullptr
                             : FindWindowExW(window, nullptr, zlog::kTrackBarClass, nullptr);
}

TEST(ZlogStandIn, ProcessPresentsTheWindowPathAndAnswersThePosition) {
    std::wstring command = L"\"" + programFolder() + L"zlog_standin.exe\" --parent=" +
                           std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
    CloseHandle(info.hThread);
    UniqueHandle process(info.hProcess);

    ASSERT_TRUE(wait_for([] { return findTrackBar() != nullptr; }, std::chrono::seconds(20)));
    HWND trackBar = findTrackBar();
    DWORD owner = 0;
    GetWindowThreadProcessId(trackBar, &owner);
    EXPECT_EQ(owner, info.dwProcessId);
    EXPECT_EQ(className(GetParent(GetParent(trackBar))), zlog::kMainFormClass);
    EXPECT_EQ(SendMessageW(trackBar, TBM_GETPOS, 0, 0), ZlogWindows::kTrackBarStart);
    SendMessageW(trackBar, TBM_SETPOS, TRUE, 21);
    EXPECT_EQ(SendMessageW(trackBar, TBM_GETPOS, 0, 0), 21);

    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 10000);
}

// Under Wine a scroll position can only be set in the window's own process, so the windows
// are made here, on a thread of their own, and set from the test's thread as the program does.
TEST(ZlogStandIn, TrackBarTakesTheScrollPositionTheProgramSets) {
    std::promise<DWORD> started;
    std::thread gui([&started] {
        ZlogWindows windows;
        started.set_value(GetCurrentThreadId());
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
    });
    const DWORD guiThread = started.get_future().get();

    HWND trackBar = findTrackBar();
    ASSERT_NE(trackBar, nullptr);
    EXPECT_EQ(GetScrollPos(trackBar, SB_HORZ), ZlogWindows::kTrackBarStart);
    SetScrollPos(trackBar, SB_HORZ, 15, TRUE);
    EXPECT_EQ(GetScrollPos(trackBar, SB_HORZ), 15);
    EXPECT_EQ(SendMessageW(trackBar, TBM_GETPOS, 0, 0), 15);

    PostThreadMessageW(guiThread, WM_QUIT, 0, 0);
    gui.join();
}

}  // namespace
