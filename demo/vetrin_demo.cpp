// The run command's scripted session (scripts/run --demo): Vetrin.exe beside the HAMLOG stand-in
// and the virtual QUENTRAX, all in this program's folder, driven from outside as an operator
// would: F1 in HAMLOG's log window, a call sign typed into its call field and Tab (F2 through
// the Enter the program injects), a line typed into Vetrin's CW bar. It waits until the keying
// ends, saves a screenshot of the screen, closes Vetrin normally and leaves the key timeline for
// the decoder.
//
//   vetrin_demo.exe SCREENSHOT.png
#include "AppSettings.h"
#include "SettingsFilePath.h"

#include "HamlogControl.h"
#include "ProgramFolder.h"
#include "ScreenCapture.h"
#include "TimelineFile.h"
#include "VetrinProcess.h"
#include "WaitFor.h"

#include "resource.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using omvar::demo::TimelineFile;
using omvar::demo::VetrinProcess;
using omvar::sim::hamlog::HamlogControl;
using testing_support::programFolder;

namespace {

constexpr wchar_t kCallSign[] = L"ja1abc";
// Typed in lower case: the field shows upper case, and Shift with F, Y or U is one of the main
// window's keys (bank, speed).
constexpr wchar_t kCwBarLine[] = L"tu 73";

void say(const char* text) {
    std::printf("demo: %s\n", text);
    std::fflush(stdout);
}

void require(bool condition, const char* what) {
    if (!condition) {
        throw std::runtime_error(what);
    }
}

// The settings the session needs: Tab in the call field sends F2.
void prepareSettings(const std::wstring& folder) {
    const std::wstring file = folder + L"Vetrin.ini";
    std::filesystem::remove(file);
    omvar::Vetrin::setSettingsFilePath(file);
    omvar::Vetrin::AppSettings settings;
    omvar::Vetrin::loadSettings(settings);
    settings.spyHlKey = true;
    settings.zLogKey = true;
    settings.wpm = 25;
    omvar::Vetrin::saveSettings(settings);
}

void sendKeys(const std::vector<INPUT>& inputs) {
    SendInput(static_cast<UINT>(inputs.size()), const_cast<INPUT*>(inputs.data()), sizeof(INPUT));
}

INPUT keyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                              : nullptr;
}

// Types the line into Vetrin's CW bar field and presses Enter, as an operator does: a click
// into the field, then the keys. Where the system takes no click from this program, the field
// gets the text and the send button is pressed instead.
void typeIntoCwBar(VetrinProcess& vetrin) {
    const HWND main = vetrin.mainWindow();
    const HWND field = vetrin.barControl(IDW_CW_BAR, IDC_CW_TEXT);
    require(field != nullptr, "Vetrin's CW bar has no text field");
    SetForegroundWindow(main);
    testing_support::wait_for([&] { return GetForegroundWindow() == main; }, 5s);
    RECT r{};
    GetWindowRect(field, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    if (testing_support::wait_for([&] { return focusOf(main) == field; }, 5s)) {
        std::vector<INPUT> keys;
        for (const wchar_t c : std::wstring(kCwBarLine)) {
            const SHORT scan = VkKeyScanW(c);
            const WORD key = LOBYTE(scan);
            const bool shift = (HIBYTE(scan) & 1) != 0;
            if (shift) {
                keys.push_back(keyInput(VK_SHIFT, false));
            }
            keys.push_back(keyInput(key, false));
            keys.push_back(keyInput(key, true));
            if (shift) {
                keys.push_back(keyInput(VK_SHIFT, true));
            }
        }
        keys.push_back(keyInput(VK_RETURN, false));
        keys.push_back(keyInput(VK_RETURN, true));
        sendKeys(keys);
        say("typed \"tu 73\" and Enter into Vetrin's CW bar");
    } else {
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kCwBarLine));
        SendMessageW(vetrin.barControl(IDW_CW_BAR, IDC_SEND), BM_CLICK, 0, 0);
        say("put \"tu 73\" into Vetrin's CW bar and pressed its send button");
    }
}

void run(const std::wstring& screenshot) {
    const std::wstring folder = programFolder();
    prepareSettings(folder);
    TimelineFile timeline(folder + L"timeline.txt");
    std::filesystem::remove(timeline.path());

    HamlogControl::Options standIn;
    standIn.executable = folder + L"hamlog_standin.exe";
    HamlogControl hamlog(standIn);
    hamlog.command(L"move A 60 40 720 300");
    hamlog.setCheck(L"A:cq", 1);  // CQ checked: Bank-A, "応答"
    hamlog.setText(L"A:rst", L"599");
    hamlog.focus(L"A:call");
    say("HAMLOG stand-in up, log window A in front");

    VetrinProcess vetrin(
        {folder + L"Vetrin.exe", folder, {{L"QUENTRAX_VIRTUAL_TIMELINE", timeline.path()}}});
    const HWND main = vetrin.waitForMainWindow(60s);
    require(main != nullptr, "Vetrin's window did not show");
    say("Vetrin up with the virtual QUENTRAX");
    const HWND log = hamlog.window(L"A");
    const bool docked = testing_support::wait_for(
        [&] {
            RECT l{}, m{};
            GetWindowRect(log, &l);
            GetWindowRect(main, &m);
            return m.top >= l.bottom - 2 && m.top <= l.bottom && m.left <= l.left;
        },
        30s);
    say(docked ? "Vetrin sits under HAMLOG's log window" : "Vetrin did not dock (carrying on)");

    hamlog.focus(L"A:call");
    testing_support::wait_for([&] { return hamlog.command(L"foreground") == L"A"; }, 10s);
    require(hamlog.input(L"A:call", L"{F1}"), "F1 did not reach the stand-in");
    say("F1 pressed in HAMLOG's log window");
    require(timeline.waitForEdges(0, 2, 30s), "nothing was keyed after F1");
    require(timeline.waitForQuiet(1500ms, 120s), "the keying of F1 did not end");

    hamlog.focus(L"A:call");
    require(hamlog.input(L"A:call", kCallSign), "the call sign did not reach the stand-in");
    say("call sign JA1ABC typed into HAMLOG's call field");
    const std::size_t beforeTab = timeline.size();
    require(hamlog.input(L"A:call", L"{TAB}"), "Tab did not reach the stand-in");
    say("Tab pressed in the call field (F2 through the injected Enter)");
    require(timeline.waitForEdges(beforeTab, 2, 30s), "nothing was keyed after Tab");
    require(timeline.waitForQuiet(1500ms, 120s), "the keying of F2 did not end");

    PostMessageW(main, WM_COMMAND, ID_VIEW_CW_BAR, 0);
    testing_support::wait_for(
        [&] { return IsWindowVisible(GetDlgItem(main, IDW_CW_BAR)) != FALSE; }, 5s);
    const std::size_t beforeLine = timeline.size();
    typeIntoCwBar(vetrin);
    require(timeline.waitForEdges(beforeLine, 2, 30s), "nothing was keyed from the CW bar");
    require(timeline.waitForQuiet(1500ms, 120s), "the keying of the CW bar's line did not end");
    say("keying ended");

    const bool shot = testing_support::captureWindowPng(GetDesktopWindow(), screenshot);
    say(shot ? "screenshot saved" : "the screenshot could not be saved");

    require(vetrin.close(30s), "Vetrin did not close");
    say(("Vetrin closed, exit code " + std::to_string(vetrin.exitCode().value_or(~0u))).c_str());
    hamlog.close();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vetrin_demo SCREENSHOT.png\n");
        return 2;
    }
    try {
        run(argv[1]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo: %s\n", e.what());
        return 1;
    }
}
