// The whole program as the operator runs it: Vetrin.exe with the real Snarel.dll and the virtual
// QUENTRAX (or the real interface library, or none) staged beside it in a folder of its own, the
// HAMLOG stand-in in front, everything driven from outside (the stand-in's control channel, real
// key input, window messages to Vetrin's windows) and the keying read from the key timeline.
#include "AppSettings.h"

#include "HamlogControl.h"
#include "Stage.h"
#include "TimelineFile.h"
#include "VetrinProcess.h"
#include "WaitFor.h"

#include "resource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using omvar::demo::readFile;
using omvar::demo::Stage;
using omvar::demo::tempFolder;
using omvar::demo::TimelineFile;
using omvar::demo::VetrinProcess;
using omvar::sim::hamlog::HamlogControl;
using testing::HasSubstr;
using testing_support::wait_for;

namespace {

constexpr wchar_t kNoInterfaceMessage[] =
    L"QUENTRAXに接続できません。デバイスがUSB接続されているか確認してください。";

// (section, key) of every key of an INI file, in file order; UTF-16LE with its mark or ASCII.
std::vector<std::pair<std::string, std::string>> iniKeys(const std::wstring& path) {
    std::string bytes = readFile(path);
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const unsigned code = static_cast<unsigned char>(bytes[i]) |
                                  static_cast<unsigned char>(bytes[i + 1]) << 8;
            text += code < 0x80 ? static_cast<char>(code) : '?';
        }
    } else {
        text = bytes;
    }
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (const auto equals = line.find('='); equals != std::string::npos) {
            keys.emplace_back(section, line.substr(0, equals));
        }
    }
    return keys;
}

std::wstring boxText(HWND box) {
    return VetrinProcess::text(GetDlgItem(box, 0xFFFF));
}

RECT rectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// The main window's place under a log window of this rectangle (the system reports Windows 10).
RECT dockedUnder(const RECT& log, const RECT& main) {
    const int height = main.bottom - main.top;
    return {log.left - 5, log.bottom - 2, log.right + 4, log.bottom - 2 + height};
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Key-up events as the keyboard makes them, to whatever window is in front.
void releaseKeys(std::initializer_list<WORD> keys) {
    for (const WORD key : keys) {
        INPUT event{};
        event.type = INPUT_KEYBOARD;
        event.ki.wVk = key;
        event.ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(1, &event, sizeof event);
    }
    wait_for([&] {
        return std::all_of(keys.begin(), keys.end(),
                           [](WORD key) { return GetAsyncKeyState(key) >= 0; });
    });
}

std::string describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " - " + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

class EndToEnd : public ::testing::Test {
protected:
    void input(const wchar_t* field, const wchar_t* keys) {
        ASSERT_TRUE(hamlog->input(field, keys)) << "the stand-in did not get every key";
    }

    // The program follows HAMLOG's log windows only while HAMLOG is in front.
    void hamlogInFront() { EXPECT_TRUE(hamlog->bringToFront(L"A:call")); }

    void moveLogWindow(int x, int y, int width, int height) {
        hamlogInFront();
        hamlog->command(L"move A " + std::to_wstring(x) + L" " + std::to_wstring(y) + L" " +
                        std::to_wstring(width) + L" " + std::to_wstring(height));
    }

    // As an operator's click in the box would, HAMLOG comes to the front first: the program
    // takes the box only while a log window is in front, and its own window may have taken the
    // front since.
    void setCq(int state) {
        hamlogInFront();
        hamlog->setCheck(L"A:cq", state);
    }

    std::optional<HamlogControl> hamlog;
};

TEST_F(EndToEnd, AnOperatorsSession) {
    Stage stage(L"session", Stage::Interface::virtualUnit);
    omvar::Vetrin::AppSettings settings = stage.defaultSettings();
    settings.zLogKey = true;  // Tab in the call field sends F2
    settings.wpm = 30;
    settings.fnMessage[0][3] = L"PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS";
    stage.writeSettings(settings);
    const std::wstring elsewhere = tempFolder(L"elsewhere");

    hamlog.emplace();
    moveLogWindow(120, 100, 640, 300);
    hamlog->setCheck(L"A:cq", 0);
    VetrinProcess vetrin(stage.options(elsewhere));
    const HWND main = vetrin.waitForMainWindow(60s);
    ASSERT_NE(main, nullptr) << "Vetrin's window did not show";
    const HWND bank = vetrin.barControl(IDW_CW_BAR, IDC_BANK);
    ASSERT_NE(bank, nullptr);
    TimelineFile timeline(stage.path(L"timeline.txt"));

    // Once the program has hooked HAMLOG it sits under the log window.
    const RECT log = rectOf(hamlog->window(L"A"));
    EXPECT_TRUE(
        wait_for([&] { return sameRect(rectOf(main), dockedUnder(log, rectOf(main))); }, 30s))
        << describe(rectOf(main)) << " under " << describe(log);
    EXPECT_EQ(VetrinProcess::text(bank), L"Bank: 呼出");

    // It follows the log window.
    moveLogWindow(100, 80, 560, 280);
    RECT moved = rectOf(hamlog->window(L"A"));
    EXPECT_TRUE(wait_for([&] { return sameRect(rectOf(main), dockedUnder(moved, rectOf(main))); }))
        << describe(rectOf(main)) << " under " << describe(moved);

    // The CQ box selects the bank.
    setCq(1);
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }));

    // A log window narrower than 300 pixels leaves it where it is. The CQ box's change, reported
    // after the move, shows when the move has been handled.
    const RECT before = rectOf(main);
    moveLogWindow(140, 60, 299, 282);
    setCq(0);
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 呼出"; }));
    EXPECT_TRUE(sameRect(rectOf(main), before))
        << describe(rectOf(main)) << " was " << describe(before);
    moveLogWindow(140, 60, 300, 282);
    moved = rectOf(hamlog->window(L"A"));
    EXPECT_TRUE(wait_for([&] { return sameRect(rectOf(main), dockedUnder(moved, rectOf(main))); }))
        << describe(rectOf(main)) << " under " << describe(moved);

    setCq(1);
    ASSERT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }));

    // F1 in the log window keys the CQ message, its macros expanded.
    std::size_t mark = timeline.size();
    input(L"A:call", L"{F1}");
    EXPECT_TRUE(timeline.waitForText(mark, "CQ DE XX9XXX/1 XX9XXX/1 XX9XXX/1 PSE K", 60s))
        << timeline.decode(mark).text;

    // A call sign, then Tab: HAMLOG gets neither the Tab nor the Enter injected after it, and
    // F2 keys the call sign with the report.
    hamlog->setText(L"A:rst", L"579");
    mark = timeline.size();
    input(L"A:call", L"ja1abc{TAB}");
    // "[KN]" reads back as "(", the Latin table's entry with its code.
    EXPECT_TRUE(timeline.waitForText(mark, "JA1ABC UR 579 (", 60s)) << timeline.decode(mark).text;
    EXPECT_EQ(hamlog->text(L"A:call"), L"JA1ABC");

    // Esc in the call field stops the keying.
    ASSERT_TRUE(timeline.waitForQuiet(1s, 30s));
    mark = timeline.size();
    input(L"A:call", L"{F4}");
    ASSERT_TRUE(timeline.waitForEdges(mark, 30, 30s));
    input(L"A:call", L"{ESC}");
    ASSERT_TRUE(timeline.waitForQuiet(2s, 30s));
    // The interface drops what it holds at once, the character it plays included.
    const std::string stopped = timeline.decode(mark).text;
    const std::string whole = "PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS";
    ASSERT_FALSE(stopped.empty());
    EXPECT_LE(stopped.size(), whole.size() - 6) << stopped;  // a word or more was never keyed
    EXPECT_EQ(whole.substr(0, stopped.size() - 1), stopped.substr(0, stopped.size() - 1));

    // A second start only brings the first forward, restored, and ends.
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(wait_for([&] { return IsIconic(main) != FALSE; }));
    {
        VetrinProcess second(stage.options(elsewhere));
        EXPECT_TRUE(second.waitForExit(60s));
        EXPECT_EQ(second.exitCode(), std::optional<DWORD>(0));
    }
    EXPECT_TRUE(wait_for([&] { return IsIconic(main) == FALSE; }));
    EXPECT_TRUE(wait_for([&] { return GetForegroundWindow() == main; }));
    EXPECT_EQ(VetrinProcess::findMainWindow(0), main);

    // Closed as the operator closes it.
    ASSERT_TRUE(vetrin.close(30s));
    EXPECT_EQ(vetrin.exitCode(), std::optional<DWORD>(0));
    // Its files are beside it, none where it was started from.
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    const std::string logText = readFile(stage.path(L"Vetrin.log"));
    EXPECT_THAT(logText, HasSubstr("動作環境: Windows 10 Or Greater"));  // as operators run it
    EXPECT_THAT(logText, HasSubstr("仮想QUENTRAX:"));
    EXPECT_THAT(logText, HasSubstr("使用中のデバイス: QUENTRAX Ver.2.3"));
    std::filesystem::remove_all(elsewhere);
}

// Keys typed in HAMLOG with Shift, Ctrl or Alt do in the program what they do typed into its own
// window: none of them keys a message the operator did not ask for.
TEST_F(EndToEnd, KeysTypedInHamlogWithModifiersDoWhatTheyDoInTheProgram) {
    Stage stage(L"modifiers", Stage::Interface::virtualUnit);
    omvar::Vetrin::AppSettings settings = stage.defaultSettings();
    settings.wpm = 40;
    settings.fnMessage[1][0] = L"VVV";
    stage.writeSettings(settings);
    hamlog.emplace();
    moveLogWindow(120, 100, 640, 300);
    hamlog->setCheck(L"A:cq", 0);
    VetrinProcess vetrin(stage.options({}));
    const HWND main = vetrin.waitForMainWindow(60s);
    ASSERT_NE(main, nullptr) << "Vetrin's window did not show";
    const HWND bank = vetrin.barControl(IDW_CW_BAR, IDC_BANK);
    const HWND fn9 = vetrin.barControl(IDW_MESSAGE_BAR, IDC_FN_KEY09);
    ASSERT_NE(fn9, nullptr);
    TimelineFile timeline(stage.path(L"timeline.txt"));
    // Shown, and following HAMLOG in front: the CQ box selects the bank.
    ASSERT_TRUE(wait_for([&] { return IsWindowVisible(main) != FALSE; }, 30s));
    // The program follows HAMLOG only while it is in front, and every key typed goes there.
    const auto type = [&](const std::wstring& keys) {
        hamlogInFront();
        input(L"A:call", keys.c_str());
    };
    setCq(1);
    ASSERT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }, 30s));
    setCq(0);
    ASSERT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 呼出"; }, 30s));

    // Shift+F1 to Shift+F12 open that key's editor.
    const std::size_t mark = timeline.size();
    for (int key = 1; key <= 12; ++key) {
        // The editor may come to the front before the keys are up: those go to it, the
        // stand-in counts them lost and sends no more of them, and they are let go here.
        hamlogInFront();
        hamlog->input(L"A:call", L"{+F" + std::to_wstring(key) + L"}");
        const HWND editor = vetrin.waitForDialog(30s);
        releaseKeys({static_cast<WORD>(VK_F1 + key - 1), VK_SHIFT});
        ASSERT_NE(editor, nullptr) << "Shift+F" << key << " opened no editor";
        wchar_t caption[32];
        std::swprintf(caption, 32, L"Fn%02d メッセージ編集", key);
        EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(editor) == caption; }))
            << "Shift+F" << key;
        PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(wait_for([&] { return vetrin.findDialog() == nullptr; }, 30s));
    }
    // Ctrl+F12 shows F9 to F12, Ctrl+F8 hides them.
    type(L"{^F12}");
    EXPECT_TRUE(wait_for([&] { return IsWindowVisible(fn9) != FALSE; })) << "Ctrl+F12";
    type(L"{^F8}");
    EXPECT_TRUE(wait_for([&] { return IsWindowVisible(fn9) == FALSE; })) << "Ctrl+F8";
    // Ctrl+Shift+F switches the bank in HAMLOG, Shift+F is only typed.
    type(L"{^+F}");
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }));
    type(L"{^+F}F");
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 呼出"; }));
    EXPECT_EQ(hamlog->text(L"A:call"), L"F");
    // None of it was keyed: every key went through long ago, and any message would have
    // started within a second.
    EXPECT_FALSE(timeline.waitForEdges(mark, 1, 2s)) << timeline.decode(mark).text;

    // Plain F1 keys, Esc in the call field stops it.
    std::size_t at = timeline.size();
    type(L"{F1}");
    EXPECT_TRUE(timeline.waitForText(at, "VVV", 30s)) << timeline.decode(at).text;
    // Ctrl+Z starts the beacon with the answering bank's F1, Esc ends it.
    ASSERT_TRUE(timeline.waitForQuiet(1s, 30s));
    at = timeline.size();
    type(L"{^z}");
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }));
    EXPECT_TRUE(timeline.waitForEdges(at, 6, 30s));
    type(L"{ESC}");
    EXPECT_TRUE(timeline.waitForQuiet(4s, 30s)) << "the beacon goes on";
    ASSERT_TRUE(vetrin.close(30s));
}

// With 100,000 characters in the send buffer the window still answers HAMLOG's hook at once:
// F1 then Esc typed in HAMLOG are both taken (HAMLOG sees neither), the Esc stops the keying,
// and the editor, after showing the whole buffer, shows what is left of it.
TEST_F(EndToEnd, WithALongSendBufferHamlogsKeysStillReachIt) {
    Stage stage(L"longbuffer", Stage::Interface::virtualUnit);
    omvar::Vetrin::AppSettings settings = stage.defaultSettings();
    settings.wpm = 30;
    stage.writeSettings(settings);
    hamlog.emplace();
    moveLogWindow(120, 100, 640, 300);
    VetrinProcess vetrin(stage.options({}));
    const HWND main = vetrin.waitForMainWindow(60s);
    ASSERT_NE(main, nullptr) << "Vetrin's window did not show";
    const RECT log = rectOf(hamlog->window(L"A"));
    ASSERT_TRUE(
        wait_for([&] { return sameRect(rectOf(main), dockedUnder(log, rectOf(main))); }, 30s))
        << "not docked: HAMLOG not hooked";
    TimelineFile timeline(stage.path(L"timeline.txt"));
    const HWND field = vetrin.barControl(IDW_CW_BAR, IDC_CW_TEXT);
    const HWND editor = GetDlgItem(main, 0xE900);  // the view, the frame's first pane
    ASSERT_NE(field, nullptr);
    ASSERT_NE(editor, nullptr);

    std::wstring text;
    while (text.size() < 100000) {
        text += L"PARIS ";
    }
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostMessageW(main, WM_COMMAND, IDC_SEND, 0);
    // A control of another process tells its length only when asked with a message.
    const auto shownLength = [&] { return SendMessageW(editor, WM_GETTEXTLENGTH, 0, 0); };
    ASSERT_TRUE(wait_for([&] { return shownLength() >= 100000; }, 60s)) << shownLength();
    ASSERT_TRUE(timeline.waitForEdges(0, 10, 30s));

    hamlog->clearReceivedKeys();
    const std::size_t mark = timeline.size();
    input(L"A:call", L"{F1}{ESC}");
    ASSERT_TRUE(timeline.waitForQuiet(2s, 30s)) << "the keying did not stop";
    for (const auto& key : hamlog->receivedKeys()) {
        if (key.message == WM_KEYDOWN) {
            EXPECT_NE(key.wParam, static_cast<unsigned>(VK_F1)) << "HAMLOG got the F1";
            EXPECT_NE(key.wParam, static_cast<unsigned>(VK_ESCAPE)) << "HAMLOG got the Esc";
        }
    }
    EXPECT_THAT(timeline.decode(mark).text, testing::Not(HasSubstr("CQ")));
    // Only what was keyed stays.
    EXPECT_TRUE(wait_for([&] { return shownLength() < 1000; })) << shownLength();

    ASSERT_TRUE(vetrin.close(30s));
    EXPECT_EQ(vetrin.exitCode(), std::optional<DWORD>(0));
}

TEST_F(EndToEnd, WithoutAnInterfaceItSaysSoAndKeepsRunning) {
    Stage stage(L"unplugged", Stage::Interface::realLibrary);  // under Wine it finds no unit
    VetrinProcess vetrin(stage.options({}));
    const HWND main = vetrin.waitForMainWindow(60s);
    ASSERT_NE(main, nullptr);
    const HWND box = vetrin.waitForDialog(30s);
    ASSERT_NE(box, nullptr) << "no message box";
    // The box shows before its text is set in it.
    EXPECT_TRUE(wait_for([&] { return boxText(box) == kNoInterfaceMessage; })) << boxText(box);
    EXPECT_EQ(VetrinProcess::text(box), L"Vetrin");
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    EXPECT_TRUE(IsWindowVisible(main));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(wait_for([&] { return vetrin.findDialog() == nullptr; }));
    EXPECT_TRUE(vetrin.running());

    ASSERT_TRUE(vetrin.close(30s));
    EXPECT_EQ(vetrin.exitCode(), std::optional<DWORD>(0));
    // The settings written at exit: every key in its place, and the window's placement.
    auto written = iniKeys(stage.path(L"Vetrin.ini"));
    const auto pos = std::find(written.begin(), written.end(),
                               std::pair<std::string, std::string>("Window", "pos"));
    EXPECT_NE(pos, written.end());
    std::erase_if(written, [](const auto& entry) {
        return entry.second == "pos" || entry.first.rfind("ToolBar", 0) == 0 ||
               entry.first == "Recent File List";
    });
    const auto expected = iniKeys(VETRIN_E2E_REFERENCE_INI);
    EXPECT_EQ(expected.size(), 55u);
    EXPECT_EQ(written, expected);
    EXPECT_THAT(readFile(stage.path(L"Vetrin.log")), HasSubstr("QUENTRAXが接続されていません"));
}

TEST_F(EndToEnd, WithoutTheInterfaceLibraryItRunsAsWithoutAnInterface) {
    Stage stage(L"nolibrary", Stage::Interface::none);
    VetrinProcess vetrin(stage.options({}));
    ASSERT_NE(vetrin.waitForMainWindow(60s), nullptr);
    const HWND box = vetrin.waitForDialog(30s);
    ASSERT_NE(box, nullptr) << "no message box";
    // The box shows before its text is set in it.
    EXPECT_TRUE(wait_for([&] { return boxText(box) == kNoInterfaceMessage; })) << boxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(vetrin.close(30s));
    EXPECT_EQ(vetrin.exitCode(), std::optional<DWORD>(0));
    const std::string logText = readFile(stage.path(L"Vetrin.log"));
    EXPECT_THAT(logText, HasSubstr("quentrax.dll could not be loaded from"));
    EXPECT_EQ(logText.find("could not be loaded"), logText.rfind("could not be loaded"));
    EXPECT_THAT(logText, HasSubstr("QUENTRAXが接続されていません"));
}

}  // namespace
